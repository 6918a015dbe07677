#include "deform/deformation.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "deform/skinning.h"
#include "rig/host_records.h"
#include "rig/rig_access.h"
#include "rig/weight_record.h"
#include "sdk/host_api.h"

namespace quorvel {

namespace {

int VertexCount(MQObject obj) { return obj != nullptr ? HostApi().MQObj_GetVertexCount(obj) : 0; }
int FaceCount(MQObject obj) { return obj != nullptr ? HostApi().MQObj_GetFaceCount(obj) : 0; }

FVECTOR3 GetVertex(MQObject obj, int v) {
  MQPoint p{0.0f, 0.0f, 0.0f};
  HostApi().MQObj_GetVertex(obj, v, &p);
  return FVECTOR3{p.x, p.y, p.z};
}

// The points of a face; empty for a face the host does not know.
void FacePoints(MQObject obj, int face, std::vector<int>& points) {
  const int n = HostApi().MQObj_GetFacePointCount(obj, face);
  points.assign(static_cast<size_t>(std::max(n, 0)), 0);
  if (n > 0) HostApi().MQObj_GetFacePointArray(obj, face, points.data());
}

// Unit normal of triangle (a, b, c) as the copy's offset uses it.
FVECTOR3 UnitNormal(const FVECTOR3& a, const FVECTOR3& b, const FVECTOR3& c) {
  return Cross(b - c, a - b).Normalized();
}

// Every record of a vertex slot of `obj` at once; empty when the slot is not
// allocated.
template <typename Record>
bool ReadAllVertexRecords(MQObject obj, int32_t slot, int count, std::vector<Record>& out) {
  out.resize(static_cast<size_t>(std::max(count, 0)));
  return host_records::ReadVertices(obj, slot, count, out.data());
}

}  // namespace

bool IsColourCodedName(const char* name) {
  static constexpr char kPrefix[] = "cdef:";
  if (name == nullptr) return false;
  for (int i = 0; i < 5; ++i) {
    if (name[i] == '\0') return false;
    if (std::tolower(static_cast<unsigned char>(name[i])) != kPrefix[i]) return false;
  }
  return true;
}

void BuildCopy(MQObject target, MQObject source, int32_t saved_visibility) {
  if (target == nullptr || source == nullptr) return;
  const MQHostApi& api = HostApi();
  if (saved_visibility == 0) api.MQObj_SetVisible(target, kCopyHidden);
  api.MQObj_SetSmoothAngle(target, api.MQObj_GetSmoothAngle(source));

  const int vertex_count = VertexCount(source);
  const int face_count = FaceCount(source);
  std::vector<FVECTOR3> positions(static_cast<size_t>(vertex_count));
  for (int v = 0; v < vertex_count; ++v) positions[static_cast<size_t>(v)] = GetVertex(source, v);

  // The normal sums, face by face in face order: the same sums, in the same
  // order, as walking each vertex's related faces.
  std::vector<FVECTOR3> normal_sum(static_cast<size_t>(vertex_count));
  std::vector<bool> on_face(static_cast<size_t>(vertex_count), false);
  std::vector<int> points;
  auto valid = [vertex_count](int v) { return v >= 0 && v < vertex_count; };
  for (int f = 0; f < face_count; ++f) {
    FacePoints(source, f, points);
    const int n = static_cast<int>(points.size());
    if (n != 3 && n != 4) continue;
    if (!std::all_of(points.begin(), points.end(), valid)) continue;
    auto at = [&](int i) { return positions[static_cast<size_t>(points[static_cast<size_t>(i)])]; };
    if (n == 3) {
      const FVECTOR3 normal = UnitNormal(at(0), at(1), at(2));
      for (int i = 0; i < 3; ++i) {
        normal_sum[static_cast<size_t>(points[static_cast<size_t>(i)])] += normal;
        on_face[static_cast<size_t>(points[static_cast<size_t>(i)])] = true;
      }
    } else {
      // A quad contributes, at each corner, the triangle of that corner and
      // its two neighbours.
      for (int i = 0; i < 4; ++i) {
        const FVECTOR3 normal = UnitNormal(at((i + 3) % 4), at(i), at((i + 1) % 4));
        normal_sum[static_cast<size_t>(points[static_cast<size_t>(i)])] += normal;
        on_face[static_cast<size_t>(points[static_cast<size_t>(i)])] = true;
      }
    }
  }
  for (int v = 0; v < vertex_count; ++v) {
    FVECTOR3 p = positions[static_cast<size_t>(v)];
    if (on_face[static_cast<size_t>(v)]) {
      p += normal_sum[static_cast<size_t>(v)].Normalized() * kCopyNormalOffset;
    }
    const MQPoint point{p.x, p.y, p.z};
    api.MQObj_AddVertex(target, &point);
  }

  std::vector<MQCoordinate> uvs;
  for (int f = 0; f < face_count; ++f) {
    FacePoints(source, f, points);
    const int n = static_cast<int>(points.size());
    if (n == 0) continue;
    const int added = api.MQObj_AddFace(target, n, points.data());
    if (added < 0) continue;
    api.MQObj_SetFaceMaterial(target, added, api.MQObj_GetFaceMaterial(source, f));
    uvs.assign(static_cast<size_t>(n), MQCoordinate{0.0f, 0.0f});
    api.MQObj_GetFaceCoordinateArray(source, f, uvs.data());
    api.MQObj_SetFaceCoordinateArray(target, added, uvs.data());
    for (int corner = 0; corner < n; ++corner) {
      api.MQObj_SetFaceVertexColor(target, added, corner,
                                   api.MQObj_GetFaceVertexColor(source, f, corner));
    }
    api.MQObj_SetFaceVisible(target, added, api.MQObj_GetFaceVisible(source, f));
  }
}

void DeformCopy(const DeformInputs& in, MQObject target, MQObject source) {
  if (target == nullptr || source == nullptr || in.slots == nullptr) return;
  if (VertexCount(source) <= 0 || FaceCount(source) <= 0) return;
  if (in.matrices == nullptr) return;  // the built positions stay
  SkinCache cache;
  PrepareSkin(in, source, cache);
  SkinScratch scratch;
  ApplySkin(in, target, source, cache, scratch);
}

bool ColourCopy(const RigSlotTable& slots, MQObject target, MQObject source, int material_index) {
  if (target == nullptr || source == nullptr) return false;
  const MQHostApi& api = HostApi();
  const int n = VertexCount(source);
  const int face_count = FaceCount(source);
  if (n <= 0 || face_count <= 0) return false;
  if (api.MQObj_GetVisible(source) == 0 || !HasWeights(source, slots)) {
    api.MQObj_SetVisible(target, kCopyHidden);
    return false;
  }
  api.MQObj_SetVisible(target, kCopyWeightColoured);
  std::vector<VWeight> weights;
  const bool read = ReadAllVertexRecords(source, slots.VWeight(), n, weights);
  std::vector<uint32_t> colours(static_cast<size_t>(n), 0u);
  if (read) {
    for (int v = 0; v < n; ++v) {
      const VWeight& rec = weights[static_cast<size_t>(v)];
      colours[static_cast<size_t>(v)] = static_cast<uint32_t>(rec.colour[0]) |
                                        static_cast<uint32_t>(rec.colour[1]) << 8 |
                                        static_cast<uint32_t>(rec.colour[2]) << 16 | 0xFF000000u;
    }
  }
  const int target_faces = FaceCount(target);
  std::vector<int> points;
  for (int f = 0; f < target_faces; ++f) {
    api.MQObj_SetFaceMaterial(target, f, material_index);
    FacePoints(target, f, points);
    for (size_t corner = 0; corner < points.size(); ++corner) {
      const int v = points[corner];
      api.MQObj_SetFaceVertexColor(target, f, static_cast<int>(corner),
                                   v >= 0 && v < n ? colours[static_cast<size_t>(v)] : 0u);
    }
  }
  return true;
}

}  // namespace quorvel
