// The recording test plug-in (see recorder_state.h). Its MQOnEvent writes the
// raw event down before the plug-in frame decodes it, so the tests see the
// named arguments exactly as the host built them.
#include <cstring>

#include "recorder_state.h"
#include "sdk/dispatch.h"
#include "sdk/host_api.h"

namespace {

recorder::State g_state{};

// Arguments whose value points at a 32-bit integer.
bool IsIntegerArg(const char* name) {
  for (const char* known : {"button_state", "mouse_pos_x", "mouse_pos_y", "mouse_wheel", "width",
                            "height", "key", "state", "size", "src_product", "src_id", "save_uid",
                            "result"}) {
    if (std::strcmp(name, known) == 0) return true;
  }
  return false;
}

bool IsTextArg(const char* name) {
  return std::strcmp(name, "description") == 0 || std::strcmp(name, "filename") == 0;
}

void CopyText(char* out, size_t size, const char* text) {
  std::strncpy(out, text, size - 1);
  out[size - 1] = '\0';
}

class Recorder : public MQCommandPlugin {
 public:
  void GetPlugInID(uint32_t* product, uint32_t* id) override {
    *product = recorder::kProductId;
    *id = recorder::kPluginId;
  }
  const char* GetPlugInName() override { return "Recorder"; }
  const char* EnumString() override { return "Recorder"; }
  BOOL Initialize() override { return g_state.initialize_answer; }
  void Exit() override {}
  BOOL Activate(MQDocument doc, BOOL flag) override { return flag; }

  int OnReceiveUserMessage(MQDocument doc, uint32_t src_product, uint32_t src_id,
                           const char* description, void* message) override {
    if (description == nullptr) return g_state.message_answer;
    // As a plug-in with a model to give: the reply goes back to the sender.
    if (std::strcmp(description, "GetRenderingModel") == 0) {
      SendUserMessage(doc, src_product, src_id, "SendRenderingModel", g_state.model);
      return 1;
    }
    if (std::strncmp(description, "Reply:", 6) == 0) {
      return SendUserMessage(doc, src_product, src_id, description + 6, g_state.model);
    }
    return g_state.message_answer;
  }

  void OnDraw(MQDocument doc, MQScene scene, int width, int height) override {
    if (g_state.draw_marker) {
      // As a plug-in draws a point: the object colour set and marked valid.
      MQObject marker = CreateDrawingObject(doc, 1, TRUE);
      const MQPoint p{g_state.marker[0], g_state.marker[1], g_state.marker[2]};
      const int vertex = HostApi().MQObj_AddVertex(marker, &p);
      HostApi().MQObj_AddFace(marker, 1, &vertex);
      HostApi().MQObj_SetFloatArray(marker, MQOBJ_ID_COLOR, g_state.marker_colour);
      HostApi().MQObj_SetIntValue(marker, MQOBJ_ID_COLOR_VALID, 1);
    }
    if (!g_state.draw_objects) return;
    g_state.instant_object = CreateDrawingObject(doc, 7, TRUE);
    g_state.kept_object = CreateDrawingObject(doc, 7, FALSE);
  }

  void OnNewDocument(MQDocument doc, const char* filename, NEW_DOC_PARAM& param) override {
    void* slots[3] = {const_cast<char*>("Saved"), nullptr, nullptr};
    if (param.elem != nullptr) HostApi().MQXmlElem_Value(param.elem, MQXMLELEM_FIRST_CHILD, slots);
    g_state.found_saved_data = slots[1] != nullptr;
  }

  void OnSaveDocument(MQDocument doc, const char* filename, SAVE_DOC_PARAM& param) override {
    void* slots[3] = {const_cast<char*>("Saved"), nullptr, nullptr};
    if (param.elem != nullptr) HostApi().MQXmlElem_Value(param.elem, MQXMLELEM_ADD_CHILD, slots);
    param.save_unique_id = g_state.set_save_uid;
  }

  bool ExecuteCallback(MQDocument doc, void* option) override {
    ++g_state.callbacks_run;
    g_state.callback_event_count = g_state.event_count;
    g_state.callback_depth = g_state.depth;
    g_state.callback_doc = doc;
    return true;
  }

