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
