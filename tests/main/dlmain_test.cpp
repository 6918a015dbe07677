// The main object driven by host events on the substitute host: its life,
// the enable switch, documents, modes, panels, input routing, deferred calls
// and undo through the host's own undo states.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/main/main_fixture.h"
#include "rig/pose_list.h"
#include "rig/rig_access.h"
#include "rig/rig_document.h"
#include "rig/slot_table.h"
#include "rig/weight_record.h"
#include "tests/rig/rig_fixture.h"
#include "platform/module.h"
#include "tools/handle.h"
#include "tools/selection.h"

namespace {

using quorvel::OBase;
using quorvel_test::MainTest;

// ---------------------------------------------------------------- a processor that records

struct ProcessorCall {
  std::string op;
  int mode;
  BUTTON_STATE state;
  int key;
  IDLMAIN* service;
};

struct ProcessorLog {
  std::vector<ProcessorCall> calls;
  std::vector<int> made;       // modes a processor was made for
  std::vector<int> destroyed;  // modes whose processor was destroyed
  int key_answer = 0;
};

ProcessorLog& Processors() {
  static ProcessorLog log;
  return log;
}

class RecordingProcessor : public MED_COMPROC_BASE {
 public:
  explicit RecordingProcessor(int mode) : mode_(mode) { Processors().made.push_back(mode); }
  ~RecordingProcessor() override { Processors().destroyed.push_back(mode_); }

  int OnDraw(MED_COMPROC_CALLBACK_BASE& cb) override { return Note("draw", cb); }
  int OnRightButtonDown(MED_COMPROC_CALLBACK_BASE& cb) override { return Note("right down", cb); }
  int OnRightButtonUp(MED_COMPROC_CALLBACK_BASE& cb) override { return Note("right up", cb); }
  int OnRightButtonMove(MED_COMPROC_CALLBACK_BASE& cb) override { return Note("right move", cb); }
  int OnLeftButtonDown(MED_COMPROC_CALLBACK_BASE& cb) override { return Note("left down", cb); }
  int OnLeftButtonMove(MED_COMPROC_CALLBACK_BASE& cb) override { return Note("left move", cb); }
  int OnLeftButtonUp(MED_COMPROC_CALLBACK_BASE& cb) override { return Note("left up", cb); }
  int OnMouseMove(MED_COMPROC_CALLBACK_BASE& cb) override { return Note("move", cb); }
  int OnMouseWheel(MED_COMPROC_CALLBACK_BASE& cb) override { return Note("wheel", cb); }
  int OnKeyDown(MED_COMPROC_CALLBACK_BASE& cb) override {
    Note("key", cb);
    return Processors().key_answer;
  }

 private:
  int Note(const char* op, MED_COMPROC_CALLBACK_BASE& cb) {
    auto& record = static_cast<COMPROC_CALLBACK&>(cb);
    Processors().calls.push_back(
        ProcessorCall{op, mode_, record.GetButtonState(), cb.GetKey(), cb.GetService()});
    return 1;  // the main object must not pass this on for mouse events
  }
  int mode_;
};

// Modes 0 to 3 have a processor, mode 4 none.
std::unique_ptr<MED_COMPROC_BASE> MakeRecordingProcessor(int mode) {
  if (mode < MODE_MAKE || mode > MODE_WEIGHT) return nullptr;
  return std::make_unique<RecordingProcessor>(mode);
}

class DlmainTest : public MainTest {
 protected:
  void SetUp() override {
    Processors() = ProcessorLog();
    MainTest::SetUp();
    main_->SetProcessorFactory(&MakeRecordingProcessor);
  }

  std::array<bool, PANEL_COUNT> ShownPanels() const {
    std::array<bool, PANEL_COUNT> shown{};
    for (int id = 0; id < PANEL_COUNT; ++id) shown[id] = ui_->shown(static_cast<PANEL_ID>(id));
    return shown;
  }
  // The windows that must be shown: the command panel and `mode_panels`.
  static std::array<bool, PANEL_COUNT> Expect(std::initializer_list<PANEL_ID> panels) {
    std::array<bool, PANEL_COUNT> shown{};
    for (PANEL_ID id : panels) shown[id] = true;
    return shown;
  }

  void WriteSetting(const char* name, int32_t value) {
    UREGKEY key;
    ASSERT_TRUE(key.OpenWrite(settings_key_.c_str()));
    ASSERT_TRUE(key.WriteDword(name, value));
  }
  int32_t ReadSetting(const char* name, int32_t missing = -99) {
    UREGKEY key;
    int32_t value = missing;
    if (key.OpenRead(settings_key_.c_str())) key.ReadDword(name, &value);
    return value;
  }

