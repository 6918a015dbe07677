#include "sdk/plugin.h"

#include "sdk/host_api.h"

BOOL MQStationPlugin::Request(int code, NAMED_ARG* args) {
  HOST_REQUEST_INFO info{};
  GetPlugInID(&info.product, &info.plugin_id);
  info.index = 0;
  info.option = args;
  return HostApi().MQ_SendMessage(code, &info);
}

int MQStationPlugin::SendUserMessage(MQDocument doc, uint32_t target_product, uint32_t target_id,
                                     const char* description, void* message) {
  int result = 0;
  NAMED_ARG args[] = {
      {"document", doc},
      {"target_product", &target_product},
      {"target_id", &target_id},
      {"description", const_cast<char*>(description)},
      {"message", message},
      {"result", &result},
      {nullptr, nullptr},
  };
  Request(MQREQUEST_USER_MESSAGE, args);
  return result;
}

MQObject MQStationPlugin::CreateDrawingObject(MQDocument doc, int flags, BOOL instant) {
  int visibility = flags & 7;
  // The host puts the new handle in place of the "result" value pointer.
  NAMED_ARG args[] = {
      {"document", doc},
      {"visibility", &visibility},
      {"instant", &instant},
      {"result", nullptr},
      {nullptr, nullptr},
  };
  Request(MQREQUEST_NEW_DRAW_OBJECT, args);
  return static_cast<MQObject>(args[3].value);
}

MQMaterial MQStationPlugin::CreateDrawingMaterial(MQDocument doc, int& index, BOOL instant) {
  int host_index = -1;
  NAMED_ARG args[] = {
      {"document", doc},
      {"index", &host_index},
      {"instant", &instant},
      {"result", nullptr},
      {nullptr, nullptr},
  };
  Request(MQREQUEST_NEW_DRAW_MATERIAL, args);
  index = host_index;
  return static_cast<MQMaterial>(args[3].value);
}

void MQStationPlugin::DeleteDrawingObject(MQDocument doc, MQObject object) {
  NAMED_ARG args[] = {{"document", doc}, {"object", object}, {nullptr, nullptr}};
  Request(MQREQUEST_DELETE_DRAW_OBJECT, args);
}

void MQStationPlugin::DeleteDrawingMaterial(MQDocument doc, MQMaterial material) {
  NAMED_ARG args[] = {{"document", doc}, {"material", material}, {nullptr, nullptr}};
  Request(MQREQUEST_DELETE_DRAW_MATERIAL, args);
}

void MQStationPlugin::UpdateUndo() {
  NAMED_ARG args[] = {{nullptr, nullptr}};
  Request(MQREQUEST_UPDATE_UNDO, args);
}

void MQStationPlugin::RedrawAllScene() {
  NAMED_ARG args[] = {{nullptr, nullptr}};
  Request(MQREQUEST_REDRAW_ALL_SCENE, args);
}

void MQStationPlugin::BeginCallback(void* option) {
  // The host answers nothing, so the record is kept until it is called back;
  // one the host never runs goes with this object.
  pending_callbacks_.push_back(CallbackRecord{this, option});
  HostApi().MQ_StationCallback(&MQStationPlugin::StationCallback, &pending_callbacks_.back());
}

BOOL MQAPICALL MQStationPlugin::StationCallback(MQDocument doc, void* record) {
  auto* callback = static_cast<CallbackRecord*>(record);
  if (callback == nullptr || callback->plugin == nullptr) return FALSE;
  return callback->plugin->RunCallback(doc, callback);
}

BOOL MQStationPlugin::RunCallback(MQDocument doc, CallbackRecord* record) {
  for (auto it = pending_callbacks_.begin(); it != pending_callbacks_.end(); ++it) {
    if (&*it != record) continue;
    void* option = it->option;
    pending_callbacks_.erase(it);  // released first: ExecuteCallback may ask for another
    return ExecuteCallback(doc, option) ? TRUE : FALSE;
  }
  return FALSE;
}
