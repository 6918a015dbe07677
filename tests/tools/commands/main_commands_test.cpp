// What the main object runs for the tools and panels: aligning the selected
// pivots (the move panel's alignment, with its vertex follow) and the pose
// list's operations, each leaving the posed matrices up to date.
#include <cmath>

#include "rig/pose_list.h"
#include "rig/records.h"
#include "rig/vertex_follow.h"
#include "tests/tools/commands/command_fixture.h"

namespace {

using quorvel::OBase;
using quorvel::OPoseTSQ;
using quorvel_test::CommandTest;

class BoneAlignTest : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    a_ = AddObject("a", 0, {0, 10, 0});
    AddObject("a tip", 1, {100, 0, 0});
    b_ = AddObject("b", 0, {50, -20, 0});
    b_tip_ = AddObject("b tip", 1, {100, 0, 0});
    ref_ = AddObject("reference", 0, {0, 0, 0});
    AddObject("reference tip", 1, {0, 100, 0});
    mqhost::ToObject(a_)->AddVertex(MQPoint{50, 12, 0});
    Start(MODE_MOVE);
    main_->Service()->SetToolOption(1, quorvel::kFollowLocal);
    SetFlag(a_, OBase::OB_SEL_PIVOT, true);
    SetFlag(b_, OBase::OB_SEL_PIVOT, true);
  }
  void Align(bool ok, int axis, int flags, FVECTOR3 position = {}, int32_t bone = -1) {
    BONEALIGN_PARAM values;
    values.axis = axis;
    values.flags = flags;
    values.position = position;
    values.bone = bone;
    ui_->SetDialogAnswer(ok, values);
    main_->Service()->BoneAlign(nullptr);
  }

  MQObject a_ = nullptr, b_ = nullptr, b_tip_ = nullptr, ref_ = nullptr;
};

TEST_F(BoneAlignTest, TheSelectedPivotsLineUpAndTheirMeshesFollow) {
  Align(false, 1, kAlignPivots);
  EXPECT_VEC3_NEAR(Pivot(a_), FVECTOR3(0, 10, 0), 1e-6f) << "cancelled";
  EXPECT_EQ(UndoRequests(), 0);

  Align(true, 1, kAlignPivots, {0, 0, 0});
  EXPECT_VEC3_NEAR(Pivot(a_), FVECTOR3(0, 0, 0), 1e-4f);
  EXPECT_VEC3_NEAR(Pivot(b_), FVECTOR3(50, 0, 0), 1e-4f) << "only the axis' coordinate changes";
  EXPECT_VEC3_NEAR(Pivot(b_tip_), FVECTOR3(150, -20, 0), 1e-4f) << "children stay";
  EXPECT_VEC3_NEAR(Vertex(a_, 0), FVECTOR3(50, 2, 0), 1e-4f) << "local: the mesh goes with its pivot";
  EXPECT_EQ(UndoRequests(), 1);

  Align(true, 1, kAlignPivots, {0, 0, 0});
  EXPECT_EQ(UndoRequests(), 1) << "nothing left to change";
  Align(true, 0, 0, {0, 0, 0});
  EXPECT_VEC3_NEAR(Pivot(b_), FVECTOR3(50, 0, 0), 1e-4f) << "pivots not chosen: nothing aligned";
}

TEST_F(BoneAlignTest, AReferenceBoneGivesTheFrame) {
  // The reference bone points along +Y: aligning on its Z axis (its
  // direction) lines the pivots up across it, at its pivot's height.
  Align(true, 2, kAlignPivots | kAlignFromBone, {999, 999, 999}, Uid(ref_));
  EXPECT_VEC3_NEAR(Pivot(a_), FVECTOR3(0, 0, 0), 1e-4f);
  EXPECT_VEC3_NEAR(Pivot(b_), FVECTOR3(50, 0, 0), 1e-4f);
  // A reference that no object carries aligns nothing.
  SetFlag(b_, OBase::OB_SEL_PIVOT, false);
  SetFlag(a_, OBase::OB_SEL_PIVOT, true);
  mqhost::ToObject(a_)->transform.translation = FVECTOR3(0, 30, 0);
  Align(true, 2, kAlignPivots | kAlignFromBone, {}, 987654);
  EXPECT_VEC3_NEAR(Pivot(a_), FVECTOR3(0, 30, 0), 1e-4f);
}