  OBase Record(MQObject obj) {
    OBase rec;
    EXPECT_TRUE(quorvel::GetBoneRecord(obj, main_->GetSlots(), rec));
    return rec;
  }
  uint32_t Visibility(MQObject obj) { return mqhost::ToObject(obj)->visible; }
};

// ---------------------------------------------------------------- construction and life

TEST_F(DlmainTest, StartsWithTheDocumentedDefaults) {
  IDLMAIN* service = main_->Service();
  ASSERT_NE(service, nullptr);
  int width = 0, height = 0;
  service->GetViewSize(width, height);
  EXPECT_EQ(width, 640);
  EXPECT_EQ(height, 480);
  struct Case {
    const char* name;
    int value;
    int expected;
  };
  for (const Case& c : {Case{"enable", service->GetEnable(), 1},
                        Case{"enable_next", service->GetEnableNext(), 1},
                        Case{"mode", service->GetMode(), MODE_MOVE},
                        Case{"show_handle", service->GetShowHandle(), 0},
                        Case{"show_local", service->GetShowLocal(), 1},
                        Case{"show_bone", service->GetShowBone(), 1},
                        Case{"show_cur_obj_bone", service->GetShowCurObjBone(), 0},
                        Case{"show_cur_obj_weight", service->GetShowCurObjWeight(), 0},
                        Case{"draw_bone_roll", service->GetDrawBoneRoll(), 1},
                        Case{"ik_type", service->GetIkType(), 0},
                        Case{"tool_opt1", service->GetToolOption(1), 0},
                        Case{"tool_opt2", service->GetToolOption(2), 0},
                        Case{"tool_opt3", service->GetToolOption(3), 0},
                        Case{"tool_opt4", service->GetToolOption(4), 0},
                        Case{"tool_opt5", service->GetToolOption(5), 1},
                        Case{"doc_closed", service->IsDocClosed(), 0},
                        Case{"settings_ready", service->IsSettingsReady(), 0},
                        Case{"dialogcall_cnt", service->GetDialogCallCount(), 0},
                        Case{"active", main_->IsActive(), 0},
                        Case{"initialized", main_->IsInitialized(), 0}}) {
    EXPECT_EQ(c.value, c.expected) << c.name;
  }
  for (int32_t id : main_->GetSlots().id) EXPECT_EQ(id, -1);
  EXPECT_EQ(service->GetModel(), nullptr);
  EXPECT_EQ(main_->Processor(), nullptr);
  EXPECT_EQ(main_->PanelVisible(), (std::array<int, PANEL_COUNT>{}));
  EXPECT_NE(service->GetWinpos(WINPOS_OBJPROP), nullptr);
  EXPECT_EQ(service->GetWinpos(WINPOS_COUNT), nullptr);
  EXPECT_EQ(service->GetWinpos(-1), nullptr);
}

TEST_F(DlmainTest, InitializeReadsTheSettingsAndMakesEachPanelOnceInOrder) {
  WriteSetting("showhandle_flg", 1);
  WriteSetting("iktype_flg", 2);
  WriteSetting("showbone_flg", 0);
  WriteSetting("command_winpos_flg", 1);
  WriteSetting("command_winpos_x", 33);

  EXPECT_EQ(mqhost::SendInitialize(host_, plugin_), TRUE);
  EXPECT_TRUE(main_->IsInitialized());
  EXPECT_TRUE(main_->IsSettingsReady());
  EXPECT_EQ(main_->GetShowHandle(), 1);
  EXPECT_EQ(main_->GetIkType(), 2);
  EXPECT_EQ(main_->GetShowBone(), 0);
  EXPECT_EQ(main_->GetWinpos(WINPOS_COMMAND)->x, 33);
  EXPECT_EQ(main_->GetInstance(), quorvel::platform::PluginModuleInstance());
  EXPECT_EQ(ui_->icons_loaded(), 1);
  for (int id = 0; id < PANEL_COUNT; ++id) {
    const PANEL_ID panel = static_cast<PANEL_ID>(id);
    EXPECT_EQ(ui_->created(panel), PanelHasWindow(panel) ? 1 : 0) << id;
    if (PanelHasWindow(panel)) {
      EXPECT_EQ(ui_->parent(panel), host_.WindowHandle()) << id;
    }
  }

  // Again, and again after an exit: nothing is made twice.
  EXPECT_EQ(mqhost::SendInitialize(host_, plugin_), TRUE);
  EXPECT_EQ(mqhost::SendExit(host_, plugin_), TRUE);
  EXPECT_FALSE(main_->IsInitialized());
  EXPECT_EQ(mqhost::SendInitialize(host_, plugin_), TRUE);
  EXPECT_EQ(ui_->icons_loaded(), 1);
  for (int id = 0; id < PANEL_COUNT; ++id) {
    EXPECT_LE(ui_->created(static_cast<PANEL_ID>(id)), 1) << id;
  }
}

TEST_F(DlmainTest, ExitWritesThePreferencesOnlyAfterInitialize) {
  EXPECT_EQ(mqhost::SendExit(host_, plugin_), TRUE);
  EXPECT_EQ(ReadSetting("showlocal_flg"), -99);

  ASSERT_EQ(mqhost::SendInitialize(host_, plugin_), TRUE);
  main_->Service()->SetShowLocal(0);
  main_->Service()->SetIkType(1);
  main_->GetWinpos(WINPOS_POSELIST)->flg = 1;
  main_->GetWinpos(WINPOS_POSELIST)->y = -7;
  EXPECT_EQ(mqhost::SendExit(host_, plugin_), TRUE);
  EXPECT_EQ(ReadSetting("showlocal_flg"), 0);
  EXPECT_EQ(ReadSetting("iktype_flg"), 1);
  EXPECT_EQ(ReadSetting("enable_flg"), 1);
  EXPECT_EQ(ReadSetting("poselist_winpos_flg"), 1);
  EXPECT_EQ(ReadSetting("poselist_winpos_y"), -7);
}

// ---------------------------------------------------------------- the enable switch

TEST_F(DlmainTest, TheEnableSwitchAsksAndTakesEffectAtTheNextStart) {
  ASSERT_EQ(mqhost::SendInitialize(host_, plugin_), TRUE);
  const std::string disable_text = Ansi(
      "Quorvelを無効にしますか?\nQuorvelの無効はMetaseuoiaが再立ち上げ後に反映されます。\n"
      "Quorvelで編集したデータを無効にした状態で保存しないようにしてください!!\n");
  const std::string enable_text =
      Ansi("Quorvelを有効にしますか?\nQuorvelの有効はMetaseuoiaが再立ち上げ後に反映されます。\n");
  int owner = 0;
  struct Step {
    int answer;
    const std::string* text;
    const char* caption;
    int enable_next_after;
  };
  const Step steps[] = {
      {kAnswerCancel, &disable_text, "Quorvelの無効", 1},
      {kAnswerOk, &disable_text, "Quorvelの無効", 0},
      {kAnswerCancel, &enable_text, "Quorvelの有効", 0},
      {kAnswerOk, &enable_text, "Quorvelの有効", 1},
      {kAnswerOk, &disable_text, "Quorvelの無効", 0},
  };
  for (size_t i = 0; i < std::size(steps); ++i) {
    SCOPED_TRACE(i);
    ui_->QueueAnswer(steps[i].answer);
    main_->Service()->EnableSwitch(&owner);
    ASSERT_EQ(ui_->message_boxes().size(), i + 1);
    const HEADLESS_UI::MessageBoxCall& box = ui_->message_boxes().back();
    EXPECT_EQ(box.owner, &owner);
    EXPECT_EQ(box.text, *steps[i].text);
    EXPECT_EQ(box.caption, Ansi(steps[i].caption));
    EXPECT_EQ(box.buttons, kMessageBoxOkCancel);
    EXPECT_EQ(main_->GetEnableNext(), steps[i].enable_next_after);
    EXPECT_EQ(main_->GetEnable(), 1);
  }

  // The last answer reaches the settings at exit; the next start runs
  // disabled, with the command panel only.
  ASSERT_EQ(mqhost::SendExit(host_, plugin_), TRUE);
  EXPECT_EQ(ReadSetting("enable_flg"), 0);
  StopPlugin();
  StartPlugin();
  ASSERT_EQ(mqhost::SendInitialize(host_, plugin_), TRUE);
  EXPECT_EQ(main_->GetEnable(), 0);
  EXPECT_EQ(main_->GetEnableNext(), 0);
  EXPECT_EQ(ui_->icons_loaded(), 0);
  for (int id = 0; id < PANEL_COUNT; ++id) {
    EXPECT_EQ(ui_->created(static_cast<PANEL_ID>(id)), id == PANEL_COMMAND ? 1 : 0) << id;
  }
}

TEST_F(DlmainTest, DisabledEveryHandlerAnswersAtItsFirstCheck) {
  WriteSetting("enable_flg", 0);
  MQObject bone = AddObject("bone");
  PluginElement()->AddChild("model")->SetAttribute("ver", "10000");
  ASSERT_EQ(mqhost::SendInitialize(host_, plugin_), TRUE);
  ASSERT_EQ(mqhost::SendNewDocument(host_, document_, "test.mqd", plugin_), TRUE);
  ASSERT_EQ(mqhost::SendActivate(host_, document_, true, plugin_), TRUE);

  EXPECT_TRUE(Logged(Format("DLMAIN::OnNewDocument(%08x)", quorvel::LogAddress(doc_))));
  EXPECT_FALSE(Logged(Format("%s(%d)", Ansi("頂点ウェイトサイズ").c_str(), 36)));
  EXPECT_TRUE(document_->kinds().empty());
  EXPECT_EQ(main_->GetModel(), nullptr);
  EXPECT_TRUE(mqhost::ToObject(bone)->object_data.empty());

  const int redraws = host_.redraw_requests();
  mqhost::PointerInput input{10, 20, 0, mqhost::kButtonLeft};
  for (int code = 120; code <= 130; ++code) {
    EXPECT_EQ(mqhost::SendMouse(host_, document_, code, input, plugin_), FALSE) << code;
  }
  EXPECT_EQ(mqhost::SendKey(host_, document_, true, 9, 0, plugin_), FALSE);
  EXPECT_EQ(mqhost::SendKey(host_, document_, true, 'A', 0, plugin_), FALSE);
  EXPECT_EQ(mqhost::SendDraw(host_, document_, 320, 200, plugin_), TRUE);
  int width = 0, height = 0;
  main_->GetViewSize(width, height);
  EXPECT_EQ(width, 640) << "a disabled plug-in does not even note the view size";
  host_.RecordUndo(document_);
  EXPECT_EQ(main_->GetUndoBuffer().Count(), 0u);
  EXPECT_EQ(mqhost::SendKey(host_, document_, false, 'A', 0, plugin_), FALSE);
  const mqhost::SaveOutcome saved = mqhost::SendSaveDocument(host_, document_, "test.mqd", plugin_);
  EXPECT_EQ(saved.answer, TRUE);
  EXPECT_EQ(PluginElement()->FirstChild(nullptr), nullptr) << "nothing is stored";
  EXPECT_EQ(mqhost::SendObjectListChanged(host_, document_, plugin_), TRUE);
  EXPECT_EQ(host_.redraw_requests(), redraws);
  EXPECT_TRUE(Processors().calls.empty());
  // The command panel is still shown, so the switch can be turned back on.
  EXPECT_EQ(ShownPanels(), Expect({PANEL_COMMAND}));
}

// ---------------------------------------------------------------- activation and panels

TEST_F(DlmainTest, ActivationShowsTheModePanelsAndLogsEveryCall) {
  ASSERT_EQ(mqhost::SendInitialize(host_, plugin_), TRUE);
  ASSERT_EQ(mqhost::SendNewDocument(host_, document_, "test.mqd", plugin_), TRUE);
  EXPECT_EQ(ShownPanels(), Expect({}));

  struct Step {
    bool flag;
    int was;
    std::array<bool, PANEL_COUNT> shown;
  };
  const Step steps[] = {
      {true, 0, Expect({PANEL_COMMAND, PANEL_CMDMOVE})},
      {true, 1, Expect({PANEL_COMMAND, PANEL_CMDMOVE})},
      {false, 1, Expect({})},
      {false, 0, Expect({})},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.was);
    log_.clear();
    const int redraws = host_.redraw_requests();
    EXPECT_EQ(mqhost::SendActivate(host_, document_, step.flag, plugin_), step.flag ? TRUE : FALSE);
    EXPECT_TRUE(Logged(Format("Active:old(%d)->now(%d)-------------------------------------------",
                              step.was, step.flag ? 1 : 0)));
    EXPECT_EQ(mqhost::SendIsActivated(host_, document_, plugin_), step.flag ? TRUE : FALSE);
    EXPECT_EQ(ShownPanels(), step.shown);
    EXPECT_EQ(main_->GetModel()->IsActive(), step.flag);
    const bool changed = (step.was != 0) != step.flag;
    EXPECT_EQ(host_.redraw_requests() - redraws, changed ? 1 : 0);
    EXPECT_EQ(Logged("SetActivateModel::dialogcall_cnt(0)"), changed);
  }
}

