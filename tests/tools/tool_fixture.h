#pragma once
// The viewport tools against the substitute host, with a service of the
// test's own in place of the plug-in's main object. The camera is
// orthographic with one world unit to a pixel: world (x, y) shows at screen
// (320 + x, 240 - y), so distances in pixels are exact.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "host/core/api.h"
#include "host/core/host.h"
#include "rig/rig_access.h"
#include "rig/rig_document.h"
#include "tests/rig/rig_fixture.h"
#include "tools/tool_service.h"

class TestToolService : public MED_TOOL_SERVICE {
 public:
  TestToolService(mqhost::Document* document, const quorvel::RigSlotTable& slots)
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
  // The edit tools' services are not what these tests exercise: the tools
  // run through the plug-in's main object in tests/tools/commands.
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
  MEDUDRAW_BASE& GetDrawer() const override { return *drawer; }
  MEDUDRAW_BASE* drawer = nullptr;

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
};

class ToolTest : public RigTest {
 protected:
  void SetUp() override {
    RigTest::SetUp();
    mqhost::Camera& camera = document_->camera;
    camera.orthographic = true;
    camera.ortho_height = 480.0f;
    camera.width = 640;
    camera.height = 480;
    service_ = std::make_unique<TestToolService>(document_, slots_);
  }
  void TearDown() override {
    service_.reset();
    RigTest::TearDown();
  }

  MQScene Scene() const { return HostApi().MQDoc_GetScene(doc_, 0); }

  // An object `local` away from its parent (the origin at depth 0).
  MQObject Bone(const char* name, int depth, const FVECTOR3& local) {
    MQObject obj = AddObject(name, depth);
    mqhost::ToObject(obj)->transform.translation = local;
    return obj;
  }
  // Bone records for every object, then `set` and `clear` on one of them.
  void Records() { quorvel::EnsureRigRecords(doc_, slots_); }
  void Flags(MQObject obj, uint32_t set, uint32_t clear = 0) {
    const uint32_t flags = quorvel::GetBoneFlags(obj, slots_);
    ASSERT_TRUE(quorvel::SetBoneFlags(obj, slots_, (flags | set) & ~clear));
  }
  // Screen point of a world point in the test camera.
  static FVECTOR2 Screen(float x, float y) { return FVECTOR2(320.0f + x, 240.0f - y); }

  std::unique_ptr<TestToolService> service_;
};
