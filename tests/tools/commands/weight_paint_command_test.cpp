// The weight brush through host events: what a stroke paints, hidden faces,
// the empty palette, picking weights up with a right click, choosing a bone
// with Alt+click, one undo state per stroke, and undo.
#include "tools/weight_paint_command.h"

#include <cmath>

#include "rig/records.h"
#include "rig/weight_operations.h"
#include "rig/weight_record.h"
#include "tests/tools/commands/command_fixture.h"

namespace {

using quorvel::VWeight;
using quorvel_test::CommandTest;

class WeightPaintTest : public CommandTest {
 protected:
  // Two bones, shoulder (-100, 60) → elbow (0, 60) → hand (100, 60), and a
  // skin strip below them: vertices every 50 units on y = 0 and y = -20
  // from x = -100 to 100, in triangles facing the camera.
  void SetUp() override {
    CommandTest::SetUp();
    shoulder_ = AddObject("shoulder", 0, {-100, 60, 0});
    elbow_ = AddObject("elbow", 1, {100, 0, 0});
    AddObject("hand", 2, {100, 0, 0});
    skin_ = AddStrip("skin", false);
  }
  // `away`: the triangles face away from the camera.
  MQObject AddStrip(const char* name, bool away, float y = 0.0f) {
    MQObject obj = AddObject(name);
    mqhost::Object* o = mqhost::ToObject(obj);
    for (int i = 0; i < 5; ++i) {
      o->AddVertex(MQPoint{-100.0f + 50.0f * static_cast<float>(i), y, 0});
      o->AddVertex(MQPoint{-100.0f + 50.0f * static_cast<float>(i), y - 20.0f, 0});
    }
    for (int i = 0; i < 4; ++i) {
      const int a = 2 * i, b = 2 * i + 1, c = 2 * i + 2, d = 2 * i + 3;
      // The modeller's front faces run clockwise as seen.
      if (away) {
        o->AddFace({a, b, c});
        o->AddFace({c, b, d});
      } else {
        o->AddFace({a, c, b});
        o->AddFace({c, d, b});
      }
    }
    return obj;
  }
  void StartPainting() {
    Start(MODE_WEIGHT);
    quorvel::SetPenSize(State(), quorvel::PenIndex(State()), 15.0f);
  }
  COMPROC_VWEIT& Tool() { return *static_cast<COMPROC_VWEIT*>(main_->Processor()); }
  // The vertex's weights; false when it has no record.
  bool Weights(MQObject obj, int vertex, VWeight& rec) {
    return quorvel::HasWeights(obj, Slots()) && quorvel::GetVertexWeights(obj, Slots(), vertex, rec) &&
           quorvel::IsValid(rec);
  }
  float WeightOf(MQObject obj, int vertex, MQObject bone) {
    VWeight rec;
    if (!Weights(obj, vertex, rec)) return -1.0f;
    const int i = quorvel::FindBone(rec, Uid(bone));
    return i >= 0 ? rec.entries[i].weight : 0.0f;
  }
  // Alt+click on a bone's body: that bone alone becomes the palette.
  void Choose(float x, float y) { Click(At(x, y, mqhost::kButtonAlt)); }

