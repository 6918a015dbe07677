#pragma once
// A stand-in for the plug-in's main object as the viewport tools see it,
// over one substitute-host document: the view, the pick depth and the handle
// are plain fields, and the edit tools' services (model, undo, panels) are
// absent. Picking and drawing tests and benchmarks use it.
#include "host/core/api.h"
#include "host/core/document.h"
#include "rig/edit_state.h"
#include "rig/slot_table.h"
#include "tools/tool_service.h"
#include "tools/viewport_drawing.h"

class FakeToolService : public MED_TOOL_SERVICE {
 public:
  FakeToolService(mqhost::Document* document, const quorvel::RigSlotTable& slots)
      : document_(document), slots_(slots) {}

  MQDocument GetDocument() const override { return mqhost::ToHandle(document_); }
  quorvel::RigEditState* GetEditState() const override { return &state; }
  const quorvel::RigSlotTable& GetSlots() const override { return slots_; }
  bool IsPoseMode() const override { return pose_mode; }
  int GetMode() const override { return mode; }
  void GetViewSize(int& w, int& h) const override {
    w = width;
    h = height;
  }
  float GetPickDepth() const override { return pick_depth; }
  void SetPickDepth(float depth) override { pick_depth = depth; }
  HANDLE_STATE& GetHandleState() override { return handle; }
  int GetHandleType() const override { return handle_type; }
  int GetShowHandle() const override { return show_handle; }
  void Redraw() override { ++redraws; }
  MQObject CreateDrawingObject(int flags, BOOL instant) override {
    return mqhost::ToHandle(document_->CreateDrawingObject(flags & 7, instant != FALSE));
  }
  MQMaterial CreateDrawingMaterial(int& index, BOOL instant) override {
    return mqhost::ToHandle(document_->CreateDrawingMaterial(instant != FALSE, &index));
  }
  // The edit tools run through the plug-in's main object instead.
  MQEXPDOC* GetModel() const override { return nullptr; }
  MED_SCREENCONVBASE* GetScreenConverter() const override { return nullptr; }
  int GetToolOption(int) const override { return 0; }
  int GetIkType() const override { return 0; }
  void RefreshPanels() override {}
  void UpdateUndo() override {}
  void MarkRenderingDeform() override {}
  void MarkRenderingRecolour() override {}
  void DeleteSelectedBones() override {}
  void SelectAllBones() override {}
  void ClearBoneSelection() override {}
  MEDUDRAW_BASE& GetDrawer() const override { return drawer_; }

  mutable quorvel::RigEditState state;
  bool pose_mode = false;
  int mode = 1;
  int width = 640, height = 480;
  float pick_depth = 0.0f;
  HANDLE_STATE handle;
  int handle_type = HANDLE_MOVE;
  int show_handle = 0;
  int redraws = 0;

 private:
  mqhost::Document* document_;
  const quorvel::RigSlotTable& slots_;
  mutable UDRAW_MQ drawer_{this};
};
