// The move tool through host events: what a drag on a pivot or a body moves,
// how meshes follow in each vertex mode, selection by clicks and by the
// rubber band, the IK drag of the rest skeleton, the keys, and undo.
#include "tools/move_command.h"

#include <cmath>

#include "rig/records.h"
#include "tests/tools/commands/command_fixture.h"
#include "tools/tool_service.h"

namespace {

using quorvel::OBase;
using quorvel_test::CommandTest;

constexpr int kKeyDelete = 46;

class MoveTest : public CommandTest {
 protected:
  // An arm along +X: upper (0, 0) → lower (100, 0) → tip (200, 0). The upper
  // object holds a small mesh along its bone, the lower one a single point.
  void SetUp() override {
    CommandTest::SetUp();
    upper_ = AddObject("upper", 0, {0, 0, 0});
    lower_ = AddObject("lower", 1, {100, 0, 0});
    tip_ = AddObject("tip", 2, {100, 0, 0});
    for (const MQPoint& p : {MQPoint{50, 10, 0}, MQPoint{80, -10, 0}, MQPoint{0, 0, 0}}) {
      mqhost::ToObject(upper_)->AddVertex(p);
    }
    mqhost::ToObject(lower_)->AddVertex(MQPoint{150, 0, 0});
  }
  void StartMoving(int follow = quorvel::kFollowNone, bool ik = false) {
    Start(MODE_MOVE);
    main_->Service()->SetToolOption(1, follow);
    main_->Service()->SetToolOption(2, ik ? 1 : 0);
  }
  COMPROC_MOVE& Tool() { return *static_cast<COMPROC_MOVE*>(main_->Processor()); }
  // A joint where one bone's body ends is grabbed a few pixels beside its
  // centre: on the very point the ending body is hit and, being a body, wins.
  mqhost::PointerInput AtJoint(float x, float y, int flags = 0) { return At(x, y + 3.0f, flags); }
  bool Selected(MQObject obj, uint32_t bit) { return (Flags(obj) & bit) != 0; }

