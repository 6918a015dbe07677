#include "tools/motion_command.h"

#include <cmath>

#include "rig/document_model.h"
#include "rig/hierarchy.h"
#include "rig/host_records.h"
#include "rig/id_table.h"
#include "rig/records.h"
#include "rig/rig_access.h"
#include "rig/rig_document.h"
#include "sdk/host_api.h"

using quorvel::OBase;
using quorvel::UBONEIK_BONE;
namespace hr = quorvel::host_records;

namespace {

constexpr int kKeyEnter = 13;
constexpr int kKeyDelete = 46;

}  // namespace

bool DispatchIkDrag(quorvel::UBONEIK_MODEL& model, MQDocument doc, const quorvel::RigSlotTable& slots,
                    int32_t bone, int32_t kind, const FVECTOR3& target, bool children_follow) {
  MQObject obj = quorvel::FindObjectByUniqueId(doc, bone);
  if (obj == nullptr) return false;
  UBONEIK_BONE* node = model.FindBone(bone);
  switch (kind) {
    case SELKIND_PIVOT: {
      if (node != nullptr && !quorvel::IsFirstChild(doc, obj)) {
        if ((quorvel::GetBoneFlags(obj, slots) & OBase::usetrs) == 0) return false;
        return model.TranslateBone(node, target, children_follow);
      }
      // The joint is the tip of its parent's bone: the chain above bends.
      MQObject parent = HostApi().MQDoc_GetParentObject(doc, obj);
      if (parent == nullptr) return false;
      UBONEIK_BONE* end = model.FindBone(hr::UniqueId(parent));
      return end != nullptr && model.SolveChain(end, target, children_follow);
    }
    case SELKIND_ROLL: return node != nullptr && model.RollBone(node, target, children_follow);
    case SELKIND_BODY: return node != nullptr && model.AimBone(node, target, children_follow);
    default: return false;
  }
}

FVECTOR3 DragTarget(DRAG_RECORD& record, const MED_USELECT_PARA_BASE& para, const FVECTOR2& mouse,
                    HANDLE_STATE& handle, int32_t kind) {
  const FVECTOR3 at_mouse = UnprojectAtPickDepth(para, mouse.x, mouse.y);
  FMATRIX step;
  if (!DragStepMatrix(record, para, mouse, handle, HANDLE_MOVE, step)) return at_mouse;
  if (kind != SELKIND_PIVOT && kind != SELKIND_BODY) return at_mouse;
  const FVECTOR3 moved = step.TransformPoint(handle.matrix.GetTranslation());
  handle.matrix = FMATRIX::Translation(moved);
  return moved;
}

bool HandleDragStep(quorvel::UBONEIK_MODEL& model, int32_t bone, DRAG_RECORD& record,
                    const MED_USELECT_PARA_BASE& para, const FVECTOR2& mouse, const HANDLE_STATE& handle,
                    int handle_type, bool children_follow) {
  UBONEIK_BONE* node = model.FindBone(bone);
  if (node == nullptr || (handle_type != HANDLE_ROTATE && handle_type != HANDLE_SCALE)) return false;
  // Steps go by screen pixels, so that a drag does the same in any view and
  // at any size of model.
  const float dx = mouse.x - record.drag.screen.x, dy = mouse.y - record.drag.screen.y;
  record.drag.screen = FVECTOR3(mouse.x, mouse.y, record.drag.screen.z);
  record.drag.world = UnprojectAtPickDepth(para, mouse.x, mouse.y);
  if (handle_type == HANDLE_ROTATE) {
    FVECTOR3 axis;
    if (handle.axis >= 1 && handle.axis <= 3) {
      axis = handle.matrix.GetRow(handle.axis - 1).Xyz().Normalized();
    } else {
      // The centre turns about the line of sight through it, towards the
      // viewer: as the ring about Z turns when it faces the viewer.
      const FVECTOR3 s = para.WorldToScreen(handle.matrix.GetTranslation());
      axis = (para.ScreenToWorld(FVECTOR3(s.x, s.y, 0.0f)) - para.ScreenToWorld(FVECTOR3(s.x, s.y, 1.0f)))
                 .Normalized();
    }
    const FQUAT turn = FQUAT::FromAxisAngle(axis, dx * kHandleTurnPerPixel);
    return model.TurnBone(node, FMATRIX::FromQuat(turn), children_follow);
  }
  const float f = std::exp((dx - dy) * kHandleScalePerPixel);
  FVECTOR3 factors(f, f, f);
  if (handle.axis >= 1 && handle.axis <= 3) {
    factors = FVECTOR3(1.0f, 1.0f, 1.0f);
    (handle.axis == 1 ? factors.x : handle.axis == 2 ? factors.y : factors.z) = f;
  }
  return model.ScaleBone(node, factors, children_follow);
}

