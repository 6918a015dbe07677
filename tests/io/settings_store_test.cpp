// The per-user store under the settings: the registry on Windows, the
// settings file natively. The same behaviour is expected of both.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "platform/settings_store.h"
#include "scratch_settings.h"

namespace {

using quorvel::platform::DeleteSettingsKey;
using quorvel::platform::SettingsKey;
using quorvel_test::ScratchSettings;

constexpr std::int32_t kUntouched = 0x5EED;

struct NamedValue {
  const char* name;
  std::int32_t value;
};

const std::vector<NamedValue> kValues = {
    {"zero", 0},
    {"one", 1},
    {"minus_one", -1},
    {"smallest", std::numeric_limits<std::int32_t>::min()},
    {"largest", std::numeric_limits<std::int32_t>::max()},
    {"poselist_winpos_x", -1234},
};

TEST(SettingsStore, MissingKeyOpensOnlyForWriting) {
  ScratchSettings scratch;
  const std::string path = scratch.Key();
  SettingsKey key;
  EXPECT_FALSE(key.OpenRead(path.c_str()));
  EXPECT_FALSE(key.IsOpen());
  std::int32_t value = kUntouched;
  EXPECT_FALSE(key.ReadInt32("zero", &value));
  EXPECT_EQ(value, kUntouched);
  EXPECT_FALSE(key.WriteInt32("zero", 1)) << "a key that is not open takes no values";

  ASSERT_TRUE(key.OpenWrite(path.c_str()));
  EXPECT_TRUE(key.IsOpen());
  EXPECT_TRUE(key.Close());
  EXPECT_FALSE(key.IsOpen());

  // Created, although no value was ever written.
  SettingsKey reader;
  ASSERT_TRUE(reader.OpenRead(path.c_str()));
  EXPECT_FALSE(reader.ReadInt32("zero", &value));
  EXPECT_EQ(value, kUntouched);
}

TEST(SettingsStore, ValuesReadBackAcrossHandles) {
  ScratchSettings scratch;
  const std::string path = scratch.Key();
  {
    SettingsKey writer;
    ASSERT_TRUE(writer.OpenWrite(path.c_str()));
    for (const auto& entry : kValues) EXPECT_TRUE(writer.WriteInt32(entry.name, entry.value));
    // The handle that wrote answers with what it wrote.
    for (const auto& entry : kValues) {
      std::int32_t value = kUntouched;
      EXPECT_TRUE(writer.ReadInt32(entry.name, &value)) << entry.name;
      EXPECT_EQ(value, entry.value) << entry.name;
    }
  }  // the destructor closes

  SettingsKey reader;
  ASSERT_TRUE(reader.OpenRead(path.c_str()));
  for (const auto& entry : kValues) {
    std::int32_t value = kUntouched;
    EXPECT_TRUE(reader.ReadInt32(entry.name, &value)) << entry.name;
    EXPECT_EQ(value, entry.value) << entry.name;
  }
  std::int32_t value = kUntouched;
  EXPECT_FALSE(reader.ReadInt32("never_written", &value));
  EXPECT_EQ(value, kUntouched);
  EXPECT_FALSE(reader.ReadInt32(nullptr, &value));
  EXPECT_FALSE(reader.ReadInt32("zero", nullptr));
}

TEST(SettingsStore, NamesAndKeysIgnoreAsciiCase) {
  ScratchSettings scratch;
  const std::string path = scratch.Key("Mixed");
  std::string other_case = path;
  for (char& c : other_case) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  {
    SettingsKey writer;
    ASSERT_TRUE(writer.OpenWrite(path.c_str()));
    EXPECT_TRUE(writer.WriteInt32("enable_flg", 0));
    EXPECT_TRUE(writer.WriteInt32("ENABLE_FLG", 7)) << "the same value, overwritten";
  }
  SettingsKey reader;
  ASSERT_TRUE(reader.OpenRead(other_case.c_str()));
  std::int32_t value = kUntouched;
  EXPECT_TRUE(reader.ReadInt32("Enable_Flg", &value));
  EXPECT_EQ(value, 7);
}

TEST(SettingsStore, ReadHandleRefusesWrites) {
  ScratchSettings scratch;
  const std::string path = scratch.Key();
  {
    SettingsKey writer;
    ASSERT_TRUE(writer.OpenWrite(path.c_str()));
    ASSERT_TRUE(writer.WriteInt32("one", 1));
  }
  {
    SettingsKey reader;
    ASSERT_TRUE(reader.OpenRead(path.c_str()));
    EXPECT_FALSE(reader.WriteInt32("one", 2));
  }
  SettingsKey reader;
  ASSERT_TRUE(reader.OpenRead(path.c_str()));
  std::int32_t value = kUntouched;
  EXPECT_TRUE(reader.ReadInt32("one", &value));
  EXPECT_EQ(value, 1);
}

TEST(SettingsStore, CloseIsIdempotentAndEndsAccess) {
  ScratchSettings scratch;
  const std::string path = scratch.Key();
  SettingsKey key;
  EXPECT_TRUE(key.Close()) << "closing a key never opened";
  ASSERT_TRUE(key.OpenWrite(path.c_str()));
  ASSERT_TRUE(key.WriteInt32("one", 1));
  EXPECT_TRUE(key.Close());
  EXPECT_TRUE(key.Close());
  std::int32_t value = kUntouched;
  EXPECT_FALSE(key.ReadInt32("one", &value));
  EXPECT_EQ(value, kUntouched);
  EXPECT_FALSE(key.WriteInt32("one", 2));

  SettingsKey reader;
  ASSERT_TRUE(reader.OpenRead(path.c_str()));
  EXPECT_TRUE(reader.ReadInt32("one", &value));
  EXPECT_EQ(value, 1) << "the write after closing went nowhere";
}

TEST(SettingsStore, KeysKeepTheirOwnValues) {
  ScratchSettings scratch;
  const std::string first = scratch.Key("first");
  const std::string second = scratch.Key("second");
  SettingsKey key;
  ASSERT_TRUE(key.OpenWrite(first.c_str()));
  ASSERT_TRUE(key.WriteInt32("shared", 1));
  ASSERT_TRUE(key.WriteInt32("first_only", 11));
  // Opening another key on the same object closes (and stores) the first.
  ASSERT_TRUE(key.OpenWrite(second.c_str()));
  ASSERT_TRUE(key.WriteInt32("shared", 2));
  ASSERT_TRUE(key.Close());
  // Writing one value again keeps the key's other values.
  ASSERT_TRUE(key.OpenWrite(first.c_str()));
  ASSERT_TRUE(key.WriteInt32("shared", 3));
  ASSERT_TRUE(key.Close());

  struct Expectation {
    const std::string* path;
    const char* name;
    bool present;
    std::int32_t value;
  };
  const Expectation expectations[] = {
      {&first, "shared", true, 3},
      {&first, "first_only", true, 11},
      {&second, "shared", true, 2},
      {&second, "first_only", false, kUntouched},
  };
  for (const auto& e : expectations) {
    SettingsKey reader;
    ASSERT_TRUE(reader.OpenRead(e.path->c_str())) << *e.path;
    std::int32_t value = kUntouched;
    EXPECT_EQ(reader.ReadInt32(e.name, &value), e.present) << *e.path << " " << e.name;
    EXPECT_EQ(value, e.value) << *e.path << " " << e.name;
  }
}

TEST(SettingsStore, DeletedKeyIsGone) {
  ScratchSettings scratch;
  const std::string path = scratch.Key();
  const std::string other = scratch.Key("other");
  for (const auto& p : {path, other}) {
    SettingsKey writer;
    ASSERT_TRUE(writer.OpenWrite(p.c_str()));
    ASSERT_TRUE(writer.WriteInt32("one", 1));
  }
  EXPECT_TRUE(DeleteSettingsKey(path.c_str()));
  EXPECT_FALSE(DeleteSettingsKey(path.c_str())) << "nothing left to delete";
  EXPECT_FALSE(DeleteSettingsKey(nullptr));
  SettingsKey reader;
  EXPECT_FALSE(reader.OpenRead(path.c_str()));
  EXPECT_TRUE(reader.OpenRead(other.c_str())) << "only the named key goes";
}

}  // namespace
