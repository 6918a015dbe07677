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
#include "tests/support/fake_tool_service.h"
#include "tools/tool_service.h"

using TestToolService = FakeToolService;

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
