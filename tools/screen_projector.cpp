#include "tools/screen_projector.h"

#include <cmath>

#include "tools/screen_conversion.h"

bool SCREEN_PROJECTOR::Calibrate(MQScene scene, const std::vector<FVECTOR3>& samples) {
  usable_ = false;
  if (scene == nullptr || samples.empty()) return false;
  const SCREENCONVMQ host(scene);
  const FMATRIX view = host.ViewMatrix(), proj = host.ProjMatrix();
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      double sum = 0.0;
      for (int k = 0; k < 4; ++k) sum += static_cast<double>(view(i, k)) * static_cast<double>(proj(k, j));
      m_[i][j] = sum;
    }
  }
  // The view size from the sample whose x and y lie farthest from the left
  // and top edges in normalised terms, where the division is best.
  std::vector<FVECTOR3> screen;
  double best_x = 0.0, best_y = 0.0;
  for (const FVECTOR3& p : samples) {
    screen.push_back(host.WorldToScreen(p));
    double nx = 0.0, ny = 0.0;
    if (!Ndc(p, nx, ny)) continue;
    const FVECTOR3& s = screen.back();
    if (nx + 1.0 > best_x) {
      best_x = nx + 1.0;
      half_width_ = s.x / (nx + 1.0);
    }
    if (1.0 - ny > best_y) {
      best_y = 1.0 - ny;
      half_height_ = s.y / (1.0 - ny);
    }
  }
  if (!(best_x > 0.1 && best_y > 0.1 && half_width_ > 0.0 && half_height_ > 0.0)) return false;
  // Every sample must come out as the host has it.
  usable_ = true;
  for (size_t i = 0; i < samples.size(); ++i) {
    double x = 0.0, y = 0.0;
    if (!Project(samples[i], x, y)) continue;
    const double tolerance = kTolerance * (1.0 + std::fabs(screen[i].x) / 1000.0 + std::fabs(screen[i].y) / 1000.0);
    if (!(std::fabs(x - screen[i].x) <= tolerance && std::fabs(y - screen[i].y) <= tolerance)) {
      usable_ = false;
      return false;
    }
  }
  return true;
}
