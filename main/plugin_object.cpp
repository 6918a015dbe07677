#include "main/dlmain.h"
#include "sdk/plugin_object.h"

MQBasePlugin* GetPluginObject() {
  static DLMAIN plugin;
  return &plugin;
}
