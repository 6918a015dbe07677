// The weight and bone tools as the main object runs them on documents of the
// substitute host: what they write, the one undo step each makes, and the
// reasons they give when they cannot act.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "host/files/document_file.h"
#include "rig/pose_list.h"
#include "rig/rig_access.h"
#include "rig/weight_record.h"
#include "tests/main/main_fixture.h"

namespace {

using quorvel::VWeight;
using quorvel_test::MainTest;

int32_t Uid(MQObject obj) { return HostApi().MQObj_GetIntValue(obj, MQOBJ_ID_UNIQUE_ID); }

FVECTOR3 Pivot(MQDocument doc, MQObject obj) {
  FMATRIX global;
  HostApi().MQDoc_GetGlobalMatrix(doc, obj, global.m);
  return FVECTOR3(global.m[12], global.m[13], global.m[14]);
}

std::string NameOf(MQObject obj) {
  char name[256] = {};
  HostApi().MQObj_GetName(obj, name, sizeof name);
  return name;
}

// Every record of a tool's result: valid, entries naming distinct bones of
// `bones`, finite positive weights summing to 1.
void ExpectSoundWeights(const std::vector<VWeight>& weights, const std::vector<int32_t>& bones) {
  for (size_t v = 0; v < weights.size(); ++v) {
    const VWeight& rec = weights[v];
    ASSERT_TRUE(quorvel::IsValid(rec)) << v;
    const int n = quorvel::Count(rec);
    ASSERT_GE(n, 1) << v;
    float sum = 0.0f;
    for (int i = 0; i < n; ++i) {
      EXPECT_TRUE(std::isfinite(rec.entries[i].weight) && rec.entries[i].weight > 0.0f) << v;
      EXPECT_NE(std::find(bones.begin(), bones.end(), rec.entries[i].bone), bones.end()) << v;
      for (int j = 0; j < i; ++j) EXPECT_NE(rec.entries[i].bone, rec.entries[j].bone) << v;
      sum += rec.entries[i].weight;
    }
    EXPECT_NEAR(sum, 1.0f, 1e-5f) << v;
  }
}

bool SameEntries(const VWeight& a, const VWeight& b) {
  return quorvel::Count(a) == quorvel::Count(b) &&
         std::memcmp(a.entries, b.entries, sizeof(a.entries[0]) * quorvel::Count(a)) == 0;
}

class RiggingTest : public MainTest {
 protected:
  std::vector<VWeight> Weights(MQObject obj) {
    const int n = HostApi().MQObj_GetVertexCount(obj);
    std::vector<VWeight> weights(static_cast<size_t>(n));
    for (int v = 0; v < n; ++v) {
      quorvel::Init(weights[static_cast<size_t>(v)]);
      quorvel::GetVertexWeights(obj, main_->GetSlots(), v, weights[static_cast<size_t>(v)]);
    }
    return weights;
  }
  void SetWeights(MQObject obj, int vertex, std::initializer_list<std::pair<MQObject, float>> entries) {
    VWeight rec;
    quorvel::Init(rec);
    for (const auto& [bone, w] : entries) quorvel::SetWeight(rec, Uid(bone), w);
    ASSERT_TRUE(quorvel::SetVertexWeights(obj, main_->GetSlots(), vertex, rec));
  }
  MQObject Object(int index) { return HostApi().MQDoc_GetObject(doc_, index); }
  void MakeCurrent(MQObject obj) {
    HostApi().MQDoc_SetCurrentObjectIndex(doc_, HostApi().MQDoc_GetObjectIndex(doc_, obj));
  }
  // An object `name` with its pivot at `pivot` in document space, below the
  // last object of depth - 1 (whose pivot is `parent_pivot`).
  MQObject AddBone(const char* name, int depth, FVECTOR3 pivot, FVECTOR3 parent_pivot = {}) {
    return AddObject(name, depth, pivot - parent_pivot);
  }
};

// ---------------------------------------------------------------- automatic weights on the sample arm

class ArmRiggingTest : public RiggingTest {
 protected:
  void SetUp() override {
    RiggingTest::SetUp();
    LoadDocument(QUORVEL_EXAMPLES_DIR "/arm_rig.mqd");
    OpenActive();
    arm_ = Object(0);
    MakeCurrent(arm_);
  }
  MQObject arm_ = nullptr;
};

TEST_F(ArmRiggingTest, AutomaticWeightsFollowTheChainInOneUndoStep) {
  const std::vector<VWeight> before = Weights(arm_);
  host_.RecordUndo(document_);
  const int states = host_.undo_state_count();
  const quorvel::RiggingOutcome outcome = main_->AutoWeights(nullptr, false, quorvel::AutoWeightOptions());
  ASSERT_TRUE(outcome.ok) << outcome.message;
  EXPECT_EQ(outcome.changed, HostApi().MQObj_GetVertexCount(arm_));
  EXPECT_EQ(host_.undo_state_count(), states + 1);
  const std::vector<VWeight> after = Weights(arm_);
  // The wrist ends the chain: only the shoulder and elbow bones take weight.
  ExpectSoundWeights(after, {Uid(Object(2)), Uid(Object(3))});
  // The arm runs from x = 0 to 80 beside bones from 0 to 60 and 60 to 120:
  // its shoulder end belongs to the shoulder bone alone, its far end mostly to the elbow bone.
  for (size_t v = 0; v < after.size(); ++v) {
    MQPoint p;
    HostApi().MQObj_GetVertex(arm_, static_cast<int>(v), &p);
    if (p.x < 1.0f) {
      EXPECT_EQ(quorvel::Count(after[v]), 1) << v;
      EXPECT_EQ(after[v].entries[0].bone, Uid(Object(2))) << v;
    }
  }
  ASSERT_TRUE(host_.Undo(document_));
  const std::vector<VWeight> undone = Weights(arm_);
  for (size_t v = 0; v < before.size(); ++v) EXPECT_TRUE(SameEntries(undone[v], before[v])) << v;
}

TEST_F(ArmRiggingTest, LimitAndSmoothKeepSumsAndCounts) {
  ASSERT_TRUE(main_->AutoWeights(nullptr, false, quorvel::AutoWeightOptions()).ok);
  const quorvel::RiggingOutcome limited = main_->LimitWeights(nullptr, false, 1);
  ASSERT_TRUE(limited.ok) << limited.message;
  for (const VWeight& rec : Weights(arm_)) EXPECT_EQ(quorvel::Count(rec), 1);
  EXPECT_EQ(main_->LimitWeights(nullptr, false, 1).changed, 0) << "nothing left to limit";
  quorvel::SmoothOptions options;
  options.iterations = 3;
  const int states = host_.undo_state_count();
  const quorvel::RiggingOutcome smoothed = main_->SmoothWeights(nullptr, false, options);
  ASSERT_TRUE(smoothed.ok) << smoothed.message;
  EXPECT_GT(smoothed.changed, 0) << "the one-bone records along the seam blend again";
  EXPECT_EQ(host_.undo_state_count(), states + 1);
  ExpectSoundWeights(Weights(arm_), {Uid(Object(2)), Uid(Object(3))});
}

TEST_F(ArmRiggingTest, SelectedVerticesAloneTakeWeights) {
  const std::vector<VWeight> before = Weights(arm_);
  EXPECT_FALSE(main_->AutoWeights(nullptr, true, quorvel::AutoWeightOptions()).ok) << "nothing selected";
  document_->SetSelected(0, 0, true);
  ASSERT_TRUE(main_->AutoWeights(nullptr, true, quorvel::AutoWeightOptions()).ok);
  const std::vector<VWeight> after = Weights(arm_);
  for (size_t v = 1; v < after.size(); ++v) {
    EXPECT_TRUE(SameEntries(after[v], before[v]) && after[v].head == before[v].head) << v;
  }
}

TEST_F(ArmRiggingTest, ToolsThatCannotActSayWhyAndChangeNothing) {
  struct Case {
    const char* what;
    int current;  // object index made current, -1 none
    const char* reason;
  };
  const Case cases[] = {
      {"no current object", -1, "カレントオブジェクトがありません"},
      {"a bone without vertices", 2, "オブジェクトに頂点がありません"},
  };
  for (const Case& c : cases) {
    document_->current_object = c.current;
    const int states = host_.undo_state_count();
    for (const quorvel::RiggingOutcome& outcome :
         {main_->AutoWeights(nullptr, false, quorvel::AutoWeightOptions()),
          main_->MirrorWeights(nullptr, false, quorvel::MirrorDirection::kPlusToMinus, 0.01f),
          main_->SmoothWeights(nullptr, false, quorvel::SmoothOptions()),
          main_->LimitWeights(nullptr, false, 2)}) {
      EXPECT_FALSE(outcome.ok) << c.what;
      EXPECT_EQ(outcome.message, c.reason) << c.what;
    }
    EXPECT_EQ(host_.undo_state_count(), states) << c.what;
  }
}

// ---------------------------------------------------------------- a document without bones or faces

TEST_F(RiggingTest, AutomaticWeightsNeedBonesAndFaces) {
  MQObject mesh = AddObject("mesh");
  for (const MQPoint& p : {MQPoint{0, 0, 0}, MQPoint{10, 0, 0}, MQPoint{0, 10, 0}})
    HostApi().MQObj_AddVertex(mesh, &p);
  OpenActive();
  MakeCurrent(mesh);
  quorvel::RiggingOutcome outcome = main_->AutoWeights(nullptr, false, quorvel::AutoWeightOptions());
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, "ウェイトを付けるボーンがありません");
  AddBone("root", 0, {0, 0, 0});
  AddBone("tip", 1, {0, 20, 0});
  main_->GetModel()->Refresh();
  outcome = main_->AutoWeights(nullptr, false, quorvel::AutoWeightOptions());
  EXPECT_FALSE(outcome.ok) << "three vertices and no face";
  EXPECT_EQ(outcome.message, "面のないオブジェクトには自動ウェイトを付けられません");
  EXPECT_FALSE(quorvel::HasWeights(mesh, main_->GetSlots()));
}

