#pragma once
// One plug-in module loaded by the host, reached only through its exports.
#include <cstdint>
#include <memory>
#include <string>

#include "sdk/mq_types.h"

namespace mqhost {

class PluginModule {
 public:
  // Loads the module, checks its interface version, hands it the host API
  // (MQInit with `host_path`) and asks who it is. Null and a message in
  // `error` when any step fails; nothing stays loaded then.
  static std::unique_ptr<PluginModule> Load(const std::string& path, const std::string& host_path,
                                            std::string* error);
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
