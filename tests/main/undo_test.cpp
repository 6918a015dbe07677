// Undo records, the undo buffer and the main object's undo handlers, run on
// the substitute host with a real document model.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "deform/pose_evaluation.h"
#include "main/undo.h"
#include "main/undo_handlers.h"
#include "math/log.h"
#include "platform/codepage.h"
#include "rig/chunk_stream.h"
#include "rig/document_model.h"
#include "rig/rig_access.h"
#include "tests/rig/rig_fixture.h"

using namespace quorvel;

namespace {

void CaptureLine(const char* line, void* user) {
  static_cast<std::vector<std::string>*>(user)->emplace_back(line);
}

template <typename... Args>
std::string Format(const char* fmt, Args... args) {
  char line[256];
  std::snprintf(line, sizeof line, fmt, args...);
  return line;
}

unsigned int LogAddress(const void* p) {
  return static_cast<unsigned int>(reinterpret_cast<std::uintptr_t>(p));
}

void AddPose(RigEditState& state, int32_t id, const std::string& name) {
  auto pose = std::make_unique<QuorvelPose>();
  pose->id = id;
  SetName(pose->name, name);
  state.poses.push_back(std::move(pose));
  state.current_pose_id = id;
}

// What a snapshot carries, as text, to compare states.
std::string Describe(const RigEditState& s) {
  std::ostringstream os;
  os << "words " << s.pick_masks << " " << s.display << " pose " << s.current_pose_id << "\nposes";
  for (const auto& pose : s.poses) os << " " << pose->id << ":" << NameOf(pose->name);
  os << "\npalettes";
  for (const VWeight& palette : s.palettes.palettes) {
    const auto* b = reinterpret_cast<const uint8_t*>(&palette);
    for (std::size_t i = 0; i < sizeof palette; ++i) os << " " << int(b[i]);
  }
  return os.str();
}

std::vector<uint8_t> SnapshotBytes(const MQEXPDOC& model) {
  ChunkWriter writer;
  model.WriteSnapshot(writer);
  return writer.data();
}

// Stands in for the main object; notes each service the handlers use.
class RecordingHooks : public MED_UNDO_HOOKS {
 public:
  bool enabled = true;
  bool active = true;
  MQDocument stored = nullptr;
  std::vector<std::string> steps;

  bool IsEnabled() const override { return enabled; }
  bool IsActive() const override { return active; }
  void StoreDocument(MQDocument doc) override {
    stored = doc;
    steps.push_back("store");
  }
  void MarkRenderingCopies() override { steps.push_back("mark copies"); }
  void DeleteRenderingCopies() override { steps.push_back("delete copies"); }
  void ClearSelection() override { steps.push_back("clear selection"); }
  void Redraw() override { steps.push_back("redraw"); }
  void RefreshPanels() override { steps.push_back("refresh panels"); }
};

class UndoTest : public RigTest {
 protected:
  void SetUp() override {
    RigTest::SetUp();
    model_.SetDocument(doc_);
    model_.SetSlots(slots_);
    model_.Refresh();
    previous_sink_ = LogSetSink(&CaptureLine, &lines_);
  }
  void TearDown() override {
    LogSetSink(previous_sink_.callback, previous_sink_.user);
    RigTest::TearDown();
  }

  RigEditState& State() { return model_.EditState(); }
  std::vector<int32_t> PoseIds() {
    std::vector<int32_t> ids;
    for (const auto& pose : State().poses) ids.push_back(pose->id);
    return ids;
  }

  MQEXPDOC model_{std::make_unique<PoseEvaluator>()};
  std::vector<std::string> lines_;
  LogSink previous_sink_{};
};

// ---------------------------------------------------------------- records

// A record that notes its life in a shared set and answers Restore as told.
class TrackedRecord : public UNDOBASE {
 public:
  TrackedRecord(std::set<int>* live, int tag, BOOL answer = TRUE)
      : live_(live), tag_(tag), answer_(answer) {
    live_->insert(tag_);
  }
  ~TrackedRecord() override { live_->erase(tag_); }
  int GetSize() const override { return 0; }
  BOOL Restore(MQEXPDOC*) override {
    ++restores;
    return answer_;
  }
  BOOL Capture(MQEXPDOC*) override { return TRUE; }
  int Tag() const { return tag_; }
  int restores = 0;

