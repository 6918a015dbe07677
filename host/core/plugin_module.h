#pragma once
// One plug-in module loaded by the host, reached only through its exports.
#include <cstdint>
#include <memory>
#include <string>

#include "sdk/mq_types.h"

namespace mqhost {

// The entry points of a plug-in: found by name in a loaded module, or given
// directly for a plug-in that lives in the host's own program (tests that
// must reach the plug-in object itself).
struct PluginEntryPoints {
  uint32_t (*check_version)(uint32_t) = nullptr;
  BOOL (*init)(const char*) = nullptr;
  void (*get_id)(uint32_t*, uint32_t*) = nullptr;
  const char* (*get_name)() = nullptr;  // optional
  int (*get_type)() = nullptr;
  const char* (*enum_string)(int) = nullptr;  // optional
  BOOL (*on_event)(MQDocument, int, void*) = nullptr;
};

class PluginModule {
 public:
  // Loads the module, checks its interface version, hands it the host API
  // (MQInit with `host_path`) and asks who it is. Null and a message in
  // `error` when any step fails; nothing stays loaded then.
  static std::unique_ptr<PluginModule> Load(const std::string& path, const std::string& host_path,
                                            std::string* error);
  // The same steps for a plug-in inside the host's program; `label` stands
  // for the module path in messages and path().
  static std::unique_ptr<PluginModule> Attach(const PluginEntryPoints& entry,
                                              const std::string& label,
                                              const std::string& host_path, std::string* error);
  ~PluginModule();
  PluginModule(const PluginModule&) = delete;
  PluginModule& operator=(const PluginModule&) = delete;

  const std::string& path() const { return path_; }
  uint32_t product() const { return product_; }
  uint32_t id() const { return id_; }
  int type() const { return type_; }
  const std::string& name() const { return name_; }
  const std::string& enum_string() const { return enum_string_; }
  uint32_t version() const { return version_; }

  // MQOnEvent; FALSE for a module without it.
  BOOL OnEvent(MQDocument doc, int code, void* option);

 private:
  PluginModule() = default;
  // Version check, MQInit and identification; false and `error` on failure.
  bool Start(const PluginEntryPoints& entry, const std::string& host_path, std::string* error);

  using OnEventFn = BOOL (*)(MQDocument, int, void*);

  std::string path_;
  void* module_ = nullptr;
  OnEventFn on_event_ = nullptr;
  uint32_t product_ = 0;
  uint32_t id_ = 0;
  int type_ = 0;
  uint32_t version_ = 0;
  std::string name_;
  std::string enum_string_;
};

}  // namespace mqhost