// ---------------------------------------------------------------- a symmetric figure

// A bar from x = -40 to 40 (rings of four vertices every 10 units) with a
// chest bone in the middle and an arm chain on each side, named by side.
class FigureTest : public RiggingTest {
 protected:
  void SetUp() override {
    RiggingTest::SetUp();
    body_ = AddObject("body");
    for (int ring = 0; ring <= 8; ++ring) {
      const float x = -40.0f + 10.0f * ring;
      for (const auto& [y, z] : {std::pair{-5.0f, -5.0f}, {5.0f, -5.0f}, {5.0f, 5.0f}, {-5.0f, 5.0f}}) {
        MQPoint p{x, y, z};
        HostApi().MQObj_AddVertex(body_, &p);
      }
    }
    for (int ring = 0; ring < 8; ++ring) {
      for (int side = 0; side < 4; ++side) {
        int quad[4] = {ring * 4 + side, ring * 4 + (side + 1) % 4, (ring + 1) * 4 + (side + 1) % 4,
                       (ring + 1) * 4 + side};
        HostApi().MQObj_AddFace(body_, 4, quad);
      }
    }
    chest_ = AddBone("chest", 0, {0, -10, 0});
    AddBone("neck", 1, {0, 10, 0}, {0, -10, 0});
    arm_l_ = AddBone(left_name_, 1, {5, 0, 0}, {0, -10, 0});
    hand_l_ = AddBone("hand_L", 2, {25, 0, 0}, {5, 0, 0});
    AddBone("tip_L", 3, {40, 0, 0}, {25, 0, 0});
  }
  void AddRightSide() {
    arm_r_ = AddBone("arm_R", 1, {-5, 0, 0}, {0, -10, 0});
    hand_r_ = AddBone("hand_R", 2, {-25, 0, 0}, {-5, 0, 0});
    AddBone("tip_R", 3, {-40, 0, 0}, {-25, 0, 0});
  }
  // The +x side weighted to the left chain, the middle to the chest, the
  // -x side to the chest alone.
  void WeightLeftSide() {
    for (int v = 0; v < HostApi().MQObj_GetVertexCount(body_); ++v) {
      MQPoint p;
      HostApi().MQObj_GetVertex(body_, v, &p);
      if (p.x > 20.0f) {
        SetWeights(body_, v, {{hand_l_, 0.75f}, {arm_l_, 0.25f}});
      } else if (p.x > 0.0f) {
        SetWeights(body_, v, {{arm_l_, 0.6f}, {chest_, 0.4f}});
      } else {
        SetWeights(body_, v, {{chest_, 1.0f}});
      }
    }
  }
  MQObject body_ = nullptr, chest_ = nullptr, arm_l_ = nullptr, hand_l_ = nullptr;
  MQObject arm_r_ = nullptr, hand_r_ = nullptr;
  const char* left_name_ = "arm_L";
};