class PoseListTest : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    bone_ = AddObject("bone", 0, {0, 0, 0});
    AddObject("tip", 1, {100, 0, 0});
    Start(MODE_POSE);
  }
  FVECTOR3 Posed() const { return quorvel::GetWorldMatrix(bone_, Slots()).TransformPoint({100, 0, 0}); }
  void Move(float dy) {
    OPoseTSQ rec;
    rec.trs = FVECTOR3(0, dy, 0);
    ASSERT_TRUE(quorvel::SetPoseTSQ(bone_, Slots(), State().current_pose_id, rec));
  }

  MQObject bone_ = nullptr;
};

TEST_F(PoseListTest, EachOperationLeavesThePoseShown) {
  IDLMAIN& service = *main_->Service();
  ASSERT_TRUE(service.NewPose());
  Move(10);
  ASSERT_TRUE(service.UpdatePose());
  EXPECT_VEC3_NEAR(Posed(), FVECTOR3(100, 10, 0), 1e-5f);
  ASSERT_TRUE(service.CopyCurrentPose());  // pose1_copy, current
  Move(20);
  service.UpdatePose();
  EXPECT_VEC3_NEAR(Posed(), FVECTOR3(100, 20, 0), 1e-5f);
  ASSERT_TRUE(service.SelectPose(0));
  EXPECT_VEC3_NEAR(Posed(), FVECTOR3(100, 10, 0), 1e-5f);
  EXPECT_FALSE(service.SelectPose(0)) << "already current";
  EXPECT_FALSE(service.SelectPose(7)) << "no such pose";
  ASSERT_TRUE(service.DeleteCurrentPose());  // the copy moves into its place
  EXPECT_VEC3_NEAR(Posed(), FVECTOR3(100, 20, 0), 1e-5f);
  State().current_bone = Uid(bone_);
  ASSERT_TRUE(service.ResetCurrentBonePose());
  EXPECT_VEC3_NEAR(Posed(), FVECTOR3(100, 0, 0), 1e-5f);
  Move(30);
  service.UpdatePose();
  ASSERT_TRUE(service.ResetAllBonesPose());
  EXPECT_VEC3_NEAR(Posed(), FVECTOR3(100, 0, 0), 1e-5f);
  ASSERT_TRUE(service.DeleteCurrentPose());
  EXPECT_FALSE(service.DeleteCurrentPose()) << "no pose left";
  EXPECT_FALSE(service.ResetAllBonesPose());
}

}  // namespace

namespace {

class ToolInputTest : public CommandTest {};

TEST_F(ToolInputTest, PressesOutsideTheViewAndEventsWithoutADocumentDoNothing) {
  Start(MODE_MAKE);
  for (const mqhost::PointerInput& outside :
       {At(-330, 0), At(330, 0), At(0, 250), At(0, -250)}) {
    Click(outside);
    RightPress(outside);
  }
  Click(At(0, 0));
  Click(At(700, 0));  // a tail outside is refused too
  EXPECT_EQ(ObjectCount(), 0);
  EXPECT_EQ(UndoRequests(), 0);

  // The document ends: the tools have nothing to act on.
  ASSERT_EQ(mqhost::SendEndDocument(host_, document_, plugin_), TRUE);
  for (int mode : {MODE_MAKE, MODE_MOVE, MODE_POSE, MODE_WEIGHT}) {
    main_->Service()->SetMode(mode);
    Press(At(0, 0));
    DragTo(At(20, 20));
    Release(At(20, 20));
    RightPress(At(0, 0));
    RightRelease(At(0, 0));
    Hover(At(5, 5));
    EXPECT_EQ(Key(46), FALSE);
    Draw();
  }
  EXPECT_EQ(ObjectCount(), 0);
}

}  // namespace
