#pragma once
// The modal pose properties of the current pose: its name.
#include "ui/panels/panel.h"
#include "ui/toolkit/controls.h"

class DLP_POSEPROP : public DLP_MODAL {
 public:
  DLP_POSEPROP();
  // True when closed with OK (the current pose then has the new name).
  bool Run(IDLMAIN* service, HINSTANCE instance, HWND owner);

 protected:
  void OnInit(HWND hwnd) override;
  void OnCommand(int id, int code) override;

 private:
  UDLGTEXT name_;
};
