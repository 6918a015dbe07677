#include "tools/picking.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "rig/bone_points.h"
#include "rig/hierarchy.h"
#include "rig/host_records.h"
#include "rig/rig_access.h"
#include "sdk/host_api.h"
#include "tools/handle.h"
#include "tools/screen_conversion.h"
#include "tools/screen_projector.h"

using quorvel::BonePoints;
using quorvel::OBase;
using quorvel::RigEditState;
using quorvel::RigSlotTable;
namespace hr = quorvel::host_records;

namespace pick_geometry {

namespace {
constexpr float kMiss = -1.0f;
constexpr float kFar = std::numeric_limits<float>::max();
}  // namespace

const int kBodyTriangles[6][3] = {{0, 2, 3}, {0, 3, 4}, {0, 4, 2}, {1, 3, 2}, {1, 4, 3}, {1, 2, 4}};

float RayBox(const FVECTOR3& origin, const FVECTOR3& direction, const FVECTOR3& lo,
             const FVECTOR3& hi) {
  float tmin = 0.0f;
  float tmax = kFar;
  const float o[3] = {origin.x, origin.y, origin.z};
  const float d[3] = {direction.x, direction.y, direction.z};
  const float l[3] = {lo.x, lo.y, lo.z};
  const float h[3] = {hi.x, hi.y, hi.z};
  for (int a = 0; a < 3; ++a) {
    if (d[a] == 0.0f) {
      // Parallel to the slab: inside it or never.
      if (o[a] < l[a] || o[a] > h[a]) return kMiss;
      continue;
    }
    float t0 = (l[a] - o[a]) / d[a];
    float t1 = (h[a] - o[a]) / d[a];
    if (t0 > t1) std::swap(t0, t1);
    tmin = std::max(tmin, t0);
    tmax = std::min(tmax, t1);
    if (tmin > tmax) return kMiss;
  }
  return tmin;
}

float RayCone(const FVECTOR3& origin, const FVECTOR3& direction, const FVECTOR3& base,
              float radius, const FVECTOR3& apex) {
  const FVECTOR3 axis = apex - base;
  const float height = axis.Length();
  if (!(height > 0.0f)) return kMiss;
  const FVECTOR3 v = axis / height;  // from base toward apex
  float best = kFar;

  // Mantle: points x with |x - apex| cos(a) = (apex - x)·v, cos² a = h² / (h² + r²).
  const float cos2 = height * height / (height * height + radius * radius);
  const FVECTOR3 co = origin - apex;
  const float dv = -Dot(direction, v);  // along the axis from the apex toward the base
  const float cov = -Dot(co, v);
  const float a = dv * dv - cos2 * Dot(direction, direction);
  const float b = 2.0f * (dv * cov - cos2 * Dot(direction, co));
  const float c = cov * cov - cos2 * Dot(co, co);
  if (a != 0.0f) {
    const float disc = b * b - 4.0f * a * c;
    if (disc >= 0.0f) {
      const float root = std::sqrt(disc);
      float t0 = (-b - root) / (2.0f * a);
      float t1 = (-b + root) / (2.0f * a);
      if (t0 > t1) std::swap(t0, t1);
      for (const float t : {t0, t1}) {
        if (t < 0.0f) continue;
        // Strictly between the end planes (this also drops the mirror cone).
        const float along = Dot(origin + direction * t - base, v);
        if (along > 0.0f && along < height) {
          best = std::min(best, t);
          break;
        }
      }
    }
  }
  // Base disc.
  const float denom = Dot(direction, v);
  if (denom != 0.0f) {
    const float t = Dot(base - origin, v) / denom;
    if (t > 0.0f && (origin + direction * t - base).LengthSq() < radius * radius) {
      best = std::min(best, t);
    }
  }
  return best < kFar ? best : kMiss;
}

float RayRing(const FVECTOR3& origin, const FVECTOR3& direction, const FVECTOR3& centre,
              const FVECTOR3& normal, float rmin, float rmax) {
  const float denom = Dot(direction, normal);
  if (denom == 0.0f) return kMiss;
  const float t = Dot(centre - origin, normal) / denom;
  if (t < 0.0f) return kMiss;
  const float d2 = (origin + direction * t - centre).LengthSq();
  if (rmin > 0.0f && d2 < rmin * rmin) return kMiss;
  if (d2 > rmax * rmax) return kMiss;
  return t;
}

float RayTriangle(const FVECTOR3& origin, const FVECTOR3& direction, const FVECTOR3& v0,
                  const FVECTOR3& v1, const FVECTOR3& v2) {
  const FVECTOR3 e1 = v1 - v0;
  const FVECTOR3 e2 = v2 - v0;
  const FVECTOR3 p = Cross(direction, e2);
  const float det = Dot(e1, p);
  if (det < 0.00001f) return kMiss;  // back face, or edge-on
  const FVECTOR3 s = origin - v0;
  const float u = Dot(s, p);
  if (u < 0.0f || u > det) return kMiss;
  const FVECTOR3 q = Cross(s, e1);
  const float v = Dot(direction, q);
  if (v < 0.0f || u + v > det) return kMiss;
  const float t = Dot(e2, q) / det;
  return t >= 0.0f ? t : kMiss;
}

BodyPoints BodyForPicking(const FVECTOR3& pivot, const FVECTOR3& tail, const FVECTOR3& roll) {
  const FVECTOR3 along = tail - pivot;
  const FVECTOR3 c = pivot + along * 0.15f;
  const float r = 0.08f * along.Length();
  const FVECTOR3 f = along.Normalized();
  const FVECTOR3 u = (roll - pivot).Normalized();
  const FVECTOR3 w = Cross(f, u);  // not normalised again
  const float half_root3 = 0.8660254f;
  BodyPoints body;
  body.p[0] = pivot;
  body.p[1] = tail;
  body.p[2] = c + u * r;
  body.p[3] = c - w * (half_root3 * r) - u * (r / 2.0f);
  body.p[4] = c + w * (half_root3 * r) - u * (r / 2.0f);
  return body;
}

}  // namespace pick_geometry

