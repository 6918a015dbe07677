#pragma once
// Decoding of one host event into one call on the plug-in object.
#include "sdk/plugin.h"

// What MQOnEvent answers for `code`. `option` is a named-argument list for
// most codes, a pointer to a BOOL for 100 and 102, unused for the rest.
// Unknown codes answer FALSE and call nothing.
BOOL DispatchEvent(MQStationPlugin* plugin, MQDocument doc, int code, void* option);
