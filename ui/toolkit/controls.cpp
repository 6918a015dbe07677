#include "ui/toolkit/controls.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>

// ------------------------------------------------------------------ UDLGCTRL

bool UDLGCTRL::Bind(HWND dialog, int id) {
  dialog_ = dialog;
  id_ = id;
  changed_ = false;
  hwnd_ = dialog != nullptr ? GetDlgItem(dialog, id) : nullptr;
  bound_ = hwnd_ != nullptr;
  return bound_;
}

bool UDLGCTRL::BindAndSubclass(HWND dialog, int id) {
  if (!UDLGCTRL::Bind(dialog, id)) return false;
  return Subclass(hwnd_);
}

void UDLGCTRL::Enable(bool on) {
  if (hwnd_ != nullptr) EnableWindow(hwnd_, on ? TRUE : FALSE);
}

void UDLGCTRL::NotifyDialog() {
  if (dialog_ != nullptr) SendMessageA(dialog_, WM_COMMAND, MAKEWPARAM(id_, 0), 0);
}

// ------------------------------------------------------------------ UDLGVALS

bool UDLGVALS::Create(HWND dialog, int id, const RECT& rect) {
  dialog_ = dialog;
  id_ = id;
  bound_ = false;
  HWND edit = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "", 0x50010084, rect.left, rect.top,
                              rect.right - rect.left, rect.bottom - rect.top, dialog,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                              reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE)),
                              nullptr);
  if (edit == nullptr) return false;
  SetOwnedFont(CreatePanelFont());
  SendMessageA(edit, WM_SETFONT, reinterpret_cast<WPARAM>(owned_font()), FALSE);
  if (!Subclass(edit)) return false;
  ShowValue();
  return true;
}

std::string UDLGVALS::Text() const {
  char text[256] = {};
  if (hwnd_ != nullptr) GetWindowTextA(hwnd_, text, sizeof text);
  return text;
}

void UDLGVALS::ShowValue() {
  UpdateWindowText(hwnd_, logic_.ValueText().c_str());
}

void UDLGVALS::ShowDragValue() {
  UpdateWindowText(hwnd_, logic_.DragText().c_str());
}

void UDLGVALS::Carry(HWND hwnd, const NUMERIC_EDIT_LOGIC::Reaction& r) {
  if (r.keep_selection_shown) {
    SetWindowLongPtrA(hwnd, GWL_STYLE, GetWindowLongPtrA(hwnd, GWL_STYLE) | ES_NOHIDESEL);
  }
  if (r.show_value) ShowValue();
  if (r.show_drag_value) ShowDragValue();
  if (r.select_all) SendMessageA(hwnd, EM_SETSEL, 0, -1);
  if (r.clear_selection) SendMessageA(hwnd, EM_SETSEL, static_cast<WPARAM>(-1), 0);
  if (r.focus_next && dialog_ != nullptr) {
    HWND next = GetNextDlgTabItem(dialog_, hwnd, FALSE);
    if (next != nullptr) SetFocus(next);
  }
  if (r.notify) {
    // The wrapper's flag is the one panels read.
    logic_.TakeChanged();
    changed_ = true;
    NotifyDialog();
  }
}

void UDLGVALS::Spin(int delta) {
  if (hwnd_ == nullptr) return;
  Carry(hwnd_, logic_.Spin(delta));
}

LRESULT UDLGVALS::WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  NUMERIC_EDIT_LOGIC::Reaction r;
  switch (message) {
    case WM_SETFOCUS: {
      const LRESULT result = CallOld(hwnd, message, wparam, lparam);
      Carry(hwnd, logic_.FocusGained());
      return result;
    }
    case WM_KILLFOCUS:
      r = logic_.FocusLost(Text());
      break;
    case WM_KEYDOWN:
      r = logic_.KeyDown(static_cast<int>(wparam));
      break;
    case WM_CHAR:
      r = logic_.Character(static_cast<int>(wparam), Text());
      break;
    case WM_LBUTTONDOWN:
      r = logic_.LeftButtonDown(static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam)));
      break;
    case WM_MOUSEMOVE:
      r = logic_.MouseMove(static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam)));
      break;
    case WM_LBUTTONUP:
      r = logic_.LeftButtonUp();
      break;
    default:
      return CallOld(hwnd, message, wparam, lparam);
  }
  Carry(hwnd, r);
  if (r.swallow) return 0;
  // A Tab already moved the focus; the edit need not beep at it.
  if (message == WM_KEYDOWN && r.focus_next) return 0;
  return CallOld(hwnd, message, wparam, lparam);
}

