#pragma once
// Whether a key is held down right now, by Windows virtual-key code.
// Windows: the calling thread's key state (GetKeyState). Natively there is no
// keyboard; the process environment variable QUORVEL_HELD_KEYS stands in for
// it: a comma-separated list of decimal virtual-key codes that are held
// (the substitute host sets it when a test holds a key).

namespace quorvel::platform {

constexpr int kVirtualKeyShift = 0x10;

bool IsKeyHeld(int virtual_key);

}  // namespace quorvel::platform