TEST_F(DlmainTest, MinimisingHidesEveryPanelAndRestoringShowsTheModesSet) {
  OpenActive();
  main_->Service()->SetMode(MODE_POSE);
  const auto pose_panels = Expect(
      {PANEL_COMMAND, PANEL_CMDMOT, PANEL_POSELIST, PANEL_POSEOBJ, PANEL_POSEMORPH});
  EXPECT_EQ(ShownPanels(), pose_panels);
  EXPECT_EQ(main_->PanelVisible()[PANEL_POSE_RESERVED], 1) << "the reserved entry follows its mode";

  EXPECT_EQ(mqhost::SendMinimize(host_, document_, true, plugin_), TRUE);
  EXPECT_EQ(ShownPanels(), Expect({}));
  EXPECT_EQ(main_->PanelVisible(), (std::array<int, PANEL_COUNT>{}));
  EXPECT_EQ(mqhost::SendMinimize(host_, document_, false, plugin_), TRUE);
  EXPECT_EQ(ShownPanels(), pose_panels);

  // Inactive, minimising changes nothing.
  ASSERT_EQ(mqhost::SendActivate(host_, document_, false, plugin_), FALSE);
  EXPECT_EQ(mqhost::SendMinimize(host_, document_, false, plugin_), TRUE);
  EXPECT_EQ(ShownPanels(), Expect({}));
}

// While the host window is minimised nothing brings a panel back, not a mode
// change nor activation; restoring shows what is due by then.
TEST_F(DlmainTest, PanelsStayHiddenWhileMinimisedWhateverHappens) {
  OpenActive();
  EXPECT_EQ(mqhost::SendMinimize(host_, document_, true, plugin_), TRUE);
  main_->Service()->SetMode(MODE_WEIGHT);
  EXPECT_EQ(ShownPanels(), Expect({})) << "after a mode change";
  ASSERT_EQ(mqhost::SendActivate(host_, document_, false, plugin_), FALSE);
  ASSERT_EQ(mqhost::SendActivate(host_, document_, true, plugin_), TRUE);
  EXPECT_EQ(ShownPanels(), Expect({})) << "after activation";
  EXPECT_EQ(main_->PanelVisible(), (std::array<int, PANEL_COUNT>{}));

  // Minimised while inactive, restored while active.
  ASSERT_EQ(mqhost::SendActivate(host_, document_, false, plugin_), FALSE);
  EXPECT_EQ(mqhost::SendMinimize(host_, document_, false, plugin_), TRUE);
  EXPECT_EQ(mqhost::SendMinimize(host_, document_, true, plugin_), TRUE);
  ASSERT_EQ(mqhost::SendActivate(host_, document_, true, plugin_), TRUE);
  EXPECT_EQ(ShownPanels(), Expect({})) << "minimised while inactive";
  EXPECT_EQ(mqhost::SendMinimize(host_, document_, false, plugin_), TRUE);
  EXPECT_EQ(ShownPanels(), Expect({PANEL_COMMAND, PANEL_WEITPEN}));
}

// ---------------------------------------------------------------- documents

