// The per-document model: options mirrored into the edit state, refresh and
// reset, the converter it owns, snapshots, pose evaluation and bone making.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "rig/document_model.h"
#include "rig/hierarchy.h"
#include "rig/rig_access.h"
#include "rig/snapshot.h"
#include "tests/rig/rig_fixture.h"
#include "tests/support/float_checks.h"

using namespace quorvel;

namespace {

// What the pose evaluator handed to the model was called with.
struct EvaluationLog {
  int calls = 0;
  int forgets = 0;
  MQDocument doc = nullptr;
  const RigSlotTable* slots = nullptr;
  const RigEditState* state = nullptr;
  int pose_id = -2;
};

EvaluationLog& Evaluations() {
  static EvaluationLog log;
  return log;
}

class RecordingEvaluator : public MQEXPDOC::PoseEvaluator {
 public:
  void Evaluate(MQDocument doc, const RigSlotTable& slots, const RigEditState& state) override {
    EvaluationLog& log = Evaluations();
    ++log.calls;
    log.doc = doc;
    log.slots = &slots;
    log.state = &state;
    log.pose_id = state.current_pose_id;
  }
  void Forget() override { ++Evaluations().forgets; }
};

std::unique_ptr<MQEXPDOC::PoseEvaluator> Recording() { return std::make_unique<RecordingEvaluator>(); }

class StubService : public MED_DOCMODEL_SERVICE {
 public:
  bool current_object_only = false;
  bool GetShowCurObjWeight() const override { return current_object_only; }
};

// Notes its making and destruction in a shared log.
class LoggingConverter : public MED_SCREENCONVBASE {
 public:
  LoggingConverter(std::vector<std::string>* log, int id) : log_(log), id_(id) {
    log_->push_back("made " + std::to_string(id_));
  }
  ~LoggingConverter() override { log_->push_back("gone " + std::to_string(id_)); }
  FVECTOR3 WorldToScreen(const FVECTOR3& p) const override { return p; }
  FVECTOR3 ScreenToWorld(const FVECTOR3& s) const override { return s; }
  void SetScene(MQScene) override {}

