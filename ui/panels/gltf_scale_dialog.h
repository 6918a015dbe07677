#pragma once
// The modal dialog of the glTF items: how long one modeller unit is in
// metres, for the file about to be written or read.
#include <string>

#include "ui/panels/panel.h"
#include "ui/toolkit/controls.h"

class DLP_GLTFSCALE : public DLP_MODAL {
 public:
  // `caption`: the title (system code page). `unit_scale` is shown first
  // and takes the value confirmed with OK.
  DLP_GLTFSCALE(std::string caption, float& unit_scale);
  // True when closed with OK; `unit_scale` is then finite and above 0.
  bool Run(IDLMAIN* service, HINSTANCE instance, HWND owner);

 protected:
  void OnInit(HWND hwnd) override;
  void OnCommand(int id, int code) override;

 private:
  // OK only while the edit holds a length, as typed: Enter, which the
  // dialog manager turns into OK, then works as soon as the text is one.
  void EnableOk();
  std::string caption_;
  float& unit_scale_;
  // Without a spin box, whose container would keep the edit's change
  // notifications from the dialog.
  UDLGFLOATS scale_;
};
