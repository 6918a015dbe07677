#include "sdk/dispatch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

MQDocument const kDoc = reinterpret_cast<MQDocument>(0x1000);
MQScene const kScene = reinterpret_cast<MQScene>(0x2000);
MQXmlElement const kXml = reinterpret_cast<MQXmlElement>(0x3000);

struct Call {
  std::string op;
  MQDocument doc = nullptr;
  MQScene scene = nullptr;
  int i1 = 0, i2 = 0;
  uint32_t u1 = 0, u2 = 0;
  const void* p1 = nullptr;
  const void* p2 = nullptr;
  BUTTON_STATE state{};
};

// Records every operation with its decoded arguments and answers `answer`
// from every operation that has a result.
class RecordingPlugin : public MQCommandPlugin {
 public:
  std::vector<Call> calls;
  BOOL answer = TRUE;
  int user_message_result = 0;
  BOOL set_save_unique_id = FALSE;

  void GetPlugInID(uint32_t* product, uint32_t* id) override { *product = 1, *id = 2; }
  const char* GetPlugInName() override { return "recording"; }
  const char* EnumString() override { return "recording"; }
  BOOL Initialize() override { return Add({"Initialize"}), answer; }
  void Exit() override { Add({"Exit"}); }
  BOOL Activate(MQDocument doc, BOOL flag) override {
    Call c{"Activate", doc};
    c.i1 = flag;
    return Add(c), answer;
  }
  BOOL IsActivated(MQDocument doc) override { return Add({"IsActivated", doc}), answer; }
  void OnMinimize(MQDocument doc, BOOL flag) override {
    Call c{"OnMinimize", doc};
    c.i1 = flag;
    Add(c);
  }
  int OnReceiveUserMessage(MQDocument doc, uint32_t src_product, uint32_t src_id,
                           const char* description, void* message) override {
    Call c{"OnReceiveUserMessage", doc};
    c.u1 = src_product, c.u2 = src_id, c.p1 = description, c.p2 = message;
    Add(c);
    return user_message_result;
  }
  void OnDraw(MQDocument doc, MQScene scene, int width, int height) override {
    Call c{"OnDraw", doc, scene};
    c.i1 = width, c.i2 = height;
    Add(c);
  }
  void OnNewDocument(MQDocument doc, const char* filename, NEW_DOC_PARAM& param) override {
    Call c{"OnNewDocument", doc};
    c.p1 = filename, c.p2 = param.elem;
    Add(c);
  }
  void OnEndDocument(MQDocument doc) override { Add({"OnEndDocument", doc}); }
  void OnSaveDocument(MQDocument doc, const char* filename, SAVE_DOC_PARAM& param) override {
    Call c{"OnSaveDocument", doc};
    c.p1 = filename, c.p2 = param.elem, c.i1 = param.save_unique_id;
    Add(c);
    param.save_unique_id = set_save_unique_id;
  }
  BOOL OnUndo(MQDocument doc, int state) override { return AddInt("OnUndo", doc, state), answer; }
  BOOL OnRedo(MQDocument doc, int state) override { return AddInt("OnRedo", doc, state), answer; }
  void OnUpdateUndo(MQDocument doc, int state, int size) override {
    Call c{"OnUpdateUndo", doc};
    c.i1 = state, c.i2 = size;
    Add(c);
  }
  void OnObjectModified(MQDocument doc) override { Add({"OnObjectModified", doc}); }
  void OnObjectSelected(MQDocument doc) override { Add({"OnObjectSelected", doc}); }
  void OnUpdateObjectList(MQDocument doc) override { Add({"OnUpdateObjectList", doc}); }
  void OnMaterialModified(MQDocument doc) override { Add({"OnMaterialModified", doc}); }
  void OnUpdateMaterialList(MQDocument doc) override { Add({"OnUpdateMaterialList", doc}); }
  void OnUpdateScene(MQDocument doc, MQScene scene) override {
    Add({"OnUpdateScene", doc, scene});
  }

#define RECORD_MOUSE(op)                                                  \
  BOOL op(MQDocument doc, MQScene scene, BUTTON_STATE& state) override {  \
    Call c{#op, doc, scene};                                              \
    c.state = state;                                                      \
    return Add(c), answer;                                                \
  }
  RECORD_MOUSE(OnLeftButtonDown)
  RECORD_MOUSE(OnLeftButtonMove)
  RECORD_MOUSE(OnLeftButtonUp)
  RECORD_MOUSE(OnMiddleButtonDown)
  RECORD_MOUSE(OnMiddleButtonMove)
  RECORD_MOUSE(OnMiddleButtonUp)
  RECORD_MOUSE(OnRightButtonDown)
  RECORD_MOUSE(OnRightButtonMove)
  RECORD_MOUSE(OnRightButtonUp)
  RECORD_MOUSE(OnMouseMove)
  RECORD_MOUSE(OnMouseWheel)
#undef RECORD_MOUSE
  BOOL OnKeyDown(MQDocument doc, MQScene scene, int key, BUTTON_STATE& state) override {
    return AddKey("OnKeyDown", doc, scene, key, state), answer;
  }
  BOOL OnKeyUp(MQDocument doc, MQScene scene, int key, BUTTON_STATE& state) override {
    return AddKey("OnKeyUp", doc, scene, key, state), answer;
  }

 private:
  void Add(const Call& c) { calls.push_back(c); }
  void AddInt(const char* op, MQDocument doc, int value) {
    Call c{op, doc};
    c.i1 = value;
    Add(c);
  }
  void AddKey(const char* op, MQDocument doc, MQScene scene, int key, const BUTTON_STATE& s) {
    Call c{op, doc, scene};
    c.i1 = key, c.state = s;
    Add(c);
  }
};

// A station plug-in: it has no mouse or key operations at all.
class StationOnly : public MQStationPlugin {
 public:
  int initialized = 0;
  void GetPlugInID(uint32_t* product, uint32_t* id) override { *product = 1, *id = 3; }
  const char* GetPlugInName() override { return "station"; }
  const char* EnumString() override { return "station"; }
  BOOL Initialize() override { return ++initialized, TRUE; }
  void Exit() override {}
  BOOL Activate(MQDocument, BOOL flag) override { return flag; }
  BOOL IsActivated(MQDocument) override { return TRUE; }
  bool ExecuteCallback(MQDocument, void*) override { return false; }
};

struct SimpleCase {
  int code;
  const char* op;
  bool returns_result;  // true: MQOnEvent answers the operation's result
};

class SimpleEvents : public testing::TestWithParam<SimpleCase> {};

TEST_P(SimpleEvents, ReachTheirOperationWithTheDocument) {
  const SimpleCase& c = GetParam();
  for (BOOL answer : {FALSE, TRUE}) {
    RecordingPlugin plugin;
    plugin.answer = answer;
    const BOOL result = DispatchEvent(&plugin, kDoc, c.code, nullptr);
    ASSERT_EQ(plugin.calls.size(), 1u) << "code " << c.code;
    EXPECT_EQ(plugin.calls[0].op, c.op) << "code " << c.code;
    if (std::string(c.op) != "Initialize" && std::string(c.op) != "Exit") {
      EXPECT_EQ(plugin.calls[0].doc, kDoc) << "code " << c.code;
    }
    EXPECT_EQ(result, c.returns_result ? answer : TRUE) << "code " << c.code;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, SimpleEvents,
    testing::Values(SimpleCase{1, "Initialize", true}, SimpleCase{2, "Exit", false},
                    SimpleCase{101, "IsActivated", true}, SimpleCase{201, "OnEndDocument", false},
                    SimpleCase{220, "OnUpdateObjectList", false},
                    SimpleCase{221, "OnObjectModified", false},
                    SimpleCase{222, "OnObjectSelected", false},
                    SimpleCase{230, "OnUpdateMaterialList", false},
                    SimpleCase{231, "OnMaterialModified", false}));

struct InputCase {
  int code;
  const char* op;
};

class MouseEvents : public testing::TestWithParam<InputCase> {};

TEST_P(MouseEvents, DecodeTheButtonStateAndAnswerTheResult) {
  const InputCase& c = GetParam();
  int flags = 0x13, x = 120, y = 45, wheel = -240;
  NAMED_ARG args[] = {{"scene", kScene},       {"button_state", &flags}, {"mouse_pos_x", &x},
                      {"mouse_pos_y", &y},     {"mouse_wheel", &wheel},  {nullptr, nullptr}};
  for (BOOL answer : {FALSE, TRUE}) {
    RecordingPlugin plugin;
    plugin.answer = answer;
    EXPECT_EQ(DispatchEvent(&plugin, kDoc, c.code, args), answer) << "code " << c.code;
    ASSERT_EQ(plugin.calls.size(), 1u);
    const Call& call = plugin.calls[0];
    EXPECT_EQ(call.op, c.op);
    EXPECT_EQ(call.doc, kDoc);
    EXPECT_EQ(call.scene, kScene);
    EXPECT_EQ(call.state.x, 120);
    EXPECT_EQ(call.state.y, 45);
    EXPECT_EQ(call.state.wheel, -240);
    EXPECT_EQ(call.state.left, 1);
    EXPECT_EQ(call.state.right, 1);
    EXPECT_EQ(call.state.middle, 1);
    EXPECT_EQ(call.state.shift + call.state.ctrl + call.state.alt, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, MouseEvents,
    testing::Values(InputCase{120, "OnLeftButtonDown"}, InputCase{121, "OnLeftButtonMove"},
                    InputCase{122, "OnLeftButtonUp"}, InputCase{123, "OnMiddleButtonDown"},
                    InputCase{124, "OnMiddleButtonMove"}, InputCase{125, "OnMiddleButtonUp"},
                    InputCase{126, "OnRightButtonDown"}, InputCase{127, "OnRightButtonMove"},
                    InputCase{128, "OnRightButtonUp"}, InputCase{129, "OnMouseMove"},
                    InputCase{130, "OnMouseWheel"}));

class KeyEvents : public testing::TestWithParam<InputCase> {};

TEST_P(KeyEvents, PassTheKeyAndOnlyTheFlags) {
  const InputCase& c = GetParam();
  int flags = 0x2C, key = 0x41, x = 9, y = 9, wheel = 9;
  NAMED_ARG args[] = {{"scene", kScene},   {"key", &key},         {"button_state", &flags},
                      {"mouse_pos_x", &x}, {"mouse_pos_y", &y},   {"mouse_wheel", &wheel},
                      {nullptr, nullptr}};
  RecordingPlugin plugin;
  plugin.answer = FALSE;
  EXPECT_EQ(DispatchEvent(&plugin, kDoc, c.code, args), FALSE);
  ASSERT_EQ(plugin.calls.size(), 1u);
  const Call& call = plugin.calls[0];
  EXPECT_EQ(call.op, c.op);
  EXPECT_EQ(call.scene, kScene);
  EXPECT_EQ(call.i1, 0x41);
  EXPECT_EQ(call.state.x + call.state.y + call.state.wheel, 0);
  EXPECT_EQ(call.state.shift, 1);
  EXPECT_EQ(call.state.ctrl, 1);
  EXPECT_EQ(call.state.alt, 1);
  EXPECT_EQ(call.state.left, 0);

  // Without "key" the key is 0.
  NAMED_ARG no_key[] = {{"scene", kScene}, {nullptr, nullptr}};
  RecordingPlugin second;
  DispatchEvent(&second, kDoc, c.code, no_key);
  ASSERT_EQ(second.calls.size(), 1u);
  EXPECT_EQ(second.calls[0].i1, 0);
}

INSTANTIATE_TEST_SUITE_P(Table, KeyEvents,
                         testing::Values(InputCase{140, "OnKeyDown"}, InputCase{141, "OnKeyUp"}));

TEST(Dispatch, StationPluginAnswersFalseToMouseAndKeyEvents) {
  StationOnly plugin;
  int flags = 0x01;
  NAMED_ARG args[] = {{"button_state", &flags}, {nullptr, nullptr}};
  for (int code = 120; code <= 130; ++code) {
    EXPECT_EQ(DispatchEvent(&plugin, kDoc, code, args), FALSE) << "code " << code;
  }
  EXPECT_EQ(DispatchEvent(&plugin, kDoc, 140, args), FALSE);
  EXPECT_EQ(DispatchEvent(&plugin, kDoc, 141, args), FALSE);
  // Its station events still arrive.
  EXPECT_EQ(DispatchEvent(&plugin, kDoc, 1, nullptr), TRUE);
  EXPECT_EQ(plugin.initialized, 1);
}

TEST(Dispatch, UnknownCodesAnswerFalseAndCallNothing) {
  int value = 1;
  NAMED_ARG args[] = {{"state", &value}, {nullptr, nullptr}};
  for (int code : {-1, 0, 3, 99, 104, 109, 111, 119, 131, 139, 142, 199, 203, 209, 213, 219,
                   223, 229, 232, 239, 241, 1000}) {
    RecordingPlugin plugin;
    EXPECT_EQ(DispatchEvent(&plugin, kDoc, code, args), FALSE) << "code " << code;
    EXPECT_TRUE(plugin.calls.empty()) << "code " << code;
  }
}

TEST(Dispatch, ActivateAndMinimizeReadTheBoolBehindTheOption) {
  for (BOOL flag : {FALSE, TRUE}) {
    RecordingPlugin plugin;
    plugin.answer = TRUE;
    BOOL value = flag;
    EXPECT_EQ(DispatchEvent(&plugin, kDoc, 100, &value), TRUE);
    EXPECT_EQ(DispatchEvent(&plugin, kDoc, 102, &value), TRUE);
    ASSERT_EQ(plugin.calls.size(), 2u);
    EXPECT_EQ(plugin.calls[0].op, "Activate");
    EXPECT_EQ(plugin.calls[0].i1, flag);
    EXPECT_EQ(plugin.calls[1].op, "OnMinimize");
    EXPECT_EQ(plugin.calls[1].i1, flag);
  }
  RecordingPlugin plugin;
  plugin.answer = FALSE;
  BOOL on = TRUE;
  EXPECT_EQ(DispatchEvent(&plugin, kDoc, 100, &on), FALSE) << "Activate's result is answered";
  EXPECT_EQ(DispatchEvent(&plugin, kDoc, 102, &on), TRUE) << "minimise always answers TRUE";
  // No option: the flag reads FALSE rather than dereferencing null.
  EXPECT_EQ(DispatchEvent(&plugin, kDoc, 100, nullptr), FALSE);
  EXPECT_EQ(plugin.calls.back().i1, FALSE);
}

TEST(Dispatch, UserMessageStoresResultOnlyWhenAsked) {
  int product = static_cast<int>(0xDEADBEEF), id = 42, result = -5;
  char description[] = "HasVertexWeight";
  int message = 0;
  NAMED_ARG with_result[] = {{"src_product", &product}, {"src_id", &id},
                             {"description", description}, {"message", &message},
                             {"result", &result},        {nullptr, nullptr}};
  RecordingPlugin plugin;
  plugin.user_message_result = 17;
  EXPECT_EQ(DispatchEvent(&plugin, kDoc, 103, with_result), TRUE);
  EXPECT_EQ(result, 17);
  ASSERT_EQ(plugin.calls.size(), 1u);
  EXPECT_EQ(plugin.calls[0].u1, 0xDEADBEEFu);
  EXPECT_EQ(plugin.calls[0].u2, 42u);
  EXPECT_EQ(plugin.calls[0].p1, description);
  EXPECT_EQ(plugin.calls[0].p2, &message);

  NAMED_ARG without[] = {{"description", description}, {nullptr, nullptr}};
  RecordingPlugin second;
  second.user_message_result = 0;
  EXPECT_EQ(DispatchEvent(&second, kDoc, 103, without), TRUE);
  ASSERT_EQ(second.calls.size(), 1u);
  EXPECT_EQ(second.calls[0].u1, 0u);
  EXPECT_EQ(second.calls[0].u2, 0u);
  EXPECT_EQ(second.calls[0].p2, nullptr);
}

TEST(Dispatch, DrawPassesSizeWithDefaultsOfOne) {
  int width = 800, height = 600;
  NAMED_ARG full[] = {{"scene", kScene}, {"width", &width}, {"height", &height}, {nullptr, nullptr}};
  NAMED_ARG none[] = {{nullptr, nullptr}};
  RecordingPlugin plugin;
  EXPECT_EQ(DispatchEvent(&plugin, kDoc, 110, full), TRUE);
  EXPECT_EQ(DispatchEvent(&plugin, kDoc, 110, none), TRUE);
  ASSERT_EQ(plugin.calls.size(), 2u);
  EXPECT_EQ(plugin.calls[0].scene, kScene);
  EXPECT_EQ(plugin.calls[0].i1, 800);
  EXPECT_EQ(plugin.calls[0].i2, 600);
  EXPECT_EQ(plugin.calls[1].scene, nullptr);
  EXPECT_EQ(plugin.calls[1].i1, 1);
  EXPECT_EQ(plugin.calls[1].i2, 1);
}

TEST(Dispatch, NewDocumentPassesElementAndFilename) {
  char filename[] = "C:\\rig.mqo";
  NAMED_ARG args[] = {{"xml_elem", kXml}, {"filename", filename}, {nullptr, nullptr}};
  RecordingPlugin plugin;
  EXPECT_EQ(DispatchEvent(&plugin, kDoc, 200, args), TRUE);
  EXPECT_EQ(DispatchEvent(&plugin, kDoc, 200, nullptr), TRUE);
  ASSERT_EQ(plugin.calls.size(), 2u);
  EXPECT_EQ(plugin.calls[0].op, "OnNewDocument");
  EXPECT_EQ(plugin.calls[0].p1, filename);
  EXPECT_EQ(plugin.calls[0].p2, kXml);
  EXPECT_EQ(plugin.calls[1].p1, nullptr);
  EXPECT_EQ(plugin.calls[1].p2, nullptr);
}

struct SaveCase {
  BOOL plugin_sets_flag;
  bool host_gives_pointer;
  int expected;  // what the host's "save_uid" holds afterwards (preset 0)
};

class SaveDocument : public testing::TestWithParam<SaveCase> {};

TEST_P(SaveDocument, WritesSaveUidOnlyWhenSetAndPresent) {
  const SaveCase& c = GetParam();
  char filename[] = "out.mqo";
  BOOL save_uid = 0;
  NAMED_ARG with[] = {{"xml_elem", kXml}, {"filename", filename}, {"save_uid", &save_uid},
                      {nullptr, nullptr}};
  NAMED_ARG without[] = {{"xml_elem", kXml}, {"filename", filename}, {nullptr, nullptr}};
  RecordingPlugin plugin;
  plugin.set_save_unique_id = c.plugin_sets_flag;
  EXPECT_EQ(DispatchEvent(&plugin, kDoc, 202, c.host_gives_pointer ? with : without), TRUE);
  ASSERT_EQ(plugin.calls.size(), 1u);
  EXPECT_EQ(plugin.calls[0].p1, filename);
  EXPECT_EQ(plugin.calls[0].p2, kXml);
  EXPECT_EQ(plugin.calls[0].i1, FALSE) << "the flag starts FALSE";
  EXPECT_EQ(save_uid, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Table, SaveDocument,
                         testing::Values(SaveCase{FALSE, true, 0}, SaveCase{TRUE, true, 1},
                                         SaveCase{TRUE, false, 0}, SaveCase{FALSE, false, 0}));

TEST(Dispatch, UndoRedoAndUndoUpdateReadStateAndSize) {
  int state = 12, size = 3;
  NAMED_ARG args[] = {{"state", &state}, {"size", &size}, {nullptr, nullptr}};
  RecordingPlugin plugin;
  plugin.answer = FALSE;
  EXPECT_EQ(DispatchEvent(&plugin, kDoc, 210, args), FALSE);
  EXPECT_EQ(DispatchEvent(&plugin, kDoc, 211, args), FALSE);
  EXPECT_EQ(DispatchEvent(&plugin, kDoc, 212, args), TRUE);
  EXPECT_EQ(DispatchEvent(&plugin, kDoc, 212, nullptr), TRUE);
  ASSERT_EQ(plugin.calls.size(), 4u);
  EXPECT_EQ(plugin.calls[0].op, "OnUndo");
  EXPECT_EQ(plugin.calls[0].i1, 12);
  EXPECT_EQ(plugin.calls[1].op, "OnRedo");
  EXPECT_EQ(plugin.calls[1].i1, 12);
  EXPECT_EQ(plugin.calls[2].op, "OnUpdateUndo");
  EXPECT_EQ(plugin.calls[2].i1, 12);
  EXPECT_EQ(plugin.calls[2].i2, 3);
  EXPECT_EQ(plugin.calls[3].i1, 0);
  EXPECT_EQ(plugin.calls[3].i2, 0);
}

TEST(Dispatch, SceneUpdatePassesTheScene) {
  NAMED_ARG args[] = {{"scene", kScene}, {nullptr, nullptr}};
  RecordingPlugin plugin;
  EXPECT_EQ(DispatchEvent(&plugin, kDoc, 240, args), TRUE);
  ASSERT_EQ(plugin.calls.size(), 1u);
  EXPECT_EQ(plugin.calls[0].op, "OnUpdateScene");
  EXPECT_EQ(plugin.calls[0].scene, kScene);
}

// The frame's own defaults, seen through dispatch: a command plug-in that
// overrides nothing but what it must.
class DefaultsOnly : public MQCommandPlugin {
 public:
  void GetPlugInID(uint32_t* product, uint32_t* id) override { *product = 1, *id = 4; }
  const char* GetPlugInName() override { return "defaults"; }
  const char* EnumString() override { return "defaults"; }
  BOOL Initialize() override { return TRUE; }
  void Exit() override {}
  BOOL Activate(MQDocument, BOOL flag) override { return flag; }
};

TEST(Dispatch, CommandDefaultsAnswerTrueForLeftButtonOnly) {
  DefaultsOnly plugin;
  EXPECT_EQ(plugin.GetPlugInType(), 7);
  for (int code = 120; code <= 122; ++code) EXPECT_EQ(DispatchEvent(&plugin, kDoc, code, nullptr), TRUE);
  for (int code = 123; code <= 130; ++code) EXPECT_EQ(DispatchEvent(&plugin, kDoc, code, nullptr), FALSE);
  EXPECT_EQ(DispatchEvent(&plugin, kDoc, 140, nullptr), FALSE);
  EXPECT_EQ(DispatchEvent(&plugin, kDoc, 141, nullptr), FALSE);
  EXPECT_EQ(DispatchEvent(&plugin, kDoc, 101, nullptr), TRUE) << "IsActivated";
  EXPECT_EQ(DispatchEvent(&plugin, kDoc, 210, nullptr), FALSE) << "OnUndo";
  EXPECT_EQ(DispatchEvent(&plugin, kDoc, 211, nullptr), FALSE) << "OnRedo";
  int result = 99;
  NAMED_ARG args[] = {{"result", &result}, {nullptr, nullptr}};
  EXPECT_EQ(DispatchEvent(&plugin, kDoc, 103, args), TRUE);
  EXPECT_EQ(result, 0) << "a plug-in without messages answers 0";
  EXPECT_TRUE(plugin.ExecuteCallback(kDoc, nullptr));

  StationOnly station;
  EXPECT_EQ(station.GetPlugInType(), 6);
}

}  // namespace
