// Where a window of another program is on the screen, for tests that drive
// the interactive host with X input (xdotool) and must know where to click.
//
//   window_probe TITLE [ID]     the top-level window TITLE, or its control ID
//   window_probe --class CLASS  the client area of the first window of CLASS
//
// Prints "x y width height" in screen pixels (a control's or client area's
// inside, a top-level window's outside) and exits 0; exits 1 when there is
// no such visible window. Titles are matched exactly, in UTF-16, so the
// plug-in's Japanese captions can be asked for.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

struct Search {
  std::wstring text;  // title or class
  bool by_class = false;
  int id = 0;         // 0: the window itself
  HWND found = nullptr;
  HWND control = nullptr;
};

BOOL CALLBACK MatchControl(HWND child, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  if (GetDlgCtrlID(child) == search->id && IsWindowVisible(child)) {
    search->control = child;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK MatchClass(HWND child, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  wchar_t name[256] = {};
  GetClassNameW(child, name, 256);
  if (search->text == name && IsWindowVisible(child)) {
    search->control = child;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  if (!IsWindowVisible(window)) return TRUE;
  if (search->by_class) {
    EnumChildWindows(window, &MatchClass, data);
    if (search->control == nullptr) return TRUE;
    search->found = window;
    return FALSE;
  }
  wchar_t title[512] = {};
  // Read without a message: a busy window must not hold the probe up.
  InternalGetWindowText(window, title, 512);
  if (search->text != title) return TRUE;
  if (search->id != 0) {
    // Two panels may share a title: the one with the control is meant.
    EnumChildWindows(window, &MatchControl, data);
    if (search->control == nullptr) return TRUE;
  }
  search->found = window;
  return FALSE;
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr || argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: window_probe TITLE [ID] | --class CLASS\n");
    return 2;
  }
  Search search;
  if (std::wcscmp(argv[1], L"--class") == 0) {
    if (argc != 3) return 2;
    search.by_class = true;
    search.text = argv[2];
  } else {
    search.text = argv[1];
    if (argc == 3) search.id = static_cast<int>(std::wcstol(argv[2], nullptr, 10));
  }
  EnumWindows(&MatchTopLevel, reinterpret_cast<LPARAM>(&search));
  if (search.found == nullptr) return 1;
  RECT r;
  if (search.control != nullptr) {
    GetClientRect(search.control, &r);
    POINT origin{0, 0};
    ClientToScreen(search.control, &origin);
    OffsetRect(&r, origin.x, origin.y);
  } else {
    GetWindowRect(search.found, &r);
  }
  std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
  return 0;
}