// ------------------------------------------------------------------ UDLGSPIN

template <typename EDIT, typename T>
bool UDLGSPIN<EDIT, T>::Wrap(HWND dialog, int id, HWND edit) {
  INITCOMMONCONTROLSEX init{sizeof init, ICC_UPDOWN_CLASS};
  InitCommonControlsEx(&init);
  RECT rect{};
  GetWindowRect(edit, &rect);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
  RECT client{};
  GetClientRect(edit, &client);
  const int width = client.right + 4, height = client.bottom + 4;
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE));
  // A control parent: Tab reaches the edit inside.
  HWND container = CreateWindowExA(WS_EX_CONTROLPARENT, "STATIC", "", WS_CHILD | WS_VISIBLE, rect.left, rect.top,
                                   width, height, dialog,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  if (container == nullptr) return false;
  // The container takes the edit's place in the tab order too.
  SetWindowPos(container, edit, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SetParent(edit, container);
  SetWindowLongPtrA(edit, GWLP_ID, 0);
  SetWindowPos(edit, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  updown_ = CreateWindowExA(0, UPDOWN_CLASSA, "", WS_CHILD | WS_VISIBLE | UDS_ALIGNRIGHT | UDS_ARROWKEYS,
                            0, 0, 0, 0, container,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kUpDownId)), instance, nullptr);
  if (updown_ == nullptr) return false;
  SendMessageA(updown_, UDM_SETBUDDY, reinterpret_cast<WPARAM>(edit), 0);
  SendMessageA(updown_, UDM_SETRANGE, 0, MAKELPARAM(0, 1));
  dialog_ = dialog;
  id_ = id;
  if (!Subclass(container)) return false;
  edit_.SetNotifyTarget(dialog);
  return true;
}

template <typename EDIT, typename T>
bool UDLGSPIN<EDIT, T>::Bind(HWND dialog, int id) {
  HWND edit = dialog != nullptr ? GetDlgItem(dialog, id) : nullptr;
  if (edit == nullptr || !edit_.Bind(dialog, id)) return false;
  bound_ = true;
  return Wrap(dialog, id, edit);
}

template <typename EDIT, typename T>
bool UDLGSPIN<EDIT, T>::Create(HWND dialog, int id, const RECT& rect) {
  if (!edit_.Create(dialog, id, rect)) return false;
  bound_ = false;
  return Wrap(dialog, id, edit_.hwnd());
}

template <typename EDIT, typename T>
LRESULT UDLGSPIN<EDIT, T>::WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lparam);
      if (header != nullptr && header->idFrom == kUpDownId && header->code == UDN_DELTAPOS) {
        // The up-down's range is reversed, so its up arrow reports -1: the
        // up arrow raises the value.
        const auto* delta = reinterpret_cast<const NMUPDOWN*>(lparam);
        edit_.Spin(-delta->iDelta);
        InvalidateRect(edit_.hwnd(), nullptr, TRUE);
        InvalidateRect(updown_, nullptr, TRUE);
        return 1;  // the up-down keeps its own position
      }
      break;
    }
    case WM_SETFOCUS:
      if (edit_.hwnd() != nullptr) SetFocus(edit_.hwnd());
      return 0;
    case WM_ENABLE:
      if (edit_.hwnd() != nullptr) EnableWindow(edit_.hwnd(), static_cast<BOOL>(wparam));
      if (updown_ != nullptr) EnableWindow(updown_, static_cast<BOOL>(wparam));
      break;
    case WM_COMMAND:
      // The edit's own notifications stop here; the dialog hears of changes
      // from the wrapper.
      return 0;
    default:
      break;
  }
  return CallOld(hwnd, message, wparam, lparam);
}

template class UDLGSPIN<UDLGINTS, int>;
template class UDLGSPIN<UDLGFLOATS, float>;

