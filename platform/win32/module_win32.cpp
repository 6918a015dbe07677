#include <windows.h>

#include "platform/module.h"

namespace quorvel::platform {

ModuleHandle OpenModule(const char* path) {
  if (path == nullptr) return nullptr;
  return reinterpret_cast<ModuleHandle>(LoadLibraryA(path));
}

void* FindSymbol(ModuleHandle module, const char* name) {
  if (module == nullptr || name == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void CloseModule(ModuleHandle module) {
  if (module != nullptr) FreeLibrary(static_cast<HMODULE>(module));
}

}  // namespace quorvel::platform
