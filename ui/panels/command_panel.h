#pragma once
// The plug-in's main floating window: the edit-mode buttons, the option menu
// (enable switch, object options, glTF export and import) and the display
// menu (overlays).
#include "ui/panels/panel.h"
#include "ui/toolkit/controls.h"

class DLP_COMMAND : public DLP_PANEL {
 public:
  DLP_COMMAND();

 protected:
  void OnInit(HWND hwnd) override;
  void OnRefresh() override;
  void OnCommand(int id, int code) override;

 private:
  // A document is open and the plug-in enabled: the rig can be edited.
  bool HasDocumentRig() const;
  void OpenOptionMenu();
  void OpenDisplayMenu();
  // A display menu item: its preference flipped, then what it affects.
  void ToggleOverlay(int item);
  UDLGRADIO mode_;
};
