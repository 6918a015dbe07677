#include "ui/panels/morph_rows.h"

#include <windowsx.h>

#include <algorithm>

#include "rig/rig_access.h"
#include "rig/records.h"
#include "sdk/host_api.h"

namespace {

constexpr COLORREF kListGrey = RGB(192, 192, 192);
constexpr COLORREF kBelowRows = RGB(255, 255, 255);
constexpr COLORREF kBarRed = RGB(255, 0, 0);
constexpr int kRowFontHeight = 13;

void Fill(HDC dc, const RECT& rect, COLORREF colour) {
  HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}

}  // namespace

std::string ObjectNameOf(MQObject object) {
  char name[quorvel::kNameBytes] = {};
  if (object != nullptr) HostApi().MQObj_GetName(object, name, sizeof name);
  return name;
}

std::string MorphTargetNameOf(MQObject object, const quorvel::RigSlotTable& slots, int slot) {
  quorvel::OMorphTarget rec;
  if (object == nullptr || !quorvel::GetMorphTargetRecord(object, slots, slot, rec)) return {};
  return std::string(quorvel::NameOf(rec.name));
}

// ------------------------------------------------------------------ MORPH_ROW

bool MORPH_ROW::Make(HINSTANCE instance, HWND list_area, MORPH_ROW_OWNER* owner, HFONT font, int position) {
  owner_ = owner;
  font_ = font;
  position_ = position;
  slot_ = -1;
  if (hwnd_ != nullptr) return true;
  RECT client;
  GetClientRect(list_area, &client);
  return Create(instance, "QuorvelMorphRow", "", WS_CHILD, 0, 0, position * kHeight, client.right, kHeight,
                list_area, SW_HIDE, /*background=*/false) != nullptr;
}

void MORPH_ROW::Paint(HDC dc) {
  RECT client;
  GetClientRect(hwnd_, &client);
  Fill(dc, client, kListGrey);
  const MORPH_ROW_OWNER::Look look = owner_->RowLook(slot_);
  Fill(dc, RECT{0, 0, kBoxWidth, kHeight}, look.back);
  if (look.bar > 0) Fill(dc, RECT{2, 8, 2 + look.bar, 16}, kBarRed);
  char text[quorvel::kNameBytes + 16] = {};
  const int length = GetWindowTextA(hwnd_, text, sizeof text);
  HGDIOBJ old_font = SelectObject(dc, font_);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, look.text);
  TextOutA(dc, 2, 2, text, length);
  SelectObject(dc, old_font);
  painted_ = true;
  painted_look_ = look;
  painted_text_.assign(text, static_cast<size_t>(std::max(length, 0)));
}

bool MORPH_ROW::Stale() const {
  if (!painted_ || hwnd_ == nullptr) return true;
  char text[quorvel::kNameBytes + 16] = {};
  const int length = GetWindowTextA(hwnd_, text, sizeof text);
  return !(owner_->RowLook(slot_) == painted_look_) ||
         painted_text_.compare(0, std::string::npos, text, static_cast<size_t>(std::max(length, 0))) != 0;
}

LRESULT MORPH_ROW::WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  const POINT at{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
  switch (message) {
    case WM_ERASEBKGND:
      return 1;  // Paint covers the whole row
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(hwnd, &paint);
      Paint(dc);
      EndPaint(hwnd, &paint);
      return 0;
    }
    case WM_PRINTCLIENT:
      Paint(reinterpret_cast<HDC>(wparam));
      return 0;
    case WM_LBUTTONDOWN:
      // Held by this row until released, so a drag past either end of the
      // bar goes on working.
      SetCapture(hwnd);
      owner_->RowPressed(slot_, at);
      return 0;
    case WM_MOUSEMOVE:
      if ((wparam & MK_LBUTTON) != 0 && GetCapture() == hwnd) owner_->RowDragged(slot_, at);
      return 0;
    case WM_LBUTTONUP:
      if (GetCapture() == hwnd) ReleaseCapture();
      return 0;
    case WM_LBUTTONDBLCLK:
      owner_->RowDoubleClicked(slot_);
      return 0;
    default:
      return CallOld(hwnd, message, wparam, lparam);
  }
}

// ------------------------------------------------------------------ MORPH_ROWS

LRESULT MORPH_ROWS::LIST_AREA::WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
    case WM_PRINTCLIENT: {
      PAINTSTRUCT paint;
      HDC dc = message == WM_PAINT ? BeginPaint(hwnd, &paint) : reinterpret_cast<HDC>(wparam);
      RECT client;
      GetClientRect(hwnd, &client);
      Fill(dc, client, kListGrey);
      RECT below = client;
      below.top = std::max<LONG>(client.top, rows_.shown() * MORPH_ROW::kHeight - rows_.scroll_position());
      if (below.top < below.bottom) Fill(dc, below, kBelowRows);
      if (message == WM_PAINT) EndPaint(hwnd, &paint);
      return 0;
    }
    default:
      return CallOld(hwnd, message, wparam, lparam);
  }
}

