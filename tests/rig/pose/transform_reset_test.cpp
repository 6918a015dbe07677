// Taking rotation and scale out of objects' local transforms: which objects
// are reset, that the others stay where they are in the world, and that no
// mesh moves.
#include <gtest/gtest.h>

#include <vector>

#include "rig/rig_access.h"
#include "rig/rig_document.h"
#include "rig/transform_reset.h"
#include "tests/rig/rig_fixture.h"
#include "tests/support/float_checks.h"

using namespace quorvel;

namespace {

// A chain a > b > c, each turned and scaled. The scales are chosen so that
// keeping a child in place never needs shear, which a local transform cannot
// hold: only b's is non-uniform, and its child c is not turned.
class TransformResetTest : public RigTest {
 protected:
  enum { A, B, C, kCount };

  void SetUp() override {
    RigTest::SetUp();
    objs_[A] = AddObject("a", 0);
    objs_[B] = AddMesh("b", 3, 1);
    objs_[C] = AddMesh("c", 2, 2);
    ASSERT_EQ(EnsureRigRecords(doc_, slots_), kCount);
  }

  // Puts the chain back as it starts, with nothing selected.
  void Build() {
    const mqhost::LocalTransform start[kCount] = {
        {{2, 2, 2}, {0, 0, 30}, {10, 0, 0}},
        {{1, 3, 1}, {0, 45, 0}, {5, 1, 0}},
        {{0.5f, 0.5f, 0.5f}, {0, 0, 0}, {0, 4, 2}},
    };
    for (int i = 0; i < kCount; ++i) {
      mqhost::Object* o = mqhost::ToObject(objs_[i]);
      o->transform = start[i];
      o->visible = mqhost::kVisibleDefault;
      o->locked = false;
      const uint32_t flags = GetBoneFlags(objs_[i], slots_) & ~OBase::kSelectionBits;
      ASSERT_TRUE(SetBoneFlags(objs_[i], slots_, flags));
    }
  }

  FMATRIX Global(MQObject obj) const {
    FMATRIX m;
    HostApi().MQDoc_GetGlobalMatrix(doc_, obj, m.m);
    return m;
  }
  const mqhost::LocalTransform& Local(int i) const { return mqhost::ToObject(objs_[i])->transform; }
  std::vector<MQPoint> Vertices(int i) const {
    std::vector<MQPoint> points;
    for (const auto& v : mqhost::ToObject(objs_[i])->vertices) points.push_back(v.position);
    return points;
  }

  MQObject objs_[kCount] = {};
};

bool SamePoints(const std::vector<MQPoint>& a, const std::vector<MQPoint>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].x != b[i].x || a[i].y != b[i].y || a[i].z != b[i].z) return false;
  }
  return true;
}

