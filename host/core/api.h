#pragma once
// The host API exported to plug-ins, with C linkage and the host calling
// convention, generated from the same list the plug-in's table is built from.
#include "host/core/document.h"
#include "sdk/host_api_list.h"
#include "sdk/host_codes.h"

#if defined(_WIN32)
#define MQHOST_EXPORT extern "C" __attribute__((dllexport))
#else
#define MQHOST_EXPORT extern "C" __attribute__((visibility("default")))
#endif

#define MQHOST_DECLARE(ret, name, params) MQHOST_EXPORT ret MQAPICALL name params;
MQ_HOST_API_LIST(MQHOST_DECLARE)
#undef MQHOST_DECLARE

namespace mqhost {

// Handles are the host's own objects.
inline Document* ToDocument(MQDocument doc) { return reinterpret_cast<Document*>(doc); }
inline MQDocument ToHandle(Document* doc) { return reinterpret_cast<MQDocument>(doc); }
inline Object* ToObject(MQObject obj) { return reinterpret_cast<Object*>(obj); }
inline MQObject ToHandle(Object* obj) { return reinterpret_cast<MQObject>(obj); }
inline Material* ToMaterial(MQMaterial mat) { return reinterpret_cast<Material*>(mat); }
inline MQMaterial ToHandle(Material* mat) { return reinterpret_cast<MQMaterial>(mat); }
inline Camera* ToCamera(MQScene scene) { return reinterpret_cast<Camera*>(scene); }
inline MQScene ToHandle(Camera* camera) { return reinterpret_cast<MQScene>(camera); }

}  // namespace mqhost
