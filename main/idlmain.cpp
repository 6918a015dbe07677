#include "main/idlmain.h"

#include "main/dlmain.h"

// Each operation forwards to the main object's operation of the same name.

bool IDLMAIN::IsDocClosed() const { return main_->IsDocClosed(); }

bool IDLMAIN::IsSettingsReady() const { return main_->IsSettingsReady(); }

int IDLMAIN::GetEnable() const { return main_->GetEnable(); }

int IDLMAIN::GetEnableNext() const { return main_->GetEnableNext(); }

int IDLMAIN::GetMode() const { return main_->GetMode(); }

void IDLMAIN::GetViewSize(int& width, int& height) const { main_->GetViewSize(width, height); }

void* IDLMAIN::GetInstance() const { return main_->GetInstance(); }

void* IDLMAIN::GetMainWindow() const { return main_->GetMainWindow(); }

int IDLMAIN::GetDialogCallCount() const { return main_->GetDialogCallCount(); }

int IDLMAIN::GetShowHandle() const { return main_->GetShowHandle(); }

void IDLMAIN::SetShowHandle(int on) { main_->SetShowHandle(on); }

int IDLMAIN::GetShowLocal() const { return main_->GetShowLocal(); }

void IDLMAIN::SetShowLocal(int on) { main_->SetShowLocal(on); }

int IDLMAIN::GetShowBone() const { return main_->GetShowBone(); }

void IDLMAIN::SetShowBone(int on) { main_->SetShowBone(on); }

int IDLMAIN::GetShowCurObjBone() const { return main_->GetShowCurObjBone(); }

void IDLMAIN::SetShowCurObjBone(int on) { main_->SetShowCurObjBone(on); }

bool IDLMAIN::GetShowCurObjWeight() const { return main_->GetShowCurObjWeight() != 0; }

void IDLMAIN::SetShowCurObjWeight(int on) { main_->SetShowCurObjWeight(on); }

int IDLMAIN::GetDrawBoneRoll() const { return main_->GetDrawBoneRoll(); }

void IDLMAIN::SetDrawBoneRoll(int on) { main_->SetDrawBoneRoll(on); }

int IDLMAIN::GetIkType() const { return main_->GetIkType(); }

void IDLMAIN::SetIkType(int type) { main_->SetIkType(type); }

int IDLMAIN::GetToolOption(int n) const { return main_->GetToolOption(n); }

void IDLMAIN::SetToolOption(int n, int value) { main_->SetToolOption(n, value); }

bool IDLMAIN::GetModelOption(MQEXPDOC::Option bit) const { return main_->GetModelOption(bit); }

void IDLMAIN::SetModelOption(MQEXPDOC::Option bit, bool on) { main_->SetModelOption(bit, on); }

void IDLMAIN::SetMode(int mode) { main_->SetMode(mode); }

void IDLMAIN::BoneAlign(void* owner) { main_->BoneAlign(owner); }

void IDLMAIN::EnableSwitch(void* owner) { main_->EnableSwitch(owner); }

void IDLMAIN::ExportGltfDialog(void* owner) { main_->ExportGltfDialog(owner); }

void IDLMAIN::ImportGltfDialog(void* owner) { main_->ImportGltfDialog(owner); }

void IDLMAIN::RiggingDialog(void* owner, RIGGING_DIALOG kind, bool selected_only) {
  main_->RiggingDialog(owner, kind, selected_only);
}

void IDLMAIN::MirrorPoseCommand(void* owner, MIRROR_POSE_MODE mode) { main_->MirrorPoseCommand(owner, mode); }

void IDLMAIN::MirrorBonesCommand(void* owner) { main_->MirrorBonesCommand(owner); }

bool IDLMAIN::GetBlurPen() const {
  const quorvel::RigEditState* state = main_->GetEditState();
  return state != nullptr && state->blur_pen;
}

void IDLMAIN::SetBlurPen(bool on) {
  if (quorvel::RigEditState* state = main_->GetEditState()) state->blur_pen = on;
}

bool IDLMAIN::ResetLocalRotScale(bool selected_only) {
  return main_->ResetLocalRotScale(selected_only);
}

void IDLMAIN::Redraw() { main_->Redraw(); }

void IDLMAIN::RedrawAndRefreshPanels() { main_->RedrawAndRefreshPanels(); }

void IDLMAIN::RefreshPanels() { main_->RefreshPanels(); }

void IDLMAIN::DialogRedraw() { main_->DialogRedraw(); }

void IDLMAIN::DialogRedrawAndRefreshPanels() { main_->DialogRedrawAndRefreshPanels(); }

