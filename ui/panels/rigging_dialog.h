#pragma once
// The modal dialogs of the weight tools (automatic weights, mirror, smooth,
// limit): the values a tool runs with, from the last ones confirmed.
#include <vector>

#include "main/user_interface.h"
#include "ui/panels/panel.h"
#include "ui/toolkit/controls.h"

class DLP_RIGGING : public DLP_MODAL {
 public:
  // The template of `kind`; `param` is shown first and takes, on OK, the
  // values of the kind's fields (the others stay as they are).
  DLP_RIGGING(RIGGING_DIALOG kind, RIGGING_PARAM& param);
  // True when closed with OK; the kind's fields then hold values within
  // their ranges.
  bool Run(IDLMAIN* service, HINSTANCE instance, HWND owner);

  // The dialog resource of each kind; -1 for a kind it does not know.
  static int TemplateOf(RIGGING_DIALOG kind);

 protected:
  void OnInit(HWND hwnd) override;
  void OnCommand(int id, int code) override;

 private:
  // A numeric edit of the dialog and the values it takes: one of the two
  // edits is set.
  struct Field {
    UDLGINTS* ints;
    UDLGFLOATS* floats;
    int id;
    float lowest, highest;  // inclusive, but for an open lower end
    bool open_below;        // the value must lie above `lowest`
    float Value() const { return ints != nullptr ? static_cast<float>(ints->Get()) : floats->Get(); }
  };
  // OK only while every edit holds a value within its range, as typed:
  // Enter, which the dialog manager turns into OK, works as soon as they do.
  void EnableOk();
  bool AllValid() const;
  // Binds the edit and adds its field; a template without the edit leaves
  // OK grey for good.
  void AddInt(UDLGINTS& edit, int id, int value, int lowest, int highest);
  void AddFloat(UDLGFLOATS& edit, int id, float value, float lowest, float highest, bool open_below,
                float step);
  void WriteBack();

  RIGGING_DIALOG kind_;
  RIGGING_PARAM& param_;
  // Without spin boxes, whose containers would keep the edits' change
  // notifications from the dialog.
  UDLGINTS resolution_, max_bones_, iterations_, limit_;
  UDLGFLOATS falloff_, strength_, tolerance_;
  UDLGRADIO direction_;
  std::vector<Field> fields_;
  bool complete_ = true;
};
