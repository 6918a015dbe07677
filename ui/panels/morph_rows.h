#pragma once
// The list both morph panels show: one row for the base vertices and one for
// each morph target of the current object, drawn by the panel itself inside
// the dialog's list area, with a vertical scroll bar at its right edge.
//
// The rows are made once with the dialog. A row's window text is what it
// shows, so that what a row says can be read back like any window's caption.
#include <windows.h>

#include <array>
#include <memory>
#include <string>
#include <type_traits>

#include "rig/slot_table.h"
#include "sdk/mq_types.h"
#include "ui/panels/panel.h"
#include "ui/toolkit/controls.h"
#include "ui/toolkit/uwin.h"

// The object's name; empty for none.
std::string ObjectNameOf(MQObject object);
// The name of the object's morph target `slot`; empty when it has none.
std::string MorphTargetNameOf(MQObject object, const quorvel::RigSlotTable& slots, int slot);

// How a panel draws its rows and what it does with the mouse on them. `slot`
// is the morph slot a row shows, -1 for the base row.
class MORPH_ROW_OWNER {
 public:
  struct Look {
    COLORREF back;
    COLORREF text;
    // Width in pixels of the red weight bar; negative for none.
    int bar = -1;

    bool operator==(const Look& o) const { return back == o.back && text == o.text && bar == o.bar; }
  };
  virtual Look RowLook(int slot) = 0;
  virtual void RowPressed(int /*slot*/, POINT /*at*/) {}
  // The mouse moved over the row that took the press, the button held.
  virtual void RowDragged(int /*slot*/, POINT /*at*/) {}
  virtual void RowDoubleClicked(int /*slot*/) {}

 protected:
  ~MORPH_ROW_OWNER() = default;
};

// One row: a child window of the list area.
class MORPH_ROW : public UWIN {
 public:
  static constexpr int kHeight = 20;
  // The coloured box a row draws; the rest of a wider row is the list grey.
  static constexpr int kBoxWidth = 200;

  MORPH_ROW() = default;
  bool Make(HINSTANCE instance, HWND list_area, MORPH_ROW_OWNER* owner, HFONT font, int position);
  LRESULT WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) override;

  int slot() const { return slot_; }
  void set_slot(int slot) { slot_ = slot; }
  int position() const { return position_; }
  // Whether the row would paint differently from the last time it painted.
  bool Stale() const;

 private:
  void Paint(HDC dc);

  MORPH_ROW_OWNER* owner_ = nullptr;
  bool painted_ = false;
  MORPH_ROW_OWNER::Look painted_look_{};
  std::string painted_text_;
  HFONT font_ = nullptr;
  int slot_ = -1;
  int position_ = 0;
};

class MORPH_ROWS {
 public:
  static constexpr int kRowCount = 21;
  static constexpr int kWheelStep = 20;

  // `bar_width`: the scroll bar's width in pixels.
  MORPH_ROWS(MORPH_ROW_OWNER& owner, int bar_width) : owner_(owner), bar_width_(bar_width) {}

  // Binds the list area and the scroll bar of `dialog` and makes the rows
  // and their font; false when the dialog lacks either control.
  bool Make(HWND dialog, int list_id, int bar_id);
  // Puts list area and bar into `area` (dialog client coordinates), the bar
  // taking its width at the right edge, and places the rows again.
  void Place(const RECT& area);
  // The list area's rectangle in dialog client coordinates (bar included).
  RECT Area() const;

  // Row 0 shows the base (when `base_row`), rows 1 … n the used slots of
  // `object` in ascending order; the rest are hidden. `object` may be null.
  void Assign(MQObject object, const quorvel::RigSlotTable& slots, bool base_row);
  // The text a row shows (its window text).
  void SetText(int position, const std::string& text);
  // A scroll message or a wheel turn of the dialog; true when the rows moved.
  bool HandleScroll(UINT message, WPARAM wparam, LPARAM lparam);
  // The rows whose look or text changed since they painted.
  void RepaintChanged();
  // Every row and the list area painted again.
  void Repaint();

  int shown() const { return shown_; }
  int scroll_position() const { return bar_.GetPosition(); }
  HWND row_window(int position) const { return rows_[position].hwnd(); }
  int row_slot(int position) const { return rows_[position].slot(); }

 private:
  // The static list area painted by the panel: grey, white below the rows.
  class LIST_AREA : public UDLGCTRL {
   public:
    explicit LIST_AREA(const MORPH_ROWS& rows) : rows_(rows) {}
    LRESULT WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) override;
    bool Bind(HWND dialog, int id) { return BindAndSubclass(dialog, id); }

   private:
    const MORPH_ROWS& rows_;
  };
  struct FONT_DELETER {
    void operator()(HFONT font) const { DeleteObject(font); }
  };

  // Range, page and row positions from the shown rows and the area height.
  void Layout();
  // Where Layout last put the rows.
  struct Placement {
    int top = -1;
    int width = -1;
    int shown = -1;
    bool operator==(const Placement& o) const { return top == o.top && width == o.width && shown == o.shown; }
  };
  int ListHeight() const;

  MORPH_ROW_OWNER& owner_;
  int bar_width_;
  LIST_AREA area_{*this};
  UDLGSCROLL bar_;
  std::array<MORPH_ROW, kRowCount> rows_;
  std::unique_ptr<std::remove_pointer_t<HFONT>, FONT_DELETER> font_;
  int shown_ = 0;
  int targets_ = 0;
  Placement placed_;
};

// A panel made of such a list: the dialog's scroll and wheel messages move
// its rows.
class DLP_MORPHROWS : public DLP_PANEL, protected MORPH_ROW_OWNER {
 public:
  DLP_MORPHROWS(int resource_id, int winpos_id, int bar_width)
      : DLP_PANEL(resource_id, winpos_id), rows_(*this, bar_width) {}
  LRESULT PanelProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) override;

 protected:
  MORPH_ROWS rows_;
};
