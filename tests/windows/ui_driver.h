#pragma once
// A person's input to real windows, as the messages it makes: clicks on
// buttons, characters and keys typed into edits, mouse drags in client
// coordinates; and a way to act while the test thread sits in a modal loop
// (a pop-up menu, a message box, a modal dialog), as the person would on
// what they see there.
#include <windows.h>

#include <functional>
#include <string>
#include <utility>

namespace quorvel_test {

inline void ClickButton(HWND button) { SendMessageW(button, BM_CLICK, 0, 0); }
inline void ClickItem(HWND dialog, int id) { ClickButton(GetDlgItem(dialog, id)); }

inline void TypeChar(HWND window, wchar_t ch) { SendMessageW(window, WM_CHAR, ch, 1); }
inline void TypeText(HWND window, const wchar_t* text) {
  for (; *text != 0; ++text) TypeChar(window, *text);
}
inline void PressKey(HWND window, int vk) {
  SendMessageW(window, WM_KEYDOWN, static_cast<WPARAM>(vk), 1);
  SendMessageW(window, WM_KEYUP, static_cast<WPARAM>(vk), 0xC0000001);
}

// Enter as a message loop that hands keys to the dialog manager delivers it
// (the interactive host's loop does): IsDialogMessage with the key down.
inline bool EnterThroughDialogManager(HWND dialog, HWND focus) {
  SetFocus(focus);
  MSG msg{};
  msg.hwnd = focus;
  msg.message = WM_KEYDOWN;
  msg.wParam = VK_RETURN;
  msg.lParam = 1;
  return IsDialogMessageW(dialog, &msg) != FALSE;
}

inline LPARAM At(int x, int y) { return MAKELPARAM(x, y); }
inline void MouseDown(HWND window, int x, int y) { SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, At(x, y)); }
inline void MouseMove(HWND window, int x, int y) { SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, At(x, y)); }
inline void MouseUp(HWND window, int x, int y) {
  SendMessageW(window, WM_LBUTTONUP, 0, At(x, y));
  if (GetCapture() == window) ReleaseCapture();
}

inline std::wstring TextOf(HWND window) {
  wchar_t text[1024] = {};
  GetWindowTextW(window, text, 1024);
  return text;
}
inline std::wstring ItemText(HWND dialog, int id) { return TextOf(GetDlgItem(dialog, id)); }
inline bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
inline bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

// Runs an action once, from a thread timer, while the thread is inside a
// modal loop that dispatches messages. Arm it, start the modal thing, then
// check ran(): an action that never ran means nothing modal came up.
class WhileModal {
 public:
  explicit WhileModal(std::function<void()> action, UINT delay_ms = 100) {
    Pending() = std::move(action);
    ran_ = false;
    timer_ = SetTimer(nullptr, 0, delay_ms, &Tick);
  }
  ~WhileModal() {
    if (timer_ != 0) KillTimer(nullptr, timer_);
    Pending() = nullptr;
  }
  WhileModal(const WhileModal&) = delete;
  WhileModal& operator=(const WhileModal&) = delete;
  static bool ran() { return ran_; }

 private:
  static std::function<void()>& Pending() {
    static std::function<void()> pending;
    return pending;
  }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    std::function<void()> action = std::move(Pending());
    Pending() = nullptr;
    if (!action) return;
    ran_ = true;
    action();
  }
  static inline bool ran_ = false;
  UINT_PTR timer_ = 0;
};

// The pop-up menu on the screen, or null.
inline HMENU ShownPopupMenu() {
  HWND window = FindWindowW(L"#32768", nullptr);
  return window != nullptr ? reinterpret_cast<HMENU>(SendMessageW(window, MN_GETHMENU, 0, 0)) : nullptr;
}
inline std::wstring MenuItemText(HMENU menu, UINT id) {
  wchar_t text[256] = {};
  GetMenuStringW(menu, id, text, 256, MF_BYCOMMAND);
  return text;
}
inline bool MenuItemChecked(HMENU menu, UINT id) {
  return (GetMenuState(menu, id, MF_BYCOMMAND) & MF_CHECKED) != 0;
}
inline bool MenuItemGrayed(HMENU menu, UINT id) {
  return (GetMenuState(menu, id, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED)) != 0;
}

struct ThreadDialogSearch {
  const std::wstring* title;
  HWND found;
};
inline BOOL CALLBACK MatchThreadDialog(HWND window, LPARAM data) {
  auto* s = reinterpret_cast<ThreadDialogSearch*>(data);
  wchar_t cls[32] = {};
  GetClassNameW(window, cls, 32);
  if (std::wstring(cls) == L"#32770" && IsWindowVisible(window) && TextOf(window) == *s->title) {
    s->found = window;
    return FALSE;
  }
  return TRUE;
}
// A dialog of this thread with the dialog class and this title (a message
// box or a modal dialog), visible; null when there is none.
inline HWND FindThreadDialog(const std::wstring& title) {
  ThreadDialogSearch search{&title, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), &MatchThreadDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}
// The text of a message box (its static text control).
inline std::wstring MessageBoxText(HWND box) { return ItemText(box, 0xFFFF); }

}  // namespace quorvel_test
