// Mirroring across X = 0: side markers of bone names, the bone pairing,
// vertex weights taken from the mirror vertex, and mirrored poses.
#include "rig/weight_mirror.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "deform/pose_evaluation.h"
#include "rig/weight_record.h"

using namespace quorvel;

namespace {

VWeight Record(std::initializer_list<VWeightEntry> entries, uint8_t r = 0, uint8_t g = 0, uint8_t b = 0) {
  VWeight rec;
  Init(rec);
  rec.colour[0] = r;
  rec.colour[1] = g;
  rec.colour[2] = b;
  for (const VWeightEntry& e : entries) SetWeight(rec, e.bone, e.weight);
  return rec;
}

bool SameBytes(const VWeight& a, const VWeight& b) { return std::memcmp(&a, &b, sizeof(VWeight)) == 0; }

std::string Hex(const std::string& s) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : s) {
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      out += "\\x";
      out += kDigits[c >> 4];
      out += kDigits[c & 15];
    }
  }
  return out;
}

// ---------------------------------------------------------------------------
// Names

// Shift-JIS: 左 8D B6, 右 89 45, 腕 98 72, キ 83 4C (trail 'L'), コ 83 52
// (trail 'R'), ダ 83 5F (trail '_'), ロ 83 8D, ラ 83 89, half-width ｶ B6.
// UTF-8: 左 E5 B7 A6, 右 E5 8F B3, 腕 E8 85 95.
TEST(MirrorBoneName, SwapsSideMarkersAndIgnoresLookAlikes) {
  struct Case {
    const char* name;
    const char* mirrored;  // "" for no marker
  };
  const Case cases[] = {
      // Letters with a separator, as suffix and prefix, case kept.
      {"arm_L", "arm_R"},
      {"arm.R", "arm.L"},
      {"arm-L", "arm-R"},
      {"arm L", "arm R"},
      {"ARM_L", "ARM_R"},
      {"arm_l", "arm_r"},
      {"L_arm", "R_arm"},
      {"R.arm", "L.arm"},
      {"l arm", "r arm"},
      {"L_", "R_"},
      {"hand.L.001", ""},  // a marker in the middle is no marker
      // Words, with or without separator.
      {"LeftArm", "RightArm"},
      {"armRight", "armLeft"},
      {"arm_Left", "arm_Right"},
      {"Left", "Right"},
      {"leftArm", "rightArm"},
      {"arm_right", "arm_left"},
      {"left", "right"},
      {"ARM_LEFT", "ARM_RIGHT"},
      {"RIGHT_ARM", "LEFT_ARM"},
      {"RIGHT2", "LEFT2"},
      {"Left"
       "\xE8\x85\x95",
       "Right"
       "\xE8\x85\x95"},
      // Not markers: letters inside words, words inside words.
      {"Lower", ""},
      {"Ring", ""},
      {"LowerLeg", ""},
      {"armL", ""},
      {"L", ""},
      {"R", ""},
      {"Leftover", ""},
      {"Rightful", ""},
      {"bright", ""},
      {"armleft", ""},
      {"UPRIGHT", ""},
      {"RIGHTEOUS", ""},
      {"ArmLeftUpper", ""},
      {"spine", ""},
      {"", ""},
      // Shift-JIS kanji as prefix and suffix.
      {"\x8D\xB6\x98\x72", "\x89\x45\x98\x72"},
      {"\x98\x72\x89\x45", "\x98\x72\x8D\xB6"},
      {"\x98\x72_\x8D\xB6", "\x98\x72_\x89\x45"},
      {"\x8D\xB6", "\x89\x45"},
      // Shift-JIS trail bytes that look like markers.
      {"\x83\x8D\xB6", ""},  // ロｶ: 8D B6 straddles two characters
      {"\x83\x89\x45", ""},  // ラE: 89 45 straddles two characters
      {"\x83\x5FL", ""},     // ダL: the '_' is a trail byte
      {"\x83\x52IGHT", ""},  // コIGHT: the 'R' is a trail byte
      {"\x83\x4C"
       "eft",
       ""},                          // キeft: the 'L' is a trail byte
      {"\x98\x72\x83\x4C", ""},      // 腕キ
      {"\x83\x4C_L", "\x83\x4C_R"},  // キ_L: a real marker after a trail 'L'
      {"L_\x83\x4C", "R_\x83\x4C"},
      {"\x83\x52left", "\x83\x52right"},  // コleft: the 'R' before the word is no letter
      // UTF-8 kanji.
      {"\xE5\xB7\xA6\xE8\x85\x95", "\xE5\x8F\xB3\xE8\x85\x95"},
      {"\xE8\x85\x95_\xE5\x8F\xB3", "\xE8\x85\x95_\xE5\xB7\xA6"},
      {"\xE8\x85\x95_L", "\xE8\x85\x95_R"},
      // A Shift-JIS name whose swapped kanji would read as UTF-8 (E3 81 89
      // is a UTF-8 character) could not swap back: no mirror name.
      {"\xE3\x81\x8D\xB6", ""},
  };
  for (const Case& c : cases) {
    const std::string mirrored = MirrorBoneName(c.name);
    EXPECT_EQ(Hex(mirrored), Hex(c.mirrored)) << "name " << Hex(c.name);
    if (!mirrored.empty()) {
      EXPECT_EQ(Hex(MirrorBoneName(mirrored)), Hex(c.name)) << "twice, name " << Hex(c.name);
    }
  }
}

