#include "math/fmath.h"

#include <cmath>
#include <cstdlib>
#include <utility>

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kTwoPi = 2.0f * kPi;

// The three indices other than i, in order.
constexpr int kOther[4][3] = {{1, 2, 3}, {0, 2, 3}, {0, 1, 3}, {0, 1, 2}};

// Signed minor of element (row, col) of a 4x4 matrix.
float Cofactor(const FMATRIX& a, int row, int col) {
  const int* r = kOther[row];
  const int* c = kOther[col];
  auto e = [&](int i, int j) { return a.m[4 * r[i] + c[j]]; };
  const float minor = e(0, 0) * (e(1, 1) * e(2, 2) - e(1, 2) * e(2, 1)) -
                      e(0, 1) * (e(1, 0) * e(2, 2) - e(1, 2) * e(2, 0)) +
                      e(0, 2) * (e(1, 0) * e(2, 1) - e(1, 1) * e(2, 0));
  return ((row + col) & 1) ? -minor : minor;
}

}  // namespace

FQUAT FQUAT::FromAxisAngle(const FVECTOR3& axis, float radians) {
  FVECTOR3 n = axis;
  if (std::fabs(n.x) + std::fabs(n.y) + std::fabs(n.z) >= 0.0002f) {
    n.Normalize();
  } else {
    n = FVECTOR3(0.0f, 0.0f, 1.0f);
  }
  const float s = std::sin(radians * 0.5f);
  return {n.x * s, n.y * s, n.z * s, std::cos(radians * 0.5f)};
}

FQUAT FQUAT::FromMatrix(const FMATRIX& m) {
  FQUAT q;
  const float t = m(0, 0) + m(1, 1) + m(2, 2);
  if (t >= 0.0f) {
    const float s = std::sqrt(t + 1.0f);
    const float f = 0.5f / s;
    q.w = 0.5f * s;
    q.x = (m(1, 2) - m(2, 1)) * f;
    q.y = (m(2, 0) - m(0, 2)) * f;
    q.z = (m(0, 1) - m(1, 0)) * f;
    return q;
  }
  // Largest diagonal element; strict comparisons so that ties keep the lower index.
  int i = 0;
  if (m(1, 1) > m(0, 0)) i = 1;
  if (m(2, 2) > m(i, i)) i = 2;
  if (i == 0) {
    const float s = std::sqrt(m(0, 0) - m(1, 1) - m(2, 2) + 1.0f);
    const float f = 0.5f / s;
    q.x = 0.5f * s;
    q.y = (m(1, 0) + m(0, 1)) * f;
    q.z = (m(0, 2) + m(2, 0)) * f;
    q.w = (m(1, 2) - m(2, 1)) * f;
  } else if (i == 1) {
    const float s = std::sqrt(m(1, 1) - m(2, 2) - m(0, 0) + 1.0f);
    const float f = 0.5f / s;
    q.y = 0.5f * s;
    q.z = (m(2, 1) + m(1, 2)) * f;
    q.x = (m(1, 0) + m(0, 1)) * f;
    q.w = (m(2, 0) - m(0, 2)) * f;
  } else {
    const float s = std::sqrt(m(2, 2) - m(0, 0) - m(1, 1) + 1.0f);
    const float f = 0.5f / s;
    q.z = 0.5f * s;
    q.x = (m(0, 2) + m(2, 0)) * f;
    q.y = (m(2, 1) + m(1, 2)) * f;
    q.w = (m(0, 1) - m(1, 0)) * f;
  }
  return q;
}

float WrapAngle(float radians) {
  float t = radians;
  // Stepping by whole turns is exact for the angles the tools produce; wild
  // values are reduced first so the loops stay short (and inf/NaN end as NaN).
  if (!(std::fabs(t) < 64.0f * kPi)) t = std::fmod(t, kTwoPi);
  while (t >= kPi) t -= kTwoPi;
  while (t < -kPi) t += kTwoPi;
  return t;
}

FMATRIX FMATRIX::RotationZ(float radians) {
  const float t = WrapAngle(radians);
  const float c = std::cos(t);
  const float s = std::sin(t);
  FMATRIX r;
  r.m[0] = c;
  r.m[1] = -s;
  r.m[4] = s;
  r.m[5] = c;
  return r;
}

FMATRIX FMATRIX::RotationBetween(const FVECTOR3& a, const FVECTOR3& b) {
  if (a == b) return FMATRIX();
  float c = Dot(a, b);
  c = c < -1.0f ? -1.0f : (c > 1.0f ? 1.0f : c);
  const float s = std::sin(std::acos(c));
  const FVECTOR3 n = Cross(a, b).Normalized();
  const float k = 1.0f - c;
  FMATRIX r;
  r.m[0] = n.x * n.x + (1.0f - n.x * n.x) * c;
  r.m[1] = n.x * n.y * k + s * n.z;
  r.m[2] = n.x * n.z * k - s * n.y;
  r.m[4] = n.x * n.y * k - s * n.z;
  r.m[5] = n.y * n.y + (1.0f - n.y * n.y) * c;
  r.m[6] = n.y * n.z * k + s * n.x;
  r.m[8] = n.x * n.z * k + s * n.y;
  r.m[9] = n.y * n.z * k - s * n.x;
  r.m[10] = n.z * n.z + (1.0f - n.z * n.z) * c;
  return r;
}

FMATRIX FMATRIX::AboutPivot(const FMATRIX& m, const FVECTOR3& pivot) {
  return Translation(-pivot) * m * Translation(pivot);
}

void FMATRIX::PremultiplyAboutPivot(const FMATRIX& pivot_transform, const FVECTOR3& pivot) {
  *this = AboutPivot(pivot_transform, pivot) * *this;
}

FMATRIX FMATRIX::Inverse() const {
  const float d = Determinant3x3();
  if (d == 0.0f) return *this;
  FMATRIX r;
  for (int row = 0; row < 4; ++row) {
    for (int col = 0; col < 4; ++col) {
      if (row == 3 && col == 3) continue;
      r.m[4 * row + col] = Cofactor(*this, col, row) / d;
    }
  }
  r.m[15] = 1.0f;
  return r;
}

FMATRIX FMATRIX::NormalizedAxes() const {
  FMATRIX r;
  for (int c = 0; c < 3; ++c) {
    const FVECTOR3 axis = GetColumn(c).Normalized();
    r.m[c] = axis.x;
    r.m[c + 4] = axis.y;
    r.m[c + 8] = axis.z;
  }
  return r;
}

UCOLOR operator*(const UCOLOR& c, float f) {
  auto scale = [f](std::uint8_t v) -> std::uint8_t {
    const float p = static_cast<float>(v) * f;
    // Clamping before the conversion keeps huge, negative and NaN products
    // away from an out-of-range float-to-int cast.
    if (!(p > 0.0f)) return 0;
    if (p >= 255.0f) return 255;
    return static_cast<std::uint8_t>(static_cast<int>(p));
  };
  return {scale(c.r), scale(c.g), scale(c.b), scale(c.a)};
}

int RandomInt(int lo, int hi) {
  if (hi < lo) std::swap(lo, hi);
  // 64-bit span so that the full int range cannot overflow.
  const long long span = static_cast<long long>(hi) - lo + 1;
  return static_cast<int>(lo + std::rand() % span);
}