namespace {

using namespace pick_geometry;

bool MaySeeBones(const RigEditState& state, uint32_t flags) {
  return state.BonesShown() && (flags & OBase::OB_RIG) != 0;
}

// Pick step a: which objects take part.
bool IsCandidate(MQObject obj, const RigEditState& state, uint32_t flags, bool pose_mode) {
  if (pose_mode) return MaySeeBones(state, flags);
  return hr::IsVisible(obj) && !hr::IsLocked(obj);
}

bool PartAllowed(const RigEditState& state, uint32_t flags, int32_t kind) {
  if (!MaySeeBones(state, flags)) return false;
  switch (kind) {
    case SELKIND_PIVOT: return (state.pick_masks & RigEditState::kPickMaskPivot) == 0;
    case SELKIND_ROLL:
      return (state.pick_masks & RigEditState::kPickMaskRoll) == 0 && state.RollShown();
    case SELKIND_BODY: return (state.pick_masks & RigEditState::kPickMaskBody) == 0;
    default: return false;
  }
}

// Whether the ray passes within `radius` of `centre` (ahead of its origin or
// not): every point of a bone's body lies within half the bone's length of
// its middle, so a ray that passes farther cannot hit it. A little slack
// keeps rounding from turning away a body the triangles would hit.
bool RayNearSphere(const MOUSE_RAY& ray, const FVECTOR3& centre, float radius) {
  const FVECTOR3 to = centre - ray.origin;
  const FVECTOR3 across = to - ray.direction * Dot(to, ray.direction);
  const float reach = radius * 1.01f + 1e-4f * (1.0f + to.Length());
  return across.LengthSq() <= reach * reach;
}

// An item's id: the object's unique id, asked only of a winner; 0 for a
// handle part.
int32_t ItemId(MQObject obj) { return obj != nullptr ? hr::UniqueId(obj) : 0; }

BonePoints PointsOf(MQDocument doc, MQObject obj, const RigSlotTable& slots, bool pose_mode) {
  const BonePoints points = quorvel::GetBonePoints(doc, obj);
  return pose_mode ? quorvel::Transformed(points, quorvel::GetWorldMatrix(obj, slots)) : points;
}

}  // namespace

