#include "ui/panels/morph_panel.h"

#include <algorithm>
#include <cstdio>

#include "io/registry_settings.h"
#include "main/idlmain.h"
#include "rig/morph_targets.h"
#include "rig/rig_access.h"
#include "ui/panels/morph_property_dialog.h"
#include "ui/resources/resource.h"

namespace {

constexpr COLORREF kCurrentBack = RGB(0, 48, 128);
constexpr COLORREF kCurrentText = RGB(255, 255, 255);
constexpr COLORREF kBaseBack = RGB(224, 224, 224);
constexpr COLORREF kTargetBack = RGB(255, 255, 255);
constexpr COLORREF kText = RGB(0, 0, 0);

}  // namespace

DLP_OBJMORPH::DLP_OBJMORPH() : DLP_MORPHROWS(IDD_OBJMORPH, WINPOS_OBJMORPH, kBarWidth) { SetHideOnClose(true); }

void DLP_OBJMORPH::OnInit(HWND hwnd) {
  rows_.Make(hwnd, IDC_MORPH_LIST, IDC_MORPH_SCROLL);
  RECT window;
  GetWindowRect(hwnd, &window);
  width_ = window.right - window.left;
  LayOut();
}

void DLP_OBJMORPH::LayOut() {
  RECT client;
  GetClientRect(hwnd_, &client);
  rows_.Place(RECT{0, kListTop, client.right, std::max<LONG>(client.bottom, kListTop)});
}

int DLP_OBJMORPH::CurrentTarget() const {
  MQObject object = service_ != nullptr ? service_->GetCurrentObject() : nullptr;
  return object != nullptr ? quorvel::GetCurrentMorphIndex(object, service_->GetSlots()) : -1;
}

void DLP_OBJMORPH::OnRefresh() {
  MQObject object = service_->GetCurrentObject();
  const quorvel::RigSlotTable& slots = service_->GetSlots();
  const int count = object != nullptr ? quorvel::CountMorphTargets(object, slots) : 0;
  char header[quorvel::kNameBytes + 16] = {};
  if (object != nullptr) std::snprintf(header, sizeof header, "%s(%d)", ObjectNameOf(object).c_str(), count);
  UpdateWindowText(GetDlgItem(hwnd_, IDC_MORPH_HEADER), header);

  const int current = CurrentTarget();
  EnableWindow(GetDlgItem(hwnd_, IDC_MORPH_NEW), object != nullptr);
  EnableWindow(GetDlgItem(hwnd_, IDC_MORPH_DELETE), count > 0);
  EnableWindow(GetDlgItem(hwnd_, IDC_MORPH_PROP),
               object != nullptr && quorvel::HasMorphTargetRecord(object, slots, current));
  EnableWindow(GetDlgItem(hwnd_, IDC_MORPH_MENU), object != nullptr);

  rows_.Assign(object, slots, /*base_row=*/true);
  for (int i = 0; i < rows_.shown(); ++i) {
    const int slot = rows_.row_slot(i);
    rows_.SetText(i, slot < 0 ? "Base Vertex" : MorphTargetNameOf(object, slots, slot));
  }
}

MORPH_ROW_OWNER::Look DLP_OBJMORPH::RowLook(int slot) {
  const bool current = slot == CurrentTarget();
  if (current) return {kCurrentBack, kCurrentText};
  return {slot < 0 ? kBaseBack : kTargetBack, kText};
}

void DLP_OBJMORPH::RowPressed(int slot, POINT /*at*/) {
  if (!Ready()) return;
  MQObject object = service_->GetCurrentObject();
  if (object == nullptr || slot == CurrentTarget()) return;
  // The shown shape goes back into its slot and the row's shape comes up.
  if (!quorvel::SetCurrentMorphTarget(object, service_->GetSlots(), slot)) return;
  service_->RedrawAndRefreshPanels();
}

void DLP_OBJMORPH::RowDoubleClicked(int slot) {
  if (slot >= 0 && Ready()) OpenProperties(slot);
}

void DLP_OBJMORPH::OpenProperties(int slot) {
  MQObject object = service_->GetCurrentObject();
  if (object == nullptr || !quorvel::HasMorphTargetRecord(object, service_->GetSlots(), slot)) return;
  DLP_OBJMORPHPROP dialog(object, slot);
  if (!dialog.Run(service_, instance_, hwnd_)) return;
  Edited();
}

void DLP_OBJMORPH::NewTarget() {
  MQObject object = service_->GetCurrentObject();
  if (object == nullptr) return;
  const quorvel::RigSlotTable& slots = service_->GetSlots();
  const int slot = quorvel::FirstFreeMorphTarget(object, slots);
  if (slot < 0 || !quorvel::CreateMorphTarget(object, slots, slot, "", "")) return;
  Edited();
}

void DLP_OBJMORPH::DeleteCurrentTarget() {
  MQObject object = service_->GetCurrentObject();
  if (object == nullptr) return;
  const quorvel::RigSlotTable& slots = service_->GetSlots();
  const int current = CurrentTarget();
  if (!quorvel::DeleteMorphTarget(object, slots, current)) return;
  Edited();
}

void DLP_OBJMORPH::Edited() {
  service_->UpdateUndo();
  service_->RedrawAndRefreshPanels();
}

void DLP_OBJMORPH::OnCommand(int id, int code) {
  switch (id) {
    case IDC_MORPH_NEW:
      if (code == BN_CLICKED) NewTarget();
      return;
    case IDC_MORPH_DELETE:
      if (code == BN_CLICKED) DeleteCurrentTarget();
      return;
    case IDC_MORPH_PROP:
      if (code == BN_CLICKED) OpenProperties(CurrentTarget());
      return;
    case IDC_MORPH_MENU:
      if (code == BN_CLICKED && service_->GetCurrentObject() != nullptr) {
        OpenMenu(IDR_MENU_MORPH, IDC_MORPH_MENU, [](UDLGPOPUPMENU&) {});
      }
      return;
    case ID_MORPH_STORE_SHAPE:
      if (MQObject object = service_->GetCurrentObject()) {
        if (quorvel::StoreCurrentShape(object, service_->GetSlots())) Edited();
      }
      return;
    default:
      return;
  }
}

LRESULT DLP_OBJMORPH::PanelProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_SIZE:
      LayOut();
      return TRUE;
    case WM_GETMINMAXINFO: {
      if (width_ <= 0) break;
      auto* info = reinterpret_cast<MINMAXINFO*>(lparam);
      info->ptMinTrackSize.x = info->ptMaxTrackSize.x = width_;
      info->ptMinTrackSize.y = kMinHeight;
      return TRUE;
    }
    default:
      break;
  }
  return DLP_MORPHROWS::PanelProc(hwnd, message, wparam, lparam);
}
