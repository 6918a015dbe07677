// The pose tool through host events: dragging a joint bends the chain above
// it, a free joint translates its bone, bodies aim and roll points roll, the
// chain-stop toggle, children following, the swallowed keys and undo.
#include "tools/motion_command.h"

#include <algorithm>
#include <cmath>

#include "rig/pose_list.h"
#include "rig/records.h"
#include "tests/tools/commands/command_fixture.h"
#include "tools/handle.h"
#include "tools/selection.h"

namespace {

using quorvel::OBase;
using quorvel::OPoseTSQ;
using quorvel_test::CommandTest;

class MotionTest : public CommandTest {
 protected:
  // upper (0, 0) → lower (100, 0) → hand (200, 0) → fingers (260, 0); lower
  // also has a second child, side (150, -60) → side tip (150, -120).
  void SetUp() override {
    CommandTest::SetUp();
    upper_ = AddObject("upper", 0, {0, 0, 0});
    lower_ = AddObject("lower", 1, {100, 0, 0});
    hand_ = AddObject("hand", 2, {100, 0, 0});
    fingers_ = AddObject("fingers", 3, {60, 0, 0});
    side_ = AddObject("side", 2, {50, -60, 0});
    AddObject("side tip", 3, {0, -60, 0});
  }
  void StartPosing(int ik_type = 0) {
    Start(MODE_POSE);
    main_->Service()->SetIkType(ik_type);
  }
  // Where a rest point of `obj` is shown in the current pose.
  FVECTOR3 Posed(MQObject obj, const FVECTOR3& rest) const {
    return quorvel::GetWorldMatrix(obj, Slots()).TransformPoint(rest);
  }
  bool PoseRecord(MQObject obj, OPoseTSQ& out) const {
    const int pose = State().current_pose_id;
    return pose >= 0 && quorvel::GetPoseTSQ(obj, Slots(), pose, out);
  }
  static float TurnDegrees(const OPoseTSQ& rec) {
    return 2.0f * std::asin(std::min(1.0f, std::sqrt(rec.rot.x * rec.rot.x + rec.rot.y * rec.rot.y +
                                                     rec.rot.z * rec.rot.z))) * 57.29578f;
  }
  bool Turned(MQObject obj) const {
    OPoseTSQ rec;
    return PoseRecord(obj, rec) && std::fabs(rec.rot.w) < 0.9999f;
  }
  // World units per handle unit, as the handle is drawn in this view.
  float HandleUnit() {
    USELECT_PARA para(main_->Service(), HostApi().MQDoc_GetScene(doc_, 0));
    return ScaleHandleMatrix(FMATRIX(), 640, 480, para.GetViewMatrix(), para.GetProjMatrix())(0, 0);
  }
  // A joint where another bone's body ends is grabbed beside its centre,
  // where the ending body does not reach.
  mqhost::PointerInput AtJoint(float x, float y, int flags = 0) { return At(x, y + 3.0f, flags); }