void MED_USELECT::PointTest(MED_USELECT_PARA_BASE& para, const FVECTOR3& point, int32_t kind,
                            MQObject obj, MED_SELECTITEM& item, bool& picked) {
  // A point clearly farther than the best so far is decided without asking
  // the host; the host's own conversion decides every close call.
  double x = 0.0, y = 0.0;
  if (projector_.Project(point, x, y)) {
    const double dx = x - mouse_.x, dy = y - mouse_.y;
    const double reach = std::sqrt(static_cast<double>(best_)) + 0.05;
    if (dx * dx + dy * dy > reach * reach) return;
  }
  const FVECTOR3 s = para.WorldToScreen(point);
  const float sx = s.x - mouse_.x, sy = s.y - mouse_.y;
  const float d2 = sx * sx + sy * sy;
  if (!(d2 < best_)) return;  // ties keep the earlier candidate
  best_ = d2;
  para.SetPickDepth(s.z);
  item = MED_SELECTITEM(kind, ItemId(obj));
  picked = true;
}

void MED_USELECT::DepthTest(MED_USELECT_PARA_BASE& para, const FVECTOR3& hit, int32_t kind,
                            MQObject obj, MED_SELECTITEM& item, bool& picked) {
  const float z = para.WorldToScreen(hit).z;
  if (!(z < para.GetPickDepth())) return;
  // No point can win after a body or handle part: its distance is 0.
  best_ = 0.0f;
  para.SetPickDepth(z);
  item = MED_SELECTITEM(kind, ItemId(obj));
  picked = true;
}

bool MED_USELECT::HandleTest(MED_USELECT_PARA_BASE& para, const MOUSE_RAY& ray, int handle_type,
                             MED_SELECTITEM& item) {
  const FMATRIX inverse = para.GetHandleMatrix().Inverse();
  // Not renormalised, so that t is the same along the world ray.
  const FVECTOR3 o = inverse.TransformPoint(ray.origin);
  const FVECTOR3 d = inverse.TransformDirection(ray.direction);
  const float S = kHandleSize, T = kHandleThickness;
  const FVECTOR3 axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};

  int32_t kind = SELKIND_NONE;
  float t = RayBox(o, d, FVECTOR3(-T, -T, -T), FVECTOR3(T, T, T));
  const int32_t centre_kinds[3] = {SELKIND_MOVE_CENTER, SELKIND_ROTATE_CENTER, SELKIND_SCALE_CENTER};
  if (handle_type < HANDLE_MOVE || handle_type > HANDLE_SCALE) return false;
  if (t >= 0.0f) kind = centre_kinds[handle_type];
  for (int a = 0; a < 3 && kind == SELKIND_NONE; ++a) {
    const FVECTOR3& axis = axes[a];
    switch (handle_type) {
      case HANDLE_MOVE:
        t = RayCone(o, d, axis * (S - T), T / 2.0f, axis * (S + T));
        if (t >= 0.0f) kind = SELKIND_MOVE_X + a;
        break;
      case HANDLE_ROTATE:
        t = RayRing(o, d, FVECTOR3(), axis, S - T / 2.0f, S + T / 2.0f);
        if (t >= 0.0f) kind = SELKIND_ROTATE_X + a;
        break;
      default: {
        // The box along the axis: (S - T, -T, -T) .. (S + T, T, T) permuted.
        const FVECTOR3 lo = axis * (S - T) + (FVECTOR3(1, 1, 1) - axis) * -T;
        const FVECTOR3 hi = axis * (S + T) + (FVECTOR3(1, 1, 1) - axis) * T;
        t = RayBox(o, d, lo, hi);
        if (t >= 0.0f) kind = SELKIND_SCALE_X + a;
        break;
      }
    }
  }
  if (kind == SELKIND_NONE) return false;
  bool picked = false;
  DepthTest(para, ray.origin + ray.direction * t, kind, nullptr, item, picked);
  return picked;
}

