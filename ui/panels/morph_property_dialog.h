#pragma once
// The modal properties of one morph target: its name and its group (found
// by name, or made). The index is shown, not edited.
#include "sdk/mq_types.h"
#include "ui/panels/panel.h"
#include "ui/toolkit/controls.h"

class DLP_OBJMORPHPROP : public DLP_MODAL {
 public:
  DLP_OBJMORPHPROP(MQObject object, int slot);
  // True when closed with OK and the target was written.
  bool Run(IDLMAIN* service, HINSTANCE instance, HWND owner);

 protected:
  void OnInit(HWND hwnd) override;
  void OnCommand(int id, int code) override;

 private:
  // What the edit `id` holds now, committed or not.
  std::string EditText(int id) const;

  MQObject object_;
  int slot_;
  UDLGTEXT name_, group_;
  UDLGINT index_;
};
