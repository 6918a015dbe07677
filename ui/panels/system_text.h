#pragma once
// The panels' fixed texts are written here in UTF-8; windows take them in
// the system code page, as the rest of the plug-in's strings.
#include <string>

#include "platform/codepage.h"

inline std::string SystemText(const char* utf8) { return quorvel::platform::Utf8ToAnsi(utf8); }
