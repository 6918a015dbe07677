// The chunk container: nesting, lengths and bounded reads.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "rig/chunk_stream.h"

using namespace quorvel;

namespace {

uint32_t U32At(const std::vector<uint8_t>& bytes, std::size_t offset) {
  uint32_t v;
  std::memcpy(&v, bytes.data() + offset, sizeof v);
  return v;
}

TEST(ChunkStream, NestedChunksCarryTheirPayloadLengths) {
  ChunkWriter w;
  {
    ChunkWriter::Scope outer(w, 0xA0000000u);
    w.PutInt32(-5);
    {
      ChunkWriter::Scope inner(w, 0xB0000000u);
      w.PutString("hi");
    }
    ChunkWriter::Scope empty(w, 0xC0000000u);
  }
  EXPECT_TRUE(w.IsClosed());
  const std::vector<uint8_t>& b = w.data();
  // outer header 8 + int 4 + inner (8 + 3) + empty 8
  ASSERT_EQ(b.size(), 31u);
  EXPECT_EQ(U32At(b, 0), 0xA0000000u);
  EXPECT_EQ(U32At(b, 4), 23u);
  EXPECT_EQ(U32At(b, 12), 0xB0000000u);
  EXPECT_EQ(U32At(b, 16), 3u);
  EXPECT_EQ(U32At(b, 23), 0xC0000000u);
  EXPECT_EQ(U32At(b, 27), 0u);

  ChunkReader r(b);
  uint32_t id = 0;
  ChunkReader outer;
  ASSERT_TRUE(r.NextChunk(id, outer));
  EXPECT_EQ(id, 0xA0000000u);
  int32_t value = 0;
  ASSERT_TRUE(outer.GetInt32(value));
  EXPECT_EQ(value, -5);
  ChunkReader inner;
  ASSERT_TRUE(outer.NextChunk(id, inner));
  EXPECT_EQ(id, 0xB0000000u);
  std::string text;
  ASSERT_TRUE(inner.GetString(text));
  EXPECT_EQ(text, "hi");
  EXPECT_TRUE(inner.AtEnd());
  ASSERT_TRUE(outer.NextChunk(id, inner));
  EXPECT_EQ(id, 0xC0000000u);
  EXPECT_TRUE(inner.AtEnd());
  EXPECT_FALSE(outer.NextChunk(id, inner));
  EXPECT_FALSE(outer.Failed()) << "the end is not a failure";
  EXPECT_FALSE(r.NextChunk(id, outer));
  EXPECT_FALSE(r.Failed());

  w.End();  // nothing open: no effect
  EXPECT_EQ(w.data().size(), 31u);
}

// Each stream sits in a heap block of exactly its size, so any read past the
// end is caught by the address sanitizer build.
TEST(ChunkStream, ReadsNeverPassTheEnd) {
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  };
  const Case cases[] = {
      {"header cut short", {1, 0, 0, 0, 4, 0}},
      {"length past the end", {1, 0, 0, 0, 9, 0, 0, 0, 1, 2, 3}},
      {"huge length", {1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0}},
  };
  for (const Case& c : cases) {
    auto block = std::make_unique<uint8_t[]>(c.bytes.size());
    std::memcpy(block.get(), c.bytes.data(), c.bytes.size());
    ChunkReader r(block.get(), c.bytes.size());
    uint32_t id = 0;
    ChunkReader payload;
    EXPECT_FALSE(r.NextChunk(id, payload)) << c.what;
    EXPECT_TRUE(r.Failed()) << c.what;
  }

  const uint8_t text[] = {'a', 'b', 'c'};
  auto block = std::make_unique<uint8_t[]>(sizeof text);
  std::memcpy(block.get(), text, sizeof text);
  ChunkReader r(block.get(), sizeof text);
  std::string s;
  EXPECT_FALSE(r.GetString(s)) << "no terminator";
  EXPECT_TRUE(r.Failed());
  ChunkReader r2(block.get(), sizeof text);
  int32_t v = 0;
  EXPECT_FALSE(r2.GetInt32(v));
  EXPECT_EQ(r2.Remaining(), 3u) << "a failed read consumes nothing";
  uint8_t two[2];
  EXPECT_TRUE(r2.GetBytes(two, 2));
  EXPECT_EQ(r2.Remaining(), 1u);

  ChunkReader none(nullptr, 10);
  EXPECT_TRUE(none.AtEnd());
}

}  // namespace