TEST_F(TransformResetTest, TargetsLoseRotationAndScaleAndTheRestKeepTheirPlace) {
  struct Case {
    const char* what;
    bool selected_only;
    uint32_t flags[3];    // selection bits of a, b, c
    bool hide_b, lock_b;
    bool bones_hidden;
    bool target[3];
  };
  constexpr uint32_t kPivot = OBase::OB_SEL_PIVOT, kBody = OBase::OB_SEL_BODY,
                     kRoll = OBase::OB_SEL_ROLL;
  const Case cases[] = {
      {"pivot of the middle one", true, {0, kPivot, 0}, false, false, false, {false, true, false}},
      {"body of the middle one", true, {0, kBody, 0}, false, false, false, {false, true, false}},
      {"root and middle", true, {kPivot, kBody, 0}, false, false, false, {true, true, false}},
      {"root and leaf", true, {kPivot, 0, kPivot}, false, false, false, {true, false, true}},
      {"roll point only", true, {0, kRoll, 0}, false, false, false, {false, false, false}},
      {"hidden", true, {0, kPivot, 0}, true, false, false, {false, false, false}},
      {"locked", true, {0, kPivot, 0}, false, true, false, {false, false, false}},
      {"bones not shown", true, {0, kPivot, 0}, false, false, true, {false, false, false}},
      // Every object, whatever is selected, hidden or locked.
      {"every object", false, {0, kRoll, 0}, true, true, false, {true, true, true}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Build();
    for (int i = 0; i < kCount; ++i) {
      ASSERT_TRUE(SetBoneFlags(objs_[i], slots_, GetBoneFlags(objs_[i], slots_) | c.flags[i]));
    }
    if (c.hide_b) mqhost::ToObject(objs_[B])->visible = 0;
    mqhost::ToObject(objs_[B])->locked = c.lock_b;
    RigEditState state;
    if (c.bones_hidden) state.display &= ~RigEditState::kShowBones;

    FMATRIX before[kCount];
    mqhost::LocalTransform local_before[kCount];
    std::vector<MQPoint> vertices_before[kCount];
    for (int i = 0; i < kCount; ++i) {
      before[i] = Global(objs_[i]);
      local_before[i] = Local(i);
      vertices_before[i] = Vertices(i);
    }
    const bool any = c.target[A] || c.target[B] || c.target[C];
    EXPECT_EQ(ResetLocalRotationScale(doc_, slots_, state, c.selected_only), any);

    for (int i = 0; i < kCount; ++i) {
      SCOPED_TRACE(testing::Message() << "object " << i);
      EXPECT_TRUE(SamePoints(Vertices(i), vertices_before[i])) << "meshes stay in document space";
      if (c.target[i]) {
        EXPECT_EQ(Local(i).rotation, FVECTOR3(0, 0, 0));
        EXPECT_EQ(Local(i).scale, FVECTOR3(1, 1, 1));
        EXPECT_VEC3_NEAR(Local(i).translation, local_before[i].translation, 1e-4f);
        const FMATRIX parent = i > 0 ? Global(objs_[i - 1]) : FMATRIX();
        const FMATRIX want = FMATRIX::Translation(local_before[i].translation) * parent;
        EXPECT_MAT_NEAR(Global(objs_[i]), want, 1e-4f);
      } else {
        EXPECT_MAT_NEAR(Global(objs_[i]), before[i], 1e-4f) << "keeps its place in the world";
      }
    }
  }
}

TEST_F(TransformResetTest, ASecondResetFindsNothingToDo) {
  for (bool selected_only : {true, false}) {
    SCOPED_TRACE(selected_only ? "selected" : "all");
    Build();
    ASSERT_TRUE(SetBoneFlag(objs_[B], slots_, OBase::OB_SEL_PIVOT, true));
    RigEditState state;
    ASSERT_TRUE(ResetLocalRotationScale(doc_, slots_, state, selected_only));
    const FMATRIX after = Global(objs_[C]);
    EXPECT_FALSE(ResetLocalRotationScale(doc_, slots_, state, selected_only));
    EXPECT_EQ(Global(objs_[C]), after);
  }
}

TEST_F(TransformResetTest, ObjectsWithoutRotationOrScaleAreNoChange) {
  struct Case {
    const char* what;
    FVECTOR3 rotation, scale;
  };
  // What a matrix taken apart by the host leaves behind counts as none, so
  // pressing reset on a straight skeleton asks for no undo state.
  const Case cases[] = {
      {"exact", {0, 0, 0}, {1, 1, 1}},
      {"rounding left over", {1e-5f, 0, -2e-5f}, {1.0000001f, 0.9999999f, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Build();
    for (int i = 0; i < kCount; ++i) {
      mqhost::ToObject(objs_[i])->transform.rotation = c.rotation;
      mqhost::ToObject(objs_[i])->transform.scale = c.scale;
    }
    RigEditState state;
    EXPECT_FALSE(ResetLocalRotationScale(doc_, slots_, state, false));
    EXPECT_EQ(Local(B).translation, FVECTOR3(5, 1, 0)) << "not rewritten";
    EXPECT_EQ(Local(B).rotation, c.rotation);
  }
}

TEST_F(TransformResetTest, NothingToResetWithoutObjects) {
  RigEditState state;
  EXPECT_FALSE(ResetLocalRotationScale(nullptr, slots_, state, false));
  mqhost::Document* empty = mqhost::Host::Instance().NewDocument();
  EXPECT_FALSE(ResetLocalRotationScale(mqhost::ToHandle(empty), slots_, state, false));
  mqhost::Host::Instance().CloseDocument(empty);
}

}  // namespace