 private:
  std::set<int>* live_;
  int tag_;
  BOOL answer_;
};

std::vector<int> StatesOf(const UNDOBUFF2& buffer) {
  std::vector<int> states;
  for (std::size_t i = 0; i < buffer.Count(); ++i) states.push_back(buffer.At(i)->Record()->state);
  return states;
}

TEST(UndoBuffer, PushPrunesTheStatesTheHostCanNoLongerReach) {
  struct Case {
    const char* what;
    std::vector<int> existing;
    int state;
    int host_size;
    std::vector<int> kept;  // of `existing`, in order
  };
  const Case cases[] = {
      {"keeps the host_size states before the new one", {1, 2, 3, 4, 5, 6}, 5, 3, {2, 3, 4}},
      {"host size 1 prunes nothing", {1, 2, 3}, 5, 1, {1, 2, 3}},
      {"host size 0 prunes nothing", {1, 2, 3}, 5, 0, {1, 2, 3}},
      {"state 0 prunes nothing", {3, 4, 7}, 0, 5, {3, 4, 7}},
      {"a negative state prunes nothing", {3, 4}, -1, 5, {3, 4}},
      {"empty buffer", {}, 5, 3, {}},
      {"a lower state drops the redo branch", {0, 1, 2, 3, 4}, 2, 10, {0, 1}},
      {"the same state replaces the older record", {1, 2, 2}, 2, 10, {1}},
      {"order is kept while compacting", {4, 1, 9, 3, 2, 8}, 6, 4, {4, 3, 2}},
      {"a huge host size keeps every lower state", {-100, 0, 5, 7}, 6, 2147483647, {-100, 0, 5}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::set<int> live;
    UNDOBUFF2 buffer;
    for (std::size_t i = 0; i < c.existing.size(); ++i) {
      buffer.Push(0, 1, std::make_unique<TrackedRecord>(&live, int(i)));
      buffer.At(i)->Record()->state = c.existing[i];  // placed without pruning
    }
    buffer.Push(c.state, c.host_size, std::make_unique<TrackedRecord>(&live, 1000));

    std::vector<int> expected = c.kept;
    expected.push_back(c.state);
    EXPECT_EQ(StatesOf(buffer), expected);
    EXPECT_EQ(live.size(), buffer.Count()) << "pruned records are destroyed";
    for (std::size_t i = 0; i < buffer.Count(); ++i) {
      EXPECT_EQ(buffer.At(i)->Owner(), &buffer);
      EXPECT_EQ(live.count(static_cast<TrackedRecord*>(buffer.At(i)->Record())->Tag()), 1u);
    }
  }
}

TEST(UndoBuffer, NullPushClearAndDestructionOwnTheRecords) {
  std::set<int> live;
  {
    UNDOBUFF2 buffer;
    buffer.Push(1, 5, std::make_unique<TrackedRecord>(&live, 1));
    buffer.Push(2, 5, nullptr);
    EXPECT_EQ(StatesOf(buffer), std::vector<int>{1}) << "a null record changes nothing";
    buffer.Clear();
    EXPECT_EQ(buffer.Count(), 0u);
    EXPECT_TRUE(live.empty());
    buffer.Push(3, 5, std::make_unique<TrackedRecord>(&live, 3));
    buffer.Push(4, 5, std::make_unique<TrackedRecord>(&live, 4));
    EXPECT_EQ(live, (std::set<int>{3, 4}));
  }
  EXPECT_TRUE(live.empty()) << "the buffer's destruction destroys its records";
}

TEST(UndoBuffer, FindAndRestoreStateUseTheOldestMatchingRecord) {
  std::set<int> live;
  UNDOBUFF2 buffer;
  // Pushed with host size 1 so that nothing is pruned and duplicates stay.
  const struct {
    int state;
    BOOL answer;
  } records[] = {{1, TRUE}, {2, FALSE}, {2, TRUE}, {3, TRUE}};
  for (int i = 0; i < 4; ++i) {
    buffer.Push(records[i].state, 1, std::make_unique<TrackedRecord>(&live, i, records[i].answer));
  }
  ASSERT_EQ(StatesOf(buffer), (std::vector<int>{1, 2, 2, 3}));

  const struct {
    int state;
    int found_tag;  // -1: none
  } finds[] = {{1, 0}, {2, 1}, {3, 3}, {0, -1}, {4, -1}, {-1, -1}};
  for (const auto& f : finds) {
    SCOPED_TRACE(f.state);
    IUNDOBASE* slot = buffer.Find(f.state);
    if (f.found_tag < 0) {
      EXPECT_EQ(slot, nullptr);
      EXPECT_EQ(buffer.RestoreState(f.state, nullptr), FALSE);
      continue;
    }
    ASSERT_NE(slot, nullptr);
    auto* record = static_cast<TrackedRecord*>(slot->Record());
    EXPECT_EQ(record->Tag(), f.found_tag);
    const int before = record->restores;
    EXPECT_EQ(buffer.RestoreState(f.state, nullptr), records[f.found_tag].answer)
        << "the record's own answer";
    EXPECT_EQ(record->restores, before + 1);
  }
  int total = 0;
  for (std::size_t i = 0; i < buffer.Count(); ++i) {
    total += static_cast<TrackedRecord*>(buffer.At(i)->Record())->restores;
  }
  EXPECT_EQ(total, 3) << "unknown states restore nothing";
}

// ---------------------------------------------------------------- snapshots

TEST_F(UndoTest, CaptureKeepsExactlyTheWrittenBytesAsTheStreamGrows) {
  const struct {
    int poses;
    std::size_t name_length;
    bool past_initial;  // the snapshot outgrows the stream's first 65536 bytes
  } cases[] = {{0, 0, false}, {3, 12, false}, {20, 255, false}, {400, 255, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.poses);
    State().poses.clear();
    // The list is filled beyond the model's limits only to make the stream large.
    for (int i = 0; i < c.poses; ++i) AddPose(State(), i, std::string(c.name_length, char('a' + i % 26)));
    const std::vector<uint8_t> expected = SnapshotBytes(model_);
    EXPECT_EQ(expected.size() > ChunkWriter::kInitialCapacity, c.past_initial);

    lines_.clear();
    UNDOSUB record(&model_);
    EXPECT_FALSE(record.CaptureFailed());
    ASSERT_EQ(record.GetSize(), static_cast<int>(expected.size()));
    ASSERT_NE(record.Data(), nullptr);
    EXPECT_EQ(std::vector<uint8_t>(record.Data(), record.Data() + record.GetSize()), expected);
    EXPECT_EQ(lines_, std::vector<std::string>{Format("SaveUndoBuffer:buff(%08x),size(%08x)",
                                                      LogAddress(record.Data()),
                                                      static_cast<unsigned int>(expected.size()))});
  }
}

TEST_F(UndoTest, CaptureAgainReplacesTheHeldSnapshot) {
  AddPose(State(), 0, "first");
  UNDOSUB record(&model_);
  const std::vector<uint8_t> first(record.Data(), record.Data() + record.GetSize());
  AddPose(State(), 5, "second");
  EXPECT_EQ(record.Capture(&model_), TRUE);
  const std::vector<uint8_t> second(record.Data(), record.Data() + record.GetSize());
  EXPECT_NE(first, second);
  EXPECT_EQ(second, SnapshotBytes(model_));
  EXPECT_EQ(record.Capture(nullptr), FALSE);
  EXPECT_EQ(std::vector<uint8_t>(record.Data(), record.Data() + record.GetSize()), second)
      << "a refused capture keeps what was held";
}

TEST_F(UndoTest, RestoreAnswersForEachKindOfRecord) {
  AddPose(State(), 2, "held");
  const std::vector<uint8_t> good = SnapshotBytes(model_);
  std::vector<uint8_t> cut = good;
  cut.resize(cut.size() - 3);  // a chunk length now runs past the end
  const std::vector<uint8_t> empty;

  const struct {
    const char* what;
    const std::vector<uint8_t>* bytes;
    bool with_model;
    BOOL answer;
    bool changes;
  } cases[] = {
      {"a snapshot comes back", &good, true, TRUE, true},
      {"an empty snapshot succeeds without change", &empty, true, TRUE, false},
      {"a refused stream is a failure", &cut, true, FALSE, false},
      {"no model", &good, false, FALSE, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    State().poses.clear();
    AddPose(State(), 7, "current");
    State().pick_masks = 3;
    const std::string before = Describe(State());

    UNDOSUB record;
    record.Assign(c.bytes->data(), static_cast<int>(c.bytes->size()));
    EXPECT_EQ(record.GetSize(), static_cast<int>(c.bytes->size()));
    EXPECT_EQ(record.Restore(c.with_model ? &model_ : nullptr), c.answer);
    if (c.changes) {
      EXPECT_EQ(SnapshotBytes(model_), good);
    } else {
      EXPECT_EQ(Describe(State()), before);
    }
  }
}

TEST_F(UndoTest, BufferRestoresEachStatesPosesPalettesAndPoseMatrices) {
  MQObject bone = AddObject("bone");
  model_.Refresh();
  OPoseTSQ walk, run;
  walk.trs = {1.0f, 0.0f, 0.0f};
  run.trs = {0.0f, 5.0f, 0.0f};
  ASSERT_TRUE(SetPoseTSQ(bone, slots_, 0, walk));
  ASSERT_TRUE(SetPoseTSQ(bone, slots_, 1, run));

  // Three edits, each recorded the way the host reports them.
  RecordingHooks hooks;
  UNDOBUFF2 buffer;
  UndoResetBuffer(buffer, &model_);
  std::vector<std::string> described{Describe(State())};
  std::vector<FVECTOR3> pivots{{0.0f, 0.0f, 0.0f}};

  AddPose(State(), 0, "walk");
  State().palettes.palettes[2] = Weights({{Uid(bone), 0.25f}});
  UndoOnUpdateUndo(hooks, buffer, &model_, doc_, 1, 10);
  described.push_back(Describe(State()));
  pivots.push_back(walk.trs);

  AddPose(State(), 1, "run");
  State().pick_masks = RigEditState::kPickMaskRoll;
  State().palettes.palettes[5] = Weights({{Uid(bone), 1.0f}});
  UndoOnUpdateUndo(hooks, buffer, &model_, doc_, 2, 10);
  described.push_back(Describe(State()));
  pivots.push_back(run.trs);

  State().poses.erase(State().poses.begin());
  State().current_pose_id = 1;
  State().palettes.palettes[2] = Weights({});
  UndoOnUpdateUndo(hooks, buffer, &model_, doc_, 3, 10);
  described.push_back(Describe(State()));
  pivots.push_back(run.trs);
  ASSERT_EQ(StatesOf(buffer), (std::vector<int>{0, 1, 2, 3}));

  for (int state : {1, 3, 0, 2, 1, 3}) {
    SCOPED_TRACE(state);
    ASSERT_EQ(buffer.RestoreState(state, &model_), TRUE);
    EXPECT_EQ(Describe(State()), described[state]);
    FMATRIX world = GetWorldMatrix(bone, slots_);
    EXPECT_EQ((FVECTOR3{world.m[12], world.m[13], world.m[14]}), pivots[state])
        << "the restored current pose is evaluated";
  }
}

// ---------------------------------------------------------------- handlers

struct Step {
  const char* name;
  BOOL (*run)(MED_UNDO_HOOKS&, UNDOBUFF2&, MQEXPDOC*, MQDocument, int);
  const char* entry;
  const char* failure_utf8;
};
const Step kSteps[] = {
    {"undo", &UndoOnUndo, "DLMAIN::OnUndo(%08x):state(%d)",
     "\xE3\x82\xA2\xE3\x83\xB3\xE3\x83\x89\xE3\x82\xA5\xE5\xA4\xB1\xE6\x95\x97!!"},
    {"redo", &UndoOnRedo, "DLMAIN::OnRedo(%08x):state(%d)",
     "\xE3\x83\xAA\xE3\x83\x89\xE3\x82\xA5\xE5\xA4\xB1\xE6\x95\x97!!"},
};

TEST_F(UndoTest, UndoAndRedoLogRestoreAndAlwaysRefresh) {
  const struct {
    const char* what;
    bool enabled;
    bool with_model;
    bool active;
    int state;  // 4 is recorded, 9 is not
  } cases[] = {
      {"restored while active", true, true, true, 4},
      {"restored while inactive", true, true, false, 4},
      {"missing while active", true, true, true, 9},
      {"missing while inactive", true, true, false, 9},
      {"disabled", false, true, true, 4},
      {"no model", true, false, true, 4},
  };
  for (const Step& step : kSteps) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(step.name) + ": " + c.what);
      State().poses.clear();
      AddPose(State(), 4, "recorded");
      UNDOBUFF2 buffer;
      buffer.Push(4, 10, std::make_unique<UNDOSUB>(&model_));
      AddPose(State(), 6, "current");
      model_.SetActive(!c.active);
      const std::string current = Describe(State());
      // Added after the last refresh: only a model rebuild gives it a record.
      MQObject late = AddObject("late");

      RecordingHooks hooks;
      hooks.enabled = c.enabled;
      hooks.active = c.active;
      lines_.clear();
      EXPECT_EQ(step.run(hooks, buffer, c.with_model ? &model_ : nullptr, doc_, c.state), FALSE);

      std::vector<std::string> expected_lines{Format(step.entry, LogAddress(doc_), c.state)};
      std::vector<std::string> expected_steps;
      const bool acts = c.enabled && c.with_model;
      const bool found = c.state == 4;
      if (acts) {
        if (!found) {
          expected_lines.push_back(platform::Utf8ToAnsi(step.failure_utf8) + "(" +
                                   std::to_string(c.state) + ")");
        }
        expected_steps = {"store", "mark copies", "clear selection"};
        if (!c.active) expected_steps.push_back("delete copies");
        expected_steps.push_back("redraw");
        expected_steps.push_back("refresh panels");
      }
      EXPECT_EQ(lines_, expected_lines);
      EXPECT_EQ(hooks.steps, expected_steps);
      EXPECT_EQ(hooks.stored, acts ? doc_ : nullptr);
      if (acts && found) {
        EXPECT_EQ(PoseIds(), std::vector<int32_t>{4});
      } else {
        EXPECT_EQ(Describe(State()), current) << "the rig keeps its contents";
      }
      EXPECT_EQ(model_.IsActive(), acts ? c.active : !c.active);
      EXPECT_EQ(HasBoneRecord(late, slots_), acts && (c.active || found))
          << "rebuilt when active (a restore refreshes too)";
      mqhost::ToObject(late)->object_data.clear();
    }
  }
}