  MQObject upper_ = nullptr, lower_ = nullptr, tip_ = nullptr;
};

TEST_F(MoveTest, ABodyDragMovesBothPivotsAndAPivotDragLeavesTheChild) {
  StartMoving();
  Drag(At(50, 0), At(50, 40));
  EXPECT_TRUE(Selected(upper_, OBase::OB_SEL_BODY));
  EXPECT_VEC3_NEAR(Pivot(upper_), FVECTOR3(0, 40, 0), 1e-3f);
  EXPECT_VEC3_NEAR(Pivot(lower_), FVECTOR3(100, 40, 0), 1e-3f);
  EXPECT_VEC3_NEAR(Pivot(tip_), FVECTOR3(200, 0, 0), 1e-3f) << "only the bone's two pivots";
  EXPECT_VEC3_NEAR(Vertex(upper_, 0), FVECTOR3(50, 10, 0), 1e-6f) << "no vertex follow";

  Drag(At(0, 40), At(-30, 40));
  EXPECT_VEC3_NEAR(Pivot(upper_), FVECTOR3(-30, 40, 0), 1e-3f);
  EXPECT_VEC3_NEAR(Pivot(lower_), FVECTOR3(100, 40, 0), 1e-3f) << "the child stays where it is";
  EXPECT_EQ(UndoRequests(), 2) << "one per drag";
}

// Dragging the lower pivot (the tip of the upper bone) with each vertex mode.
TEST_F(MoveTest, EachVertexModeCarriesTheMeshItsWay) {
  const struct {
    int mode;
    const char* label;
    FVECTOR3 lower_to;
    FVECTOR3 upper_vertex;  // where (50, 10) of the upper mesh goes
    FVECTOR3 lower_vertex;  // where (150, 0) of the lower mesh goes
  } cases[] = {
      {quorvel::kFollowNone, "none", {0, 100, 0}, {50, 10, 0}, {150, 0, 0}},
      {quorvel::kFollowLocal, "local: rigid with its own object", {0, 100, 0}, {50, 10, 0}, {50, 100, 0}},
      // The lower bone turns too, its tip staying at (200, 0): its vertex half
      // way along it stays half way along (no stretch: 50 from its pivot).
      {quorvel::kFollowRotate, "rotate, no stretch", {0, 200, 0}, {-10, 50, 0}, {35.355339f, 164.64466f, 0}},
      {quorvel::kFollowZScale, "Z scale along the bone", {0, 200, 0}, {-10, 100, 0}, {100, 100, 0}},
      {quorvel::kFollowScale, "uniform scale", {0, 200, 0}, {-20, 100, 0}, {100, 100, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    TearDown();
    SetUp();
    StartMoving(c.mode);
    Drag(AtJoint(100, 0), AtJoint(c.lower_to.x, c.lower_to.y), 8);
    ASSERT_VEC3_NEAR(Pivot(lower_), c.lower_to, 1e-3f);
    EXPECT_VEC3_NEAR(Pivot(upper_), FVECTOR3(0, 0, 0), 1e-3f);
    EXPECT_VEC3_NEAR(Vertex(upper_, 0), c.upper_vertex, 1e-3f);
    EXPECT_VEC3_NEAR(Vertex(upper_, 2), FVECTOR3(0, 0, 0), 1e-3f) << "the pivot's own vertex stays";
    EXPECT_VEC3_NEAR(Vertex(lower_, 0), c.lower_vertex, 1e-3f);
  }
}

TEST_F(MoveTest, AMoveThatKeepsTheBoneDirectionOnlyTranslatesTheMesh) {
  StartMoving(quorvel::kFollowScale);
  Drag(At(50, 0), At(80, 30));  // the whole upper bone moves by (30, 30)
  EXPECT_VEC3_NEAR(Vertex(upper_, 0), FVECTOR3(80, 40, 0), 1e-3f);
  EXPECT_VEC3_NEAR(Vertex(upper_, 1), FVECTOR3(110, 20, 0), 1e-3f);
}

TEST_F(MoveTest, ThePivotMovingWithATurnKeepsTheMeshOnIt) {
  // The upper pivot alone moves: the bone turns about its tip's pivot, and
  // the vertex on the pivot stays on it.
  StartMoving(quorvel::kFollowRotate);
  Drag(At(0, 0), At(100, -100));
  EXPECT_VEC3_NEAR(Pivot(upper_), FVECTOR3(100, -100, 0), 1e-3f);
  EXPECT_VEC3_NEAR(Vertex(upper_, 2), FVECTOR3(100, -100, 0), 1e-3f);
  // (50, 10) lies half way along the bone, 10 to its left: the bone now
  // points up, so it lies half way up, 10 to the left of that.
  EXPECT_VEC3_NEAR(Vertex(upper_, 0), FVECTOR3(90, -50, 0), 1e-3f);
}

TEST_F(MoveTest, ALongDragRecomputesFromThePressAndDoesNotAccumulate) {
  // Z scale stretches along the bone: stretches along different directions
  // one after another would shear the mesh, one from the press does not.
  StartMoving(quorvel::kFollowZScale);
  Press(AtJoint(100, 0));
  const FVECTOR2 path[] = {{0, 200}, {-150, 50}, {60, -180}, {120, 90}, {30, 170}, {0, 100}};
  for (int round = 0; round < 20; ++round) {
    for (const FVECTOR2& p : path) DragTo(AtJoint(p.x, p.y));
  }
  Release(AtJoint(0, 100));
  EXPECT_VEC3_NEAR(Vertex(upper_, 0), FVECTOR3(-10, 50, 0), 1e-3f);
  EXPECT_VEC3_NEAR(Vertex(upper_, 1), FVECTOR3(10, 80, 0), 1e-3f);
  EXPECT_EQ(UndoRequests(), 1);
}

TEST_F(MoveTest, ClicksSelectAndCtrlAddsToTheSelection) {
  MQObject other = AddObject("other", 0, {0, -100, 0});
  AddObject("other tip", 1, {100, 0, 0});
  StartMoving();
  Click(At(0, 0));
  EXPECT_TRUE(Selected(upper_, OBase::OB_SEL_PIVOT));
  Click(At(0, -100));
  EXPECT_FALSE(Selected(upper_, OBase::OB_SEL_PIVOT)) << "a plain click starts a new selection";
  EXPECT_TRUE(Selected(other, OBase::OB_SEL_PIVOT));
  Click(At(0, 0, mqhost::kButtonCtrl));
  EXPECT_TRUE(Selected(upper_, OBase::OB_SEL_PIVOT));
  EXPECT_TRUE(Selected(other, OBase::OB_SEL_PIVOT)) << "Ctrl adds";
  Click(At(0, -100));
  EXPECT_TRUE(Selected(upper_, OBase::OB_SEL_PIVOT)) << "a click on a selected part keeps the rest";
  EXPECT_TRUE(Selected(other, OBase::OB_SEL_PIVOT));
  // Both pivots move together now.
  Drag(At(0, -100), At(0, -80));
  EXPECT_VEC3_NEAR(Pivot(upper_), FVECTOR3(0, 20, 0), 1e-3f);
  EXPECT_VEC3_NEAR(Pivot(other), FVECTOR3(0, -80, 0), 1e-3f);
  // A click into empty space clears it, with Ctrl it keeps it.
  Click(At(-200, 200, mqhost::kButtonCtrl));
  EXPECT_TRUE(Selected(upper_, OBase::OB_SEL_PIVOT));
  Click(At(-200, 200));
  EXPECT_FALSE(Selected(upper_, OBase::OB_SEL_PIVOT));
  EXPECT_FALSE(Selected(other, OBase::OB_SEL_PIVOT));
}

TEST_F(MoveTest, TheRubberBandSelectsThePivotsInside) {
  StartMoving();
  Press(At(-20, 20));
  DragTo(At(60, -20));
  EXPECT_TRUE(Tool().rectangle().active);
  EXPECT_VEC3_NEAR(Pivot(upper_), FVECTOR3(0, 0, 0), 1e-6f) << "a rectangle moves nothing";
  Release(At(130, -20));
  EXPECT_FALSE(Tool().rectangle().active);
  EXPECT_TRUE(Selected(upper_, OBase::OB_SEL_PIVOT));
  EXPECT_TRUE(Selected(lower_, OBase::OB_SEL_PIVOT));
  EXPECT_FALSE(Selected(tip_, OBase::OB_SEL_PIVOT));
  EXPECT_EQ(UndoRequests(), 0);
}

// With bones hidden nothing can be seen to be selected, so the band selects
// nothing, as a click does; a drag after it moves nothing.
TEST_F(MoveTest, TheRubberBandSelectsNothingWhileBonesAreHidden) {
  StartMoving(quorvel::kFollowLocal);
  State().display &= ~quorvel::RigEditState::kShowBones;
  Drag(At(-300, 200), At(300, -200));
  for (MQObject obj : {upper_, lower_, tip_}) {
    EXPECT_EQ(Flags(obj) & (OBase::OB_SEL_PIVOT | OBase::OB_SEL_BODY | OBase::OB_SEL_ROLL), 0u);
  }
  Drag(At(0, 0), At(40, 40));
  EXPECT_VEC3_NEAR(Pivot(upper_), FVECTOR3(0, 0, 0), 1e-6f);
  EXPECT_EQ(UndoRequests(), 0);
}

TEST_F(MoveTest, EventsWithoutAPressOrOnNothingChangeNothing) {
  StartMoving(quorvel::kFollowLocal);
  Release(At(0, 0));
  DragTo(At(40, 40));
  Click(At(0, 0));  // selects the upper pivot, moves nothing
  Release(At(10, 10));
  DragTo(At(40, 40));
  Drag(At(-200, -200), At(-150, -150));  // from nothing: a rectangle around nothing
  EXPECT_VEC3_NEAR(Pivot(upper_), FVECTOR3(0, 0, 0), 1e-6f);
  EXPECT_VEC3_NEAR(Vertex(upper_, 0), FVECTOR3(50, 10, 0), 1e-6f);
  EXPECT_EQ(UndoRequests(), 0);
}

TEST_F(MoveTest, IkModeBendsTheRestSkeleton) {
  StartMoving(quorvel::kFollowRotate, /*ik=*/true);
  // The tip's pivot is the end of the lower bone: the chain above bends.
  Drag(AtJoint(200, 0), AtJoint(120, 120), 10);
  const FVECTOR3 upper = Pivot(upper_), lower = Pivot(lower_), tip = Pivot(tip_);
  EXPECT_VEC3_NEAR(upper, FVECTOR3(0, 0, 0), 1e-3f) << "the chain's root stays";
  EXPECT_NEAR((lower - upper).Length(), 100.0f, 1e-2f);
  EXPECT_NEAR((tip - lower).Length(), 100.0f, 1e-2f);
  EXPECT_LT((tip - FVECTOR3(120, 120, 0)).Length(), 5.0f)
      << "the tip reaches the mouse: " << tip.x << ", " << tip.y << " lower " << lower.x << ", " << lower.y;
  // The upper mesh turned with its bone: its vertex on the bone's axis
  // stays on the axis.
  const FVECTOR3 along = (lower - upper).Normalized();
  const FVECTOR3 v = Vertex(upper_, 0) - upper;  // was (50, 10): 50 along, 10 across
  EXPECT_NEAR(Dot(v, along), 50.0f, 1e-2f);
  EXPECT_EQ(UndoRequests(), 1);
  EXPECT_EQ(main_->GetEditState()->poses.size(), 0u) << "the rest skeleton changed, not a pose";
}

// With a turning or scaling handle shown, the IK drag of a joint still
// carries the tip with the mouse.
TEST_F(MoveTest, IkModeBendsWhateverTheHandleType) {
  for (int type : {HANDLE_ROTATE, HANDLE_SCALE}) {
    SCOPED_TRACE(type);
    TearDown();
    SetUp();
    StartMoving(quorvel::kFollowNone, /*ik=*/true);
    main_->Service()->SetToolOption(4, type);
    Drag(AtJoint(200, 0), AtJoint(120, 120), 10);
    EXPECT_LT((Pivot(tip_) - FVECTOR3(120, 120, 0)).Length(), 5.0f);
    EXPECT_EQ(UndoRequests(), 1);
  }
}

// With IK on, the handle of a free joint moves the selection as it does
// without IK, and the drag is one undo step.
TEST_F(MoveTest, IkModeLeavesTheHandleItsOwnMove) {
  StartMoving(quorvel::kFollowNone, /*ik=*/true);
  main_->SetShowHandle(1);
  Click(At(0, 0));  // the upper pivot: a root, free to move, the handle on it
  ASSERT_TRUE(main_->Service()->GetHandleState().active);
  Drag(At(0, 0), At(0, 40), 6);
  EXPECT_VEC3_NEAR(Pivot(upper_), FVECTOR3(0, 40, 0), 1e-3f);
  EXPECT_EQ(UndoRequests(), 1);
}

// Delete takes the selection whenever neither Ctrl nor Shift is held: Alt
// does not give the key to the host.
TEST_F(MoveTest, DeleteTakesTheSelectedPivotsUnlessCtrlOrShiftIsHeld) {
  StartMoving();
  Click(AtJoint(200, 0));
  ASSERT_TRUE(Selected(tip_, OBase::OB_SEL_PIVOT));
  for (int flags : {mqhost::kButtonCtrl, mqhost::kButtonShift, mqhost::kButtonCtrl | mqhost::kButtonAlt}) {
    SCOPED_TRACE(flags);
    EXPECT_EQ(Key(kKeyDelete, flags), FALSE) << "the host gets the key";
    EXPECT_EQ(LiveObjectCount(), 3);
  }
  EXPECT_EQ(Key(kKeyDelete, mqhost::kButtonAlt), TRUE);
  EXPECT_EQ(LiveObjectCount(), 2);
  EXPECT_EQ(document_->ObjectAt(2), nullptr);
  EXPECT_EQ(UndoRequests(), 1);
}

TEST_F(MoveTest, CtrlKeysSelectAllClearAndSwallowTheClipboard) {
  StartMoving();
  EXPECT_EQ(Key('A', mqhost::kButtonCtrl), TRUE);
  for (MQObject obj : {upper_, lower_, tip_}) {
    EXPECT_TRUE(Selected(obj, OBase::OB_SEL_PIVOT));
    EXPECT_TRUE(Selected(obj, OBase::OB_SEL_BODY));
  }
  EXPECT_EQ(Key('D', mqhost::kButtonCtrl), TRUE);
  for (MQObject obj : {upper_, lower_, tip_}) EXPECT_EQ(Flags(obj) & OBase::kSelectionBits, 0u);
  const int before = UndoRequests();
  for (int key : {'C', 'X', 'V'}) EXPECT_EQ(Key(key, mqhost::kButtonCtrl), TRUE);
  EXPECT_EQ(Key('V', mqhost::kButtonCtrl | mqhost::kButtonShift), TRUE);
  EXPECT_EQ(UndoRequests() - before, 4);
  EXPECT_EQ(ObjectCount(), 3) << "no change to the document";
  EXPECT_EQ(Key('A'), FALSE);
  EXPECT_EQ(Key('Q', mqhost::kButtonCtrl), FALSE);
}

TEST_F(MoveTest, AMovedBoneGoesBackWithUndoAndIsSaved) {
  StartMoving(quorvel::kFollowLocal);
  host_.RecordUndo(document_);
  Drag(At(50, 0), At(50, 60));
  ASSERT_VEC3_NEAR(Pivot(lower_), FVECTOR3(100, 60, 0), 1e-3f);
  ASSERT_TRUE(host_.Undo(document_));
  EXPECT_VEC3_NEAR(Pivot(upper_), FVECTOR3(0, 0, 0), 1e-3f);
  EXPECT_VEC3_NEAR(Vertex(upper_, 0), FVECTOR3(50, 10, 0), 1e-3f);
  ASSERT_TRUE(host_.Redo(document_));
  SaveAndReopen();
  upper_ = Object(0);
  lower_ = Object(1);
  EXPECT_VEC3_NEAR(Pivot(upper_), FVECTOR3(0, 60, 0), 1e-3f);
  EXPECT_VEC3_NEAR(Pivot(lower_), FVECTOR3(100, 60, 0), 1e-3f);
  EXPECT_VEC3_NEAR(Vertex(upper_, 0), FVECTOR3(50, 70, 0), 1e-3f);
  // The tool works on the reopened document too.
  Drag(At(50, 60), At(50, 0));
  EXPECT_VEC3_NEAR(Pivot(lower_), FVECTOR3(100, 0, 0), 1e-3f);
}

}  // namespace

namespace {

TEST_F(MoveTest, ThePoseFollowsTheMovedRestSkeleton) {
  // A pose that turns the lower bone a quarter turn about its pivot.
  StartMoving();
  ASSERT_TRUE(main_->Service()->NewPose());
  quorvel::OPoseTSQ turn;
  turn.rot = FQUAT::FromAxisAngle(FVECTOR3(0, 0, 1), 1.5707964f);
  ASSERT_TRUE(quorvel::SetPoseTSQ(lower_, Slots(), State().current_pose_id, turn));
  ASSERT_TRUE(main_->Service()->UpdatePose());
  // The lower pivot moves up by 50 in the rest skeleton.
  Drag(AtJoint(100, 0), AtJoint(100, 50));
  ASSERT_VEC3_NEAR(Pivot(lower_), FVECTOR3(100, 50, 0), 1e-3f);
  main_->Service()->SetMode(MODE_POSE);
  Draw();
  // The tip turns about the lower pivot where it now is.
  const FVECTOR3 pivot(100, 50, 0);
  const FVECTOR3 expected = pivot + FMATRIX::FromQuat(turn.rot).TransformDirection(Pivot(tip_) - pivot);
  const FVECTOR3 tip = quorvel::GetWorldMatrix(tip_, Slots()).TransformPoint(Pivot(tip_));
  EXPECT_VEC3_NEAR(tip, expected, 1e-2f);
}

}  // namespace
