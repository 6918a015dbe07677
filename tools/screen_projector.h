#pragma once
// The host's world-to-screen conversion of many points at once. Asking the
// host point by point costs a call each; the scene's view and projection
// matrices give the same answer far cheaper, but only when the host's
// conversion is the usual one over those matrices (screen x from -1..1 to
// 0..width, y flipped, depth as the projection gives it). So the projector
// first checks itself against the host on sample points and is used only
// when every sample agrees; points it cannot place well (on or behind the
// camera plane) are left to the host.
#include <cmath>
#include <vector>

#include "math/fmath.h"
#include "sdk/mq_types.h"

class SCREEN_PROJECTOR {
 public:
  // How close to the host's answer every sample must come, in pixels.
  static constexpr double kTolerance = 1e-3;

  // Reads the scene's matrices and checks them against the host's
  // conversion of the samples (at least one). False (and not usable) when a
  // sample disagrees, the view size cannot be told, or there is no scene.
  bool Calibrate(MQScene scene, const std::vector<FVECTOR3>& samples);
  bool usable() const { return usable_; }
  // Whether both project every point alike (same matrices and view size).
  bool SameAs(const SCREEN_PROJECTOR& other) const {
    if (usable_ != other.usable_ || half_width_ != other.half_width_ || half_height_ != other.half_height_) {
      return false;
    }
    for (int i = 0; i < 4; ++i)
      for (int j = 0; j < 4; ++j)
        if (m_[i][j] != other.m_[i][j]) return false;
    return true;
  }

  // Screen x and y of a point; false when the point lies too near the
  // camera plane to trust (ask the host then).
  // (Inline: picks and brushes project every point they consider.)
  bool Project(const FVECTOR3& p, double& x, double& y) const {
    double nx = 0.0, ny = 0.0;
    if (!usable_ || !Ndc(p, nx, ny)) return false;
    x = (nx + 1.0) * half_width_;
    y = (1.0 - ny) * half_height_;
    return true;
  }

 private:
  // Below this |w| a point is too near the camera plane for the division.
  static constexpr double kMinW = 1e-6;

  bool Ndc(const FVECTOR3& p, double& nx, double& ny) const {
    // Depth is not needed: x, y and w only.
    const double cx = p.x * m_[0][0] + p.y * m_[1][0] + p.z * m_[2][0] + m_[3][0];
    const double cy = p.x * m_[0][1] + p.y * m_[1][1] + p.z * m_[2][1] + m_[3][1];
    const double cw = p.x * m_[0][3] + p.y * m_[1][3] + p.z * m_[2][3] + m_[3][3];
    if (!(std::fabs(cw) > kMinW)) return false;
    const double inverse_w = 1.0 / cw;
    nx = cx * inverse_w;
    ny = cy * inverse_w;
    return std::isfinite(nx) && std::isfinite(ny);
  }

  double m_[4][4] = {};  // view · projection, in double
  double half_width_ = 0.0;
  double half_height_ = 0.0;
  bool usable_ = false;
};