// ---------------------------------------------------------------------------
// Bone pairing

RigBone Bone(int32_t id, const char* name, FVECTOR3 head, FVECTOR3 tail) {
  RigBone bone;
  bone.id = id;
  bone.name = name;
  bone.head = head;
  bone.tail = tail;
  return bone;
}

void ExpectSymmetric(const std::vector<int>& pairing) {
  for (std::size_t i = 0; i < pairing.size(); ++i) {
    ASSERT_GE(pairing[i], 0);
    ASSERT_LT(static_cast<std::size_t>(pairing[i]), pairing.size());
    EXPECT_EQ(pairing[static_cast<std::size_t>(pairing[i])], static_cast<int>(i)) << "bone " << i;
  }
}

TEST(PairMirrorBones, ByNameFirstThenByPosition) {
  const std::vector<RigBone> bones = {
      Bone(100, "hips", {0, 1, 0}, {0, 1.2f, 0}),                         // 0: on the plane
      Bone(101, "arm_L", {0.3f, 1.5f, 0}, {0.6f, 1.5f, 0}),               // 1
      Bone(102, "arm_R", {-0.35f, 1.5f, 0}, {-0.7f, 1.4f, 0}),            // 2: name wins over position
      Bone(103, "thighA", {0.1f, 1, 0}, {0.1f, 0.5f, 0.01f}),             // 3
      Bone(104, "thighB", {-0.1f, 1, 0}, {-0.1f, 0.5f, 0.01f}),           // 4: mirror of 3 by position
      Bone(105, "tailbone", {0.02f, 0.9f, -0.1f}, {0.02f, 0.8f, -0.3f}),  // 5: off the plane, no mirror
      Bone(106, "hand_L", {0.6f, 1.5f, 0}, {0.7f, 1.5f, 0}),              // 6
      Bone(107, "hand_L", {0.9f, 1.5f, 0}, {1.0f, 1.5f, 0}),              // 7: repeated name
      Bone(108, "hand_R", {-0.6f, 1.5f, 0}, {-0.7f, 1.5f, 0}),            // 8
      Bone(109, "finger", {-0.9f, 1.5f, 0}, {-1.0f, 1.5f, 0}),            // 9: mirror of 7 by position
      Bone(110, "neck_L", {0, 1.6f, 0}, {0, 1.7f, 0}),                    // 10: no neck_R, on the plane
  };
  const std::vector<int> pairing = PairMirrorBones(bones, 0.001f);
  EXPECT_EQ(pairing, (std::vector<int>{0, 2, 1, 4, 3, 5, 8, 9, 6, 7, 10}));
  ExpectSymmetric(pairing);

  const BoneMirrorMap ids = MirrorIdMap(bones, pairing);
  EXPECT_EQ(
      ids,
      (BoneMirrorMap{
          {101, 102}, {102, 101}, {103, 104}, {104, 103}, {106, 108}, {108, 106}, {107, 109}, {109, 107}}));
}

