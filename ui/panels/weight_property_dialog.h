#pragma once
// The modal weight property dialog of one bone, opened from the palette
// list: whether the bone's weight colour shows in the vertex colours, and
// that colour.
#include <cstdint>

#include "sdk/mq_types.h"
#include "ui/panels/panel.h"
#include "ui/toolkit/controls.h"

class DLP_OBJWEIGHTPROP : public DLP_MODAL {
 public:
  DLP_OBJWEIGHTPROP();
  // Edits the bone with unique id `bone`; true when closed with OK.
  bool Run(IDLMAIN* service, HINSTANCE instance, HWND owner, int32_t bone);

 protected:
  void OnInit(HWND hwnd) override;
  void OnCommand(int id, int code) override;

 private:
  // The bone's object in the document; null when none has the id.
  MQObject Bone() const;
  void Apply();

  int32_t bone_ = -1;
  UDLGTEXT name_;
  UDLGCHECK show_;
  UDLGCOL colour_;
};