TEST_F(DlmainTest, ANewDocumentRegistersTheRigAndStartsTheUndoBuffer) {
  MQObject shown = AddObject("shown");
  MQObject hidden = AddObject("hidden");
  mqhost::ToObject(hidden)->visible = 0;
  ASSERT_EQ(mqhost::SendInitialize(host_, plugin_), TRUE);
  ASSERT_EQ(mqhost::SendActivate(host_, document_, true, plugin_), TRUE);
  main_->Service()->SetMode(MODE_WEIGHT);
  log_.clear();
  ASSERT_EQ(mqhost::SendNewDocument(host_, document_, "test.mqd", plugin_), TRUE);

  // The log lines in order.
  const std::vector<std::string> expected_lines = {
      Format("DLMAIN::OnNewDocument(%08x)", quorvel::LogAddress(doc_)),
      Format("%s(%d)", Ansi("頂点ウェイトサイズ").c_str(), 36),
      Format("%s(%d)", Ansi("モーフターゲットサイズ").c_str(), 16),
      Format("%s(%d)", Ansi("QuorvelObjサイズ").c_str(), 52)};
  ASSERT_GE(log_.size(), expected_lines.size());
  EXPECT_EQ(std::vector<std::string>(log_.begin(), log_.begin() + 4), expected_lines);

  // 104 registrations, in order, with the plug-in's identity.
  const auto registrations = quorvel::RigSlotRegistrations();
  ASSERT_EQ(document_->kinds().size(), registrations.size());
  for (size_t i = 0; i < registrations.size(); ++i) {
    const mqhost::UserDataKind& kind = document_->kinds()[i];
    EXPECT_EQ(kind.name, registrations[i].identifier) << i;
    EXPECT_EQ(kind.bytes_per_element, registrations[i].bytes_per_element) << i;
    EXPECT_EQ(kind.product_id, QUORVEL_PRODUCT_ID);
    EXPECT_EQ(kind.plugin_id, QUORVEL_PLUGIN_ID);
    EXPECT_EQ(kind.type, kind.name[0] == 'V' ? MQUSERDATA_VERTEX : MQUSERDATA_OBJECT) << i;
  }
  EXPECT_EQ(document_->kinds()[0].name, "VWeight");
  EXPECT_EQ(document_->kinds()[22].name, "OWMT");
  EXPECT_EQ(document_->kinds()[103].name, "OPoseMorph19");

  MQEXPDOC* model = main_->GetModel();
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(model->Document(), doc_);
  EXPECT_EQ(model->Service(), main_->Service());
  EXPECT_EQ(model->Slots().id, main_->GetSlots().id);
  EXPECT_TRUE(model->IsActive());
  EXPECT_TRUE(model->IsShowBone());
  EXPECT_NE(model->ScreenConverter(), nullptr);
  EXPECT_EQ(Record(shown).saved_visibility, static_cast<int32_t>(mqhost::kVisibleDefault));
  EXPECT_EQ(Record(hidden).saved_visibility, 0);
  EXPECT_FALSE(main_->IsDocClosed());
  ASSERT_EQ(main_->GetUndoBuffer().Count(), 1u);
  EXPECT_EQ(main_->GetUndoBuffer().At(0)->Record()->state, 0);
  // Active: the mode is back to move, with its processor.
  EXPECT_EQ(main_->GetMode(), MODE_MOVE);
  EXPECT_FALSE(model->IsRenderState());
  ASSERT_EQ(Processors().made.back(), MODE_MOVE);
  EXPECT_NE(main_->Processor(), nullptr);
}

TEST_F(DlmainTest, ADocumentOpenedWhileInactiveKeepsTheModeAndItsTool) {
  OpenActive();
  main_->Service()->SetMode(MODE_POSE);
  ASSERT_EQ(mqhost::SendActivate(host_, document_, false, plugin_), FALSE);
  ASSERT_EQ(mqhost::SendEndDocument(host_, document_, plugin_), TRUE);
  EXPECT_EQ(main_->Processor(), nullptr);

  ASSERT_EQ(mqhost::SendNewDocument(host_, document_, "again.mqd", plugin_), TRUE);
  EXPECT_EQ(main_->GetMode(), MODE_POSE);
  EXPECT_TRUE(main_->GetModel()->IsRenderState());
  EXPECT_NE(main_->Processor(), nullptr) << "the pose tool is back for the next activation";
  EXPECT_FALSE(main_->GetModel()->IsActive());
}

TEST_F(DlmainTest, EndingTheDocumentDropsTheModel) {
  OpenActive();
  ASSERT_EQ(mqhost::SendEndDocument(host_, document_, plugin_), TRUE);
  EXPECT_TRUE(Logged(Format("DLMAIN::OnEndDocument(%08x)", quorvel::LogAddress(doc_))));
  EXPECT_TRUE(main_->IsDocClosed());
  EXPECT_EQ(main_->GetModel(), nullptr);
  EXPECT_EQ(main_->GetEditState(), nullptr);
  EXPECT_EQ(main_->Processor(), nullptr);
  EXPECT_EQ(Processors().destroyed.back(), MODE_MOVE);
  // Without a model every input answers FALSE.
  EXPECT_EQ(mqhost::SendMouse(host_, document_, 120, {}, plugin_), FALSE);
  EXPECT_EQ(mqhost::SendKey(host_, document_, true, 9, 0, plugin_), FALSE);
}

TEST_F(DlmainTest, TheFirstListedPoseIsAppliedWhenTheRigLoads) {
  MQObject root = AddObject("root");
  MQObject arm = AddObject("arm", 1, FVECTOR3{10.0f, 0.0f, 0.0f});
  mqhost::XmlElement* model = PluginElement()->AddChild("model");
  model->SetAttribute("ver", "10000");
  mqhost::XmlElement* first = model->AddChild("pose");
  first->SetAttribute("name", "lift");
  first->AddChild("poseobj")->SetAttribute("obj", "1");
  first->FirstChild("poseobj")->SetAttribute("trs", "0 5 0");
  mqhost::XmlElement* second = model->AddChild("pose");
  second->SetAttribute("name", "drop");
  second->AddChild("poseobj")->SetAttribute("obj", "1");
  second->FirstChild("poseobj")->SetAttribute("trs", "0 -5 0");

  OpenActive();
  const quorvel::RigEditState& state = *main_->GetEditState();
  ASSERT_EQ(quorvel::PoseCount(state), 2);
  EXPECT_STREQ(quorvel::CurrentPose(state)->name, "lift")
      << "the reader leaves the last pose current; opening selects the first";
  const FMATRIX world = quorvel::GetWorldMatrix(arm, main_->GetSlots());
  EXPECT_FLOAT_EQ(world.m[13], 5.0f);
  EXPECT_FLOAT_EQ(quorvel::GetWorldMatrix(root, main_->GetSlots()).m[13], 0.0f);
}

TEST_F(DlmainTest, ShiftHeldSkipsLoadingAndSaving) {
  MQObject bone = AddObject("bone");
  mqhost::XmlElement* model = PluginElement()->AddChild("model");
  model->SetAttribute("ver", "10000");
  model->AddChild("pose")->SetAttribute("name", "kept");
  ASSERT_EQ(mqhost::SendInitialize(host_, plugin_), TRUE);
  {
    mqhost::HeldKey shift(0x10);
    ASSERT_EQ(mqhost::SendNewDocument(host_, document_, "test.mqd", plugin_), TRUE);
  }
  EXPECT_TRUE(Logged(Ansi("Quorvel情報をロードしません")));
  ASSERT_NE(main_->GetModel(), nullptr);
  EXPECT_EQ(quorvel::PoseCount(*main_->GetEditState()), 0);
  EXPECT_TRUE(quorvel::HasBoneRecord(bone, main_->GetSlots())) << "everything else happens";

  quorvel::NewPose(*main_->GetModel());
  {
    mqhost::HeldKey shift(0x10);
    EXPECT_EQ(mqhost::SendSaveDocument(host_, document_, "test.mqd", plugin_).answer, TRUE);
  }
  EXPECT_TRUE(Logged(Format("DLMAIN::OnSaveDocument(%08x)", quorvel::LogAddress(doc_))));
  EXPECT_TRUE(Logged(Ansi("セーブしません")));
  EXPECT_EQ(PluginElement()->FirstChild(nullptr), nullptr);

  // Without Shift the same document saves its one pose.
  EXPECT_EQ(mqhost::SendSaveDocument(host_, document_, "test.mqd", plugin_).answer, TRUE);
  ASSERT_NE(PluginElement()->FirstChild("model"), nullptr);
  EXPECT_NE(PluginElement()->FirstChild("model")->FirstChild("pose"), nullptr);
}

