// The viewport's camera habits, checked where a person sees them: on the
// screen, through the host's own world-to-screen conversion.
#include "host/gui/view_navigation.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using mqhost::Camera;
using mqhost::WorldToScreen;

Camera FrontCamera(bool orthographic) {
  Camera camera;
  camera.position = FVECTOR3{0.0f, 0.0f, 500.0f};
  camera.look_at = FVECTOR3{0.0f, 0.0f, 0.0f};
  camera.orthographic = orthographic;
  camera.ortho_height = 400.0f;
  camera.width = 640;
  camera.height = 480;
  return camera;
}

float Distance(const Camera& camera) { return (camera.position - camera.look_at).Length(); }

TEST(ViewNavigation, OrbitingTurnsAboutTheTargetAndStopsShortOfThePoles) {
  Camera camera = FrontCamera(false);
  mqhost::OrbitView(camera, 180, 0);  // 90 degrees
  EXPECT_NEAR(Distance(camera), 500.0f, 1e-2f);
  EXPECT_NEAR(camera.position.x, -500.0f, 1e-2f) << "a drag to the right brings the scene's right side to the front";
  const FVECTOR3 centre = WorldToScreen(camera, camera.look_at);
  EXPECT_NEAR(centre.x, 320.0f, 1e-2f);
  EXPECT_NEAR(centre.y, 240.0f, 1e-2f);

  camera = FrontCamera(false);
  mqhost::OrbitView(camera, 0, 40);
  EXPECT_GT(camera.position.y, 0.0f) << "a drag down shows more of the top";
  mqhost::OrbitView(camera, 0, 10000);
  EXPECT_NEAR(Distance(camera), 500.0f, 1e-2f);
  const float elevation = std::asin(camera.position.y / 500.0f) * 180.0f / 3.14159265f;
  EXPECT_NEAR(elevation, mqhost::kMaxElevationDegrees, 1e-2f);
  // Still a usable view: a point above the target shows above the centre.
  EXPECT_LT(WorldToScreen(camera, FVECTOR3{0.0f, 0.0f, -10.0f}).y, 240.0f);
}

TEST(ViewNavigation, PanningMovesWhatIsUnderTheMouseWithTheMouse) {
  for (bool orthographic : {false, true}) {
    SCOPED_TRACE(orthographic ? "orthographic" : "perspective");
    Camera camera = FrontCamera(orthographic);
    mqhost::OrbitView(camera, 37, 21);  // along no axis
    const FVECTOR3 grabbed = camera.look_at;
    const FVECTOR3 before = WorldToScreen(camera, grabbed);
    mqhost::PanView(camera, 25, -14);
    const FVECTOR3 after = WorldToScreen(camera, grabbed);
    EXPECT_NEAR(after.x - before.x, 25.0f, 0.05f);
    EXPECT_NEAR(after.y - before.y, -14.0f, 0.05f);
    EXPECT_NEAR(Distance(camera), 500.0f, 1e-2f);
  }
}

// The on-screen size of a 100-unit bar across the target, square to the
// line of sight.
float ShownWidth(const Camera& camera) {
  const FVECTOR3 right = Cross(camera.look_at - camera.position, camera.up).Normalized() * 50.0f;
  return WorldToScreen(camera, camera.look_at + right).x - WorldToScreen(camera, camera.look_at - right).x;
}

TEST(ViewNavigation, TheWheelZoomsBothProjectionsAndNeverReachesZero) {
  for (bool orthographic : {false, true}) {
    SCOPED_TRACE(orthographic ? "orthographic" : "perspective");
    Camera camera = FrontCamera(orthographic);
    const float start = ShownWidth(camera);
    mqhost::ZoomView(camera, 120);
    EXPECT_NEAR(ShownWidth(camera), start / mqhost::kZoomPerNotch, start * 1e-3f) << "a notch away zooms in";
    mqhost::ZoomView(camera, -240);
    EXPECT_LT(ShownWidth(camera), start);
    mqhost::ZoomView(camera, 120 * 400);
    EXPECT_GT(orthographic ? camera.ortho_height : Distance(camera), 0.0f);
    EXPECT_TRUE(std::isfinite(ShownWidth(camera)));
  }
}

TEST(ViewNavigation, SwitchingTheProjectionKeepsTheSizeAtTheTarget) {
  Camera camera = FrontCamera(false);
  mqhost::OrbitView(camera, -60, 30);
  const float perspective = ShownWidth(camera);
  mqhost::ToggleProjection(camera);
  ASSERT_TRUE(camera.orthographic);
  EXPECT_NEAR(ShownWidth(camera), perspective, 0.05f);
  mqhost::ZoomView(camera, 360);
  const float zoomed = ShownWidth(camera);
  mqhost::ToggleProjection(camera);
  ASSERT_FALSE(camera.orthographic);
  EXPECT_NEAR(ShownWidth(camera), zoomed, 0.05f) << "the zoom made in orthographic carries over";
}

TEST(ViewNavigation, FramingShowsTheWholeBoxAroundItsCentre) {
  struct Case {
    bool orthographic;
    int width, height;
  };
  const FVECTOR3 lo{-300.0f, 40.0f, -20.0f}, hi{900.0f, 160.0f, 60.0f};
  for (const Case& c : {Case{false, 640, 480}, Case{true, 640, 480}, Case{false, 300, 800}, Case{true, 300, 800}}) {
    SCOPED_TRACE(testing::Message() << c.orthographic << " " << c.width << "x" << c.height);
    Camera camera = FrontCamera(c.orthographic);
    camera.width = c.width;
    camera.height = c.height;
    mqhost::OrbitView(camera, 50, 20);
    mqhost::FrameBox(camera, lo, hi);
    const FVECTOR3 centre = WorldToScreen(camera, (lo + hi) * 0.5f);
    EXPECT_NEAR(centre.x, c.width / 2.0f, 0.05f);
    EXPECT_NEAR(centre.y, c.height / 2.0f, 0.05f);
    for (int corner = 0; corner < 8; ++corner) {
      const FVECTOR3 p{corner & 1 ? hi.x : lo.x, corner & 2 ? hi.y : lo.y, corner & 4 ? hi.z : lo.z};
      const FVECTOR3 s = WorldToScreen(camera, p);
      EXPECT_TRUE(s.x >= 0.0f && s.x <= c.width && s.y >= 0.0f && s.y <= c.height && s.z > 0.0f && s.z < 1.0f)
          << "corner " << corner << " at " << s.x << ", " << s.y << ", " << s.z;
    }
  }
  Camera camera = FrontCamera(false);
  const Camera before = camera;
  mqhost::FrameBox(camera, hi, lo);
  EXPECT_EQ(static_cast<const mqhost::CameraSettings&>(camera), static_cast<const mqhost::CameraSettings&>(before))
      << "an empty box changes nothing";
}

}  // namespace
