#include "platform/module.h"

namespace quorvel::platform {

namespace {
void* g_plugin_instance = nullptr;
}

void* PluginModuleInstance() { return g_plugin_instance; }
void SetPluginModuleInstance(void* instance) { g_plugin_instance = instance; }

}  // namespace quorvel::platform
