#pragma once
// The modal object options of the document's current object: its bone
// record's edit switches, bone and weight display, weight colour, rotation
// limits (degrees here, radians stored) and IK type and target. Nothing is
// written before OK.
#include <array>

#include "rig/records.h"
#include "sdk/mq_types.h"
#include "ui/panels/panel.h"
#include "ui/toolkit/controls.h"

class DLP_OBJPROP : public DLP_MODAL {
 public:
  DLP_OBJPROP();
  // Runs the dialog on the document's current object. On OK the record is
  // written and what derives from it brought up to date: the pose, the
  // weight colours when they changed, the panels, an undo state. True for OK.
  bool Run(IDLMAIN* service, HINSTANCE instance, HWND owner);

 protected:
  void OnInit(HWND hwnd) override;
  void OnCommand(int id, int code) override;

 private:
  void FillIkTypes(int32_t stored);
  void FillIkTargets(MQDocument doc, int32_t stored);
  // The row's minimum and maximum (0 X, 1 Y, 2 Z).
  void SetLimitRow(int row, float min_degrees, float max_degrees);
  void EnableAll(bool on);
  void WriteRecord();

  MQObject object_ = nullptr;
  quorvel::OBase record_;
  bool has_record_ = false;
  // The weight colour or its display switch changed on OK.
  bool colours_changed_ = false;
  UDLGCBOX ik_type_, ik_target_;
  UDLGCHECK use_trs_, use_rot_, use_scl_, bone_show_, weight_show_;
  std::array<UDLGFLOAT, 3> min_, max_;
  UDLGCOL colour_;
};
