#pragma once
// Text in the plug-in is in the system code page (Shift-JIS on a Japanese
// Windows); the host's XML interface speaks UTF-8. On Windows the conversion
// goes through UTF-16 with the ANSI code page; natively the system code page
// is UTF-8 and both directions copy the text unchanged.
#include <string>
#include <string_view>

namespace quorvel::platform {

std::string AnsiToUtf8(std::string_view ansi);
std::string Utf8ToAnsi(std::string_view utf8);

}  // namespace quorvel::platform
