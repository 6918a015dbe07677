#pragma once
// The scene's camera and the conversions between world space and the host's
// screen space that the plug-in asks for.
//
// Camera space is Direct3D's: x right, y up, the camera looking along +z, and
// matrices for row vectors (p_view = p·View, translation in row 3). The world
// is right-handed (math/fmath.h), so the view matrix contains a reflection
// (its 3x3 determinant is -1): the picture is the world as seen, not mirrored.
// View(3, 2) is the distance from the camera to the world origin along the
// viewing direction.
//
// Screen space: x and y in viewport pixels, x right and y DOWN from the top
// left corner, z the depth: 0 on the near plane, 1 on the far plane.
#include "math/fmath.h"

namespace mqhost {

// Defaults: a front view, 500 units from the origin on +Z looking at it, so
// +X is to the right and +Y up; 45° vertical field of view (the orthographic
// height of 400 roughly matches what it shows at the origin); near 1, far
// 10000; the 640 × 480 viewport the plug-in assumes before its first draw.
struct CameraSettings {
  FVECTOR3 position{0.0f, 0.0f, 500.0f};
  FVECTOR3 look_at{0.0f, 0.0f, 0.0f};
  FVECTOR3 up{0.0f, 1.0f, 0.0f};
  bool orthographic = false;
  float fov_degrees = 45.0f;    // vertical, perspective only
  float ortho_height = 400.0f;  // world units visible vertically, orthographic only
  float near_plane = 1.0f;
  float far_plane = 10000.0f;
  int width = 640;
  int height = 480;
};

inline bool operator==(const CameraSettings& a, const CameraSettings& b) {
  return a.position == b.position && a.look_at == b.look_at && a.up == b.up &&
         a.orthographic == b.orthographic && a.fov_degrees == b.fov_degrees &&
         a.ortho_height == b.ortho_height && a.near_plane == b.near_plane && a.far_plane == b.far_plane &&
         a.width == b.width && a.height == b.height;
}
inline bool operator!=(const CameraSettings& a, const CameraSettings& b) { return !(a == b); }

struct Camera;

// What the conversions work out from a camera (the matrices in double, the
// screen size), kept with the camera until one of its settings changes: a
// pick or a brush stroke asks for many conversions in one view. A copied
// camera works its own out again.
class CameraConversions {
 public:
  CameraConversions() = default;
  CameraConversions(const CameraConversions&) {}
  CameraConversions& operator=(const CameraConversions&) {
    valid_ = false;
    return *this;
  }

  double view_projection[4][4] = {};
  double inverse[4][4] = {};  // of view_projection
  double width = 1.0, height = 1.0;

 private:
  friend const CameraConversions& ConversionsOf(const Camera& camera);
  bool valid_ = false;
  CameraSettings of_;  // what they were worked out from
};

// The scene's camera: its settings (which alone make its value) and the
// conversions kept with them.
struct Camera : CameraSettings {
  mutable CameraConversions conversions;
};

// The camera's conversions, worked out again when a setting has changed.
const CameraConversions& ConversionsOf(const Camera& camera);

// A camera with look_at on position looks toward -Z; an up parallel to the
// viewing direction is replaced by another axis. Out-of-range lens values
// (non-positive sizes or near plane, far not beyond near, a field of view
// outside (0, 180)) are clamped so that no conversion divides by zero.

// World → camera space.
FMATRIX ViewMatrix(const Camera& camera);

// Camera space → clip space, Direct3D style. Perspective: P(2,3) = 1 and
// P(3,3) = 0. Orthographic: P(2,3) = 0 and P(3,3) = 1. The plug-in tells them
// apart by element 11, P(2,3), being exactly 0.
FMATRIX ProjectionMatrix(const Camera& camera);

// clip = (p, 1)·View·Proj, ndc = clip / w, x = (ndc.x + 1) / 2 · width,
// y = (1 − ndc.y) / 2 · height, z = ndc.z. Computed in double. A perspective
// point on the camera plane (w = 0) is taken as just in front of it, so the
// result stays finite. `w`, when given, receives clip w: the distance in
// front of the camera for a perspective camera, 1 for an orthographic one.
FVECTOR3 WorldToScreen(const Camera& camera, FVECTOR3 p, float* w = nullptr);

// The exact inverse of WorldToScreen; s.z is the depth.
FVECTOR3 ScreenToWorld(const Camera& camera, FVECTOR3 s);

// Whether a planar polygon faces the camera. Front is the sign the plug-in
// uses for its own back-face test: the doubled signed area of the projected
// points in raw screen pixels (y down), x1·y2 + x2·y3 + ... − y1·x2 − ...,
// is positive. On the monitor that is CLOCKWISE, the modeller's face order;
// in world terms the right-hand-rule normal points away from the camera. The
// test is made in world space so that points behind a perspective camera do
// not flip it. Fewer than three points, a null pointer, and a polygon whose
// area, or whose tilt toward the camera (edge-on), is within the rounding of
// its float coordinates do not face the camera.
bool FacesCamera(const Camera& camera, const FVECTOR3* points, int count);

// The part of the world the viewport shows: the camera's view volume, in
// which clip space points satisfy -w <= x <= w, -w <= y <= w and 0 <= z <= w
// (between the near and far planes, inside the viewport's four edges).
class ViewVolume {
 public:
  explicit ViewVolume(const Camera& camera);

  // Whether some part of the polygon lies inside the volume: the polygon
  // clipped to the six planes keeps at least three points. Exact for a
  // planar polygon, whatever its size: a face that covers the whole view
  // with every corner outside it still overlaps. Points behind a
  // perspective camera are clipped away by the near plane before the edges
  // are considered, so they never mirror back into view. Fewer than three
  // points, or a null pointer, never overlap.
  bool Overlaps(const FVECTOR3* points, int count) const;
  // Whether every corner of the box [lo, hi] lies inside the volume, and with
  // them everything within the box.
  bool ContainsBox(const FVECTOR3& lo, const FVECTOR3& hi) const;
  // FacesCamera with the camera's frame worked out once.
  bool FacesCamera(const FVECTOR3* points, int count) const;

 private:
  double clip_[4][4];  // world to clip space: View · Projection, in double
  bool orthographic_ = false;
  double eye_[3] = {};
  double forward_[3] = {};
};

// Codes of MQScene_FloatValue.
enum SceneValueCode : int {
  kSceneWorldToScreen = 0x300,  // 7 floats: [0..2] world point in; [3..5] screen point, [6] w out
  kSceneScreenToWorld = 0x301,  // 6 floats: [0..2] screen point in; [3..5] world point out
};

// MQScene_FloatValue: reads the input elements and writes only the output
// elements, as the modeller does. An unknown code or a null pointer does
// nothing.
void SceneFloatValue(const Camera& camera, int code, float* values);

}  // namespace mqhost
