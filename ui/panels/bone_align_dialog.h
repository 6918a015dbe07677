#pragma once
// The modal alignment dialog of the move menu: the axis, the position or the
// reference bone the selected pivots line up on.
#include "main/user_interface.h"
#include "ui/panels/bone_combo.h"
#include "ui/panels/panel.h"
#include "ui/toolkit/controls.h"

class DLP_BONEALIGN : public DLP_MODAL {
 public:
  explicit DLP_BONEALIGN(BONEALIGN_PARAM& param);
  // True when closed with OK (the parameters then hold the dialog's values).
  bool Run(IDLMAIN* service, HINSTANCE instance, HWND owner);

 protected:
  void OnInit(HWND hwnd) override;
  void OnCommand(int id, int code) override;

 private:
  // "ボーンを参照": the bone list or the position edits, never both.
  void EnableSources();
  // OK only while the pivots are to be aligned.
  void EnableOk();
  BONEALIGN_PARAM& param_;
  UDLGRADIO axis_;
  UDLGCHECK pivots_, from_bone_;
  UDLGFVEC3 position_;
  DLP_BONECBOX bone_;
};
