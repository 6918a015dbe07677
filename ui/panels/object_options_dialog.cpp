#include "ui/panels/object_options_dialog.h"

#include <string>

#include "io/registry_settings.h"
#include "main/idlmain.h"
#include "rig/host_records.h"
#include "rig/rig_access.h"
#include "rig/rig_document.h"
#include "sdk/host_api.h"
#include "ui/panels/system_text.h"
#include "ui/resources/resource.h"

namespace {

namespace hr = quorvel::host_records;
using quorvel::OBase;

constexpr float kRadiansToDegrees = 57.295776f;
constexpr float kDegreesToRadians = 0.017453292f;
constexpr float kLimitDegrees = 180.0f;

constexpr int kMinIds[3] = {IDC_OBJPROP_XMIN, IDC_OBJPROP_YMIN, IDC_OBJPROP_ZMIN};
constexpr int kMaxIds[3] = {IDC_OBJPROP_XMAX, IDC_OBJPROP_YMAX, IDC_OBJPROP_ZMAX};

// The IK types the record knows, in their stored values' order.
constexpr const char* kIkTypes[] = {"標準", "ターゲット"};

std::string ObjectName(MQObject obj) {
  char name[256] = {};
  if (obj != nullptr) HostApi().MQObj_GetName(obj, name, sizeof name);
  name[sizeof name - 1] = '\0';
  return name;
}

// The item whose data is `value`, or -1.
int FindItem(const UDLGCBOX& box, int32_t value) {
  for (int i = 0; i < box.Count(); ++i) {
    if (static_cast<int32_t>(box.ItemData(i)) == value) return i;
  }
  return -1;
}

// Adds an item; a value no item stands for is listed as its number, so that
// OK keeps it.
void SelectValue(UDLGCBOX& box, int32_t value) {
  int index = FindItem(box, value);
  if (index < 0) {
    index = box.AddString(std::to_string(value).c_str());
    if (index >= 0) box.SetItemData(index, static_cast<LPARAM>(value));
  }
  box.SetSelection(index);
}

void AddItem(UDLGCBOX& box, const std::string& text, int32_t value) {
  const int index = box.AddString(text.c_str());
  if (index >= 0) box.SetItemData(index, static_cast<LPARAM>(value));
}

void SetBit(uint32_t& flags, OBase::Flag bit, bool on) { flags = on ? (flags | bit) : (flags & ~bit); }

}  // namespace

DLP_OBJPROP::DLP_OBJPROP() : DLP_MODAL(IDD_OBJPROP, WINPOS_OBJPROP) {}

bool DLP_OBJPROP::Run(IDLMAIN* service, HINSTANCE instance, HWND owner) {
  if (DLP_MODAL::Run(service, instance, owner) != 1 || service == nullptr) return false;
  if (colours_changed_ && service->GetModel() != nullptr && service->GetEditState() != nullptr) {
    // Vertex colours are derived from the bones' weight colours.
    quorvel::UpdateWeightColours(service->GetDocument(), service->GetSlots(), *service->GetEditState());
    service->MarkRenderingRecolour();
  }
  service->UpdatePose();  // also redraws
  service->RefreshPanels();
  service->UpdateUndo();
  return true;
}

void DLP_OBJPROP::OnInit(HWND hwnd) {
  // The combo boxes sort nothing: the list order is the values' order.
  ik_type_.Bind(hwnd, IDC_OBJPROP_IKTYPE);
  ik_target_.Bind(hwnd, IDC_OBJPROP_IKTARGET);
  use_trs_.Bind(hwnd, IDC_OBJPROP_USETRS);
  use_rot_.Bind(hwnd, IDC_OBJPROP_USEROT);
  use_scl_.Bind(hwnd, IDC_OBJPROP_USESCL);
  bone_show_.Bind(hwnd, IDC_OBJPROP_BONESHOW);
  weight_show_.Bind(hwnd, IDC_OBJPROP_WEIGHTSHOW);
  for (int row = 0; row < 3; ++row) {
    min_[row].Bind(hwnd, kMinIds[row]);
    max_[row].Bind(hwnd, kMaxIds[row]);
    min_[row].SetRange(-kLimitDegrees, kLimitDegrees);
    max_[row].SetRange(-kLimitDegrees, kLimitDegrees);
  }
  colour_.Bind(hwnd, IDC_OBJPROP_WEIGHTCOLOR, /*clickable=*/true);

  MQDocument doc = service_ != nullptr && !service_->IsDocClosed() ? service_->GetDocument() : nullptr;
  object_ = doc != nullptr ? service_->GetCurrentObject() : nullptr;
  has_record_ = object_ != nullptr && quorvel::GetBoneRecord(object_, service_->GetSlots(), record_);
  if (!has_record_) {
    SetDlgItemTextA(hwnd, IDC_OBJPROP_NAME, "");
    for (int row = 0; row < 3; ++row) SetLimitRow(row, -kLimitDegrees, kLimitDegrees);
    for (UDLGCHECK* check : {&use_trs_, &use_rot_, &use_scl_, &bone_show_}) check->Set(false);
    weight_show_.Set(true);
    colour_.Set(UCOLOR(255, 255, 255, 255));
    EnableAll(false);
    return;
  }
  SetDlgItemTextA(hwnd, IDC_OBJPROP_NAME, ObjectName(object_).c_str());
  use_trs_.Set((record_.flags & OBase::usetrs) != 0);
  use_rot_.Set((record_.flags & OBase::userot) != 0);
  use_scl_.Set((record_.flags & OBase::usescl) != 0);
  bone_show_.Set((record_.flags & OBase::OB_BONE) != 0);
  weight_show_.Set((record_.flags & OBase::OB_WEIGHTSHOW) != 0);
  SetLimitRow(0, record_.limit_min.x * kRadiansToDegrees, record_.limit_max.x * kRadiansToDegrees);
  SetLimitRow(1, record_.limit_min.y * kRadiansToDegrees, record_.limit_max.y * kRadiansToDegrees);
  SetLimitRow(2, record_.limit_min.z * kRadiansToDegrees, record_.limit_max.z * kRadiansToDegrees);
  colour_.Set(record_.weight_colour);
  FillIkTypes(record_.ik_type);
  FillIkTargets(doc, record_.ik_target);
  EnableAll(true);
}

