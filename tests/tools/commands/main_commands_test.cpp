// What the main object runs for the tools and panels: aligning the selected
// pivots (the move panel's alignment, with its vertex follow), the pose
// list's operations and the panels' resets, each leaving the posed matrices
// up to date.
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

// The panels' resets: the move panel's local rotation and scale, the pose
// tool panel's bone and morph poses. Each answers whether it changed
// something, and only then redraws and leaves an undo state.
class PanelResetTest : public CommandTest {
 protected:
  using Reset = bool (*)(IDLMAIN&);
  struct Step {
    const char* what;
    Reset reset;
    bool changed;
  };

  // A turned and scaled root with a child and a grandchild, the first two
  // moved in a pose; the root is the current object and bone, showing morph
  // target 2.
  void Arrange(int mode) {
    root_ = AddObject("root", 0, {0, 10, 0});
    tip_ = AddObject("tip", 1, {100, 0, 0});
    end_ = AddObject("end", 2, {50, 0, 0});
    mqhost::Object* root = mqhost::ToObject(root_);
    root->transform.rotation = FVECTOR3(0, 0, 30);
    root->transform.scale = FVECTOR3(2, 2, 2);
    root->AddVertex(MQPoint{50, 12, 0});
    Start(mode);
    ASSERT_TRUE(main_->Service()->NewPose());
    const int32_t pose = State().current_pose_id;
    OPoseTSQ moved;
    moved.trs = FVECTOR3(0, 5, 0);
    moved.rot = FQUAT(0, 0, 0.6f, 0.8f);
    for (MQObject obj : {root_, tip_}) ASSERT_TRUE(quorvel::SetPoseTSQ(obj, Slots(), pose, moved));
    quorvel::OPoseMorph root_weights, tip_weights;
    root_weights.weight[2] = root_weights.weight[4] = 0.5f;
    tip_weights.weight[1] = 0.5f;
    ASSERT_TRUE(quorvel::SetPoseMorph(root_, Slots(), pose, root_weights));
    ASSERT_TRUE(quorvel::SetPoseMorph(tip_, Slots(), pose, tip_weights));
    ASSERT_TRUE(quorvel::SetCurrentMorphIndex(root_, Slots(), 2));
    HostApi().MQDoc_SetCurrentObjectIndex(doc_, 0);
    State().current_bone = Uid(root_);
    ASSERT_TRUE(main_->Service()->UpdatePose());
  }

  // Runs the step and checks its answer, redraw and undo state.
  void Run(const Step& step) {
    SCOPED_TRACE(step.what);
    const int redraws = host_.redraw_requests();
    const int undos = UndoRequests();
    EXPECT_EQ(step.reset(*main_->Service()), step.changed);
    EXPECT_EQ(host_.redraw_requests() - redraws, step.changed ? 1 : 0);
    EXPECT_EQ(UndoRequests() - undos, step.changed ? 1 : 0);
  }

  FMATRIX Global(MQObject obj) const {
    FMATRIX m;
    HostApi().MQDoc_GetGlobalMatrix(doc_, obj, m.m);
    return m;
  }

  MQObject root_ = nullptr, tip_ = nullptr, end_ = nullptr;
};

TEST_F(PanelResetTest, EachResetAsksForUndoOnlyWhenItChangedSomething) {
  Arrange(MODE_POSE);
  const Step steps[] = {
      {"current bone", [](IDLMAIN& s) { return s.ResetCurrentBonePose(); }, true},
      {"current bone again", [](IDLMAIN& s) { return s.ResetCurrentBonePose(); }, false},
      {"all bones: the tip is left", [](IDLMAIN& s) { return s.ResetAllBonesPose(); }, true},
      {"all bones again", [](IDLMAIN& s) { return s.ResetAllBonesPose(); }, false},
      {"current morph", [](IDLMAIN& s) { return s.ResetCurrentMorphPose(); }, true},
      {"current morph again", [](IDLMAIN& s) { return s.ResetCurrentMorphPose(); }, false},
      {"current object's morphs: 4 is left",
       [](IDLMAIN& s) { return s.ResetCurrentObjectMorphPose(); }, true},
      {"current object's morphs again",
       [](IDLMAIN& s) { return s.ResetCurrentObjectMorphPose(); }, false},
      {"all morphs: the tip's are left", [](IDLMAIN& s) { return s.ResetAllMorphPose(); }, true},
      {"all morphs again", [](IDLMAIN& s) { return s.ResetAllMorphPose(); }, false},
      {"local rotation and scale of all", [](IDLMAIN& s) { return s.ResetLocalRotScale(false); },
       true},
      {"local rotation and scale again", [](IDLMAIN& s) { return s.ResetLocalRotScale(false); },
       false},
  };
  for (const Step& step : steps) Run(step);
  const int32_t pose = State().current_pose_id;
  EXPECT_EQ(quorvel::GetPoseBaseWeight(root_, Slots(), pose), 1.0f);
  EXPECT_EQ(quorvel::GetPoseBaseWeight(tip_, Slots(), pose), 1.0f);
}