void IDLMAIN::DialogRefreshPanels() { main_->DialogRefreshPanels(); }

void IDLMAIN::UpdateUndo() { main_->RequestUndoState(); }

MQEXPDOC* IDLMAIN::GetModel() const { return main_->GetModel(); }

quorvel::RigEditState* IDLMAIN::GetEditState() const { return main_->GetEditState(); }

MQDocument IDLMAIN::GetDocument() const { return main_->GetDocument(); }

MQObject IDLMAIN::GetCurrentObject() const { return main_->GetCurrentObject(); }

MQMaterial IDLMAIN::GetCurrentMaterial() const { return main_->GetCurrentMaterial(); }

MED_SCREENCONVBASE* IDLMAIN::GetScreenConverter() const { return main_->GetScreenConverter(); }

const quorvel::RigSlotTable& IDLMAIN::GetSlots() const { return main_->GetSlots(); }

BONEALIGN_PARAM& IDLMAIN::GetAlignParam() const { return main_->GetAlignParam(); }


UDRAW_MQ& IDLMAIN::GetDrawer() const { return main_->GetDrawer(); }

bool IDLMAIN::IsPoseMode() const { return main_->IsPoseMode(); }

float IDLMAIN::GetPickDepth() const { return main_->GetPickDepth(); }

void IDLMAIN::SetPickDepth(float depth) { main_->SetPickDepth(depth); }

HANDLE_STATE& IDLMAIN::GetHandleState() { return main_->GetHandleState(); }

int IDLMAIN::GetHandleType() const { return main_->GetToolOption(4); }
MQObject IDLMAIN::CreateDrawingObject(int flags, BOOL instant) {
  return main_->CreateDrawingObject(main_->GetDocument(), flags, instant);
}

MQMaterial IDLMAIN::CreateDrawingMaterial(int& index, BOOL instant) {
  return main_->CreateDrawingMaterial(main_->GetDocument(), index, instant);
}

void IDLMAIN::DeleteDrawingObject(MQObject object) {
  main_->DeleteDrawingObject(main_->GetDocument(), object);
}

void IDLMAIN::DeleteDrawingMaterial(MQMaterial material) {
  main_->DeleteDrawingMaterial(main_->GetDocument(), material);
}

bool IDLMAIN::NewPose() { return main_->NewPose(); }

bool IDLMAIN::DeleteCurrentPose() { return main_->DeleteCurrentPose(); }

bool IDLMAIN::CopyCurrentPose() { return main_->CopyCurrentPose(); }

bool IDLMAIN::SelectPose(int position) { return main_->SelectPose(position); }

bool IDLMAIN::ResetCurrentBonePose() { return main_->ResetCurrentBonePose(); }

bool IDLMAIN::ResetAllBonesPose() { return main_->ResetAllBonesPose(); }

bool IDLMAIN::ResetCurrentMorphPose() { return main_->ResetCurrentMorphPose(); }

bool IDLMAIN::ResetCurrentObjectMorphPose() { return main_->ResetCurrentObjectMorphPose(); }

bool IDLMAIN::ResetAllMorphPose() { return main_->ResetAllMorphPose(); }

bool IDLMAIN::UpdatePose() { return main_->UpdatePose(); }

bool IDLMAIN::ExportGltf(const std::string& path, float unit_scale,
                         quorvel::gltf::ExportReport* report, std::string* error) {
  return main_->ExportGltf(path, unit_scale, report, error);
}

bool IDLMAIN::ImportGltf(const std::string& path, float unit_scale,
                         quorvel::gltf::ImportReport* report, std::string* error) {
  return main_->ImportGltf(path, unit_scale, report, error);
}

void IDLMAIN::DeleteSelectedBones() { main_->DeleteSelectedBones(); }

void IDLMAIN::SelectAllBones() { main_->SelectAllBones(); }

void IDLMAIN::ClearBoneSelection() { main_->ClearBoneSelection(); }

MED_USELECT& IDLMAIN::GetSelection() const { return main_->GetSelection(); }

void IDLMAIN::MarkRenderingDeform() { main_->MarkRenderingDeform(); }

void IDLMAIN::MarkRenderingRecolour() { main_->MarkRenderingRecolour(); }

void IDLMAIN::ResetUndo() { main_->ResetUndo(); }

void IDLMAIN::PushUndo(int state, int size) { main_->PushUndo(state, size); }

DLGWINPOS* IDLMAIN::GetWinpos(int id) const { return main_->GetWinpos(id); }
