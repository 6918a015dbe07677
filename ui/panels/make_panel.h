#pragma once
// The make tool's option: a new bone as the child or as a sibling.
#include "ui/panels/panel.h"
#include "ui/toolkit/controls.h"

class DLP_CMDMAKE : public DLP_PANEL {
 public:
  DLP_CMDMAKE();

 protected:
  void OnInit(HWND hwnd) override;
  void OnRefresh() override;
  void OnCommand(int id, int code) override;

 private:
  UDLGRADIO type_;
};
