#include "ui/panels/morph_property_dialog.h"

#include <string>

#include "io/registry_settings.h"
#include "main/idlmain.h"
#include "rig/morph_targets.h"
#include "rig/records.h"
#include "rig/rig_access.h"
#include "ui/resources/resource.h"

DLP_OBJMORPHPROP::DLP_OBJMORPHPROP(MQObject object, int slot)
    : DLP_MODAL(IDD_OBJMORPHPROP, WINPOS_OBJMORPHPROP), object_(object), slot_(slot) {}

bool DLP_OBJMORPHPROP::Run(IDLMAIN* service, HINSTANCE instance, HWND owner) {
  return DLP_MODAL::Run(service, instance, owner) == 1;
}

void DLP_OBJMORPHPROP::OnInit(HWND hwnd) {
  name_.Bind(hwnd, IDC_MORPHPROP_NAME);
  group_.Bind(hwnd, IDC_MORPHPROP_GROUP);
  index_.Bind(hwnd, IDC_MORPHPROP_INDEX);
  index_.SetRange(0, quorvel::kMaxMorphTargets);
  index_.Enable(false);
  quorvel::OMorphTarget rec;
  if (service_ == nullptr || !quorvel::GetMorphTargetRecord(object_, service_->GetSlots(), slot_, rec)) return;
  name_.Set(std::string(quorvel::NameOf(rec.name)));
  std::string group;
  if (quorvel::GetMorphGroupName(object_, service_->GetSlots(), rec.group, group)) group_.Set(group);
  index_.Set(rec.index);
}

std::string DLP_OBJMORPHPROP::EditText(int id) const {
  char text[UDLGTEXT::kMaxText + 1] = {};
  GetDlgItemTextA(hwnd_, id, text, sizeof text);
  return text;
}

void DLP_OBJMORPHPROP::OnCommand(int id, int /*code*/) {
  switch (id) {
    case IDOK: {
      // The edits' texts as they stand: OK may be pressed without leaving
      // an edit, which is what commits it.
      const bool written = service_ != nullptr &&
                           quorvel::SetMorphTargetProperties(object_, service_->GetSlots(), slot_,
                                                             EditText(IDC_MORPHPROP_NAME),
                                                             EditText(IDC_MORPHPROP_GROUP));
      EndDialog(hwnd_, written ? 1 : 0);
      return;
    }
    default:
      return;
  }
}