TEST(PairMirrorBones, PositionsWithinTheToleranceOnly) {
  struct Case {
    const char* what;
    float offset;  // how far the right bone's tail is from the mirror of the left one's
    float tolerance;
    bool paired;
  };
  const Case cases[] = {
      {"exact", 0.0f, 0.0f, true},
      {"inside", 0.004f, 0.005f, true},
      {"outside", 0.006f, 0.005f, false},
      {"negative tolerance is exact", 0.001f, -1.0f, false},
  };
  for (const Case& c : cases) {
    const std::vector<RigBone> bones = {
        Bone(1, "a", {0.25f, 1, 0}, {0.5f, 1, 0}),
        Bone(2, "b", {-0.25f, 1, 0}, {-0.5f, 1, c.offset}),
    };
    const std::vector<int> pairing = PairMirrorBones(bones, c.tolerance);
    EXPECT_EQ(pairing, c.paired ? (std::vector<int>{1, 0}) : (std::vector<int>{0, 1})) << c.what;
  }
}

TEST(PairMirrorBones, NearestPairWinsAndEveryBoneIsPairedOnce) {
  // Two candidates for bone 0 by position: 2 is nearer than 1. Bone 1 then
  // has no partner left and stays its own mirror.
  const std::vector<RigBone> bones = {
      Bone(1, "a", {0.5f, 0, 0}, {0.5f, 1, 0}),
      Bone(2, "b", {-0.5f, 0, 0.02f}, {-0.5f, 1, 0}),
      Bone(3, "c", {-0.5f, 0, 0.01f}, {-0.5f, 1, 0}),
      Bone(4, "d", {0, 0, 0}, {0, 1, 0}),
  };
  const std::vector<int> pairing = PairMirrorBones(bones, 0.05f);
  EXPECT_EQ(pairing, (std::vector<int>{2, 1, 0, 3}));
  ExpectSymmetric(pairing);
  EXPECT_TRUE(PairMirrorBones({}, 0.1f).empty());
}

// ---------------------------------------------------------------------------
// Weights

constexpr int32_t kSpine = 1, kArmL = 10, kLegL = 11, kArmR = 20, kLegR = 21;

std::vector<RigBone> CharacterBones() {
  return {
      Bone(kSpine, "spine", {0, 1, 0}, {0, 1.5f, 0}),
      Bone(kArmL, "arm_L", {0.2f, 1.4f, 0}, {0.6f, 1.4f, 0}),
      Bone(kLegL, "leg_L", {0.1f, 0.9f, 0}, {0.1f, 0.1f, 0}),
      Bone(kArmR, "arm_R", {-0.2f, 1.4f, 0}, {-0.6f, 1.4f, 0}),
      Bone(kLegR, "leg_R", {-0.1f, 0.9f, 0}, {-0.1f, 0.1f, 0}),
  };
}

// A small figure: a spine column on the plane, and on each side an arm and a
// leg. The right side's vertices are the left's mirrored, in another order.
struct Figure {
  std::vector<FVECTOR3> positions;
  std::vector<VWeight> weights;
  std::vector<int> left, right, centre;  // vertex indices
};