int COMPROC_MOTION::OnRightButtonDown(MED_COMPROC_CALLBACK_BASE& cb) {
  TOOL_CONTEXT tool;
  if (!tool.Open(cb)) return 0;
  const FVECTOR2 mouse = cb.GetMousePos();
  MED_SELECTITEM picked;
  if (picker_.Pick(cb.GetSelectPara(), tool.doc, *tool.slots, tool.state, mouse.x, mouse.y, picked,
                   PICK_PIVOTS, /*pose_mode=*/true, tool.service->GetHandleType()) &&
      picked.kind == SELKIND_PIVOT) {
    if (MQObject obj = quorvel::FindObjectByUniqueId(tool.doc, picked.id)) {
      const bool marked = quorvel::GetBoneFlag(obj, *tool.slots, OBase::OB_POSEMARK);
      quorvel::SetBoneFlag(obj, *tool.slots, OBase::OB_POSEMARK, !marked);
    }
  }
  tool.service->Redraw();
  return 1;
}

int COMPROC_MOTION::OnLeftButtonDown(MED_COMPROC_CALLBACK_BASE& cb) {
  TOOL_CONTEXT tool;
  if (!tool.Open(cb)) return 0;
  modified_ = 0;
  model_.reset();
  MED_SELECTITEM picked;
  MQObject obj = PressPick(tool, cb, picker_, HoverKinds(*tool.state), /*pose_mode=*/true, drag_,
                           rectangle_, picked);
  handle_drag_ = obj == nullptr && picked.IsHandle() && tool.state->current_bone >= 0;
  if (obj != nullptr) MakeCurrentPart(tool, obj, picked, /*posed=*/true);
  if (obj != nullptr || handle_drag_) {
    model_ = std::make_unique<quorvel::UBONEIK_MODEL>();
    model_->Build(tool.doc, *tool.slots, *tool.state);
  }
  tool.service->Redraw();
  tool.service->RefreshPanels();
  return 1;
}

int COMPROC_MOTION::OnLeftButtonMove(MED_COMPROC_CALLBACK_BASE& cb) {
  TOOL_CONTEXT tool;
  if (!tool.Open(cb) || tool.state->current_bone < 0 || !model_) return 0;
  MED_USELECT_PARA_BASE& para = cb.GetSelectPara();
  HANDLE_STATE& handle = tool.service->GetHandleState();
  const int handle_type = tool.service->GetHandleType();
  const bool children_follow = cb.GetShift() != (tool.service->GetIkType() != 0);
  bool changed = false;
  if (handle_drag_ && handle_type != HANDLE_MOVE) {
    changed = HandleDragStep(*model_, tool.state->current_bone, drag_, para, cb.GetMousePos(), handle,
                             handle_type, children_follow);
  } else {
    const FVECTOR3 target =
        DragTarget(drag_, para, cb.GetMousePos(), handle, tool.state->current_part_kind);
    changed = DispatchIkDrag(*model_, tool.doc, *tool.slots, tool.state->current_bone,
                             tool.state->current_part_kind, target, children_follow);
  }
  if (!changed) return 0;
  MQEXPDOC* model = tool.service->GetModel();
  quorvel::WriteBack(tool.doc, *tool.slots, *tool.state, *model_,
                     model != nullptr ? model->Evaluator() : nullptr);
  tool.service->MarkRenderingDeform();
  tool.service->Redraw();
  tool.service->RefreshPanels();
  modified_ = 1;
  return 1;
}

int COMPROC_MOTION::OnLeftButtonUp(MED_COMPROC_CALLBACK_BASE& cb) {
  rectangle_.active = false;
  TOOL_CONTEXT tool;
  if (!tool.Open(cb)) return 1;
  MQObject obj = tool.state->current_bone >= 0
                     ? quorvel::FindObjectByUniqueId(tool.doc, tool.state->current_bone)
                     : nullptr;
  const bool changed = obj != nullptr && modified_ != 0 && model_ != nullptr;
  model_.reset();
  modified_ = 0;
  if (changed) {
    HandleAtPart(tool.service->GetHandleState(), tool.doc, obj, *tool.slots,
                 tool.state->current_part_kind, /*posed=*/true);
    tool.service->UpdateUndo();
    tool.service->RefreshPanels();
  }
  return 1;
}

int COMPROC_MOTION::OnMouseMove(MED_COMPROC_CALLBACK_BASE& cb) {
  TOOL_CONTEXT tool;
  if (!tool.Open(cb)) return 0;
  HoverAndRedraw(tool, cb, picker_, hover_, /*pose_mode=*/true, HoverKinds(*tool.state));
  return 0;
}

int COMPROC_MOTION::OnKeyDown(MED_COMPROC_CALLBACK_BASE& cb) {
  TOOL_CONTEXT tool;
  if (!tool.Open(cb)) return 0;
  // Posing swallows the keys that would edit the document behind the pose.
  switch (cb.GetKey()) {
    case kKeyEnter:
    case kKeyDelete: return 1;
    case 'A':
    case 'C':
    case 'D':
    case 'N':
    case 'V':
    case 'X': return cb.GetCtrl() ? 1 : 0;
    default: return 0;
  }
}