  MQObject shoulder_ = nullptr, elbow_ = nullptr, skin_ = nullptr;
};

TEST_F(WeightPaintTest, AltClickOnABodyMakesThatBoneThePaletteAndPaintsNothing) {
  StartPainting();
  Choose(-50, 60);
  const VWeight palette = quorvel::CurrentPalette(State());
  ASSERT_EQ(quorvel::Count(palette), 1);
  EXPECT_EQ(palette.entries[0].bone, Uid(shoulder_));
  EXPECT_FLOAT_EQ(palette.entries[0].weight, 1.0f);
  EXPECT_EQ(HostApi().MQDoc_GetCurrentObjectIndex(doc_), 0);
  EXPECT_FALSE(quorvel::HasWeights(skin_, Slots()));
  EXPECT_EQ(UndoRequests(), 0);
}

TEST_F(WeightPaintTest, AStrokePaintsTheVerticesUnderTheBrushWithOneUndoState) {
  StartPainting();
  Choose(-50, 60);
  Drag(At(-100, 0), At(0, 0), 8);
  // The brush (radius 15) ran along y = 0 from x = -100 to 0.
  for (int i : {0, 2, 4}) EXPECT_FLOAT_EQ(WeightOf(skin_, i, shoulder_), 1.0f) << i;
  for (int i : {1, 3, 5, 6, 7, 8, 9}) EXPECT_LT(WeightOf(skin_, i, shoulder_), 1.0f) << i;
  EXPECT_EQ(UndoRequests(), 1);

  // A second bone over part of it replaces the weights, no blending.
  Choose(50, 60);
  Click(At(0, 0));
  EXPECT_FLOAT_EQ(WeightOf(skin_, 4, elbow_), 1.0f);
  EXPECT_FLOAT_EQ(WeightOf(skin_, 4, shoulder_), 0.0f);
  EXPECT_EQ(UndoRequests(), 2);
}

// With the blur pen on, a click blends the vertex under the brush with its
// neighbours instead of painting the palette, as one undo state.
TEST_F(WeightPaintTest, TheBlurPenSmoothsUnderTheBrush) {
  StartPainting();
  Choose(-50, 60);
  Drag(At(-100, 0), At(100, 0), 16);
  Choose(50, 60);
  Click(At(0, 0));
  ASSERT_FLOAT_EQ(WeightOf(skin_, 4, elbow_), 1.0f);
  const int undo_before = UndoRequests();
  State().blur_pen = true;
  quorvel::SetPenDepth(State(), quorvel::PenIndex(State()), 50.0f);
  Click(At(0, 0));
  // Vertex 4 (x = 0) had the elbow alone, all its neighbours the shoulder.
  EXPECT_NEAR(WeightOf(skin_, 4, elbow_), 0.5f, 1e-6f);
  EXPECT_NEAR(WeightOf(skin_, 4, shoulder_), 0.5f, 1e-6f);
  EXPECT_FLOAT_EQ(WeightOf(skin_, 0, shoulder_), 1.0f) << "outside the brush";
  EXPECT_EQ(quorvel::Count(quorvel::CurrentPalette(State())), 1) << "the palette is not used";
  EXPECT_EQ(UndoRequests(), undo_before + 1);
}

// A press outside the view is not the tool's: the moves that follow it over
// the skin paint nothing and record no undo state. A press inside after it
// paints as usual.
TEST_F(WeightPaintTest, MovesAfterAPressOutsideTheViewPaintNothing) {
  StartPainting();
  Choose(-50, 60);
  mqhost::PointerInput outside = At(0, 0);
  outside.x = 700;
  Press(outside);
  for (float x : {100.0f, 50.0f, 0.0f, -50.0f, -100.0f}) DragTo(At(x, 0));
  Release(At(-100, 0));
  EXPECT_FALSE(quorvel::HasWeights(skin_, Slots()));
  EXPECT_EQ(UndoRequests(), 0);

  Drag(At(-100, 0), At(-50, 0));
  EXPECT_FLOAT_EQ(WeightOf(skin_, 0, shoulder_), 1.0f);
  EXPECT_EQ(UndoRequests(), 1);
}

TEST_F(WeightPaintTest, AStrokeOverHiddenFacesPaintsNothing) {
  MQObject back = AddStrip("back", /*away=*/true, -60.0f);
  StartPainting();
  Choose(-50, 60);
  Drag(At(-100, -60), At(100, -60), 8);
  EXPECT_FALSE(quorvel::HasWeights(back, Slots()));
  EXPECT_EQ(UndoRequests(), 0);
}

TEST_F(WeightPaintTest, AnEmptyPaletteClearsTheWeights) {
  StartPainting();
  Choose(-50, 60);
  Click(At(-100, 0));
  ASSERT_FLOAT_EQ(WeightOf(skin_, 0, shoulder_), 1.0f);
  ASSERT_TRUE(quorvel::SetCurrentPalette(State(), 1));
  ASSERT_EQ(quorvel::Count(quorvel::CurrentPalette(State())), 0);
  Click(At(-100, 0));
  VWeight rec;
  ASSERT_TRUE(Weights(skin_, 0, rec));
  EXPECT_EQ(quorvel::Count(rec), 0);
}

TEST_F(WeightPaintTest, ARightClickPicksTheWeightsUpUnlessTheMouseMoved) {
  StartPainting();
  Choose(-50, 60);
  Click(At(-100, 0));
  ASSERT_TRUE(quorvel::SetCurrentPalette(State(), 2));
  // Pressed, moved and released: nothing is picked up.
  RightPress(At(-100, 0));
  RightMove(At(-98, 0));
  RightRelease(At(-100, 0));
  EXPECT_EQ(quorvel::Count(quorvel::CurrentPalette(State())), 0);
  // Pressed and released in place: the nearest vertex's weights.
  RightPress(At(-99, 2));
  RightRelease(At(-99, 2));
  const VWeight palette = quorvel::CurrentPalette(State());
  ASSERT_EQ(quorvel::Count(palette), 1);
  EXPECT_EQ(palette.entries[0].bone, Uid(shoulder_));
  // Over a vertex without weights there is nothing to pick up.
  ASSERT_TRUE(quorvel::SetCurrentPalette(State(), 3));
  RightPress(At(100, -20));
  RightRelease(At(100, -20));
  EXPECT_EQ(quorvel::Count(quorvel::CurrentPalette(State())), 0);
  EXPECT_EQ(UndoRequests(), 1) << "only the painting click";
}

TEST_F(WeightPaintTest, TheBrushCircleFollowsTheMouse) {
  StartPainting();
  Hover(At(30, -10));
  EXPECT_VEC2_NEAR(Tool().mouse(), FVECTOR2(350, 250), 1e-6f);
  bool circle = false;
  DrawAndLook([&](const std::vector<const mqhost::Object*>& objects) {
    for (const mqhost::Object* o : objects) {
      if (o->color[0] != 1.0f || o->color[1] != 1.0f || o->color[2] != 1.0f || o->vertices.empty()) continue;
      bool round = true;
      for (const auto& v : o->vertices) {
        const float r = std::hypot(v.position.x - 30.0f, v.position.y + 10.0f);
        round &= std::fabs(r - 15.0f) < 0.05f;
      }
      circle |= round;
    }
  });
  EXPECT_TRUE(circle) << "a white circle of the pen's radius around the mouse";
}

TEST_F(WeightPaintTest, PaintedWeightsGoWithUndoAndAreSaved) {
  StartPainting();
  host_.RecordUndo(document_);
  Choose(50, 60);
  Drag(At(0, 0), At(100, 0), 6);
  ASSERT_FLOAT_EQ(WeightOf(skin_, 8, elbow_), 1.0f);
  ASSERT_TRUE(host_.Undo(document_));
  EXPECT_LT(WeightOf(skin_, 8, elbow_), 1.0f);
  ASSERT_TRUE(host_.Redo(document_));
  EXPECT_FLOAT_EQ(WeightOf(skin_, 8, elbow_), 1.0f);
  SaveAndReopen();
  skin_ = Object(3);
  elbow_ = Object(1);
  for (int i : {4, 6, 8}) EXPECT_FLOAT_EQ(WeightOf(skin_, i, elbow_), 1.0f) << i;
  EXPECT_LT(WeightOf(skin_, 0, elbow_), 1.0f);
}

}  // namespace
