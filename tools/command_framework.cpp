#include "tools/command_framework.h"

#include "rig/bone_points.h"
#include "rig/hierarchy.h"
#include "rig/id_table.h"
#include "rig/host_records.h"
#include "rig/records.h"
#include "rig/rig_access.h"
#include "rig/rig_document.h"

using quorvel::OBase;
using quorvel::RigEditState;
using quorvel::RigSlotTable;
namespace hr = quorvel::host_records;

bool TOOL_CONTEXT::Open(const MED_COMPROC_CALLBACK_BASE& cb) {
  service = cb.GetToolService();
  if (service == nullptr) return false;
  doc = service->GetDocument();
  state = service->GetEditState();
  slots = &service->GetSlots();
  return doc != nullptr && state != nullptr && slots->OBase() > 0;
}

void StartDragRecord(DRAG_RECORD& record, const MED_USELECT_PARA_BASE& para, const FVECTOR2& mouse) {
  record.drag.screen = FVECTOR3(mouse.x, mouse.y, para.GetPickDepth());
  record.drag.world = UnprojectAtPickDepth(para, mouse.x, mouse.y);
  record.moved = false;
}

bool DragStepMatrix(DRAG_RECORD& record, const MED_USELECT_PARA_BASE& para, const FVECTOR2& mouse,
                    const HANDLE_STATE& handle, int handle_type, FMATRIX& step) {
  int width = 0, height = 0;
  para.GetViewportSize(width, height);
  const FVECTOR3 screen(mouse.x, mouse.y, para.GetPickDepth());
  const FVECTOR3 world = UnprojectAtPickDepth(para, mouse.x, mouse.y);
  return HandleDragToMatrix(record.drag, screen, world, para.GetProjMatrix(), para.GetViewMatrix(),
                            width, height, handle, handle_type, step) != 0;
}

MQObject PressPick(const TOOL_CONTEXT& tool, MED_COMPROC_CALLBACK_BASE& cb, MED_USELECT& picker,
                   int kinds, bool pose_mode, DRAG_RECORD& drag, RUBBER_BAND& rectangle,
                   MED_SELECTITEM& picked) {
  MED_USELECT_PARA_BASE& para = cb.GetSelectPara();
  const FVECTOR2 mouse = cb.GetMousePos();
  HANDLE_STATE& handle = tool.service->GetHandleState();
  picked = MED_SELECTITEM();
  const int found = picker.Pick(para, tool.doc, *tool.slots, tool.state, mouse.x, mouse.y, picked,
                                kinds, pose_mode, tool.service->GetHandleType());
  StartDragRecord(drag, para, mouse);
  if (!found) {
    picked = MED_SELECTITEM();
    para.SetPickDepth(0.0f);
    rectangle.Start(mouse);
    if (!cb.GetCtrl()) {
      tool.state->current_bone = -1;
      quorvel::ClearSelection(tool.doc, *tool.slots, *tool.state);
    }
    handle.active = false;
    handle.axis = 0;
    return nullptr;
  }
  if (picked.IsHandle()) {
    handle.axis = HandleAxisOfKind(picked.kind);
    return nullptr;
  }
  return MED_SELECTITEM::KindClass(picked.kind) == SELKIND_BONE
             ? hr::FindByUniqueId(tool.doc, picked.id)
             : nullptr;
}

void MakeCurrentPart(const TOOL_CONTEXT& tool, MQObject obj, const MED_SELECTITEM& picked, bool posed) {
  HANDLE_STATE& handle = tool.service->GetHandleState();
  quorvel::ClearSelection(tool.doc, *tool.slots, *tool.state);
  tool.state->current_bone = picked.id;
  tool.state->current_part_kind = picked.kind;
  handle.axis = 0;
  SelectPart(obj, *tool.slots, *tool.state, picked.kind);
  quorvel::SetCurrentObject(tool.doc, obj);
  handle.active = HandleVisibleForKind(tool.doc, obj, picked.kind);
  handle.matrix = FMATRIX();
  HandleAtPart(handle, tool.doc, obj, *tool.slots, picked.kind, posed);
}

int HoverKinds(const RigEditState& state) {
  return state.RollShown() ? (PICK_PIVOTS | PICK_ROLLS | PICK_BODIES) : (PICK_PIVOTS | PICK_BODIES);
}

