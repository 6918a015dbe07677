// Stored layouts, fresh values and the bounded name fields of the records.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "rig/edit_state.h"
#include "rig/records.h"
#include "tests/support/float_checks.h"

using namespace quorvel;

namespace {

std::string Repeat(const std::string& piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

struct FieldCase {
  const char* field;
  std::size_t actual;
  std::size_t expected;
};

TEST(RecordLayout, RecordSizesAndFieldOffsets) {
  const FieldCase cases[] = {
      {"sizeof VWeight", sizeof(VWeight), 36},
      {"VWeight colour", offsetof(VWeight, colour), 1},
      {"VWeight entries", offsetof(VWeight, entries), 4},
      {"VWeight entry 1 bone", offsetof(VWeight, entries) + sizeof(VWeightEntry), 12},
      {"VWeight entry weight", offsetof(VWeightEntry, weight), 4},
      {"sizeof VMorphTarget", sizeof(VMorphTarget), 16},
      {"VMorphTarget valid", offsetof(VMorphTarget, valid), 12},
      {"sizeof OBase", sizeof(OBase), 52},
      {"OBase saved visibility", offsetof(OBase, saved_visibility), 4},
      {"OBase current morph", offsetof(OBase, current_morph), 8},
      {"OBase reserved", offsetof(OBase, reserved), 12},
      {"OBase weight colour", offsetof(OBase, weight_colour), 16},
      {"OBase limit min", offsetof(OBase, limit_min), 20},
      {"OBase limit max", offsetof(OBase, limit_max), 32},
      {"OBase IK target", offsetof(OBase, ik_target), 44},
      {"OBase IK type", offsetof(OBase, ik_type), 48},
      {"sizeof OWMT", sizeof(OWMT), 64},
      {"sizeof OMorphTarget", sizeof(OMorphTarget), 268},
      {"OMorphTarget index", offsetof(OMorphTarget, index), 4},
      {"OMorphTarget name", offsetof(OMorphTarget, name), 8},
      {"OMorphTarget group", offsetof(OMorphTarget, group), 264},
      {"sizeof OMorphGroup", sizeof(OMorphGroup), 264},
      {"OMorphGroup name", offsetof(OMorphGroup, name), 8},
      {"sizeof OPoseTSQ", sizeof(OPoseTSQ), 40},
      {"OPoseTSQ scl", offsetof(OPoseTSQ, scl), 12},
      {"OPoseTSQ rot", offsetof(OPoseTSQ, rot), 24},
      {"sizeof OPoseMorph", sizeof(OPoseMorph), 80},
      {"sizeof QuorvelPose", sizeof(QuorvelPose), 260},
      {"QuorvelPose id", offsetof(QuorvelPose, id), 256},
      {"sizeof WeightPen", sizeof(WeightPen), 16},
  };
  for (const FieldCase& c : cases) EXPECT_EQ(c.actual, c.expected) << c.field;
}

// The default bone record as bytes: the flag word, then -1 fields, the
// colour bytes and the limits at their offsets.
TEST(RecordDefaults, BoneRecordBytesAndFlagBits) {
  const OBase rec;
  unsigned char bytes[sizeof(OBase)];
  std::memcpy(bytes, &rec, sizeof bytes);
  uint32_t flags;
  std::memcpy(&flags, bytes, 4);
  EXPECT_EQ(flags, 0x0003C0CFu);
  int32_t ints[3];
  std::memcpy(ints, bytes + 8, sizeof ints);
  EXPECT_EQ(ints[0], -1);  // current morph target
  EXPECT_EQ(ints[1], -1);  // reserved
  EXPECT_EQ(bytes[16], 0);
  EXPECT_EQ(bytes[17], 0);
  EXPECT_EQ(bytes[18], 0);
  EXPECT_EQ(bytes[19], 255);
  float limits[6];
  std::memcpy(limits, bytes + 20, sizeof limits);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(limits[i], -3.1415927f);
    EXPECT_EQ(limits[3 + i], 3.1415927f);
  }
  int32_t ik[2];
  std::memcpy(ik, bytes + 44, sizeof ik);
  EXPECT_EQ(ik[0], -1);
  EXPECT_EQ(ik[1], 0);

  struct BitCase {
    OBase::Flag flag;
    int bit;
    bool on;
  };
  const BitCase bits[] = {
      {OBase::OB_VALID, 0, true},       {OBase::usetrs, 1, true},
      {OBase::userot, 2, true},         {OBase::usescl, 3, true},
      {OBase::OB_POSEMARK, 4, false},   {OBase::connect, 5, false},
      {OBase::OB_RIG, 6, true},         {OBase::OB_POSEACTIVE, 7, true},
      {OBase::OB_SEL_PIVOT, 8, false},  {OBase::OB_SEL_ROLL, 9, false},
      {OBase::OB_SEL_BODY, 10, false},  {OBase::OB_HOVER_BODY, 11, false},
      {OBase::OB_HOVER_PIVOT, 12, false}, {OBase::OB_HOVER_ROLL, 13, false},
      {OBase::OB_WEIGHTSHOW, 14, true}, {OBase::OB_DEFAULT15, 15, true},
      {OBase::OB_LIMITMODE, 16, true},  {OBase::OB_BONE, 17, true},
  };
  for (const BitCase& b : bits) {
    EXPECT_EQ(static_cast<uint32_t>(b.flag), 1u << b.bit) << "bit " << b.bit;
    EXPECT_EQ((rec.flags & b.flag) != 0, b.on) << "bit " << b.bit;
  }
}

TEST(RecordDefaults, FreshObjectAndVertexRecords) {
  const OPoseTSQ tsq;
  EXPECT_EQ(tsq.trs, FVECTOR3(0, 0, 0));
  EXPECT_EQ(tsq.scl, FVECTOR3(1, 1, 1));
  EXPECT_EQ(tsq.rot, FQUAT(0, 0, 0, 1));

  const OMorphTarget target;
  EXPECT_EQ(target.flags, 1u);
  EXPECT_EQ(target.index, -1);
  EXPECT_EQ(NameOf(target.name), "");
  EXPECT_EQ(target.group, -1);

  const OMorphGroup group;
  EXPECT_EQ(group.flags, 1u);
  EXPECT_EQ(group.unused, -1);
  EXPECT_EQ(NameOf(group.name), "");

  const OPoseMorph morph;
  for (float w : morph.weight) EXPECT_EQ(w, 0.0f);
  EXPECT_EQ(OWMT().matrix, FMATRIX::kIdentity);

  // A fresh vertex slot reads as zero bytes; the default records match that.
  const VWeight weights;
  const VMorphTarget shape;
  const unsigned char zero[36] = {};
  EXPECT_EQ(std::memcmp(&weights, zero, sizeof weights), 0);
  EXPECT_EQ(std::memcmp(&shape, zero, sizeof shape), 0);
}

TEST(RecordDefaults, EditStateStartValues) {
  const RigEditState state;
  EXPECT_EQ(state.pick_masks, 0u);
  EXPECT_EQ(state.display, 3u);
  EXPECT_EQ(state.current_bone, -1);
  EXPECT_EQ(state.current_part_kind, 0);
  EXPECT_TRUE(state.poses.empty());
  EXPECT_EQ(state.current_pose_id, -1);
  const float sizes[] = {10, 20, 30, 50};
  for (int i = 0; i < kPenCount; ++i) {
    EXPECT_EQ(state.pens[i].size, sizes[i]) << "pen " << i;
    EXPECT_EQ(state.pens[i].depth, 50.0f);
    EXPECT_EQ(state.pens[i].reserved_scale, 1.0f);
    EXPECT_EQ(state.pens[i].reserved_mode, 1);
  }
  EXPECT_EQ(state.current_pen, 0);
  EXPECT_EQ(state.palettes.current_palette, 0);
  EXPECT_EQ(state.palettes.current_entry, 0);
  for (const VWeight& palette : state.palettes.palettes) EXPECT_EQ(palette.head, 1);
  EXPECT_EQ(state.clipboard_valid, 0);
  EXPECT_EQ(state.clipboard.head, 1);

  const QuorvelPose pose;
  EXPECT_EQ(pose.id, -1);
  EXPECT_EQ(NameOf(pose.name), "");
}

TEST(RecordDefaults, ResetEmptiesPosesAndKeepsTheRest) {
  RigEditState state;
  for (int id : {3, 7}) {
    state.poses.push_back(std::make_unique<QuorvelPose>());
    state.poses.back()->id = id;
  }
  state.current_pose_id = 7;
  state.current_pen = 3;
  state.display = 1;
  EXPECT_TRUE(state.IsListedPoseId(7));
  EXPECT_FALSE(state.IsListedPoseId(4));
  state.Reset();
  EXPECT_TRUE(state.poses.empty());
  EXPECT_FALSE(state.IsListedPoseId(7));
  EXPECT_EQ(state.current_pose_id, -1);
  EXPECT_EQ(state.current_pen, 0);
  EXPECT_EQ(state.display, 1u);
}

TEST(RecordDefaults, BaseWeightIsOneMinusTheClampedSum) {
  struct Case {
    std::vector<float> weights;
    float base;
  };
  const Case cases[] = {
      {{}, 1.0f},
      {{0.25f}, 0.75f},
      {{0.7f, 0.6f}, 0.0f},
      {{0.5f, 0.5f}, 0.0f},
      {{1.5f, -1.0f}, 0.5f},
  };
  for (const Case& c : cases) {
    OPoseMorph morph;
    for (std::size_t i = 0; i < c.weights.size(); ++i) morph.weight[i] = c.weights[i];
    EXPECT_FLOAT_EQ(BaseWeight(morph), c.base) << c.weights.size() << " weights";
  }
}

// ---------------------------------------------------------------- names

TEST(RecordNames, ReadsStopAtTheFieldEnd) {
  OMorphGroup group;
  std::memset(group.name, 'x', sizeof group.name);  // no terminator anywhere
  EXPECT_EQ(NameOf(group.name).size(), 255u);
  group.name[10] = '\0';
  EXPECT_EQ(NameOf(group.name), std::string(10, 'x'));
}

TEST(RecordNames, WritesTruncateTo255BytesAndTerminate) {
  struct Case {
    std::string name;
    std::string stored;
  };
  const Case cases[] = {
      {"walk", "walk"},
      {"", ""},
      {std::string(255, 'a'), std::string(255, 'a')},
      {std::string(256, 'b'), std::string(255, 'b')},
      {std::string(400, 'c'), std::string(255, 'c')},
      {std::string("ab\0cd", 5), "ab"},
      // Shift-JIS: a two-byte character that would straddle the cut goes
      // whole; one that ends at byte 255 stays; half-width kana are single.
      {std::string(254, 'a') + "\x83\x41z", std::string(254, 'a')},
      {std::string(253, 'a') + "\x83\x41z", std::string(253, 'a') + "\x83\x41"},
      {Repeat("\x81\x81", 130), Repeat("\x81\x81", 127)},
      {"a" + Repeat("\x81\x81", 130), "a" + Repeat("\x81\x81", 127)},
      {std::string(300, '\xB1'), std::string(255, '\xB1')},
  };
  for (const Case& c : cases) {
    char field[kNameBytes];
    std::memset(field, 'z', sizeof field);
    SetName(field, c.name);
    EXPECT_EQ(NameOf(field), c.stored) << c.name.size() << " bytes";
    // The rest of the field is cleared, so the terminator is always there.
    for (std::size_t i = c.stored.size(); i < sizeof field; ++i) ASSERT_EQ(field[i], '\0') << i;
  }
}

}  // namespace
