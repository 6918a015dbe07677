#include "ui/panels/weight_palette_list.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "main/idlmain.h"
#include "rig/id_table.h"
#include "rig/rig_access.h"
#include "rig/rig_document.h"
#include "rig/weight_operations.h"
#include "rig/weight_record.h"
#include "ui/panels/panel.h"
#include "ui/panels/weight_property_dialog.h"
#include "ui/resources/resource.h"

namespace {

constexpr int kScrollBarId = 100;
constexpr COLORREF kCurrentRow = RGB(0, 48, 128);
constexpr COLORREF kOtherRow = RGB(255, 255, 255);

// The bone names are a pixel taller than the panel's texts.
constexpr int kNameFontHeight = 13;

}  // namespace

// ------------------------------------------------------------------ DLP_WEITPALONE

DLP_WEITPALONE::DLP_WEITPALONE(IDLMAIN* service, DLP_WEITPAL& list, int place)
    : UWINMQ(service), list_(list), place_(place) {}

bool DLP_WEITPALONE::Create(HINSTANCE instance, HWND content) {
  return CreateModeless(instance, IDD_WEIGHTPALROW, content) != nullptr;
}

bool DLP_WEITPALONE::Ready() const {
  return service_ != nullptr && !service_->IsDocClosed() && service_->GetEditState() != nullptr;
}

void DLP_WEITPALONE::Assign(int entry) {
  entry_ = entry;
  Refresh();
  Repaint();
}

void DLP_WEITPALONE::Refresh() {
  if (!Ready()) return;
  const quorvel::VWeight palette = quorvel::CurrentPalette(*service_->GetEditState());
  if (entry_ < 0 || entry_ >= quorvel::Count(palette)) return;
  const quorvel::VWeightEntry& e = palette.entries[entry_];
  MQObject bone = quorvel::FindObjectByUniqueId(service_->GetDocument(), e.bone);
  colour_.Set(bone != nullptr ? quorvel::GetWeightColour(bone, service_->GetSlots()) : UCOLOR(0, 0, 0, 0));
  // Nearest percent: a typed 29 is stored as 0.29f, just below 0.29, and must read 29 again.
  weight_.Set(static_cast<int>(std::lround(e.weight * 100.0f)));
}

void DLP_WEITPALONE::Repaint() {
  if (hwnd_ != nullptr) RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void DLP_WEITPALONE::Paint(HWND hwnd) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(hwnd, &paint);
  bool current = false;
  std::string name;
  if (Ready()) {
    const quorvel::RigEditState& state = *service_->GetEditState();
    current = entry_ >= 0 && entry_ == quorvel::PaletteEntry(state);
    const quorvel::VWeight palette = quorvel::CurrentPalette(state);
    if (entry_ >= 0 && entry_ < quorvel::Count(palette)) {
      name = quorvel::ObjectNameByUniqueId(service_->GetDocument(), palette.entries[entry_].bone);
    }
  }
  RECT rect;
  GetClientRect(hwnd, &rect);
  HBRUSH fill = CreateSolidBrush(current ? kCurrentRow : kOtherRow);
  FillRect(dc, &rect, fill);
  DeleteObject(fill);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, current ? RGB(255, 255, 255) : RGB(0, 0, 0));
  HGDIOBJ old = SelectObject(dc, list_.name_font());
  TextOutA(dc, 20, 2, name.c_str(), static_cast<int>(name.size()));
  SelectObject(dc, old);
  EndPaint(hwnd, &paint);
}

void DLP_WEITPALONE::CommitWeight() {
  if (!Ready()) return;
  quorvel::RigEditState& state = *service_->GetEditState();
  quorvel::VWeight palette = quorvel::CurrentPalette(state);
  if (entry_ < 0 || entry_ >= quorvel::Count(palette)) return;
  const float w = static_cast<float>(weight_.Get()) / 100.0f;
  if (std::fabs(w) >= quorvel::kWeightRemoveThreshold) {
    palette.entries[entry_].weight = w;
  } else {
    quorvel::RemoveAt(palette, entry_);
  }
  quorvel::UpdateColour(palette, service_->GetDocument(), service_->GetSlots());
  quorvel::StorePalette(state, palette);
  // The panel rebuilds the list, and this row with it.
  list_.panel().Refresh();
}

void DLP_WEITPALONE::OpenProperties() {
  if (!Ready()) return;
  const quorvel::VWeight palette = quorvel::CurrentPalette(*service_->GetEditState());
  if (entry_ < 0 || entry_ >= quorvel::Count(palette)) return;
  DLP_OBJWEIGHTPROP dialog;
  if (!dialog.Run(service_, instance_, GetAncestor(hwnd_, GA_ROOT), palette.entries[entry_].bone) || !Ready()) {
    return;
  }
  // The bone's colour may have changed: the palette's colour follows, and
  // the rows, the panel's swatch and the view show it at once.
  quorvel::RigEditState& state = *service_->GetEditState();
  quorvel::VWeight current = quorvel::CurrentPalette(state);
  quorvel::UpdateColour(current, service_->GetDocument(), service_->GetSlots());
  quorvel::StorePalette(state, current);
  list_.panel().Refresh();
  service_->Redraw();
}