// ------------------------------------------------------------------ UDLGRADIO

bool UDLGRADIO::Bind(HWND dialog, std::vector<int> ids) {
  dialog_ = dialog;
  ids_ = std::move(ids);
  for (int id : ids_) {
    if (GetDlgItem(dialog, id) == nullptr) return false;
  }
  return dialog != nullptr && !ids_.empty();
}

void UDLGRADIO::Set(int index) {
  if (dialog_ == nullptr || index < 0 || index >= static_cast<int>(ids_.size())) return;
  const auto [lo, hi] = std::minmax_element(ids_.begin(), ids_.end());
  CheckRadioButton(dialog_, *lo, *hi, ids_[static_cast<size_t>(index)]);
}

int UDLGRADIO::Get() const {
  for (size_t i = 0; i < ids_.size(); ++i) {
    if (IsDlgButtonChecked(dialog_, ids_[i]) == BST_CHECKED) return static_cast<int>(i);
  }
  return 0;
}

void UDLGRADIO::Enable(bool on) {
  for (int id : ids_) EnableWindow(GetDlgItem(dialog_, id), on ? TRUE : FALSE);
}

// ------------------------------------------------------------------ UDLGCBOX / UDLGLIST

bool UDLGCBOX::Bind(HWND dialog, int id) {
  if (!UDLGCTRL::Bind(dialog, id)) return false;
  Clear();
  return true;
}

int UDLGCBOX::AddString(const char* text) {
  return static_cast<int>(
      SendMessageA(hwnd_, list_box_ ? LB_ADDSTRING : CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
}

void UDLGCBOX::SetItemData(int index, LPARAM data) {
  SendMessageA(hwnd_, list_box_ ? LB_SETITEMDATA : CB_SETITEMDATA, static_cast<WPARAM>(index), data);
}

LPARAM UDLGCBOX::ItemData(int index) const {
  return SendMessageA(hwnd_, list_box_ ? LB_GETITEMDATA : CB_GETITEMDATA, static_cast<WPARAM>(index), 0);
}

int UDLGCBOX::GetSelection() const {
  return static_cast<int>(SendMessageA(hwnd_, list_box_ ? LB_GETCURSEL : CB_GETCURSEL, 0, 0));
}

void UDLGCBOX::SetSelection(int index) {
  SendMessageA(hwnd_, list_box_ ? LB_SETCURSEL : CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int UDLGCBOX::Count() const {
  return static_cast<int>(SendMessageA(hwnd_, list_box_ ? LB_GETCOUNT : CB_GETCOUNT, 0, 0));
}

void UDLGCBOX::Clear() { SendMessageA(hwnd_, list_box_ ? LB_RESETCONTENT : CB_RESETCONTENT, 0, 0); }

std::string UDLGCBOX::ItemText(int index) const {
  const LRESULT length =
      SendMessageA(hwnd_, list_box_ ? LB_GETTEXTLEN : CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length < 0) return {};
  std::string text(static_cast<size_t>(length) + 1, '\0');
  SendMessageA(hwnd_, list_box_ ? LB_GETTEXT : CB_GETLBTEXT, static_cast<WPARAM>(index),
               reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(length));
  return text;
}

// ------------------------------------------------------------------ UDLGTEXT

bool UDLGTEXT::Bind(HWND dialog, int id) {
  if (!BindAndSubclass(dialog, id)) return false;
  SendMessageA(hwnd_, EM_LIMITTEXT, kMaxText, 0);
  Set(text_);
  return true;
}

void UDLGTEXT::Set(const std::string& text) {
  text_ = text.substr(0, kMaxText);
  if (hwnd_ != nullptr) SetWindowTextA(hwnd_, text_.c_str());
}

void UDLGTEXT::Commit() {
  char text[kMaxText + 1] = {};
  GetWindowTextA(hwnd_, text, sizeof text);
  if (text_ == text) return;
  text_ = text;
  changed_ = true;
  NotifyDialog();
}

LRESULT UDLGTEXT::WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_SETFOCUS: {
      const LRESULT result = CallOld(hwnd, message, wparam, lparam);
      SendMessageA(hwnd, EM_SETSEL, 0, -1);
      return result;
    }
    case WM_KILLFOCUS:
      Commit();
      break;
    case WM_KEYDOWN:
      if (wparam == VK_TAB) {
        HWND next = GetNextDlgTabItem(dialog_, hwnd, GetKeyState(VK_SHIFT) < 0);
        if (next != nullptr) SetFocus(next);
        return 0;
      }
      break;
    case WM_CHAR:
      if (wparam == VK_RETURN) {
        Commit();
        return 0;
      }
      if (wparam == VK_TAB) return 0;
      break;
    default:
      break;
  }
  return CallOld(hwnd, message, wparam, lparam);
}

// ------------------------------------------------------------------ UDLGSCROLL

bool UDLGSCROLL::Bind(HWND dialog, int id, int vertical) {
  vertical_ = vertical;
  if (!UDLGCTRL::Bind(dialog, id)) return false;
  Update();
  return true;
}

bool UDLGSCROLL::Create(HWND dialog, int id, const RECT& rect, int vertical) {
  dialog_ = dialog;
  id_ = id;
  vertical_ = vertical;
  bound_ = false;
  hwnd_ = CreateWindowExA(0, "SCROLLBAR", "", WS_CHILD | WS_VISIBLE | (vertical ? SBS_VERT : SBS_HORZ),
                          rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, dialog,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                          reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE)), nullptr);
  if (hwnd_ == nullptr) return false;
  Update();
  return true;
}

