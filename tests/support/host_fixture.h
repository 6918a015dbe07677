#pragma once
// Plug-in code run against the substitute host inside one test program: the
// plug-in's host API table is filled from the host's own module, exactly as
// MQInit does, and each test gets a fresh document. Suites using it link
// `mqhost` besides the plug-in libraries.
#include <gtest/gtest.h>

#include <string>

#include "host/core/api.h"
#include "host/core/host.h"
#include "sdk/host_api.h"

class HostTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    const std::string host_path = mqhost::Host::OwnModulePath();
    ASSERT_EQ(LoadHostApi(host_path.c_str(), HostApi()), TRUE) << host_path;
  }
  void SetUp() override {
    document_ = mqhost::Host::Instance().NewDocument();
    doc_ = mqhost::ToHandle(document_);
  }
  void TearDown() override { mqhost::Host::Instance().CloseDocument(document_); }

  // A new object named `name` with hierarchy depth `depth`, at the end of the list.
  MQObject AddObject(const char* name, int depth = 0) {
    auto object = document_->NewObject();
    object->name = name;
    object->depth = depth;
    mqhost::Object* raw = object.get();
    document_->AddObject(std::move(object));
    return mqhost::ToHandle(raw);
  }
  // A vertex at (x, y, z) appended to `obj`; its index.
  int AddVertex(MQObject obj, float x, float y, float z) {
    return mqhost::ToObject(obj)->AddVertex(MQPoint{x, y, z});
  }

  mqhost::Document* document_ = nullptr;
  MQDocument doc_ = nullptr;
};
