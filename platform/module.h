#pragma once
// Loading another module of the process and looking up its exported symbols.
// Windows: LoadLibraryA / GetProcAddress / FreeLibrary; native: dlopen / dlsym / dlclose.

#include <string>

namespace quorvel::platform {

using ModuleHandle = void*;

// Null when the module cannot be loaded. Every successful load must be paired
// with CloseModule; loading a module that is already loaded only counts a reference.
ModuleHandle OpenModule(const char* path);
// Null when the module exports no such name. Names are matched exactly.
void* FindSymbol(ModuleHandle module, const char* name);
void CloseModule(ModuleHandle module);

// The instance handle of the plug-in module itself: set by the Windows DLL
// entry point, null in the native build until something sets it.
void* PluginModuleInstance();
void SetPluginModuleInstance(void* instance);

// Full path of the module (executable or library) that contains `address`;
// empty when it cannot be told.
std::string ModulePathOf(const void* address);

}  // namespace quorvel::platform