TEST_F(UndoTest, UpdateUndoPushesASnapshotWhenEnabledWithAModel) {
  const struct {
    const char* what;
    bool enabled;
    bool with_model;
    int state;
    int size;
    std::vector<int> states_after;
  } cases[] = {
      {"pushed and pruned", true, true, 3, 2, {1, 2, 3}},
      {"pushed without pruning", true, true, 7, 1, {0, 1, 2, 3, 4, 7}},
      {"disabled", false, true, 3, 2, {0, 1, 2, 3, 4}},
      {"no model", true, false, 3, 2, {0, 1, 2, 3, 4}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    UNDOBUFF2 buffer;
    for (int s = 0; s <= 4; ++s) buffer.Push(s, 1, std::make_unique<UNDOSUB>(&model_));
    State().poses.clear();
    AddPose(State(), c.state % 20, "edited");
    RecordingHooks hooks;
    hooks.enabled = c.enabled;
    lines_.clear();
    UndoOnUpdateUndo(hooks, buffer, c.with_model ? &model_ : nullptr, doc_, c.state, c.size);

    ASSERT_FALSE(lines_.empty());
    EXPECT_EQ(lines_[0], Format("DLMAIN::OnUpdateUndo(%08x):state(%d),size(%d)", LogAddress(doc_),
                                c.state, c.size));
    EXPECT_EQ(StatesOf(buffer), c.states_after);
    const bool acts = c.enabled && c.with_model;
    EXPECT_EQ(hooks.steps, acts ? std::vector<std::string>{"store"} : std::vector<std::string>{});
    EXPECT_EQ(lines_.size(), acts ? 2u : 1u) << "a capture logs its own line";
    if (acts) {
      auto* pushed = static_cast<UNDOSUB*>(buffer.Find(c.state)->Record());
      EXPECT_EQ(std::vector<uint8_t>(pushed->Data(), pushed->Data() + pushed->GetSize()),
                SnapshotBytes(model_));
    }
  }
}

TEST_F(UndoTest, HostHistoryWalk) {
  RecordingHooks hooks;
  UNDOBUFF2 buffer;
  UndoResetBuffer(buffer, &model_);
  std::vector<std::string> described{Describe(State())};
  for (int state = 1; state <= 3; ++state) {
    AddPose(State(), state, "p" + std::to_string(state));
    UndoOnUpdateUndo(hooks, buffer, &model_, doc_, state, 10);
    described.push_back(Describe(State()));
  }

  // Undo twice, redo once: each reached state comes back.
  UndoOnUndo(hooks, buffer, &model_, doc_, 2);
  EXPECT_EQ(Describe(State()), described[2]);
  UndoOnUndo(hooks, buffer, &model_, doc_, 1);
  EXPECT_EQ(Describe(State()), described[1]);
  UndoOnRedo(hooks, buffer, &model_, doc_, 2);
  EXPECT_EQ(Describe(State()), described[2]);

  // A new edit at state 3 replaces the redo branch: redoing to it gives the
  // new snapshot, never the old one.
  State().pick_masks = RigEditState::kPickMaskBody;
  UndoOnUpdateUndo(hooks, buffer, &model_, doc_, 3, 10);
  const std::string replaced = Describe(State());
  ASSERT_NE(replaced, described[3]);
  UndoOnUndo(hooks, buffer, &model_, doc_, 2);
  UndoOnRedo(hooks, buffer, &model_, doc_, 3);
  EXPECT_EQ(Describe(State()), replaced);

  // With a host history of 2, states 0 and 1 fall out; undoing to one fails,
  // keeps the rig and still empties the selection.
  AddPose(State(), 9, "late");
  UndoOnUpdateUndo(hooks, buffer, &model_, doc_, 4, 2);
  EXPECT_EQ(StatesOf(buffer), (std::vector<int>{2, 3, 4}));
  const std::string before = Describe(State());
  hooks.steps.clear();
  lines_.clear();
  UndoOnUndo(hooks, buffer, &model_, doc_, 1);
  EXPECT_EQ(Describe(State()), before);
  ASSERT_EQ(lines_.size(), 2u);
  EXPECT_EQ(lines_[1], platform::Utf8ToAnsi(kSteps[0].failure_utf8) + "(1)");
  EXPECT_NE(std::find(hooks.steps.begin(), hooks.steps.end(), "clear selection"), hooks.steps.end());
}

}  // namespace
