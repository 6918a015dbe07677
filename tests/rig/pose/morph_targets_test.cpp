// Morph targets of one object: making, deleting and describing them, storing
// and applying shapes, and switching which target the vertices show.
#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "rig/host_records.h"
#include "rig/morph_targets.h"
#include "rig/rig_access.h"
#include "rig/rig_document.h"
#include "tests/rig/rig_fixture.h"
#include "tests/support/float_checks.h"

using namespace quorvel;

namespace {

class MorphTargetTest : public RigTest {
 protected:
  static std::vector<FVECTOR3> Shown(MQObject obj) {
    std::vector<FVECTOR3> out;
    for (int v = 0; v < host_records::VertexCount(obj); ++v) {
      MQPoint p{0, 0, 0};
      HostApi().MQObj_GetVertex(obj, v, &p);
      out.emplace_back(p.x, p.y, p.z);
    }
    return out;
  }
  // The stored positions of shape slot k; empty when the slot does not exist.
  std::vector<FVECTOR3> Stored(MQObject obj, int k) const {
    std::vector<FVECTOR3> out;
    if (!HasMorphShape(obj, slots_, k)) return out;
    for (int v = 0; v < host_records::VertexCount(obj); ++v) {
      VMorphTarget rec;
      EXPECT_TRUE(host_records::ReadVertex(obj, slots_.MorphShape(k), v, rec));
      EXPECT_EQ(rec.valid, 1) << "vertex " << v;
      out.push_back(rec.position);
    }
    return out;
  }
  static void Move(MQObject obj, const FVECTOR3& by) {
    for (int v = 0; v < host_records::VertexCount(obj); ++v) {
      MQPoint p{0, 0, 0};
      HostApi().MQObj_GetVertex(obj, v, &p);
      const MQPoint q{p.x + by.x, p.y + by.y, p.z + by.z};
      HostApi().MQObj_SetVertex(obj, v, &q);
    }
  }
  static std::vector<FVECTOR3> Offset(std::vector<FVECTOR3> shape, const FVECTOR3& by) {
    for (FVECTOR3& p : shape) p = FVECTOR3(p.x + by.x, p.y + by.y, p.z + by.z);
    return shape;
  }
  // A mesh with a bone record whose base shape is stored, as opening a
  // document leaves it.
  MQObject RiggedMesh(const char* name, int vertices) {
    MQObject obj = AddMesh(name, vertices);
    EnsureRigRecords(doc_, slots_);
    return obj;
  }
  std::string GroupName(MQObject obj, int g) const {
    std::string name;
    return GetMorphGroupName(obj, slots_, g, name) ? name : "<none>";
  }
  int GroupCount(MQObject obj) const {
    int n = 0;
    std::string name;
    for (int g = 0; g < kMaxMorphGroups; ++g) n += GetMorphGroupName(obj, slots_, g, name) ? 1 : 0;
    return n;
  }
};

std::string Repeat(char c, std::size_t n) { return std::string(n, c); }

// ---------------------------------------------------------------- records

TEST_F(MorphTargetTest, CreateNamesTargetsAndFindsOrMakesGroups) {
  struct Case {
    int index;
    std::string name, group;
    bool made;
    std::string want_name, want_group;
  };
  // Applied in order to one object.
  const Case cases[] = {
      {0, "", "", true, "morph", "Base"},
      {1, "smile", "face", true, "smile", "face"},
      {2, "", "face", true, "morph", "face"},
      {3, "blink", "", true, "blink", "Base"},
      {4, Repeat('m', 300), Repeat('g', 300), true, Repeat('m', 255), Repeat('g', 255)},
      {0, "again", "x", false, "", ""},
      {-1, "low", "x", false, "", ""},
      {20, "high", "x", false, "", ""},
  };
  MQObject obj = AddMesh("face", 3);
  EXPECT_EQ(FindMorphGroup(obj, slots_, "Base"), -1) << "made on first use only";
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "index " << c.index << " " << c.name.substr(0, 10));
    const int groups_before = GroupCount(obj);
    OMorphTarget before;
    const bool existed = GetMorphTargetRecord(obj, slots_, c.index, before);
    ASSERT_EQ(CreateMorphTarget(obj, slots_, c.index, c.name, c.group), c.made);
    OMorphTarget rec;
    if (!c.made) {
      EXPECT_EQ(GroupCount(obj), groups_before) << "no group made for a refused target";
      if (existed) {
        ASSERT_TRUE(GetMorphTargetRecord(obj, slots_, c.index, rec));
        EXPECT_EQ(NameOf(rec.name), NameOf(before.name));
      }
      continue;
    }
    ASSERT_TRUE(GetMorphTargetRecord(obj, slots_, c.index, rec));
    EXPECT_EQ(rec.flags & OMorphTarget::kValidBit, OMorphTarget::kValidBit);
    EXPECT_EQ(rec.index, c.index);
    EXPECT_EQ(NameOf(rec.name), c.want_name);
    EXPECT_EQ(rec.name[c.want_name.size()], '\0');
    EXPECT_EQ(GroupName(obj, rec.group), c.want_group);
    EXPECT_EQ(FindMorphGroup(obj, slots_, c.want_group), rec.group) << "one group per name";
    EXPECT_FALSE(HasMorphShape(obj, slots_, c.index)) << "the shape slot is not touched";
  }
  EXPECT_EQ(CountMorphTargets(obj, slots_), 5);
  EXPECT_EQ(GroupCount(obj), 3);
  EXPECT_FALSE(CreateMorphTarget(nullptr, slots_, 5, "x", "y"));
}