void DLP_OBJPROP::FillIkTypes(int32_t stored) {
  for (int32_t type = 0; type < static_cast<int32_t>(std::size(kIkTypes)); ++type) {
    AddItem(ik_type_, SystemText(kIkTypes[type]), type);
  }
  SelectValue(ik_type_, stored);
}

void DLP_OBJPROP::FillIkTargets(MQDocument doc, int32_t stored) {
  AddItem(ik_target_, SystemText("なし"), -1);
  // Any other object may be the target; an object is not its own.
  hr::ForEachObject(doc, [&](MQObject obj, int) {
    if (obj != object_) AddItem(ik_target_, ObjectName(obj), hr::UniqueId(obj));
  });
  SelectValue(ik_target_, stored);
}

void DLP_OBJPROP::SetLimitRow(int row, float min_degrees, float max_degrees) {
  min_[static_cast<size_t>(row)].Set(min_degrees);
  max_[static_cast<size_t>(row)].Set(max_degrees);
}

void DLP_OBJPROP::EnableAll(bool on) {
  for (UDLGCTRL* control : std::initializer_list<UDLGCTRL*>{&ik_type_, &ik_target_, &use_trs_, &use_rot_,
                                                             &use_scl_, &bone_show_, &weight_show_, &colour_}) {
    control->Enable(on);
  }
  for (int row = 0; row < 3; ++row) {
    min_[static_cast<size_t>(row)].Enable(on);
    max_[static_cast<size_t>(row)].Enable(on);
  }
  for (int id : {IDC_OBJPROP_IKTYPE_LABEL, IDC_OBJPROP_IKTARGET_LABEL, IDC_OBJPROP_XNONE, IDC_OBJPROP_XALL,
                 IDC_OBJPROP_YNONE, IDC_OBJPROP_YALL, IDC_OBJPROP_ZNONE, IDC_OBJPROP_ZALL,
                 IDC_OBJPROP_WEIGHTCOLOR_LABEL, IDOK}) {
    EnableWindow(GetDlgItem(hwnd_, id), on ? TRUE : FALSE);
  }
}

void DLP_OBJPROP::WriteRecord() {
  // The record as it is now: what the dialog does not show stays.
  OBase rec;
  if (!quorvel::GetBoneRecord(object_, service_->GetSlots(), rec)) return;
  const uint32_t colour_bits_before = rec.flags & OBase::OB_WEIGHTSHOW;
  const UCOLOR colour_before = rec.weight_colour;
  SetBit(rec.flags, OBase::OB_BONE, bone_show_.Get());
  SetBit(rec.flags, OBase::usetrs, use_trs_.Get());
  SetBit(rec.flags, OBase::userot, use_rot_.Get());
  SetBit(rec.flags, OBase::usescl, use_scl_.Get());
  SetBit(rec.flags, OBase::OB_WEIGHTSHOW, weight_show_.Get());
  rec.weight_colour = colour_.Get();
  rec.limit_min = FVECTOR3(min_[0].Get(), min_[1].Get(), min_[2].Get()) * kDegreesToRadians;
  rec.limit_max = FVECTOR3(max_[0].Get(), max_[1].Get(), max_[2].Get()) * kDegreesToRadians;
  const int type = ik_type_.GetSelection();
  if (type >= 0) rec.ik_type = static_cast<int32_t>(ik_type_.ItemData(type));
  const int target = ik_target_.GetSelection();
  if (target >= 0) rec.ik_target = static_cast<int32_t>(ik_target_.ItemData(target));
  if (!quorvel::SetBoneRecord(object_, service_->GetSlots(), rec)) return;
  const UCOLOR& now = rec.weight_colour;
  colours_changed_ = (rec.flags & OBase::OB_WEIGHTSHOW) != colour_bits_before || now.r != colour_before.r ||
                     now.g != colour_before.g || now.b != colour_before.b || now.a != colour_before.a;
}

void DLP_OBJPROP::OnCommand(int id, int code) {
  switch (id) {
    case IDC_OBJPROP_XNONE:
    case IDC_OBJPROP_YNONE:
    case IDC_OBJPROP_ZNONE:
      // The axis cannot turn.
      if (code == BN_CLICKED) SetLimitRow((id - IDC_OBJPROP_XNONE) / 2, 0.0f, 0.0f);
      return;
    case IDC_OBJPROP_XALL:
    case IDC_OBJPROP_YALL:
    case IDC_OBJPROP_ZALL:
      if (code == BN_CLICKED) SetLimitRow((id - IDC_OBJPROP_XALL) / 2, -kLimitDegrees, kLimitDegrees);
      return;
    case IDOK:
      if (!has_record_) return;
      WriteRecord();
      EndDialog(hwnd_, 1);
      return;
    default:
      return;
  }
}
