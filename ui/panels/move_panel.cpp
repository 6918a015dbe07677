#include "ui/panels/move_panel.h"

#include "io/registry_settings.h"
#include "main/idlmain.h"
#include "rig/vertex_follow.h"
#include "ui/resources/resource.h"

DLP_CMDMOVE::DLP_CMDMOVE() : DLP_PANEL(IDD_CMDMOVE, WINPOS_CMDMOVE) {}

void DLP_CMDMOVE::OnInit(HWND hwnd) {
  handle_.Bind(hwnd, {IDC_MOVE_TRANSLATE, IDC_MOVE_ROTATE, IDC_MOVE_SCALE});
  vertex_.Bind(hwnd, {IDC_MOVE_VERTEX_NONE, IDC_MOVE_VERTEX_LOCAL, IDC_MOVE_VERTEX_ROTATE,
                      IDC_MOVE_VERTEX_ZSCALE, IDC_MOVE_VERTEX_SCALE});
  mask_pivot_.Bind(hwnd, IDC_MOVE_MASK_PIVOT);
  mask_body_.Bind(hwnd, IDC_MOVE_MASK_BODY);
  mask_roll_.Bind(hwnd, IDC_MOVE_MASK_ROLL);
  ik_.Bind(hwnd, IDC_MOVE_IK);
}

void DLP_CMDMOVE::OnRefresh() {
  handle_.Set(service_->GetToolOption(4));
  mask_pivot_.Set(service_->GetModelOption(MQEXPDOC::kLockPivot));
  mask_body_.Set(service_->GetModelOption(MQEXPDOC::kLockBody));
  mask_roll_.Set(service_->GetModelOption(MQEXPDOC::kLockRoll));
  vertex_.Set(service_->GetToolOption(1));
  ik_.Set(service_->GetToolOption(2) != 0);
}

void DLP_CMDMOVE::WriteValues() {
  service_->SetToolOption(4, handle_.Get());
  service_->SetModelOption(MQEXPDOC::kLockPivot, mask_pivot_.Get());
  service_->SetModelOption(MQEXPDOC::kLockBody, mask_body_.Get());
  service_->SetModelOption(MQEXPDOC::kLockRoll, mask_roll_.Get());
  service_->SetToolOption(1, vertex_.Get());
  service_->SetToolOption(2, ik_.Get() ? 1 : 0);
}

void DLP_CMDMOVE::OnCommand(int id, int code) {
  switch (id) {
    case IDC_MOVE_TRANSLATE:
    case IDC_MOVE_ROTATE:
    case IDC_MOVE_SCALE:
      if (code != BN_CLICKED) return;
      WriteValues();
      service_->Redraw();
      return;
    case IDC_MOVE_IK:
      if (code != BN_CLICKED) return;
      // IK moves the rest skeleton by turning bones; switched on, it brings
      // the mesh follow down to "local", under which meshes stay sensible.
      if (ik_.Get() && vertex_.Get() > quorvel::kFollowLocal) vertex_.Set(quorvel::kFollowLocal);
      WriteValues();
      return;
    case IDC_MOVE_MASK_PIVOT:
    case IDC_MOVE_MASK_BODY:
    case IDC_MOVE_MASK_ROLL:
    case IDC_MOVE_VERTEX_NONE:
    case IDC_MOVE_VERTEX_LOCAL:
    case IDC_MOVE_VERTEX_ROTATE:
    case IDC_MOVE_VERTEX_ZSCALE:
    case IDC_MOVE_VERTEX_SCALE:
      if (code == BN_CLICKED) WriteValues();
      return;
    case IDC_MOVE_MENU:
      if (code == BN_CLICKED) OpenMenu(IDR_MENU_MOVE, IDC_MOVE_MENU, [](UDLGPOPUPMENU&) {});
      return;
    case ID_MOVE_RESET_SELECTED:
      service_->ResetLocalRotScale(/*selected_only=*/true);
      return;
    case ID_MOVE_RESET_ALL:
      service_->ResetLocalRotScale(/*selected_only=*/false);
      return;
    case ID_MOVE_ALIGN:
      service_->BoneAlign(hwnd_);
      return;
    case ID_MOVE_MIRROR_BONES:
      // Redraws, refreshes and records its undo state itself.
      service_->MirrorBonesCommand(hwnd_);
      return;
    default:
      return;
  }
}
