#pragma once
// Panel positions kept relative to the host's main window: the Win32 side of
// DLGWINPOS (window rectangles, the desktop, moving the panel).
#include <windows.h>

#include "io/registry_settings.h"

class WIN32_WINDOWRECT : public MED_WINDOWRECT {
 public:
  explicit WIN32_WINDOWRECT(HWND hwnd) : hwnd_(hwnd) {}
  WINPOS_RECT GetScreenRect() const override;
  WINPOS_RECT GetDesktopRect() const override;
  void PlaceAt(const WINPOS_RECT& rect, bool repaint) override;

 private:
  HWND hwnd_;
};

// A panel shown for the first time: back where it was recorded (inside the
// desktop), or its present place recorded when nothing was. Nothing without
// a record, a host window or a panel.
void RestorePanelPosition(DLGWINPOS* record, HWND host, HWND panel);
// The panel moved: its offset from the host window is recorded.
void RecordPanelPosition(DLGWINPOS* record, HWND host, HWND panel);
