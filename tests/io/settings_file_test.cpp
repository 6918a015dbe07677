// The native settings file: where it lives, its line format, and that a
// damaged or unusable file never costs more than the damaged values.
#include <gtest/gtest.h>

#if !defined(_WIN32)

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "io/registry_settings.h"
#include "platform/settings_store.h"
#include "scratch_settings.h"

namespace {

namespace fs = std::filesystem;
using quorvel::platform::SettingsFilePath;
using quorvel::platform::SettingsKey;
using quorvel_test::ReadTextFile;
using quorvel_test::ScopedEnv;
using quorvel_test::ScratchDir;
using quorvel_test::ScratchSettings;
using quorvel_test::WriteTextFile;

constexpr std::int32_t kUntouched = 0x5EED;
using Env = std::optional<std::string>;

// Text that may hold NUL bytes: the whole literal but its terminator.
template <size_t N>
std::string Bytes(const char (&text)[N]) {
  return std::string(text, N - 1);
}

TEST(SettingsFile, LocationFollowsTheEnvironment) {
  struct Case {
    Env settings, config_home, home;
    std::string expected;
  };
  const Case cases[] = {
      {"/tmp/t/settings.txt", "/cfg", "/home/u", "/tmp/t/settings.txt"},
      {"relative/settings", "/cfg", "/home/u", "relative/settings"},
      {"", "/cfg", "/home/u", "/cfg/quorvel/settings"},
      {std::nullopt, "/cfg", "/home/u", "/cfg/quorvel/settings"},
      {std::nullopt, "relative-cfg", "/home/u", "/home/u/.config/quorvel/settings"},
      {std::nullopt, "", "/home/u", "/home/u/.config/quorvel/settings"},
      {std::nullopt, std::nullopt, "/home/u", "/home/u/.config/quorvel/settings"},
      {std::nullopt, std::nullopt, "", ""},
      {std::nullopt, std::nullopt, std::nullopt, ""},
  };
  for (const auto& c : cases) {
    ScopedEnv settings("QUORVEL_SETTINGS", c.settings);
    ScopedEnv config_home("XDG_CONFIG_HOME", c.config_home);
    ScopedEnv home("HOME", c.home);
    EXPECT_EQ(SettingsFilePath(), c.expected)
        << c.settings.value_or("(unset)") << " | " << c.config_home.value_or("(unset)") << " | "
        << c.home.value_or("(unset)");
  }
}

TEST(SettingsFile, WritingCreatesTheDirectories) {
  ScratchDir dir;
  struct Case {
    Env settings, config_home;
    fs::path expected;
  };
  const Case cases[] = {
      {(dir.path() / "a" / "b" / "settings").string(), std::nullopt,
       dir.path() / "a" / "b" / "settings"},
      {std::nullopt, (dir.path() / "config").string(),
       dir.path() / "config" / "quorvel" / "settings"},
  };
  for (const auto& c : cases) {
    ScopedEnv settings("QUORVEL_SETTINGS", c.settings);
    ScopedEnv config_home("XDG_CONFIG_HOME", c.config_home);
    {
      SettingsKey key;
      ASSERT_TRUE(key.OpenWrite("K"));
      ASSERT_TRUE(key.WriteInt32("v", 5));
      EXPECT_TRUE(key.Close());
    }
    EXPECT_TRUE(fs::is_regular_file(c.expected)) << c.expected;
    SettingsKey reader;
    ASSERT_TRUE(reader.OpenRead("K"));
    std::int32_t value = kUntouched;
    EXPECT_TRUE(reader.ReadInt32("v", &value));
    EXPECT_EQ(value, 5);
  }
}

TEST(SettingsFile, LinesAreKeyHeadersAndNameValuePairs) {
  ScratchSettings scratch;
  {
    SettingsKey key;
    ASSERT_TRUE(key.OpenWrite("Software\\Ostrak\\Quorvel"));
    ASSERT_TRUE(key.WriteInt32("enable_flg", 0));
    ASSERT_TRUE(key.WriteInt32("command_winpos_x", -20));
  }
  const std::string text = ReadTextFile(scratch.File());
  EXPECT_NE(text.find("\n[Software\\Ostrak\\Quorvel]\nenable_flg=0\ncommand_winpos_x=-20\n"),
            std::string::npos)
      << text;
  for (const auto& entry : fs::directory_iterator(scratch.Dir())) {
    EXPECT_EQ(entry.path(), scratch.File()) << "a temporary file was left behind";
  }
}

TEST(SettingsFile, DamagedLinesAreIgnored) {
  ScratchSettings scratch;
  struct Case {
    const char* what;
    std::string text;
    const char* name;
    bool present;
    std::int32_t value;
  };
  const Case cases[] = {
      {"plain", "[K]\nv=5\n", "v", true, 5},
      {"CRLF line ends", "[K]\r\nv=5\r\n", "v", true, 5},
      {"blanks around", "  [ K ]  \n\t v = 5 \t\n", "v", true, 5},
      {"no final newline", "[K]\nv=5", "v", true, 5},
      {"smallest int32", "[K]\nv=-2147483648\n", "v", true,
       std::numeric_limits<std::int32_t>::min()},
      {"largest int32", "[K]\nv=2147483647\n", "v", true, std::numeric_limits<std::int32_t>::max()},
      {"later line wins", "[K]\nv=1\nv=2\n", "v", true, 2},
      {"key header repeated", "[K]\nv=1\n[L]\nv=2\n[k]\nw=3\n", "v", true, 1},
      {"key header repeated, later value", "[K]\nv=1\n[L]\nv=2\n[k]\nw=3\n", "w", true, 3},
      {"damage elsewhere is local", Bytes("[K]\nv\0=1\n\xff\xfe\x01\nw=6\n"), "w", true, 6},
      {"control byte in name", Bytes("[K]\nv\0=1\n"), "v", false, kUntouched},
      {"text value", "[K]\nv=abc\n", "v", false, kUntouched},
      {"trailing text", "[K]\nv=5x\n", "v", false, kUntouched},
      {"second equals sign", "[K]\nv=5=6\n", "v", false, kUntouched},
      {"empty value", "[K]\nv=\n", "v", false, kUntouched},
      {"beyond int32", "[K]\nv=2147483648\n", "v", false, kUntouched},
      {"below int32", "[K]\nv=-2147483649\n", "v", false, kUntouched},
      {"no equals sign", "[K]\nv 5\n", "v", false, kUntouched},
      {"empty name", "[K]\n=5\nv=1\n", "v", true, 1},
      {"comment", "[K]\n# v=5\n; v=6\n", "v", false, kUntouched},
      {"before any header", "v=5\n[K]\n", "v", false, kUntouched},
      {"after a damaged header", "[K]\n[broken\nv=5\n", "v", false, kUntouched},
      {"after an empty header", "[K]\n[]\nv=5\n", "v", false, kUntouched},
      {"in another key", "[K]\n[L]\nv=5\n", "v", false, kUntouched},
  };
  for (const auto& c : cases) {
    WriteTextFile(scratch.File(), c.text);
    SettingsKey key;
    ASSERT_TRUE(key.OpenRead("K")) << c.what;
    std::int32_t value = kUntouched;
    EXPECT_EQ(key.ReadInt32(c.name, &value), c.present) << c.what;
    EXPECT_EQ(value, c.value) << c.what;
  }
}

TEST(SettingsFile, UnusableFilesReadAsNoKey) {
  ScratchSettings scratch;
  struct Case {
    const char* what;
    std::optional<std::string> text;  // nullopt: no file at all
  };
  const Case cases[] = {
      {"missing file", std::nullopt},           {"empty file", ""},
      {"header only for another key", "[L]\n"}, {"damaged header", "[K\nv=1\n"},
      {"binary", Bytes("\0\0\0\x7f\xff[K]\n")},
  };
  for (const auto& c : cases) {
    std::error_code ignored;
    fs::remove(scratch.File(), ignored);
    if (c.text) WriteTextFile(scratch.File(), *c.text);
    SettingsKey key;
    EXPECT_FALSE(key.OpenRead("K")) << c.what;
    UREGPREFS prefs;
    prefs.show_handle = kUntouched;
    WINPOS_TABLE records;
    EXPECT_FALSE(ReadRegistrySettings(prefs, records, "K")) << c.what;
    EXPECT_EQ(prefs.show_handle, kUntouched) << c.what;
  }
}

TEST(SettingsFile, StoreThatCannotBeWrittenFailsQuietly) {
  ScratchDir dir;
  WriteTextFile(dir.path() / "plain-file", "[K]\nv=1\n");
  fs::create_directory(dir.path() / "a-directory");
  const fs::path places[] = {
      dir.path() / "a-directory",              // the path names a directory
      dir.path() / "plain-file" / "settings",  // below something that is not a directory
  };
  for (const auto& place : places) {
    ScopedEnv settings("QUORVEL_SETTINGS", place.string());
    SettingsKey key;
    EXPECT_FALSE(key.OpenRead("K")) << place;
    EXPECT_FALSE(key.OpenWrite("K")) << place;

    // The registry wrapper answers as if it worked, and nothing is stored.
    {
      UREGKEY reg;
      EXPECT_TRUE(reg.OpenWrite("K")) << place;
      reg.WriteDword("v", 2);
    }
    UREGKEY reg;
    EXPECT_FALSE(reg.OpenRead("K")) << place;
  }
  EXPECT_EQ(ReadTextFile(dir.path() / "plain-file"), "[K]\nv=1\n");
}

TEST(SettingsFile, NoLocationMeansNoStore) {
  ScopedEnv settings("QUORVEL_SETTINGS", std::nullopt);
  ScopedEnv config_home("XDG_CONFIG_HOME", std::nullopt);
  ScopedEnv home("HOME", std::nullopt);
  SettingsKey key;
  EXPECT_FALSE(key.OpenWrite("K"));
  EXPECT_FALSE(key.OpenRead("K"));
}

TEST(SettingsFile, WritingKeepsOtherKeysAndDropsDamage) {
  ScratchSettings scratch;
  WriteTextFile(scratch.File(),
                "stray line\n[Other]\nkept=4\nbroken=x\n[K]\nold=1\nv=abc\n\x01\x02\n");
  {
    SettingsKey key;
    ASSERT_TRUE(key.OpenWrite("K"));
    ASSERT_TRUE(key.WriteInt32("v", 9));
  }
  const std::string text = ReadTextFile(scratch.File());
  for (const char* gone : {"stray", "broken", "abc", "\x01"}) {
    EXPECT_EQ(text.find(gone), std::string::npos) << gone << " in\n" << text;
  }
  struct Expectation {
    const char* key;
    const char* name;
    std::int32_t value;
  };
  const Expectation expectations[] = {{"Other", "kept", 4}, {"K", "old", 1}, {"K", "v", 9}};
  for (const auto& e : expectations) {
    SettingsKey reader;
    ASSERT_TRUE(reader.OpenRead(e.key)) << e.key;
    std::int32_t value = kUntouched;
    EXPECT_TRUE(reader.ReadInt32(e.name, &value)) << e.key << " " << e.name;
    EXPECT_EQ(value, e.value) << e.key << " " << e.name;
  }
}

TEST(SettingsFile, ValuesWrittenMeanwhileBySomeoneElseSurvive) {
  ScratchSettings scratch;
  SettingsKey first;
  ASSERT_TRUE(first.OpenWrite("K"));
  ASSERT_TRUE(first.WriteInt32("mine", 1));
  {
    SettingsKey second;
    ASSERT_TRUE(second.OpenWrite("K"));
    ASSERT_TRUE(second.WriteInt32("theirs", 2));
    ASSERT_TRUE(second.WriteInt32("mine", 3));
  }
  ASSERT_TRUE(first.Close());
  SettingsKey reader;
  ASSERT_TRUE(reader.OpenRead("K"));
  std::int32_t mine = kUntouched;
  std::int32_t theirs = kUntouched;
  EXPECT_TRUE(reader.ReadInt32("mine", &mine));
  EXPECT_TRUE(reader.ReadInt32("theirs", &theirs));
  EXPECT_EQ(mine, 1) << "the later close wins for the values it wrote";
  EXPECT_EQ(theirs, 2);
}

TEST(SettingsFile, NamesThatWouldNotReadBackAreRefused) {
  ScratchSettings scratch;
  SettingsKey key;
  ASSERT_TRUE(key.OpenWrite("K"));
  const char* refused[] = {"",          "a=b",      "line\nbreak", "tab\there", " leading",
                           "trailing ", "#comment", ";comment",    "[header]"};
  for (const char* name : refused) EXPECT_FALSE(key.WriteInt32(name, 1)) << '"' << name << '"';
  EXPECT_TRUE(key.WriteInt32("a name with inner blanks", 1));
  EXPECT_TRUE(key.WriteInt32("\xe3\x83\x9c\xe3\x83\xbc\xe3\x83\xb3", 2));
  ASSERT_TRUE(key.Close());

  const char* refused_keys[] = {"", " K", "K\n", "tab\tkey"};
  for (const char* path : refused_keys) {
    SettingsKey other;
    EXPECT_FALSE(other.OpenWrite(path)) << '"' << path << '"';
  }
  SettingsKey reader;
  ASSERT_TRUE(reader.OpenRead("K"));
  std::int32_t value = kUntouched;
  EXPECT_TRUE(reader.ReadInt32("a name with inner blanks", &value));
  EXPECT_EQ(value, 1);
  EXPECT_TRUE(reader.ReadInt32("\xe3\x83\x9c\xe3\x83\xbc\xe3\x83\xb3", &value));
  EXPECT_EQ(value, 2);
}

TEST(SettingsFile, PluginKeyIsTheDefault) {
  ScratchSettings scratch;
  WriteRegistrySettings(UREGPREFS{}, WINPOS_TABLE{});
  const std::string text = ReadTextFile(scratch.File());
  EXPECT_NE(text.find("\n[Software\\Ostrak\\Quorvel]\n"), std::string::npos) << text;

  UREGKEY key;
  EXPECT_TRUE(key.OpenRead());
  std::int32_t value = kUntouched;
  EXPECT_TRUE(key.ReadDword("enable_flg", &value));
  EXPECT_EQ(value, 1);
}

}  // namespace

#endif  // !_WIN32
