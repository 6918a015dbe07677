#include "tools/weight_paint_command.h"

#include <algorithm>

#include "rig/id_table.h"
#include "rig/records.h"
#include "rig/rig_access.h"
#include "rig/weight_operations.h"
#include "sdk/host_api.h"
#include "tools/bone_drawing.h"

namespace {

constexpr UCOLOR kBrushColour{255, 255, 255, 255};

}  // namespace

bool COMPROC_VWEIT::Paint(const TOOL_CONTEXT& tool, const FVECTOR2& centre) {
  const quorvel::WeightPen* pen = quorvel::CurrentPen(*tool.state);
  if (pen == nullptr) return false;
  HITVERT nearest;
  if (!picker_.PickVertices(tool.doc, centre, pen->size, hits_, nearest)) return false;
  painted_.resize(hits_.size());
  for (size_t i = 0; i < hits_.size(); ++i) painted_[i] = {hits_[i].object, hits_[i].vertex};
  if (tool.state->blur_pen) {
    // The pen's depth is how far one step pulls toward the neighbours.
    const float strength = std::clamp(pen->depth / 100.0f, 0.0f, 1.0f);
    if (!quorvel::BlurVertices(tool.doc, *tool.slots, *tool.state, painted_, strength, blur_)) return false;
  } else if (!quorvel::PaintVertices(tool.doc, *tool.slots, *tool.state, painted_)) {
    return false;
  }
  tool.service->MarkRenderingRecolour();
  tool.service->Redraw();
  return true;
}

bool COMPROC_VWEIT::PickUpWeights(const TOOL_CONTEXT& tool) {
  const quorvel::WeightPen* pen = quorvel::CurrentPen(*tool.state);
  if (pen == nullptr) return false;
  HITVERT nearest;
  if (!picker_.PickVertices(tool.doc, mouse_, pen->size, hits_, nearest) || nearest.object < 0) {
    return false;
  }
  MQObject obj = HostApi().MQDoc_GetObject(tool.doc, nearest.object);
  quorvel::VWeight rec;
  if (obj == nullptr || !quorvel::HasWeights(obj, *tool.slots) ||
      !quorvel::GetVertexWeights(obj, *tool.slots, nearest.vertex, rec)) {
    return false;
  }
  quorvel::StorePalette(*tool.state, rec);
  return true;
}

void COMPROC_VWEIT::ChooseBone(const TOOL_CONTEXT& tool, MED_COMPROC_CALLBACK_BASE& cb) {
  MED_SELECTITEM picked;
  if (!picker_.Pick(cb.GetSelectPara(), tool.doc, *tool.slots, tool.state, mouse_.x, mouse_.y, picked,
                    PICK_PIVOTS | PICK_BODIES, tool.service->IsPoseMode(),
                    tool.service->GetHandleType()) ||
      MED_SELECTITEM::KindClass(picked.kind) != SELKIND_BONE) {
    return;
  }
  MQObject obj = quorvel::FindObjectByUniqueId(tool.doc, picked.id);
  if (obj == nullptr) return;
  quorvel::SetCurrentObject(tool.doc, obj);
  quorvel::PaletteFromCurrentObject(tool.doc, *tool.slots, *tool.state);
  tool.service->RefreshPanels();
}

int COMPROC_VWEIT::OnDraw(MED_COMPROC_CALLBACK_BASE& cb) {
  TOOL_CONTEXT tool;
  if (!tool.Open(cb)) return 0;
  if (const quorvel::WeightPen* pen = quorvel::CurrentPen(*tool.state)) {
    DrawBrushCircle(tool.service->GetDrawer(), mouse_, pen->size, kBrushColour);
  }
  return 0;
}

int COMPROC_VWEIT::OnRightButtonDown(MED_COMPROC_CALLBACK_BASE& cb) {
  TOOL_CONTEXT tool;
  if (!tool.Open(cb)) return 0;
  right_click_ = 1;
  tool.service->Redraw();
  return 0;
}

int COMPROC_VWEIT::OnRightButtonMove(MED_COMPROC_CALLBACK_BASE& cb) {
  TOOL_CONTEXT tool;
  if (!tool.Open(cb)) return 0;
  mouse_ = cb.GetMousePos();
  right_click_ = 0;
  tool.service->Redraw();
  return 0;
}

int COMPROC_VWEIT::OnRightButtonUp(MED_COMPROC_CALLBACK_BASE& cb) {
  TOOL_CONTEXT tool;
  if (!tool.Open(cb)) return 0;
  mouse_ = cb.GetMousePos();
  tool.service->Redraw();
  if (right_click_ == 0) return 0;
  right_click_ = 0;
  if (PickUpWeights(tool)) tool.service->RefreshPanels();
  return 0;
}

int COMPROC_VWEIT::OnLeftButtonDown(MED_COMPROC_CALLBACK_BASE& cb) {
  TOOL_CONTEXT tool;
  if (!tool.Open(cb)) return 0;
  mouse_ = cb.GetMousePos();
  tool.service->Redraw();
  modified_ = 0;
  stroking_ = true;
  blur_ = quorvel::BlurStroke();
  if (cb.GetAlt()) {
    ChooseBone(tool, cb);
  } else if (Paint(tool, mouse_)) {
    modified_ = 1;
  }
  return 0;
}

int COMPROC_VWEIT::OnLeftButtonMove(MED_COMPROC_CALLBACK_BASE& cb) {
  TOOL_CONTEXT tool;
  if (!tool.Open(cb)) return 0;
  mouse_ = cb.GetMousePos();
  tool.service->Redraw();
  if (stroking_ && Paint(tool, mouse_)) modified_ = 1;
  return 0;
}

int COMPROC_VWEIT::OnLeftButtonUp(MED_COMPROC_CALLBACK_BASE& cb) {
  TOOL_CONTEXT tool;
  if (!tool.Open(cb)) return 0;
  stroking_ = false;
  blur_ = quorvel::BlurStroke();
  tool.service->Redraw();
  if (modified_ != 0) {
    modified_ = 0;
    tool.service->UpdateUndo();
  }
  return 0;
}

int COMPROC_VWEIT::OnMouseMove(MED_COMPROC_CALLBACK_BASE& cb) {
  TOOL_CONTEXT tool;
  if (!tool.Open(cb)) return 0;
  mouse_ = cb.GetMousePos();
  tool.service->Redraw();
  return 0;
}
