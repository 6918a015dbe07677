// The viewport's rendering copies as the main object keeps them: made in pose
// and weight mode, following the pose, dropped elsewhere, and made anew
// after every change that the skin prepared for a copy depends on (weights,
// morph targets, the object list, edited objects, undo).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

#include "deform/pose_evaluation.h"
#include "main/user_messages.h"
#include "rig/pose_list.h"
#include "rig/rig_access.h"
#include "rig/weight_record.h"
#include "tests/main/main_fixture.h"
#include "tests/support/float_checks.h"

namespace {

using quorvel_test::MainTest;

class RenderingTest : public MainTest {
 protected:
  // A bone at x = 10 with a skin of one triangle fully weighted to it.
  void SetUp() override {
    MainTest::SetUp();
    bone_ = AddObject("bone", 0, FVECTOR3{10.0f, 0.0f, 0.0f});
    skin_ = AddObject("skin");
    mqhost::Object* skin = mqhost::ToObject(skin_);
    skin->AddVertex(MQPoint{0, 0, 0});
    skin->AddVertex(MQPoint{1, 0, 0});
    skin->AddVertex(MQPoint{0, 1, 0});
    skin->AddFace({0, 1, 2});
    OpenActive();
    for (int v = 0; v < 3; ++v) Weigh(v, bone_);
    quorvel::NewPose(*main_->GetModel());
  }

  const quorvel::RigSlotTable& Slots() { return main_->GetSlots(); }
  int32_t Uid(MQObject obj) { return static_cast<int32_t>(mqhost::ToObject(obj)->uid); }
  void Weigh(int vertex, MQObject bone) {
    quorvel::VWeight rec;
    quorvel::Init(rec);
    quorvel::SetWeight(rec, Uid(bone), 1.0f);
    ASSERT_TRUE(quorvel::SetVertexWeights(skin_, Slots(), vertex, rec));
  }
  // Moves `bone` in the current pose and recomputes the posed matrices.
  void Pose(MQObject bone, FVECTOR3 move) {
    quorvel::OPoseTSQ tsq;
    tsq.trs = move;
    const int pose = main_->GetEditState()->current_pose_id;
    ASSERT_TRUE(quorvel::SetPoseTSQ(bone, Slots(), pose, tsq));
    main_->GetModel()->UpdatePoseMatrices();
  }
  void Draw() { ASSERT_EQ(mqhost::SendDraw(host_, document_, 640, 480, plugin_), TRUE); }

  // The copy of `source`, or null.
  mqhost::Object* CopyOf(MQObject source) {
    const quorvel::RENDERING_COPIES* copies = main_->GetRenderingCopies();
    if (copies == nullptr) return nullptr;
    for (const auto& entry : copies->Entries()) {
      if (entry->source == Uid(source)) return mqhost::ToObject(entry->drawing);
    }
    return nullptr;
  }
  FVECTOR3 CopyVertex(int v) {
    mqhost::Object* copy = CopyOf(skin_);
    if (copy == nullptr) return FVECTOR3(-999, -999, -999);
    const MQPoint& p = copy->vertices.at(static_cast<size_t>(v)).position;
    return FVECTOR3(p.x, p.y, p.z);
  }
  size_t DrawingObjects() const { return document_->drawing_objects().size(); }

