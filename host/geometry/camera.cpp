#include "host/geometry/camera.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

namespace mqhost {
namespace {

constexpr double kPi = 3.14159265358979323846;

struct D3 {
  double x = 0.0, y = 0.0, z = 0.0;
};

D3 ToD3(const FVECTOR3& v) { return {v.x, v.y, v.z}; }
D3 Sub(const D3& a, const D3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
double Dot(const D3& a, const D3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
D3 Cross(const D3& a, const D3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Length(const D3& a) { return std::sqrt(Dot(a, a)); }
D3 Scaled(const D3& a, double s) { return {a.x * s, a.y * s, a.z * s}; }

// Row-major 4x4 in double: the conversions and their inverse are computed
// here, the FMATRIX results are rounded copies.
struct M4 {
  double a[4][4] = {};
};

M4 Multiply(const M4& p, const M4& q) {
  M4 r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      for (int k = 0; k < 4; ++k) r.a[i][j] += p.a[i][k] * q.a[k][j];
  return r;
}

// General inverse by Gauss-Jordan elimination with partial pivoting; the
// affine FMATRIX::Inverse cannot invert a perspective projection.
M4 Inverse(const M4& m) {
  M4 work = m;
  M4 inv;
  for (int i = 0; i < 4; ++i) inv.a[i][i] = 1.0;
  for (int col = 0; col < 4; ++col) {
    int pivot = col;
    for (int r = col + 1; r < 4; ++r)
      if (std::fabs(work.a[r][col]) > std::fabs(work.a[pivot][col])) pivot = r;
    std::swap(work.a[col], work.a[pivot]);
    std::swap(inv.a[col], inv.a[pivot]);
    const double d = work.a[col][col];
    if (d == 0.0) return M4{};  // unreachable for a clamped camera
    for (int c = 0; c < 4; ++c) {
      work.a[col][c] /= d;
      inv.a[col][c] /= d;
    }
    for (int r = 0; r < 4; ++r) {
      if (r == col) continue;
      const double f = work.a[r][col];
      for (int c = 0; c < 4; ++c) {
        work.a[r][c] -= f * work.a[col][c];
        inv.a[r][c] -= f * inv.a[col][c];
      }
    }
  }
  return inv;
}

// (v, 1)·m, returning all four components.
void TransformRow(const double (&m)[4][4], const double v[3], double out[4]) {
  for (int c = 0; c < 4; ++c) out[c] = v[0] * m[0][c] + v[1] * m[1][c] + v[2] * m[2][c] + m[3][c];
}

FMATRIX ToFloat(const M4& m) {
  FMATRIX f;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) f(r, c) = static_cast<float>(m.a[r][c]);
  return f;
}

// The camera's orthonormal frame in world space: right, up and forward.
struct Frame {
  D3 eye, right, up, forward;
};

Frame CameraFrame(const Camera& camera) {
  Frame f;
  f.eye = ToD3(camera.position);
  D3 forward = Sub(ToD3(camera.look_at), f.eye);
  double len = Length(forward);
  f.forward = len > 0.0 ? Scaled(forward, 1.0 / len) : D3{0.0, 0.0, -1.0};

  // right = forward × up keeps the right-handed world unmirrored on screen.
  D3 right = Cross(f.forward, ToD3(camera.up));
  len = Length(right);
  if (!(len > 1e-9 * Length(ToD3(camera.up)))) {
    const D3 other = std::fabs(f.forward.y) < 0.9 ? D3{0.0, 1.0, 0.0} : D3{0.0, 0.0, 1.0};
    right = Cross(f.forward, other);
    len = Length(right);
  }
  f.right = Scaled(right, 1.0 / len);
  f.up = Cross(f.right, f.forward);
  return f;
}

struct Lens {
  double width, height, aspect, near_plane, far_plane, fov_radians, ortho_height;
};

Lens ClampedLens(const Camera& camera) {
  Lens l;
  l.width = std::max(1, camera.width);
  l.height = std::max(1, camera.height);
  l.aspect = l.width / l.height;
  l.near_plane = camera.near_plane > 0.0f ? double(camera.near_plane) : 1e-3;
  l.far_plane = camera.far_plane > l.near_plane ? double(camera.far_plane) : l.near_plane + 1.0;
  const double fov = std::isfinite(camera.fov_degrees) ? double(camera.fov_degrees) : 45.0;
  l.fov_radians = std::clamp(fov, 0.01, 179.0) * kPi / 180.0;
  l.ortho_height = camera.ortho_height > 0.0f ? double(camera.ortho_height) : 1.0;
  return l;
}

M4 View(const Camera& camera) {
  const Frame f = CameraFrame(camera);
  const D3 axes[3] = {f.right, f.up, f.forward};
  M4 v;
  for (int c = 0; c < 3; ++c) {
    v.a[0][c] = axes[c].x;
    v.a[1][c] = axes[c].y;
    v.a[2][c] = axes[c].z;
    v.a[3][c] = -Dot(f.eye, axes[c]);
  }
  v.a[3][3] = 1.0;
  return v;
}

M4 Projection(const Camera& camera) {
  const Lens l = ClampedLens(camera);
  const double depth = l.far_plane - l.near_plane;
  M4 p;
  if (camera.orthographic) {
    p.a[0][0] = 2.0 / (l.ortho_height * l.aspect);
    p.a[1][1] = 2.0 / l.ortho_height;
    p.a[2][2] = 1.0 / depth;
    p.a[3][2] = -l.near_plane / depth;
    p.a[3][3] = 1.0;
  } else {
    const double ys = 1.0 / std::tan(l.fov_radians / 2.0);
    p.a[0][0] = ys / l.aspect;
    p.a[1][1] = ys;
    p.a[2][2] = l.far_plane / depth;
    p.a[3][2] = -l.near_plane * l.far_plane / depth;
    p.a[2][3] = 1.0;
  }
  return p;
}

// Keeps a division by w finite; the sign is kept so that points behind the
// camera still come out mirrored as the projection puts them.
double SafeW(double w) {
  constexpr double kMinW = 1e-12;
  if (std::fabs(w) >= kMinW) return w;
  return w < 0.0 ? -kMinW : kMinW;
}

}  // namespace

const CameraConversions& ConversionsOf(const Camera& camera) {
  CameraConversions& c = camera.conversions;
  const CameraSettings& settings = camera;
  // A NaN setting never compares equal, so such a camera is worked out each time.
  if (c.valid_ && c.of_ == settings) return c;
  const Lens l = ClampedLens(camera);
  const M4 vp = Multiply(View(camera), Projection(camera));
  const M4 inverse = Inverse(vp);
  std::memcpy(c.view_projection, vp.a, sizeof vp.a);
  std::memcpy(c.inverse, inverse.a, sizeof inverse.a);
  c.width = l.width;
  c.height = l.height;
  c.of_ = settings;
  c.valid_ = true;
  return c;
}

FMATRIX ViewMatrix(const Camera& camera) { return ToFloat(View(camera)); }

FMATRIX ProjectionMatrix(const Camera& camera) { return ToFloat(Projection(camera)); }

FVECTOR3 WorldToScreen(const Camera& camera, FVECTOR3 p, float* clip_w) {
  const CameraConversions& c = ConversionsOf(camera);
  const double in[3] = {p.x, p.y, p.z};
  double clip[4];
  TransformRow(c.view_projection, in, clip);
  if (clip_w != nullptr) *clip_w = static_cast<float>(clip[3]);
  const double w = SafeW(clip[3]);
  const double nx = clip[0] / w, ny = clip[1] / w, nz = clip[2] / w;
  return {static_cast<float>((nx + 1.0) * 0.5 * c.width), static_cast<float>((1.0 - ny) * 0.5 * c.height),
          static_cast<float>(nz)};
}

FVECTOR3 ScreenToWorld(const Camera& camera, FVECTOR3 s) {
  const CameraConversions& c = ConversionsOf(camera);
  const double ndc[3] = {s.x / c.width * 2.0 - 1.0, 1.0 - s.y / c.height * 2.0, s.z};
  double world[4];
  TransformRow(c.inverse, ndc, world);
  const double w = SafeW(world[3]);
  return {static_cast<float>(world[0] / w), static_cast<float>(world[1] / w), static_cast<float>(world[2] / w)};
}

namespace {

// FacesCamera for a camera whose eye and viewing direction are known.
bool FacesFrom(const D3& eye, const D3& forward, bool orthographic, const FVECTOR3* points, int count) {
  if (points == nullptr || count < 3) return false;
  D3 centre;
  for (int i = 0; i < count; ++i) centre = {centre.x + points[i].x, centre.y + points[i].y, centre.z + points[i].z};
  centre = Scaled(centre, 1.0 / count);

  // Newell's normal about the centre: twice the area vector, right-hand rule.
  D3 normal;
  double spread = 0.0;
  for (int i = 0; i < count; ++i) {
    const D3 a = Sub(ToD3(points[i]), centre);
    const D3 b = Sub(ToD3(points[(i + 1) % count]), centre);
    const D3 c = Cross(a, b);
    normal = {normal.x + c.x, normal.y + c.y, normal.z + c.z};
    spread += Dot(a, a);
  }
  // Float points are only good to about FLT_EPSILON of their distance from the
  // origin. An area vector whose component toward the camera is within that
  // rounding (no area, or seen edge-on) has no side: it does not face.
  const D3 toward = orthographic ? Scaled(forward, -1.0) : Sub(eye, centre);
  const double d = Dot(normal, toward);

  // Most faces lie far from that rounding: squared bounds, a factor of two
  // apart from the threshold either way, decide them without the square
  // roots ((a + b)² lies between a² + b² and twice that); the rest take the
  // exact test below.
  const double k = 4.0 * FLT_EPSILON * count;
  const double size2 = spread / count;
  const double threshold2 = k * k * (Dot(centre, centre) + size2) * size2 * Dot(toward, toward);
  if (d * d > 4.0 * threshold2) return d < 0.0;
  if (d * d < 0.25 * threshold2) return false;

  const double size = std::sqrt(size2);
  const double noise = 4.0 * FLT_EPSILON * (Length(centre) + size) * size * count;
  if (!(std::fabs(d) > noise * Length(toward))) return false;
  // The picture is unmirrored, so a right-hand-rule normal pointing at the
  // camera shows counter-clockwise on the monitor: that is the back.
  return d < 0.0;
}

}  // namespace

bool FacesCamera(const Camera& camera, const FVECTOR3* points, int count) {
  const Frame f = CameraFrame(camera);
  return FacesFrom(f.eye, f.forward, camera.orthographic, points, count);
}

ViewVolume::ViewVolume(const Camera& camera) : orthographic_(camera.orthographic) {
  const M4 m = Multiply(View(camera), Projection(camera));
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) clip_[r][c] = m.a[r][c];
  const Frame f = CameraFrame(camera);
  eye_[0] = f.eye.x;
  eye_[1] = f.eye.y;
  eye_[2] = f.eye.z;
  forward_[0] = f.forward.x;
  forward_[1] = f.forward.y;
  forward_[2] = f.forward.z;
}

bool ViewVolume::FacesCamera(const FVECTOR3* points, int count) const {
  return FacesFrom(D3{eye_[0], eye_[1], eye_[2]}, D3{forward_[0], forward_[1], forward_[2]}, orthographic_,
                   points, count);
}

namespace {

struct Clip {
  double v[4];  // x, y, z, w
};

// (p, 1)·m for the clip matrix of a view volume.
Clip ToClip(const double (&m)[4][4], const FVECTOR3& p) {
  Clip c;
  for (int k = 0; k < 4; ++k) c.v[k] = p.x * m[0][k] + p.y * m[1][k] + p.z * m[2][k] + m[3][k];
  return c;
}

// Signed distance of a clip-space point from the view volume's plane
// `plane`; the inside is where it is not negative.
double PlaneDistance(const Clip& p, int plane) {
  const double x = p.v[0], y = p.v[1], z = p.v[2], w = p.v[3];
  switch (plane) {
    case 0: return z;      // near
    case 1: return w - z;  // far
    case 2: return x + w;  // left
    case 3: return w - x;  // right
    case 4: return y + w;  // bottom
    default: return w - y; // top
  }
}

constexpr int kViewPlanes = 6;

}  // namespace

bool ViewVolume::ContainsBox(const FVECTOR3& lo, const FVECTOR3& hi) const {
  for (int i = 0; i < 8; ++i) {
    const FVECTOR3 corner((i & 1) ? hi.x : lo.x, (i & 2) ? hi.y : lo.y, (i & 4) ? hi.z : lo.z);
    const Clip c = ToClip(clip_, corner);
    for (int plane = 0; plane < kViewPlanes; ++plane) {
      if (PlaneDistance(c, plane) < 0.0) return false;
    }
  }
  return true;
}

bool ViewVolume::Overlaps(const FVECTOR3* points, int count) const {
  if (points == nullptr || count < 3) return false;
  unsigned all_outside = (1u << kViewPlanes) - 1;  // planes that every point lies beyond
  unsigned any_outside = 0;
  for (int i = 0; i < count; ++i) {
    const Clip c = ToClip(clip_, points[i]);
    unsigned outside = 0;
    for (int plane = 0; plane < kViewPlanes; ++plane) {
      if (PlaneDistance(c, plane) < 0.0) outside |= 1u << plane;
    }
    all_outside &= outside;
    any_outside |= outside;
  }
  if (all_outside != 0) return false;  // wholly beyond one plane
  if (any_outside == 0) return true;   // wholly inside

  std::vector<Clip> polygon;
  for (int i = 0; i < count; ++i) polygon.push_back(ToClip(clip_, points[i]));
  // Sutherland-Hodgman in homogeneous clip space, near plane first.
  std::vector<Clip> next;
  for (int plane = 0; plane < kViewPlanes && polygon.size() >= 3; ++plane) {
    next.clear();
    for (size_t i = 0; i < polygon.size(); ++i) {
      const Clip& a = polygon[i];
      const Clip& b = polygon[(i + 1) % polygon.size()];
      const double da = PlaneDistance(a, plane), db = PlaneDistance(b, plane);
      if (da >= 0.0) next.push_back(a);
      if ((da >= 0.0) != (db >= 0.0)) {
        const double t = da / (da - db);
        Clip crossing;
        for (int k = 0; k < 4; ++k) crossing.v[k] = a.v[k] + t * (b.v[k] - a.v[k]);
        next.push_back(crossing);
      }
    }
    polygon.swap(next);
  }
  return polygon.size() >= 3;
}

void SceneFloatValue(const Camera& camera, int code, float* values) {
  if (values == nullptr) return;
  const FVECTOR3 in{values[0], values[1], values[2]};
  FVECTOR3 out;
  switch (code) {
    case kSceneWorldToScreen:
      out = WorldToScreen(camera, in, &values[6]);
      break;
    case kSceneScreenToWorld:
      out = ScreenToWorld(camera, in);
      break;
    default:
      return;
  }
  values[3] = out.x;
  values[4] = out.y;
  values[5] = out.z;
}

}  // namespace mqhost
