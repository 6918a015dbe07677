#include "ui/panels/pose_property_dialog.h"

#include <string>

#include "io/registry_settings.h"
#include "main/idlmain.h"
#include "rig/pose_list.h"
#include "ui/resources/resource.h"

namespace {

quorvel::QuorvelPose* CurrentPoseOf(IDLMAIN* service) {
  const quorvel::RigEditState* state =
      service != nullptr && !service->IsDocClosed() ? service->GetEditState() : nullptr;
  return state != nullptr ? quorvel::CurrentPose(*state) : nullptr;
}

}  // namespace

DLP_POSEPROP::DLP_POSEPROP() : DLP_MODAL(IDD_POSEPROP, WINPOS_POSEPROP) {}

bool DLP_POSEPROP::Run(IDLMAIN* service, HINSTANCE instance, HWND owner) {
  return DLP_MODAL::Run(service, instance, owner) == 1;
}

void DLP_POSEPROP::OnInit(HWND hwnd) {
  name_.Bind(hwnd, IDC_POSEPROP_NAME);
  const quorvel::QuorvelPose* pose = CurrentPoseOf(service_);
  name_.Set(pose != nullptr ? std::string(quorvel::NameOf(pose->name)) : std::string());
  name_.Enable(pose != nullptr);
}

void DLP_POSEPROP::OnCommand(int id, int /*code*/) {
  if (id != IDOK) return;
  quorvel::QuorvelPose* pose = CurrentPoseOf(service_);
  if (pose != nullptr) {
    // The edit as it is: Enter reaches the dialog as OK before the edit has
    // committed its text.
    char text[UDLGTEXT::kMaxText + 1] = {};
    GetDlgItemTextA(hwnd_, IDC_POSEPROP_NAME, text, sizeof text);
    quorvel::RenamePose(pose, text);
    service_->Redraw();
  }
  EndDialog(hwnd_, pose != nullptr ? 1 : 0);
}