void UDLGSCROLL::SetRange(int minimum, int maximum, int page) {
  const int before = position_;
  const bool same_range = range_.minimum == minimum && range_.maximum == maximum && range_.page == page;
  range_.minimum = minimum;
  range_.maximum = maximum;
  range_.page = page;
  position_ = std::clamp(position_, range_.Top(), std::max(range_.Top(), range_.Bottom()));
  // Refreshes set the same range again and again; the bar need not repaint.
  if (!same_range || position_ != before) Update();
}

void UDLGSCROLL::SetPosition(int position) {
  position_ = std::clamp(position, range_.Top(), std::max(range_.Top(), range_.Bottom()));
  Update();
}

void UDLGSCROLL::Update() {
  if (hwnd_ == nullptr) return;
  SCROLLINFO info{sizeof info, SIF_ALL, range_.minimum, range_.maximum,
                  static_cast<UINT>(std::max(range_.page, 0)), position_, 0};
  SetScrollInfo(hwnd_, SB_CTL, &info, TRUE);
}

bool UDLGSCROLL::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  int next = position_;
  if (message == WM_MOUSEWHEEL) {
    next = ScrollByWheel(range_, position_, GET_WHEEL_DELTA_WPARAM(wparam), wheel_step_);
  } else if ((message == WM_VSCROLL && vertical_ != 0) || (message == WM_HSCROLL && vertical_ == 0)) {
    // Other bars' messages are not ours.
    if (hwnd_ != nullptr && reinterpret_cast<HWND>(lparam) != hwnd_) return false;
    int thumb = static_cast<short>(HIWORD(wparam));
    const int request = LOWORD(wparam);
    if (request == SB_THUMBTRACK || request == SB_THUMBPOSITION) {
      // The 32-bit position, not the message's 16 bits.
      SCROLLINFO info{};
      info.cbSize = sizeof info;
      info.fMask = SIF_TRACKPOS;
      if (hwnd_ != nullptr && GetScrollInfo(hwnd_, SB_CTL, &info)) thumb = info.nTrackPos;
    }
    next = ScrollTo(range_, position_, request, thumb);
  } else {
    return false;
  }
  if (next == position_) return false;
  position_ = next;
  Update();
  changed_ = true;
  return true;
}

// ------------------------------------------------------------------ UDLGCOL

COLORREF* UDLGCOL::CustomColours() {
  // Shared by every swatch of the process, as the colour dialog's habit is.
  static COLORREF colours[16] = {};
  return colours;
}

