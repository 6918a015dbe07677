#pragma once
// The move tool's options: the handle type, the pick masks, IK during a move,
// how meshes follow moved pivots, and the move menu (resets, alignment).
#include "ui/panels/panel.h"
#include "ui/toolkit/controls.h"

class DLP_CMDMOVE : public DLP_PANEL {
 public:
  DLP_CMDMOVE();

 protected:
  void OnInit(HWND hwnd) override;
  void OnRefresh() override;
  void OnCommand(int id, int code) override;

 private:
  void WriteValues();
  UDLGRADIO handle_;
  UDLGRADIO vertex_;
  UDLGCHECK mask_pivot_, mask_body_, mask_roll_, ik_;
};
