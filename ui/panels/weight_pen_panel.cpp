#include "ui/panels/weight_pen_panel.h"

#include <array>

#include "io/registry_settings.h"
#include "main/idlmain.h"
#include "rig/rig_document.h"
#include "rig/weight_operations.h"
#include "ui/resources/resource.h"

namespace {

constexpr std::array<int, quorvel::kPenCount> kPenButtons = {IDC_WEIGHTPEN_PEN0, IDC_WEIGHTPEN_PEN1,
                                                            IDC_WEIGHTPEN_PEN2, IDC_WEIGHTPEN_PEN3};
constexpr std::array<int, quorvel::kPaletteCount> kPaletteButtons = {
    IDC_WEIGHTPEN_PAL0, IDC_WEIGHTPEN_PAL1, IDC_WEIGHTPEN_PAL2, IDC_WEIGHTPEN_PAL3,
    IDC_WEIGHTPEN_PAL4, IDC_WEIGHTPEN_PAL5, IDC_WEIGHTPEN_PAL6, IDC_WEIGHTPEN_PAL7};

template <size_t N>
int IndexOf(const std::array<int, N>& ids, int id) {
  for (size_t i = 0; i < N; ++i) {
    if (ids[i] == id) return static_cast<int>(i);
  }
  return -1;
}

// A pen value as the edits show it: truncated toward zero, within their range.
int PenValueShown(float v) { return v >= 100.0f ? 100 : (v >= 1.0f ? static_cast<int>(v) : 1); }

}  // namespace

DLP_WEITPEN::DLP_WEITPEN() : DLP_PANEL(IDD_WEIGHTPEN, WINPOS_WEIGHTPEN) {}

void DLP_WEITPEN::OnInit(HWND hwnd) {
  pens_.Bind(hwnd, {kPenButtons.begin(), kPenButtons.end()});
  size_.Bind(hwnd, IDC_WEIGHTPEN_SIZE);
  depth_.Bind(hwnd, IDC_WEIGHTPEN_DEPTH);
  for (UDLGINT* edit : {&size_, &depth_}) {
    edit->SetRange(1, 100);
    edit->SetStep(1);
  }
  blur_.Bind(hwnd, IDC_WEIGHTPEN_BLUR);
  palettes_.Bind(hwnd, {kPaletteButtons.begin(), kPaletteButtons.end()});
  colour_.Bind(hwnd, IDC_WEIGHTPEN_PALCOLOR, /*clickable=*/false);
  list_.Create(service_, instance_, GetDlgItem(hwnd, IDC_WEIGHTPEN_LIST));
}

void DLP_WEITPEN::OnRefresh() {
  // Nothing is shown before the panel first appears.
  if (shown_once_ == 0) return;
  const quorvel::RigEditState* state = service_->GetEditState();
  if (state == nullptr) {
    // No document: no palette to show or edit.
    list_.Rebuild();
    palettes_.Enable(false);
    list_.Enable(false);
    blur_.Set(false);
    blur_.Enable(false);
    return;
  }
  pens_.Set(quorvel::PenIndex(*state));
  blur_.Set(service_->GetBlurPen());
  blur_.Enable(true);
  if (const quorvel::WeightPen* pen = quorvel::CurrentPen(*state)) {
    size_.Set(PenValueShown(pen->size));
    depth_.Set(PenValueShown(pen->depth));
  }
  const quorvel::VWeight palette = quorvel::CurrentPalette(*state);
  colour_.Set(UCOLOR(palette.colour[0], palette.colour[1], palette.colour[2]));
  palettes_.Set(quorvel::CurrentPaletteIndex(*state));
  list_.Rebuild();
  palettes_.Enable(true);
  list_.Enable(true);
}

void DLP_WEITPEN::WritePen() {
  quorvel::RigEditState& state = *service_->GetEditState();
  const int pen = quorvel::PenIndex(state);
  quorvel::SetPenSize(state, pen, static_cast<float>(size_.Get()));
  quorvel::SetPenDepth(state, pen, static_cast<float>(depth_.Get()));
}

void DLP_WEITPEN::PaletteCommand(int item) {
  MQDocument doc = service_->GetDocument();
  const quorvel::RigSlotTable& slots = service_->GetSlots();
  quorvel::RigEditState& state = *service_->GetEditState();
  switch (item) {
    case ID_PALETTE_ADD: quorvel::PaletteFromCurrentObject(doc, slots, state); break;
    case ID_PALETTE_REMOVE: quorvel::RemovePaletteEntry(doc, slots, state); break;
    case ID_PALETTE_NORMALIZE: quorvel::NormalizePalette(doc, slots, state); break;
    case ID_PALETTE_COPY: quorvel::CopyPalette(state); return;  // nothing shown changes
    case ID_PALETTE_PASTE: quorvel::PastePalette(state); break;
    case ID_PALETTE_CLEAR: quorvel::ClearPalette(state); break;
    default: return;
  }
  Refresh();
}

