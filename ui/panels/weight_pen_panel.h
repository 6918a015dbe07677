#pragma once
// The weight mode's tool panel: the pen (and its size and depth) that the
// weight paint tool paints with, the blur switch, the current palette with
// its entries, and the palette, selected-vertex and current-object weight
// menus (with the weight tools' dialogs).
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
  // A weight tool of those menus; true when `item` is one.
  bool RiggingCommand(int item);

  UDLGRADIO pens_;
  UDLGINT size_, depth_;
  UDLGCHECK blur_;
  UDLGRADIO palettes_;
  UDLGCOL colour_;
  DLP_WEITPAL list_{*this};
};
