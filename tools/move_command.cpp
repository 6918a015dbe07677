#include "tools/move_command.h"

#include <unordered_map>

#include "deform/pose_evaluation.h"
#include "rig/document_model.h"
#include "rig/host_records.h"
#include "rig/id_table.h"
#include "rig/records.h"
#include "rig/rig_access.h"
#include "rig/rig_document.h"
#include "sdk/host_api.h"
#include "tools/bone_drawing.h"
#include "tools/motion_command.h"

using quorvel::OBase;
namespace hr = quorvel::host_records;

namespace {

constexpr int kKeyDelete = 46;
constexpr UCOLOR kRectangleColour{255, 255, 255, 255};

}  // namespace

// ---------------------------------------------------------------- work list

void COMPROC_MOVE::Record(MQDocument doc, const quorvel::RigSlotTable& slots) {
  work_.clear();
  changes_.clear();
  recorded_doc_ = doc;
  if (doc == nullptr) return;
  const MQHostApi& api = HostApi();
  hr::ForEachObject(doc, [&](MQObject obj, int) {
    MoveWorkObj& rec = work_.emplace_back();
    rec.handle = obj;
    rec.object = hr::UniqueId(obj);
    const uint32_t bits = quorvel::GetBoneFlags(obj, slots);
    if (hr::IsVisible(obj)) rec.flags |= MoveWorkObj::kVisible;
    if (bits & OBase::OB_SEL_PIVOT) rec.flags |= MoveWorkObj::kPivotSelected;
    if (bits & OBase::OB_SEL_BODY) rec.flags |= MoveWorkObj::kBodySelected;
    char name[256] = {};
    api.MQObj_GetName(obj, name, sizeof name);
    rec.name = name;
    api.MQDoc_GetGlobalMatrix(doc, obj, rec.recorded.m);
    rec.current = rec.recorded;
    const int count = api.MQObj_GetVertexCount(obj);
    rec.vertices.resize(static_cast<size_t>(count > 0 ? count : 0));
    for (int j = 0; j < count; ++j) {
      MQPoint p{};
      api.MQObj_GetVertex(obj, j, &p);
      rec.vertices[static_cast<size_t>(j)] = FVECTOR3(p.x, p.y, p.z);
    }
  });
  changes_.resize(work_.size());
  for (size_t i = 0; i < work_.size(); ++i) {
    quorvel::GlobalMatrixChange& change = changes_[i];
    change.object = work_[i].handle;
    change.old_global = work_[i].recorded;
    change.new_global = work_[i].current;
    change.vertices = &work_[i].vertices;
  }
  quorvel::LinkGlobalMatrixChanges(doc, changes_);
  for (size_t i = 0; i < work_.size(); ++i) work_[i].tail = changes_[i].first_child;
  LinkModel();
}

void COMPROC_MOVE::LinkModel() {
  nodes_.assign(work_.size(), nullptr);
  if (!model_) return;
  std::unordered_map<int32_t, size_t> record_of;
  for (size_t i = 0; i < work_.size(); ++i) record_of.emplace(work_[i].object, i);
  // Pre-order over the whole model: first child, else the next sibling of
  // the nearest ancestor that has one.
  for (const quorvel::UBONEIK_BONE* node = model_->Root(); node != nullptr;) {
    auto it = record_of.find(node->object);
    if (it != record_of.end()) nodes_[it->second] = node;
    if (node->first_child) {
      node = node->first_child.get();
      continue;
    }
    while (node != nullptr && !node->next_sibling) node = node->parent;
    node = node != nullptr ? node->next_sibling.get() : nullptr;
  }
}

bool COMPROC_MOVE::RecordValid(MQDocument doc) const {
  if (doc == nullptr || doc != recorded_doc_ || work_.empty()) return false;
  // The object list must be the one recorded: undo or a deletion in between
  // leaves nothing to move.
  const MQHostApi& api = HostApi();
  int listed = 0;
  for (int i = 0, n = api.MQDoc_GetObjectCount(doc); i < n; ++i) {
    MQObject obj = api.MQDoc_GetObject(doc, i);
    if (obj == nullptr) continue;
    if (listed >= static_cast<int>(work_.size()) || work_[static_cast<size_t>(listed)].handle != obj) {
      return false;
    }
    ++listed;
  }
  return listed == static_cast<int>(work_.size());
}

bool COMPROC_MOVE::ApplyStep(const FMATRIX& step) {
  for (MoveWorkObj& rec : work_) rec.flags &= ~MoveWorkObj::kMoves;
  bool any = false;
  for (MoveWorkObj& rec : work_) {
    if (!rec.Has(MoveWorkObj::kVisible)) continue;
    if (rec.Has(MoveWorkObj::kPivotSelected)) {
      rec.flags |= MoveWorkObj::kMoves;
      any = true;
    }
    // A selected body moves its tail too: the whole bone goes.
    if (rec.Has(MoveWorkObj::kBodySelected) && rec.tail >= 0 &&
        work_[static_cast<size_t>(rec.tail)].Has(MoveWorkObj::kVisible)) {
      rec.flags |= MoveWorkObj::kMoves;
      work_[static_cast<size_t>(rec.tail)].flags |= MoveWorkObj::kMoves;
      any = true;
    }
  }
  for (MoveWorkObj& rec : work_) {
    if (rec.Has(MoveWorkObj::kMoves)) rec.current = rec.current * step;
  }
  return any;
}

