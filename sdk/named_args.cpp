#include "sdk/named_args.h"

#include <cstring>

void* FindNamedArg(const NAMED_ARG* list, const char* name) {
  if (list == nullptr || name == nullptr) return nullptr;
  for (const NAMED_ARG* arg = list; arg->name != nullptr; ++arg) {
    if (std::strcmp(arg->name, name) == 0) return arg->value;
  }
  return nullptr;
}

int FindNamedInt(const NAMED_ARG* list, const char* name, int default_value) {
  const void* value = FindNamedArg(list, name);
  if (value == nullptr) return default_value;
  int32_t result;
  std::memcpy(&result, value, sizeof(result));
  return result;
}

BUTTON_STATE DecodeButtonFlags(int flags) {
  BUTTON_STATE state{};
  state.left = (flags & MQBUTTON_LEFT) ? 1 : 0;
  state.middle = (flags & MQBUTTON_MIDDLE) ? 1 : 0;
  state.right = (flags & MQBUTTON_RIGHT) ? 1 : 0;
  state.shift = (flags & MQBUTTON_SHIFT) ? 1 : 0;
  state.ctrl = (flags & MQBUTTON_CTRL) ? 1 : 0;
  state.alt = (flags & MQBUTTON_ALT) ? 1 : 0;
  return state;
}

BUTTON_STATE DecodeMouseState(const NAMED_ARG* list) {
  BUTTON_STATE state = DecodeButtonFlags(FindNamedInt(list, "button_state", 0));
  state.x = FindNamedInt(list, "mouse_pos_x", 0);
  state.y = FindNamedInt(list, "mouse_pos_y", 0);
  state.wheel = FindNamedInt(list, "mouse_wheel", 0);
  return state;
}

BUTTON_STATE DecodeKeyState(const NAMED_ARG* list) {
  return DecodeButtonFlags(FindNamedInt(list, "button_state", 0));
}
