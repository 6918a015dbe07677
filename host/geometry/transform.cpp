#include "host/geometry/transform.h"

#include <cmath>
#include <cstring>

namespace mqhost {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegToRad = kPi / 180.0;
constexpr double kRadToDeg = 180.0 / kPi;

// Decomposition works in double: the angles near the singular middle angle
// come from small differences of matrix entries.
struct D3 {
  double x = 0.0, y = 0.0, z = 0.0;
};

D3 Row(const FMATRIX& m, int r) { return {m(r, 0), m(r, 1), m(r, 2)}; }
double Dot(const D3& a, const D3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
D3 Cross(const D3& a, const D3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
D3 Scaled(const D3& a, double s) { return {a.x * s, a.y * s, a.z * s}; }

// Rotation rows for angles in radians, R = Rx·Ry·Rz (row vectors).
void RotationRows(double ax, double ay, double az, D3 rows[3]) {
  const double cx = std::cos(ax), sx = std::sin(ax);
  const double cy = std::cos(ay), sy = std::sin(ay);
  const double cz = std::cos(az), sz = std::sin(az);
  rows[0] = {cy * cz, cy * sz, -sy};
  rows[1] = {sx * sy * cz - cx * sz, sx * sy * sz + cx * cz, sx * cy};
  rows[2] = {cx * sy * cz + sx * sz, cx * sy * sz - sx * cz, cx * cy};
}

}  // namespace

FMATRIX ComposeTransform(const LocalTransform& t) {
  D3 rows[3];
  RotationRows(t.rotation.x * kDegToRad, t.rotation.y * kDegToRad, t.rotation.z * kDegToRad, rows);
  const double scale[3] = {t.scale.x, t.scale.y, t.scale.z};
  FMATRIX m;
  for (int r = 0; r < 3; ++r) {
    const D3 row = Scaled(rows[r], scale[r]);
    m(r, 0) = static_cast<float>(row.x);
    m(r, 1) = static_cast<float>(row.y);
    m(r, 2) = static_cast<float>(row.z);
    m(r, 3) = 0.0f;
  }
  m.SetRow(3, FVECTOR4(t.translation, 1.0f));
  return m;
}

LocalTransform DecomposeTransform(const FMATRIX& m) {
  LocalTransform t;
  t.translation = m.GetTranslation();

  D3 axes[3] = {Row(m, 0), Row(m, 1), Row(m, 2)};
  double lengths[3];
  int zero_count = 0;
  for (int r = 0; r < 3; ++r) {
    lengths[r] = std::sqrt(Dot(axes[r], axes[r]));
    if (!(lengths[r] > 0.0)) ++zero_count;
  }
  if (Dot(axes[0], Cross(axes[1], axes[2])) < 0.0) lengths[0] = -lengths[0];
  t.scale = {static_cast<float>(lengths[0]), static_cast<float>(lengths[1]),
             static_cast<float>(lengths[2])};
  if (zero_count >= 2) return t;  // no direction left to read angles from

  for (int r = 0; r < 3; ++r) {
    if (lengths[r] != 0.0) axes[r] = Scaled(axes[r], 1.0 / lengths[r]);
  }
  for (int r = 0; r < 3; ++r) {
    if (lengths[r] == 0.0) {
      // The missing axis of a right-handed frame: x = y × z, y = z × x, z = x × y.
      const D3 a = axes[(r + 1) % 3];
      const D3 b = axes[(r + 2) % 3];
      const D3 c = Cross(a, b);
      const double len = std::sqrt(Dot(c, c));
      if (!(len > 0.0)) return t;  // the other two are parallel
      axes[r] = Scaled(c, 1.0 / len);
    }
  }

  const D3& r0 = axes[0];
  const D3& r1 = axes[1];
  const D3& r2 = axes[2];
  // R(1,2) = sx·cy and R(2,2) = cx·cy. Below this |cos y| the x angle is noise
  // in float data, so the singular convention (x = 0) applies.
  constexpr double kSingularCos = 1e-6;
  double ax = 0.0;
  if (std::hypot(r1.z, r2.z) >= kSingularCos) ax = std::atan2(r1.z, r2.z);
  const double ay = std::atan2(-r0.z, std::hypot(r0.x, r0.y));
  // z from the large entries of rows 1 and 2 given x: it absorbs any error in x,
  // which is what keeps the round trip exact near y = ±90.
  const double cx = std::cos(ax), sx = std::sin(ax);
  const double az = std::atan2(sx * r2.x - cx * r1.x, cx * r1.y - sx * r2.y);
  t.rotation = {static_cast<float>(ax * kRadToDeg), static_cast<float>(ay * kRadToDeg),
                static_cast<float>(az * kRadToDeg)};
  return t;
}

void MatrixFloatValue(float* matrix16, int code, float* values) {
  if (matrix16 == nullptr || values == nullptr) return;
  FMATRIX m;
  std::memcpy(m.m, matrix16, sizeof(m.m));
  switch (code) {
    case kMatrixGetScale: {
      const FVECTOR3 s = DecomposeTransform(m).scale;
      values[0] = s.x, values[1] = s.y, values[2] = s.z;
      break;
    }
    case kMatrixGetRotation: {
      const FVECTOR3 r = DecomposeTransform(m).rotation;
      values[0] = r.x, values[1] = r.y, values[2] = r.z;
      break;
    }
    case kMatrixGetTranslation:
      values[0] = m(3, 0), values[1] = m(3, 1), values[2] = m(3, 2);
      break;
    case kMatrixSetTransform: {
      LocalTransform t;
      t.scale = {values[0], values[1], values[2]};
      t.rotation = {values[3], values[4], values[5]};
      t.translation = {values[6], values[7], values[8]};
      const FMATRIX built = ComposeTransform(t);
      std::memcpy(matrix16, built.m, sizeof(built.m));
      break;
    }
    default:
      break;
  }
}

}  // namespace mqhost