TEST_F(FigureTest, MirroredWeightsComeBackExactly) {
  AddRightSide();
  OpenActive();
  WeightLeftSide();
  MakeCurrent(body_);
  const std::vector<VWeight> original = Weights(body_);
  const quorvel::RiggingOutcome there =
      main_->MirrorWeights(nullptr, false, quorvel::MirrorDirection::kPlusToMinus, 0.01f);
  ASSERT_TRUE(there.ok) << there.message;
  EXPECT_EQ(there.changed, 16) << "four rings on the -x side";
  EXPECT_EQ(there.unmatched, 0);
  const std::vector<VWeight> mirrored = Weights(body_);
  for (int v = 0; v < 16; ++v) {
    // Ring r mirrors ring 8 - r; the +x vertices weighted to the left chain now name the right one.
    const VWeight& rec = mirrored[static_cast<size_t>(v)];
    for (int i = 0; i < quorvel::Count(rec); ++i) {
      EXPECT_TRUE(rec.entries[i].bone == Uid(arm_r_) || rec.entries[i].bone == Uid(hand_r_) ||
                  rec.entries[i].bone == Uid(chest_))
          << v;
    }
  }
  const quorvel::RiggingOutcome back =
      main_->MirrorWeights(nullptr, false, quorvel::MirrorDirection::kMinusToPlus, 0.01f);
  ASSERT_TRUE(back.ok) << back.message;
  const std::vector<VWeight> again = Weights(body_);
  for (size_t v = 0; v < original.size(); ++v) {
    if (v >= 20) {
      EXPECT_TRUE(SameEntries(again[v], original[v])) << "left side, vertex " << v;
    } else if (v < 16) {
      EXPECT_TRUE(SameEntries(again[v], mirrored[v])) << "right side, vertex " << v;
    }
  }
}