int MED_USELECT::Pick(MED_USELECT_PARA_BASE& para, MQDocument doc, const RigSlotTable& slots,
                      const RigEditState* state, float x, float y, MED_SELECTITEM& item,
                      int kinds, bool pose_mode, int handle_type) {
  if (state == nullptr || doc == nullptr || para.GetScene() == nullptr) return 0;
  mouse_ = FVECTOR3(x, y, 0.0f);
  best_ = kPickRadius * kPickRadius;
  para.SetPickDepth(kNoPickDepth);
  const MOUSE_RAY ray = MouseRay(para, x, y);

  if (para.IsHandleShown() && HandleTest(para, ray, handle_type, item)) return 1;

  // The host's conversion over the scene's matrices, checked on points
  // across the view, for deciding the points far from the mouse.
  projector_ = SCREEN_PROJECTOR();
  if (MQScene scene = para.GetScene()) {
    int width = 640, height = 480;
    para.GetViewportSize(width, height);
    const float w = static_cast<float>(width), h = static_cast<float>(height);
    std::vector<FVECTOR3> samples;
    for (const FVECTOR2& s : {FVECTOR2(0, 0), FVECTOR2(w, 0), FVECTOR2(0, h), FVECTOR2(w, h), FVECTOR2(x, y)}) {
      for (const float depth : {0.25f, 0.75f}) samples.push_back(para.ScreenToWorld(FVECTOR3(s.x, s.y, depth)));
    }
    projector_.Calibrate(scene, samples);
  }

  // Pivots by document index, each read once: an object's tail is its first
  // child's pivot.
  const int count = std::max(0, HostApi().MQDoc_GetObjectCount(doc));
  pivots_.assign(static_cast<size_t>(count), FVECTOR3());
  pivot_read_.assign(static_cast<size_t>(count), 0);
  const auto pivot_at = [&](MQObject obj, int index) -> const FVECTOR3& {
    const size_t i = static_cast<size_t>(index);
    if (!pivot_read_[i]) {
      pivots_[i] = quorvel::ObjectPivot(doc, obj);
      pivot_read_[i] = 1;
    }
    return pivots_[i];
  };

  bool picked = false;
  hr::ForEachObject(doc, [&](MQObject obj, int index) {
    const uint32_t flags = quorvel::GetBoneFlags(obj, slots);
    if (!IsCandidate(obj, *state, flags, pose_mode)) return;
    BonePoints points;
    points.pivot = pivot_at(obj, index);
    MQObject child = hr::FirstChild(doc, obj);
    const int child_index = child != nullptr ? HostApi().MQDoc_GetObjectIndex(doc, child) : -1;
    points = child_index >= 0 && child_index < count
                 ? quorvel::BonePointsTo(points.pivot, pivot_at(child, child_index))
                 : quorvel::BonePointsTo(points.pivot, points.pivot, false);
    if (pose_mode) points = quorvel::Transformed(points, quorvel::GetWorldMatrix(obj, slots));
    // Only a childless bone in pose mode needs the chain-end test.
    const bool chain_end = pose_mode && !points.has_body && quorvel::IsChainEnd(doc, obj);
    if ((kinds & PICK_PIVOTS) != 0 && (!pose_mode || points.has_body || chain_end) &&
        PartAllowed(*state, flags, SELKIND_PIVOT)) {
      PointTest(para, points.pivot, SELKIND_PIVOT, obj, item, picked);
    }
    if (!points.has_body) return;
    if ((kinds & PICK_ROLLS) != 0 && pose_mode && state->RollShown() &&
        PartAllowed(*state, flags, SELKIND_ROLL)) {
      PointTest(para, points.roll, SELKIND_ROLL, obj, item, picked);
    }
    if ((kinds & PICK_BODIES) != 0 && PartAllowed(*state, flags, SELKIND_BODY) &&
        RayNearSphere(ray, (points.pivot + points.tail) * 0.5f, 0.5f * (points.tail - points.pivot).Length())) {
      const BodyPoints body = BodyForPicking(points.pivot, points.tail, points.roll);
      float nearest = -1.0f;
      for (const auto& tri : kBodyTriangles) {
        const float t = RayTriangle(ray.origin, ray.direction, body.p[tri[0]], body.p[tri[1]],
                                    body.p[tri[2]]);
        if (t >= 0.0f && (nearest < 0.0f || t < nearest)) nearest = t;
      }
      if (nearest >= 0.0f) {
        DepthTest(para, ray.origin + ray.direction * nearest, SELKIND_BODY, obj, item, picked);
      }
    }
  });
  return picked ? 1 : 0;
}