  MQObject bone_ = nullptr;
  MQObject skin_ = nullptr;
};

TEST_F(RenderingTest, PoseModeShowsCopiesThatFollowThePose) {
  Draw();
  EXPECT_EQ(DrawingObjects(), 0u) << "move mode draws no copies";

  main_->Service()->SetMode(MODE_POSE);
  Pose(bone_, FVECTOR3{0, 0, 5});
  Draw();
  ASSERT_EQ(DrawingObjects(), 2u) << "one copy per object";
  EXPECT_VEC3_NEAR(CopyVertex(1), FVECTOR3(1, 0, 5), 1e-5f);

  // A drag step: the pose changes, the copies are marked and follow.
  Pose(bone_, FVECTOR3{0, 3, 0});
  main_->MarkRenderingDeform();
  Draw();
  EXPECT_VEC3_NEAR(CopyVertex(1), FVECTOR3(1, 3, 0), 1e-5f);
  EXPECT_EQ(DrawingObjects(), 2u) << "deforming again makes no new objects";

  // The weight colour material, made once for the document.
  const quorvel::RENDERING_COPIES* copies = main_->GetRenderingCopies();
  ASSERT_NE(copies->WeightColourMaterial(), nullptr);
  const mqhost::Material* m = mqhost::ToMaterial(copies->WeightColourMaterial());
  EXPECT_EQ(m->name, "$$vcol_tmp$$");
  EXPECT_EQ(m->vertex_color, 1);
  EXPECT_FLOAT_EQ(m->emission, 1.0f);
  EXPECT_FLOAT_EQ(m->diffuse, 0.0f);
  EXPECT_FLOAT_EQ(m->ambient, 0.0f);
  EXPECT_FLOAT_EQ(m->specular, 0.0f);
  EXPECT_FLOAT_EQ(m->power, 0.0f);
  EXPECT_FLOAT_EQ(m->alpha, 0.7f);

  // Leaving pose mode, and ending the document, take them away.
  main_->Service()->SetMode(MODE_MOVE);
  EXPECT_EQ(DrawingObjects(), 0u);
  main_->Service()->SetMode(MODE_POSE);
  Draw();
  EXPECT_EQ(DrawingObjects(), 2u);
  ASSERT_EQ(mqhost::SendEndDocument(host_, document_, plugin_), TRUE);
  EXPECT_EQ(DrawingObjects(), 0u);
  EXPECT_EQ(main_->GetRenderingCopies(), nullptr);
}

TEST_F(RenderingTest, EveryChangeTheSkinDependsOnReachesTheCopy) {
  MQObject other = AddObject("other", 0, FVECTOR3{0, 0, 0});
  ASSERT_EQ(mqhost::SendObjectListChanged(host_, document_, plugin_), TRUE);
  main_->Service()->SetMode(MODE_POSE);
  Pose(bone_, FVECTOR3{0, 0, 5});
  Pose(other, FVECTOR3{0, 7, 0});
  Draw();
  ASSERT_VEC3_NEAR(CopyVertex(0), FVECTOR3(0, 0, 5), 1e-5f);

  // Weights, through another plug-in's message: vertex 0 now follows "other".
  struct Entry {
    int32_t count;
    int32_t bone;
    float weight;
  };
  Entry entries[3] = {{1, Uid(other), 1.0f}, {1, Uid(bone_), 1.0f}, {1, Uid(bone_), 1.0f}};
  UMSG_WEIGHT_ARRAY array{0, entries, 1, 3};
  UMSG_WEIGHT_COMMAND command{Uid(skin_), &array};
  ASSERT_EQ(main_->OnReceiveUserMessage(doc_, 0, 0, "SetVertexWeightArray", &command), 1);
  Draw();
  EXPECT_VEC3_NEAR(CopyVertex(0), FVECTOR3(0, 7, 0), 1e-5f) << "weights changed by a message";

  // Undo: the host puts the weights back as they were at its undo state.
  host_.RecordUndo(document_);
  Weigh(0, bone_);
  host_.RecordUndo(document_);
  ASSERT_TRUE(host_.Undo(document_));
  Draw();
  EXPECT_VEC3_NEAR(CopyVertex(0), FVECTOR3(0, 7, 0), 1e-5f) << "after undo";
  ASSERT_TRUE(host_.Redo(document_));
  Draw();
  EXPECT_VEC3_NEAR(CopyVertex(0), FVECTOR3(0, 0, 5), 1e-5f) << "after redo";

  // The object list: an object inserted after the bone moves the skin and
  // "other" one index on, so a skin that kept the old indices would follow
  // the skin's own matrix instead of "other".
  Weigh(0, other);
  main_->MarkRenderingRebuild();
  Draw();
  ASSERT_EQ(document_->IndexOf(mqhost::ToObject(other)), 2);
  ASSERT_VEC3_NEAR(CopyVertex(0), FVECTOR3(0, 7, 0), 1e-5f);
  auto inserted = document_->NewObject();
  inserted->name = "inserted";
  document_->InsertObject(std::move(inserted), mqhost::ToObject(bone_));
  ASSERT_EQ(document_->IndexOf(mqhost::ToObject(other)), 3);
  ASSERT_EQ(mqhost::SendObjectListChanged(host_, document_, plugin_), TRUE);
  main_->GetModel()->UpdatePoseMatrices();
  Draw();
  EXPECT_VEC3_NEAR(CopyVertex(0), FVECTOR3(0, 7, 0), 1e-5f) << "after the object list changed";
  EXPECT_VEC3_NEAR(CopyVertex(2), FVECTOR3(0, 1, 5), 1e-5f);

  // An edited source object: the host tells the plug-in it was modified.
  mqhost::ToObject(skin_)->vertices[2].position = MQPoint{0, 2, 0};
  ASSERT_EQ(mqhost::SendObjectModified(host_, document_, plugin_), TRUE);
  Draw();
  EXPECT_VEC3_NEAR(CopyVertex(2), FVECTOR3(0, 2, 5), 1e-5f) << "after the object was modified";
}

TEST_F(RenderingTest, WeightModeColoursTheCopiesAndAHiddenSourceKeepsItsMark) {
  MQObject hidden = AddObject("hidden");
  mqhost::Object* h = mqhost::ToObject(hidden);
  h->AddVertex(MQPoint{0, 0, 0});
  h->AddVertex(MQPoint{1, 0, 0});
  h->AddVertex(MQPoint{0, 1, 0});
  h->AddFace({0, 1, 2});
  h->visible = 0;
  ASSERT_EQ(mqhost::SendObjectListChanged(host_, document_, plugin_), TRUE);
  quorvel::VWeight rec;
  quorvel::Init(rec);
  quorvel::SetWeight(rec, Uid(bone_), 1.0f);
  for (int v = 0; v < 3; ++v) ASSERT_TRUE(quorvel::SetVertexWeights(hidden, Slots(), v, rec));

  main_->Service()->SetMode(MODE_WEIGHT);
  Draw();
  mqhost::Object* skin_copy = CopyOf(skin_);
  ASSERT_NE(skin_copy, nullptr);
  EXPECT_EQ(skin_copy->visible, 12u);
  const int material = main_->GetRenderingCopies()->WeightColourMaterialIndex();
  EXPECT_EQ(skin_copy->faces[0].material, material);
  EXPECT_EQ(skin_copy->faces[0].colors[0] >> 24, 0xFFu) << "opaque weight colours";

  mqhost::Object* hidden_copy = CopyOf(hidden);
  ASSERT_NE(hidden_copy, nullptr);
  EXPECT_EQ(hidden_copy->visible, 0u);
  for (const auto& entry : main_->GetRenderingCopies()->Entries()) {
    if (entry->source != Uid(hidden)) continue;
    EXPECT_NE(entry->flags & quorvel::DrawWorkObj::kRecolour, 0u) << "kept for a later refresh";
    EXPECT_NE(entry->flags & quorvel::DrawWorkObj::kDeform, 0u) << "its deformation waits too";
  }
  // Shown again, it is coloured at the next draw once it is marked.
  h->visible = 7;
  main_->MarkRenderingRecolour();
  Draw();
  EXPECT_EQ(CopyOf(hidden)->visible, 12u);
}

TEST_F(RenderingTest, UndoWhileInactiveDropsTheCopies) {
  main_->Service()->SetMode(MODE_POSE);
  Draw();
  ASSERT_EQ(DrawingObjects(), 2u);
  host_.RecordUndo(document_);
  Weigh(0, skin_);
  host_.RecordUndo(document_);
  ASSERT_EQ(mqhost::SendActivate(host_, document_, false, plugin_), FALSE);
  ASSERT_TRUE(host_.Undo(document_));
  EXPECT_EQ(DrawingObjects(), 0u);
}

}  // namespace