TEST_F(MorphTargetTest, FullGroupTableFallsBackToBase) {
  struct Case {
    bool base_listed;  // one of the 20 groups is "Base"
    const char* group;
    int want_group;    // -1: none
  };
  const Case cases[] = {
      {true, "new", 7},     // no room for "new": the Base group
      {true, "g3", 3},      // listed groups are still found
      {false, "new", -1},   // no room for Base either
      {false, "", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.base_listed << " " << c.group);
    MQObject obj = AddMesh("full", 1);
    for (int g = 0; g < kMaxMorphGroups; ++g) {
      const std::string name = c.base_listed && g == 7 ? "Base" : "g" + std::to_string(g);
      ASSERT_EQ(FindOrCreateMorphGroup(obj, slots_, name), g);
    }
    ASSERT_TRUE(CreateMorphTarget(obj, slots_, 0, "t", c.group));
    OMorphTarget rec;
    ASSERT_TRUE(GetMorphTargetRecord(obj, slots_, 0, rec));
    EXPECT_EQ(rec.group, c.want_group);
  }
}

TEST_F(MorphTargetTest, PropertiesRenameAndRegroupExistingTargets) {
  struct Case {
    std::string name, group;
    std::string want_name;
    bool new_group;  // the group did not exist before
  };
  const Case cases[] = {
      {"frown", "face", "frown", true},
      {"frown2", "face", "frown2", false},
      {"", "", "", true},  // an empty group name is a group of its own
      {Repeat('r', 256), "Base", Repeat('r', 255), false},
  };
  MQObject obj = AddMesh("face", 2);
  ASSERT_TRUE(CreateMorphTarget(obj, slots_, 6, "smile", ""));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.want_name.substr(0, 10) + "/" + c.group);
    const int groups_before = GroupCount(obj);
    ASSERT_TRUE(SetMorphTargetProperties(obj, slots_, 6, c.name, c.group));
    OMorphTarget rec;
    ASSERT_TRUE(GetMorphTargetRecord(obj, slots_, 6, rec));
    EXPECT_EQ(rec.index, 6) << "the index cannot change";
    EXPECT_EQ(NameOf(rec.name), c.want_name);
    EXPECT_EQ(rec.name[c.want_name.size()], '\0');
    EXPECT_EQ(rec.group, FindMorphGroup(obj, slots_, c.group));
    EXPECT_GE(rec.group, 0);
    EXPECT_EQ(GroupCount(obj), groups_before + (c.new_group ? 1 : 0));
  }

  // Absent records stay absent and no group is made for them.
  const int groups = GroupCount(obj);
  for (int index : {5, -1, 20}) {
    EXPECT_FALSE(SetMorphTargetProperties(obj, slots_, index, "x", "fresh")) << index;
    EXPECT_FALSE(HasMorphTargetRecord(obj, slots_, index)) << index;
  }
  EXPECT_EQ(GroupCount(obj), groups);

  // With every group slot taken by other names the target has no group.
  for (int g = 0; g < kMaxMorphGroups; ++g) {
    FindOrCreateMorphGroup(obj, slots_, "h" + std::to_string(g));
  }
  ASSERT_TRUE(SetMorphTargetProperties(obj, slots_, 6, "n", "unlisted"));
  OMorphTarget rec;
  ASSERT_TRUE(GetMorphTargetRecord(obj, slots_, 6, rec));
  EXPECT_EQ(rec.group, -1);
}