bool ChooseColourDialog(HWND owner, UCOLOR& colour) {
  CHOOSECOLORA choose{};
  choose.lStructSize = sizeof choose;
  choose.hwndOwner = owner;
  choose.rgbResult = RGB(colour.r, colour.g, colour.b);
  choose.lpCustColors = UDLGCOL::CustomColours();
  choose.Flags = CC_FULLOPEN | CC_RGBINIT;
  if (!ChooseColorA(&choose)) return false;
  colour = UCOLOR(GetRValue(choose.rgbResult), GetGValue(choose.rgbResult), GetBValue(choose.rgbResult), 255);
  return true;
}

bool UDLGCOL::Bind(HWND dialog, int id, bool clickable) {
  clickable_ = clickable;
  return BindAndSubclass(dialog, id);
}

void UDLGCOL::Set(const UCOLOR& colour) {
  colour_ = colour;
  if (hwnd_ != nullptr) InvalidateRect(hwnd_, nullptr, TRUE);
}

void UDLGCOL::Paint(HWND hwnd) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(hwnd, &paint);
  RECT rect;
  GetClientRect(hwnd, &rect);
  const bool enabled = IsWindowEnabled(hwnd) != FALSE;
  HBRUSH frame = CreateSolidBrush(enabled ? RGB(0, 0, 0) : RGB(128, 128, 128));
  FillRect(dc, &rect, frame);
  const int border = enabled ? 1 : 3;
  InflateRect(&rect, -border, -border);
  HBRUSH fill = CreateSolidBrush(RGB(colour_.r, colour_.g, colour_.b));
  FillRect(dc, &rect, fill);
  DeleteObject(fill);
  DeleteObject(frame);
  EndPaint(hwnd, &paint);
}

void UDLGCOL::Choose() {
  UCOLOR colour = colour_;
  if (!ChooseColourDialog(dialog_, colour)) return;
  Set(colour);
  changed_ = true;
  NotifyDialog();
}

LRESULT UDLGCOL::WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT:
      Paint(hwnd);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_ENABLE:
      InvalidateRect(hwnd, nullptr, TRUE);
      break;
    case WM_NCHITTEST:
      // A static is transparent to the mouse unless told otherwise.
      if (clickable_) return HTCLIENT;
      break;
    case WM_LBUTTONUP:
      if (clickable_ && IsWindowEnabled(hwnd)) {
        Choose();
        return 0;
      }
      break;
    default:
      break;
  }
  return CallOld(hwnd, message, wparam, lparam);
}

// ------------------------------------------------------------------ UDLGPOPUPMENU

UDLGPOPUPMENU::~UDLGPOPUPMENU() {
  if (menu_ != nullptr) DestroyMenu(menu_);
}

bool UDLGPOPUPMENU::Load(HINSTANCE instance, int resource_id, int submenu) {
  if (menu_ != nullptr) DestroyMenu(menu_);
  submenu_ = nullptr;
  menu_ = LoadMenuA(instance, MAKEINTRESOURCEA(resource_id));
  if (menu_ == nullptr) return false;
  submenu_ = GetSubMenu(menu_, submenu);
  return submenu_ != nullptr;
}

void UDLGPOPUPMENU::Check(int item, bool on) {
  if (submenu_ != nullptr) CheckMenuItem(submenu_, static_cast<UINT>(item), MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
}

void UDLGPOPUPMENU::EnableItem(int item, bool on) {
  if (submenu_ != nullptr) EnableMenuItem(submenu_, static_cast<UINT>(item), MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED));
}

void UDLGPOPUPMENU::SetText(int item, const char* text) {
  if (submenu_ == nullptr) return;
  MENUITEMINFOA info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_STRING;
  info.dwTypeData = const_cast<char*>(text);
  SetMenuItemInfoA(submenu_, static_cast<UINT>(item), FALSE, &info);
}

bool UDLGPOPUPMENU::ShowAt(HWND owner, HWND anchor) {
  if (anchor == nullptr) return false;
  RECT rect{};
  GetClientRect(anchor, &rect);
  POINT corner{rect.right, 0};
  ClientToScreen(anchor, &corner);
  return ShowAtPoint(owner, corner);
}

bool UDLGPOPUPMENU::ShowAtPoint(HWND owner, POINT screen) {
  if (submenu_ == nullptr) return false;
  TrackPopupMenu(submenu_, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, screen.x, screen.y, 0, owner, nullptr);
  return true;
}
