#include "ui/panels/command_panel.h"

#include "io/registry_settings.h"
#include "main/idlmain.h"
#include "ui/panels/object_options_dialog.h"
#include "ui/panels/system_text.h"
#include "ui/resources/resource.h"

DLP_COMMAND::DLP_COMMAND() : DLP_PANEL(IDD_COMMAND, WINPOS_COMMAND) {}

void DLP_COMMAND::OnInit(HWND hwnd) {
  // Button order is mode order: make, move, pose, weight, morph.
  mode_.Bind(hwnd, {IDC_COMMAND_MAKE, IDC_COMMAND_MOVE, IDC_COMMAND_POSE, IDC_COMMAND_WEIGHT,
                    IDC_COMMAND_MORPH});
}

void DLP_COMMAND::OnRefresh() {
  mode_.Set(service_->GetMode());
  const bool enabled = service_->GetEnable() != 0;
  mode_.Enable(enabled);
  EnableWindow(GetDlgItem(hwnd_, IDC_COMMAND_GROUP), enabled);
  EnableWindow(GetDlgItem(hwnd_, IDC_COMMAND_DISPLAY), enabled);
  // "その他" stays: it holds the switch that enables the plug-in again.
  EnableWindow(GetDlgItem(hwnd_, IDC_COMMAND_OPTION), TRUE);
}

bool DLP_COMMAND::HasDocumentRig() const {
  return service_->GetEnable() != 0 && !service_->IsDocClosed() && service_->GetModel() != nullptr;
}

void DLP_COMMAND::OpenOptionMenu() {
  OpenMenu(IDR_MENU_OPTION, IDC_COMMAND_OPTION, [&](UDLGPOPUPMENU& menu) {
    menu.SetText(ID_OPTION_ENABLE,
                 SystemText(service_->GetEnableNext() != 0 ? "Quorvelの無効" : "Quorvelの有効").c_str());
    menu.EnableItem(ID_OPTION_OBJECT, HasDocumentRig());
    menu.EnableItem(ID_OPTION_GLTF_EXPORT, HasDocumentRig());
    menu.EnableItem(ID_OPTION_GLTF_IMPORT, HasDocumentRig());
  });
}

void DLP_COMMAND::OpenDisplayMenu() {
  OpenMenu(IDR_MENU_DISPLAY, IDC_COMMAND_DISPLAY, [&](UDLGPOPUPMENU& menu) {
    menu.Check(ID_DISPLAY_LOCAL, service_->GetShowLocal() != 0);
    menu.Check(ID_DISPLAY_BONE, service_->GetShowBone() != 0);
    menu.Check(ID_DISPLAY_ROLL, service_->GetDrawBoneRoll() != 0);
    menu.Check(ID_DISPLAY_HANDLE, service_->GetShowHandle() != 0);
    menu.Check(ID_DISPLAY_CUROBJWEIGHT, service_->GetShowCurObjWeight());
  });
}

void DLP_COMMAND::ToggleOverlay(int item) {
  IDLMAIN& s = *service_;
  switch (item) {
    case ID_DISPLAY_LOCAL: s.SetShowLocal(s.GetShowLocal() == 0); break;
    case ID_DISPLAY_BONE: s.SetShowBone(s.GetShowBone() == 0); break;
    case ID_DISPLAY_ROLL: s.SetDrawBoneRoll(s.GetDrawBoneRoll() == 0); break;
    case ID_DISPLAY_HANDLE: s.SetShowHandle(s.GetShowHandle() == 0); break;
    case ID_DISPLAY_CUROBJWEIGHT: s.SetShowCurObjWeight(!s.GetShowCurObjWeight()); break;
    default: return;
  }
  // The rig's display switches reach the panels; the weight colours live in
  // the rendering copies.
  if (item == ID_DISPLAY_LOCAL || item == ID_DISPLAY_BONE || item == ID_DISPLAY_ROLL) s.RefreshPanels();
  if (item == ID_DISPLAY_CUROBJWEIGHT) s.MarkRenderingRecolour();
  s.Redraw();
}

void DLP_COMMAND::OnCommand(int id, int code) {
  switch (id) {
    case IDC_COMMAND_MAKE:
    case IDC_COMMAND_MOVE:
    case IDC_COMMAND_POSE:
    case IDC_COMMAND_WEIGHT:
    case IDC_COMMAND_MORPH:
      if (code != BN_CLICKED || service_->GetEnable() == 0) return;
      service_->SetMode(mode_.Get());
      service_->Redraw();
      return;
    case IDC_COMMAND_OPTION:
      if (code == BN_CLICKED) OpenOptionMenu();
      return;
    case IDC_COMMAND_DISPLAY:
      if (code == BN_CLICKED) OpenDisplayMenu();
      return;
    case ID_OPTION_ENABLE:
      service_->EnableSwitch(hwnd_);
      return;
    case ID_OPTION_OBJECT:
      if (HasDocumentRig()) DLP_OBJPROP().Run(service_, instance_, HostWindow());
      return;
    case ID_OPTION_GLTF_EXPORT:
      service_->ExportGltfDialog(hwnd_);
      return;
    case ID_OPTION_GLTF_IMPORT:
      service_->ImportGltfDialog(hwnd_);
      return;
    case ID_DISPLAY_LOCAL:
    case ID_DISPLAY_BONE:
    case ID_DISPLAY_ROLL:
    case ID_DISPLAY_HANDLE:
    case ID_DISPLAY_CUROBJWEIGHT:
      ToggleOverlay(id);
      return;
    default:
      return;
  }
}