// The posed matrices behind the copies are evaluated from what the model's
// evaluator keeps between calls; a pivot moved in the host must reach them
// through each event that can report it.
TEST_F(RenderingTest, PosedCopiesFollowAPivotMovedInTheHost) {
  main_->Service()->SetMode(MODE_POSE);
  quorvel::OPoseTSQ turn;  // 90° about Z: about the pivot (10, 0, 0), x = 1 goes to (10, -9, 0)
  turn.rot = FQUAT(0.0f, 0.0f, std::sqrt(0.5f), std::sqrt(0.5f));
  ASSERT_TRUE(quorvel::SetPoseTSQ(bone_, Slots(), main_->GetEditState()->current_pose_id, turn));
  main_->GetModel()->UpdatePoseMatrices();
  main_->MarkRenderingDeform();
  Draw();
  ASSERT_VEC3_NEAR(CopyVertex(1), FVECTOR3(10, -9, 0), 1e-4f);

  auto place_bone = [this](float x) {
    mqhost::ToObject(bone_)->transform.translation = FVECTOR3{x, 0.0f, 0.0f};
  };
  struct Case {
    const char* what;
    float x;  // where the bone is moved
    std::function<void()> report;
    FVECTOR3 want;  // vertex 1 after the pose is evaluated again
  };
  const Case cases[] = {
      {"object modified", 0.0f, [this] { ASSERT_EQ(mqhost::SendObjectModified(host_, document_, plugin_), TRUE); },
       FVECTOR3(0, 1, 0)},
      {"object list changed", 4.0f,
       [this] { ASSERT_EQ(mqhost::SendObjectListChanged(host_, document_, plugin_), TRUE); },
       FVECTOR3(4, -3, 0)},
      {"undo back to x = 10", 6.0f,
       [&] {
         place_bone(10.0f);
         host_.RecordUndo(document_);
         place_bone(6.0f);
         host_.RecordUndo(document_);
         ASSERT_TRUE(host_.Undo(document_));
       },
       FVECTOR3(10, -9, 0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    place_bone(c.x);
    c.report();
    main_->GetModel()->UpdatePoseMatrices();
    main_->MarkRenderingDeform();
    Draw();
    EXPECT_VEC3_NEAR(CopyVertex(1), c.want, 1e-4f);
  }
}
