#include "ui/panels/panel.h"

#include "main/idlmain.h"
#include "ui/toolkit/window_position.h"

namespace {

// Enter typed into an edit of `dialog`: a host message loop that hands keys to
// the dialog manager turns Enter into the dialog's IDOK command, and the edit
// never sees it. The edit that has the focus gets its Enter all the same, and
// commits what it shows.
void CommitFocusedEdit(HWND dialog) {
  HWND focus = GetFocus();
  if (focus == nullptr || !IsChild(dialog, focus)) return;
  wchar_t kind[16] = {};
  GetClassNameW(focus, kind, 16);
  if (lstrcmpiW(kind, L"Edit") == 0) SendMessageW(focus, WM_CHAR, VK_RETURN, 0);
}

}  // namespace

bool DLP_PANEL::Create(IDLMAIN* service, HINSTANCE instance, HWND owner) {
  service_ = service;
  shown_once_ = 0;
  return CreateModeless(instance, resource_id_, owner) != nullptr;
}

void DLP_PANEL::Show(int command) {
  if (hwnd_ != nullptr) ShowWindow(hwnd_, command);
}

bool DLP_PANEL::Ready() const { return service_ != nullptr && !service_->IsDocClosed(); }

HWND DLP_PANEL::HostWindow() const {
  return service_ != nullptr ? static_cast<HWND>(service_->GetMainWindow()) : nullptr;
}

DLGWINPOS* DLP_PANEL::Winpos() const {
  return service_ != nullptr && winpos_id_ >= 0 ? service_->GetWinpos(winpos_id_) : nullptr;
}

void DLP_PANEL::Refresh() {
  // With the document ended the panels show their empty state: the service
  // answers with no model, no edit state and no current object.
  if (hwnd_ != nullptr && service_ != nullptr) OnRefresh();
}

LRESULT DLP_PANEL::PanelProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      SetOwnedFont(CreatePanelFont());
      ApplyFont(hwnd, owned_font());
      OnInit(hwnd);
      return FALSE;  // the panel does not take the focus from the viewport
    case WM_SHOWWINDOW:
      if (wparam != 0) {
        if (shown_once_ == 0) {
          shown_once_ = 1;
          RestorePanelPosition(Winpos(), HostWindow(), hwnd);
        }
        Refresh();
      }
      return 0;
    case WM_MOVE:
      if (service_ != nullptr && service_->IsSettingsReady()) RecordPanelPosition(Winpos(), HostWindow(), hwnd);
      return 0;
    case WM_CLOSE:
      if (hide_on_close_) {
        ShowWindow(hwnd, SW_HIDE);
      } else {
        DestroyWindow(hwnd);
      }
      return TRUE;
    case WM_LBUTTONDOWN:
      if (HostWindow() != nullptr) SetFocus(HostWindow());
      return 0;
    case WM_COMMAND:
      // A panel has no OK: IDOK is Enter as the dialog manager passes it on.
      if (LOWORD(wparam) == IDOK) {
        CommitFocusedEdit(hwnd);
        return TRUE;
      }
      if (Ready()) OnCommand(LOWORD(wparam), HIWORD(wparam));
      return TRUE;
    default:
      return 0;
  }
}

INT_PTR DLP_MODAL::Run(IDLMAIN* service, HINSTANCE instance, HWND owner) {
  service_ = service;
  owner_ = owner;
  return RunModal(instance, resource_id_, owner);
}

LRESULT DLP_MODAL::PanelProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG: {
      SetOwnedFont(CreatePanelFont());
      ApplyFont(hwnd, owned_font());
      HWND host = service_ != nullptr ? static_cast<HWND>(service_->GetMainWindow()) : owner_;
      DLGWINPOS* record = service_ != nullptr && winpos_id_ >= 0 ? service_->GetWinpos(winpos_id_) : nullptr;
      RestorePanelPosition(record, host, hwnd);
      OnInit(hwnd);
      return TRUE;
    }
    case WM_MOVE:
      if (service_ != nullptr && service_->IsSettingsReady() && winpos_id_ >= 0) {
        RecordPanelPosition(service_->GetWinpos(winpos_id_),
                            static_cast<HWND>(service_->GetMainWindow()), hwnd);
      }
      return 0;
    case WM_CLOSE:
      EndDialog(hwnd, 0);
      return TRUE;
    case WM_COMMAND:
      // Cancel (and Esc) close every dialog with 0, having written nothing.
      if (LOWORD(wparam) == IDCANCEL) {
        EndDialog(hwnd, 0);
      } else {
        // OK by Enter reads what the edit being typed in shows.
        if (LOWORD(wparam) == IDOK) CommitFocusedEdit(hwnd);
        OnCommand(LOWORD(wparam), HIWORD(wparam));
      }
      return TRUE;
    default:
      return 0;
  }
}
