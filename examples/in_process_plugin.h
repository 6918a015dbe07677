#pragma once
// The plug-in's main object inside a program that embeds the substitute
// host: the entry points the host attaches as it would take them from the
// loaded module, all reaching the one main object set with InProcessMain().
// The demo programs, the tool benchmarks and the main object's tests use it.
#include <cstdint>

#include "host/core/plugin_module.h"
#include "main/dlmain.h"
#include "sdk/dispatch.h"
#include "sdk/host_api.h"

namespace quorvel_examples {

// The main object the entry points reach; one at a time.
inline DLMAIN*& InProcessMain() {
  static DLMAIN* main = nullptr;
  return main;
}

inline mqhost::PluginEntryPoints InProcessEntryPoints() {
  mqhost::PluginEntryPoints entry;
  entry.check_version = [](uint32_t) -> uint32_t { return MQPLUGIN_VERSION; };
  entry.init = [](const char* path) -> BOOL { return LoadHostApi(path, HostApi()); };
  entry.get_id = [](uint32_t* product, uint32_t* id) { InProcessMain()->GetPlugInID(product, id); };
  entry.get_name = []() -> const char* { return InProcessMain()->GetPlugInName(); };
  entry.get_type = []() -> int { return InProcessMain()->GetPlugInType(); };
  entry.enum_string = [](int index) -> const char* {
    return index == 0 ? InProcessMain()->EnumString() : nullptr;
  };
  entry.on_event = [](MQDocument doc, int code, void* option) -> BOOL {
    return DispatchEvent(InProcessMain(), doc, code, option);
  };
  return entry;
}

}  // namespace quorvel_examples
