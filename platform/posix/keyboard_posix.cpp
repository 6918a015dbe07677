#include <cstdlib>
#include <cstring>

#include "platform/keyboard.h"

namespace quorvel::platform {

bool IsKeyHeld(int virtual_key) {
  const char* held = std::getenv("QUORVEL_HELD_KEYS");
  if (held == nullptr) return false;
  // Anything that is not a decimal number is skipped up to the next comma.
  for (const char* p = held; *p != '\0';) {
    char* end = nullptr;
    const long code = std::strtol(p, &end, 10);
    if (end != p && (*end == ',' || *end == '\0') && code == virtual_key) return true;
    const char* comma = std::strchr(p, ',');
    if (comma == nullptr) break;
    p = comma + 1;
  }
  return false;
}

}  // namespace quorvel::platform
