// The interactive host's document session with real plug-in modules: the
// recording test plug-in (a command plug-in that answers as a test asks) and
// Quorvel itself. Files that fail leave the open document as it was.
#include "host/gui/gui_session.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "host/core/plugin_module.h"
#include "recorder_access.h"
#include "tests/io/scratch_settings.h"

namespace {

using mqhost::GuiSession;
using mqhost::PluginModule;

std::string TempPath(const char* name) { return testing::TempDir() + name; }

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

int LiveObjects(const mqhost::Document* document) {
  int n = 0;
  for (int i = 0; i < document->ObjectCount(); ++i) n += document->ObjectAt(i) != nullptr;
  return n;
}

class GuiSessionTest : public testing::Test {
 protected:
  void SetUp() override {
    state_ = recorder_.state();
    ASSERT_NE(state_, nullptr) << QUORVEL_RECORDER_PATH;
    recorder_.Reset();
  }
  // The session with the recorder (and Quorvel, when asked) loaded and the
  // sample arm open.
  void Start(bool with_quorvel = false) {
    std::vector<std::string> paths{QUORVEL_RECORDER_PATH};
    if (with_quorvel) paths.push_back(QUORVEL_PLUGIN_PATH);
    std::vector<std::string> problems;
    session_.LoadPlugins(paths, &problems);
    ASSERT_TRUE(problems.empty()) << problems.front();
    std::string error;
    ASSERT_TRUE(session_.Open(QUORVEL_EXAMPLES_DIR "/arm.mqd", &error)) << error;
    recorder_plugin_ = session_.CommandPlugins().front();
  }
  // The events of this code the recorder saw, with their flag.
  std::vector<int> Flags(int code) const {
    std::vector<int> flags;
    for (int i = 0; i < state_->event_count; ++i) {
      if (state_->events[i].code == code) flags.push_back(state_->events[i].flag);
    }
    return flags;
  }
  void ClickWithUndo() {
    state_->undo_on = MQEVENT_LBUTTON_DOWN;
    mqhost::PointerInput input;
    input.flags = mqhost::kButtonLeft;
    session_.Mouse(MQEVENT_LBUTTON_DOWN, input);
    state_->undo_on = 0;
  }

