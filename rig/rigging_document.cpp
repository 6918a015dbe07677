#include "rig/rigging_document.h"

#include <algorithm>

#include "rig/host_records.h"
#include "rig/rig_access.h"
#include "rig/weight_record.h"
#include "sdk/host_api.h"

namespace quorvel {

namespace hr = host_records;

RigMesh ReadRigMesh(MQObject obj) {
  RigMesh mesh;
  if (obj == nullptr) return mesh;
  const auto& api = HostApi();
  const int n = std::max(hr::VertexCount(obj), 0);
  std::vector<MQPoint> points(static_cast<size_t>(n));
  if (n > 0) api.MQObj_GetVertexArray(obj, points.data());
  mesh.positions.resize(points.size());
  for (size_t v = 0; v < points.size(); ++v)
    mesh.positions[v] = FVECTOR3(points[v].x, points[v].y, points[v].z);
  const int faces = std::max(api.MQObj_GetFaceCount(obj), 0);
  mesh.face_start.reserve(static_cast<size_t>(faces) + 1);
  std::vector<int> corners;
  for (int f = 0; f < faces; ++f) {
    const int count = api.MQObj_GetFacePointCount(obj, f);
    if (count <= 0) continue;  // an empty position of the face list
    corners.assign(static_cast<size_t>(count), -1);
    api.MQObj_GetFacePointArray(obj, f, corners.data());
    mesh.face_vertices.insert(mesh.face_vertices.end(), corners.begin(), corners.end());
    mesh.face_start.push_back(static_cast<int32_t>(mesh.face_vertices.size()));
  }
  return mesh;
}

std::vector<RigBone> ReadRigBones(MQDocument doc, const RigSlotTable& slots, BoneSet set, MQObject skip,
                                  std::vector<MQObject>* objects) {
  std::vector<RigBone> bones;
  std::vector<MQObject> bone_objects;
  if (doc == nullptr) return bones;
  const auto& api = HostApi();
  // Document index -> position in `bones`, to find each bone's nearest
  // listed ancestor.
  const int count = std::max(api.MQDoc_GetObjectCount(doc), 0);
  std::vector<int> listed(static_cast<size_t>(count), -1);
  hr::ForEachObject(doc, [&](MQObject obj, int index) {
    if (obj == skip) return;
    OBase rec;
    if (GetBoneRecord(obj, slots, rec) && (rec.flags & OBase::OB_RIG) == 0) return;
    MQObject child = hr::FirstChild(doc, obj);
    if (set == BoneSet::kSegments && child == nullptr) return;
    RigBone bone;
    bone.id = hr::UniqueId(obj);
    char name[kNameBytes] = {};
    api.MQObj_GetName(obj, name, static_cast<int>(sizeof name));
    bone.name = std::string(NameOf(name));
    bone.head = hr::Pivot(doc, obj);
    bone.tail = child != nullptr ? hr::Pivot(doc, child) : bone.head;
    for (MQObject parent = api.MQDoc_GetParentObject(doc, obj); parent != nullptr;
         parent = api.MQDoc_GetParentObject(doc, parent)) {
      const int p = api.MQDoc_GetObjectIndex(doc, parent);
      if (p >= 0 && p < count && listed[static_cast<size_t>(p)] >= 0) {
        bone.parent = listed[static_cast<size_t>(p)];
        break;
      }
    }
    listed[static_cast<size_t>(index)] = static_cast<int>(bones.size());
    bones.push_back(std::move(bone));
    bone_objects.push_back(obj);
  });
  if (objects != nullptr) *objects = std::move(bone_objects);
  return bones;
}

std::vector<VWeight> ReadObjectWeights(MQObject obj, const RigSlotTable& slots) {
  const int n = std::max(hr::VertexCount(obj), 0);
  VWeight empty;
  Init(empty);
  std::vector<VWeight> weights(static_cast<size_t>(n), empty);
  if (n > 0 && HasWeights(obj, slots) && !hr::ReadVertices(obj, slots.VWeight(), n, weights.data())) {
    // Fall back to single reads: a vertex the host cannot read stays empty.
    for (int v = 0; v < n; ++v) {
      VWeight rec;
      weights[static_cast<size_t>(v)] = GetVertexWeights(obj, slots, v, rec) ? rec : empty;
    }
  }
  for (VWeight& rec : weights) Sanitize(rec);
  return weights;
}

bool WriteObjectWeights(MQObject obj, const RigSlotTable& slots, const std::vector<VWeight>& weights) {
  const int n = hr::VertexCount(obj);
  if (obj == nullptr || n != static_cast<int>(weights.size())) return false;
  if (n == 0) return true;
  return hr::WriteVertices(obj, slots.VWeight(), n, weights.data());
}

std::vector<uint8_t> SelectedVertices(MQDocument doc, MQObject obj) {
  const int n = std::max(hr::VertexCount(obj), 0);
  std::vector<uint8_t> selected(static_cast<size_t>(n), 0);
  if (doc == nullptr || obj == nullptr) return selected;
  const int index = HostApi().MQDoc_GetObjectIndex(doc, obj);
  if (index < 0) return selected;
  for (int v = 0; v < n; ++v)
    selected[static_cast<size_t>(v)] = HostApi().MQDoc_IsSelectVertex(doc, index, v) ? 1 : 0;
  return selected;
}

}  // namespace quorvel
