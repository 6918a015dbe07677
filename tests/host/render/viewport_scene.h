#pragma once
// Building blocks of the tests of what the view shows: faces turned toward a
// camera, and the pixel where a world point lands according to the host's own
// world-to-screen conversion.
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "host/core/document.h"
#include "host/geometry/camera.h"

namespace viewport_test {

// The camera's axes in world space: right and up on the monitor, and the
// viewing direction.
struct Axes {
  FVECTOR3 right, up, forward;
};

inline Axes AxesOf(const mqhost::Camera& camera) {
  const FMATRIX v = mqhost::ViewMatrix(camera);
  return {{v(0, 0), v(1, 0), v(2, 0)}, {v(0, 1), v(1, 1), v(2, 1)}, {v(0, 2), v(1, 2), v(2, 2)}};
}

// A square of side 2 × half around `centre`, clockwise on the monitor (its
// front toward the camera), turned by `tilt_degrees` about the camera's up
// axis, so that its normal makes that angle with the viewing direction.
// `reversed` gives the same square counter-clockwise: its back.
inline std::vector<FVECTOR3> FacingSquare(const mqhost::Camera& camera, const FVECTOR3& centre, float half,
                                          float tilt_degrees = 0.0f, bool reversed = false) {
  const Axes a = AxesOf(camera);
  const float t = tilt_degrees * 3.14159265358979f / 180.0f;
  const FVECTOR3 across = (a.right * std::cos(t) + a.forward * std::sin(t)) * half;
  const FVECTOR3 up = a.up * half;
  std::vector<FVECTOR3> corners = {centre - across + up, centre + across + up, centre + across - up,
                                   centre - across - up};
  if (reversed) std::swap(corners[1], corners[3]);
  return corners;
}

// The polygon in the order that makes it face the camera (FacesCamera).
inline std::vector<FVECTOR3> FrontOf(const mqhost::Camera& camera, std::vector<FVECTOR3> points) {
  if (!mqhost::FacesCamera(camera, points.data(), static_cast<int>(points.size()))) {
    std::reverse(points.begin(), points.end());
  }
  return points;
}

struct Pixel {
  int x, y;
};

// The pixel that holds the screen position of `world`.
inline Pixel PixelOf(const mqhost::Camera& camera, const FVECTOR3& world) {
  const FVECTOR3 s = mqhost::WorldToScreen(camera, world);
  return {static_cast<int>(std::floor(s.x)), static_cast<int>(std::floor(s.y))};
}

// Adds the points as vertices and one face of all of them; the face index.
inline int AddFace(mqhost::Object* object, const std::vector<FVECTOR3>& points, int material = -1) {
  std::vector<int> indices;
  for (const FVECTOR3& p : points) indices.push_back(object->AddVertex(MQPoint{p.x, p.y, p.z}));
  const int face = object->AddFace(indices);
  object->faces[static_cast<size_t>(face)].material = material;
  return face;
}

}  // namespace viewport_test
