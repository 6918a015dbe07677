#pragma once
// The weight mode's tool panel: the pen (and its size and depth) that the
// weight paint tool paints with, the current palette with its entries, and
// the palette, selected-vertex and current-object weight menus.
#include "ui/panels/panel.h"
#include "ui/panels/weight_palette_list.h"
#include "ui/toolkit/controls.h"

class DLP_WEITPEN : public DLP_PANEL {
 public:
  DLP_WEITPEN();

 protected:
  void OnInit(HWND hwnd) override;
  void OnRefresh() override;
  void OnCommand(int id, int code) override;

 private:
  // Size and depth edits into the current pen.
  void WritePen();
  // An item of the palette menu (or its buttons).
  void PaletteCommand(int item);
  // An item of the selected-vertex or current-object menu.
  void WeightCommand(int item);

  UDLGRADIO pens_;
  UDLGINT size_, depth_;
  UDLGRADIO palettes_;
  UDLGCOL colour_;
  DLP_WEITPAL list_{*this};
};
