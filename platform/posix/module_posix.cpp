#include <dlfcn.h>

#include "platform/module.h"

namespace quorvel::platform {

ModuleHandle OpenModule(const char* path) {
  if (path == nullptr) return nullptr;
  return dlopen(path, RTLD_NOW | RTLD_LOCAL);
}

void* FindSymbol(ModuleHandle module, const char* name) {
  if (module == nullptr || name == nullptr) return nullptr;
  return dlsym(module, name);
}

void CloseModule(ModuleHandle module) {
  if (module != nullptr) dlclose(module);
}

}  // namespace quorvel::platform

namespace quorvel::platform {

std::string ModulePathOf(const void* address) {
  Dl_info info{};
  if (address == nullptr || dladdr(address, &info) == 0 || info.dli_fname == nullptr) return {};
  return info.dli_fname;
}

}  // namespace quorvel::platform