bool MORPH_ROWS::Make(HWND dialog, int list_id, int bar_id) {
  placed_ = Placement{};  // new windows, placed by nobody yet
  if (!area_.Bind(dialog, list_id) || !bar_.Bind(dialog, bar_id, /*vertical=*/1)) return false;
  // The rows are the area's children: clipped to it when scrolled, and not
  // painted over by it.
  SetWindowLongPtrA(area_.hwnd(), GWL_STYLE, GetWindowLongPtrA(area_.hwnd(), GWL_STYLE) | WS_CLIPCHILDREN);
  bar_.SetWheelStep(kWheelStep);
  if (!font_) font_.reset(CreatePanelFont(kRowFontHeight));
  const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE));
  bool made = true;
  for (int i = 0; i < kRowCount; ++i) made = rows_[i].Make(instance, area_.hwnd(), &owner_, font_.get(), i) && made;
  return made;
}

RECT MORPH_ROWS::Area() const {
  RECT r{};
  if (area_.hwnd() == nullptr) return r;
  GetWindowRect(area_.hwnd(), &r);
  MapWindowPoints(nullptr, area_.dialog(), reinterpret_cast<POINT*>(&r), 2);
  r.right += bar_width_;
  return r;
}

void MORPH_ROWS::Place(const RECT& area) {
  if (area_.hwnd() == nullptr) return;
  const int width = std::max<int>(area.right - area.left - bar_width_, 0);
  const int height = std::max<int>(area.bottom - area.top, 0);
  MoveWindow(area_.hwnd(), area.left, area.top, width, height, TRUE);
  if (bar_.hwnd() != nullptr) MoveWindow(bar_.hwnd(), area.left + width, area.top, bar_width_, height, TRUE);
  Layout();
}

int MORPH_ROWS::ListHeight() const {
  RECT client{};
  if (area_.hwnd() != nullptr) GetClientRect(area_.hwnd(), &client);
  return client.bottom;
}

void MORPH_ROWS::Assign(MQObject object, const quorvel::RigSlotTable& slots, bool base_row) {
  int position = 0;
  targets_ = 0;
  if (base_row) rows_[position++].set_slot(-1);
  if (object != nullptr) {
    // Deleted or never made slots have no row.
    for (int k = 0; k < quorvel::kMaxMorphTargets; ++k) {
      if (!quorvel::HasMorphTargetRecord(object, slots, k)) continue;
      rows_[position++].set_slot(k);
      ++targets_;
    }
  }
  shown_ = position;
  Layout();
}

void MORPH_ROWS::SetText(int position, const std::string& text) {
  if (position < 0 || position >= kRowCount) return;
  HWND row = rows_[position].hwnd();
  if (UpdateWindowText(row, text.c_str())) InvalidateRect(row, nullptr, FALSE);
}

void MORPH_ROWS::Layout() {
  // One row more than the targets: the base row.
  bar_.SetRange(0, (targets_ + 1) * MORPH_ROW::kHeight, ListHeight());
  const int top = bar_.GetPosition();
  RECT client{};
  if (area_.hwnd() != nullptr) GetClientRect(area_.hwnd(), &client);
  // A refresh mostly finds the rows where they are: moving, showing or
  // hiding 21 windows again would cost every refresh of a drag.
  const Placement placement{top, client.right, shown_};
  if (placement == placed_) {
    RepaintChanged();
    return;
  }
  placed_ = placement;
  for (int i = 0; i < kRowCount; ++i) {
    HWND row = rows_[i].hwnd();
    if (row == nullptr) continue;
    SetWindowPos(row, nullptr, 0, i * MORPH_ROW::kHeight - top, client.right, MORPH_ROW::kHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE | (i < shown_ ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
  }
  Repaint();
}

bool MORPH_ROWS::HandleScroll(UINT message, WPARAM wparam, LPARAM lparam) {
  if (!bar_.HandleMessage(message, wparam, lparam)) return false;
  bar_.TakeChanged();
  Layout();
  return true;
}

void MORPH_ROWS::RepaintChanged() {
  for (int i = 0; i < shown_; ++i) {
    if (rows_[i].hwnd() != nullptr && rows_[i].Stale()) InvalidateRect(rows_[i].hwnd(), nullptr, FALSE);
  }
}

void MORPH_ROWS::Repaint() {
  if (area_.hwnd() != nullptr) InvalidateRect(area_.hwnd(), nullptr, FALSE);
  for (const MORPH_ROW& row : rows_) {
    if (row.hwnd() != nullptr) InvalidateRect(row.hwnd(), nullptr, FALSE);
  }
}

// ------------------------------------------------------------------ DLP_MORPHROWS

LRESULT DLP_MORPHROWS::PanelProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_VSCROLL || message == WM_MOUSEWHEEL) {
    rows_.HandleScroll(message, wparam, lparam);
    return TRUE;
  }
  return DLP_PANEL::PanelProc(hwnd, message, wparam, lparam);
}
