#include <windows.h>

#include "platform/keyboard.h"

namespace quorvel::platform {

bool IsKeyHeld(int virtual_key) { return (GetKeyState(virtual_key) & 0x8000) != 0; }

}  // namespace quorvel::platform
