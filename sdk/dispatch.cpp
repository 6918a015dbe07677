#include "sdk/dispatch.h"

#include <cstring>

namespace {

using MouseHandler = BOOL (MQCommandPlugin::*)(MQDocument, MQScene, BUTTON_STATE&);
using KeyHandler = BOOL (MQCommandPlugin::*)(MQDocument, MQScene, int, BUTTON_STATE&);

MouseHandler MouseHandlerFor(int code) {
  switch (code) {
    case MQEVENT_LBUTTON_DOWN: return &MQCommandPlugin::OnLeftButtonDown;
    case MQEVENT_LBUTTON_MOVE: return &MQCommandPlugin::OnLeftButtonMove;
    case MQEVENT_LBUTTON_UP: return &MQCommandPlugin::OnLeftButtonUp;
    case MQEVENT_MBUTTON_DOWN: return &MQCommandPlugin::OnMiddleButtonDown;
    case MQEVENT_MBUTTON_MOVE: return &MQCommandPlugin::OnMiddleButtonMove;
    case MQEVENT_MBUTTON_UP: return &MQCommandPlugin::OnMiddleButtonUp;
    case MQEVENT_RBUTTON_DOWN: return &MQCommandPlugin::OnRightButtonDown;
    case MQEVENT_RBUTTON_MOVE: return &MQCommandPlugin::OnRightButtonMove;
    case MQEVENT_RBUTTON_UP: return &MQCommandPlugin::OnRightButtonUp;
    case MQEVENT_MOUSE_MOVE: return &MQCommandPlugin::OnMouseMove;
    case MQEVENT_MOUSE_WHEEL: return &MQCommandPlugin::OnMouseWheel;
    default: return nullptr;
  }
}

KeyHandler KeyHandlerFor(int code) {
  switch (code) {
    case MQEVENT_KEY_DOWN: return &MQCommandPlugin::OnKeyDown;
    case MQEVENT_KEY_UP: return &MQCommandPlugin::OnKeyUp;
    default: return nullptr;
  }
}

BOOL ReadBoolOption(void* option) {
  if (option == nullptr) return FALSE;
  BOOL flag;
  std::memcpy(&flag, option, sizeof(flag));
  return flag;
}

template <typename T>
T ArgAs(const NAMED_ARG* args, const char* name) {
  return static_cast<T>(FindNamedArg(args, name));
}

}  // namespace

BOOL DispatchEvent(MQStationPlugin* plugin, MQDocument doc, int code, void* option) {
  if (plugin == nullptr) return FALSE;
  const auto* args = static_cast<const NAMED_ARG*>(option);

  if (MouseHandler handler = MouseHandlerFor(code)) {
    auto* command = dynamic_cast<MQCommandPlugin*>(plugin);
    if (command == nullptr) return FALSE;
    BUTTON_STATE state = DecodeMouseState(args);
    return (command->*handler)(doc, ArgAs<MQScene>(args, "scene"), state);
  }
  if (KeyHandler handler = KeyHandlerFor(code)) {
    auto* command = dynamic_cast<MQCommandPlugin*>(plugin);
    if (command == nullptr) return FALSE;
    BUTTON_STATE state = DecodeKeyState(args);
    return (command->*handler)(doc, ArgAs<MQScene>(args, "scene"), FindNamedInt(args, "key", 0),
                               state);
  }

  switch (code) {
    case MQEVENT_INITIALIZE:
      return plugin->Initialize();
    case MQEVENT_EXIT:
      plugin->Exit();
      return TRUE;
    case MQEVENT_ACTIVATE:
      return plugin->Activate(doc, ReadBoolOption(option));
    case MQEVENT_IS_ACTIVATED:
      return plugin->IsActivated(doc);
    case MQEVENT_MINIMIZE:
      plugin->OnMinimize(doc, ReadBoolOption(option));
      return TRUE;
    case MQEVENT_USER_MESSAGE: {
      const int result = plugin->OnReceiveUserMessage(
          doc, static_cast<uint32_t>(FindNamedInt(args, "src_product", 0)),
          static_cast<uint32_t>(FindNamedInt(args, "src_id", 0)),
          ArgAs<const char*>(args, "description"), FindNamedArg(args, "message"));
      if (void* out = FindNamedArg(args, "result")) std::memcpy(out, &result, sizeof(result));
      return TRUE;
    }
    case MQEVENT_DRAW:
      plugin->OnDraw(doc, ArgAs<MQScene>(args, "scene"), FindNamedInt(args, "width", 1),
                     FindNamedInt(args, "height", 1));
      return TRUE;
    case MQEVENT_NEW_DOCUMENT: {
      NEW_DOC_PARAM param{ArgAs<MQXmlElement>(args, "xml_elem")};
      plugin->OnNewDocument(doc, ArgAs<const char*>(args, "filename"), param);
      return TRUE;
    }
    case MQEVENT_END_DOCUMENT:
      plugin->OnEndDocument(doc);
      return TRUE;
    case MQEVENT_SAVE_DOCUMENT: {
      SAVE_DOC_PARAM param{ArgAs<MQXmlElement>(args, "xml_elem"), FALSE};
      plugin->OnSaveDocument(doc, ArgAs<const char*>(args, "filename"), param);
      if (param.save_unique_id) {
        if (void* out = FindNamedArg(args, "save_uid")) {
          const BOOL value = TRUE;
          std::memcpy(out, &value, sizeof(value));
        }
      }
      return TRUE;
    }
    case MQEVENT_UNDO:
      return plugin->OnUndo(doc, FindNamedInt(args, "state", 0));
    case MQEVENT_REDO:
      return plugin->OnRedo(doc, FindNamedInt(args, "state", 0));
    case MQEVENT_UNDO_UPDATED:
      plugin->OnUpdateUndo(doc, FindNamedInt(args, "state", 0), FindNamedInt(args, "size", 0));
      return TRUE;
    case MQEVENT_OBJECT_LIST:
      plugin->OnUpdateObjectList(doc);
      return TRUE;
    case MQEVENT_OBJECT_MODIFIED:
      plugin->OnObjectModified(doc);
      return TRUE;
    case MQEVENT_OBJECT_SELECTED:
      plugin->OnObjectSelected(doc);
      return TRUE;
    case MQEVENT_MATERIAL_LIST:
      plugin->OnUpdateMaterialList(doc);
      return TRUE;
    case MQEVENT_MATERIAL_MODIFIED:
      plugin->OnMaterialModified(doc);
      return TRUE;
    case MQEVENT_SCENE:
      plugin->OnUpdateScene(doc, ArgAs<MQScene>(args, "scene"));
      return TRUE;
    default:
      return FALSE;
  }
}
