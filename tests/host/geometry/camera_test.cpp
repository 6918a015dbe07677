#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <string>
#include <vector>

#include "camera_cases.h"
#include "host/geometry/camera.h"
#include "math/fmath.h"
#include "tests/support/float_checks.h"

namespace {

using camera_cases::CameraCase;
using camera_cases::CameraName;
using camera_cases::Ortho;
using camera_cases::Perspective;
using mqhost::Camera;
using mqhost::FacesCamera;
using mqhost::ScreenToWorld;
using mqhost::WorldToScreen;

constexpr float kPi = 3.14159265358979f;

const CameraCase kCameras[] = {
    {"DefaultPerspective", Camera{}},
    {"DefaultOrtho", Ortho(Camera{}, Camera{}.ortho_height)},
    {"OffAxisPerspective", Perspective({120, -80, 300}, {10, 20, -30}, {0, 1, 0}, 60, 800, 600, 0.5f, 5000)},
    {"OffAxisOrtho",
     Ortho(Perspective({-300, 200, -100}, {50, 0, 40}, {0, 1, 0}, 45, 1024, 512, 2, 3000), 250)},
    {"RolledUpVector", Perspective({0, 0, 500}, {0, 0, 0}, {1, 1, 0}, 30, 640, 480, 1, 10000)},
    {"LookingDownPerspective", Perspective({0, 400, 0}, {0, 0, 0}, {0, 0, -1}, 90, 300, 500, 10, 1000)},
    {"LookingDownOrtho", Ortho(Perspective({0, 400, 0}, {0, 0, 0}, {0, 0, -1}, 45, 300, 500, 10, 1000), 80)},
};

// The camera frame as the conversions must see it: looking at look_at, up as
// close to the given up as possible, and right = forward × up so that the
// right-handed world is not mirrored.
struct TestFrame {
  FVECTOR3 eye, forward, up, right;
  float distance;  // eye to look_at
};

TestFrame FrameOf(const Camera& c) {
  TestFrame f;
  f.eye = c.position;
  f.distance = (c.look_at - c.position).Length();
  f.forward = (c.look_at - c.position) / f.distance;
  f.up = (c.up - f.forward * Dot(c.up, f.forward)).Normalized();
  f.right = Cross(f.forward, f.up);
  return f;
}

// Half the visible height and width, in world units, at distance d.
float HalfHeight(const Camera& c, float d) {
  return c.orthographic ? c.ortho_height / 2 : d * std::tan(c.fov_degrees * kPi / 360.0f);
}
float HalfWidth(const Camera& c, float d) { return HalfHeight(c, d) * c.width / c.height; }

// How far along the view axis a unit change of screen depth moves a point at
// distance d: constant for orthographic, growing as d² for perspective.
double DepthSlope(const Camera& c, float d) {
  const double range = double(c.far_plane) - c.near_plane;
  return c.orthographic ? range : double(d) * d * range / (double(c.near_plane) * c.far_plane);
}

// A float depth is good to about FLT_EPSILON, which leaves this much
// uncertainty along the line of sight at distance d.
float DepthTolerance(const Camera& c, float d) { return static_cast<float>(2.0 * FLT_EPSILON * DepthSlope(c, d)); }

// What float world coordinates allow on screen: a point is only good to about
// FLT_EPSILON of its coordinates, which near a camera far from the origin is
// a sizeable part of the view. Pixels and depth, at the point's distance.
struct ScreenTolerance {
  float pixels, depth;
};

ScreenTolerance RoundingTolerance(const Camera& c, const TestFrame& f, const FVECTOR3& world) {
  const float d = Dot(world - f.eye, f.forward);
  const double r = 4.0 * FLT_EPSILON * (world.Length() + f.eye.Length() + 1.0);
  return {static_cast<float>(r * c.height / 2 / HalfHeight(c, d)) + 1e-3f,
          static_cast<float>(r / DepthSlope(c, d)) + 4 * FLT_EPSILON};
}

class CameraTest : public ::testing::TestWithParam<CameraCase> {};

TEST_P(CameraTest, ProjectionKindIsReadFromElement11) {
  const Camera& c = GetParam().camera;
  const FMATRIX p = mqhost::ProjectionMatrix(c);
  if (c.orthographic) {
    EXPECT_EQ(p.m[11], 0.0f);
    EXPECT_EQ(p(3, 3), 1.0f);
  } else {
    EXPECT_EQ(p.m[11], 1.0f);
    EXPECT_EQ(p(3, 3), 0.0f);
  }
}

TEST_P(CameraTest, ViewLooksAlongPlusZFromTheEye) {
  const Camera& c = GetParam().camera;
  const TestFrame f = FrameOf(c);
  const FMATRIX v = mqhost::ViewMatrix(c);
  const float tol = 1e-5f * (f.eye.Length() + f.distance + 1.0f);
  EXPECT_VEC3_NEAR(v.TransformPoint(f.eye), FVECTOR3(0, 0, 0), tol);
  EXPECT_VEC3_NEAR(v.TransformPoint(c.look_at), FVECTOR3(0, 0, f.distance), tol);
  EXPECT_VEC3_NEAR(v.TransformPoint(f.eye + f.up * 10.0f), FVECTOR3(0, 10, 0), tol);
  EXPECT_VEC3_NEAR(v.TransformPoint(f.eye + f.right * 10.0f), FVECTOR3(10, 0, 0), tol);
  // Row 3, column 2: the world origin's distance along the viewing direction.
  EXPECT_NEAR(v(3, 2), Dot(FVECTOR3(0, 0, 0) - f.eye, f.forward), tol);
  EXPECT_EQ(v(0, 3), 0.0f);
  EXPECT_EQ(v(3, 3), 1.0f);
}

TEST_P(CameraTest, ViewAxisMapsToTheViewportCentreFromNearToFar) {
  const Camera& c = GetParam().camera;
  const TestFrame f = FrameOf(c);
  const FVECTOR3 centre(c.width / 2.0f, c.height / 2.0f, 0.0f);
  float previous_depth = -1.0f;
  for (float d : {c.near_plane, 3 * c.near_plane, f.distance, c.far_plane / 2, c.far_plane}) {
    SCOPED_TRACE(d);
    const FVECTOR3 p = f.eye + f.forward * d;
    const FVECTOR3 s = WorldToScreen(c, p);
    const float tol = RoundingTolerance(c, f, p).pixels;
    EXPECT_NEAR(s.x, centre.x, tol);
    EXPECT_NEAR(s.y, centre.y, tol);
    EXPECT_GT(s.z, previous_depth);
    previous_depth = s.z;
  }
}

TEST_P(CameraTest, DepthIsZeroOnTheNearPlaneAndOneOnTheFar) {
  const Camera& c = GetParam().camera;
  const TestFrame f = FrameOf(c);
  const struct {
    float distance, expected;
  } planes[] = {{c.near_plane, 0.0f}, {c.far_plane, 1.0f}};
  for (const auto& plane : planes) {
    for (const auto& offset : {FVECTOR2(0, 0), FVECTOR2(0.5f, -0.8f), FVECTOR2(-0.9f, 0.3f)}) {
      const float d = plane.distance;
      const FVECTOR3 p = f.eye + f.forward * d + f.right * (offset.x * HalfWidth(c, d)) +
                         f.up * (offset.y * HalfHeight(c, d));
      SCOPED_TRACE(quorvel::test::Show(p));
      EXPECT_NEAR(WorldToScreen(c, p).z, plane.expected, RoundingTolerance(c, f, p).depth);
    }
  }
}

TEST_P(CameraTest, FrustumEdgesMapToTheViewportEdgesWithYDown) {
  const Camera& c = GetParam().camera;
  const TestFrame f = FrameOf(c);
  const float d = f.distance;
  const FVECTOR3 axis = f.eye + f.forward * d;
  const float w = float(c.width), h = float(c.height);
  const struct {
    const char* edge;
    FVECTOR3 point;
    FVECTOR2 expected;
  } edges[] = {
      {"top", axis + f.up * HalfHeight(c, d), {w / 2, 0}},
      {"bottom", axis - f.up * HalfHeight(c, d), {w / 2, h}},
      {"right", axis + f.right * HalfWidth(c, d), {w, h / 2}},
      {"left", axis - f.right * HalfWidth(c, d), {0, h / 2}},
  };
  for (const auto& e : edges) {
    SCOPED_TRACE(e.edge);
    const FVECTOR3 s = WorldToScreen(c, e.point);
    EXPECT_VEC2_NEAR(FVECTOR2(s.x, s.y), e.expected, RoundingTolerance(c, f, e.point).pixels);
  }
}

TEST_P(CameraTest, ExportedMatricesGiveTheSameScreenPoints) {
  // The plug-in combines View and Proj itself, so they must agree with the
  // host's own conversion.
  const Camera& c = GetParam().camera;
  const TestFrame f = FrameOf(c);
  const FMATRIX vp = mqhost::ViewMatrix(c) * mqhost::ProjectionMatrix(c);
  for (const auto& offset : {FVECTOR3(0, 0, 1), FVECTOR3(0.7f, 0.2f, 0.5f), FVECTOR3(-0.4f, -0.9f, 2)}) {
    const float d = f.distance * offset.z;
    const FVECTOR3 p = f.eye + f.forward * d + f.right * (offset.x * HalfWidth(c, d)) +
                       f.up * (offset.y * HalfHeight(c, d));
    SCOPED_TRACE(quorvel::test::Show(p));
    const FVECTOR4 clip = vp.Transform(FVECTOR4(p, 1.0f));
    const FVECTOR3 ndc = clip.Xyz() / clip.w;
    const FVECTOR3 expected((ndc.x + 1) / 2 * c.width, (1 - ndc.y) / 2 * c.height, ndc.z);
    const FVECTOR3 s = WorldToScreen(c, p);
    // The float product rounds at every step, a few times the point's own rounding.
    const ScreenTolerance tol = RoundingTolerance(c, f, p);
    EXPECT_VEC2_NEAR(FVECTOR2(s.x, s.y), FVECTOR2(expected.x, expected.y), 4 * tol.pixels);
    EXPECT_NEAR(s.z, expected.z, 4 * tol.depth);
  }
}

TEST_P(CameraTest, ScreenToWorldToScreenRoundTrips) {
  const Camera& c = GetParam().camera;
  const TestFrame f = FrameOf(c);
  const float w = float(c.width), h = float(c.height);
  for (float z : {0.0f, 0.25f, 0.5f, 0.9f, 0.999f, 1.0f}) {
    for (float x : {0.0f, w / 4, w / 2, w * 0.8f, w}) {
      for (float y : {0.0f, h / 3, h / 2, h}) {
        const FVECTOR3 s(x, y, z);
        SCOPED_TRACE(quorvel::test::Show(s));
        const FVECTOR3 world = ScreenToWorld(c, s);
        const FVECTOR3 back = WorldToScreen(c, world);
        const ScreenTolerance tol = RoundingTolerance(c, f, world);
        EXPECT_VEC2_NEAR(FVECTOR2(back.x, back.y), FVECTOR2(s.x, s.y), tol.pixels);
        EXPECT_NEAR(back.z, s.z, tol.depth);
      }
    }
  }
}

TEST_P(CameraTest, WorldToScreenToWorldRoundTrips) {
  const Camera& c = GetParam().camera;
  const TestFrame f = FrameOf(c);
  for (float d : {1.5f * c.near_plane, 20.0f, f.distance, 0.3f * c.far_plane, 0.95f * c.far_plane}) {
    for (const auto& offset : {FVECTOR2(0, 0), FVECTOR2(-0.9f, 0.7f), FVECTOR2(0.5f, -1.0f), FVECTOR2(1, 1)}) {
      const FVECTOR3 p = f.eye + f.forward * d + f.right * (offset.x * HalfWidth(c, d)) +
                         f.up * (offset.y * HalfHeight(c, d));
      SCOPED_TRACE(quorvel::test::Show(p));
      const FVECTOR3 error = ScreenToWorld(c, WorldToScreen(c, p)) - p;
      // The depth is a float, so the error runs along the line of sight and is
      // bounded by the depth's resolution; across it, float rounding only.
      const FVECTOR3 sight = c.orthographic ? f.forward : (p - f.eye).Normalized();
      const float along = Dot(error, sight);
      const float across = (error - sight * along).Length();
      const float rounding = 4e-6f * (p.Length() + f.eye.Length() + 1.0f);
      EXPECT_LE(across, rounding);
      EXPECT_LE(std::fabs(along), DepthTolerance(c, d) + rounding);
    }
  }
}

// The modeller's buffers: world to screen reads [0..2] and writes the screen
// point to [3..5] and clip w to [6]; screen to world reads [0..2] of six and
// writes [3..5]. The inputs stay as they were.
TEST_P(CameraTest, SceneFloatValueWritesOnlyTheOutputElements) {
  const Camera& c = GetParam().camera;
  const FVECTOR3 world = c.look_at + FVECTOR3(3, -4, 5);
  constexpr float kGuard = -777.0f;
  float to_screen[8] = {world.x, world.y, world.z, kGuard, kGuard, kGuard, kGuard, kGuard};
  mqhost::SceneFloatValue(c, mqhost::kSceneWorldToScreen, to_screen);
  EXPECT_VEC3_NEAR(FVECTOR3(to_screen[0], to_screen[1], to_screen[2]), world, 0.0f)
      << "the world point is input only";
  const FVECTOR3 screen = WorldToScreen(c, world);
  EXPECT_VEC3_NEAR(FVECTOR3(to_screen[3], to_screen[4], to_screen[5]), screen, 0.0f);
  const TestFrame f = FrameOf(c);
  const float w = c.orthographic ? 1.0f : Dot(world - f.eye, f.forward);
  EXPECT_NEAR(to_screen[6], w, 1e-4f * (1.0f + std::fabs(w))) << "clip w";
  EXPECT_EQ(to_screen[7], kGuard) << "seven floats, no more";

  float to_world[7] = {screen.x, screen.y, screen.z, kGuard, kGuard, kGuard, kGuard};
  mqhost::SceneFloatValue(c, mqhost::kSceneScreenToWorld, to_world);
  EXPECT_VEC3_NEAR(FVECTOR3(to_world[0], to_world[1], to_world[2]), screen, 0.0f)
      << "the screen point is input only";
  EXPECT_VEC3_NEAR(FVECTOR3(to_world[3], to_world[4], to_world[5]), ScreenToWorld(c, screen), 0.0f);
  EXPECT_EQ(to_world[6], kGuard) << "six floats, no more";

  for (int code : {0, 0x2FF, 0x302, 0x101, -1}) {
    SCOPED_TRACE(code);
    float untouched[7] = {1.5f, -2.5f, 0.5f, kGuard, kGuard, kGuard, kGuard};
    mqhost::SceneFloatValue(c, code, untouched);
    for (int i = 3; i < 7; ++i) EXPECT_EQ(untouched[i], kGuard) << i;
    EXPECT_VEC3_NEAR(FVECTOR3(untouched[0], untouched[1], untouched[2]), FVECTOR3(1.5f, -2.5f, 0.5f), 0.0f);
  }
}

// The plug-in culls its own triangles with this rule: the doubled signed area
// of the screen points, y down, positive for the front.
float DoubledScreenArea(const Camera& c, const FVECTOR3 (&t)[3]) {
  const FVECTOR3 a = WorldToScreen(c, t[0]), b = WorldToScreen(c, t[1]), d = WorldToScreen(c, t[2]);
  return a.x * b.y + b.x * d.y + d.x * a.y - a.x * d.y - b.x * a.y - b.y * d.x;
}

TEST_P(CameraTest, FacesCameraAgreesWithTheScreenAreaRule) {
  const Camera& c = GetParam().camera;
  const TestFrame f = FrameOf(c);
  const float s = HalfHeight(c, f.distance) / 3;
  // Triangles around look_at in planes turned various ways toward the camera.
  const FVECTOR3 tilts[] = {f.forward * 0.0f, f.forward * 0.8f, f.forward * -0.8f + f.right * 0.3f,
                            f.forward * 3.0f};
  for (const FVECTOR3& tilt : tilts) {
    const FVECTOR3 o = c.look_at;
    const FVECTOR3 tri[3] = {o - f.right * s, o + (f.up + tilt) * s, o + (f.right + tilt * 0.5f) * s};
    const FVECTOR3 rev[3] = {tri[2], tri[1], tri[0]};
    SCOPED_TRACE(quorvel::test::Show(tilt));
    const float area = DoubledScreenArea(c, tri);
    ASSERT_GT(std::fabs(area), 1.0f) << "test triangle seen edge-on";
    EXPECT_EQ(FacesCamera(c, tri, 3), area > 0.0f);
    EXPECT_EQ(FacesCamera(c, rev, 3), DoubledScreenArea(c, rev) > 0.0f);
    EXPECT_NE(FacesCamera(c, tri, 3), FacesCamera(c, rev, 3));
  }
}

INSTANTIATE_TEST_SUITE_P(Cameras, CameraTest, ::testing::ValuesIn(kCameras), CameraName);

TEST_P(CameraTest, AChangedFieldConvertsAsAFreshCameraDoes) {
  // Conversions are kept with the camera: every field must count.
  const struct {
    const char* field;
    void (*change)(Camera&);
  } changes[] = {
      {"position", [](Camera& c) { c.position.x += 37; }},
      {"look_at", [](Camera& c) { c.look_at.y -= 21; }},
      {"up", [](Camera& c) { c.up = FVECTOR3(0.3f, 1, 0.2f); }},
      {"orthographic", [](Camera& c) { c.orthographic = !c.orthographic; }},
      {"fov_degrees", [](Camera& c) { c.fov_degrees *= 0.5f; }},
      {"ortho_height", [](Camera& c) { c.ortho_height *= 2; }},
      {"near_plane", [](Camera& c) { c.near_plane *= 3; }},
      {"far_plane", [](Camera& c) { c.far_plane *= 0.5f; }},
      {"width", [](Camera& c) { c.width += 100; }},
      {"height", [](Camera& c) { c.height -= 50; }},
  };
  const FVECTOR3 world(15, -25, 40), screen(100, 80, 0.5f);
  for (const auto& change : changes) {
    SCOPED_TRACE(change.field);
    Camera camera = GetParam().camera;
    WorldToScreen(camera, world);  // keeps the conversions
    change.change(camera);
    const Camera fresh = camera;  // a copy works its own out
    EXPECT_VEC3_NEAR(WorldToScreen(camera, world), WorldToScreen(fresh, world), 0.0f);
    EXPECT_VEC3_NEAR(ScreenToWorld(camera, screen), ScreenToWorld(fresh, screen), 0.0f);
  }
}

// --- known values for the default front view ------------------------------

TEST(DefaultCamera, ShowsPlusXRightAndPlusYUp) {
  const Camera c;
  const FVECTOR3 centre = WorldToScreen(c, {0, 0, 0});
  EXPECT_GT(WorldToScreen(c, {50, 0, 0}).x, centre.x);
  EXPECT_LT(WorldToScreen(c, {0, 50, 0}).y, centre.y);  // above the axis: smaller y
  EXPECT_LT(WorldToScreen(c, {0, 0, 50}).z, centre.z);  // +Z is toward the camera
}

struct FaceCase {
  const char* name;
  bool orthographic;
  std::vector<FVECTOR3> points;
  bool expected;
};

class FacesCameraTest : public ::testing::TestWithParam<FaceCase> {};

TEST_P(FacesCameraTest, FrontIsClockwiseOnTheMonitor) {
  const FaceCase& f = GetParam();
  Camera c;
  c.orthographic = f.orthographic;
  EXPECT_EQ(FacesCamera(c, f.points.data(), static_cast<int>(f.points.size())), f.expected);
}

// The default camera looks from +Z at the origin with +X right and +Y up, so
// origin → up → right turns clockwise on the monitor.
INSTANTIATE_TEST_SUITE_P(
    Polygons, FacesCameraTest,
    ::testing::Values(
        FaceCase{"Front", false, {{0, 0, 0}, {0, 100, 0}, {100, 0, 0}}, true},
        FaceCase{"Back", false, {{0, 0, 0}, {100, 0, 0}, {0, 100, 0}}, false},
        FaceCase{"FrontOrtho", true, {{0, 0, 0}, {0, 100, 0}, {100, 0, 0}}, true},
        FaceCase{"BackOrtho", true, {{0, 0, 0}, {100, 0, 0}, {0, 100, 0}}, false},
        FaceCase{"FrontQuad", false, {{-10, -10, 0}, {-10, 10, 0}, {10, 10, 0}, {10, -10, 0}}, true},
        FaceCase{"BackQuadTilted", false, {{-10, -10, 0}, {10, -10, 20}, {10, 10, 20}, {-10, 10, 0}}, false},
        // A floor triangle with a corner behind the eye: projecting that corner
        // would flip the screen area, the world-space test does not.
        FaceCase{"FloorReachingBehindEye", false, {{-100, -50, -100}, {100, -50, -100}, {0, -50, 1000}}, true},
        FaceCase{"FloorReachingBehindEyeBack", false, {{-100, -50, -100}, {0, -50, 1000}, {100, -50, -100}},
                 false},
        // Degenerate polygons never face the camera.
        FaceCase{"Collinear", false, {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}}, false},
        // Collinear up to float rounding only: the noise must not pick a side.
        FaceCase{"CollinearWithRounding", false, {{1.1f, 2.3f, -0.7f}, {3.3f, 6.9f, -2.1f}, {2.2f, 4.6f, -1.4f}},
                 false},
        FaceCase{"CollinearWithRoundingReversed", false,
                 {{2.2f, 4.6f, -1.4f}, {3.3f, 6.9f, -2.1f}, {1.1f, 2.3f, -0.7f}}, false},
        FaceCase{"RepeatedPoint", false, {{5, 5, 5}, {5, 5, 5}, {0, 10, 0}}, false},
        FaceCase{"TwoPoints", false, {{0, 0, 0}, {0, 100, 0}}, false},
        FaceCase{"Empty", false, {}, false},
        // The plane x = 0 holds the eye: seen exactly edge-on.
        FaceCase{"EdgeOn", false, {{0, 0, 0}, {0, 100, 0}, {0, 0, 100}}, false},
        FaceCase{"EdgeOnOrtho", true, {{0, 0, 0}, {0, 100, 0}, {0, 0, 100}}, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FacesCamera, NullPointsDoNotFace) { EXPECT_FALSE(FacesCamera(Camera{}, nullptr, 3)); }

// --- degenerate camera settings ------------------------------------------

struct DegenerateCase {
  const char* name;
  Camera camera;
  FVECTOR3 view_direction;  // where the camera must still look
};

class DegenerateCameraTest : public ::testing::TestWithParam<DegenerateCase> {};

TEST_P(DegenerateCameraTest, FallsBackToAProperFrameAndFiniteConversions) {
  const DegenerateCase& d = GetParam();
  const Camera& c = d.camera;
  const FMATRIX v = mqhost::ViewMatrix(c), p = mqhost::ProjectionMatrix(c);
  for (int i = 0; i < 16; ++i) {
    EXPECT_TRUE(std::isfinite(v.m[i])) << "view element " << i;
    EXPECT_TRUE(std::isfinite(p.m[i])) << "projection element " << i;
  }
  // Rows 0-2 of the view stay orthonormal, whatever up was given.
  for (int r = 0; r < 3; ++r) {
    for (int k = 0; k < 3; ++k) {
      const float dot = v(r, 0) * v(k, 0) + v(r, 1) * v(k, 1) + v(r, 2) * v(k, 2);
      EXPECT_NEAR(dot, r == k ? 1.0f : 0.0f, 1e-6f) << "rows " << r << ", " << k;
    }
  }
  EXPECT_VEC3_NEAR(v.GetColumn(2), d.view_direction, 1e-6f);
  EXPECT_EQ(p.m[11] == 0.0f, c.orthographic);
  for (const FVECTOR3& s : {FVECTOR3(0, 0, 0.5f), FVECTOR3(10, 20, 0.1f), FVECTOR3(300, 100, 0.9f)}) {
    SCOPED_TRACE(quorvel::test::Show(s));
    const FVECTOR3 world = ScreenToWorld(c, s);
    const FVECTOR3 back = WorldToScreen(c, world);
    EXPECT_TRUE(std::isfinite(world.x) && std::isfinite(world.y) && std::isfinite(world.z));
    EXPECT_TRUE(std::isfinite(back.x) && std::isfinite(back.y) && std::isfinite(back.z));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Settings, DegenerateCameraTest,
    ::testing::Values(
        DegenerateCase{"UpAlongTheView", Perspective({0, 400, 0}, {0, 0, 0}, {0, 1, 0}, 45, 640, 480, 1, 10000),
                       {0, -1, 0}},
        DegenerateCase{"ZeroUp", Perspective({0, 0, 500}, {0, 0, 0}, {0, 0, 0}, 45, 640, 480, 1, 10000),
                       {0, 0, -1}},
        // Looking at its own position, a camera looks toward -Z.
        DegenerateCase{"EyeOnTarget", Perspective({1, 2, 3}, {1, 2, 3}, {0, 1, 0}, 45, 640, 480, 1, 10000),
                       {0, 0, -1}},
        DegenerateCase{"BadLens", Perspective({0, 0, 500}, {0, 0, 0}, {0, 1, 0}, 0, 0, -5, 0, -1), {0, 0, -1}},
        DegenerateCase{"BadOrtho", Ortho(Perspective({0, 0, 500}, {0, 0, 0}, {0, 1, 0}, 45, 640, 480, 5, 5), 0),
                       {0, 0, -1}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
