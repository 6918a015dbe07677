#include "host/core/plugin_module.h"

#include <cstring>

#include "platform/module.h"

namespace mqhost {

namespace {

using quorvel::platform::CloseModule;
using quorvel::platform::FindSymbol;
using quorvel::platform::OpenModule;

template <typename Fn>
Fn Export(void* module, const char* name) {
  void* symbol = FindSymbol(module, name);
  Fn fn = nullptr;
  static_assert(sizeof(fn) == sizeof(symbol), "function pointer size");
  std::memcpy(&fn, &symbol, sizeof(fn));
  return fn;
}

// The interface version this host speaks; plug-ins built for an older or the
// same version are accepted.
constexpr uint32_t kHostVersion = 0x0399;

}  // namespace

std::unique_ptr<PluginModule> PluginModule::Load(const std::string& path,
                                                 const std::string& host_path,
                                                 std::string* error) {
  auto fail = [error](const std::string& message) {
    if (error != nullptr) *error = message;
    return nullptr;
  };
  std::unique_ptr<PluginModule> plugin(new PluginModule());
  plugin->path_ = path;
  plugin->module_ = OpenModule(path.c_str());
  if (plugin->module_ == nullptr) return fail("cannot load plug-in module " + path);

  auto check_version = Export<uint32_t (*)(uint32_t)>(plugin->module_, "MQCheckVersion");
  auto init = Export<BOOL (*)(const char*)>(plugin->module_, "MQInit");
  auto get_id = Export<void (*)(uint32_t*, uint32_t*)>(plugin->module_, "MQGetPlugInID");
  auto get_name = Export<const char* (*)()>(plugin->module_, "MQGetPlugInName");
  auto get_type = Export<int (*)()>(plugin->module_, "MQGetPlugInType");
  auto enum_string = Export<const char* (*)(int)>(plugin->module_, "MQEnumString");
  plugin->on_event_ = Export<OnEventFn>(plugin->module_, "MQOnEvent");
  if (check_version == nullptr || init == nullptr || get_id == nullptr || get_type == nullptr ||
      plugin->on_event_ == nullptr) {
    return fail(path + " is not a plug-in module: an MQ entry point is missing");
  }
  plugin->version_ = check_version(kHostVersion);
  if (plugin->version_ == 0 || plugin->version_ > kHostVersion) {
    return fail(path + " was built for an interface version this host does not speak");
  }
  if (!init(host_path.c_str())) return fail(path + ": MQInit failed with host " + host_path);
  get_id(&plugin->product_, &plugin->id_);
  plugin->type_ = get_type();
  if (get_name != nullptr) {
    const char* name = get_name();
    plugin->name_ = name != nullptr ? name : "";
  }
  if (enum_string != nullptr) {
    const char* text = enum_string(0);
    plugin->enum_string_ = text != nullptr ? text : "";
  }
  return plugin;
}

PluginModule::~PluginModule() { CloseModule(module_); }

BOOL PluginModule::OnEvent(MQDocument doc, int code, void* option) {
  return on_event_ != nullptr ? on_event_(doc, code, option) : FALSE;
}

}  // namespace mqhost
