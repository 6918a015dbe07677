// Pose evaluation: pose records and pivots turned into every object's
// skinning matrix through the host hierarchy.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "deform/pose_evaluation.h"
#include "host/core/api.h"
#include "host/core/host.h"
#include "rig/rig_access.h"
#include "tests/rig/rig_fixture.h"
#include "tests/support/float_checks.h"

using namespace quorvel;

namespace {

const float kHalfSqrt2 = std::sqrt(0.5f);
// 90° about +Z: +X turns towards +Y.
const FQUAT kTurnZ90(0.0f, 0.0f, kHalfSqrt2, kHalfSqrt2);

OPoseTSQ Pose(FVECTOR3 trs = {0, 0, 0}, FVECTOR3 scl = {1, 1, 1}, FQUAT rot = {}) {
  OPoseTSQ pose;
  pose.trs = trs;
  pose.scl = scl;
  pose.rot = rot;
  return pose;
}

class PoseEvaluationTest : public RigTest {
 protected:
  static void Place(MQObject obj, const FVECTOR3& translation) {
    HostApi().MQObj_SetFloatArray(obj, MQOBJ_ID_TRANSLATION, &translation.x);
  }
  FMATRIX World(MQObject obj) const { return GetWorldMatrix(obj, slots_); }
  // Garbage in every skinning record, so that a matrix that is not written shows.
  void Spoil(std::initializer_list<MQObject> objects) {
    FMATRIX junk = FMATRIX::Translation({100, 200, 300});
    junk.ScaleBy({7, 7, 7});
    for (MQObject obj : objects) ASSERT_TRUE(SetWorldMatrix(obj, slots_, junk));
  }
};

TEST_F(PoseEvaluationTest, PoseLocalMatrixActsAboutThePivot) {
  // v - p = (1, 0, 0); scaled (2, 0, 0); turned (0, 2, 0); moved (0, 2, 5); plus p.
  const OPoseTSQ pose = Pose({0, 0, 5}, {2, 1, 1}, kTurnZ90);
  const FVECTOR3 pivot(1, 1, 0);
  EXPECT_VEC3_NEAR(PoseLocalMatrix(pose, pivot).TransformPoint({2, 1, 0}), FVECTOR3(1, 3, 5), 1e-5f);
  EXPECT_VEC3_NEAR(PoseLocalMatrix(pose, pivot).TransformPoint(pivot), FVECTOR3(1, 1, 5), 1e-5f)
      << "the pivot only moves by the translation";

  MQObject obj = AddObject("bone");
  Place(obj, pivot);
  EXPECT_MAT_NEAR(PoseLocalMatrix(doc_, obj, pose), PoseLocalMatrix(pose, pivot), 1e-6f);
}

TEST_F(PoseEvaluationTest, WithoutAPoseEveryMatrixIsTheIdentity) {
  MQObject root = AddObject("root");
  MQObject child = AddObject("child", 1);
  Place(root, {1, 0, 0});
  Place(child, {1, 2, 0});
  ASSERT_TRUE(SetPoseTSQ(root, slots_, 0, Pose({1, 1, 1}, {2, 2, 2}, kTurnZ90)));
  ASSERT_TRUE(SetPoseTSQ(child, slots_, 0, Pose({0, 3, 0})));
  for (int pose_id : {-1, 1, 20, -7}) {  // none, unrecorded, and out of range
    SCOPED_TRACE(pose_id);
    Spoil({root, child});
    EvaluatePose(doc_, slots_, pose_id);
    EXPECT_EQ(World(root), FMATRIX::kIdentity);
    EXPECT_EQ(World(child), FMATRIX::kIdentity);
  }
  EvaluatePose(doc_, slots_, 0);
  EXPECT_NE(World(root), FMATRIX::kIdentity) << "the recorded pose does apply";
}

struct ChainCase {
  const char* what;
  OPoseTSQ root, child, grandchild;
  int through;  // 0 root, 1 child, 2 grandchild: whose matrix carries the point
  FVECTOR3 point;
  FVECTOR3 want;
};

TEST_F(PoseEvaluationTest, ChainCases) {
  // root ─ child ─ grandchild with pivots (1, 0, 0), (2, 0, 0), (3, 0, 0).
  const ChainCase cases[] = {
      {"root turned 90° about Z", Pose({}, {1, 1, 1}, kTurnZ90), Pose(), Pose(), 0, {2, 0, 0}, {1, 1, 0}},
      {"child at rest follows the turned root", Pose({}, {1, 1, 1}, kTurnZ90), Pose(), Pose(), 1,
       {2, 0, 0}, {1, 1, 0}},
      {"child's translation first, then the root's turn", Pose({}, {1, 1, 1}, kTurnZ90),
       Pose({0, 1, 0}), Pose(), 1, {2, 0, 0}, {0, 1, 0}},
      {"scale about the pivot, not the origin", Pose({}, {2, 2, 2}), Pose(), Pose(), 0, {2, 0, 0},
       {3, 0, 0}},
      {"scale about the pivot carries the origin away", Pose({}, {2, 2, 2}), Pose(), Pose(), 0,
       {0, 0, 0}, {-1, 0, 0}},
      {"child turned about its own pivot", Pose(), Pose({}, {1, 1, 1}, kTurnZ90), Pose(), 1,
       {3, 0, 0}, {2, 1, 0}},
      {"child turned, then root turned", Pose({}, {1, 1, 1}, kTurnZ90), Pose({}, {1, 1, 1}, kTurnZ90),
       Pose(), 1, {3, 0, 0}, {0, 1, 0}},
      {"the child's pose does not reach its parent", Pose(), Pose({0, 5, 0}, {3, 3, 3}, kTurnZ90),
       Pose(), 0, {4, 0, 0}, {4, 0, 0}},
      {"grandchild moved, child turned, root moved", Pose({5, 0, 0}), Pose({}, {1, 1, 1}, kTurnZ90),
       Pose({0, 0, 1}), 2, {3, 0, 0}, {7, 1, 1}},
  };
  MQObject objects[] = {AddObject("root", 0), AddObject("child", 1), AddObject("grandchild", 2)};
  Place(objects[0], {1, 0, 0});
  Place(objects[1], {1, 0, 0});
  Place(objects[2], {1, 0, 0});
  for (const ChainCase& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(SetPoseTSQ(objects[0], slots_, 2, c.root));
    ASSERT_TRUE(SetPoseTSQ(objects[1], slots_, 2, c.child));
    ASSERT_TRUE(SetPoseTSQ(objects[2], slots_, 2, c.grandchild));
    EvaluatePose(doc_, slots_, 2);
    EXPECT_VEC3_NEAR(World(objects[c.through]).TransformPoint(c.point), c.want, 1e-5f);
  }
}

TEST_F(PoseEvaluationTest, ChildAtRestHasItsParentsMatrix) {
  MQObject root = AddObject("root");
  MQObject child = AddObject("child", 1);
  MQObject sibling = AddObject("sibling", 1);
  Place(root, {1, 0, 0});
  Place(child, {0, 3, 0});
  Place(sibling, {2, 0, 1});
  ASSERT_TRUE(SetPoseTSQ(root, slots_, 0, Pose({0, 0, 2}, {1.5f, 1.5f, 1.5f}, kTurnZ90)));
  EvaluatePose(doc_, slots_, 0);
  EXPECT_MAT_NEAR(World(child), World(root), 1e-6f);
  EXPECT_MAT_NEAR(World(sibling), World(root), 1e-6f);
}

TEST_F(PoseEvaluationTest, PoseSwitchesOfTheBoneRecordDoNotChangeTheResult) {
  MQObject root = AddObject("root");
  MQObject child = AddObject("child", 1);
  Place(root, {1, 0, 0});
  Place(child, {0, 2, 0});
  ASSERT_TRUE(SetPoseTSQ(root, slots_, 0, Pose({0, 1, 0}, {2, 1, 1}, kTurnZ90)));
  ASSERT_TRUE(SetPoseTSQ(child, slots_, 0, Pose({3, 0, 0}, {1, 2, 1}, FQUAT(0.5f, 0.5f, 0.5f, 0.5f))));
  ASSERT_TRUE(SetBoneRecord(root, slots_, OBase()));
  ASSERT_TRUE(SetBoneRecord(child, slots_, OBase()));
  EvaluatePose(doc_, slots_, 0);
  const FMATRIX root_before = World(root);
  const FMATRIX child_before = World(child);

  for (MQObject obj : {root, child}) {
    for (OBase::Flag flag : {OBase::usetrs, OBase::userot, OBase::usescl}) {
      ASSERT_TRUE(SetBoneFlag(obj, slots_, flag, false));
    }
  }
  Spoil({root, child});
  EvaluatePose(doc_, slots_, 0);
  EXPECT_EQ(World(root), root_before);
  EXPECT_EQ(World(child), child_before);
}

TEST_F(PoseEvaluationTest, ObjectsNoRootReachesKeepTheIdentity) {
  // The first object sits at depth 1 with nothing above it: it has no parent
  // and is no root, and neither is its own child.
  MQObject orphan = AddObject("orphan", 1);
  MQObject orphan_child = AddObject("orphan child", 2);
  MQObject root = AddObject("root", 0);
  ASSERT_EQ(HostApi().MQDoc_GetParentObject(doc_, orphan), nullptr);
  ASSERT_EQ(HostApi().MQDoc_GetParentObject(doc_, orphan_child), orphan);
  for (MQObject obj : {orphan, orphan_child, root}) {
    ASSERT_TRUE(SetPoseTSQ(obj, slots_, 0, Pose({1, 2, 3})));
  }
  Spoil({orphan, orphan_child, root});
  EvaluatePose(doc_, slots_, 0);
  EXPECT_EQ(World(orphan), FMATRIX::kIdentity);
  EXPECT_EQ(World(orphan_child), FMATRIX::kIdentity);
  EXPECT_EQ(World(root), FMATRIX::Translation({1, 2, 3}));
}

TEST_F(PoseEvaluationTest, EmptyPositionsAreSkippedAndRecordsAreMadeWhenMissing) {
  MQObject a = AddObject("a");
  MQObject gone = AddObject("gone");
  MQObject b = AddObject("b");
  document_->DeleteObject(HostApi().MQDoc_GetObjectIndex(doc_, gone));
  ASSERT_FALSE(HasObjectSlot(a, slots_.OWMT()));
  ASSERT_TRUE(SetPoseTSQ(b, slots_, 0, Pose({0, 4, 0})));

  PoseEvaluator evaluator;
  evaluator.Evaluate(doc_, slots_, 0);

  ASSERT_EQ(evaluator.World().size(), 3u) << "indexed by document index, empty positions included";
  EXPECT_EQ(evaluator.World()[1], FMATRIX::kIdentity);
  EXPECT_EQ(evaluator.World()[2], FMATRIX::Translation({0, 4, 0}));
  EXPECT_TRUE(HasObjectSlot(a, slots_.OWMT())) << "a missing record is allocated";
  EXPECT_EQ(World(a), FMATRIX::kIdentity);
  EXPECT_EQ(World(b), FMATRIX::Translation({0, 4, 0}));

  evaluator.Evaluate(nullptr, slots_, -1);
  EXPECT_EQ(evaluator.World()[2], FMATRIX::Translation({0, 4, 0})) << "no document: nothing done";
}

// A kept evaluator against a fresh one after each kind of change: every
// stored matrix must be what evaluating from nothing gives.
class KeptEvaluatorTest : public PoseEvaluationTest {
 protected:
  void SetUp() override {
    PoseEvaluationTest::SetUp();
    // root ─ arm ─ hand, root ─ leg, and a second root with a child.
    root_ = AddObject("root", 0);
    arm_ = AddObject("arm", 1);
    hand_ = AddObject("hand", 2);
    leg_ = AddObject("leg", 1);
    other_ = AddObject("other", 0);
    other_child_ = AddObject("other child", 1);
    int k = 0;
    for (MQObject obj : {root_, arm_, hand_, leg_, other_, other_child_}) {
      const float f = static_cast<float>(++k);
      Place(obj, {0.5f * f, 1.0f, 0.0f});
      const FQUAT turn = FQUAT::FromAxisAngle({0.2f, 1.0f, 0.3f}, 0.1f * f);
      ASSERT_TRUE(SetPoseTSQ(obj, slots_, 0, Pose({0.1f * f, 0, 0}, {1, 1, 1}, turn)));
      ASSERT_TRUE(SetPoseTSQ(obj, slots_, 1, Pose({0, 0.2f * f, 0}, {1, 1.5f, 1}, turn * turn)));
    }
  }