TEST_F(DlmainTest, AModelOfAnOlderVersionLoadsNothing) {
  MQObject bone = AddObject("bone");
  mqhost::XmlElement* model = PluginElement()->AddChild("model");
  model->SetAttribute("ver", "9999");
  model->AddChild("pose")->SetAttribute("name", "old");
  mqhost::XmlElement* obj = model->AddChild("obj");
  obj->SetAttribute("obj", "0");
  obj->SetAttribute("vwcol", "1 2 3");
  OpenActive();
  EXPECT_TRUE(Logged(Ansi("対応外の形式です!!")));
  EXPECT_EQ(quorvel::PoseCount(*main_->GetEditState()), 0);
  const UCOLOR colour = quorvel::GetWeightColour(bone, main_->GetSlots());
  EXPECT_FALSE(colour.r == 1 && colour.g == 2 && colour.b == 3);
}

TEST_F(DlmainTest, ObjectListChangesRebuildTheModelWhileWorking) {
  OpenActive();
  MQObject late = AddObject("late");
  EXPECT_FALSE(quorvel::HasBoneRecord(late, main_->GetSlots()));
  const int redraws = host_.redraw_requests();
  const int views = host_.refresh_count();
  ui_->ResetRefreshCounts();
  ASSERT_EQ(mqhost::SendObjectListChanged(host_, document_, plugin_), TRUE);
  EXPECT_TRUE(Logged(Format("DLMAIN::OnUpdateObjectList(%08x)", quorvel::LogAddress(doc_))));
  EXPECT_TRUE(quorvel::HasBoneRecord(late, main_->GetSlots()));
  EXPECT_EQ(host_.redraw_requests() - redraws, 1);
  EXPECT_EQ(host_.refresh_count() - views, 1);
  EXPECT_EQ(ui_->refreshed(PANEL_COMMAND), 1);

  // Inactive, the model is left as it is.
  ASSERT_EQ(mqhost::SendActivate(host_, document_, false, plugin_), FALSE);
  MQObject later = AddObject("later");
  ASSERT_EQ(mqhost::SendObjectListChanged(host_, document_, plugin_), TRUE);
  EXPECT_FALSE(quorvel::HasBoneRecord(later, main_->GetSlots()));
}

// ---------------------------------------------------------------- modes

TEST_F(DlmainTest, PoseModeHidesTheObjectsAndLeavingItRestoresEachOne) {
  MQObject a = AddObject("a");
  MQObject b = AddObject("b");
  mqhost::ToObject(b)->visible = 0;
  OpenActive();
  mqhost::ToObject(a)->visible = 5;  // changed after opening: saved on entering pose mode

  main_->Service()->SetMode(MODE_POSE);
  EXPECT_EQ(Visibility(a), 0u);
  EXPECT_EQ(Visibility(b), 0u);
  EXPECT_TRUE(main_->GetModel()->IsRenderState());
  main_->Service()->SetMode(MODE_WEIGHT);
  EXPECT_EQ(Visibility(a), 5u);
  EXPECT_EQ(Visibility(b), 0u);
  EXPECT_FALSE(main_->GetModel()->IsRenderState());
  // Between other modes visibility is left alone.
  mqhost::ToObject(b)->visible = 7;
  main_->Service()->SetMode(MODE_MORPH);
  EXPECT_EQ(Visibility(b), 7u);
}

TEST_F(DlmainTest, ModeChangesClearTheBoneAndSelectionExceptBetweenMakeAndMove) {
  MQObject bone = AddObject("bone");
  OpenActive();
  struct Case {
    int from;
    int to;
    bool kept;
  };
  for (const Case& c : {Case{MODE_MAKE, MODE_MOVE, true}, Case{MODE_MOVE, MODE_MAKE, true},
                        Case{MODE_MOVE, MODE_POSE, false}, Case{MODE_MAKE, MODE_WEIGHT, false},
                        Case{MODE_WEIGHT, MODE_MOVE, false}, Case{MODE_MORPH, MODE_MAKE, false},
                        Case{MODE_MOVE, MODE_MOVE, true}}) {
    SCOPED_TRACE(std::to_string(c.from) + " -> " + std::to_string(c.to));
    main_->Service()->SetMode(c.from);
    quorvel::RigEditState& state = *main_->GetEditState();
    state.current_bone = static_cast<int32_t>(mqhost::ToObject(bone)->uid);
    quorvel::SetBoneFlag(bone, main_->GetSlots(), OBase::OB_SEL_PIVOT, true);
    main_->Service()->SetMode(c.to);
    EXPECT_EQ(main_->GetMode(), c.to);
    EXPECT_EQ(state.current_bone != -1, c.kept);
    EXPECT_EQ(quorvel::GetBoneFlag(bone, main_->GetSlots(), OBase::OB_SEL_PIVOT), c.kept);
  }
}

TEST_F(DlmainTest, EveryModeGetsItsProcessorAndPanels) {
  OpenActive();
  struct Case {
    int mode;
    bool processor;
    std::array<bool, PANEL_COUNT> shown;
  };
  const Case cases[] = {
      {MODE_MAKE, true, Expect({PANEL_COMMAND, PANEL_CMDMAKE})},
      {MODE_POSE, true,
       Expect({PANEL_COMMAND, PANEL_CMDMOT, PANEL_POSELIST, PANEL_POSEOBJ, PANEL_POSEMORPH})},
      {MODE_WEIGHT, true, Expect({PANEL_COMMAND, PANEL_WEITPEN})},
      {MODE_MORPH, false, Expect({PANEL_COMMAND, PANEL_OBJMORPH})},
      {MODE_MOVE, true, Expect({PANEL_COMMAND, PANEL_CMDMOVE})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    const size_t made = Processors().made.size();
    const int redraws = host_.redraw_requests();
    ui_->ResetRefreshCounts();
    main_->Service()->SetMode(c.mode);
    EXPECT_EQ(main_->Processor() != nullptr, c.processor);
    EXPECT_EQ(Processors().made.size() - made, c.processor ? 1u : 0u);
    EXPECT_EQ(ShownPanels(), c.shown);
    EXPECT_EQ(main_->PanelVisible()[PANEL_WEIGHT_RESERVED], c.mode == MODE_WEIGHT ? 1 : 0);
    EXPECT_EQ(host_.redraw_requests() - redraws, 1);
    EXPECT_EQ(ui_->refreshed(PANEL_COMMAND), 1);
  }
  // A mode outside the five changes nothing.
  main_->Service()->SetMode(5);
  main_->Service()->SetMode(-1);
  EXPECT_EQ(main_->GetMode(), MODE_MOVE);
  EXPECT_EQ(ShownPanels(), Expect({PANEL_COMMAND, PANEL_CMDMOVE}));
}

TEST_F(DlmainTest, EnteringWeightModeRecomputesTheWeightColours) {
  MQObject bone = AddObject("bone");
  MQObject skin = AddObject("skin");
  mqhost::ToObject(skin)->AddVertex(MQPoint{0, 0, 0});
  OpenActive();
  const quorvel::RigSlotTable& slots = main_->GetSlots();
  quorvel::SetWeightColour(bone, slots, UCOLOR{200, 100, 50, 255});
  quorvel::VWeight rec;
  quorvel::Init(rec);
  quorvel::SetWeight(rec, static_cast<int32_t>(mqhost::ToObject(bone)->uid), 1.0f);
  ASSERT_TRUE(quorvel::SetVertexWeights(skin, slots, 0, rec));
  main_->Service()->SetMode(MODE_WEIGHT);
  quorvel::VWeight after;
  ASSERT_TRUE(quorvel::GetVertexWeights(skin, slots, 0, after));
  EXPECT_EQ(after.colour[0], 200);
  EXPECT_EQ(after.colour[1], 100);
  EXPECT_EQ(after.colour[2], 50);
}

// ---------------------------------------------------------------- input

TEST_F(DlmainTest, MouseEventsReachTheProcessorAndAnswerByThemselves) {
  OpenActive();
  main_->Service()->SetMode(MODE_POSE);
  struct Case {
    int code;
    const char* op;  // null: the processor is not called
    BOOL answer;
  };
  const Case cases[] = {
      {120, "left down", TRUE},  {121, "left move", TRUE},   {122, "left up", TRUE},
      {123, nullptr, FALSE},     {124, nullptr, FALSE},      {125, nullptr, FALSE},
      {126, "right down", TRUE}, {127, "right move", FALSE}, {128, "right up", TRUE},
      {129, "move", FALSE},      {130, "wheel", FALSE},
  };
  const mqhost::PointerInput input{31, 47, 120,
                                   mqhost::kButtonLeft | mqhost::kButtonShift | mqhost::kButtonAlt};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    Processors().calls.clear();
    EXPECT_EQ(mqhost::SendMouse(host_, document_, c.code, input, plugin_), c.answer);
    if (c.op == nullptr) {
      EXPECT_TRUE(Processors().calls.empty());
      continue;
    }
    ASSERT_EQ(Processors().calls.size(), 1u);
    const ProcessorCall& call = Processors().calls[0];
    EXPECT_EQ(call.op, c.op);
    EXPECT_EQ(call.mode, MODE_POSE);
    EXPECT_EQ(call.service, main_->Service());
    EXPECT_EQ(call.state.x, 31);
    EXPECT_EQ(call.state.y, 47);
    EXPECT_EQ(call.state.wheel, 120);
    EXPECT_EQ(call.state.shift, 1);
    EXPECT_EQ(call.state.alt, 1);
    EXPECT_EQ(call.state.ctrl, 0);
    EXPECT_EQ(call.key, 0);
  }
  EXPECT_EQ(main_->GetDocument(), doc_);
  EXPECT_EQ(main_->GetScene(), mqhost::ToHandle(&document_->camera));

  // Morph mode has no processor: the answers stay the same.
  main_->Service()->SetMode(MODE_MORPH);
  Processors().calls.clear();
  EXPECT_EQ(mqhost::SendMouse(host_, document_, 120, input, plugin_), TRUE);
  EXPECT_EQ(mqhost::SendMouse(host_, document_, 129, input, plugin_), FALSE);
  EXPECT_TRUE(Processors().calls.empty());
}