int Hover(MED_USELECT_PARA_BASE& para, MQDocument doc, const RigSlotTable& slots,
          const RigEditState* state, bool pose_mode, int handle_type, const FVECTOR2& mouse,
          MED_USELECT& picker, MED_SELECTITEM& hover, int kinds) {
  if (doc == nullptr || state == nullptr) return 0;
  quorvel::ClearHover(doc, slots);
  MED_SELECTITEM picked;
  if (picker.Pick(para, doc, slots, state, mouse.x, mouse.y, picked, kinds, pose_mode, handle_type)) {
    OBase::Flag bit = OBase::OB_VALID;
    switch (picked.kind) {
      case SELKIND_PIVOT: bit = OBase::OB_HOVER_PIVOT; break;
      case SELKIND_BODY: bit = OBase::OB_HOVER_BODY; break;
      case SELKIND_ROLL:
        if (state->RollShown()) bit = OBase::OB_HOVER_ROLL;
        break;
      default: break;  // a handle part: nothing to mark
    }
    // The part is marked again even when it is the one already hovered: the
    // bits were all cleared above, and the next frame must still show it.
    if (bit != OBase::OB_VALID) {
      if (MQObject obj = hr::FindByUniqueId(doc, picked.id)) quorvel::SetBoneFlag(obj, slots, bit, true);
    }
    if (picked.IsSame(hover)) return 0;
    hover = picked;
    return MED_SELECTITEM::KindClass(picked.kind) == SELKIND_BONE ? 1 : 0;
  }
  if (hover.IsEmpty()) return 0;
  hover = MED_SELECTITEM();
  return 1;
}

void HoverAndRedraw(const TOOL_CONTEXT& tool, MED_COMPROC_CALLBACK_BASE& cb, MED_USELECT& picker,
                    MED_SELECTITEM& hover, bool pose_mode, int kinds) {
  if (Hover(cb.GetSelectPara(), tool.doc, *tool.slots, tool.state, pose_mode,
            tool.service->GetHandleType(), cb.GetMousePos(), picker, hover, kinds) != 0) {
    tool.service->Redraw();
  }
}

namespace {

OBase::Flag SelectionBit(int32_t kind) {
  switch (kind) {
    case SELKIND_PIVOT: return OBase::OB_SEL_PIVOT;
    case SELKIND_ROLL: return OBase::OB_SEL_ROLL;
    case SELKIND_BODY: return OBase::OB_SEL_BODY;
    default: return OBase::OB_VALID;
  }
}

}  // namespace

void SelectPart(MQObject obj, const RigSlotTable& slots, const RigEditState& state, int32_t kind) {
  const OBase::Flag bit = SelectionBit(kind);
  if (obj == nullptr || bit == OBase::OB_VALID) return;
  const uint32_t flags = quorvel::GetBoneFlags(obj, slots);
  if (!state.BonesShown() || (flags & OBase::OB_RIG) == 0) return;
  switch (kind) {
    case SELKIND_PIVOT:
      if (state.pick_masks & RigEditState::kPickMaskPivot) return;
      break;
    case SELKIND_ROLL:
      if ((state.pick_masks & RigEditState::kPickMaskRoll) || !state.RollShown()) return;
      break;
    default:
      if (state.pick_masks & RigEditState::kPickMaskBody) return;
      break;
  }
  quorvel::SetBoneFlag(obj, slots, bit, true);
}

bool PartSelected(MQObject obj, const RigSlotTable& slots, int32_t kind) {
  const OBase::Flag bit = SelectionBit(kind);
  return bit != OBase::OB_VALID && (quorvel::GetBoneFlags(obj, slots) & bit) != 0;
}

int HandleAxisOfKind(int32_t kind) {
  if (!MED_SELECTITEM(kind, 0).IsHandle()) return 0;
  const int axis = kind & 0xF;
  return axis >= 1 && axis <= 3 ? axis : 0;
}

void HandleAtSelectionCentre(HANDLE_STATE& handle, MQDocument doc, const RigSlotTable& slots,
                             bool posed) {
  handle.active = false;
  FVECTOR3 centre;
  if (!quorvel::SelectionCentre(doc, slots, posed, centre)) return;
  handle.matrix = FMATRIX::Translation(centre);
  handle.active = true;
}

void HandleAtPart(HANDLE_STATE& handle, MQDocument doc, MQObject obj, const RigSlotTable& slots,
                  int32_t kind, bool posed) {
  if (obj == nullptr || (kind != SELKIND_PIVOT && kind != SELKIND_BODY)) return;
  const FMATRIX m = posed ? quorvel::GetWorldMatrix(obj, slots) : FMATRIX();
  const quorvel::BonePoints points = quorvel::GetBonePoints(doc, obj);
  FVECTOR3 at;
  if (kind == SELKIND_PIVOT) {
    at = m.TransformPoint(points.pivot);
  } else {
    // Without a child the tail is the origin, taken through the pose too.
    at = m.TransformPoint(points.has_body ? points.tail : FVECTOR3());
  }
  handle.matrix.SetTranslation(at);
}

bool HandleVisibleForKind(MQDocument doc, MQObject obj, int32_t kind) {
  return kind == SELKIND_PIVOT && !quorvel::IsFirstChild(doc, obj);
}
