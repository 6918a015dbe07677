#include "ui/panels/make_panel.h"

#include "io/registry_settings.h"
#include "main/idlmain.h"
#include "ui/resources/resource.h"

DLP_CMDMAKE::DLP_CMDMAKE() : DLP_PANEL(IDD_CMDMAKE, WINPOS_CMDMAKE) {}

void DLP_CMDMAKE::OnInit(HWND hwnd) { type_.Bind(hwnd, {IDC_MAKE_CHILD, IDC_MAKE_SIBLING}); }

void DLP_CMDMAKE::OnRefresh() { type_.Set(service_->GetToolOption(3)); }

void DLP_CMDMAKE::OnCommand(int id, int code) {
  if ((id == IDC_MAKE_CHILD || id == IDC_MAKE_SIBLING) && code == BN_CLICKED) {
    service_->SetToolOption(3, type_.Get());
  }
}