  recorder::Access recorder_;
  recorder::State* state_ = nullptr;
  quorvel_test::ScratchSettings settings_;
  GuiSession session_{mqhost::Host::Instance()};
  PluginModule* recorder_plugin_ = nullptr;
};

TEST_F(GuiSessionTest, APluginThatCannotLoadOrRefusesToStartIsLeftOut) {
  state_->initialize_answer = FALSE;
  std::vector<std::string> problems;
  session_.LoadPlugins({TempPath("no-such-plugin.dll"), QUORVEL_RECORDER_PATH}, &problems);
  ASSERT_EQ(problems.size(), 2u);
  EXPECT_NE(problems[0].find("no-such-plugin"), std::string::npos) << problems[0];
  EXPECT_NE(problems[1].find("did not initialise"), std::string::npos) << problems[1];
  EXPECT_TRUE(session_.CommandPlugins().empty());
  std::string error;
  EXPECT_TRUE(session_.NewDocument(&error)) << "the host carries on without them";
}

TEST_F(GuiSessionTest, ChoosingACommandDeactivatesTheOneBefore) {
  Start(/*with_quorvel=*/true);
  const std::vector<PluginModule*> commands = session_.CommandPlugins();
  ASSERT_EQ(commands.size(), 2u);
  EXPECT_TRUE(session_.Activate(commands[0]));
  EXPECT_EQ(session_.active(), commands[0]);
  EXPECT_TRUE(session_.Activate(commands[1]));
  EXPECT_EQ(session_.active(), commands[1]);
  EXPECT_EQ(Flags(MQEVENT_ACTIVATE), (std::vector<int>{1, 0})) << "the recorder was taken, then given up";
  // Events now go to Quorvel only.
  const int seen = state_->event_count;
  mqhost::PointerInput input;
  session_.Mouse(MQEVENT_MOUSE_MOVE, input);
  EXPECT_EQ(state_->event_count, seen);
}

TEST_F(GuiSessionTest, ThePluginsAnswerDecidesWhetherTheHostActs) {
  Start();
  mqhost::PointerInput input;
  EXPECT_FALSE(session_.Mouse(MQEVENT_MOUSE_MOVE, input)) << "no command is active";
  ASSERT_TRUE(session_.Activate(recorder_plugin_));
  EXPECT_TRUE(session_.Mouse(MQEVENT_RBUTTON_DOWN, input));
  EXPECT_TRUE(session_.Key(true, 'A', 0));
  state_->input_answer = FALSE;
  EXPECT_FALSE(session_.Mouse(MQEVENT_RBUTTON_DOWN, input));
  EXPECT_FALSE(session_.Key(true, 'A', 0));
}

TEST_F(GuiSessionTest, FilesThatFailLeaveTheDocumentAsItWas) {
  Start();
  mqhost::Document* before = session_.document();
  const int objects = LiveObjects(before);
  const std::string bad_obj = TempPath("bad-indices.obj");
  WriteText(bad_obj, "v 0 0 0\nv 1 0 0\nf 1 2 9\n");
  const std::string bad_document = TempPath("bad-document.mqd");
  WriteText(bad_document, "<MQHostDocument version=\"1\"><Objects><Object");
  for (const std::string& path : {TempPath("missing.mqd"), bad_document, bad_obj}) {
    std::string error;
    EXPECT_FALSE(session_.Open(path, &error)) << path;
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(session_.document(), before);
    EXPECT_EQ(session_.path(), QUORVEL_EXAMPLES_DIR "/arm.mqd");
  }
  std::string error;
  EXPECT_FALSE(session_.ImportObj(bad_obj, &error));
  EXPECT_EQ(LiveObjects(session_.document()), objects);
  EXPECT_FALSE(session_.modified());
  EXPECT_FALSE(session_.Save(TempPath("no-such-folder/x.mqd"), &error));
  EXPECT_EQ(session_.path(), QUORVEL_EXAMPLES_DIR "/arm.mqd");
  std::remove(bad_obj.c_str());
  std::remove(bad_document.c_str());
}

TEST_F(GuiSessionTest, ModifiedFollowsTheUndoStateAgainstTheSavedOne) {
  Start();
  ASSERT_TRUE(session_.Activate(recorder_plugin_));
  EXPECT_FALSE(session_.modified());
  EXPECT_FALSE(session_.CanUndo());
  ClickWithUndo();
  EXPECT_TRUE(session_.modified()) << "a plug-in recorded a change";
  ASSERT_TRUE(session_.Undo()) << "the opened state is there to go back to";
  EXPECT_FALSE(session_.modified());
  ASSERT_TRUE(session_.Redo());
  EXPECT_TRUE(session_.modified());

  const std::string saved = TempPath("gui-session-saved.mqd");
  std::string error;
  ASSERT_TRUE(session_.Save(saved, &error)) << error;
  EXPECT_FALSE(session_.modified());
  EXPECT_EQ(session_.path(), saved);
  ASSERT_TRUE(session_.Undo());
  EXPECT_TRUE(session_.modified()) << "undone past the saved state";

  ASSERT_TRUE(session_.Open(saved, &error)) << error;
  EXPECT_EQ(LiveObjects(session_.document()), 2);
  EXPECT_FALSE(session_.modified());
  EXPECT_EQ(session_.active(), recorder_plugin_) << "the command stays taken";
  std::remove(saved.c_str());
}

TEST_F(GuiSessionTest, ImportAddsObjectsAsOneUndoableStep) {
  Start();
  std::string error;
  ASSERT_TRUE(session_.ImportObj(QUORVEL_EXAMPLES_DIR "/arm.obj", &error)) << error;
  EXPECT_EQ(LiveObjects(session_.document()), 4);
  EXPECT_TRUE(session_.modified());
  ASSERT_TRUE(session_.Undo());
  EXPECT_EQ(LiveObjects(session_.document()), 2);
  EXPECT_FALSE(session_.modified());

  const std::string exported = TempPath("gui-session-export.obj");
  ASSERT_TRUE(session_.ExportObj(exported, &error)) << error;
  ASSERT_TRUE(session_.Open(exported, &error)) << error;
  EXPECT_EQ(LiveObjects(session_.document()), 2);
  std::remove(exported.c_str());
}

TEST_F(GuiSessionTest, TheVisibleBoxHoldsEveryShownVertex) {
  Start();
  FVECTOR3 lo, hi;
  ASSERT_TRUE(session_.VisibleBox(&lo, &hi));
  EXPECT_LT(lo.x, hi.x);
  mqhost::Document* document = session_.document();
  for (int i = 0; i < document->ObjectCount(); ++i) document->ObjectAt(i)->visible = 0;
  EXPECT_FALSE(session_.VisibleBox(&lo, &hi));
}

}  // namespace