TEST_F(DlmainTest, KeysGoToTheProcessorAndTabToTheFocusedPanel) {
  OpenActive();
  // Tab: forwarded while the dialog depth is raised, then restored.
  EXPECT_EQ(mqhost::SendKey(host_, document_, true, 9, 0, plugin_), TRUE);
  EXPECT_EQ(ui_->forwarded_keys(), std::vector<int>{9});
  EXPECT_EQ(ui_->forward_depths(), std::vector<int>{1});
  EXPECT_EQ(main_->GetDialogCallCount(), 0);
  EXPECT_TRUE(Processors().calls.empty());

  struct Case {
    int answer;
    BOOL expected;
  };
  for (const Case& c : {Case{0, FALSE}, Case{1, TRUE}, Case{7, TRUE}}) {
    Processors().calls.clear();
    Processors().key_answer = c.answer;
    EXPECT_EQ(mqhost::SendKey(host_, document_, true, 'C', mqhost::kButtonCtrl, plugin_),
              c.expected);
    ASSERT_EQ(Processors().calls.size(), 1u);
    EXPECT_EQ(Processors().calls[0].op, "key");
    EXPECT_EQ(Processors().calls[0].key, 'C');
    EXPECT_EQ(Processors().calls[0].state.ctrl, 1);
  }
  Processors().calls.clear();
  EXPECT_EQ(mqhost::SendKey(host_, document_, false, 'C', 0, plugin_), FALSE);
  EXPECT_TRUE(Processors().calls.empty());
}

TEST_F(DlmainTest, DrawingNotesTheViewAndCallsTheProcessorOnlyWhileWorking) {
  ASSERT_EQ(mqhost::SendInitialize(host_, plugin_), TRUE);
  // No document yet.
  EXPECT_EQ(mqhost::SendDraw(host_, document_, 800, 600, plugin_), TRUE);
  int width = 0, height = 0;
  main_->GetViewSize(width, height);
  EXPECT_EQ(width, 800);
  EXPECT_EQ(height, 600);
  EXPECT_TRUE(Processors().calls.empty());

  ASSERT_EQ(mqhost::SendNewDocument(host_, document_, "test.mqd", plugin_), TRUE);
  EXPECT_EQ(mqhost::SendDraw(host_, document_, 400, 300, plugin_), TRUE);
  EXPECT_TRUE(Processors().calls.empty()) << "inactive: nothing is drawn";

  ASSERT_EQ(mqhost::SendActivate(host_, document_, true, plugin_), TRUE);
  EXPECT_EQ(mqhost::SendDraw(host_, document_, 400, 300, plugin_), TRUE);
  ASSERT_EQ(Processors().calls.size(), 1u);
  EXPECT_EQ(Processors().calls[0].op, "draw");
  EXPECT_EQ(Processors().calls[0].state.x, 0);
  main_->GetViewSize(width, height);
  EXPECT_EQ(width, 400);
}

// ---------------------------------------------------------------- deferred calls

TEST_F(DlmainTest, RedrawsAndUndoRequestsWaitWhileADialogRuns) {
  OpenActive();
  const int redraws = host_.redraw_requests();
  main_->Service()->DialogRedraw();
  EXPECT_EQ(host_.redraw_requests(), redraws) << "deferred, not sent";
  EXPECT_EQ(main_->PendingCallbackCount(), 1u);
  main_->Service()->Redraw();
  EXPECT_EQ(host_.redraw_requests(), redraws + 1) << "outside a dialog it goes at once";

  // The host runs queued callbacks after the next event.
  ASSERT_EQ(mqhost::SendScene(host_, document_, plugin_), TRUE);
  EXPECT_EQ(host_.redraw_requests(), redraws + 2);
  EXPECT_EQ(main_->PendingCallbackCount(), 0u);

  // The focused panel commits a change while a forwarded Tab is handled: its
  // undo state and redraw wait for the host's callback.
  const int states = host_.undo_state_count();
  ui_->SetModalAction([this] {
    main_->Service()->UpdateUndo();
    main_->Service()->RedrawAndRefreshPanels();
  });
  EXPECT_EQ(mqhost::SendKey(host_, document_, true, 9, 0, plugin_), TRUE);
  EXPECT_EQ(host_.undo_state_count(), states + 1) << "run by the host right after the key event";
  EXPECT_EQ(host_.redraw_requests(), redraws + 3);
  EXPECT_EQ(main_->PendingCallbackCount(), 0u);
  ui_->SetModalAction(nullptr);
  main_->Service()->UpdateUndo();
  EXPECT_EQ(host_.undo_state_count(), states + 2) << "outside a dialog it goes at once";
}