  BOOL OnLeftButtonDown(MQDocument, MQScene, BUTTON_STATE&) override { return g_state.input_answer; }
  BOOL OnLeftButtonMove(MQDocument, MQScene, BUTTON_STATE&) override { return g_state.input_answer; }
  BOOL OnLeftButtonUp(MQDocument, MQScene, BUTTON_STATE&) override { return g_state.input_answer; }
  BOOL OnMiddleButtonDown(MQDocument, MQScene, BUTTON_STATE&) override { return g_state.input_answer; }
  BOOL OnMiddleButtonMove(MQDocument, MQScene, BUTTON_STATE&) override { return g_state.input_answer; }
  BOOL OnMiddleButtonUp(MQDocument, MQScene, BUTTON_STATE&) override { return g_state.input_answer; }
  BOOL OnRightButtonDown(MQDocument, MQScene, BUTTON_STATE&) override { return g_state.input_answer; }
  BOOL OnRightButtonMove(MQDocument, MQScene, BUTTON_STATE&) override { return g_state.input_answer; }
  BOOL OnRightButtonUp(MQDocument, MQScene, BUTTON_STATE&) override { return g_state.input_answer; }
  BOOL OnMouseMove(MQDocument, MQScene, BUTTON_STATE&) override { return g_state.input_answer; }
  BOOL OnMouseWheel(MQDocument, MQScene, BUTTON_STATE&) override { return g_state.input_answer; }
  BOOL OnKeyDown(MQDocument, MQScene, int, BUTTON_STATE&) override { return g_state.input_answer; }
  BOOL OnKeyUp(MQDocument, MQScene, int, BUTTON_STATE&) override { return g_state.input_answer; }
};

Recorder& Plugin() {
  static Recorder plugin;
  return plugin;
}

// Writes the event down; answers its slot, or -1 when the log is full.
int Record(MQDocument doc, int code, void* option) {
  if (g_state.event_count >= recorder::kMaxEvents) return -1;
  const int index = g_state.event_count++;
  recorder::Event& event = g_state.events[index];
  event = recorder::Event{};
  event.code = code;
  event.doc = doc;
  if (code == MQEVENT_ACTIVATE || code == MQEVENT_MINIMIZE) {
    event.flag = option != nullptr ? *static_cast<const BOOL*>(option) : -1;
    return index;
  }
  const auto* args = static_cast<const NAMED_ARG*>(option);
  event.arg_count = args == nullptr ? -1 : 0;
  for (; args != nullptr && args->name != nullptr && event.arg_count < recorder::kMaxArgs; ++args) {
    recorder::Arg& arg = event.args[event.arg_count++];
    CopyText(arg.name, sizeof(arg.name), args->name);
    arg.value = args->value;
    if (args->value != nullptr && IsIntegerArg(args->name)) {
      std::memcpy(&arg.number, args->value, sizeof(arg.number));
    }
    if (args->value != nullptr && IsTextArg(args->name)) {
      CopyText(arg.text, sizeof(arg.text), static_cast<const char*>(args->value));
    }
  }
  return index;
}

}  // namespace

MQPLUGIN_EXPORT recorder::State* RecorderState() { return &g_state; }

MQPLUGIN_EXPORT uint32_t MQCheckVersion(uint32_t) { return MQPLUGIN_VERSION; }
MQPLUGIN_EXPORT BOOL MQInit(const char* host_path) { return LoadHostApi(host_path, HostApi()); }
MQPLUGIN_EXPORT void MQGetPlugInID(uint32_t* product, uint32_t* id) { Plugin().GetPlugInID(product, id); }
MQPLUGIN_EXPORT const char* MQGetPlugInName() { return Plugin().GetPlugInName(); }
MQPLUGIN_EXPORT int MQGetPlugInType() { return Plugin().GetPlugInType(); }
MQPLUGIN_EXPORT const char* MQEnumString(int index) { return index == 0 ? Plugin().EnumString() : nullptr; }

MQPLUGIN_EXPORT BOOL MQOnEvent(MQDocument doc, int code, void* option) {
  const int index = Record(doc, code, option);
  ++g_state.depth;
  if (code == g_state.callback_on) Plugin().BeginCallback(nullptr);
  if (code == g_state.undo_on) Plugin().UpdateUndo();
  const BOOL answer = DispatchEvent(&Plugin(), doc, code, option);
  --g_state.depth;
  if (index >= 0) g_state.events[index].answer = answer;
  return answer;
}
