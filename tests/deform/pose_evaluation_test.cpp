// Pose evaluation: pose records and pivots turned into every object's
// skinning matrix through the host hierarchy.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "deform/pose_evaluation.h"
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

  PoseEvaluationBuffers buffers;
  EvaluatePose(doc_, slots_, 0, buffers);

  ASSERT_EQ(buffers.world.size(), 3u) << "indexed by document index, empty positions included";
  ASSERT_EQ(buffers.local.size(), 3u);
  EXPECT_EQ(buffers.world[1], FMATRIX::kIdentity);
  EXPECT_EQ(buffers.world[2], FMATRIX::Translation({0, 4, 0}));
  EXPECT_TRUE(HasObjectSlot(a, slots_.OWMT())) << "a missing record is allocated";
  EXPECT_EQ(World(a), FMATRIX::kIdentity);
  EXPECT_EQ(World(b), FMATRIX::Translation({0, 4, 0}));
}

TEST_F(PoseEvaluationTest, BuffersAreReusedAcrossDocumentsOfAnySize) {
  MQObject a = AddObject("a");
  ASSERT_TRUE(SetPoseTSQ(a, slots_, 0, Pose({1, 0, 0})));
  PoseEvaluationBuffers buffers;
  EvaluatePose(doc_, slots_, 0, buffers);
  ASSERT_EQ(buffers.world.size(), 1u);
  EXPECT_EQ(buffers.world[0], FMATRIX::Translation({1, 0, 0}));

  AddObject("b");
  AddObject("c", 1);
  EvaluatePose(doc_, slots_, -1, buffers);
  ASSERT_EQ(buffers.world.size(), 3u);
  for (const FMATRIX& m : buffers.world) EXPECT_EQ(m, FMATRIX::kIdentity) << "nothing stale";
  EXPECT_TRUE(buffers.descent.empty());
}

TEST_F(PoseEvaluationTest, JobRefusesMissingInputs) {
  AddObject("a");
  PoseEvaluationBuffers buffers;
  buffers.world.assign(5, FMATRIX::kZero);
  struct Case {
    const char* what;
    MQDocument doc;
    const RigSlotTable* slots;
    PoseEvaluationBuffers* buffers;
    bool valid;
  };
  const Case cases[] = {
      {"complete", doc_, &slots_, &buffers, true},
      {"no document", nullptr, &slots_, &buffers, false},
      {"no slots", doc_, nullptr, &buffers, false},
      {"no buffers", doc_, &slots_, nullptr, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    buffers.world.assign(5, FMATRIX::kZero);
    PoseEvaluationJob job;
    job.document = c.doc;
    job.slots = c.slots;
    job.pose_id = 0;
    job.buffers = c.buffers;
    EXPECT_EQ(job.Validate(), c.valid);
    EXPECT_EQ(job.Run(), c.valid);
    EXPECT_EQ(buffers.world.size(), c.valid ? 1u : 5u) << "a refused job touches nothing";
  }
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
