#include "host/events/events.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#include "host/core/api.h"
#include "host/core/host.h"
#include "host/core/plugin_module.h"

namespace mqhost {

namespace {

// Events without arguments still get a (terminated, empty) list, so that a
// plug-in which looks a name up without checking for null is safe.
BOOL SendPlain(Host& host, Document* document, int code, PluginModule* only) {
  NAMED_ARG args[] = {{nullptr, nullptr}};
  return host.SendEvent(document, code, args, only);
}

MQScene SceneOf(Document* document) {
  return document != nullptr ? ToHandle(&document->camera) : nullptr;
}

// The plug-ins an event goes to one at a time: `only`, or all of them. A copy,
// so that the walk does not depend on the host's list.
std::vector<PluginModule*> Targets(const Host& host, PluginModule* only) {
  if (only != nullptr) return {only};
  std::vector<PluginModule*> targets;
  for (const auto& plugin : host.plugins()) targets.push_back(plugin.get());
  return targets;
}

char* FileNameArg(const std::string& filename) {
  return filename.empty() ? nullptr : const_cast<char*>(filename.c_str());
}

}  // namespace

BOOL SendInitialize(Host& host, PluginModule* only) {
  return SendPlain(host, nullptr, MQEVENT_INITIALIZE, only);
}

BOOL SendExit(Host& host, PluginModule* only) { return SendPlain(host, nullptr, MQEVENT_EXIT, only); }

BOOL SendActivate(Host& host, Document* document, bool activate, PluginModule* only) {
  BOOL flag = activate ? TRUE : FALSE;
  return host.SendEvent(document, MQEVENT_ACTIVATE, &flag, only);
}

BOOL SendIsActivated(Host& host, Document* document, PluginModule* only) {
  return SendPlain(host, document, MQEVENT_IS_ACTIVATED, only);
}

BOOL SendMinimize(Host& host, Document* document, bool minimized, PluginModule* only) {
  BOOL flag = minimized ? TRUE : FALSE;
  return host.SendEvent(document, MQEVENT_MINIMIZE, &flag, only);
}

BOOL SendUserMessage(Host& host, Document* document, PluginModule* target, uint32_t src_product,
                     uint32_t src_id, const char* description, void* message, int* result) {
  if (target == nullptr) return FALSE;
  // The identifiers travel as 32-bit integers; the bits are what counts.
  int src_product_value = static_cast<int>(src_product);
  int src_id_value = static_cast<int>(src_id);
  int answer = 0;
  NAMED_ARG args[] = {
      {"src_product", &src_product_value},
      {"src_id", &src_id_value},
      {"description", const_cast<char*>(description)},
      {"message", message},
      {"result", &answer},
      {nullptr, nullptr},
  };
  const BOOL delivered = host.SendEvent(document, MQEVENT_USER_MESSAGE, args, target);
  if (result != nullptr) *result = answer;
  return delivered;
}

BOOL SendDraw(Host& host, Document* document, int width, int height, PluginModule* only) {
  if (document != nullptr) {
    document->camera.width = width;
    document->camera.height = height;
  }
  NAMED_ARG args[] = {
      {"scene", SceneOf(document)},
      {"width", &width},
      {"height", &height},
      {nullptr, nullptr},
  };
  return host.SendEvent(document, MQEVENT_DRAW, args, only);
}

BOOL SendMouse(Host& host, Document* document, int code, const PointerInput& input,
               PluginModule* only) {
  if (code < MQEVENT_LBUTTON_DOWN || code > MQEVENT_MOUSE_WHEEL) return FALSE;
  int flags = input.flags;
  int x = input.x;
  int y = input.y;
  int wheel = input.wheel;
  NAMED_ARG args[] = {
      {"scene", SceneOf(document)},
      {"button_state", &flags},
      {"mouse_pos_x", &x},
      {"mouse_pos_y", &y},
      {"mouse_wheel", &wheel},
      {nullptr, nullptr},
  };
  return host.SendEvent(document, code, args, only);
}

BOOL SendKey(Host& host, Document* document, bool down, int key, int flags, PluginModule* only) {
  NAMED_ARG args[] = {
      {"scene", SceneOf(document)},
      {"key", &key},
      {"button_state", &flags},
      {nullptr, nullptr},
  };
  return host.SendEvent(document, down ? MQEVENT_KEY_DOWN : MQEVENT_KEY_UP, args, only);
}

BOOL SendScene(Host& host, Document* document, PluginModule* only) {
  NAMED_ARG args[] = {{"scene", SceneOf(document)}, {nullptr, nullptr}};
  return host.SendEvent(document, MQEVENT_SCENE, args, only);
}

BOOL SendNewDocument(Host& host, Document* document, const std::string& filename,
                     PluginModule* only) {
  BOOL answer = FALSE;
  for (PluginModule* plugin : Targets(host, only)) {
    XmlElement* element = host.PluginElement(document, plugin->product(), plugin->id());
    NAMED_ARG args[] = {
        {"xml_elem", ToHandle(element)},
        {"filename", FileNameArg(filename)},
        {nullptr, nullptr},
    };
    answer = host.SendEvent(document, MQEVENT_NEW_DOCUMENT, args, plugin);
  }
  return answer;
}

BOOL SendEndDocument(Host& host, Document* document, PluginModule* only) {
  return SendPlain(host, document, MQEVENT_END_DOCUMENT, only);
}

SaveOutcome SendSaveDocument(Host& host, Document* document, const std::string& filename,
                             PluginModule* only) {
  SaveOutcome outcome;
  for (PluginModule* plugin : Targets(host, only)) {
    XmlElement* element = host.PluginElement(document, plugin->product(), plugin->id());
    // The plug-in writes its whole state on every save; what it wrote last
    // time must not stay below the new data.
    element->Clear();
    BOOL save_uid = FALSE;
    NAMED_ARG args[] = {
        {"xml_elem", ToHandle(element)},
        {"filename", FileNameArg(filename)},
        {"save_uid", &save_uid},
        {nullptr, nullptr},
    };
    outcome.answer = host.SendEvent(document, MQEVENT_SAVE_DOCUMENT, args, plugin);
    if (save_uid != FALSE) outcome.save_unique_ids = true;
  }
  return outcome;
}

BOOL SendObjectListChanged(Host& host, Document* document, PluginModule* only) {
  return SendPlain(host, document, MQEVENT_OBJECT_LIST, only);
}

BOOL SendObjectModified(Host& host, Document* document, PluginModule* only) {
  return SendPlain(host, document, MQEVENT_OBJECT_MODIFIED, only);
}

BOOL SendObjectSelected(Host& host, Document* document, PluginModule* only) {
  return SendPlain(host, document, MQEVENT_OBJECT_SELECTED, only);
}

BOOL SendMaterialListChanged(Host& host, Document* document, PluginModule* only) {
  return SendPlain(host, document, MQEVENT_MATERIAL_LIST, only);
}

BOOL SendMaterialModified(Host& host, Document* document, PluginModule* only) {
  return SendPlain(host, document, MQEVENT_MATERIAL_MODIFIED, only);
}

void HoldKey(int virtual_key, bool held) {
#ifdef _WIN32
  BYTE keys[256] = {};
  if (!GetKeyboardState(keys)) return;
  if (virtual_key < 0 || virtual_key > 255) return;
  keys[virtual_key] = held ? 0x80 : 0;
  SetKeyboardState(keys);
#else
  std::vector<int> codes;
  if (const char* current = std::getenv("QUORVEL_HELD_KEYS")) {
    std::istringstream list(current);
    std::string item;
    while (std::getline(list, item, ',')) {
      if (!item.empty()) codes.push_back(std::atoi(item.c_str()));
    }
  }
  codes.erase(std::remove(codes.begin(), codes.end(), virtual_key), codes.end());
  if (held) codes.push_back(virtual_key);
  std::string text;
  for (int code : codes) text += (text.empty() ? "" : ",") + std::to_string(code);
  if (text.empty()) {
    unsetenv("QUORVEL_HELD_KEYS");
  } else {
    setenv("QUORVEL_HELD_KEYS", text.c_str(), 1);
  }
#endif
}

}  // namespace mqhost