void COMPROC_MOVE::ApplyToDocument(MQDocument doc, int follow_mode) {
  for (size_t i = 0; i < work_.size(); ++i) changes_[i].new_global = work_[i].current;
  quorvel::SetGlobalMatricesWithVertexFollow(doc, changes_, follow_mode);
}

void COMPROC_MOVE::ApplyIkResult(MQDocument doc, int follow_mode) {
  // Each object's pose of the rest skeleton chained down the hierarchy
  // (parents come first in the document), then applied after its matrix.
  world_.resize(work_.size());
  for (size_t i = 0; i < work_.size(); ++i) {
    const MoveWorkObj& rec = work_[i];
    FMATRIX local;
    const quorvel::UBONEIK_BONE* node = i < nodes_.size() ? nodes_[i] : nullptr;
    if (node != nullptr && (node->flags & quorvel::UBONEIK_BONE::kChangeBits) != 0) {
      quorvel::OPoseTSQ pose;
      if (node->Has(quorvel::UBONEIK_BONE::kRotationChanged)) pose.rot = node->pose.rot;
      if (node->Has(quorvel::UBONEIK_BONE::kTranslationChanged)) pose.trs = node->pose.trs;
      if (node->Has(quorvel::UBONEIK_BONE::kScaleChanged)) pose.scl = node->pose.scl;
      local = quorvel::PoseLocalMatrix(pose, rec.current.GetTranslation());
    }
    const int parent = changes_[i].parent;
    world_[i] = parent >= 0 && static_cast<size_t>(parent) < i ? local * world_[static_cast<size_t>(parent)]
                                                                : local;
  }
  for (size_t i = 0; i < work_.size(); ++i) changes_[i].new_global = work_[i].current * world_[i];
  quorvel::SetGlobalMatricesWithVertexFollow(doc, changes_, follow_mode);
}

void COMPROC_MOVE::PoseOnNewPivots(const TOOL_CONTEXT& tool) {
  // A pose turns and moves bones about their pivots: the posed matrices
  // are made again for the skeleton as it now stands.
  if (MQEXPDOC* model = tool.service->GetModel()) {
    model->ForgetPoseCache();
    model->UpdatePoseMatrices();
  }
}

// ---------------------------------------------------------------- events

int COMPROC_MOVE::OnDraw(MED_COMPROC_CALLBACK_BASE& cb) {
  TOOL_CONTEXT tool;
  if (!tool.Open(cb) || !rectangle_.active) return 0;
  DrawScreenRect(tool.service->GetDrawer(), rectangle_.start, rectangle_.corner, kRectangleColour);
  return 0;
}

int COMPROC_MOVE::OnLeftButtonDown(MED_COMPROC_CALLBACK_BASE& cb) {
  TOOL_CONTEXT tool;
  if (!tool.Open(cb)) return 0;
  const bool ctrl = cb.GetCtrl();
  HANDLE_STATE& handle = tool.service->GetHandleState();
  const bool ik = tool.service->GetToolOption(2) != 0;
  model_.reset();
  modified_ = 0;
  pressed_ = true;
  MED_SELECTITEM picked;
  MQObject obj = PressPick(tool, cb, picker_, PICK_PIVOTS | PICK_BODIES, tool.service->IsPoseMode(),
                           drag_, rectangle_, picked);
  if (picked.IsHandle()) {
    // What the handle drags is the document as it is now.
    Record(tool.doc, *tool.slots);
  } else if (obj != nullptr) {
    if (ik) {
      MakeCurrentPart(tool, obj, picked, /*posed=*/false);
      model_ = std::make_unique<quorvel::UBONEIK_MODEL>();
      model_->Build(tool.doc, *tool.slots, rest_);
    } else {
      quorvel::SetCurrentObject(tool.doc, obj);
      if (!ctrl && !PartSelected(obj, *tool.slots, picked.kind)) {
        quorvel::ClearSelection(tool.doc, *tool.slots, *tool.state);
      }
      tool.state->current_bone = picked.id;
      tool.state->current_part_kind = picked.kind;
      SelectPart(obj, *tool.slots, *tool.state, picked.kind);
      handle.axis = 0;
      HandleAtSelectionCentre(handle, tool.doc, *tool.slots, /*posed=*/false);
    }
    Record(tool.doc, *tool.slots);
  }
  tool.service->Redraw();
  return 1;
}