  MQObject upper_ = nullptr, lower_ = nullptr, hand_ = nullptr, fingers_ = nullptr, side_ = nullptr;
};

TEST_F(MotionTest, DraggingAFirstChildsJointBendsTheChainAboveIt) {
  StartPosing();
  ASSERT_EQ(quorvel::PoseCount(State()), 0);
  Drag(AtJoint(200, 0), AtJoint(150, 100), 10);
  ASSERT_EQ(quorvel::PoseCount(State()), 1) << "the first drag makes a pose";
  EXPECT_TRUE(Turned(upper_));
  EXPECT_TRUE(Turned(lower_));
  EXPECT_FALSE(Turned(hand_)) << "the dragged bone's own rotation stays";
  EXPECT_VEC3_NEAR(Posed(upper_, {0, 0, 0}), FVECTOR3(0, 0, 0), 1e-3f);
  // Within the solver's reach: an aim step of under about 1.15 degrees does
  // not turn, which at the upper bone's lever is a few units.
  EXPECT_LT((Posed(hand_, {200, 0, 0}) - FVECTOR3(150, 100, 0)).Length(), 8.0f)
      << "the joint follows the mouse";
  EXPECT_NEAR((Posed(lower_, {100, 0, 0}) - Posed(upper_, {0, 0, 0})).Length(), 100.0f, 1e-2f);
  EXPECT_EQ(UndoRequests(), 1);
  EXPECT_VEC3_NEAR(Pivot(hand_), FVECTOR3(200, 0, 0), 1e-4f) << "posing leaves the rest skeleton";
}

TEST_F(MotionTest, ASecondChildsJointTranslatesItsBoneOnlyWhenTranslationMayBePosed) {
  for (bool usetrs : {true, false}) {
    SCOPED_TRACE(usetrs ? "usetrs on" : "usetrs off");
    TearDown();
    SetUp();
    StartPosing();
    SetFlag(side_, OBase::usetrs, usetrs);
    Drag(At(150, -60), At(190, -90));
    if (usetrs) {
      EXPECT_VEC3_NEAR(Posed(side_, {150, -60, 0}), FVECTOR3(190, -90, 0), 1e-2f);
      EXPECT_FALSE(Turned(lower_));
      EXPECT_FALSE(Turned(side_));
      EXPECT_EQ(UndoRequests(), 1);
    } else {
      EXPECT_EQ(quorvel::PoseCount(State()), 0) << "nothing moved, nothing stored";
      EXPECT_EQ(UndoRequests(), 0);
    }
  }
}

TEST_F(MotionTest, ShiftInvertsWhetherChildrenFollow) {
  const struct {
    int ik_type;
    int flags;
    bool follow;
  } cases[] = {{0, 0, false}, {0, mqhost::kButtonShift, true}, {1, 0, true}, {1, mqhost::kButtonShift, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "ik_type " << c.ik_type << " flags " << c.flags);
    TearDown();
    SetUp();
    StartPosing(c.ik_type);
    Drag(AtJoint(200, 0, c.flags), AtJoint(150, 100, c.flags), 10);
    // Following children keep pointing where they pointed: the hand aims at
    // the fingers' old place; carried children turn with the lower bone.
    const FVECTOR3 hand = Posed(hand_, {200, 0, 0});
    const FVECTOR3 fingers = Posed(fingers_, {260, 0, 0});
    const FVECTOR3 lower = Posed(lower_, {100, 0, 0});
    const float toward_old_place = Dot((fingers - hand).Normalized(), (FVECTOR3(260, 0, 0) - hand).Normalized());
    const float along_lower = Dot((fingers - hand).Normalized(), (hand - lower).Normalized());
    if (c.follow) {
      EXPECT_GT(toward_old_place, 0.9999f);
    } else {
      EXPECT_GT(along_lower, 0.9999f);
      EXPECT_LT(toward_old_place, 0.99f);
    }
  }
}

TEST_F(MotionTest, ARightClickTogglesTheChainStop) {
  StartPosing();
  EXPECT_EQ(Flags(lower_) & OBase::OB_POSEMARK, 0u);
  RightPress(At(100, 0));
  RightRelease(At(100, 0));
  EXPECT_NE(Flags(lower_) & OBase::OB_POSEMARK, 0u);
  RightPress(At(100, 0));
  RightRelease(At(100, 0));
  EXPECT_EQ(Flags(lower_) & OBase::OB_POSEMARK, 0u);
  // On nothing: nothing toggles.
  RightPress(At(-200, 200));
  for (MQObject obj : {upper_, lower_, hand_}) EXPECT_EQ(Flags(obj) & OBase::OB_POSEMARK, 0u);

  // A chain stop on the lower bone: dragging the hand bends the lower bone alone.
  RightPress(At(100, 0));
  Drag(AtJoint(200, 0), AtJoint(180, 60), 6);
  EXPECT_FALSE(Turned(upper_));
  EXPECT_TRUE(Turned(lower_));
}

TEST_F(MotionTest, BodiesAimAndRollPointsRoll) {
  StartPosing();
  // The body's handle stands at its tail: the mouse carries the tail's
  // target by (-40, 100), to (60, 100).
  Drag(At(40, 0), At(0, 100), 6);
  const FVECTOR3 tail = Posed(upper_, {100, 0, 0});
  EXPECT_GT(Dot(tail.Normalized(), FVECTOR3(60, 100, 0).Normalized()), 0.9998f) << "the bone aims there";
  EXPECT_NEAR(tail.Length(), 100.0f, 1e-2f);

  TearDown();
  SetUp();
  StartPosing();
  // The roll point of the upper bone stands 30 above its pivot; dragged
  // below the bone it turns the bone half way round its own axis.
  Drag(At(0, 30), At(0, -30), 6);
  EXPECT_VEC3_NEAR(Posed(upper_, {100, 0, 0}), FVECTOR3(100, 0, 0), 1e-2f) << "the axis stays";
  EXPECT_VEC3_NEAR(Posed(upper_, {0, 30, 0}), FVECTOR3(0, -30, 0), 0.1f);
}

// Off the handle, a drag moves the IK target with the mouse whatever the
// handle type: a turning or scaling handle must not leave the target where
// it was.
TEST_F(MotionTest, AJointDragBendsTheChainWhateverTheHandleType) {
  for (int type : {HANDLE_MOVE, HANDLE_ROTATE, HANDLE_SCALE}) {
    SCOPED_TRACE(type);
    TearDown();
    SetUp();
    StartPosing();
    main_->Service()->SetToolOption(4, type);
    Drag(AtJoint(200, 0), AtJoint(200, 60), 6);
    EXPECT_TRUE(Turned(lower_));
    EXPECT_GT(Posed(hand_, {200, 0, 0}).y, 30.0f) << "the tip followed the mouse up";
    EXPECT_EQ(UndoRequests(), 1);
  }
}

// The rotate handle of a free joint: a ring turns the bone about the ring's
// axis through its pivot, the centre about the line of sight (here Z too,
// where a turntable would turn about Y); the pivot stays.
TEST_F(MotionTest, TheRotateHandleTurnsTheBoneAboutItsPivot) {
  StartPosing();
  main_->SetShowHandle(1);
  main_->Service()->SetToolOption(4, HANDLE_ROTATE);
  Click(At(150, -60));  // the side bone's free joint: the handle stands on it
  ASSERT_TRUE(main_->Service()->GetHandleState().active);
  const float unit = HandleUnit();
  const FVECTOR3 pivot(150, -60, 0);

  // The ring about Z, seen face on, pressed on its left and dragged to the
  // right.
  const FVECTOR3 ring = pivot - FVECTOR3(50.0f * unit, 0, 0);
  Drag(At(ring), At(ring + FVECTOR3(40, 0, 0)), 8);
  OPoseTSQ side;
  ASSERT_TRUE(PoseRecord(side_, side));
  // Half a degree a pixel: 40 pixels turn it 20 degrees.
  EXPECT_NEAR(TurnDegrees(side), 20.0f, 0.05f);
  EXPECT_NEAR(side.rot.x, 0.0f, 1e-4f);
  EXPECT_NEAR(side.rot.y, 0.0f, 1e-4f);
  EXPECT_VEC3_NEAR(Posed(side_, {150, -60, 0}), pivot, 1e-3f);
  EXPECT_FALSE(Turned(lower_)) << "only the picked bone";
  EXPECT_EQ(UndoRequests(), 1);

  // The centre: 40 pixels more.
  Drag(At(pivot), At(pivot + FVECTOR3(40, 0, 0)), 8);
  ASSERT_TRUE(PoseRecord(side_, side));
  EXPECT_NEAR(TurnDegrees(side), 40.0f, 0.05f);
  EXPECT_NEAR(side.rot.x, 0.0f, 1e-4f);
  EXPECT_NEAR(side.rot.y, 0.0f, 1e-4f) << "about the line of sight, not the view's vertical";
  EXPECT_VEC3_NEAR(Posed(side_, {150, -60, 0}), pivot, 1e-3f);
  EXPECT_EQ(UndoRequests(), 2);
}

// The scale handle scales the bone's pose about its pivot where scale may be
// posed, and does nothing (no undo state either) where it may not.
TEST_F(MotionTest, TheScaleHandleScalesThePoseWhereScaleMayBePosed) {
  StartPosing();
  main_->SetShowHandle(1);
  main_->Service()->SetToolOption(4, HANDLE_SCALE);
  Click(At(150, -60));
  const FVECTOR3 pivot(150, -60, 0);
  Drag(At(pivot), At(pivot + FVECTOR3(30, 0, 0)), 6);
  OPoseTSQ side;
  ASSERT_TRUE(PoseRecord(side_, side));
  // 30 pixels to the right: e^0.3 on every axis.
  EXPECT_VEC3_NEAR(side.scl, FVECTOR3(1.3498588f, 1.3498588f, 1.3498588f), 1e-4f);
  EXPECT_VEC3_NEAR(Posed(side_, {150, -60, 0}), pivot, 1e-3f);
  EXPECT_EQ(UndoRequests(), 1);

  SetFlag(side_, OBase::usescl, false);
  const FVECTOR3 before = side.scl;
  Drag(At(pivot), At(pivot + FVECTOR3(30, 0, 0)), 6);
  ASSERT_TRUE(PoseRecord(side_, side));
  EXPECT_VEC3_NEAR(side.scl, before, 0.0f);
  EXPECT_EQ(UndoRequests(), 1);
}

TEST_F(MotionTest, OnlyADragThatChangedThePoseAsksForUndo) {
  StartPosing();
  Click(AtJoint(200, 0));
  Drag(At(-200, 200), At(-150, 150));  // from nothing
  Release(At(0, 0));                    // without a press
  DragTo(At(10, 10));
  EXPECT_EQ(UndoRequests(), 0);
  EXPECT_EQ(quorvel::PoseCount(State()), 0);
}

TEST_F(MotionTest, PosingSwallowsTheKeysThatWouldEditTheDocument) {
  StartPosing();
  Click(AtJoint(200, 0));
  for (int key : {13, 46}) EXPECT_EQ(Key(key), TRUE) << key;
  for (int key : {'A', 'C', 'D', 'N', 'V', 'X'}) {
    EXPECT_EQ(Key(key, mqhost::kButtonCtrl), TRUE) << static_cast<char>(key);
    EXPECT_EQ(Key(key), FALSE) << static_cast<char>(key);
  }
  EXPECT_EQ(Key('Q', mqhost::kButtonCtrl), FALSE);
  EXPECT_EQ(Key(9), TRUE) << "Tab goes to the panels";
  EXPECT_EQ(LiveObjectCount(), 6) << "Delete deleted nothing";
  EXPECT_EQ(UndoRequests(), 0);
}

TEST_F(MotionTest, APoseComesBackWithUndoAndRedoAndIsSaved) {
  StartPosing();
  host_.RecordUndo(document_);
  Drag(AtJoint(200, 0), AtJoint(150, 100), 10);
  const FVECTOR3 bent = Posed(hand_, {200, 0, 0});
  ASSERT_LT((bent - FVECTOR3(150, 100, 0)).Length(), 8.0f);
  ASSERT_TRUE(host_.Undo(document_));
  EXPECT_VEC3_NEAR(Posed(hand_, {200, 0, 0}), FVECTOR3(200, 0, 0), 1e-3f);
  ASSERT_TRUE(host_.Redo(document_));
  EXPECT_VEC3_NEAR(Posed(hand_, {200, 0, 0}), bent, 1e-3f);
  SaveAndReopen();
  hand_ = Object(2);
  EXPECT_VEC3_NEAR(Posed(hand_, {200, 0, 0}), bent, 1e-3f);
}

}  // namespace

namespace {

TEST_F(MotionTest, SavingWhilePosingKeepsEachObjectsOwnVisibility) {
  mqhost::ToObject(side_)->visible = 0;
  StartPosing();
  for (MQObject obj : {upper_, lower_, side_}) ASSERT_EQ(mqhost::ToObject(obj)->visible, 0u);
  ASSERT_EQ(mqhost::SendSaveDocument(host_, document_, "tools.mqd", plugin_).answer, TRUE);
  EXPECT_NE(mqhost::ToObject(upper_)->visible, 0u) << "written as the user left it";
  EXPECT_EQ(mqhost::ToObject(side_)->visible, 0u);
  Draw();
  EXPECT_EQ(mqhost::ToObject(upper_)->visible, 0u) << "posing shows the copies again";

  SaveAndReopen();
  main_->Service()->SetMode(MODE_MOVE);
  EXPECT_NE(mqhost::ToObject(Object(0))->visible, 0u);
  EXPECT_EQ(mqhost::ToObject(Object(4))->visible, 0u);
}

}  // namespace