  void SpoilAll() {
    for (int i = 0; i < HostApi().MQDoc_GetObjectCount(doc_); ++i) {
      if (MQObject obj = HostApi().MQDoc_GetObject(doc_, i)) Spoil({obj});
    }
  }
  // Every object's stored matrix, by document index.
  std::vector<FMATRIX> Stored() {
    std::vector<FMATRIX> out;
    ReadSkinningMatrices(doc_, slots_, out);
    return out;
  }

  MQObject root_, arm_, hand_, leg_, other_, other_child_;
};

TEST_F(KeptEvaluatorTest, MatchesAFreshEvaluationAfterEveryChange) {
  struct Case {
    const char* what;
    std::function<void()> change;
    int pose_id;
    bool forget;  // what the document model is told by the host's events
  };
  const Case cases[] = {
      {"nothing changed", [] {}, 0, false},
      {"a middle bone's record turned",
       [this] {
         ASSERT_TRUE(SetPoseTSQ(arm_, slots_, 0, Pose({0, 0, 1}, {2, 2, 2}, kTurnZ90)));
       }, 0, false},
      {"a root's record moved",
       [this] { ASSERT_TRUE(SetPoseTSQ(root_, slots_, 0, Pose({3, 0, 0}))); },
       0, false},
      {"a record written by another hand, straight into the host",
       [this] {
         const OPoseTSQ pose = Pose({0, 7, 0});
         PokeObject(hand_, slots_.PoseTSQ(0), &pose, sizeof pose);
       }, 0, false},
      {"a record removed", [this] {
         mqhost::ToObject(leg_)->FreeObjectData(slots_.PoseTSQ(0));
       }, 0, false},
      {"another pose", [] {}, 1, false},
      {"no pose", [] {}, -1, false},
      {"an object added at the end",
       [this] {
         MQObject extra = AddObject("extra", 1);
         Place(extra, {9, 0, 0});
         ASSERT_TRUE(SetPoseTSQ(extra, slots_, 0, Pose({0, 0, 2}, {1, 1, 1}, kTurnZ90)));
       }, 0, false},
      {"an object inserted in the middle",
       [this] {
         auto object = document_->NewObject();
         object->depth = 2;
         document_->InsertObject(std::move(object), mqhost::ToObject(arm_));
       }, 0, false},
      {"a pivot moved", [this] { Place(arm_, {0, 0, 4}); }, 0, true},
      {"re-parented",
       [this] { document_->SetDepth(mqhost::ToObject(leg_), 2); }, 0, true},
      {"stored matrices spoiled", [this] { Spoil({root_, hand_}); }, 0, true},
      {"an object deleted (last: the others use it)", [this] {
         document_->DeleteObject(HostApi().MQDoc_GetObjectIndex(doc_, leg_));
       }, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PoseEvaluator kept;
    kept.Evaluate(doc_, slots_, 0);
    c.change();
    if (c.forget) kept.Forget();
    kept.Evaluate(doc_, slots_, c.pose_id);
    const std::vector<FMATRIX> from_kept = Stored();
    EXPECT_EQ(kept.World(), from_kept) << "World() is what was stored";
    SpoilAll();
    EvaluatePose(doc_, slots_, c.pose_id);
    EXPECT_EQ(from_kept, Stored());
  }
}

TEST_F(KeptEvaluatorTest, ADragOfManyStepsEndsWhereOneEvaluationDoes) {
  PoseEvaluator kept;
  const MQObject dragged[] = {hand_, arm_, root_, arm_, other_child_, other_};
  for (int step = 0; step < 24; ++step) {
    SCOPED_TRACE(step);
    MQObject obj = dragged[step % 6];
    OPoseTSQ pose;
    GetPoseTSQ(obj, slots_, 0, pose);
    pose.rot = pose.rot * FQUAT::FromAxisAngle({0, 0, 1}, 0.05f);
    pose.trs.y += 0.01f;
    ASSERT_TRUE(SetPoseTSQ(obj, slots_, 0, pose));
    kept.Evaluate(doc_, slots_, 0);
    const std::vector<FMATRIX> from_kept = Stored();
    EvaluatePose(doc_, slots_, 0);
    ASSERT_EQ(from_kept, Stored());
  }
}

TEST_F(KeptEvaluatorTest, AnotherDocumentOrSlotTableStartsAfresh) {
  PoseEvaluator kept;
  kept.Evaluate(doc_, slots_, 0);
  const std::vector<FMATRIX> first = Stored();

  mqhost::Document* second = mqhost::Host::Instance().NewDocument();
  MQDocument second_doc = mqhost::ToHandle(second);
  RigSlotTable second_slots;
  ASSERT_TRUE(RegisterRigSlots(second_doc, second_slots));
  auto object = second->NewObject();
  MQObject lone = mqhost::ToHandle(object.get());
  second->AddObject(std::move(object));
  ASSERT_TRUE(SetPoseTSQ(lone, second_slots, 0, Pose({1, 2, 3})));
  kept.Evaluate(second_doc, second_slots, 0);
  EXPECT_EQ(GetWorldMatrix(lone, second_slots), FMATRIX::Translation({1, 2, 3}));
  ASSERT_EQ(kept.World().size(), 1u);

  SpoilAll();
  kept.Evaluate(doc_, slots_, 0);
  EXPECT_EQ(Stored(), first) << "back on the first document, every matrix is written again";
  mqhost::Host::Instance().CloseDocument(second);
}

TEST_F(PoseEvaluationTest, ReadSkinningMatricesByDocumentIndex) {
  MQObject stored = AddObject("stored");
  MQObject gone = AddObject("gone");
  MQObject unstored = AddObject("unstored");
  ASSERT_TRUE(SetWorldMatrix(gone, slots_, FMATRIX::Translation({9, 9, 9})));
  document_->DeleteObject(HostApi().MQDoc_GetObjectIndex(doc_, gone));
  const FMATRIX m = PoseLocalMatrix(Pose({1, 2, 3}, {2, 2, 2}, kTurnZ90), {4, 5, 6});
  ASSERT_TRUE(SetWorldMatrix(stored, slots_, m));
  ASSERT_FALSE(HasObjectSlot(unstored, slots_.OWMT()));

  std::vector<FMATRIX> out(7, FMATRIX::kZero);
  ReadSkinningMatrices(doc_, slots_, out);
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[0], m);
  EXPECT_EQ(out[1], FMATRIX::kIdentity);
  EXPECT_EQ(out[2], FMATRIX::kIdentity);

  ReadSkinningMatrices(nullptr, slots_, out);
  EXPECT_TRUE(out.empty());
}

}  // namespace
