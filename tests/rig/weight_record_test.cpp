// The pure operations on a 36-byte weight record.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "tests/rig/rig_fixture.h"

using namespace quorvel;

namespace {

constexpr int32_t A = 11, B = 22, C = 33, D = 44, E = 55;

using Entries = std::vector<VWeightEntry>;

VWeight FromEntries(const Entries& entries) {
  VWeight rec;
  Init(rec);
  for (const VWeightEntry& e : entries) {
    rec.entries[Count(rec)] = e;
    rec.head = static_cast<uint8_t>(1 | ((Count(rec) + 1) << 1));
  }
  return rec;
}

TEST(WeightRecord, InitAndSetOwnTouchOnlyTheirBytes) {
  VWeight rec;
  std::memset(static_cast<void*>(&rec), 0xAB, sizeof rec);
  VWeight before = rec;
  Init(rec);
  EXPECT_EQ(rec.head, 1);
  EXPECT_EQ(Count(rec), 0);
  EXPECT_EQ(std::memcmp(reinterpret_cast<char*>(&rec) + 1, reinterpret_cast<char*>(&before) + 1, 35), 0);

  for (uint8_t head : {uint8_t{0}, uint8_t{1}, uint8_t{0x07}}) {
    std::memset(static_cast<void*>(&rec), 0xAB, sizeof rec);
    rec.head = head;
    before = rec;
    SetOwn(rec, A);
    EXPECT_EQ(rec.head & 1, head & 1) << "valid bit kept";
    EXPECT_EQ(EntriesOf(rec), (Entries{{A, 1.0f}}));
    EXPECT_EQ(std::memcmp(rec.colour, before.colour, 3), 0);
    EXPECT_EQ(std::memcmp(&rec.entries[1], &before.entries[1], 24), 0);
  }
}

TEST(WeightRecord, SetWeightRemovesBelowTheThresholdAndIgnoresAFifthBone) {
  struct Case {
    const char* what;
    Entries before;
    int32_t bone;
    float w;
    bool result;
    Entries after;
  };
  const Entries full{{A, 0.1f}, {B, 0.2f}, {C, 0.3f}, {D, 0.4f}};
  const float kJustAbove = std::nextafter(0.0002f, 1.0f);
  ASSERT_GE(static_cast<double>(kJustAbove), 0.0002);
  ASSERT_LT(static_cast<double>(0.0002f), 0.0002);
  const Case cases[] = {
      {"append to empty", {}, A, 0.5f, true, {{A, 0.5f}}},
      {"append second", {{A, 0.5f}}, B, 0.25f, true, {{A, 0.5f}, {B, 0.25f}}},
      {"replace existing", {{A, 0.5f}, {B, 0.25f}}, B, 0.75f, true, {{A, 0.5f}, {B, 0.75f}}},
      {"below threshold removes", {{A, 0.5f}, {B, 0.25f}}, A, 0.0001f, true, {{B, 0.25f}}},
      {"below threshold removes", {{A, 0.5f}}, A, 0.00019f, true, {}},
      // 0.0002f is the float just below the decimal 0.0002; the next float up
      // is the first one at or above it.
      {"float 0.0002 removes", {{A, 0.5f}}, A, 0.0002f, true, {}},
      {"first float above stays", {{A, 0.5f}}, A, kJustAbove, true, {{A, kJustAbove}}},
      {"above threshold stays", {{A, 0.5f}}, A, 0.00021f, true, {{A, 0.00021f}}},
      {"negative small removes", {{A, 0.5f}}, A, -0.0001f, true, {}},
      {"negative float 0.0002 removes", {{A, 0.5f}}, A, -0.0002f, true, {}},
      {"negative above stays", {{A, 0.5f}}, A, -kJustAbove, true, {{A, -kJustAbove}}},
      {"zero for absent bone fails", {{A, 0.5f}}, B, 0.0f, false, {{A, 0.5f}}},
      {"zero on empty fails", {}, A, 0.0f, false, {}},
      {"fifth bone ignored", full, E, 0.5f, true, full},
      {"full record still updates", full, C, 0.9f, true, {{A, 0.1f}, {B, 0.2f}, {C, 0.9f}, {D, 0.4f}}},
      {"full record still removes", full, A, 0.0f, true, {{B, 0.2f}, {C, 0.3f}, {D, 0.4f}}},
  };
  for (const Case& c : cases) {
    VWeight rec = FromEntries(c.before);
    EXPECT_EQ(SetWeight(rec, c.bone, c.w), c.result) << c.what;
    EXPECT_EQ(EntriesOf(rec), c.after) << c.what;
    EXPECT_EQ(rec.head & 1, 1) << c.what;
  }
}

TEST(WeightRecord, RemoveBoneAndRemoveAtCloseTheGap) {
  const Entries abcd{{A, 0.1f}, {B, 0.2f}, {C, 0.3f}, {D, 0.4f}};
  struct Case {
    const char* what;
    Entries before;
    bool by_bone;
    int32_t arg;  // bone or position
    bool result;
    Entries after;
  };
  const Case cases[] = {
      {"first bone", abcd, true, A, true, {{B, 0.2f}, {C, 0.3f}, {D, 0.4f}}},
      {"middle bone", abcd, true, C, true, {{A, 0.1f}, {B, 0.2f}, {D, 0.4f}}},
      {"last bone", abcd, true, D, true, {{A, 0.1f}, {B, 0.2f}, {C, 0.3f}}},
      {"absent bone", abcd, true, E, false, abcd},
      {"bone from empty", {}, true, A, false, {}},
      {"position 1", abcd, false, 1, true, {{A, 0.1f}, {C, 0.3f}, {D, 0.4f}}},
      {"position 3", abcd, false, 3, true, {{A, 0.1f}, {B, 0.2f}, {C, 0.3f}}},
      {"position -1", abcd, false, -1, false, abcd},
      {"position n", {{A, 0.1f}, {B, 0.2f}}, false, 2, false, {{A, 0.1f}, {B, 0.2f}}},
      {"position 0 of empty", {}, false, 0, false, {}},
  };
  for (const Case& c : cases) {
    VWeight rec = FromEntries(c.before);
    const bool result = c.by_bone ? RemoveBone(rec, c.arg) : RemoveAt(rec, c.arg);
    EXPECT_EQ(result, c.result) << c.what;
    EXPECT_EQ(EntriesOf(rec), c.after) << c.what;
  }
}

TEST(WeightRecord, NormalizeScalesBySinglePrecisionReciprocal) {
  struct Case {
    const char* what;
    Entries before;
    std::vector<float> after;
  };
  const Case cases[] = {
      {"empty", {}, {}},
      {"two entries", {{A, 0.7f}, {B, 0.1f}}, {0.875f, 0.125f}},
      {"one entry becomes 1", {{A, 0.3f}}, {1.0f}},
      {"one zero entry becomes 1", {{A, 0.0f}}, {1.0f}},
      {"tiny sum stays", {{A, 0.0001f}, {B, 0.0001f}}, {0.0001f, 0.0001f}},
      {"sum above threshold", {{A, 0.0001f}, {B, 0.00011f}}, {0.0001f / 0.00021f, 0.00011f / 0.00021f}},
      {"negative sum stays", {{A, -0.5f}, {B, 0.4f}}, {-0.5f, 0.4f}},
      {"three entries", {{A, 0.5f}, {B, 0.5f}, {C, 1.0f}}, {0.25f, 0.25f, 0.5f}},
  };
  for (const Case& c : cases) {
    VWeight rec = FromEntries(c.before);
    Normalize(rec);
    ASSERT_EQ(Count(rec), static_cast<int>(c.after.size())) << c.what;
    for (std::size_t i = 0; i < c.after.size(); ++i) {
      EXPECT_NEAR(rec.entries[i].weight, c.after[i], 1e-6f) << c.what << " entry " << i;
      EXPECT_EQ(rec.entries[i].bone, c.before[i].bone) << c.what;
    }
  }

  // Bit for bit: the float sum's float reciprocal times each weight. Dividing
  // by the sum, or working in double, rounds 0.1 / 0.9 differently.
  VWeight rec = FromEntries({{A, 0.1f}, {B, 0.8f}});
  Normalize(rec);
  const float sum = 0.1f + 0.8f;
  const float inv = 1.0f / sum;
  EXPECT_EQ(rec.entries[0].weight, 0.1f * inv);
  EXPECT_EQ(rec.entries[1].weight, 0.8f * inv);
}

TEST(WeightRecord, CopyEntriesKeepsTheDestinationsValidBitAndColour) {
  const VWeight src = FromEntries({{A, 0.25f}, {B, 0.75f}});
  for (uint8_t valid : {uint8_t{0}, uint8_t{1}}) {
    VWeight dst = FromEntries({{C, 1.0f}, {D, 0.5f}, {E, 0.5f}});
    dst.head = static_cast<uint8_t>((dst.head & ~1) | valid);
    dst.colour[0] = 9;
    dst.colour[1] = 8;
    dst.colour[2] = 7;
    CopyEntries(dst, src);
    EXPECT_EQ(dst.head & 1, valid);
    EXPECT_EQ(EntriesOf(dst), EntriesOf(src));
    EXPECT_EQ(std::memcmp(dst.entries, src.entries, sizeof dst.entries), 0);
    EXPECT_EQ(dst.colour[0], 9);
    EXPECT_EQ(dst.colour[1], 8);
    EXPECT_EQ(dst.colour[2], 7);
  }
}

// Host data may carry any of the count field's seven bits; the record only
// has room for four entries.
TEST(WeightRecord, CountAboveFourIsReadAsFour) {
  struct Case {
    uint8_t head;
    int count;
  };
  const Case cases[] = {{0x00, 0}, {0x01, 0}, {0x03, 1}, {0x09, 4}, {0x0A, 4},
                        {0x0B, 4},  {0x7F, 4}, {0xFE, 4}, {0xFF, 4}};
  for (const Case& c : cases) {
    VWeight rec;
    rec.head = c.head;
    EXPECT_EQ(Count(rec), c.count) << "head " << int(c.head);
  }
}

TEST(WeightRecord, OperationsOnAnOverfullCountStayInsideTheRecord) {
  const Entries abcd{{A, 0.5f}, {B, 0.5f}, {C, 0.5f}, {D, 0.5f}};
  // Each record is its own object, so a read or write past its 36 bytes is
  // caught by the address sanitizer build.
  auto overfull = [&] {
    VWeight rec = FromEntries(abcd);
    rec.head = 0xFF;  // valid, count 127
    return rec;
  };

  VWeight rec = overfull();
  EXPECT_EQ(FindBone(rec, E), -1);
  EXPECT_TRUE(SetWeight(rec, E, 0.5f));
  EXPECT_EQ(EntriesOf(rec), abcd) << "no room for a fifth bone";
  EXPECT_EQ(rec.head, 0xFF) << "nothing changed";
  EXPECT_TRUE(SetWeight(rec, B, 0.75f));
  EXPECT_EQ(rec.head, 0x09) << "a change stores the count actually used";

  rec = overfull();
  EXPECT_FALSE(RemoveAt(rec, 4));
  EXPECT_TRUE(RemoveAt(rec, 3));
  EXPECT_EQ(EntriesOf(rec), (Entries{{A, 0.5f}, {B, 0.5f}, {C, 0.5f}}));
  EXPECT_EQ(rec.head, 0x07);

  rec = overfull();
  Normalize(rec);
  for (const VWeightEntry& e : EntriesOf(rec)) EXPECT_FLOAT_EQ(e.weight, 0.25f);
  EXPECT_EQ(Count(rec), 4);

  VWeight dst;
  Init(dst);
  CopyEntries(dst, overfull());
  EXPECT_EQ(dst.head, 0x09);

  rec = overfull();
  UpdateColourAllBones(rec, [](int32_t, UCOLOR* c) {
    *c = UCOLOR(100, 0, 0);
    return true;
  });
  EXPECT_EQ(rec.colour[0], 200) << "four entries of 100 x 0.5";

  rec = overfull();
  Sanitize(rec);
  EXPECT_EQ(rec.head, 0x09);
}

TEST(WeightRecord, SanitizeKeepsTheFirstEntryOfEachBone) {
  VWeight rec = FromEntries({{A, 0.1f}, {B, 0.2f}, {A, 0.3f}, {B, 0.4f}});
  Sanitize(rec);
  EXPECT_EQ(EntriesOf(rec), (Entries{{A, 0.1f}, {B, 0.2f}}));
  EXPECT_EQ(rec.head & 1, 1);
}

TEST(WeightRecord, MergeRepeatedBonesSumsThemAtTheFirstPlace) {
  VWeight rec = FromEntries({{A, 0.1f}, {B, 0.2f}, {A, 0.3f}, {A, 0.4f}});
  MergeRepeatedBones(rec);
  EXPECT_EQ(EntriesOf(rec), (Entries{{A, 0.1f + 0.3f + 0.4f}, {B, 0.2f}}));
  EXPECT_EQ(rec.head & 1, 1);
}

// ---------------------------------------------------------------- colours

struct Bone {
  int32_t id;
  UCOLOR colour;
};

BoneColourLookup LookupOf(std::vector<Bone> bones) {
  return [bones](int32_t id, UCOLOR* colour) {
    for (const Bone& b : bones) {
      if (b.id == id) {
        *colour = b.colour;
        return true;
      }
    }
    return false;
  };
}

struct Rgb {
  int r, g, b;
};

void ExpectColour(const VWeight& rec, Rgb want, const std::string& what) {
  EXPECT_EQ(rec.colour[0], want.r) << what;
  EXPECT_EQ(rec.colour[1], want.g) << what;
  EXPECT_EQ(rec.colour[2], want.b) << what;
}

TEST(WeightRecordColour, AllBonesSumWithTruncationAndClamping) {
  // A and B show their weights; C is a bone that no longer exists or has its
  // weight display switched off.
  const auto lookup = LookupOf({{A, UCOLOR(200, 0, 0)}, {B, UCOLOR(100, 100, 0)},
                                {D, UCOLOR(255, 255, 255)}, {E, UCOLOR(255, 1, 0)}});
  struct Case {
    const char* what;
    Entries entries;
    Rgb colour;
  };
  const Case cases[] = {
      {"no entries", {}, {0, 0, 0}},
      {"only hidden bones", {{C, 1.0f}}, {0, 0, 0}},
      {"halves", {{A, 0.5f}, {B, 0.5f}}, {150, 50, 0}},
      {"wholes clamp", {{A, 1.0f}, {B, 1.0f}}, {255, 100, 0}},
      {"hidden bone skipped", {{A, 0.5f}, {C, 1.0f}, {B, 0.5f}}, {150, 50, 0}},
      // 255 x 0.3 = 76.5 -> 76, then 255 x 0.3 + 76 = 152.5 -> 152: truncated
      // after each addition, not once at the end (153).
      {"truncation per step", {{D, 0.3f}, {E, 0.3f}}, {152, 76, 76}},
      {"truncation toward zero", {{D, 0.5f}}, {127, 127, 127}},
      {"negative sum clamps to zero", {{A, -1.0f}}, {0, 0, 0}},
      {"huge weight clamps", {{A, 1e30f}}, {255, 0, 0}},
  };
  for (const Case& c : cases) {
    VWeight rec = FromEntries(c.entries);
    rec.colour[0] = rec.colour[1] = rec.colour[2] = 77;
    UpdateColourAllBones(rec, lookup);
    ExpectColour(rec, c.colour, c.what);
  }
}

TEST(WeightRecordColour, CurrentObjectOnly) {
  const auto lookup = LookupOf({{A, UCOLOR(200, 100, 51)}, {B, UCOLOR(100, 100, 0)}});
  struct Case {
    const char* what;
    Entries entries;
    int32_t current;
    Rgb colour;
  };
  const Case cases[] = {
      {"current bone weighted", {{B, 1.0f}, {A, 0.5f}}, A, {100, 50, 25}},
      {"current bone absent", {{B, 1.0f}}, A, {0, 0, 0}},
      {"no current object", {{A, 1.0f}}, -1, {0, 0, 0}},
      {"zero weight", {{A, 0.0f}}, A, {0, 0, 0}},
      {"negative weight", {{A, -0.5f}}, A, {0, 0, 0}},
      {"current bone hidden", {{C, 1.0f}}, C, {0, 0, 0}},
      {"overweight clamps", {{A, 2.0f}}, A, {255, 200, 102}},
  };
  for (const Case& c : cases) {
    VWeight rec = FromEntries(c.entries);
    rec.colour[0] = rec.colour[1] = rec.colour[2] = 77;
    UpdateColourCurrentObject(rec, c.current, lookup);
    ExpectColour(rec, c.colour, c.what);
  }
}

TEST(WeightRecordColour, PackedForDrawing) {
  VWeight rec;
  rec.colour[0] = 0x12;
  rec.colour[1] = 0x34;
  rec.colour[2] = 0x56;
  EXPECT_EQ(PackedDisplayColour(rec), 0xFF563412u);
}

}  // namespace