int MED_USELECT::SelectInRect(MQDocument doc, const RigSlotTable& slots, const RigEditState* state,
                              const MED_SCREENCONVBASE& converter, const SCREEN_RECT& rect,
                              int kinds, bool pose_mode) {
  if (state == nullptr || doc == nullptr) return 0;
  // Hidden bones cannot be seen to be selected, nor picked by a click.
  if (!state->BonesShown()) return 0;
  const int x0 = static_cast<int>(rect.a.x), y0 = static_cast<int>(rect.a.y);
  const int x1 = static_cast<int>(rect.b.x), y1 = static_cast<int>(rect.b.y);
  const float left = static_cast<float>(std::min(x0, x1)), right = static_cast<float>(std::max(x0, x1));
  const float top = static_cast<float>(std::min(y0, y1)), bottom = static_cast<float>(std::max(y0, y1));
  const auto inside = [&](const FVECTOR3& p) {
    const FVECTOR3 s = converter.WorldToScreen(p);
    return left <= s.x && s.x <= right && top <= s.y && s.y <= bottom;
  };
  const bool pivots = (state->pick_masks & RigEditState::kPickMaskPivot) == 0;
  const bool rolls = (state->pick_masks & RigEditState::kPickMaskRoll) == 0;
  const bool bodies = (state->pick_masks & RigEditState::kPickMaskBody) == 0;
  bool selected = false;
  hr::ForEachObject(doc, [&](MQObject obj, int) {
    const uint32_t flags = quorvel::GetBoneFlags(obj, slots);
    if (!IsCandidate(obj, *state, flags, pose_mode)) return;
    const BonePoints points = PointsOf(doc, obj, slots, pose_mode);
    uint32_t add = 0;
    bool pivot_inside = false;
    if (pivots && (kinds & PICK_PIVOTS) != 0 && inside(points.pivot)) {
      add |= OBase::OB_SEL_PIVOT;
      pivot_inside = true;
      selected = true;
    }
    if (points.has_body) {
      if (rolls && (kinds & PICK_ROLLS) != 0 && inside(points.roll)) {
        add |= OBase::OB_SEL_ROLL;
        selected = true;
      }
      if (bodies && (kinds & PICK_BODIES) != 0 && (kinds & PICK_PIVOTS) != 0 && pivots &&
          pivot_inside && inside(points.tail)) {
        add |= OBase::OB_SEL_BODY;
      }
    }
    if (add != 0) quorvel::SetBoneFlags(obj, slots, flags | add);
  });
  return selected ? 1 : 0;
}

