// MQScene_GetVisibleFace: a face is visible when it faces the camera and some
// part of it lies inside the view.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "host/core/api.h"
#include "host/core/document.h"
#include "tests/host/geometry/camera_cases.h"
#include "tests/host/render/viewport_scene.h"

namespace {

using camera_cases::CameraCase;
using camera_cases::Ortho;
using mqhost::Camera;
using mqhost::Document;
using mqhost::Object;
using viewport_test::AddFace;
using viewport_test::FacingSquare;
using viewport_test::FrontOf;

const CameraCase kCameras[] = {{"Perspective", Camera{}}, {"Ortho", Ortho(Camera{}, Camera{}.ortho_height)}};

class VisibleFace : public testing::TestWithParam<CameraCase> {
 protected:
  void SetUp() override {
    document_.camera = GetParam().camera;
    document_.AddObject(document_.NewObject());
    object_ = document_.ObjectAt(0);
    // Half the view's width and height where the origin is (z = 0).
    const Camera& c = document_.camera;
    half_height_ = c.orthographic ? c.ortho_height / 2.0f
                                  : c.position.z * std::tan(c.fov_degrees * 3.14159265f / 360.0f);
    half_width_ = half_height_ * static_cast<float>(c.width) / static_cast<float>(c.height);
  }

  // One flag per face of the object, as the host writes them.
  std::vector<BOOL> Flags() {
    std::vector<BOOL> flags(object_->faces.size(), -1);
    EXPECT_EQ(MQScene_GetVisibleFace(mqhost::ToHandle(&document_.camera), mqhost::ToHandle(object_), flags.data()),
              TRUE);
    return flags;
  }

  Document document_;
  Object* object_ = nullptr;
  float half_width_ = 0.0f, half_height_ = 0.0f;
};

TEST_P(VisibleFace, AFaceIsVisibleWhenItFacesTheCameraAndPartOfItIsInView) {
  const Camera& camera = document_.camera;
  const float hx = half_width_, hy = half_height_;
  struct Case {
    const char* what;
    std::vector<FVECTOR3> points;
    bool visible;
  };
  const Case cases[] = {
      {"in the middle", FacingSquare(camera, {0, 0, 0}, 20), true},
      {"right of the view", FrontOf(camera, FacingSquare(camera, {hx + 50, 0, 0}, 20)), false},
      {"above the view", FrontOf(camera, FacingSquare(camera, {0, hy + 50, 0}, 20)), false},
      {"across the left edge", FrontOf(camera, FacingSquare(camera, {-hx, 0, 0}, 20)), true},
      {"across the bottom edge", FrontOf(camera, FacingSquare(camera, {0, -hy, 0}, 20)), true},
      {"larger than the view, every corner outside", FrontOf(camera, FacingSquare(camera, {0, 0, 0}, 5000)), true},
      // Its bounding box overlaps the view's top right corner; the
      // triangle itself passes outside it.
      {"beside the view's corner",
       FrontOf(camera, {{hx - 16, hy + 23, 0}, {hx + 24, hy - 17, 0}, {hx + 24, hy + 23, 0}}), false},
      {"just inside the view's corner",
       FrontOf(camera, {{hx - 16, hy + 13, 0}, {hx + 24, hy - 27, 0}, {hx + 24, hy + 13, 0}}), true},
      {"behind the camera", FrontOf(camera, FacingSquare(camera, {0, 0, 600}, 20)), false},
      {"between the camera and the near plane", FrontOf(camera, FacingSquare(camera, {0, 0, 499.5f}, 0.1f)), false},
      {"beyond the far plane", FrontOf(camera, FacingSquare(camera, {0, 0, -10000}, 500)), false},
      {"from in front of the camera to behind it",
       FrontOf(camera, {{-50, -40, 300}, {50, -40, 300}, {50, -20, 700}, {-50, -20, 700}}), true},
  };
  for (const Case& c : cases) AddFace(object_, c.points);
  const std::vector<BOOL> flags = Flags();
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    // Every row faces the camera: only the view decides.
    ASSERT_TRUE(FacesCamera(camera, c.points.data(), static_cast<int>(c.points.size()))) << c.what;
    EXPECT_EQ(flags[i], c.visible ? TRUE : FALSE) << c.what;
  }
}