Figure SymmetricFigure() {
  const std::vector<FVECTOR3> left_points = {
      {0.21f, 1.41f, 0.013f}, {0.33f, 1.43f, -0.02f}, {0.47f, 1.39f, 0.031f}, {0.59f, 1.40f, 0.0f},
      {0.12f, 0.87f, 0.05f},  {0.11f, 0.52f, -0.04f}, {0.09f, 0.13f, 0.02f},  {0.15f, 1.20f, 0.0f},
  };
  const std::vector<VWeight> left_weights = {
      Record({{kSpine, 0.6f}, {kArmL, 0.4f}}, 10, 20, 30),
      Record({{kArmL, 1.0f}}, 11, 21, 31),
      Record({{kArmL, 0.5f}, {kSpine, 0.25f}, {kLegL, 0.125f}, {kArmR, 0.125f}}),
      Record({{kArmL, 0.9f}, {77, 0.1f}}),  // 77: a bone without a mirror
      Record({{kLegL, 0.7f}, {kSpine, 0.3f}}),
      Record({}),  // valid, no entries
      VWeight{},   // never initialised
      Record({{kSpine, 0.3333333f}, {kLegL, 0.3333333f}, {kArmL, 0.3333334f}}),
  };
  Figure f;
  const std::vector<FVECTOR3> centre_points = {{0, 1.0f, 0}, {0, 1.3f, 0.01f}, {0.0004f, 1.5f, 0}};
  // Interleaved: centre, left, right in a mixed order.
  const std::size_t n = left_points.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (i < centre_points.size()) {
      f.centre.push_back(static_cast<int>(f.positions.size()));
      f.positions.push_back(centre_points[i]);
      f.weights.push_back(Record({{kSpine, 1.0f}}, 1, 2, 3));
    }
    f.left.push_back(static_cast<int>(f.positions.size()));
    f.positions.push_back(left_points[i]);
    f.weights.push_back(left_weights[i]);
  }
  for (std::size_t i = n; i-- > 0;) {
    const FVECTOR3& p = left_points[i];
    f.right.push_back(static_cast<int>(f.positions.size()));
    f.positions.push_back(FVECTOR3(-p.x, p.y, p.z));
    // Whatever the right side held before, with colours of its own.
    f.weights.push_back(Record({{kArmR, 0.2f}, {kLegR, 0.8f}}, 200, 100, static_cast<uint8_t>(i)));
  }
  std::reverse(f.right.begin(), f.right.end());  // right[i] mirrors left[i]
  return f;
}

TEST(MirrorWeights, LeftToRightCopiesMirroredRecords) {
  Figure f = SymmetricFigure();
  const std::vector<RigBone> bones = CharacterBones();
  const BoneMirrorMap ids = MirrorIdMap(bones, PairMirrorBones(bones, 0.001f));
  const std::vector<VWeight> before = f.weights;

  const MirrorWeightsReport report =
      MirrorWeights(f.positions, {}, ids, MirrorDirection::kPlusToMinus, 0.001f, f.weights);
  EXPECT_EQ(report.written, static_cast<int>(f.right.size()));
  EXPECT_EQ(report.unmatched, 0);
  EXPECT_TRUE(report.unmatched_vertices.empty());

  for (std::size_t i = 0; i < f.left.size(); ++i) {
    const VWeight& source = before[static_cast<std::size_t>(f.left[i])];
    const VWeight& target = f.weights[static_cast<std::size_t>(f.right[i])];
    const VWeight& old_target = before[static_cast<std::size_t>(f.right[i])];
    EXPECT_EQ(target.head, source.head) << "vertex " << f.right[i];
    EXPECT_EQ(std::memcmp(target.colour, old_target.colour, 3), 0) << "colour stays the target's";
    for (int k = 0; k < Count(source); ++k) {
      const int32_t bone = source.entries[k].bone;
      const int32_t expected = bone == kArmL ? kArmR : bone == kLegL ? kLegR : bone == kArmR ? kArmL : bone;
      EXPECT_EQ(target.entries[k].bone, expected) << "vertex " << f.right[i] << " entry " << k;
      EXPECT_EQ(target.entries[k].weight, source.entries[k].weight);
    }
  }
  for (int v : f.left)
    EXPECT_TRUE(SameBytes(f.weights[static_cast<std::size_t>(v)], before[static_cast<std::size_t>(v)]));
  for (int v : f.centre)
    EXPECT_TRUE(SameBytes(f.weights[static_cast<std::size_t>(v)], before[static_cast<std::size_t>(v)]));
  // The never-initialised source gives a target without weights too.
  EXPECT_FALSE(IsValid(f.weights[static_cast<std::size_t>(f.right[6])]));
  EXPECT_EQ(Count(f.weights[static_cast<std::size_t>(f.right[6])]), 0);
}