 private:
  std::vector<std::string>* log_;
  int id_;
};

void AddPose(RigEditState& state, int32_t id, const char* name) {
  auto pose = std::make_unique<QuorvelPose>();
  pose->id = id;
  SetName(pose->name, name);
  state.poses.push_back(std::move(pose));
}

class DocumentModelTest : public RigTest {
 protected:
  void SetUp() override {
    RigTest::SetUp();
    Evaluations() = EvaluationLog();
    model_.SetDocument(doc_);
    model_.SetSlots(slots_);
  }
  MQEXPDOC model_{Recording()};
};

TEST_F(DocumentModelTest, StartValues) {
  MQEXPDOC fresh(Recording());
  EXPECT_EQ(fresh.Options(), MQEXPDOC::kShowBone | MQEXPDOC::kDrawBoneRoll);
  EXPECT_EQ(fresh.Document(), nullptr);
  EXPECT_EQ(fresh.Service(), nullptr);
  EXPECT_EQ(fresh.ScreenConverter(), nullptr);
  const RigEditState& s = fresh.EditState();
  EXPECT_EQ(s.display, RigEditState::kShowBones | RigEditState::kShowRoll)
      << "the edit state agrees with the start options";
  EXPECT_EQ(s.pick_masks, 0u);
  EXPECT_EQ(s.current_pose_id, -1);
  EXPECT_TRUE(s.poses.empty());
}

struct OptionCase {
  const char* what;
  MQEXPDOC::Option bit;
  void (MQEXPDOC::*set)(bool);
  bool (MQEXPDOC::*get)() const;
  uint32_t RigEditState::*word;  // null: not mirrored
  uint32_t mirrored;
};

TEST_F(DocumentModelTest, EachOptionBitHasASetterAndTheViewBitsAreMirrored) {
  const OptionCase cases[] = {
      {"active", MQEXPDOC::kActive, &MQEXPDOC::SetActive, &MQEXPDOC::IsActive, nullptr, 0},
      {"render state", MQEXPDOC::kRenderState, &MQEXPDOC::SetRenderState, &MQEXPDOC::IsRenderState,
       nullptr, 0},
      {"show bone", MQEXPDOC::kShowBone, &MQEXPDOC::SetShowBone, &MQEXPDOC::IsShowBone,
       &RigEditState::display, RigEditState::kShowBones},
      {"draw bone roll", MQEXPDOC::kDrawBoneRoll, &MQEXPDOC::SetDrawBoneRoll,
       &MQEXPDOC::IsDrawBoneRoll, &RigEditState::display, RigEditState::kShowRoll},
      {"lock pivot", MQEXPDOC::kLockPivot, &MQEXPDOC::SetLockPivot, &MQEXPDOC::IsLockPivot,
       &RigEditState::pick_masks, RigEditState::kPickMaskPivot},
      {"lock roll", MQEXPDOC::kLockRoll, &MQEXPDOC::SetLockRoll, &MQEXPDOC::IsLockRoll,
       &RigEditState::pick_masks, RigEditState::kPickMaskRoll},
      {"lock body", MQEXPDOC::kLockBody, &MQEXPDOC::SetLockBody, &MQEXPDOC::IsLockBody,
       &RigEditState::pick_masks, RigEditState::kPickMaskBody},
  };
  for (const OptionCase& c : cases) {
    SCOPED_TRACE(c.what);
    for (bool start : {false, true}) {
      MQEXPDOC model(Recording());
      // Start from every bit cleared or every bit set, so that a setter that
      // touches a neighbour shows.
      for (const OptionCase& other : cases) model.SetOption(other.bit, start);
      const uint32_t options = model.Options();
      const uint32_t display = model.EditState().display;
      const uint32_t masks = model.EditState().pick_masks;

      (model.*c.set)(!start);
      EXPECT_EQ((model.*c.get)(), !start);
      EXPECT_EQ(model.GetOption(c.bit), !start);
      EXPECT_EQ(model.Options(), options ^ c.bit) << "only this bit changes";
      uint32_t want_display = display;
      uint32_t want_masks = masks;
      if (c.word == &RigEditState::display) want_display ^= c.mirrored;
      if (c.word == &RigEditState::pick_masks) want_masks ^= c.mirrored;
      EXPECT_EQ(model.EditState().display, want_display);
      EXPECT_EQ(model.EditState().pick_masks, want_masks);

      (model.*c.set)(start);
      EXPECT_EQ(model.Options(), options);
      EXPECT_EQ(model.EditState().display, display);
      EXPECT_EQ(model.EditState().pick_masks, masks);
    }
  }
}

TEST_F(DocumentModelTest, RefreshCopiesTheViewSwitchesAndGivesObjectsTheirRecords) {
  MQObject a = AddMesh("a", 2);
  MQObject b = AddMesh("b", 1, 1);
  StubService service;
  service.current_object_only = true;
  model_.SetService(&service);
  model_.SetShowBone(false);
  RigEditState& s = model_.EditState();
  s.display = RigEditState::kShowBones;  // out of step with the options
  s.pick_masks = 0;
  model_.SetOption(MQEXPDOC::kLockRoll, true);
  s.pick_masks = RigEditState::kPickMaskBody;  // Refresh leaves the masks alone

  model_.Refresh();

  EXPECT_EQ(s.display, RigEditState::kShowRoll | RigEditState::kWeightCurrentObjectOnly);
  EXPECT_EQ(s.pick_masks, RigEditState::kPickMaskBody);
  EXPECT_TRUE(HasBoneRecord(a, slots_));
  EXPECT_TRUE(HasBoneRecord(b, slots_));

  service.current_object_only = false;
  model_.Refresh();
  EXPECT_EQ(s.display, RigEditState::kShowRoll);

  // Without a service the switch keeps its value.
  s.display |= RigEditState::kWeightCurrentObjectOnly;
  model_.SetService(nullptr);
  model_.Refresh();
  EXPECT_EQ(s.display, RigEditState::kShowRoll | RigEditState::kWeightCurrentObjectOnly);
  EXPECT_EQ(Evaluations().calls, 0) << "refreshing does not evaluate the pose";
}

TEST_F(DocumentModelTest, ResetDropsTheConverterAndThePoses) {
  std::vector<std::string> log;
  model_.CreateScreenConverter<LoggingConverter>(&log, 1);
  RigEditState& s = model_.EditState();
  AddPose(s, 0, "pose1");
  AddPose(s, 5, "walk");
  s.current_pose_id = 5;
  s.current_pen = 3;
  model_.SetActive(true);

  model_.Reset();

  EXPECT_EQ(model_.ScreenConverter(), nullptr);
  EXPECT_EQ(log, (std::vector<std::string>{"made 1", "gone 1"}));
  EXPECT_TRUE(s.poses.empty());
  EXPECT_EQ(s.current_pose_id, -1);
  EXPECT_EQ(s.current_pen, 0);
  EXPECT_TRUE(model_.IsActive()) << "options stay";
  EXPECT_EQ(model_.Document(), doc_);
}

TEST_F(DocumentModelTest, CreateScreenConverterReplacesTheOldOne) {
  std::vector<std::string> log;
  {
    MQEXPDOC model(Recording());
    LoggingConverter& first = model.CreateScreenConverter<LoggingConverter>(&log, 1);
    EXPECT_EQ(model.ScreenConverter(), &first);
    LoggingConverter& second = model.CreateScreenConverter<LoggingConverter>(&log, 2);
    EXPECT_EQ(model.ScreenConverter(), &second);
    EXPECT_EQ(log, (std::vector<std::string>{"made 1", "gone 1", "made 2"}))
        << "the old converter goes before the new one is made";
  }
  EXPECT_EQ(log.back(), "gone 2") << "the model owns its converter";
}

TEST_F(DocumentModelTest, SnapshotRoundTripRefreshesAndEvaluates) {
  AddMesh("bone", 1);
  MQEXPDOC source(Recording());
  AddPose(source.EditState(), 2, "walk");
  AddPose(source.EditState(), 7, "run");
  source.EditState().pick_masks = RigEditState::kPickMaskRoll;
  ChunkWriter writer;
  source.WriteSnapshot(writer);

  model_.SetDrawBoneRoll(false);
  ASSERT_TRUE(model_.ReadSnapshot(ChunkReader(writer.data())));

  const RigEditState& s = model_.EditState();
  ASSERT_EQ(s.poses.size(), 2u);
  EXPECT_EQ(s.poses[0]->id, 2);
  EXPECT_EQ(std::string(NameOf(s.poses[1]->name)), "run");
  EXPECT_EQ(s.pick_masks, RigEditState::kPickMaskRoll);
  EXPECT_EQ(s.display & (RigEditState::kShowBones | RigEditState::kShowRoll),
            RigEditState::kShowBones)
      << "the refresh after reading applies the model's options";
  EXPECT_EQ(Evaluations().calls, 1);
  EXPECT_EQ(Evaluations().state, &s);
  EXPECT_EQ(Evaluations().pose_id, s.current_pose_id);

  const std::vector<uint8_t> garbage = {1, 2, 3};
  EXPECT_FALSE(model_.ReadSnapshot(ChunkReader(garbage)));
  EXPECT_EQ(s.poses.size(), 2u) << "a refused stream changes nothing";
  EXPECT_EQ(Evaluations().calls, 1);
}

// Undo and redo bring the pick masks back; the switches the panels show
// come back with them, so that the panels show what picking uses.
TEST_F(DocumentModelTest, ASnapshotBringsTheMaskSwitchesBackWithTheMasks) {
  model_.SetLockPivot(true);
  model_.SetLockBody(true);
  ChunkWriter writer;
  model_.WriteSnapshot(writer);
  model_.SetLockPivot(false);
  model_.SetLockBody(false);
  model_.SetLockRoll(true);

  ASSERT_TRUE(model_.ReadSnapshot(ChunkReader(writer.data())));
  EXPECT_EQ(model_.EditState().pick_masks, RigEditState::kPickMaskPivot | RigEditState::kPickMaskBody);
  EXPECT_TRUE(model_.IsLockPivot());
  EXPECT_FALSE(model_.IsLockRoll());
  EXPECT_TRUE(model_.IsLockBody());
}

TEST_F(DocumentModelTest, UpdatePoseMatricesRunsTheEvaluatorOnThisModel) {
  model_.EditState().current_pose_id = 4;
  model_.UpdatePoseMatrices();
  EXPECT_EQ(Evaluations().calls, 1);
  EXPECT_EQ(Evaluations().doc, doc_);
  EXPECT_EQ(Evaluations().slots, &model_.Slots());
  EXPECT_EQ(Evaluations().state, &model_.EditState());
  EXPECT_EQ(Evaluations().pose_id, 4);

  model_.SetDocument(nullptr);
  model_.UpdatePoseMatrices();
  EXPECT_EQ(Evaluations().calls, 1) << "no document, nothing to evaluate";

  MQEXPDOC without(nullptr);
  without.SetDocument(doc_);
  without.UpdatePoseMatrices();  // no evaluator: nothing happens
  EXPECT_EQ(Evaluations().calls, 1);
}

TEST_F(DocumentModelTest, TheEvaluatorForgetsWheneverTheDocumentMayHaveChangedBehindIt) {
  ChunkWriter snapshot;
  model_.WriteSnapshot(snapshot);
  const std::vector<uint8_t> garbage = {1, 2, 3};
  struct Case {
    const char* what;
    std::function<void()> act;
    int forgets;
  };
  const Case cases[] = {
      {"another document", [&] { model_.SetDocument(doc_); }, 1},
      {"closing", [&] { model_.Reset(); }, 1},
      {"a snapshot read back (host undo and redo)",
       [&] { ASSERT_TRUE(model_.ReadSnapshot(ChunkReader(snapshot.data()))); }, 1},
      {"a refused snapshot", [&] { EXPECT_FALSE(model_.ReadSnapshot(ChunkReader(garbage))); }, 0},
      {"a bone made", [&] { model_.MakeBone(nullptr, kMakeChild, {0, 0, 0}, {0, 1, 0}); }, 1},
      {"asked for", [&] { model_.ForgetPoseCache(); }, 1},
      {"options and refresh", [&] { model_.SetShowBone(false); model_.Refresh(); }, 0},
      {"an evaluation", [&] { model_.UpdatePoseMatrices(); }, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Evaluations() = EvaluationLog();
    c.act();
    EXPECT_EQ(Evaluations().forgets, c.forgets);
  }
}

TEST_F(DocumentModelTest, MakeBoneGivesTheNewObjectsTheirRecords) {
  MQObject made = model_.MakeBone(nullptr, kMakeChild, {0, 0, 0}, {0, 2, 0});
  ASSERT_NE(made, nullptr);
  MQObject tail = FirstChild(doc_, made);
  ASSERT_NE(tail, nullptr);
  EXPECT_TRUE(HasBoneRecord(made, slots_));
  EXPECT_TRUE(HasBoneRecord(tail, slots_));
  EXPECT_VEC3_NEAR(ObjectPivot(doc_, tail), FVECTOR3(0, 2, 0), 1e-5f);
}

}  // namespace
