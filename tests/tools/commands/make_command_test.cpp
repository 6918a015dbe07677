// The make tool through host events: bones clicked into existence as chains
// and pairs, where the new objects go in the hierarchy, cancelling, and what
// a click on a part that is no joint does.
#include "tools/make_command.h"

#include "tests/tools/commands/command_fixture.h"

namespace {

using quorvel::OBase;
using quorvel_test::CommandTest;

class MakeTest : public CommandTest {
 protected:
  void StartMaking(int make_mode) {
    Start(MODE_MAKE);
    main_->Service()->SetToolOption(3, make_mode);
  }
  COMPROC_MAKE& Tool() { return *static_cast<COMPROC_MAKE*>(main_->Processor()); }

  // Objects made before the command starts: name, depth, document position.
  MQObject Made(const char* name, int depth, FVECTOR3 at) { return AddObject(name, depth, at); }
};

constexpr int kChild = 0;
constexpr int kSibling = 1;

TEST_F(MakeTest, TwoClicksInEmptySpaceMakeAParentAndItsChild) {
  StartMaking(kSibling);
  ASSERT_EQ(ObjectCount(), 0);
  Click(At(-50, 20));
  EXPECT_EQ(Tool().state(), COMPROC_MAKE::kHeadPlaced);
  EXPECT_EQ(ObjectCount(), 0) << "the head alone makes nothing yet";
  Click(At(50, 20));
  ASSERT_EQ(ObjectCount(), 2);
  EXPECT_EQ(Depth(0), 0);
  EXPECT_EQ(Depth(1), 1);
  EXPECT_VEC3_NEAR(Pivot(Object(0)), FVECTOR3(-50, 20, 0), 1e-3f);
  EXPECT_VEC3_NEAR(Pivot(Object(1)), FVECTOR3(50, 20, 0), 1e-3f);
  EXPECT_EQ(UndoRequests(), 1);
  EXPECT_EQ(Tool().state(), COMPROC_MAKE::kIdle) << "a pair takes two clicks";
  // The new objects got their bone records, so they are bones of the rig.
  EXPECT_NE(Flags(Object(0)) & OBase::OB_RIG, 0u);
  EXPECT_NE(Flags(Object(1)) & OBase::OB_RIG, 0u);
}

TEST_F(MakeTest, FiveClicksInChildModeMakeAChainOfFiveObjects) {
  StartMaking(kChild);
  const float xs[] = {-100, -50, 0, 50, 100};
  for (int i = 0; i < 5; ++i) Click(At(xs[i], 10.0f * static_cast<float>(i)));
  ASSERT_EQ(ObjectCount(), 5);
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(Depth(i), i);
    EXPECT_VEC3_NEAR(Pivot(Object(i)), FVECTOR3(xs[i], 10.0f * static_cast<float>(i), 0), 1e-3f);
  }
  EXPECT_EQ(UndoRequests(), 4) << "one per bone";
  EXPECT_EQ(Tool().state(), COMPROC_MAKE::kHeadPlaced) << "the chain goes on from the last tail";
  EXPECT_EQ(State().current_bone, Uid(Object(4)));
}

TEST_F(MakeTest, StartingOnALeafPivotTurnsTheLeafIntoABone) {
  MQObject root = Made("root", 0, {0, 0, 0});
  MQObject leaf = Made("leaf", 1, {100, 0, 0});
  Made("other", 0, {0, -150, 0});
  StartMaking(kSibling);
  Click(At(100, 0));
  EXPECT_EQ(State().current_bone, Uid(leaf));
  Click(At(100, 80));
  ASSERT_EQ(ObjectCount(), 4) << "only the tail is new";
  EXPECT_EQ(Object(0), root);
  EXPECT_EQ(Object(1), leaf);
  EXPECT_EQ(Depth(2), 2) << "the tail is the leaf's child";
  EXPECT_VEC3_NEAR(Pivot(Object(2)), FVECTOR3(100, 80, 0), 1e-3f);
  EXPECT_VEC3_NEAR(Pivot(leaf), FVECTOR3(100, 0, 0), 1e-3f);
  EXPECT_EQ(HostApi().MQDoc_GetParentObject(doc_, Object(2)), leaf);
}

TEST_F(MakeTest, StartingOnAJointWithChildrenBranchesAfterTheWholeSubtree) {
  MQObject root = Made("root", 0, {0, 0, 0});
  MQObject mid = Made("mid", 1, {100, 0, 0});
  MQObject tip = Made("tip", 2, {100, 0, 0});
  MQObject other = Made("other", 0, {0, -150, 0});
  StartMaking(kSibling);
  Click(At(100, 0));  // mid's pivot: mid has a child
  Click(At(100, 100));
  ASSERT_EQ(ObjectCount(), 6);
  EXPECT_EQ(Object(0), root);
  EXPECT_EQ(Object(1), mid);
  EXPECT_EQ(Object(2), tip);
  EXPECT_EQ(Object(5), other) << "the branch goes after mid's subtree, before the next root";
  EXPECT_EQ(Depth(3), 1) << "a sibling of mid";
  EXPECT_EQ(Depth(4), 2);
  EXPECT_EQ(HostApi().MQDoc_GetParentObject(doc_, Object(3)), root);
  EXPECT_VEC3_NEAR(Pivot(Object(3)), FVECTOR3(100, 0, 0), 1e-3f);
  EXPECT_VEC3_NEAR(Pivot(Object(4)), FVECTOR3(100, 100, 0), 1e-3f);
}