int COMPROC_MOVE::OnLeftButtonMove(MED_COMPROC_CALLBACK_BASE& cb) {
  TOOL_CONTEXT tool;
  if (!tool.Open(cb) || !pressed_) return 0;
  MED_USELECT_PARA_BASE& para = cb.GetSelectPara();
  const FVECTOR2 mouse = cb.GetMousePos();
  if (rectangle_.active) {
    rectangle_.corner = mouse;
    tool.service->Redraw();
    return 1;
  }
  HANDLE_STATE& handle = tool.service->GetHandleState();
  const int handle_type = tool.service->GetHandleType();
  const int follow = tool.service->GetToolOption(1);
  if (!RecordValid(tool.doc)) return 0;
  MQEXPDOC* model = tool.service->GetModel();

  // With IK on, a joint or body pressed bends the skeleton; the handle moves
  // the selection as it does without IK.
  if (model_) {
    if (tool.state->current_bone < 0) return 0;
    const FVECTOR3 target = DragTarget(drag_, para, mouse, handle, tool.state->current_part_kind);
    const bool children_follow = cb.GetShift() != (tool.service->GetIkType() != 0);
    if (DispatchIkDrag(*model_, tool.doc, *tool.slots, tool.state->current_bone,
                       tool.state->current_part_kind, target, children_follow)) {
      modified_ = 1;
      ApplyIkResult(tool.doc, follow);
      if (model != nullptr) model->ForgetPoseCache();
    }
  } else {
    FMATRIX step;
    if (!DragStepMatrix(drag_, para, mouse, handle, handle_type, step)) return 0;
    if (ApplyStep(step)) {
      drag_.moved = true;
      ApplyToDocument(tool.doc, follow);
      if (model != nullptr) model->ForgetPoseCache();
      // The handle goes with the selection; turning and scaling keep its centre.
      handle.matrix.SetTranslation(step.TransformPoint(handle.matrix.GetTranslation()));
    }
  }
  tool.service->Redraw();
  return 1;
}

int COMPROC_MOVE::OnLeftButtonUp(MED_COMPROC_CALLBACK_BASE& cb) {
  TOOL_CONTEXT tool;
  if (!tool.Open(cb)) return 0;
  const bool pressed = pressed_;
  pressed_ = false;
  HANDLE_STATE& handle = tool.service->GetHandleState();
  if (rectangle_.active) {
    rectangle_.active = false;
    rectangle_.corner = cb.GetMousePos();
    const MED_SCREENCONVBASE* converter = tool.service->GetScreenConverter();
    const SCREEN_RECT rect{rectangle_.start, rectangle_.corner};
    if (converter != nullptr &&
        MED_USELECT::SelectInRect(tool.doc, *tool.slots, tool.state, *converter, rect,
                                  PICK_PIVOTS | PICK_BODIES, /*pose_mode=*/false)) {
      handle.axis = 0;
      HandleAtSelectionCentre(handle, tool.doc, *tool.slots, /*posed=*/false);
      Record(tool.doc, *tool.slots);
    }
    tool.service->Redraw();
    return 1;
  }
  if (!pressed) return 0;
  if (model_) {
    if (modified_ != 0) {
      model_.reset();
      if (MQObject obj = quorvel::FindObjectByUniqueId(tool.doc, tool.state->current_bone)) {
        HandleAtPart(handle, tool.doc, obj, *tool.slots, tool.state->current_part_kind,
                     /*posed=*/false);
      }
      modified_ = 0;
      PoseOnNewPivots(tool);
      tool.service->UpdateUndo();
      tool.service->RefreshPanels();
    }
    model_.reset();
  } else if (drag_.moved) {
    drag_.moved = false;
    PoseOnNewPivots(tool);
    tool.service->Redraw();
    tool.service->UpdateUndo();
  }
  return 1;
}

int COMPROC_MOVE::OnMouseMove(MED_COMPROC_CALLBACK_BASE& cb) {
  TOOL_CONTEXT tool;
  if (!tool.Open(cb)) return 0;
  HoverAndRedraw(tool, cb, picker_, hover_, tool.service->IsPoseMode(), HoverKinds(*tool.state));
  return 0;
}

int COMPROC_MOVE::OnKeyDown(MED_COMPROC_CALLBACK_BASE& cb) {
  TOOL_CONTEXT tool;
  if (!tool.Open(cb)) return 0;
  const bool ctrl = cb.GetCtrl(), shift = cb.GetShift(), alt = cb.GetAlt();
  const int key = cb.GetKey();
  if (key == kKeyDelete) {
    // With Ctrl or Shift the key is the host's; Alt alone still deletes.
    if (ctrl || shift) return 0;
    tool.service->DeleteSelectedBones();
    return 1;
  }
  if (!ctrl || alt) return 0;
  switch (key) {
    case 'A': tool.service->SelectAllBones(); return 1;
    case 'D': tool.service->ClearBoneSelection(); return 1;
    case 'C':
    case 'X':
    case 'V':
      // Copying and pasting belong to the host's objects, not to bones: the
      // keys are taken so the host does not act behind the tool's back.
      tool.service->RefreshPanels();
      tool.service->UpdateUndo();
      return 1;
    default: return 0;
  }
}
