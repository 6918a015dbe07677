#pragma once
// Cameras for the tests that run one check through several views: built from
// their values, and named in the test names.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "host/geometry/camera.h"

namespace camera_cases {

struct CameraCase {
  const char* name;
  mqhost::Camera camera;
};

inline void PrintTo(const CameraCase& c, std::ostream* os) { *os << c.name; }

inline std::string CameraName(const ::testing::TestParamInfo<CameraCase>& info) { return info.param.name; }

inline mqhost::Camera Perspective(FVECTOR3 position, FVECTOR3 look_at, FVECTOR3 up, float fov, int width,
                                  int height, float near_plane = 1.0f, float far_plane = 10000.0f) {
  mqhost::Camera c;
  c.position = position;
  c.look_at = look_at;
  c.up = up;
  c.fov_degrees = fov;
  c.width = width;
  c.height = height;
  c.near_plane = near_plane;
  c.far_plane = far_plane;
  return c;
}

inline mqhost::Camera Ortho(mqhost::Camera c, float ortho_height) {
  c.orthographic = true;
  c.ortho_height = ortho_height;
  return c;
}

}  // namespace camera_cases
