#include "host/gui/view_navigation.h"

#include <algorithm>
#include <cmath>

namespace mqhost {

namespace {

constexpr float kDegrees = 3.14159265f / 180.0f;
constexpr float kMinDistance = 1e-2f;
constexpr float kMinOrthoHeight = 1e-2f;

FVECTOR3 Forward(const Camera& camera) {
  FVECTOR3 f = camera.look_at - camera.position;
  return f.LengthSq() > 0.0f ? f.Normalized() : FVECTOR3{0.0f, 0.0f, -1.0f};
}

// The camera's right and up axes in world space (up is the screen's up).
void ScreenAxes(const Camera& camera, FVECTOR3* right, FVECTOR3* up) {
  const FVECTOR3 forward = Forward(camera);
  FVECTOR3 r = Cross(forward, camera.up);
  if (r.LengthSq() < 1e-12f) r = Cross(forward, FVECTOR3{0.0f, 0.0f, 1.0f});
  *right = r.Normalized();
  *up = Cross(*right, forward).Normalized();
}

// World units per pixel in the target's plane.
float UnitsPerPixel(const Camera& camera) {
  const float height = static_cast<float>(std::max(camera.height, 1));
  if (camera.orthographic) return camera.ortho_height / height;
  const float distance = (camera.look_at - camera.position).Length();
  return 2.0f * distance * std::tan(camera.fov_degrees * 0.5f * kDegrees) / height;
}

}  // namespace

void OrbitView(Camera& camera, int dx, int dy) {
  const FVECTOR3 offset = camera.position - camera.look_at;
  const float distance = offset.Length();
  if (distance <= 0.0f) return;
  // Spherical angles of the camera about the target, Y up.
  float azimuth = std::atan2(offset.x, offset.z);
  float elevation = std::asin(std::clamp(offset.y / distance, -1.0f, 1.0f));
  azimuth -= static_cast<float>(dx) * kOrbitDegreesPerPixel * kDegrees;
  elevation += static_cast<float>(dy) * kOrbitDegreesPerPixel * kDegrees;
  const float limit = kMaxElevationDegrees * kDegrees;
  elevation = std::clamp(elevation, -limit, limit);
  camera.position = camera.look_at + FVECTOR3{distance * std::cos(elevation) * std::sin(azimuth),
                                              distance * std::sin(elevation),
                                              distance * std::cos(elevation) * std::cos(azimuth)};
  camera.up = FVECTOR3{0.0f, 1.0f, 0.0f};
}

void PanView(Camera& camera, int dx, int dy) {
  FVECTOR3 right, up;
  ScreenAxes(camera, &right, &up);
  const float unit = UnitsPerPixel(camera);
  // The scene follows the mouse, so the camera moves the other way.
  const FVECTOR3 shift = right * (-static_cast<float>(dx) * unit) + up * (static_cast<float>(dy) * unit);
  camera.position = camera.position + shift;
  camera.look_at = camera.look_at + shift;
}

void ZoomView(Camera& camera, int wheel) {
  const float factor = std::pow(kZoomPerNotch, static_cast<float>(wheel) / 120.0f);
  if (camera.orthographic) {
    camera.ortho_height = std::max(camera.ortho_height * factor, kMinOrthoHeight);
    return;
  }
  const FVECTOR3 offset = camera.position - camera.look_at;
  const float distance = offset.Length();
  if (distance <= 0.0f) return;
  const float wanted = std::max(distance * factor, kMinDistance);
  camera.position = camera.look_at + offset * (wanted / distance);
}

void ToggleProjection(Camera& camera) {
  const float tangent = std::tan(camera.fov_degrees * 0.5f * kDegrees);
  const FVECTOR3 offset = camera.position - camera.look_at;
  const float distance = offset.Length();
  if (!camera.orthographic) {
    camera.ortho_height = std::max(2.0f * distance * tangent, kMinOrthoHeight);
    camera.orthographic = true;
    return;
  }
  const float wanted = std::max(camera.ortho_height / (2.0f * tangent), kMinDistance);
  const FVECTOR3 back = distance > 0.0f ? offset * (1.0f / distance) : FVECTOR3{0.0f, 0.0f, 1.0f};
  camera.position = camera.look_at + back * wanted;
  camera.orthographic = false;
}

void FrameBox(Camera& camera, const FVECTOR3& lo, const FVECTOR3& hi) {
  if (lo.x > hi.x || lo.y > hi.y || lo.z > hi.z) return;
  const FVECTOR3 centre = (lo + hi) * 0.5f;
  // A box of no size still gets a view of some size around it.
  const float radius = std::max((hi - lo).Length() * 0.5f, 1.0f);
  const float aspect = static_cast<float>(std::max(camera.width, 1)) / static_cast<float>(std::max(camera.height, 1));
  // A little room around the sphere.
  const float margin = 1.1f;
  const FVECTOR3 back = Forward(camera) * -1.0f;
  const float half_v = camera.fov_degrees * 0.5f * kDegrees;
  const float half_h = std::atan(std::tan(half_v) * aspect);
  const float distance = radius * margin / std::sin(std::min(half_v, half_h));
  camera.look_at = centre;
  camera.position = centre + back * distance;
  camera.ortho_height = 2.0f * radius * margin * std::max(1.0f, 1.0f / aspect);
  // The far plane must reach past the sphere.
  camera.far_plane = std::max(camera.far_plane, distance + 2.0f * radius * margin);
}

}  // namespace mqhost