// Nothing of a deleted target stays: not its record, not its shape, not its
// weight in any pose; the other target keeps all of its own.
TEST_F(MorphTargetTest, DeleteTakesTheRecordTheShapeAndThePoseWeights) {
  MQObject obj = RiggedMesh("face", 3);
  ASSERT_TRUE(CreateMorphTarget(obj, slots_, 2, "smile", ""));
  ASSERT_TRUE(CreateMorphTarget(obj, slots_, 4, "blink", ""));
  ASSERT_TRUE(SetCurrentMorphTarget(obj, slots_, 4));
  Move(obj, FVECTOR3(0, 0, 2));
  ASSERT_TRUE(SetCurrentMorphTarget(obj, slots_, 2));
  Move(obj, FVECTOR3(1, 0, 0));
  ASSERT_TRUE(SetCurrentMorphTarget(obj, slots_, -1));
  const std::vector<FVECTOR3> base = Shown(obj);
  const std::vector<FVECTOR3> blink = Stored(obj, 4);
  for (int pose : {0, 7}) {
    ASSERT_TRUE(SetPoseMorphWeight(obj, slots_, pose, 2, 0.5f));
    ASSERT_TRUE(SetPoseMorphWeight(obj, slots_, pose, 4, 0.25f));
  }

  EXPECT_TRUE(DeleteMorphTarget(obj, slots_, 2));
  EXPECT_FALSE(HasMorphTargetRecord(obj, slots_, 2));
  EXPECT_FALSE(HasMorphShape(obj, slots_, 2));
  for (int pose : {0, 7}) {
    SCOPED_TRACE(pose);
    EXPECT_EQ(GetPoseMorphWeight(obj, slots_, pose, 2), 0.0f);
    EXPECT_EQ(GetPoseMorphWeight(obj, slots_, pose, 4), 0.25f);
  }
  EXPECT_TRUE(HasMorphTargetRecord(obj, slots_, 4));
  EXPECT_EQ(Stored(obj, 4), blink);
  EXPECT_EQ(Shown(obj), base);
  EXPECT_EQ(FirstFreeMorphTarget(obj, slots_), 0);

  for (int index : {2, 7, -1, 20}) EXPECT_FALSE(DeleteMorphTarget(obj, slots_, index)) << index;
  EXPECT_FALSE(DeleteMorphTarget(nullptr, slots_, 4));
  EXPECT_EQ(CountMorphTargets(obj, slots_), 1);
}

// ---------------------------------------------------------------- shapes

TEST_F(MorphTargetTest, StoreAndApplyShapes) {
  MQObject obj = AddMesh("mesh", 4);
  const std::vector<FVECTOR3> base = Shown(obj);
  for (int k : {-1, 0, 19}) {
    SCOPED_TRACE(k);
    EXPECT_FALSE(ApplyShape(obj, slots_, k)) << "no slot yet";
    EXPECT_EQ(Shown(obj), base);
    ASSERT_TRUE(StoreShape(obj, slots_, k));
    EXPECT_EQ(Stored(obj, k), base);
    Move(obj, FVECTOR3(float(k), 5, -2));
    EXPECT_TRUE(ApplyShape(obj, slots_, k));
    EXPECT_EQ(Shown(obj), base);
  }
  for (int k : {-2, 20}) {
    EXPECT_FALSE(StoreShape(obj, slots_, k)) << k;
    EXPECT_FALSE(ApplyShape(obj, slots_, k)) << k;
  }
  EXPECT_FALSE(ApplyShape(nullptr, slots_, 0));

  // A vertex added after the store has no stored position and stays put.
  const int added = AddVertex(obj, 7, 8, 9);
  Move(obj, FVECTOR3(1, 1, 1));
  ASSERT_TRUE(ApplyShape(obj, slots_, 0));
  const std::vector<FVECTOR3> shown = Shown(obj);
  for (std::size_t v = 0; v < base.size(); ++v) EXPECT_EQ(shown[v], base[v]) << v;
  EXPECT_EQ(shown[static_cast<std::size_t>(added)], FVECTOR3(8, 9, 10));
}

TEST_F(MorphTargetTest, StoreCurrentShapeFollowsTheCurrentIndex) {
  struct Case {
    bool rigged;
    int current;    // set into the bone record
    int want_slot;  // slot that receives the shown shape
  };
  const Case cases[] = {{true, -1, -1}, {true, 3, 3}, {true, 19, 19}, {false, -1, -1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.rigged << " " << c.current);
    MQObject obj = AddMesh("mesh", 3);
    if (c.rigged) {
      OBase rec;
      rec.current_morph = c.current;
      ASSERT_TRUE(SetBoneRecord(obj, slots_, rec));
    }
    Move(obj, FVECTOR3(0.5f, 0, 0));
    ASSERT_TRUE(StoreCurrentShape(obj, slots_));
    EXPECT_EQ(Stored(obj, c.want_slot), Shown(obj));
    for (int k = -1; k < kMaxMorphTargets; ++k) {
      if (k != c.want_slot) {
        EXPECT_FALSE(HasMorphShape(obj, slots_, k)) << k;
      }
    }
  }
}

