#pragma once
// The single plug-in object of the process.
#include "sdk/plugin.h"

// Constructs the object (the main object) on the first call, in static
// storage destroyed at module unload; every later call returns the same one.
MQBasePlugin* GetPluginObject();
