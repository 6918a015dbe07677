#include "rig/vertex_follow.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "rig/hierarchy.h"
#include "sdk/host_api.h"

namespace quorvel {

namespace {

FMATRIX FromRows(const FVECTOR3& r0, const FVECTOR3& r1, const FVECTOR3& r2) {
  return {r0.x, r0.y, r0.z, 0.0f, r1.x, r1.y, r1.z, 0.0f, r2.x, r2.y, r2.z, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f};
}

// A unit vector perpendicular to the unit vector a.
FVECTOR3 AnyPerpendicular(const FVECTOR3& a) {
  const FVECTOR3 axis = std::fabs(a.x) < 0.9f ? FVECTOR3(1.0f, 0.0f, 0.0f) : FVECTOR3(0.0f, 1.0f, 0.0f);
  return Cross(a, axis).Normalized();
}

// The turn (and stretch) of the mesh about its pivot that takes the bone from
// q (pivot to child, before) to r (after).
FMATRIX BoneTurn(int mode, const FVECTOR3& q, const FVECTOR3& r) {
  const float q_length = q.Length();
  // A bone without length has no direction to follow.
  if (!(q_length > 0.0f)) return FMATRIX::kIdentity;
  const float k = r.Length() / q_length;
  const FVECTOR3 a = q.Normalized();
  const FVECTOR3 b = r.Normalized();
  if (Dot(a, b) >= kFollowSameDirection && std::fabs(k - 1.0f) <= kFollowLengthTolerance) {
    return FMATRIX::kIdentity;
  }
  FVECTOR3 n = Cross(a, b);
  // Opposite (or equal) directions: any axis across the bone turns it.
  n = n.Length() > 1e-6f ? n.Normalized() : AnyPerpendicular(a);
  const FVECTOR3 u = Cross(n, a).Normalized();
  FVECTOR3 g = Cross(n, b).Normalized();
  FMATRIX p, target;
  switch (mode) {
    case kFollowZScale:
      p = FromRows(u, n, q);
      target = FromRows(g, n, r);
      break;
    case kFollowScale:
      g = g * k;
      p = FromRows(u, n, a);
      target = FromRows(g, n * k, b * k);
      break;
    default:  // kFollowRotate
      p = FromRows(u, n, a);
      target = FromRows(g, n, b);
      break;
  }
  return p.Inverse() * target;
}

// Kept out of line and with the host's entry in a local: inside the caller,
// every host call made the compiler reload the matrix, the counter and the
// table from memory (about a sixth of a million-vertex step).
[[gnu::noinline]] void WriteVertices(MQObject obj, const FMATRIX& m, const FVECTOR3* source, int count) {
  auto* const set_vertex = HostApi().MQObj_SetVertex;
  const float m00 = m(0, 0), m01 = m(0, 1), m02 = m(0, 2);
  const float m10 = m(1, 0), m11 = m(1, 1), m12 = m(1, 2);
  const float m20 = m(2, 0), m21 = m(2, 1), m22 = m(2, 2);
  const float tx = m(3, 0), ty = m(3, 1), tz = m(3, 2);
  for (int j = 0; j < count; ++j) {
    const FVECTOR3& p = source[j];
    const MQPoint point{p.x * m00 + p.y * m10 + p.z * m20 + tx, p.x * m01 + p.y * m11 + p.z * m21 + ty,
                        p.x * m02 + p.y * m12 + p.z * m22 + tz};
    set_vertex(obj, j, &point);
  }
}

}  // namespace

FMATRIX VertexFollowMatrix(int mode, const FMATRIX& old_global, const FMATRIX& new_global,
                           bool child, const FVECTOR3& old_child, const FVECTOR3& new_child) {
  switch (mode) {
    case kFollowLocal: return old_global.Inverse() * new_global;
    case kFollowRotate:
    case kFollowZScale:
    case kFollowScale: break;
    default: return FMATRIX::kIdentity;
  }
  const FVECTOR3 p0 = old_global.GetTranslation();
  const FVECTOR3 p1 = new_global.GetTranslation();
  if (!child) return FMATRIX::Translation(p1 - p0);
  const FMATRIX turn = BoneTurn(mode, old_child - p0, new_child - p1);
  // About the old pivot, then to the new one, so that the mesh stays on its
  // pivot when the pivot itself moves and the bone turns.
  return FMATRIX::Translation(FVECTOR3() - p0) * turn * FMATRIX::Translation(p1);
}

void LinkGlobalMatrixChanges(MQDocument doc, std::vector<GlobalMatrixChange>& changes) {
  std::unordered_map<MQObject, int> listed;
  listed.reserve(changes.size());
  for (size_t i = 0; i < changes.size(); ++i) listed.emplace(changes[i].object, static_cast<int>(i));
  auto position = [&listed](MQObject obj) {
    auto it = obj != nullptr ? listed.find(obj) : listed.end();
    return it != listed.end() ? it->second : -1;
  };
  for (GlobalMatrixChange& change : changes) {
    change.parent = change.first_child = -1;
    if (doc == nullptr || change.object == nullptr) continue;
    change.parent = position(HostApi().MQDoc_GetParentObject(doc, change.object));
    change.first_child = position(FirstChild(doc, change.object));
  }
}

void SetGlobalMatricesWithVertexFollow(MQDocument doc, std::vector<GlobalMatrixChange>& changes,
                                       int mode) {
  if (doc == nullptr) return;
  const MQHostApi& api = HostApi();
  // Matrices, parents first: a child's local matrix is taken against its
  // parent's new global matrix, so a parent that was set forces its children.
  for (GlobalMatrixChange& change : changes) {
    change.set = false;
    if (change.object == nullptr) continue;
    const bool parent_set = change.parent >= 0 && changes[static_cast<size_t>(change.parent)].set;
    const bool differs = !(change.new_global == change.old_global);
    if (!differs && !change.matrix_touched && !parent_set) continue;
    SetObjectGlobalMatrix(doc, change.object, change.new_global);
    change.set = true;
    change.matrix_touched = differs;
  }
  if (mode == kFollowNone) return;

  for (GlobalMatrixChange& change : changes) {
    if (change.object == nullptr || change.vertices == nullptr) continue;
    const bool child = change.first_child >= 0;
    FVECTOR3 old_child, new_child;
    if (child) {
      const GlobalMatrixChange& c = changes[static_cast<size_t>(change.first_child)];
      old_child = c.old_global.GetTranslation();
      new_child = c.new_global.GetTranslation();
    }
    const FMATRIX v =
        VertexFollowMatrix(mode, change.old_global, change.new_global, child, old_child, new_child);
    const bool identity = v == FMATRIX::kIdentity;
    if (identity && !change.vertices_touched) continue;
    const std::vector<FVECTOR3>& source = *change.vertices;
    const int count = std::min(static_cast<int>(source.size()), api.MQObj_GetVertexCount(change.object));
    WriteVertices(change.object, v, source.data(), count);
    change.vertices_touched = !identity;
  }
}

}  // namespace quorvel