TEST(MirrorWeights, ThereAndBackGivesTheOriginalBytes) {
  for (const auto first : {MirrorDirection::kPlusToMinus, MirrorDirection::kMinusToPlus}) {
    Figure f = SymmetricFigure();
    const std::vector<RigBone> bones = CharacterBones();
    const BoneMirrorMap ids = MirrorIdMap(bones, PairMirrorBones(bones, 0.001f));
    const auto back = first == MirrorDirection::kPlusToMinus ? MirrorDirection::kMinusToPlus
                                                             : MirrorDirection::kPlusToMinus;
    MirrorWeights(f.positions, {}, ids, first, 0.001f, f.weights);
    const std::vector<VWeight> once = f.weights;
    const MirrorWeightsReport report = MirrorWeights(f.positions, {}, ids, back, 0.001f, f.weights);
    EXPECT_EQ(report.written, 8);
    ASSERT_EQ(f.weights.size(), once.size());
    EXPECT_EQ(std::memcmp(f.weights.data(), once.data(), once.size() * sizeof(VWeight)), 0)
        << "the second mirror rewrote the first side with its own records";
  }
}

TEST(MirrorWeights, ReportsVerticesWithoutAMirror) {
  Figure f = SymmetricFigure();
  const float tolerance = 0.001f;
  // Right vertex 1 moved within the tolerance: still matched. Right vertices
  // 3 and 5 moved beyond it: unmatched. A left vertex moved away leaves its
  // right mirror (right[6]) without a partner.
  f.positions[static_cast<std::size_t>(f.right[1])].y += 0.0006f;
  f.positions[static_cast<std::size_t>(f.right[3])].z += 0.002f;
  f.positions[static_cast<std::size_t>(f.right[5])].x -= 0.01f;
  f.positions[static_cast<std::size_t>(f.left[6])].y += 0.05f;
  const std::vector<VWeight> before = f.weights;

  const MirrorWeightsReport report =
      MirrorWeights(f.positions, {}, BoneMirrorMap{}, MirrorDirection::kPlusToMinus, tolerance, f.weights);
  std::vector<int> expected = {f.right[3], f.right[5], f.right[6]};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(report.unmatched, 3);
  EXPECT_EQ(report.unmatched_vertices, expected);
  EXPECT_EQ(report.written, static_cast<int>(f.right.size()) - 3);
  for (int v : expected) {
    EXPECT_TRUE(SameBytes(f.weights[static_cast<std::size_t>(v)], before[static_cast<std::size_t>(v)]))
        << "unmatched vertex " << v << " keeps its weights";
  }
  EXPECT_EQ(f.weights[static_cast<std::size_t>(f.right[1])].head,
            before[static_cast<std::size_t>(f.left[1])].head);
}