TEST_P(VisibleFace, BackFacesHiddenFacesHiddenObjectsPointsAndLinesAreNotVisible) {
  const Camera& camera = document_.camera;
  AddFace(object_, FacingSquare(camera, {0, 0, 0}, 20));
  AddFace(object_, FacingSquare(camera, {0, 0, 0}, 20, 0, true));
  const int hidden = AddFace(object_, FacingSquare(camera, {50, 0, 0}, 20));
  object_->SetFaceVisible(hidden, false);
  AddFace(object_, {{0, 0, 0}, {10, 10, 0}});
  AddFace(object_, {{0, 0, 0}});
  EXPECT_EQ(Flags(), (std::vector<BOOL>{TRUE, FALSE, FALSE, FALSE, FALSE}));
  object_->visible = 0;
  EXPECT_EQ(Flags(), (std::vector<BOOL>{FALSE, FALSE, FALSE, FALSE, FALSE}));
}

// The shown flags live beside the face records: every path that hides,
// shows, appends, clears or restores faces must leave them matching.
TEST_P(VisibleFace, HiddenFacesStayHiddenThroughUndoAppendsAndClears) {
  const Camera& camera = document_.camera;
  for (float x : {-40.0f, 0.0f, 40.0f}) AddFace(object_, FacingSquare(camera, {x, 0, 0}, 10));
  const MQObject obj = mqhost::ToHandle(object_);
  MQObj_SetFaceVisible(obj, 1, FALSE);
  MQObj_SetFaceVisible(obj, 7, FALSE);  // out of range: nothing
  EXPECT_EQ(Flags(), (std::vector<BOOL>{TRUE, FALSE, TRUE}));
  EXPECT_EQ(MQObj_GetFaceVisible(obj, 1), FALSE);
  EXPECT_EQ(MQObj_GetFaceVisible(obj, 3), FALSE) << "no such face";

  // Undo: the snapshot keeps the flags, and restoring brings them back into
  // the same object.
  const Document::State before = document_.Capture();
  MQObj_SetFaceVisible(obj, 1, TRUE);
  MQObj_SetFaceVisible(obj, 2, FALSE);
  EXPECT_EQ(Flags(), (std::vector<BOOL>{TRUE, TRUE, FALSE}));
  document_.Restore(before);
  ASSERT_EQ(document_.ObjectAt(0), object_);
  EXPECT_EQ(Flags(), (std::vector<BOOL>{TRUE, FALSE, TRUE}));

  // A face appended to the records directly is shown; then one through the
  // API after it, and hiding either works.
  object_->faces.push_back(object_->faces[0]);
  EXPECT_EQ(Flags(), (std::vector<BOOL>{TRUE, FALSE, TRUE, TRUE}));
  AddFace(object_, FacingSquare(camera, {0, 30, 0}, 10));
  MQObj_SetFaceVisible(obj, 3, FALSE);
  EXPECT_EQ(Flags(), (std::vector<BOOL>{TRUE, FALSE, TRUE, FALSE, TRUE}));

  // Cleared directly and rebuilt: no face inherits an old flag.
  object_->faces.clear();
  for (float x : {-40.0f, 0.0f}) AddFace(object_, FacingSquare(camera, {x, 0, 0}, 10));
  EXPECT_EQ(Flags(), (std::vector<BOOL>{TRUE, TRUE}));
}

INSTANTIATE_TEST_SUITE_P(Cameras, VisibleFace, testing::ValuesIn(kCameras), camera_cases::CameraName);

TEST(VisibleFaceArguments, WithoutSceneObjectOrArrayNothingIsWritten) {
  Document document;
  document.AddObject(document.NewObject());
  Object* object = document.ObjectAt(0);
  AddFace(object, FacingSquare(document.camera, {0, 0, 0}, 20));
  const MQScene scene = mqhost::ToHandle(&document.camera);
  const MQObject obj = mqhost::ToHandle(object);
  BOOL flag = 7;
  EXPECT_EQ(MQScene_GetVisibleFace(nullptr, obj, &flag), FALSE);
  EXPECT_EQ(MQScene_GetVisibleFace(scene, nullptr, &flag), FALSE);
  EXPECT_EQ(flag, 7);
  EXPECT_EQ(MQScene_GetVisibleFace(scene, obj, nullptr), FALSE);
  EXPECT_EQ(MQScene_GetVisibleFace(scene, obj, &flag), TRUE);
  EXPECT_EQ(flag, TRUE);
}

}  // namespace
