#include <windows.h>

#include "platform/debug_output.h"

namespace quorvel::platform {

void WriteDebugString(const char* text) {
  if (text != nullptr) OutputDebugStringA(text);
}

}  // namespace quorvel::platform
