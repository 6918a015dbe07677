#pragma once
// The pose tool: joints, bone bodies and roll points are dragged, the IK
// model solves each mouse move, and the result goes into the current pose.
// A right click on a joint makes it a chain stop or ends that.
#include <memory>

#include "deform/ik_solver.h"
#include "tools/command_framework.h"
#include "tools/picking.h"

// What one drag step asks of the IK model for the current bone's part
// (`kind`): a joint that may move alone translates its bone (when its
// translation may be posed), a joint at a bone's tip bends the chain that
// ends in the parent bone, a roll point rolls the bone, a body aims it.
// True when the model changed.
bool DispatchIkDrag(quorvel::UBONEIK_MODEL& model, MQDocument doc, const quorvel::RigSlotTable& slots,
                    int32_t bone, int32_t kind, const FVECTOR3& target, bool children_follow);

// The target of a drag step on the current part: the mouse at the pick
// depth, or, when the handle gives a step transform, for a pivot or body the
// handle's position carried by it (the handle goes along).
FVECTOR3 DragTarget(DRAG_RECORD& record, const MED_USELECT_PARA_BASE& para, const FVECTOR2& mouse,
                    HANDLE_STATE& handle, int handle_type, int32_t kind);

class COMPROC_MOTION final : public MED_COMPROC_BASE {
 public:
  int OnRightButtonDown(MED_COMPROC_CALLBACK_BASE& cb) override;
  int OnLeftButtonDown(MED_COMPROC_CALLBACK_BASE& cb) override;
  int OnLeftButtonMove(MED_COMPROC_CALLBACK_BASE& cb) override;
  int OnLeftButtonUp(MED_COMPROC_CALLBACK_BASE& cb) override;
  int OnMouseMove(MED_COMPROC_CALLBACK_BASE& cb) override;
  int OnKeyDown(MED_COMPROC_CALLBACK_BASE& cb) override;

  bool dragging() const { return model_ != nullptr; }
  int modified() const { return modified_; }

 private:
  int modified_ = 0;
  std::unique_ptr<quorvel::UBONEIK_MODEL> model_;
  MED_SELECTITEM hover_;
  MED_USELECT picker_;
  RUBBER_BAND rectangle_;
  DRAG_RECORD drag_;
};
