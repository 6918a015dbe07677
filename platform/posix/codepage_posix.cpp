#include "platform/codepage.h"

namespace quorvel::platform {

std::string AnsiToUtf8(std::string_view ansi) { return std::string(ansi); }
std::string Utf8ToAnsi(std::string_view utf8) { return std::string(utf8); }

}  // namespace quorvel::platform