TEST_F(PanelResetTest, LocalRotationAndScaleOfTheSelectionKeepTheRestAndThePoseCurrent) {
  Arrange(MODE_MOVE);
  const FMATRIX end_before = Global(end_);
  const FMATRIX skin_before = quorvel::GetWorldMatrix(tip_, Slots());
  Run({"nothing selected", [](IDLMAIN& s) { return s.ResetLocalRotScale(true); }, false});

  // Both reset: the tip now stands on the unturned root, so its pivot moves;
  // the end is not selected and stays.
  SetFlag(root_, OBase::OB_SEL_PIVOT, true);
  SetFlag(tip_, OBase::OB_SEL_BODY, true);
  ui_->ResetRefreshCounts();
  Run({"the selection", [](IDLMAIN& s) { return s.ResetLocalRotScale(true); }, true});
  EXPECT_EQ(ui_->refreshed(PANEL_COMMAND), 1);
  EXPECT_EQ(mqhost::ToObject(root_)->transform.rotation, FVECTOR3(0, 0, 0));
  EXPECT_EQ(mqhost::ToObject(root_)->transform.scale, FVECTOR3(1, 1, 1));
  EXPECT_VEC3_NEAR(Pivot(tip_), FVECTOR3(100, 10, 0), 1e-4f);
  EXPECT_MAT_NEAR(Global(end_), end_before, 1e-4f) << "an unselected child keeps its place";
  EXPECT_VEC3_NEAR(Vertex(root_, 0), FVECTOR3(50, 12, 0), 0.0f) << "the mesh stays";

  // The skinning matrices follow the moved pivot: what a fresh evaluation
  // gives, and no longer what was shown before.
  const FMATRIX skin_after = quorvel::GetWorldMatrix(tip_, Slots());
  main_->GetModel()->ForgetPoseCache();
  main_->GetModel()->UpdatePoseMatrices();
  EXPECT_MAT_NEAR(skin_after, quorvel::GetWorldMatrix(tip_, Slots()), 1e-4f);
  EXPECT_FALSE(quorvel::test::ComponentsNear(skin_after.m, skin_before.m, 16, 1e-3f));
}

TEST_F(PanelResetTest, NothingIsResetUnlessThePluginIsEditingADocument) {
  const Reset resets[] = {
      [](IDLMAIN& s) { return s.ResetLocalRotScale(false); },
      [](IDLMAIN& s) { return s.ResetCurrentBonePose(); },
      [](IDLMAIN& s) { return s.ResetAllBonesPose(); },
      [](IDLMAIN& s) { return s.ResetCurrentMorphPose(); },
      [](IDLMAIN& s) { return s.ResetCurrentObjectMorphPose(); },
      [](IDLMAIN& s) { return s.ResetAllMorphPose(); },
  };
  Arrange(MODE_POSE);
  const int32_t pose = State().current_pose_id;
  ASSERT_EQ(mqhost::SendActivate(host_, document_, false, plugin_), FALSE);
  for (const Reset reset : resets) Run({"inactive", reset, false});
  EXPECT_EQ(mqhost::ToObject(root_)->transform.rotation, FVECTOR3(0, 0, 30));
  EXPECT_EQ(quorvel::GetPoseMorphWeight(root_, Slots(), pose, 2), 0.5f);
  OPoseTSQ tsq;
  ASSERT_TRUE(quorvel::GetPoseTSQ(root_, Slots(), pose, tsq));
  EXPECT_EQ(tsq.trs, FVECTOR3(0, 5, 0));

  ASSERT_EQ(mqhost::SendActivate(host_, document_, true, plugin_), TRUE);
  ASSERT_EQ(mqhost::SendEndDocument(host_, document_, plugin_), TRUE);
  for (const Reset reset : resets) Run({"document closed", reset, false});
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
