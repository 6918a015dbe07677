#pragma once
// Reading the host's named-argument lists and the mouse / key state they carry.
#include <cstdint>

#include "sdk/mq_types.h"

// Value pointer of the first pair whose name equals `name` byte for byte
// (case matters); null for a null list or a missing name.
void* FindNamedArg(const NAMED_ARG* list, const char* name);

// The 32-bit integer the named value points at, or `default_value` when the
// name is missing.
int FindNamedInt(const NAMED_ARG* list, const char* name, int default_value);

// Mouse position, wheel and button / modifier flags of one mouse or key event.
struct BUTTON_STATE {
  int32_t x;
  int32_t y;
  int32_t wheel;
  int32_t left;
  int32_t middle;
  int32_t right;
  int32_t shift;
  int32_t ctrl;
  int32_t alt;
};

// Flag bits of "button_state": the Windows mouse-message key flags, plus Alt.
enum : int {
  MQBUTTON_LEFT = 0x01,
  MQBUTTON_RIGHT = 0x02,
  MQBUTTON_SHIFT = 0x04,
  MQBUTTON_CTRL = 0x08,
  MQBUTTON_MIDDLE = 0x10,
  MQBUTTON_ALT = 0x20,
};

// The six flags of a "button_state" value; position and wheel 0.
BUTTON_STATE DecodeButtonFlags(int flags);
// A mouse event: flags, "mouse_pos_x", "mouse_pos_y", "mouse_wheel" (missing: 0).
BUTTON_STATE DecodeMouseState(const NAMED_ARG* list);
// A key event: only the flags; position and wheel stay 0.
BUTTON_STATE DecodeKeyState(const NAMED_ARG* list);
