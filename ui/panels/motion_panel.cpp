#include "ui/panels/motion_panel.h"

#include "io/registry_settings.h"
#include "main/idlmain.h"
#include "ui/resources/resource.h"

DLP_CMDMOT::DLP_CMDMOT() : DLP_PANEL(IDD_CMDMOT, WINPOS_CMDMOT) {}

void DLP_CMDMOT::OnInit(HWND hwnd) {
  ik_children_.Bind(hwnd, IDC_MOT_IKCHILD);
  mask_pivot_.Bind(hwnd, IDC_MOT_MASK_PIVOT);
  mask_roll_.Bind(hwnd, IDC_MOT_MASK_ROLL);
  mask_body_.Bind(hwnd, IDC_MOT_MASK_BODY);
}

void DLP_CMDMOT::OnRefresh() {
  ik_children_.Set(service_->GetIkType() != 0);
  mask_pivot_.Set(service_->GetModelOption(MQEXPDOC::kLockPivot));
  mask_roll_.Set(service_->GetModelOption(MQEXPDOC::kLockRoll));
  mask_body_.Set(service_->GetModelOption(MQEXPDOC::kLockBody));
}

void DLP_CMDMOT::WriteValues() {
  service_->SetIkType(ik_children_.Get() ? 1 : 0);
  service_->SetModelOption(MQEXPDOC::kLockPivot, mask_pivot_.Get());
  service_->SetModelOption(MQEXPDOC::kLockRoll, mask_roll_.Get());
  service_->SetModelOption(MQEXPDOC::kLockBody, mask_body_.Get());
}

// Each reset re-evaluates the pose, redraws and records an undo state when
// it changed something.
bool DLP_CMDMOT::Reset(int item) {
  switch (item) {
    case ID_POSE_RESET_BONE: return service_->ResetCurrentBonePose();
    case ID_POSE_RESET_ALL: return service_->ResetAllBonesPose();
    case ID_POSE_RESET_MORPH: return service_->ResetCurrentMorphPose();
    case ID_POSE_RESET_OBJMORPH: return service_->ResetCurrentObjectMorphPose();
    case ID_POSE_RESET_ALLMORPH: return service_->ResetAllMorphPose();
    default: return false;
  }
}

void DLP_CMDMOT::OnCommand(int id, int code) {
  switch (id) {
    case IDC_MOT_IKCHILD:
    case IDC_MOT_MASK_PIVOT:
    case IDC_MOT_MASK_ROLL:
    case IDC_MOT_MASK_BODY:
      if (code == BN_CLICKED) WriteValues();
      return;
    case IDC_MOT_MENU:
      if (code == BN_CLICKED) OpenMenu(IDR_MENU_POSEEDIT, IDC_MOT_MENU, [](UDLGPOPUPMENU&) {});
      return;
    case ID_POSE_RESET_BONE:
    case ID_POSE_RESET_ALL:
    case ID_POSE_RESET_MORPH:
    case ID_POSE_RESET_OBJMORPH:
    case ID_POSE_RESET_ALLMORPH:
      // The pose panels show the values the reset changed.
      if (Reset(id)) service_->RefreshPanels();
      return;
    default:
      return;
  }
}
