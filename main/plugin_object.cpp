#include "main/dlmain.h"
#include "sdk/plugin_object.h"

#if defined(_WIN32)
#include "ui/panels/win32_user_interface.h"
#endif

MQBasePlugin* GetPluginObject() {
#if defined(_WIN32)
  // The modeller's user gets real panels; the native module stays headless.
  static DLMAIN plugin(std::make_unique<WIN32_UI>());
#else
  static DLMAIN plugin;
#endif
  return &plugin;
}
