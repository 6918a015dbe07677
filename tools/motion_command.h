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

// The target of a drag step on the current part: for a pivot or body the
// handle's position carried as a translate handle carries it (on the picked
// arm's axis, or with the mouse at the pick depth), and the handle goes
// along; for a roll point the mouse at the pick depth. Whatever handle is
// shown: turning or scaling about the handle would leave its position, and
// with it the target, where it is.
FVECTOR3 DragTarget(DRAG_RECORD& record, const MED_USELECT_PARA_BASE& para, const FVECTOR2& mouse,
                    HANDLE_STATE& handle, int32_t kind);

// Radians a turning handle turns per pixel of horizontal drag (half a degree),
// and the scale handle's rate: a drag right or up of 100 pixels multiplies
// the scale by e, the same distance back divides it again.
constexpr float kHandleTurnPerPixel = 0.0087266463f;
constexpr float kHandleScalePerPixel = 0.01f;

// One drag step on a turning or scaling handle, done to `bone`: a ring turns
// it about the ring's axis through its pivot, the centre about the line of
// sight; the scale handle scales its pose about its pivot, on the picked
// arm's axis or (the centre) on all three. True when the model changed.
bool HandleDragStep(quorvel::UBONEIK_MODEL& model, int32_t bone, DRAG_RECORD& record,
                    const MED_USELECT_PARA_BASE& para, const FVECTOR2& mouse, const HANDLE_STATE& handle,
                    int handle_type, bool children_follow);

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
  // The press was on the handle, which works on the current bone.
  bool handle_drag_ = false;
  std::unique_ptr<quorvel::UBONEIK_MODEL> model_;
  MED_SELECTITEM hover_;
  MED_USELECT picker_;
  RUBBER_BAND rectangle_;
  DRAG_RECORD drag_;
};