TEST_F(MakeTest, ARightClickDropsTheBoneAndLeavesTheDocumentUnchanged) {
  Made("root", 0, {0, 0, 0});
  StartMaking(kChild);
  Click(At(-80, 0));
  Hover(At(-20, 40));
  EXPECT_VEC3_NEAR(Tool().tail(), FVECTOR3(-20, 40, 0), 1e-3f) << "the tail follows the mouse";
  RightPress(At(-20, 40));
  RightRelease(At(-20, 40));
  EXPECT_EQ(Tool().state(), COMPROC_MAKE::kIdle);
  EXPECT_EQ(ObjectCount(), 1);
  EXPECT_EQ(UndoRequests(), 0);
  // The next click places a head again, not a tail.
  Click(At(60, 0));
  EXPECT_EQ(ObjectCount(), 1);
  EXPECT_EQ(Tool().state(), COMPROC_MAKE::kHeadPlaced);
  EXPECT_VEC3_NEAR(Tool().head(), FVECTOR3(60, 0, 0), 1e-3f);
}

TEST_F(MakeTest, AClickOnABodyPlacesNoHead) {
  Made("root", 0, {0, 0, 0});
  Made("tip", 1, {100, 0, 0});
  StartMaking(kChild);
  // (Roll points are shown, and picked, only while posing.)
  for (float x : {20.0f, 40.0f, 70.0f}) {
    SCOPED_TRACE(x);
    Click(At(x, 0));
    EXPECT_EQ(Tool().state(), COMPROC_MAKE::kIdle);
    EXPECT_EQ(ObjectCount(), 2);
  }
  Click(At(0, 0));
  EXPECT_EQ(Tool().state(), COMPROC_MAKE::kHeadPlaced) << "the pivot of the same bone still starts one";
}

TEST_F(MakeTest, HoveringMarksJointsOnly) {
  MQObject root = Made("root", 0, {0, 0, 0});
  MQObject tip = Made("tip", 1, {100, 0, 0});
  StartMaking(kChild);
  Hover(At(100, 0));
  EXPECT_NE(Flags(tip) & OBase::OB_HOVER_PIVOT, 0u);
  Hover(At(40, 0));
  EXPECT_EQ(Flags(root) & OBase::kHoverBits, 0u) << "the body is not marked";
  EXPECT_EQ(Flags(tip) & OBase::kHoverBits, 0u);
}

TEST_F(MakeTest, TheBoneBeingMadeIsDrawnInWhite) {
  StartMaking(kChild);
  Click(At(0, 0));
  Hover(At(80, 0));
  bool seen = false;
  DrawAndLook([&](const std::vector<const mqhost::Object*>& objects) {
    for (const mqhost::Object* o : objects) {
      if (o->color[0] != 1.0f || o->color[1] != 1.0f || o->color[2] != 1.0f) continue;
      bool head = false, tail = false;
      for (const auto& v : o->vertices) {
        head |= std::fabs(v.position.x) < 1e-3f && std::fabs(v.position.y) < 1e-3f;
        tail |= std::fabs(v.position.x - 80.0f) < 1e-3f && std::fabs(v.position.y) < 1e-3f;
      }
      seen |= head && tail;
    }
  });
  EXPECT_TRUE(seen) << "a white drawing object from the head to the mouse";
}

TEST_F(MakeTest, MadeBonesSurviveUndoRedoAndSaving) {
  StartMaking(kChild);
  host_.RecordUndo(document_);  // the empty document, as the modeller keeps it
  Click(At(-60, 0));
  Click(At(0, 30));
  Click(At(60, 0));
  RightPress(At(60, 0));
  RightRelease(At(60, 0));
  ASSERT_EQ(ObjectCount(), 3);
  ASSERT_TRUE(host_.Undo(document_));
  EXPECT_EQ(ObjectCount(), 2) << "the second bone's tail goes";
  ASSERT_TRUE(host_.Redo(document_));
  ASSERT_EQ(ObjectCount(), 3);
  SaveAndReopen();
  ASSERT_EQ(ObjectCount(), 3);
  const FVECTOR3 expected[] = {{-60, 0, 0}, {0, 30, 0}, {60, 0, 0}};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(Depth(i), i);
    EXPECT_VEC3_NEAR(Pivot(Object(i)), expected[i], 1e-3f);
  }
}

}  // namespace
