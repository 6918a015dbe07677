#include "ui/panels/bone_align_dialog.h"

#include "io/registry_settings.h"
#include "main/idlmain.h"
#include "sdk/host_api.h"
#include "ui/resources/resource.h"

DLP_BONEALIGN::DLP_BONEALIGN(BONEALIGN_PARAM& param) : DLP_MODAL(IDD_BONEALIGN, WINPOS_ALIGN), param_(param) {}

bool DLP_BONEALIGN::Run(IDLMAIN* service, HINSTANCE instance, HWND owner) {
  return DLP_MODAL::Run(service, instance, owner) == 1;
}

void DLP_BONEALIGN::OnInit(HWND hwnd) {
  axis_.Bind(hwnd, {IDC_ALIGN_X, IDC_ALIGN_Y, IDC_ALIGN_Z});
  axis_.Set(param_.axis);
  pivots_.Bind(hwnd, IDC_ALIGN_PIVOT);
  pivots_.Set((param_.flags & kAlignPivots) != 0);
  from_bone_.Bind(hwnd, IDC_ALIGN_FROMBONE);
  from_bone_.Set((param_.flags & kAlignFromBone) != 0);
  position_.Bind(hwnd, {IDC_ALIGN_POSX, IDC_ALIGN_POSY, IDC_ALIGN_POSZ});
  position_.SetVector(param_.position);
  bone_.Bind(hwnd, IDC_ALIGN_BONE);
  MQDocument doc = service_ != nullptr ? service_->GetDocument() : nullptr;
  if (doc != nullptr) {
    bone_.Fill(doc, service_->GetSlots(), /*selected_body_only=*/true, /*with_child_only=*/true);
    const quorvel::RigEditState* state = service_->GetEditState();
    bone_.Select(state != nullptr ? state->current_bone : -1);
  }
  EnableSources();
  EnableOk();
}

void DLP_BONEALIGN::EnableOk() {
  // The pivots are all the dialog aligns: without them OK would do nothing.
  EnableWindow(GetDlgItem(hwnd_, IDOK), pivots_.Get() ? TRUE : FALSE);
}

void DLP_BONEALIGN::EnableSources() {
  const bool from_bone = from_bone_.Get();
  MQDocument doc = service_ != nullptr ? service_->GetDocument() : nullptr;
  const bool has_objects = doc != nullptr && HostApi().MQDoc_GetObjectCount(doc) > 0;
  bone_.Enable(from_bone && has_objects);
  position_.Enable(!from_bone);
}

void DLP_BONEALIGN::OnCommand(int id, int code) {
  switch (id) {
    case IDC_ALIGN_FROMBONE:
      if (code != BN_CLICKED) return;
      // Written at once, so the choice stays even when the dialog is cancelled.
      param_.flags = from_bone_.Get() ? (param_.flags | kAlignFromBone) : (param_.flags & ~kAlignFromBone);
      EnableSources();
      return;
    case IDC_ALIGN_PIVOT:
      if (code == BN_CLICKED) EnableOk();
      return;
    case IDOK:
      if (!pivots_.Get()) return;
      param_.bone = bone_.SelectedId();
      param_.position = position_.GetVector();
      param_.axis = axis_.Get();
      param_.flags = (pivots_.Get() ? kAlignPivots : 0) | (from_bone_.Get() ? kAlignFromBone : 0);
      EndDialog(hwnd_, 1);
      return;
    default:
      return;
  }
}
