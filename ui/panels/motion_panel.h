#pragma once
// The pose tool's options: IK down to the children, the pick masks, and the
// pose edit menu (bone and morph pose resets).
#include "ui/panels/panel.h"
#include "ui/toolkit/controls.h"

class DLP_CMDMOT : public DLP_PANEL {
 public:
  DLP_CMDMOT();

 protected:
  void OnInit(HWND hwnd) override;
  void OnRefresh() override;
  void OnCommand(int id, int code) override;

 private:
  void WriteValues();
  // The pose edit menu's item `item`; true when it changed the pose.
  bool Reset(int item);
  UDLGCHECK ik_children_, mask_pivot_, mask_roll_, mask_body_;
};
