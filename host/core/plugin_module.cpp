#include "host/core/plugin_module.h"

#include <cstring>
#include <fstream>

#include "host/core/module_machine.h"
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

// The file whose header tells what the loader will load for `path`. A bare
// file name is looked up in the host program's folder first on Windows, as
// LoadLibrary does; natively the loader searches the library path for one,
// which cannot be told here: empty then.
std::string ModuleFileFor(const std::string& path, const std::string& host_path) {
  if (path.find_first_of("/\\:") != std::string::npos) return path;
#if defined(_WIN32)
  const std::string::size_type slash = host_path.find_last_of("/\\");
  if (slash != std::string::npos) {
    const std::string beside = host_path.substr(0, slash + 1) + path;
    if (std::ifstream(beside, std::ios::binary)) return beside;
  }
  return path;
#else
  return {};
#endif
}

}  // namespace

std::unique_ptr<PluginModule> PluginModule::Load(const std::string& path,
                                                 const std::string& host_path,
                                                 std::string* error) {
  // A module of the other edition is refused before the loader sees it: it
  // could not run in this process, and the loader would only say "bad format".
  const std::string file = ModuleFileFor(path, host_path);
  const ModuleMachine machine = file.empty() ? ModuleMachine{} : ReadModuleMachine(file);
  const ModuleMachine host = HostMachine();
  if ((machine.format == ModuleMachine::kPE || machine.format == ModuleMachine::kELF) &&
      machine != host) {
    if (error != nullptr) {
      *error = "cannot load plug-in module " + path + ": it is built for " +
               DescribeModuleMachine(machine) + " and this host for " + DescribeModuleMachine(host) +
               "; use the plug-in built for this edition";
    }
    return nullptr;
  }
  std::unique_ptr<PluginModule> plugin(new PluginModule());
  plugin->path_ = path;
  plugin->module_ = OpenModule(path.c_str());
  if (plugin->module_ == nullptr) {
    if (error != nullptr) *error = "cannot load plug-in module " + path;
    return nullptr;
  }
  PluginEntryPoints entry;
  entry.check_version = Export<uint32_t (*)(uint32_t)>(plugin->module_, "MQCheckVersion");
  entry.init = Export<BOOL (*)(const char*)>(plugin->module_, "MQInit");
  entry.get_id = Export<void (*)(uint32_t*, uint32_t*)>(plugin->module_, "MQGetPlugInID");
  entry.get_name = Export<const char* (*)()>(plugin->module_, "MQGetPlugInName");
  entry.get_type = Export<int (*)()>(plugin->module_, "MQGetPlugInType");
  entry.enum_string = Export<const char* (*)(int)>(plugin->module_, "MQEnumString");
  entry.on_event = Export<OnEventFn>(plugin->module_, "MQOnEvent");
  if (!plugin->Start(entry, host_path, error)) return nullptr;
  return plugin;
}

std::unique_ptr<PluginModule> PluginModule::Attach(const PluginEntryPoints& entry,
                                                   const std::string& label,
                                                   const std::string& host_path,
                                                   std::string* error) {
  std::unique_ptr<PluginModule> plugin(new PluginModule());
  plugin->path_ = label;
  if (!plugin->Start(entry, host_path, error)) return nullptr;
  return plugin;
}

bool PluginModule::Start(const PluginEntryPoints& entry, const std::string& host_path,
                         std::string* error) {
  auto fail = [error](const std::string& message) {
    if (error != nullptr) *error = message;
    return false;
  };
  if (entry.check_version == nullptr || entry.init == nullptr || entry.get_id == nullptr ||
      entry.get_type == nullptr || entry.on_event == nullptr) {
    return fail(path_ + " is not a plug-in module: an MQ entry point is missing");
  }
  on_event_ = entry.on_event;
  version_ = entry.check_version(kHostVersion);
  if (version_ == 0 || version_ > kHostVersion) {
    return fail(path_ + " was built for an interface version this host does not speak");
  }
  if (!entry.init(host_path.c_str())) return fail(path_ + ": MQInit failed with host " + host_path);
  entry.get_id(&product_, &id_);
  type_ = entry.get_type();
  if (entry.get_name != nullptr) {
    const char* name = entry.get_name();
    name_ = name != nullptr ? name : "";
  }
  if (entry.enum_string != nullptr) {
    const char* text = entry.enum_string(0);
    enum_string_ = text != nullptr ? text : "";
  }
  return true;
}

PluginModule::~PluginModule() {
  if (module_ != nullptr) CloseModule(module_);
}

BOOL PluginModule::OnEvent(MQDocument doc, int code, void* option) {
  return on_event_ != nullptr ? on_event_(doc, code, option) : FALSE;
}

}  // namespace mqhost