// ---------------------------------------------------------------- switching

// Offsets from the base positions; Move is applied after each switch.
struct SwitchStep {
  int to;
  bool switched;       // what SetCurrentMorphTarget answers
  FVECTOR3 want_shown; // offset of the shown shape after the switch
  FVECTOR3 edit;       // then the user moves every vertex by this
};

TEST_F(MorphTargetTest, SwitchingStoresTheShownShapeAndShowsTheNewOne) {
  const FVECTOR3 none(0, 0, 0);
  const FVECTOR3 s2(1, 0, 0);        // target 2's edit
  const FVECTOR3 s5(1, 1, 0);        // target 5 starts from target 2's shape, then (0, 1, 0)
  const FVECTOR3 edited(0, 0, 4);    // the base edited while no target is current
  const SwitchStep steps[] = {
      {2, true, none, s2},                    // new target: starts as the base
      {5, true, s2, FVECTOR3(0, 1, 0)},       // new target: starts as target 2
      {5, false, s5, none},                   // already current
      {-1, true, none, none},                 // the base shape comes back
      {2, true, s2, none},
      {5, true, s5, none},
      {2, true, s2, none},
      {-1, true, none, edited},               // edit the base itself
      {5, true, s5, none},                    // the edited base is kept in the base slot
      {-1, true, edited, none},
      {20, false, edited, none},
      {-2, false, edited, none},
  };
  MQObject obj = RiggedMesh("face", 3);
  const std::vector<FVECTOR3> base = Shown(obj);
  int current = -1;
  for (std::size_t i = 0; i < std::size(steps); ++i) {
    const SwitchStep& s = steps[i];
    SCOPED_TRACE(testing::Message() << "step " << i << " to " << s.to);
    const std::vector<FVECTOR3> before = Shown(obj);
    ASSERT_EQ(SetCurrentMorphTarget(obj, slots_, s.to), s.switched);
    if (s.switched) {
      EXPECT_EQ(Stored(obj, current), before) << "the shown shape went back to its slot";
      current = s.to;
      // A new target's starting shape is stored at once, so it is never
      // without a shape (which the document would not keep).
      EXPECT_EQ(Stored(obj, current), Shown(obj)) << "the new current target has its shape";
    }
    EXPECT_EQ(GetCurrentMorphIndex(obj, slots_), current);
    const std::vector<FVECTOR3> want = Offset(base, s.want_shown);
    const std::vector<FVECTOR3> shown = Shown(obj);
    ASSERT_EQ(shown.size(), want.size());
    for (std::size_t v = 0; v < want.size(); ++v) EXPECT_VEC3_NEAR(shown[v], want[v], 1e-6f);
    Move(obj, s.edit);
  }
}

TEST_F(MorphTargetTest, SwitchingNeedsABoneRecord) {
  MQObject plain = AddMesh("plain", 3);
  const std::vector<FVECTOR3> shown = Shown(plain);
  EXPECT_FALSE(SetCurrentMorphTarget(plain, slots_, 0));
  EXPECT_EQ(Shown(plain), shown);
  for (int k = -1; k < kMaxMorphTargets; ++k) EXPECT_FALSE(HasMorphShape(plain, slots_, k)) << k;
  EXPECT_FALSE(SetCurrentMorphTarget(nullptr, slots_, 0));
}

// The current target gives way to the base shape before it goes, so that
// no later switch files its shape again.
TEST_F(MorphTargetTest, DeletingTheCurrentTargetBringsTheBaseShapeBack) {
  MQObject obj = RiggedMesh("face", 2);
  const std::vector<FVECTOR3> base = Shown(obj);
  ASSERT_TRUE(CreateMorphTarget(obj, slots_, 0, "", ""));
  ASSERT_TRUE(SetCurrentMorphTarget(obj, slots_, 0));
  Move(obj, FVECTOR3(0, 0, 3));

  ASSERT_TRUE(DeleteMorphTarget(obj, slots_, 0));
  EXPECT_EQ(GetCurrentMorphIndex(obj, slots_), -1);
  EXPECT_EQ(Shown(obj), base);
  EXPECT_FALSE(HasMorphShape(obj, slots_, 0));
  EXPECT_FALSE(SetCurrentMorphTarget(obj, slots_, -1)) << "the base is current already";
  EXPECT_FALSE(HasMorphShape(obj, slots_, 0));
}

}  // namespace