MED_USELECT::BrushView& MED_USELECT::ViewOf(MQScene scene, MQObject obj, int vertices) {
  auto it = std::find_if(views_.begin(), views_.end(), [obj](const BrushView& v) { return v.object == obj; });
  if (it == views_.end()) {
    views_.emplace_back();
    it = views_.end() - 1;
    it->object = obj;
  }
  BrushView& view = *it;
  view.used = true;

  // Every position in one call, compared with the kept ones: a stroke
  // usually finds them unchanged (the buffers swap, so neither is
  // allocated again while the vertex count stays).
  std::vector<MQPoint>& read = brush_.read;
  read.resize(static_cast<size_t>(vertices));
  HostApi().MQObj_GetVertexArray(obj, read.data());
  const bool same_positions =
      view.positions.size() == read.size() &&
      std::memcmp(view.positions.data(), read.data(), read.size() * sizeof(MQPoint)) == 0;
  if (!same_positions) {
    view.positions.swap(read);
    // Samples: the corners of the bounding box and a few vertices.
    FVECTOR3 lo, hi;
    for (size_t v = 0; v < view.positions.size(); ++v) {
      const MQPoint& p = view.positions[v];
      lo = v == 0 ? FVECTOR3(p.x, p.y, p.z) : FVECTOR3(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z));
      hi = v == 0 ? FVECTOR3(p.x, p.y, p.z) : FVECTOR3(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z));
    }
    view.samples.clear();
    for (int i = 0; i < 8; ++i) {
      view.samples.emplace_back((i & 1) ? hi.x : lo.x, (i & 2) ? hi.y : lo.y, (i & 4) ? hi.z : lo.z);
    }
    for (int v : {0, vertices / 2, vertices - 1}) {
      const MQPoint& p = view.positions[static_cast<size_t>(v)];
      view.samples.emplace_back(p.x, p.y, p.z);
    }
  }
  // Checked against the host on every brush: this is what notices a change
  // of view.
  SCREEN_PROJECTOR projector;
  projector.Calibrate(scene, view.samples);
  if (same_positions && view.screen.size() == view.positions.size() && projector.SameAs(view.projector)) {
    return view;
  }
  view.projector = projector;
  view.screen.resize(view.positions.size());
  constexpr float kUnplaced = std::numeric_limits<float>::quiet_NaN();
  for (size_t v = 0; v < view.positions.size(); ++v) {
    const MQPoint& p = view.positions[v];
    double x = 0.0, y = 0.0;
    view.screen[v] = projector.Project(FVECTOR3(p.x, p.y, p.z), x, y)
                         ? FVECTOR2(static_cast<float>(x), static_cast<float>(y))
                         : FVECTOR2(kUnplaced, kUnplaced);
  }
  return view;
}

