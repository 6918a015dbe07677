#include "ui/panels/pose_list_panel.h"

#include <string>

#include "io/registry_settings.h"
#include "main/idlmain.h"
#include "rig/pose_list.h"
#include "ui/panels/pose_property_dialog.h"
#include "ui/resources/resource.h"
#include "ui/toolkit/window_position.h"

DLP_POSELIST::DLP_POSELIST() : DLP_PANEL(IDD_POSELIST, WINPOS_POSELIST) { SetHideOnClose(true); }

void DLP_POSELIST::OnInit(HWND hwnd) {
  list_.Bind(hwnd, IDC_POSELIST_LIST);
  RECT rect{};
  GetWindowRect(hwnd, &rect);
  width_ = rect.right - rect.left;
}

void DLP_POSELIST::OnRefresh() {
  const quorvel::RigEditState* state = service_->GetEditState();
  list_.Clear();
  const int count = state != nullptr ? quorvel::PoseCount(*state) : 0;
  for (int i = 0; i < count; ++i) {
    const quorvel::QuorvelPose* pose = quorvel::PoseAt(*state, i);
    list_.AddString(pose != nullptr ? std::string(quorvel::NameOf(pose->name)).c_str() : "");
  }
  list_.Enable(count > 0);
  const bool has_current = state != nullptr && quorvel::CurrentPose(*state) != nullptr;
  list_.SetSelection(has_current ? quorvel::CurrentPosition(*state) : -1);
}

void DLP_POSELIST::FitList(int client_width, int client_height) {
  if (list_.hwnd() == nullptr) return;
  MoveWindow(list_.hwnd(), 0, kListTop, client_width, client_height > kListTop ? client_height - kListTop : 0, TRUE);
}

LRESULT DLP_POSELIST::PanelProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_GETMINMAXINFO: {
      // The first of these comes before the dialog is initialised.
      auto* info = reinterpret_cast<MINMAXINFO*>(lparam);
      if (width_ > 0) {
        info->ptMinTrackSize.x = width_;
        info->ptMaxTrackSize.x = width_;
      }
      info->ptMinTrackSize.y = kMinHeight;
      return 0;
    }
    case WM_SIZE:
      if (shown_once_ != 0) {
        FitList(LOWORD(lparam), HIWORD(lparam));
        if (service_ != nullptr && service_->IsSettingsReady()) RecordPanelPosition(Winpos(), HostWindow(), hwnd);
      }
      return 0;
    default:
      return DLP_PANEL::PanelProc(hwnd, message, wparam, lparam);
  }
}

void DLP_POSELIST::OpenOtherMenu() {
  const quorvel::RigEditState* state = service_->GetEditState();
  const bool has_current = state != nullptr && quorvel::CurrentPose(*state) != nullptr;
  OpenMenu(IDR_MENU_POSELIST, IDC_POSELIST_MENU, [&](UDLGPOPUPMENU& menu) {
    menu.EnableItem(ID_POSELIST_COPY, has_current);
    menu.EnableItem(ID_POSELIST_RESET_ALL, has_current);
    // The mirror items stay enabled: mirroring makes a pose when there is none.
  });
}

bool DLP_POSELIST::Execute(int id, int code) {
  quorvel::RigEditState* state = service_->GetEditState();
  if (state == nullptr) return false;
  switch (id) {
    case IDC_POSELIST_LIST:
      return code == LBN_SELCHANGE && service_->SelectPose(list_.GetSelection());
    case IDC_POSELIST_NEW:
      return code == BN_CLICKED && service_->NewPose();
    case IDC_POSELIST_DELETE:
      return code == BN_CLICKED && service_->DeleteCurrentPose();
    case IDC_POSELIST_PROP:
      return code == BN_CLICKED && quorvel::CurrentPose(*state) != nullptr &&
             DLP_POSEPROP().Run(service_, instance_, hwnd_);
    case IDC_POSELIST_MENU:
      if (code == BN_CLICKED) OpenOtherMenu();
      return false;
    case ID_POSELIST_COPY:
      return service_->CopyCurrentPose();
    case ID_POSELIST_RESET_ALL:
      // The reset records its own undo state.
      if (service_->ResetAllBonesPose()) service_->RefreshPanels();
      return false;
    // Each mirror refreshes the panels and records its undo state itself.
    case ID_POSELIST_MIRROR_BONE:
      service_->MirrorPoseCommand(hwnd_, MIRROR_POSE_BONE);
      return false;
    case ID_POSELIST_MIRROR_PLUS:
      service_->MirrorPoseCommand(hwnd_, MIRROR_POSE_PLUS_TO_MINUS);
      return false;
    case ID_POSELIST_MIRROR_MINUS:
      service_->MirrorPoseCommand(hwnd_, MIRROR_POSE_MINUS_TO_PLUS);
      return false;
    case ID_POSELIST_MIRROR_FLIP:
      service_->MirrorPoseCommand(hwnd_, MIRROR_POSE_FLIP);
      return false;
    default:
      return false;
  }
}

void DLP_POSELIST::OnCommand(int id, int code) {
  if (!Execute(id, code)) return;
  service_->RefreshPanels();
  service_->UpdateUndo();
}
