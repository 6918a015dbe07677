#include "tools/make_command.h"

#include "rig/document_model.h"
#include "rig/hierarchy.h"
#include "rig/host_records.h"
#include "rig/id_table.h"
#include "tools/bone_drawing.h"

namespace hr = quorvel::host_records;

namespace {

constexpr UCOLOR kPreviewColour{255, 255, 255, 255};

}  // namespace

int COMPROC_MAKE::OnDraw(MED_COMPROC_CALLBACK_BASE& cb) {
  TOOL_CONTEXT tool;
  if (!tool.Open(cb) || state_ != kHeadPlaced) return 0;
  DrawPreviewBone(tool.service->GetDrawer(), head_, tail_, kPreviewColour);
  return 0;
}

int COMPROC_MAKE::OnRightButtonDown(MED_COMPROC_CALLBACK_BASE& cb) {
  TOOL_CONTEXT tool;
  if (!tool.Open(cb) || state_ != kHeadPlaced) return 0;
  state_ = kIdle;
  redraw_ = 1;
  tool.service->Redraw();
  tool.service->RefreshPanels();
  return 1;
}

int COMPROC_MAKE::OnLeftButtonDown(MED_COMPROC_CALLBACK_BASE& cb) {
  TOOL_CONTEXT tool;
  if (!tool.Open(cb)) return 0;
  return state_ == kIdle ? PlaceHead(tool, cb) : PlaceTail(tool, cb);
}

int COMPROC_MAKE::PlaceHead(const TOOL_CONTEXT& tool, MED_COMPROC_CALLBACK_BASE& cb) {
  MED_USELECT_PARA_BASE& para = cb.GetSelectPara();
  const FVECTOR2 mouse = cb.GetMousePos();
  const bool pose_mode = tool.service->IsPoseMode();
  const int handle_type = tool.service->GetHandleType();
  MED_SELECTITEM picked;
  if (picker_.Pick(para, tool.doc, *tool.slots, tool.state, mouse.x, mouse.y, picked, PICK_PIVOTS,
                   pose_mode, handle_type)) {
    MQObject obj = picked.kind == SELKIND_PIVOT ? quorvel::FindObjectByUniqueId(tool.doc, picked.id)
                                                : nullptr;
    if (obj == nullptr) return 0;
    head_ = quorvel::ObjectPivot(tool.doc, obj);
    para.SetPickDepth(para.WorldToScreen(head_).z);
    tool.state->current_bone = picked.id;
    start_kind_ = SELKIND_PIVOT;
  } else if (picker_.Pick(para, tool.doc, *tool.slots, tool.state, mouse.x, mouse.y, picked,
                          PICK_ROLLS | PICK_BODIES, pose_mode, handle_type)) {
    // A roll point or a body: no bone starts there. Pivots are tried first
    // and alone, so that a joint at the tip of another bone's body is found.
    return 0;
  } else {
    // In empty space the bone lies at the depth of the world origin.
    para.SetPickDepth(para.WorldToScreen(FVECTOR3()).z);
    head_ = UnprojectAtPickDepth(para, mouse.x, mouse.y);
    tool.state->current_bone = -1;
    start_kind_ = SELKIND_NONE;
  }
  tail_ = head_;
  state_ = kHeadPlaced;
  tool.service->Redraw();
  return 1;
}

int COMPROC_MAKE::PlaceTail(const TOOL_CONTEXT& tool, MED_COMPROC_CALLBACK_BASE& cb) {
  MQEXPDOC* model = tool.service->GetModel();
  if (model == nullptr) return 0;
  MED_USELECT_PARA_BASE& para = cb.GetSelectPara();
  const FVECTOR2 mouse = cb.GetMousePos();
  tail_ = UnprojectAtPickDepth(para, mouse.x, mouse.y);
  ++click_count_;

  MQObject base = tool.state->current_bone >= 0
                      ? quorvel::FindObjectByUniqueId(tool.doc, tool.state->current_bone)
                      : nullptr;
  const int mode = tool.service->GetToolOption(3) == quorvel::kMakeSibling ? quorvel::kMakeSibling
                                                                           : quorvel::kMakeChild;
  MQObject bone = model->MakeBone(base, mode, head_, tail_);
  if (bone != nullptr) {
    tool.service->UpdateUndo();
    tool.service->RefreshPanels();
  }
  MQObject next = bone != nullptr && mode == quorvel::kMakeChild ? quorvel::FirstChild(tool.doc, bone)
                                                                 : nullptr;
  if (next == nullptr) {
    state_ = kIdle;
  } else {
    // The chain goes on from the tail just placed.
    tool.state->current_bone = hr::UniqueId(next);
    start_kind_ = SELKIND_PIVOT;
    head_ = tail_;
  }
  tool.service->Redraw();
  return 1;
}

int COMPROC_MAKE::OnMouseMove(MED_COMPROC_CALLBACK_BASE& cb) {
  TOOL_CONTEXT tool;
  if (!tool.Open(cb)) return 0;
  MED_USELECT_PARA_BASE& para = cb.GetSelectPara();
  const FVECTOR2 mouse = cb.GetMousePos();
  if (state_ == kHeadPlaced) {
    tail_ = UnprojectAtPickDepth(para, mouse.x, mouse.y);
    tool.service->Redraw();
  } else {
    HoverAndRedraw(tool, cb, picker_, hover_, tool.service->IsPoseMode(), PICK_PIVOTS);
  }
  if (redraw_ != 0) {
    redraw_ = 0;
    tool.service->Redraw();
  }
  return 0;
}
