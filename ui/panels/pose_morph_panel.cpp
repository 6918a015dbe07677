#include "ui/panels/pose_morph_panel.h"

#include <algorithm>
#include <cstdio>

#include "io/registry_settings.h"
#include "main/idlmain.h"
#include "rig/pose_list.h"
#include "rig/rig_access.h"
#include "ui/resources/resource.h"

namespace {

constexpr COLORREF kBaseBack = RGB(224, 224, 224);
constexpr COLORREF kTargetBack = RGB(255, 255, 255);
constexpr COLORREF kText = RGB(0, 0, 0);

int Percent(float weight) { return static_cast<int>(weight * 100.0f); }

}  // namespace

// The scroll bar is 12 pixels wide here.
DLP_POSEMORPH::DLP_POSEMORPH() : DLP_MORPHROWS(IDD_POSEMORPH, WINPOS_POSEMORPH, 12) {}

void DLP_POSEMORPH::OnInit(HWND hwnd) {
  rows_.Make(hwnd, IDC_POSEMORPH_LIST, IDC_POSEMORPH_SCROLL);
  // The list keeps its place in the dialog; the bar takes the right edge.
  RECT area = rows_.Area();
  RECT client;
  GetClientRect(hwnd, &client);
  area.right = client.right;
  rows_.Place(area);
}

float DLP_POSEMORPH::Weight(int slot) const {
  MQObject object = service_ != nullptr ? service_->GetCurrentObject() : nullptr;
  if (object == nullptr) return slot < 0 ? 1.0f : 0.0f;
  const quorvel::RigEditState* state = service_->GetEditState();
  const int pose = state != nullptr ? quorvel::CurrentPoseId(*state) : -1;
  if (pose < 0) return slot < 0 ? 1.0f : 0.0f;
  return slot < 0 ? quorvel::GetPoseBaseWeight(object, service_->GetSlots(), pose)
                  : quorvel::GetPoseMorphWeight(object, service_->GetSlots(), pose, slot);
}

void DLP_POSEMORPH::ShowWeights() {
  MQObject object = service_->GetCurrentObject();
  for (int i = 0; i < rows_.shown(); ++i) {
    const int slot = rows_.row_slot(i);
    const std::string name = slot < 0 ? "Base Vertex" : MorphTargetNameOf(object, service_->GetSlots(), slot);
    char text[quorvel::kNameBytes + 16] = {};
    std::snprintf(text, sizeof text, "%s(%3d)", name.c_str(), Percent(Weight(slot)));
    rows_.SetText(i, text);
  }
  rows_.RepaintChanged();
}

void DLP_POSEMORPH::OnRefresh() {
  MQObject object = service_->GetCurrentObject();
  UpdateWindowText(GetDlgItem(hwnd_, IDC_POSEMORPH_HEADER), ObjectNameOf(object).c_str());
  // Without an object there is nothing to weigh, not even the base.
  rows_.Assign(object, service_->GetSlots(), /*base_row=*/object != nullptr);
  ShowWeights();
}

void DLP_POSEMORPH::OnCommand(int /*id*/, int /*code*/) {
  // "他" has no menu in this panel.
}

MORPH_ROW_OWNER::Look DLP_POSEMORPH::RowLook(int slot) {
  return {slot < 0 ? kBaseBack : kTargetBack, kText, static_cast<int>(Weight(slot) * kFullBar)};
}

void DLP_POSEMORPH::RowDragged(int slot, POINT at) {
  if (slot < 0 || !Ready()) return;
  MQObject object = service_->GetCurrentObject();
  quorvel::RigEditState* state = service_->GetEditState();
  if (object == nullptr || state == nullptr) return;
  const float weight = std::clamp(static_cast<float>(at.x - kBarLeft) / kFullBar, 0.0f, 1.0f);
  // The first weight of a rig without poses makes its first pose.
  const bool made_pose = quorvel::CurrentPose(*state) == nullptr && service_->NewPose();
  const int pose = quorvel::CurrentPoseId(*state);
  if (pose < 0) return;
  const quorvel::RigSlotTable& slots = service_->GetSlots();
  if (!made_pose && quorvel::GetPoseMorphWeight(object, slots, pose, slot) == weight) return;
  if (!quorvel::SetPoseMorphWeight(object, slots, pose, slot, weight)) return;
  service_->UpdatePose();
  service_->UpdateUndo();
  // A new pose is news for the pose list too.
  if (made_pose) service_->RefreshPanels();
  ShowWeights();
}