LRESULT DLP_WEITPALONE::PanelProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      SetOwnedFont(CreatePanelFont());
      ApplyFont(hwnd, owned_font());
      colour_.Bind(hwnd, IDC_PALROW_COLOR, /*clickable=*/false);
      weight_.Bind(hwnd, IDC_PALROW_WEIGHT);
      weight_.SetRange(0, 100);
      weight_.SetStep(1);
      return FALSE;  // a row never takes the focus from the viewport
    case WM_ERASEBKGND:
      return TRUE;  // painting covers the whole row
    case WM_PAINT:
      Paint(hwnd);
      return TRUE;
    case WM_LBUTTONDOWN:
      if (!Ready() || entry_ < 0) return TRUE;
      quorvel::SetPaletteEntry(*service_->GetEditState(), entry_);
      list_.RepaintRows();
      return TRUE;
    case WM_LBUTTONDBLCLK:
      OpenProperties();
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wparam) == IDC_PALROW_WEIGHT && weight_.TakeChanged()) CommitWeight();
      return TRUE;
    default:
      return FALSE;
  }
}

// ------------------------------------------------------------------ DLP_WEITPAL

bool DLP_WEITPAL::Create(IDLMAIN* service, HINSTANCE instance, HWND area) {
  service_ = service;
  instance_ = instance;
  // The windows of an earlier list went with the panel's window.
  rows_.clear();
  content_ = nullptr;
  if (area == nullptr) return false;
  RECT client;
  GetClientRect(area, &client);
  HWND list = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, client.right,
                              client.bottom, area, nullptr, instance, nullptr);
  if (list == nullptr || !Subclass(list)) return false;
  content_ = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                             std::max(0, static_cast<int>(client.right) - kScrollWidth), client.bottom, list,
                             nullptr, instance, nullptr);
  if (content_ == nullptr) return false;
  const RECT bar{client.right - kScrollWidth, 0, client.right, client.bottom};
  if (!scroll_.Create(list, kScrollBarId, bar, 1)) return false;
  scroll_.SetWheelStep(kWheelStep);
  scroll_.SetRange(0, 0, client.bottom);
  scroll_.SetPosition(0);
  if (owned_font() == nullptr) SetOwnedFont(CreatePanelFont(kNameFontHeight));
  return true;
}

void DLP_WEITPAL::Rebuild() {
  if (hwnd_ == nullptr || service_ == nullptr) return;
  const quorvel::RigEditState* state = service_->GetEditState();
  const int n = state != nullptr ? quorvel::Count(quorvel::CurrentPalette(*state)) : 0;
  while (static_cast<int>(rows_.size()) < n) {
    auto row = std::make_unique<DLP_WEITPALONE>(service_, *this, static_cast<int>(rows_.size()));
    if (!row->Create(instance_, content_)) break;
    rows_.push_back(std::move(row));
  }
  RECT client;
  GetClientRect(hwnd_, &client);
  scroll_.SetRange(0, n * kRowHeight, client.bottom);
  for (auto& row : rows_) {
    if (row->place() < n) {
      row->Assign(row->place());
      ShowWindow(row->hwnd(), SW_SHOWNA);
    } else {
      ShowWindow(row->hwnd(), SW_HIDE);
    }
  }
  PlaceRows();
}

void DLP_WEITPAL::PlaceRows() {
  if (content_ == nullptr) return;
  RECT content;
  GetClientRect(content_, &content);
  for (auto& row : rows_) {
    SetWindowPos(row->hwnd(), nullptr, 0, row->place() * kRowHeight - scroll_.GetPosition(), content.right,
                 kRowHeight, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  PaintContentWhite();
}

void DLP_WEITPAL::PaintContentWhite() {
  if (content_ == nullptr) return;
  RECT rect;
  GetClientRect(content_, &rect);
  HDC dc = GetDC(content_);
  FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  ReleaseDC(content_, dc);
}

void DLP_WEITPAL::RepaintRows() {
  for (auto& row : rows_) row->Repaint();
}

void DLP_WEITPAL::Enable(bool on) {
  if (hwnd_ != nullptr) EnableWindow(hwnd_, on ? TRUE : FALSE);
  scroll_.Enable(on);
}

LRESULT DLP_WEITPAL::WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_NCHITTEST:
      // A static lets the mouse through to its parent; the list takes it.
      return HTCLIENT;
    case WM_LBUTTONDOWN:
      SetFocus(hwnd);
      break;
    case WM_VSCROLL:
    case WM_MOUSEWHEEL:
      if (scroll_.HandleMessage(message, wparam, lparam)) PlaceRows();
      break;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(hwnd, &paint);
      EndPaint(hwnd, &paint);
      PaintContentWhite();
      return 0;
    }
    case WM_CTLCOLORSTATIC:
      // The content window repaints itself in white too.
      if (reinterpret_cast<HWND>(lparam) == content_) return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
      break;
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    default:
      break;
  }
  return CallOld(hwnd, message, wparam, lparam);
}