TEST_F(DlmainTest, ActivationInsideADialogIsDeferred) {
  MQObject bone = AddObject("bone");
  OpenActive();
  ASSERT_EQ(mqhost::SendActivate(host_, document_, false, plugin_), FALSE);
  MQObject late = AddObject("late");
  quorvel::SetBoneFlag(bone, main_->GetSlots(), OBase::OB_SEL_PIVOT, true);

  // The host activates the command while the bone-align dialog is open.
  size_t pending_inside = 99;
  bool record_inside = true;
  ui_->SetModalAction([&] {
    log_.clear();
    BOOL on = TRUE;
    main_->Activate(doc_, on);
    pending_inside = main_->PendingCallbackCount();
    record_inside = quorvel::HasBoneRecord(late, main_->GetSlots());
  });
  main_->Service()->BoneAlign(nullptr);
  ui_->SetModalAction(nullptr);
  EXPECT_TRUE(Logged("SetActivateModel::dialogcall_cnt(1)"));
  EXPECT_GE(pending_inside, 1u);
  EXPECT_FALSE(record_inside) << "the model is not rebuilt inside the dialog";

  ASSERT_EQ(mqhost::SendScene(host_, document_, plugin_), TRUE);
  EXPECT_EQ(main_->PendingCallbackCount(), 0u);
  EXPECT_TRUE(main_->GetModel()->IsActive());
  EXPECT_TRUE(quorvel::HasBoneRecord(late, main_->GetSlots())) << "rebuilt when the host called back";
}

TEST_F(DlmainTest, ExecuteCallbackRunsOnlyRecordsItHandedOut) {
  OpenActive();
  int foreign[4] = {};
  EXPECT_FALSE(main_->ExecuteCallback(doc_, foreign));
  EXPECT_FALSE(main_->ExecuteCallback(doc_, nullptr));

  static int runs = 0;
  runs = 0;
  main_->RunDeferred([](MQDocument, void* data) { ++*static_cast<int*>(data); }, &runs);
  main_->RunDeferred(nullptr, &runs);  // nothing to run: not even queued
  EXPECT_EQ(main_->PendingCallbackCount(), 1u);
  ASSERT_EQ(mqhost::SendScene(host_, document_, plugin_), TRUE);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(main_->PendingCallbackCount(), 0u);
}

// ---------------------------------------------------------------- bone align

TEST_F(DlmainTest, BoneAlignNeedsASelectedBone) {
  MQObject bone = AddObject("bone", 0, FVECTOR3{4.0f, 6.0f, 8.0f});
  OpenActive();
  int owner = 0;
  main_->Service()->BoneAlign(&owner);
  ASSERT_EQ(ui_->message_boxes().size(), 1u);
  EXPECT_EQ(ui_->message_boxes()[0].text, Ansi("ボーンを選択してください"));
  EXPECT_EQ(ui_->message_boxes()[0].caption, Ansi("エラー"));
  EXPECT_EQ(ui_->message_boxes()[0].buttons, kMessageBoxOk);
  EXPECT_EQ(ui_->message_boxes()[0].owner, &owner);
  EXPECT_EQ(ui_->dialog_runs(), 0);

  quorvel::SetBoneFlag(bone, main_->GetSlots(), OBase::OB_SEL_PIVOT, true);
  main_->Service()->BoneAlign(&owner);
  EXPECT_EQ(ui_->message_boxes().size(), 1u);
  ASSERT_EQ(ui_->dialog_runs(), 1);
  EXPECT_FLOAT_EQ(ui_->dialog_opened_with().position.x, 4.0f);
  EXPECT_FLOAT_EQ(ui_->dialog_opened_with().position.y, 6.0f);
  EXPECT_FLOAT_EQ(ui_->dialog_opened_with().position.z, 8.0f);
  EXPECT_EQ(main_->GetDialogCallCount(), 0);
}

// ---------------------------------------------------------------- the service object

TEST_F(DlmainTest, TheServiceObjectForwardsOptionsBothWays) {
  OpenActive();
  IDLMAIN* s = main_->Service();
  s->SetShowHandle(1);
  s->SetShowLocal(0);
  s->SetShowCurObjBone(1);
  s->SetIkType(3);
  s->SetToolOption(3, 9);
  s->SetToolOption(6, 9);  // no such option
  EXPECT_EQ(main_->GetShowHandle(), 1);
  EXPECT_EQ(main_->GetShowLocal(), 0);
  EXPECT_EQ(main_->GetShowCurObjBone(), 1);
  EXPECT_EQ(main_->GetIkType(), 3);
  EXPECT_EQ(main_->GetToolOption(3), 9);
  EXPECT_EQ(s->GetToolOption(6), 0);

  // The bone switches reach the model and its edit state.
  s->SetShowBone(0);
  s->SetDrawBoneRoll(0);
  EXPECT_FALSE(main_->GetModel()->IsShowBone());
  EXPECT_FALSE(main_->GetEditState()->BonesShown());
  EXPECT_FALSE(main_->GetEditState()->RollShown());
  s->SetShowCurObjWeight(1);
  EXPECT_TRUE(main_->GetEditState()->WeightCurrentObjectOnly());
  s->SetModelOption(MQEXPDOC::kLockPivot, true);
  EXPECT_TRUE(s->GetModelOption(MQEXPDOC::kLockPivot));
  EXPECT_EQ(main_->GetEditState()->pick_masks & quorvel::RigEditState::kPickMaskPivot,
            quorvel::RigEditState::kPickMaskPivot);

  EXPECT_EQ(s->GetDocument(), doc_);
  EXPECT_EQ(s->GetEditState(), &main_->GetModel()->EditState());
  EXPECT_EQ(s->GetScreenConverter(), main_->GetModel()->ScreenConverter());
  EXPECT_EQ(&s->GetAlignParam(), &main_->GetAlignParam());
  EXPECT_EQ(s->GetMainWindow(), host_.WindowHandle());
  MQObject current = AddObject("current");
  document_->current_object = 0;
  EXPECT_EQ(s->GetCurrentObject(), current);
  EXPECT_EQ(s->GetCurrentMaterial(), nullptr);

  // Drawing objects through the service belong to the document.
  MQObject drawing = s->CreateDrawingObject(7, FALSE);
  ASSERT_NE(drawing, nullptr);
  EXPECT_EQ(document_->drawing_objects().size(), 1u);
  s->DeleteDrawingObject(drawing);
  EXPECT_TRUE(document_->drawing_objects().empty());
}

// ---------------------------------------------------------------- undo through the host

TEST_F(DlmainTest, HostUndoAndRedoRestoreThePoseListAndPalettes) {
  AddObject("bone");
  OpenActive();
  MQEXPDOC& model = *main_->GetModel();
  quorvel::RenamePose(quorvel::NewPose(model), "first");
  quorvel::VWeight& palette = model.EditState().palettes.palettes[2];
  quorvel::SetWeight(palette, 11, 0.25f);
  const int first = host_.RecordUndo(document_);

  quorvel::RenamePose(quorvel::NewPose(model), "second");
  quorvel::SetWeight(palette, 12, 0.75f);
  const int second = host_.RecordUndo(document_);
  ASSERT_NE(main_->GetUndoBuffer().Find(first), nullptr);
  ASSERT_NE(main_->GetUndoBuffer().Find(second), nullptr);

  ui_->ResetRefreshCounts();
  const int redraws = host_.redraw_requests();
  ASSERT_TRUE(host_.Undo(document_));
  EXPECT_TRUE(Logged(Format("DLMAIN::OnUndo(%08x):state(%d)", quorvel::LogAddress(doc_), first)));
  EXPECT_EQ(quorvel::PoseCount(model.EditState()), 1);
  EXPECT_STREQ(quorvel::CurrentPose(model.EditState())->name, "first");
  EXPECT_EQ(EntriesOf(palette), (std::vector<quorvel::VWeightEntry>{{11, 0.25f}}));
  EXPECT_EQ(host_.redraw_requests() - redraws, 1);
  EXPECT_EQ(ui_->refreshed(PANEL_COMMAND), 1);

  ASSERT_TRUE(host_.Redo(document_));
  EXPECT_TRUE(Logged(Format("DLMAIN::OnRedo(%08x):state(%d)", quorvel::LogAddress(doc_), second)));
  EXPECT_EQ(quorvel::PoseCount(model.EditState()), 2);
  EXPECT_STREQ(quorvel::CurrentPose(model.EditState())->name, "second");
  EXPECT_EQ(EntriesOf(palette), (std::vector<quorvel::VWeightEntry>{{11, 0.25f}, {12, 0.75f}}));
}

