// The entry point of quorvel.dll: keep the module's instance handle, which the
// panels need to load their dialog and menu resources.
#include <windows.h>

#include "platform/module.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) quorvel::platform::SetPluginModuleInstance(instance);
  return TRUE;
}
