#include "ui/panels/weight_property_dialog.h"

#include <string>

#include "io/registry_settings.h"
#include "main/idlmain.h"
#include "rig/id_table.h"
#include "rig/rig_access.h"
#include "rig/rig_document.h"
#include "ui/resources/resource.h"

namespace {

constexpr size_t kNameShown = 255;

}  // namespace

DLP_OBJWEIGHTPROP::DLP_OBJWEIGHTPROP() : DLP_MODAL(IDD_OBJWEIGHTPROP, WINPOS_OBJWEIGHTPROP) {}

bool DLP_OBJWEIGHTPROP::Run(IDLMAIN* service, HINSTANCE instance, HWND owner, int32_t bone) {
  bone_ = bone;
  return DLP_MODAL::Run(service, instance, owner) == 1;
}

MQObject DLP_OBJWEIGHTPROP::Bone() const {
  if (service_ == nullptr || service_->IsDocClosed()) return nullptr;
  return quorvel::FindObjectByUniqueId(service_->GetDocument(), bone_);
}

void DLP_OBJWEIGHTPROP::OnInit(HWND hwnd) {
  name_.Bind(hwnd, IDC_WEIGHTPROP_NAME);
  show_.Bind(hwnd, IDC_WEIGHTPROP_SHOW);
  colour_.Bind(hwnd, IDC_WEIGHTPROP_COLOR, /*clickable=*/true);
  // A bone deleted since the list showed it leaves the controls as made.
  MQObject bone = Bone();
  if (bone == nullptr) return;
  name_.Set(quorvel::ObjectNameByUniqueId(service_->GetDocument(), bone_).substr(0, kNameShown));
  show_.Set(quorvel::GetBoneFlag(bone, service_->GetSlots(), quorvel::OBase::OB_WEIGHTSHOW));
  colour_.Set(quorvel::GetWeightColour(bone, service_->GetSlots()));
}

void DLP_OBJWEIGHTPROP::Apply() {
  MQObject bone = Bone();
  if (bone == nullptr) return;
  const quorvel::RigSlotTable& slots = service_->GetSlots();
  quorvel::SetBoneFlag(bone, slots, quorvel::OBase::OB_WEIGHTSHOW, show_.Get());
  quorvel::SetWeightColour(bone, slots, colour_.Get());
  if (const quorvel::RigEditState* state = service_->GetEditState()) {
    quorvel::UpdateWeightColours(service_->GetDocument(), slots, *state);
  }
  service_->MarkRenderingRecolour();
}

void DLP_OBJWEIGHTPROP::OnCommand(int id, int /*code*/) {
  if (id != IDOK) return;
  Apply();
  EndDialog(hwnd_, 1);
}