TEST_F(DlmainTest, PruningKeepsWhatTheHostCanReachAndAMissingStateStillRefreshes) {
  OpenActive();
  auto update = [this](int state, int size) {
    NAMED_ARG args[] = {{"state", &state}, {"size", &size}, {nullptr, nullptr}};
    host_.SendEvent(document_, MQEVENT_UNDO_UPDATED, args, plugin_);
  };
  for (int state = 1; state <= 4; ++state) update(state, state + 1);
  update(5, 3);
  std::vector<int> kept;
  for (size_t i = 0; i < main_->GetUndoBuffer().Count(); ++i) {
    kept.push_back(main_->GetUndoBuffer().At(i)->Record()->state);
  }
  EXPECT_EQ(kept, (std::vector<int>{2, 3, 4, 5}));
  EXPECT_TRUE(Logged(
      Format("DLMAIN::OnUpdateUndo(%08x):state(%d),size(%d)", quorvel::LogAddress(doc_), 5, 3)));

  // Undo to a state whose snapshot was pruned: logged, and everything is
  // refreshed all the same.
  ui_->ResetRefreshCounts();
  const int redraws = host_.redraw_requests();
  int state = 1;
  NAMED_ARG args[] = {{"state", &state}, {nullptr, nullptr}};
  EXPECT_EQ(host_.SendEvent(document_, MQEVENT_UNDO, args, plugin_), FALSE);
  EXPECT_TRUE(Logged(Format("%s(%d)", Ansi("アンドゥ失敗!!").c_str(), 1)));
  EXPECT_EQ(host_.redraw_requests() - redraws, 1);
  EXPECT_EQ(ui_->refreshed(PANEL_COMMAND), 1);
}

}  // namespace

// ---------------------------------------------------------------- the draw pass

namespace {

// Notes how many drawing objects the document holds when the tool draws.
mqhost::Document* g_probe_document = nullptr;
std::vector<size_t>& ProbeCounts() {
  static std::vector<size_t> counts;
  return counts;
}
class DrawProbe : public MED_COMPROC_BASE {
 public:
  int OnDraw(MED_COMPROC_CALLBACK_BASE& cb) override {
    size_t instant = 0;
    for (const mqhost::DrawingObject& d : g_probe_document->drawing_objects()) instant += d.instant;
    ProbeCounts().push_back(instant);
    return 0;
  }
};
std::unique_ptr<MED_COMPROC_BASE> MakeDrawProbe(int mode) {
  if (mode == MODE_MORPH) return nullptr;
  return std::make_unique<DrawProbe>();
}

// Colours of the frame's drawing objects in the order they were made (the
// rendering copies, which stay between frames, left out).
std::vector<std::string> DrawnColours(const mqhost::Document& document) {
  std::vector<std::string> out;
  for (const mqhost::DrawingObject& d : document.drawing_objects()) {
    if (!d.instant) continue;
    const mqhost::Object& o = *d.object;
    char text[48];
    std::snprintf(text, sizeof text, "%d:%ld,%ld,%ld", static_cast<int>(o.visible), std::lround(o.color[0] * 255),
                  std::lround(o.color[1] * 255), std::lround(o.color[2] * 255));
    out.push_back(o.visible == 4 ? "faces" : text);
  }
  return out;
}

}  // namespace

// Bones, local axes, the tool, then the handle; what each mode shows.
TEST_F(DlmainTest, TheDrawPassDrawsInItsOrder) {
  main_->SetProcessorFactory(&MakeDrawProbe);
  AddObject("root");
  AddObject("tip", 1, FVECTOR3(100, 0, 0));
  OpenActive();
  g_probe_document = document_;
  main_->SetShowHandle(1);
  MQScene scene = HostApi().MQDoc_GetScene(doc_, 0);

  struct Case {
    const char* label;
    int mode;
    std::vector<std::string> first;  // the first drawing objects, in order
    bool handle;
    bool probe;
  };
  const std::string bone_lines = "2:0,255,0", bone_points = "1:0,255,0", red = "2:255,0,0";
  const Case cases[] = {
      {"move mode", MODE_MOVE, {bone_lines, bone_points, red, "2:0,255,0", "2:0,0,255"}, true, true},
      {"pose mode: no axes", MODE_POSE, {"2:255,0,255", "1:255,0,255"}, true, true},
      {"make mode: no handle", MODE_MAKE, {bone_lines, bone_points, red}, false, true},
      {"morph mode: nothing", MODE_MORPH, {}, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    main_->Service()->SetMode(c.mode);
    main_->GetHandleState().active = true;  // a mode change empties the selection
    document_->DiscardInstantDrawing();
    ProbeCounts().clear();
    main_->OnDraw(doc_, scene, 800, 600);
    const std::vector<std::string> drawn = DrawnColours(*document_);
    ASSERT_GE(drawn.size(), c.first.size());
    EXPECT_EQ(std::vector<std::string>(drawn.begin(), drawn.begin() + static_cast<long>(c.first.size())),
              c.first);
    ASSERT_EQ(ProbeCounts().size(), c.probe ? 1u : 0u) << "the tool draws once, none in morph mode";
    const bool has_faces = std::find(drawn.begin(), drawn.end(), "faces") != drawn.end();
    EXPECT_EQ(has_faces, c.handle) << "the handle's boxes and cones";
    if (c.handle) {
      // The handle comes after the tool's own drawing.
      const size_t first_face = static_cast<size_t>(std::find(drawn.begin(), drawn.end(), "faces") - drawn.begin());
      EXPECT_GE(first_face, ProbeCounts()[0]);
    }
  }
  int w = 0, h = 0;
  main_->GetViewSize(w, h);
  EXPECT_EQ(w, 800);
  EXPECT_EQ(h, 600);
  g_probe_document = nullptr;
}

TEST_F(DlmainTest, TheHandleIsScaledForA640PixelViewBeforeTheFirstDraw) {
  OpenActive();
  main_->SetShowHandle(1);
  main_->GetHandleState() = HANDLE_STATE{true, 0, FMATRIX::Translation(FVECTOR3(5, 6, 7))};
  MQScene scene = HostApi().MQDoc_GetScene(doc_, 0);
  USELECT_PARA para(main_->Service(), scene);
  EXPECT_TRUE(para.IsHandleShown());
  const FMATRIX view = para.GetViewMatrix(), proj = para.GetProjMatrix();
  EXPECT_EQ(para.GetHandleMatrix(), ScaleHandleMatrix(FMATRIX::Translation(FVECTOR3(5, 6, 7)), 640, 480, view, proj));
  main_->OnDraw(doc_, scene, 1280, 720);
  EXPECT_EQ(para.GetHandleMatrix(), ScaleHandleMatrix(FMATRIX::Translation(FVECTOR3(5, 6, 7)), 1280, 720, view, proj));
  main_->Service()->SetMode(MODE_WEIGHT);
  EXPECT_FALSE(para.IsHandleShown()) << "only in move and pose mode";
}