TEST(MirrorWeights, NearestSourceWinsAndTiesGoToTheLowestIndex) {
  const VWeight a = Record({{1, 1.0f}}), b = Record({{2, 1.0f}}), c = Record({{3, 1.0f}});
  struct Case {
    const char* what;
    std::vector<FVECTOR3> sources;  // vertices 1.. (vertex 0 is the target at (-1, 0, 0))
    int32_t bone;                   // the bone the target ends with
  };
  const Case cases[] = {
      {"nearer second", {{1.0f, 0.004f, 0}, {1.0f, 0.002f, 0}, {1.0f, 0.003f, 0}}, 2},
      {"nearer first", {{1.0f, 0, 0.001f}, {1.0f, 0.002f, 0}, {1.0f, 0.003f, 0}}, 1},
      {"tie, lowest index", {{1.0f, 0.002f, 0}, {1.0f, -0.002f, 0}, {1.0f, 0, 0.002f}}, 1},
      {"only one within", {{1.0f, 0.02f, 0}, {1.0f, 0.03f, 0}, {1.0f, 0.004f, 0}}, 3},
  };
  for (const Case& k : cases) {
    std::vector<FVECTOR3> positions = {{-1.0f, 0, 0}};
    positions.insert(positions.end(), k.sources.begin(), k.sources.end());
    std::vector<VWeight> weights = {Record({{9, 1.0f}}), a, b, c};
    const MirrorWeightsReport report =
        MirrorWeights(positions, {}, BoneMirrorMap{}, MirrorDirection::kPlusToMinus, 0.005f, weights);
    EXPECT_EQ(report.written, 1) << k.what;
    EXPECT_EQ(weights[0].entries[0].bone, k.bone) << k.what;
  }
}

TEST(MirrorWeights, OnlySelectedTargetsChangeAndThePlaneStays) {
  Figure f = SymmetricFigure();
  std::vector<uint8_t> selected(f.positions.size(), 0);
  // Selected: two right vertices, a left one (a source: not written) and a
  // centre one (on the plane: not written). Sources need no selection.
  selected[static_cast<std::size_t>(f.right[0])] = 1;
  selected[static_cast<std::size_t>(f.right[4])] = 1;
  selected[static_cast<std::size_t>(f.left[2])] = 1;
  selected[static_cast<std::size_t>(f.centre[2])] = 1;  // x = 0.0004, inside the tolerance
  const std::vector<VWeight> before = f.weights;
  const MirrorWeightsReport report =
      MirrorWeights(f.positions, selected, BoneMirrorMap{}, MirrorDirection::kPlusToMinus, 0.001f, f.weights);
  EXPECT_EQ(report.written, 2);
  EXPECT_EQ(report.unmatched, 0);
  for (std::size_t v = 0; v < f.weights.size(); ++v) {
    const bool written = static_cast<int>(v) == f.right[0] || static_cast<int>(v) == f.right[4];
    EXPECT_EQ(SameBytes(f.weights[v], before[v]), !written) << "vertex " << v;
  }
  EXPECT_TRUE(SameBytes(f.weights[static_cast<std::size_t>(f.right[4])], [&] {
    VWeight expected = before[static_cast<std::size_t>(f.left[4])];
    std::memcpy(expected.colour, before[static_cast<std::size_t>(f.right[4])].colour, 3);
    return expected;
  }()));

  // A selection mask shorter than the vertex list leaves the rest unselected.
  Figure g = SymmetricFigure();
  const MirrorWeightsReport none = MirrorWeights(g.positions, std::vector<uint8_t>(1, 1), BoneMirrorMap{},
                                                 MirrorDirection::kPlusToMinus, 0.001f, g.weights);
  EXPECT_EQ(none.written + none.unmatched, 0);
}

