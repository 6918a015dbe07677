#include "ui/toolkit/window_position.h"

namespace {

WINPOS_RECT RectOf(HWND hwnd) {
  RECT r{};
  if (hwnd != nullptr) GetWindowRect(hwnd, &r);
  return {r.left, r.top, r.right, r.bottom};
}

}  // namespace

WINPOS_RECT WIN32_WINDOWRECT::GetScreenRect() const { return RectOf(hwnd_); }

WINPOS_RECT WIN32_WINDOWRECT::GetDesktopRect() const { return RectOf(GetDesktopWindow()); }

void WIN32_WINDOWRECT::PlaceAt(const WINPOS_RECT& rect, bool repaint) {
  MoveWindow(hwnd_, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
             repaint ? TRUE : FALSE);
}

void RestorePanelPosition(DLGWINPOS* record, HWND host, HWND panel) {
  if (record == nullptr || host == nullptr || panel == nullptr) return;
  WIN32_WINDOWRECT main_window(host), window(panel);
  record->ApplyOrCapture(main_window, window);
}

void RecordPanelPosition(DLGWINPOS* record, HWND host, HWND panel) {
  if (record == nullptr || host == nullptr || panel == nullptr) return;
  WIN32_WINDOWRECT main_window(host), window(panel);
  record->Capture(main_window, window);
}