// The distance test takes the host's conversion as the truth: the projector
// only decides the vertices that lie clearly inside or outside the circle,
// and the host's own answer decides the rest. The faces' visibility is asked
// for only when some vertex lies within the circle.
template <typename Hit>
void MED_USELECT::BrushObject(MQScene scene, MQObject obj, const FVECTOR2& centre, float radius, Hit&& hit) {
  const MQHostApi& api = HostApi();
  const int faces = api.MQObj_GetFaceCount(obj);
  const int vertices = api.MQObj_GetVertexCount(obj);
  if (faces <= 0 || vertices <= 0) return;
  const BrushView& view = ViewOf(scene, obj, vertices);
  const SCREENCONVMQ host(scene);

  // Within this many pixels of the circle the host decides; the kept screen
  // points are floats, so the margin also covers their rounding near the
  // circle.
  const double reach = std::fabs(centre.x) + std::fabs(centre.y) + radius + 1.0;
  const double margin = 0.05 + reach * 1e-6;
  const double r = radius;
  const double inner2 = r > margin ? (r - margin) * (r - margin) : -1.0;
  const double outer2 = (r + margin) * (r + margin);
  const float r2 = radius * radius;
  std::vector<std::pair<int, float>>& candidates = brush_.candidates;
  candidates.clear();
  for (int v = 0; v < vertices; ++v) {
    const FVECTOR2& s = view.screen[static_cast<size_t>(v)];
    const double dx = static_cast<double>(s.x) - centre.x, dy = static_cast<double>(s.y) - centre.y;
    const double d2 = dx * dx + dy * dy;
    // An unplaced point (NaN) passes neither test and goes to the host.
    if (d2 > outer2) continue;
    if (d2 < inner2) {
      candidates.emplace_back(v, static_cast<float>(d2));
      continue;
    }
    const MQPoint& p = view.positions[static_cast<size_t>(v)];
    const FVECTOR3 h = host.WorldToScreen(FVECTOR3(p.x, p.y, p.z));
    const float hx = h.x - centre.x, hy = h.y - centre.y;
    const float hd2 = hx * hx + hy * hy;
    if (hd2 <= r2) candidates.emplace_back(v, hd2);
  }
  if (candidates.empty()) return;

  // The host writes every face's flag.
  std::vector<BOOL>& visible = brush_.visible;
  visible.resize(static_cast<size_t>(faces));
  if (!api.MQScene_GetVisibleFace(scene, obj, visible.data())) return;
  std::vector<int>& related = brush_.related;
  for (const auto& [v, d2] : candidates) {
    const int count = api.MQObj_GetVertexRefCount(obj, v);
    if (count <= 0) continue;
    related.resize(static_cast<size_t>(count));
    const int got = std::min(api.MQObj_GetVertexRelatedFaces(obj, v, related.data()), count);
    bool shown = false;
    for (int k = 0; k < got && !shown; ++k) {
      const int f = related[static_cast<size_t>(k)];
      // A face the object hides does not count, whatever the scene says.
      shown = f >= 0 && f < faces && visible[static_cast<size_t>(f)] != FALSE && api.MQObj_GetFaceVisible(obj, f);
    }
    if (shown) hit(v, d2);
  }
}

int MED_USELECT::PickVertices(MQDocument doc, const FVECTOR2& centre, float radius,
                              std::vector<HITVERT>& hits, HITVERT& nearest) {
  hits.clear();
  nearest = HITVERT{};
  if (doc == nullptr) return 0;
  MQScene scene = HostApi().MQDoc_GetScene(doc, 0);
  if (scene == nullptr) return 0;
  float best = 0.0f;
  for (BrushView& view : views_) view.used = false;
  hr::ForEachObject(doc, [&](MQObject obj, int index) {
    BrushObject(scene, obj, centre, radius, [&](int v, float d2) {
      hits.push_back(HITVERT{index, v});
      if (nearest.object < 0 || d2 < best) {
        best = d2;
        nearest = HITVERT{index, v};
      }
    });
  });
  // Objects gone from the document, or without faces now, keep no memory.
  views_.erase(std::remove_if(views_.begin(), views_.end(), [](const BrushView& v) { return !v.used; }),
               views_.end());
  return hits.empty() ? 0 : 1;
}

int MED_USELECT::PickObjectVertices(MQDocument doc, int32_t object_uid, const FVECTOR2& centre,
                                    float radius, std::vector<int32_t>& hits, int32_t& nearest) {
  hits.clear();
  nearest = -1;
  if (doc == nullptr) return 0;
  MQScene scene = HostApi().MQDoc_GetScene(doc, 0);
  MQObject obj = nullptr;
  hr::ForEachObject(doc, [&](MQObject o, int) {
    if (obj == nullptr && hr::UniqueId(o) == object_uid) obj = o;
  });
  if (scene == nullptr || obj == nullptr) return 0;
  float best = 0.0f;
  BrushObject(scene, obj, centre, radius, [&](int v, float d2) {
    hits.push_back(v);
    if (nearest < 0 || d2 < best) {
      best = d2;
      nearest = v;
    }
  });
  return hits.empty() ? 0 : 1;
}
