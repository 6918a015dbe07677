// Single records and fields of one object: bone record fields, pick tests,
// pose, morph and weight slots, on the substitute host.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "rig/rig_access.h"
#include "tests/rig/rig_fixture.h"
#include "tests/support/float_checks.h"

using namespace quorvel;

namespace {

using RigAccessTest = RigTest;

struct SetterCase {
  const char* what;
  std::function<bool(MQObject, const RigSlotTable&)> set;
  std::function<void(OBase&)> expect;  // what the setter does to a record
};

std::vector<SetterCase> BoneSetters() {
  const FVECTOR3 lo(-1.0f, -2.0f, -3.0f), hi(1.0f, 2.0f, 3.0f);
  return {
      {"flags", [](MQObject o, const RigSlotTable& s) { return SetBoneFlags(o, s, 0x12345u); },
       [](OBase& r) { r.flags = 0x12345u; }},
      {"flag on",
       [](MQObject o, const RigSlotTable& s) { return SetBoneFlag(o, s, OBase::OB_POSEMARK, true); },
       [](OBase& r) { r.flags |= OBase::OB_POSEMARK; }},
      {"flag off",
       [](MQObject o, const RigSlotTable& s) { return SetBoneFlag(o, s, OBase::OB_RIG, false); },
       [](OBase& r) { r.flags &= ~OBase::OB_RIG; }},
      {"saved visibility",
       [](MQObject o, const RigSlotTable& s) { return SetSavedVisibility(o, s, 7); },
       [](OBase& r) { r.saved_visibility = 7; }},
      {"current morph index",
       [](MQObject o, const RigSlotTable& s) { return SetCurrentMorphIndex(o, s, 5); },
       [](OBase& r) { r.current_morph = 5; }},
      {"reserved", [](MQObject o, const RigSlotTable& s) { return SetBoneReserved(o, s, 42); },
       [](OBase& r) { r.reserved = 42; }},
      {"weight colour",
       [](MQObject o, const RigSlotTable& s) { return SetWeightColour(o, s, UCOLOR(1, 2, 3, 4)); },
       [](OBase& r) { r.weight_colour = UCOLOR(1, 2, 3, 4); }},
      {"rotation limits",
       [lo, hi](MQObject o, const RigSlotTable& s) { return SetRotationLimits(o, s, hi, lo); },
       [lo, hi](OBase& r) {
         r.limit_min = hi;  // stored as given, without range checks
         r.limit_max = lo;
       }},
      {"IK target", [](MQObject o, const RigSlotTable& s) { return SetIkTarget(o, s, 9); },
       [](OBase& r) { r.ik_target = 9; }},
      {"IK type", [](MQObject o, const RigSlotTable& s) { return SetIkType(o, s, 2); },
       [](OBase& r) { r.ik_type = 2; }},
  };
}

TEST_F(RigAccessTest, AbsentBoneRecordReadsDefaults) {
  MQObject obj = AddObject("plain");
  OBase rec;
  rec.ik_type = 77;
  EXPECT_FALSE(GetBoneRecord(obj, slots_, rec));
  EXPECT_EQ(rec.ik_type, 77) << "caller's record unchanged";
  EXPECT_FALSE(HasBoneRecord(obj, slots_));

  EXPECT_EQ(GetBoneFlags(obj, slots_), 0u);
  for (int bit = 0; bit < 32; ++bit) {
    EXPECT_FALSE(GetBoneFlag(obj, slots_, static_cast<OBase::Flag>(1u << bit))) << bit;
  }
  EXPECT_EQ(GetSavedVisibility(obj, slots_), 0);
  EXPECT_EQ(GetCurrentMorphIndex(obj, slots_), -1);
  EXPECT_EQ(GetBoneReserved(obj, slots_), -1);
  EXPECT_EQ(GetWeightColour(obj, slots_), UCOLOR(0, 0, 0, 0));
  EXPECT_EQ(GetIkTarget(obj, slots_), -1);
  EXPECT_EQ(GetIkType(obj, slots_), 0);
  FVECTOR3 lo(9, 9, 9), hi(8, 8, 8);
  EXPECT_FALSE(GetRotationLimits(obj, slots_, lo, hi));
  EXPECT_EQ(lo, FVECTOR3(9, 9, 9));
  EXPECT_EQ(hi, FVECTOR3(8, 8, 8));
}

TEST_F(RigAccessTest, SettersDoNothingWithoutARecordOrObject) {
  MQObject obj = AddObject("plain");
  for (const SetterCase& c : BoneSetters()) {
    EXPECT_FALSE(c.set(obj, slots_)) << c.what;
    EXPECT_FALSE(HasObjectSlot(obj, slots_.OBase())) << c.what;
    EXPECT_FALSE(c.set(nullptr, slots_)) << c.what;
  }
  EXPECT_FALSE(SetBoneRecord(nullptr, slots_, OBase()));
}

TEST_F(RigAccessTest, EachSetterChangesOnlyItsField) {
  MQObject obj = AddObject("bone");
  OBase start;
  start.weight_colour = UCOLOR(10, 20, 30, 255);
  start.saved_visibility = 3;
  for (const SetterCase& c : BoneSetters()) {
    ASSERT_TRUE(SetBoneRecord(obj, slots_, start));
    EXPECT_TRUE(c.set(obj, slots_)) << c.what;
    OBase want = start;
    c.expect(want);
    const std::vector<uint8_t> stored = ObjectBytes(obj, slots_.OBase());
    ASSERT_EQ(stored.size(), sizeof(OBase));
    EXPECT_EQ(std::memcmp(stored.data(), &want, sizeof want), 0) << c.what;
  }
}

TEST_F(RigAccessTest, FlagAccessorsTouchOneBitEach) {
  MQObject obj = AddObject("bone");
  for (int bit = 0; bit < 18; ++bit) {
    const auto flag = static_cast<OBase::Flag>(1u << bit);
    for (bool on : {true, false}) {
      ASSERT_TRUE(SetBoneRecord(obj, slots_, OBase()));
      EXPECT_TRUE(SetBoneFlag(obj, slots_, flag, on));
      EXPECT_EQ(GetBoneFlag(obj, slots_, flag), on) << bit;
      EXPECT_EQ(GetBoneFlags(obj, slots_) & ~flag, OBase::kDefaultFlags & ~flag) << bit;
    }
  }
}

TEST_F(RigAccessTest, CurrentMorphIndexAcceptsMinusOneTo19) {
  MQObject obj = AddObject("bone");
  struct Case {
    int32_t index;
    bool accepted;
  };
  const Case cases[] = {{-2, false}, {-1, true}, {0, true}, {19, true}, {20, false}, {1000, false}};
  for (const Case& c : cases) {
    OBase rec;
    rec.current_morph = 7;
    ASSERT_TRUE(SetBoneRecord(obj, slots_, rec));
    EXPECT_EQ(SetCurrentMorphIndex(obj, slots_, c.index), c.accepted) << c.index;
    EXPECT_EQ(GetCurrentMorphIndex(obj, slots_), c.accepted ? c.index : 7) << c.index;
  }
}

TEST_F(RigAccessTest, PickTestsFollowDisplayMasksAndRigBit) {
  MQObject obj = AddObject("bone");
  struct Case {
    uint32_t display;
    uint32_t masks;
    bool rig;
    bool pickable, pivot, roll, body;
  };
  const Case cases[] = {
      {3, 0, true, true, true, true, true},     {1, 0, true, true, true, false, true},
      {2, 0, true, false, false, false, false}, {3, 0, false, false, false, false, false},
      {3, 1, true, true, false, true, true},    {3, 2, true, true, true, false, true},
      {3, 4, true, true, true, true, false},    {3, 7, true, true, false, false, false},
  };
  for (const Case& c : cases) {
    OBase rec;
    if (!c.rig) rec.flags &= ~OBase::OB_RIG;
    ASSERT_TRUE(SetBoneRecord(obj, slots_, rec));
    RigEditState state;
    state.display = c.display;
    state.pick_masks = c.masks;
    SCOPED_TRACE(testing::Message() << "display " << c.display << " masks " << c.masks << " rig "
                                    << c.rig);
    EXPECT_EQ(IsPickableBone(obj, slots_, state), c.pickable);
    EXPECT_EQ(CanPickPivot(obj, slots_, state), c.pivot);
    EXPECT_EQ(CanPickRoll(obj, slots_, state), c.roll);
    EXPECT_EQ(CanPickBody(obj, slots_, state), c.body);
  }
  MQObject plain = AddObject("plain");
  EXPECT_FALSE(IsPickableBone(plain, slots_, RigEditState()));
  EXPECT_FALSE(CanPickPivot(nullptr, slots_, RigEditState()));
}

// ---------------------------------------------------------------- pose slots

TEST_F(RigAccessTest, PoseRecordsOnlyForIds0To19) {
  MQObject obj = AddObject("bone");
  OPoseTSQ tsq;
  tsq.trs = FVECTOR3(1, 2, 3);
  tsq.rot = FQUAT(0, 0, 1, 0);
  for (int id : {-1, 0, 19, 20}) {
    const bool valid = id >= 0 && id <= 19;
    EXPECT_EQ(SetPoseTSQ(obj, slots_, id, tsq), valid) << id;
    OPoseTSQ out;
    EXPECT_EQ(GetPoseTSQ(obj, slots_, id, out), valid) << id;
    EXPECT_EQ(out.trs, valid ? tsq.trs : OPoseTSQ().trs) << id;
    EXPECT_EQ(out.rot, valid ? tsq.rot : OPoseTSQ().rot) << id;
  }
  OPoseTSQ out;
  EXPECT_FALSE(GetPoseTSQ(obj, slots_, 5, out)) << "no record for pose 5";
  EXPECT_FALSE(SetPoseTSQ(nullptr, slots_, 0, tsq));

  OPoseMorph morph;
  morph.weight[19] = 0.5f;
  EXPECT_FALSE(SetPoseMorph(obj, slots_, 20, morph));
  EXPECT_TRUE(SetPoseMorph(obj, slots_, 19, morph));
  OPoseMorph back;
  EXPECT_TRUE(GetPoseMorph(obj, slots_, 19, back));
  EXPECT_EQ(back.weight[19], 0.5f);
}

TEST_F(RigAccessTest, PoseMorphWeightsAndBaseWeight) {
  MQObject obj = AddObject("bone");
  // Without a record the weight at -1 reads 0 while the base weight reads 1.
  EXPECT_EQ(GetPoseMorphWeight(obj, slots_, 2, -1), 0.0f);
  EXPECT_EQ(GetPoseMorphWeight(obj, slots_, 2, 0), 0.0f);
  EXPECT_EQ(GetPoseBaseWeight(obj, slots_, 2), 1.0f);

  EXPECT_FALSE(SetPoseMorphWeight(obj, slots_, 2, 20, 0.5f));
  EXPECT_FALSE(SetPoseMorphWeight(obj, slots_, 2, -1, 0.5f));
  EXPECT_FALSE(HasObjectSlot(obj, slots_.PoseMorph(2))) << "a rejected index allocates nothing";
  EXPECT_FALSE(SetPoseMorphWeight(obj, slots_, 20, 0, 0.5f));

  EXPECT_TRUE(SetPoseMorphWeight(obj, slots_, 2, 0, 0.3f));
  EXPECT_FLOAT_EQ(GetPoseBaseWeight(obj, slots_, 2), 0.7f);
  EXPECT_TRUE(SetPoseMorphWeight(obj, slots_, 2, 0, 0.7f));
  EXPECT_TRUE(SetPoseMorphWeight(obj, slots_, 2, 1, 0.6f));
  struct Case {
    int index;
    float weight;
  };
  const Case cases[] = {{-1, 0.0f}, {0, 0.7f}, {1, 0.6f}, {2, 0.0f}, {19, 0.0f}, {20, 0.0f}, {-2, 0.0f}};
  for (const Case& c : cases) EXPECT_FLOAT_EQ(GetPoseMorphWeight(obj, slots_, 2, c.index), c.weight) << c.index;
  EXPECT_EQ(GetPoseBaseWeight(obj, slots_, 2), 0.0f);
  EXPECT_EQ(GetPoseBaseWeight(obj, slots_, 3), 1.0f) << "other pose untouched";
}

TEST_F(RigAccessTest, WorldMatrixIsIdentityWhenAbsent) {
  MQObject obj = AddObject("bone");
  EXPECT_EQ(GetWorldMatrix(obj, slots_), FMATRIX::kIdentity);
  EXPECT_EQ(GetWorldMatrix(nullptr, slots_), FMATRIX::kIdentity);
  const FMATRIX m = FMATRIX::Translation(FVECTOR3(1, 2, 3)) * FMATRIX::Scaling(FVECTOR3(2, 2, 2));
  EXPECT_TRUE(SetWorldMatrix(obj, slots_, m));
  EXPECT_EQ(GetWorldMatrix(obj, slots_), m);
}

// ---------------------------------------------------------------- morph slots

TEST_F(RigAccessTest, MorphTargetRecordsCountAndFreeIndex) {
  MQObject obj = AddObject("face");
  EXPECT_EQ(CountMorphTargets(obj, slots_), 0);
  EXPECT_EQ(FirstFreeMorphTarget(obj, slots_), 0);
  OMorphTarget rec;
  EXPECT_FALSE(SetMorphTargetRecord(obj, slots_, 0, rec)) << "no allocation";
  EXPECT_FALSE(HasObjectSlot(obj, slots_.MorphTarget(0)));

  for (int k : {0, 1, 3}) PokeObject(obj, slots_.MorphTarget(k), &rec, sizeof rec);
  EXPECT_EQ(CountMorphTargets(obj, slots_), 3);
  EXPECT_EQ(FirstFreeMorphTarget(obj, slots_), 2);
  EXPECT_TRUE(HasMorphTargetRecord(obj, slots_, 3));
  EXPECT_FALSE(HasMorphTargetRecord(obj, slots_, 20));

  rec.index = 3;
  SetName(rec.name, "smile");
  rec.group = 4;
  EXPECT_TRUE(SetMorphTargetRecord(obj, slots_, 3, rec));
  OMorphTarget back;
  ASSERT_TRUE(GetMorphTargetRecord(obj, slots_, 3, back));
  EXPECT_EQ(back.index, 3);
  EXPECT_EQ(NameOf(back.name), "smile");
  EXPECT_EQ(back.group, 4);
  EXPECT_FALSE(GetMorphTargetRecord(obj, slots_, 20, back));

  for (int k = 0; k < 20; ++k) PokeObject(obj, slots_.MorphTarget(k), &rec, sizeof rec);
  EXPECT_EQ(CountMorphTargets(obj, slots_), 20);
  EXPECT_EQ(FirstFreeMorphTarget(obj, slots_), -1);
  EXPECT_EQ(FirstFreeMorphTarget(nullptr, slots_), -1);
}

TEST_F(RigAccessTest, UnterminatedNamesFromHostDataAreBounded) {
  MQObject obj = AddObject("face");
  OMorphTarget raw;
  std::memset(raw.name, 'n', sizeof raw.name);
  PokeObject(obj, slots_.MorphTarget(2), &raw, sizeof raw);
  OMorphTarget read;
  ASSERT_TRUE(GetMorphTargetRecord(obj, slots_, 2, read));
  EXPECT_EQ(NameOf(read.name), std::string(255, 'n'));

  // Written back, the name is terminated in the host's bytes.
  ASSERT_TRUE(SetMorphTargetRecord(obj, slots_, 2, raw));
  const std::vector<uint8_t> bytes = ObjectBytes(obj, slots_.MorphTarget(2));
  ASSERT_EQ(bytes.size(), sizeof(OMorphTarget));
  EXPECT_EQ(bytes[offsetof(OMorphTarget, name) + 254], 'n');
  EXPECT_EQ(bytes[offsetof(OMorphTarget, name) + 255], 0);

  OMorphGroup group;
  std::memset(group.name, 'g', sizeof group.name);
  PokeObject(obj, slots_.MorphGroup(0), &group, sizeof group);
  std::string name;
  ASSERT_TRUE(GetMorphGroupName(obj, slots_, 0, name));
  EXPECT_EQ(name, std::string(255, 'g'));
  EXPECT_EQ(FindMorphGroup(obj, slots_, std::string(300, 'g')), 0);
}

TEST_F(RigAccessTest, FindOrCreateMorphGroupFillsTheLowestFreeIndex) {
  MQObject obj = AddObject("face");
  EXPECT_EQ(FindMorphGroup(obj, slots_, "Base"), -1);
  EXPECT_EQ(FindOrCreateMorphGroup(obj, slots_, "Base"), 0);
  EXPECT_EQ(FindOrCreateMorphGroup(obj, slots_, "Mouth"), 1);
  EXPECT_EQ(FindOrCreateMorphGroup(obj, slots_, "Base"), 0);
  EXPECT_EQ(FindMorphGroup(obj, slots_, "base"), -1) << "exact bytes";
  EXPECT_EQ(FindOrCreateMorphGroup(obj, slots_, ""), 2) << "an empty name is a name";
  EXPECT_EQ(FindMorphGroup(obj, slots_, ""), 2);

  OMorphGroup fresh;
  const std::vector<uint8_t> bytes = ObjectBytes(obj, slots_.MorphGroup(1));
  ASSERT_EQ(bytes.size(), sizeof(OMorphGroup));
  OMorphGroup stored;
  std::memcpy(&stored, bytes.data(), sizeof stored);
  EXPECT_EQ(stored.flags, fresh.flags);
  EXPECT_EQ(stored.unused, -1);
  EXPECT_EQ(NameOf(stored.name), "Mouth");

  // A long name is stored cut to 255 bytes and is found again by the same name.
  const std::string long_name(300, 'L');
  const int g = FindOrCreateMorphGroup(obj, slots_, long_name);
  EXPECT_EQ(g, 3);
  EXPECT_EQ(FindOrCreateMorphGroup(obj, slots_, long_name), g);
  std::string name;
  ASSERT_TRUE(GetMorphGroupName(obj, slots_, g, name));
  EXPECT_EQ(name, std::string(255, 'L'));

  // A gap is filled first; with all 20 taken nothing more is made.
  HostApi().MQObj_FreeUserData(obj, slots_.MorphGroup(1));
  EXPECT_EQ(FindOrCreateMorphGroup(obj, slots_, "Eyes"), 1);
  for (int i = 4; i < 20; ++i) {
    EXPECT_EQ(FindOrCreateMorphGroup(obj, slots_, "group" + std::to_string(i)), i);
  }
  EXPECT_EQ(FindOrCreateMorphGroup(obj, slots_, "one too many"), -1);
  EXPECT_EQ(FindOrCreateMorphGroup(obj, slots_, "Eyes"), 1);
  EXPECT_FALSE(GetMorphGroupName(obj, slots_, 20, name));
  EXPECT_FALSE(GetMorphGroupName(obj, slots_, -1, name));
  EXPECT_EQ(FindOrCreateMorphGroup(nullptr, slots_, "Base"), -1);
}

TEST_F(RigAccessTest, StoredShapesHoldTheVertexPositions) {
  MQObject obj = AddMesh("face", 3);
  EXPECT_FALSE(HasMorphShape(obj, slots_, -1));
  EXPECT_FALSE(AnyMorphShape(obj, slots_));

  ASSERT_TRUE(StoreShape(obj, slots_, -1));
  EXPECT_TRUE(HasMorphShape(obj, slots_, -1));
  EXPECT_FALSE(AnyMorphShape(obj, slots_)) << "the base shape is not a morph target";
  const std::vector<uint8_t>& data = mqhost::ToObject(obj)->vertex_data.at(slots_.MorphShape(-1));
  ASSERT_EQ(data.size(), 3 * sizeof(VMorphTarget));
  for (int v = 0; v < 3; ++v) {
    VMorphTarget rec;
    std::memcpy(&rec, data.data() + v * sizeof rec, sizeof rec);
    EXPECT_EQ(rec.position, FVECTOR3(float(v), float(2 * v), float(3 * v))) << v;
    EXPECT_EQ(rec.valid, 1) << v;
  }

  EXPECT_TRUE(StoreShape(obj, slots_, 3));
  EXPECT_TRUE(HasMorphShape(obj, slots_, 3));
  EXPECT_TRUE(AnyMorphShape(obj, slots_));
  EXPECT_FALSE(StoreShape(obj, slots_, 20));
  EXPECT_FALSE(StoreShape(obj, slots_, -2));
  EXPECT_FALSE(StoreShape(nullptr, slots_, 0));
}

// ---------------------------------------------------------------- weights

TEST_F(RigAccessTest, WeightSlotLifecycle) {
  MQObject obj = AddMesh("skin", 3);
  EXPECT_FALSE(HasWeights(obj, slots_));
  VWeight rec;
  EXPECT_FALSE(GetVertexWeights(obj, slots_, 0, rec));

  const VWeight own = OwnObjectDefault(obj);
  EXPECT_EQ(own.head & 1, 1);
  EXPECT_EQ(EntriesOf(own), (std::vector<VWeightEntry>{{Uid(obj), 1.0f}}));

  ASSERT_TRUE(SetVertexWeights(obj, slots_, 1, own));
  EXPECT_TRUE(HasWeights(obj, slots_));
  ASSERT_TRUE(GetVertexWeights(obj, slots_, 1, rec));
  EXPECT_EQ(EntriesOf(rec), EntriesOf(own));
  // The other vertices of a freshly allocated slot have no entries.
  for (int v : {0, 2}) {
    ASSERT_TRUE(GetVertexWeights(obj, slots_, v, rec));
    EXPECT_EQ(Count(rec), 0) << v;
  }
  EXPECT_FALSE(GetVertexWeights(obj, slots_, 3, rec));
  EXPECT_FALSE(SetVertexWeights(obj, slots_, 3, own));
  EXPECT_FALSE(SetVertexWeights(obj, slots_, -1, own));

  FreeWeights(obj, slots_);
  EXPECT_FALSE(HasWeights(obj, slots_));
  EXPECT_FALSE(HasWeights(AddObject("empty"), slots_)) << "no vertex 0 to read";
}

TEST_F(RigAccessTest, OverfullCountFromHostDataIsReadAsFour) {
  MQObject obj = AddMesh("skin", 2);
  VWeight raw = Weights({{1, 0.5f}, {2, 0.5f}, {3, 0.5f}, {4, 0.5f}});
  raw.head = 0xFF;
  PokeVertex(obj, slots_.VWeight(), 1, &raw, sizeof raw);

  VWeight rec;
  ASSERT_TRUE(GetVertexWeights(obj, slots_, 1, rec));
  EXPECT_EQ(Count(rec), 4);
  Normalize(rec);
  EXPECT_TRUE(SetWeight(rec, 5, 0.5f));
  ASSERT_TRUE(SetVertexWeights(obj, slots_, 1, rec));

  const std::vector<uint8_t>& data = mqhost::ToObject(obj)->vertex_data.at(slots_.VWeight());
  ASSERT_EQ(data.size(), 2 * sizeof(VWeight));
  VWeight stored;
  std::memcpy(&stored, data.data() + sizeof(VWeight), sizeof stored);
  EXPECT_EQ(stored.head, 0x09);
  for (const VWeightEntry& e : EntriesOf(stored)) EXPECT_FLOAT_EQ(e.weight, 0.25f);
  VWeight untouched;
  std::memcpy(&untouched, data.data(), sizeof untouched);
  EXPECT_EQ(untouched.head, 0) << "vertex 0 is not written by vertex 1's edit";
}

}  // namespace