TEST_F(FigureTest, AVertexOutOfSymmetryIsReportedAndKept) {
  AddRightSide();
  OpenActive();
  WeightLeftSide();
  MQPoint p;
  HostApi().MQObj_GetVertex(body_, 1, &p);
  p.x += 0.5f;
  HostApi().MQObj_SetVertex(body_, 1, &p);
  MakeCurrent(body_);
  const VWeight kept = Weights(body_)[1];
  const quorvel::RiggingOutcome outcome =
      main_->MirrorWeights(nullptr, false, quorvel::MirrorDirection::kPlusToMinus, 0.01f);
  ASSERT_TRUE(outcome.ok) << outcome.message;
  EXPECT_EQ(outcome.unmatched, 1);
  EXPECT_EQ(outcome.changed, 15);
  EXPECT_NE(outcome.message.find("1"), std::string::npos) << outcome.message;
  EXPECT_TRUE(SameEntries(Weights(body_)[1], kept));
}

TEST_F(FigureTest, APoseFlippedTwiceIsTheOriginal) {
  AddRightSide();
  OpenActive();
  ASSERT_TRUE(main_->NewPose());
  const int32_t pose = main_->GetEditState()->current_pose_id;
  const quorvel::RigSlotTable& slots = main_->GetSlots();
  quorvel::OPoseTSQ bend;
  bend.rot = FQUAT(0.1f, 0.2f, 0.3f, 0.927f);
  bend.trs = FVECTOR3(1.0f, 2.0f, 3.0f);
  quorvel::OPoseTSQ twist;
  twist.rot = FQUAT(0.0f, 0.6f, 0.0f, 0.8f);
  ASSERT_TRUE(quorvel::SetPoseTSQ(arm_l_, slots, pose, bend));
  ASSERT_TRUE(quorvel::SetPoseTSQ(chest_, slots, pose, twist));
  auto pose_of = [&](MQObject obj) {
    quorvel::OPoseTSQ tsq;
    quorvel::GetPoseTSQ(obj, slots, pose, tsq);
    return tsq;
  };
  const int states = host_.undo_state_count();
  quorvel::RiggingOutcome outcome = main_->MirrorPose(MIRROR_POSE_FLIP, nullptr, 0.01f);
  ASSERT_TRUE(outcome.ok) << outcome.message;
  EXPECT_EQ(host_.undo_state_count(), states + 1);
  const quorvel::OPoseTSQ right = pose_of(arm_r_);
  EXPECT_EQ(right.trs.x, -1.0f);
  EXPECT_EQ(right.rot.y, -0.2f);
  EXPECT_EQ(right.rot.x, 0.1f);
  EXPECT_EQ(pose_of(arm_l_).rot.w, 1.0f) << "the right arm was at rest";
  EXPECT_EQ(pose_of(chest_).rot.y, -0.6f) << "a bone on the plane turns the other way";
  ASSERT_TRUE(main_->MirrorPose(MIRROR_POSE_FLIP, nullptr, 0.01f).ok);
  const quorvel::OPoseTSQ arm_back = pose_of(arm_l_), chest_back = pose_of(chest_);
  EXPECT_EQ(std::memcmp(&arm_back, &bend, sizeof bend), 0);
  EXPECT_EQ(std::memcmp(&chest_back, &twist, sizeof twist), 0);
  EXPECT_EQ(pose_of(arm_r_).rot.w, 1.0f);

  // One bone onto its mirror; a bone on the plane has none.
  outcome = main_->MirrorPose(MIRROR_POSE_BONE, arm_l_, 0.01f);
  ASSERT_TRUE(outcome.ok) << outcome.message;
  EXPECT_EQ(outcome.changed, 1);
  EXPECT_EQ(pose_of(arm_r_).rot.z, -0.3f);
  outcome = main_->MirrorPose(MIRROR_POSE_BONE, chest_, 0.01f);
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, "反対側のボーンが見つかりません");
}

