#pragma once
// The weight pen panel's palette list: one row per entry of the current
// palette, with the bone's weight colour, its name and its weight in percent.
// The list window sits in the panel's list area, scrolls its rows with its
// own scroll bar and the wheel, and keeps the rows it once made (hidden while
// the palette has fewer entries).
#include <windows.h>

#include <memory>
#include <vector>

#include "ui/toolkit/controls.h"
#include "ui/toolkit/uwin.h"

class DLP_PANEL;
class DLP_WEITPAL;

// One row: a child dialog inside the list's content window.
class DLP_WEITPALONE : public UWINMQ {
 public:
  DLP_WEITPALONE(IDLMAIN* service, DLP_WEITPAL& list, int place);
  // The row's dialog inside `content`, hidden; false when it cannot be made.
  bool Create(HINSTANCE instance, HWND content);
  // Takes palette entry `entry`, shows its values and repaints.
  void Assign(int entry);
  // Reads the entry's colour and weight again.
  void Refresh();
  void Repaint();
  int entry() const { return entry_; }
  int place() const { return place_; }

  LRESULT PanelProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  bool Ready() const;
  void Paint(HWND hwnd);
  // The weight edit committed a value: the entry's weight, or the entry gone.
  void CommitWeight();
  void OpenProperties();

  DLP_WEITPAL& list_;
  int entry_ = -1;
  int place_;
  UDLGCOL colour_;
  UDLGINT weight_;
};

// The list: a static window made inside the panel's list area and
// subclassed, a content window holding the rows, and a vertical scroll bar.
class DLP_WEITPAL : public UWIN {
 public:
  static constexpr int kRowHeight = 20;
  static constexpr int kScrollWidth = 12;
  static constexpr int kWheelStep = 20;

  explicit DLP_WEITPAL(DLP_PANEL& panel) : panel_(panel) {}
  // Makes the windows inside `area` (its client rectangle); rows of an
  // earlier list are dropped. False when a window cannot be made.
  bool Create(IDLMAIN* service, HINSTANCE instance, HWND area);
  // Rows for the current palette's entries (made when missing), the scroll
  // range, the rows placed, the content painted white.
  void Rebuild();
  void RepaintRows();
  void Enable(bool on);

  LRESULT WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) override;

  IDLMAIN* service() const { return service_; }
  DLP_PANEL& panel() { return panel_; }
  HWND content() const { return content_; }
  // The font of the rows' bone names.
  HFONT name_font() const { return owned_font(); }

 private:
  void PlaceRows();
  void PaintContentWhite();

  IDLMAIN* service_ = nullptr;
  DLP_PANEL& panel_;
  HWND content_ = nullptr;
  UDLGSCROLL scroll_;
  std::vector<std::unique_ptr<DLP_WEITPALONE>> rows_;
};