bool DLP_WEITPEN::RiggingCommand(int item) {
  struct Tool {
    int item;
    RIGGING_DIALOG kind;
    bool selected_only;
  };
  static constexpr Tool kTools[] = {
      {ID_SELWEIGHT_BIND, RIGGING_AUTO_WEIGHTS, true},     {ID_OBJWEIGHT_BIND, RIGGING_AUTO_WEIGHTS, false},
      {ID_SELWEIGHT_MIRROR, RIGGING_MIRROR_WEIGHTS, true}, {ID_OBJWEIGHT_MIRROR, RIGGING_MIRROR_WEIGHTS, false},
      {ID_SELWEIGHT_SMOOTH, RIGGING_SMOOTH_WEIGHTS, true}, {ID_OBJWEIGHT_SMOOTH, RIGGING_SMOOTH_WEIGHTS, false},
      {ID_SELWEIGHT_LIMIT, RIGGING_LIMIT_WEIGHTS, true},   {ID_OBJWEIGHT_LIMIT, RIGGING_LIMIT_WEIGHTS, false},
  };
  for (const Tool& tool : kTools) {
    if (tool.item != item) continue;
    // The tool asks for its values, recolours, redraws, refreshes the panels
    // and records its undo state itself.
    service_->RiggingDialog(hwnd_, tool.kind, tool.selected_only);
    return true;
  }
  return false;
}

void DLP_WEITPEN::WeightCommand(int item) {
  if (RiggingCommand(item)) return;
  MQDocument doc = service_->GetDocument();
  const quorvel::RigSlotTable& slots = service_->GetSlots();
  const quorvel::RigEditState& state = *service_->GetEditState();
  switch (item) {
    case ID_SELWEIGHT_AUTO: break;  // auto-apply on selected vertices changes nothing
    case ID_SELWEIGHT_NORMALIZE: quorvel::NormalizeSelectedWeights(doc, slots, state); break;
    case ID_SELWEIGHT_DELETE: quorvel::DeleteSelectedWeights(doc, slots, state); break;
    case ID_SELWEIGHT_FILL: quorvel::FillSelectedWithPalette(doc, slots, state); break;
    case ID_OBJWEIGHT_AUTO: quorvel::AutoApplyWeights(doc, slots, state); break;
    case ID_OBJWEIGHT_NORMALIZE: quorvel::NormalizeObjectWeights(doc, slots, state); break;
    case ID_OBJWEIGHT_DELETE: quorvel::DeleteObjectWeights(doc, slots); break;
    case ID_OBJWEIGHT_FILL: quorvel::FillObjectWithPalette(doc, slots, state); break;
    default: return;
  }
  quorvel::UpdateWeightColours(doc, slots, state);
  service_->MarkRenderingRecolour();
  service_->RedrawAndRefreshPanels();
  service_->UpdateUndo();
}

void DLP_WEITPEN::OnCommand(int id, int code) {
  quorvel::RigEditState* state = service_->GetEditState();
  if (state == nullptr) return;
  if (const int pen = IndexOf(kPenButtons, id); pen >= 0) {
    if (code != BN_CLICKED || shown_once_ == 0) return;
    quorvel::SetCurrentPenIndex(*state, pen);
    Refresh();
    service_->Redraw();
    return;
  }
  if (const int palette = IndexOf(kPaletteButtons, id); palette >= 0) {
    if (code != BN_CLICKED || shown_once_ == 0) return;
    quorvel::SetCurrentPalette(*state, palette);
    Refresh();
    return;
  }
  switch (id) {
    case IDC_WEIGHTPEN_SIZE:
    case IDC_WEIGHTPEN_DEPTH:
      if (shown_once_ == 0) return;
      size_.TakeChanged();
      depth_.TakeChanged();
      WritePen();
      Refresh();
      service_->Redraw();
      return;
    case IDC_WEIGHTPEN_BLUR:
      if (code != BN_CLICKED || shown_once_ == 0) return;
      service_->SetBlurPen(blur_.Get());
      return;
    case IDC_WEIGHTPEN_PALMENU:
      if (code == BN_CLICKED) OpenMenu(IDR_MENU_PALETTE, IDC_WEIGHTPEN_PALMENU, [](UDLGPOPUPMENU&) {});
      return;
    case IDC_WEIGHTPEN_SELMENU:
      if (code == BN_CLICKED) OpenMenu(IDR_MENU_SELWEIGHT, IDC_WEIGHTPEN_SELMENU, [](UDLGPOPUPMENU&) {});
      return;
    case IDC_WEIGHTPEN_OBJMENU:
      if (code == BN_CLICKED) OpenMenu(IDR_MENU_OBJWEIGHT, IDC_WEIGHTPEN_OBJMENU, [](UDLGPOPUPMENU&) {});
      return;
    case IDC_WEIGHTPEN_ADD:
      if (code == BN_CLICKED) PaletteCommand(ID_PALETTE_ADD);
      return;
    case IDC_WEIGHTPEN_DEL:
      if (code == BN_CLICKED) PaletteCommand(ID_PALETTE_REMOVE);
      return;
    case IDC_WEIGHTPEN_NORM:
      if (code == BN_CLICKED) PaletteCommand(ID_PALETTE_NORMALIZE);
      return;
    case ID_PALETTE_ADD:
    case ID_PALETTE_REMOVE:
    case ID_PALETTE_NORMALIZE:
    case ID_PALETTE_COPY:
    case ID_PALETTE_PASTE:
    case ID_PALETTE_CLEAR:
      PaletteCommand(id);
      return;
    default:
      WeightCommand(id);
      return;
  }
}