TEST_F(FigureTest, OneSidesPoseGoesToTheOther) {
  AddRightSide();
  OpenActive();
  ASSERT_TRUE(main_->NewPose());
  const int32_t pose = main_->GetEditState()->current_pose_id;
  quorvel::OPoseTSQ bend;
  bend.rot = FQUAT(0.0f, 0.0f, 0.6f, 0.8f);
  ASSERT_TRUE(quorvel::SetPoseTSQ(hand_l_, main_->GetSlots(), pose, bend));
  const quorvel::RiggingOutcome outcome = main_->MirrorPose(MIRROR_POSE_PLUS_TO_MINUS, nullptr, 0.01f);
  ASSERT_TRUE(outcome.ok) << outcome.message;
  EXPECT_EQ(outcome.changed, 1);
  quorvel::OPoseTSQ right;
  ASSERT_TRUE(quorvel::GetPoseTSQ(hand_r_, main_->GetSlots(), pose, right));
  EXPECT_EQ(right.rot.z, -0.6f);
  quorvel::OPoseTSQ left;
  ASSERT_TRUE(quorvel::GetPoseTSQ(hand_l_, main_->GetSlots(), pose, left));
  EXPECT_EQ(std::memcmp(&left, &bend, sizeof bend), 0) << "the source side stays";
}

TEST_F(FigureTest, TheOtherSidesChainIsMadeOnce) {
  OpenActive();
  const int before = HostApi().MQDoc_GetObjectCount(doc_);
  const int states = host_.undo_state_count();
  quorvel::RiggingOutcome outcome = main_->MirrorBones(arm_l_, 0.01f);
  ASSERT_TRUE(outcome.ok) << outcome.message;
  EXPECT_EQ(outcome.changed, 3);
  EXPECT_EQ(host_.undo_state_count(), states + 1);
  ASSERT_EQ(HostApi().MQDoc_GetObjectCount(doc_), before + 3);
  struct Made {
    const char* name;
    FVECTOR3 pivot;
    const char* parent;
  };
  const Made made[] = {
      {"arm_R", {-5, 0, 0}, "chest"}, {"hand_R", {-25, 0, 0}, "arm_R"}, {"tip_R", {-40, 0, 0}, "hand_R"}};
  for (const Made& m : made) {
    MQObject found = nullptr;
    for (int i = 0; i < HostApi().MQDoc_GetObjectCount(doc_); ++i) {
      if (MQObject obj = Object(i); obj != nullptr && NameOf(obj) == m.name) found = obj;
    }
    ASSERT_NE(found, nullptr) << m.name;
    const FVECTOR3 pivot = Pivot(doc_, found);
    EXPECT_NEAR(pivot.x, m.pivot.x, 1e-4f) << m.name;
    EXPECT_NEAR(pivot.y, m.pivot.y, 1e-4f) << m.name;
    MQObject parent = HostApi().MQDoc_GetParentObject(doc_, found);
    ASSERT_NE(parent, nullptr) << m.name;
    EXPECT_EQ(NameOf(parent), m.parent);
    EXPECT_TRUE(quorvel::HasBoneRecord(found, main_->GetSlots())) << m.name;
  }
  outcome = main_->MirrorBones(arm_l_, 0.01f);
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, "反対側のボーンはもうあります");
  outcome = main_->MirrorBones(chest_, 0.01f);
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, "中心にあるボーンはミラーできません");
  EXPECT_EQ(HostApi().MQDoc_GetObjectCount(doc_), before + 3);
}

TEST_F(FigureTest, BonesMadeInPoseModeShowThroughTheirCopies) {
  OpenActive();
  main_->SetMode(MODE_POSE);
  ASSERT_TRUE(main_->IsPoseMode());
  ASSERT_TRUE(main_->MirrorBones(arm_l_, 0.01f).ok);
  const int count = HostApi().MQDoc_GetObjectCount(doc_);
  for (int i = count - 3; i < count; ++i) {
    MQObject made = Object(i);
    EXPECT_EQ(HostApi().MQObj_GetVisible(made), 0u) << NameOf(made);
    EXPECT_NE(quorvel::GetSavedVisibility(made, main_->GetSlots()), 0) << NameOf(made);
  }
}

}  // namespace
