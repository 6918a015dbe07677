#pragma once
// The host's world-to-screen conversion of many points at once. Asking the
// host point by point costs a call each; the scene's view and projection
// matrices give the same answer far cheaper, but only when the host's
// conversion is the usual one over those matrices (screen x from -1..1 to
// 0..width, y flipped, depth as the projection gives it). So the projector
// first checks itself against the host on sample points and is used only
// when every sample agrees; points it cannot place well (on or behind the
// camera plane) are left to the host.
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

  // Screen x and y of a point; false when the point lies too near the
  // camera plane to trust (ask the host then).
  bool Project(const FVECTOR3& p, double& x, double& y) const;

 private:
  bool Ndc(const FVECTOR3& p, double& nx, double& ny) const;

  double m_[4][4] = {};  // view · projection, in double
  double half_width_ = 0.0;
  double half_height_ = 0.0;
  bool usable_ = false;
};

// The host's own conversion of one point: screen x, y and depth.
FVECTOR3 HostWorldToScreen(MQScene scene, const FVECTOR3& p);
