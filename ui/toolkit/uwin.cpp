#include "ui/toolkit/uwin.h"

#include <cstring>
#include <string>

namespace {

UWIN* ObjectOf(HWND hwnd) { return reinterpret_cast<UWIN*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA)); }

void SetObject(HWND hwnd, UWIN* object) {
  SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
}

}  // namespace

UWIN::~UWIN() {
  if (hwnd_ != nullptr) {
    if (old_proc_ != nullptr) {
      Unsubclass();
    } else if (IsWindow(hwnd_)) {
      // The window outlives nothing that it could call back into.
      SetObject(hwnd_, nullptr);
      DestroyWindow(hwnd_);
    }
  }
  hwnd_ = nullptr;
  if (font_ != nullptr) DeleteObject(font_);
}

void UWIN::SetOwnedFont(HFONT font) {
  if (font_ != nullptr && font_ != font) DeleteObject(font_);
  font_ = font;
}

LRESULT CALLBACK UWIN::WindowThunk(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lparam);
    auto* object = static_cast<UWIN*>(create->lpCreateParams);
    SetObject(hwnd, object);
    if (object != nullptr) object->hwnd_ = hwnd;
  }
  UWIN* object = ObjectOf(hwnd);
  if (object == nullptr) return DefWindowProcA(hwnd, message, wparam, lparam);
  const LRESULT result = object->WndProc(hwnd, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    SetObject(hwnd, nullptr);
    object->hwnd_ = nullptr;
  }
  return result;
}

INT_PTR CALLBACK UWIN::DialogThunk(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    auto* object = reinterpret_cast<UWIN*>(lparam);
    SetObject(hwnd, object);
    if (object != nullptr) object->hwnd_ = hwnd;
  }
  UWIN* object = ObjectOf(hwnd);
  if (object == nullptr) return FALSE;
  const LRESULT result = object->WndProc(hwnd, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    SetObject(hwnd, nullptr);
    object->hwnd_ = nullptr;
  }
  // Colour messages answer a brush; everything else only says "handled".
  return static_cast<INT_PTR>(result);
}

LRESULT CALLBACK UWIN::SubclassThunk(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  UWIN* object = ObjectOf(hwnd);
  if (object == nullptr || object->old_proc_ == nullptr) return DefWindowProcA(hwnd, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    // The control is going: hand it back to its own procedure for good.
    WNDPROC old = object->old_proc_;
    object->Unsubclass();
    return CallWindowProcA(old, hwnd, message, wparam, lparam);
  }
  return object->WndProc(hwnd, message, wparam, lparam);
}

HWND UWIN::Create(HINSTANCE instance, const char* class_name, const char* title, DWORD style,
                  DWORD ex_style, int x, int y, int width, int height, HWND parent, int show,
                  bool background) {
  instance_ = instance;
  kind_ = kWindow;
  WNDCLASSA window_class{};
  if (!GetClassInfoA(instance, class_name, &window_class)) {
    window_class.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    window_class.lpfnWndProc = &WindowThunk;
    window_class.hInstance = instance;
    window_class.lpszClassName = class_name;
    window_class.hbrBackground = background ? reinterpret_cast<HBRUSH>(COLOR_INACTIVEBORDER + 1) : nullptr;
    if (RegisterClassA(&window_class) == 0) return nullptr;
  }
  HWND hwnd = CreateWindowExA(ex_style, class_name, title, style, x, y, width, height, parent,
                              nullptr, instance, this);
  if (hwnd == nullptr) return nullptr;
  hwnd_ = hwnd;
  x_ = x;
  y_ = y;
  width_ = width;
  height_ = height;
  show_cmd_ = show;
  ShowWindow(hwnd, show);
  return hwnd;
}

INT_PTR UWIN::RunModal(HINSTANCE instance, int resource_id, HWND owner) {
  instance_ = instance;
  kind_ = kModalDialog;
  return DialogBoxParamA(instance, MAKEINTRESOURCEA(resource_id), owner, &DialogThunk,
                         reinterpret_cast<LPARAM>(this));
}

HWND UWIN::CreateModeless(HINSTANCE instance, int resource_id, HWND owner) {
  instance_ = instance;
  kind_ = kModelessDialog;
  return CreateDialogParamA(instance, MAKEINTRESOURCEA(resource_id), owner, &DialogThunk,
                            reinterpret_cast<LPARAM>(this));
}

bool UWIN::Subclass(HWND hwnd) {
  if (hwnd == nullptr) return false;
  if (old_proc_ != nullptr) Unsubclass();
  hwnd_ = hwnd;
  SetObject(hwnd, this);
  old_proc_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SubclassThunk)));
  return old_proc_ != nullptr;
}

void UWIN::Unsubclass() {
  if (hwnd_ != nullptr && old_proc_ != nullptr && IsWindow(hwnd_)) {
    SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old_proc_));
    SetObject(hwnd_, nullptr);
  }
  old_proc_ = nullptr;
  hwnd_ = nullptr;
}

LRESULT UWIN::CallOld(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (old_proc_ != nullptr) return CallWindowProcA(old_proc_, hwnd, message, wparam, lparam);
  if (kind_ == kModalDialog || kind_ == kModelessDialog) return 0;
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

HFONT CreatePanelFont(int height) {
  LOGFONTW font{};
  font.lfHeight = height;
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = SHIFTJIS_CHARSET;
  // The face name in UTF-16, right whatever the system code page is.
  lstrcpynW(font.lfFaceName, L"\uFF2D\uFF33 \uFF30\u30B4\u30B7\u30C3\u30AF", LF_FACESIZE);
  return CreateFontIndirectW(&font);
}

namespace {

BOOL CALLBACK SetChildFont(HWND child, LPARAM font) {
  SendMessageA(child, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
  return TRUE;
}

}  // namespace

void ApplyFont(HWND window, HFONT font) {
  if (window == nullptr || font == nullptr) return;
  SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  EnumChildWindows(window, &SetChildFont, reinterpret_cast<LPARAM>(font));
}

bool UpdateWindowText(HWND window, const char* text) {
  if (window == nullptr) return false;
  const int length = GetWindowTextLengthA(window);
  if (length == static_cast<int>(std::strlen(text))) {
    std::string shown(static_cast<size_t>(length) + 1, '\0');
    GetWindowTextA(window, &shown[0], length + 1);
    if (std::strcmp(shown.c_str(), text) == 0) return false;
  }
  SetWindowTextA(window, text);
  return true;
}