TEST(MirrorWeights, BadInputChangesNothingItCannotRead) {
  // Positions that are not finite are neither sources nor targets; records
  // past the shorter of the two lists are left alone.
  std::vector<FVECTOR3> positions = {{-1, 0, 0}, {1, 0, 0}, {-2, 0, 0}, {NAN, 0, 0}, {-3, 0, 0}};
  std::vector<VWeight> weights = {Record({{5, 1.0f}}), Record({{6, 1.0f}}), Record({{7, 1.0f}}),
                                  Record({{8, 1.0f}})};
  const MirrorWeightsReport report =
      MirrorWeights(positions, {}, BoneMirrorMap{}, MirrorDirection::kPlusToMinus, 0.01f, weights);
  EXPECT_EQ(report.written, 1);
  EXPECT_EQ(report.unmatched_vertices, (std::vector<int>{2}));
  EXPECT_EQ(weights[0].entries[0].bone, 6);
  EXPECT_EQ(weights[3].entries[0].bone, 8);
  // An infinite tolerance puts every vertex on the plane; NaN reads as 0
  // (exact mirrors only).
  struct Case {
    float tolerance;
    int written;
  };
  for (const Case& c : {Case{INFINITY, 0}, Case{NAN, 1}, Case{-1.0f, 1}}) {
    std::vector<VWeight> copy = {Record({{5, 1.0f}}), Record({{6, 1.0f}})};
    const MirrorWeightsReport r =
        MirrorWeights(positions, {}, BoneMirrorMap{}, MirrorDirection::kPlusToMinus, c.tolerance, copy);
    EXPECT_EQ(r.written, c.written) << "tolerance " << c.tolerance;
    EXPECT_EQ(copy[0].entries[0].bone, c.written == 1 ? 6 : 5) << "tolerance " << c.tolerance;
  }
}

// ---------------------------------------------------------------------------
// Poses

TEST(MirrorPose, TwiceIsTheOriginalAndItMirrorsTheTransform) {
  struct Case {
    FVECTOR3 trs, scl;
    FVECTOR3 axis;
    float angle;
    FVECTOR3 pivot;
  };
  const Case cases[] = {
      {{0, 0, 0}, {1, 1, 1}, {0, 0, 1}, 0.0f, {0.3f, 1.2f, 0}},
      {{0.1f, -0.2f, 0.3f}, {1, 1, 1}, {0, 1, 0}, 0.7f, {0.25f, 1.4f, 0.05f}},
      {{-0.05f, 0.2f, 0}, {1.5f, 0.8f, 1.2f}, {0.3f, -0.5f, 0.8f}, -1.3f, {0.5f, 0.9f, -0.2f}},
      {{0.4f, 0, -0.1f}, {0.5f, 2.0f, 1.0f}, {1, 0, 0}, 2.9f, {-0.7f, 0.1f, 0.3f}},
  };
  const FVECTOR3 points[] = {{0, 0, 0}, {0.6f, 1.4f, 0.1f}, {-0.3f, 0.2f, -0.8f}, {1.1f, -0.5f, 0.4f}};
  auto mirrored = [](const FVECTOR3& p) { return FVECTOR3(-p.x, p.y, p.z); };
  for (const Case& c : cases) {
    OPoseTSQ pose;
    pose.trs = c.trs;
    pose.scl = c.scl;
    pose.rot = FQUAT::FromAxisAngle(c.axis, c.angle);
    const OPoseTSQ mirror = MirrorPose(pose);
    const OPoseTSQ twice = MirrorPose(mirror);
    EXPECT_EQ(std::memcmp(&twice, &pose, sizeof pose), 0);
    EXPECT_EQ(std::memcmp(&mirror.scl, &pose.scl, sizeof pose.scl), 0);

    const FMATRIX original = PoseLocalMatrix(pose, c.pivot);
    const FMATRIX reflected = PoseLocalMatrix(mirror, mirrored(c.pivot));
    for (const FVECTOR3& p : points) {
      const FVECTOR3 expected = mirrored(original.TransformPoint(p));
      const FVECTOR3 got = reflected.TransformPoint(mirrored(p));
      EXPECT_NEAR(got.x, expected.x, 1e-5f);
      EXPECT_NEAR(got.y, expected.y, 1e-5f);
      EXPECT_NEAR(got.z, expected.z, 1e-5f);
    }
  }
}

}  // namespace
