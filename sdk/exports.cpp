// The module's fourteen exported entry points. Each is a short trampoline to
// the plug-in object; no C++ exception may cross into the host.
#include "sdk/dispatch.h"
#include "sdk/host_api.h"
#include "sdk/plugin_object.h"

namespace {

MQStationPlugin* StationObject() { return dynamic_cast<MQStationPlugin*>(GetPluginObject()); }

}  // namespace

MQPLUGIN_EXPORT uint32_t MQCheckVersion(uint32_t /*host_version*/) { return MQPLUGIN_VERSION; }

MQPLUGIN_EXPORT BOOL MQInit(const char* exe_name) {
  try {
    return LoadHostApi(exe_name, HostApi());
  } catch (...) {
    return FALSE;
  }
}

MQPLUGIN_EXPORT void MQGetPlugInID(uint32_t* product, uint32_t* id) {
  uint32_t product_value = 0, id_value = 0;
  try {
    GetPluginObject()->GetPlugInID(&product_value, &id_value);
  } catch (...) {
  }
  if (product != nullptr) *product = product_value;
  if (id != nullptr) *id = id_value;
}

MQPLUGIN_EXPORT const char* MQGetPlugInName() {
  try {
    return GetPluginObject()->GetPlugInName();
  } catch (...) {
    return nullptr;
  }
}

MQPLUGIN_EXPORT int MQGetPlugInType() {
  try {
    return GetPluginObject()->GetPlugInType();
  } catch (...) {
    return 0;
  }
}

MQPLUGIN_EXPORT const char* MQEnumString(int index) {
  try {
    const int kind = GetPluginObject()->GetPlugInType();
    // Only station and command plug-ins exist in this module, and they
    // enumerate exactly one string; no class of the string-list kinds does.
    if (kind != MQPLUGIN_TYPE_STATION && kind != MQPLUGIN_TYPE_COMMAND) return nullptr;
    if (index != 0) return nullptr;
    MQStationPlugin* station = StationObject();
    return station != nullptr ? station->EnumString() : nullptr;
  } catch (...) {
    return nullptr;
  }
}

// Only the file kinds enumerate file types and extensions, and this module
// contains none; the query still brings the plug-in object into being, as
// every identification query does.
MQPLUGIN_EXPORT const char* MQEnumFileType(int /*index*/) {
  try {
    GetPluginObject();
  } catch (...) {
  }
  return nullptr;
}

MQPLUGIN_EXPORT const char* MQEnumFileExt(int /*index*/) {
  try {
    GetPluginObject();
  } catch (...) {
  }
  return nullptr;
}

// A command plug-in has no import, export, create or modify operation.
MQPLUGIN_EXPORT BOOL MQImportFile(int /*index*/, const char* /*filename*/, MQDocument /*doc*/) {
  return FALSE;
}
MQPLUGIN_EXPORT BOOL MQExportFile(int /*index*/, const char* /*filename*/, MQDocument /*doc*/) {
  return FALSE;
}
MQPLUGIN_EXPORT BOOL MQCreate(int /*index*/, MQDocument /*doc*/) { return FALSE; }
MQPLUGIN_EXPORT BOOL MQModifySelect(int /*index*/, MQDocument /*doc*/) { return FALSE; }
MQPLUGIN_EXPORT BOOL MQModifyObject(int /*index*/, MQDocument /*doc*/) { return FALSE; }

MQPLUGIN_EXPORT BOOL MQOnEvent(MQDocument doc, int event_type, void* option) {
  try {
    return DispatchEvent(StationObject(), doc, event_type, option);
  } catch (...) {
    return FALSE;
  }
}
