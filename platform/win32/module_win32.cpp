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

namespace quorvel::platform {

std::string ModulePathOf(const void* address) {
  HMODULE module = nullptr;
  if (address == nullptr ||
      !GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                              GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          static_cast<LPCSTR>(address), &module)) {
    return {};
  }
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::string(path, length) : std::string();
}

}  // namespace quorvel::platform
