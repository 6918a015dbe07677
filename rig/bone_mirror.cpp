#include "rig/bone_mirror.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "rig/hierarchy.h"
#include "rig/host_records.h"
#include "rig/rigging_document.h"
#include "rig/weight_mirror.h"
#include "sdk/host_api.h"

namespace quorvel {

namespace hr = host_records;

namespace {

struct ObjectDeleter {
  void operator()(MQObject obj) const { HostApi().MQObj_Delete(obj); }
};
// An object made but not yet taken by the document.
using OwnedObject = std::unique_ptr<std::remove_pointer_t<MQObject>, ObjectDeleter>;

FVECTOR3 Mirrored(const FVECTOR3& p) { return FVECTOR3(-p.x, p.y, p.z); }

std::string NameOf(MQObject obj) {
  char name[kNameBytes] = {};
  HostApi().MQObj_GetName(obj, name, static_cast<int>(sizeof name));
  return std::string(quorvel::NameOf(name));
}

bool IsInside(MQDocument doc, MQObject obj, MQObject ancestor) {
  for (MQObject p = HostApi().MQDoc_GetParentObject(doc, obj); p != nullptr;
       p = HostApi().MQDoc_GetParentObject(doc, p)) {
    if (p == ancestor) return true;
  }
  return false;
}

// The object and its descendants, in document order.
std::vector<MQObject> Subtree(MQDocument doc, MQObject root) {
  std::vector<MQObject> objects;
  const int count = HostApi().MQDoc_GetObjectCount(doc);
  const int first = HostApi().MQDoc_GetObjectIndex(doc, root);
  if (first < 0) return objects;
  objects.push_back(root);
  for (int i = first + 1; i < count; ++i) {
    MQObject obj = HostApi().MQDoc_GetObject(doc, i);
    if (obj == nullptr) continue;
    if (!IsInside(doc, obj, root)) break;
    objects.push_back(obj);
  }
  return objects;
}

// The mirrored mesh of `from` into the fresh object `to`.
void CopyMirroredMesh(MQObject from, MQObject to) {
  const auto& api = HostApi();
  const RigMesh mesh = ReadRigMesh(from);
  for (const FVECTOR3& p : mesh.positions) {
    MQPoint point{-p.x, p.y, p.z};
    api.MQObj_AddVertex(to, &point);
  }
  const int faces = std::max(api.MQObj_GetFaceCount(from), 0);
  std::vector<int> corners;
  for (int f = 0; f < faces; ++f) {
    const int count = api.MQObj_GetFacePointCount(from, f);
    if (count <= 0) continue;
    corners.assign(static_cast<size_t>(count), 0);
    api.MQObj_GetFacePointArray(from, f, corners.data());
    // A reflection turns the winding over; reversing it keeps the face's front outward.
    std::reverse(corners.begin(), corners.end());
    const int added = api.MQObj_AddFace(to, count, corners.data());
    if (added >= 0) api.MQObj_SetFaceMaterial(to, added, api.MQObj_GetFaceMaterial(from, f));
  }
}

}  // namespace

BoneMirrorReport MirrorBoneChains(MQDocument doc, const RigSlotTable& slots,
                                  const std::vector<MQObject>& roots, float tolerance) {
  BoneMirrorReport report;
  if (doc == nullptr) return report;
  const auto& api = HostApi();
  for (MQObject root : roots) {
    if (root == nullptr || api.MQDoc_GetObjectIndex(doc, root) < 0) continue;
    const bool nested = std::any_of(roots.begin(), roots.end(), [&](MQObject other) {
      return other != root && other != nullptr && IsInside(doc, root, other);
    });
    if (nested) continue;
    const FVECTOR3 root_pivot = hr::Pivot(doc, root);
    if (!(std::fabs(root_pivot.x) > tolerance)) {
      ++report.on_plane;
      continue;
    }
    // The pairing is asked afresh for every chain: an earlier chain may have
    // made this one's parent's mirror.
    std::vector<MQObject> objects;
    const std::vector<RigBone> bones = ReadRigBones(doc, slots, BoneSet::kAllObjects, nullptr, &objects);
    const std::vector<int> pairing = PairMirrorBones(bones, tolerance);
    auto mirror_of = [&](MQObject obj) -> MQObject {
      const auto it = std::find(objects.begin(), objects.end(), obj);
      if (it == objects.end()) return nullptr;
      const int i = static_cast<int>(it - objects.begin());
      return pairing[static_cast<size_t>(i)] != i
                 ? objects[static_cast<size_t>(pairing[static_cast<size_t>(i)])]
                 : nullptr;
    };
    if (mirror_of(root) != nullptr) {
      ++report.mirrored;
      continue;
    }
    MQObject parent = api.MQDoc_GetParentObject(doc, root);
    MQObject mirror_parent = parent;
    if (parent != nullptr) {
      if (MQObject m = mirror_of(parent)) mirror_parent = m;
    }
    MQObject after = mirror_parent != nullptr ? LastDescendant(doc, mirror_parent) : nullptr;
    const int base_depth = mirror_parent != nullptr ? hr::Depth(mirror_parent) + 1 : 0;
    const int root_depth = hr::Depth(root);
    MQObject first_made = nullptr;
    for (MQObject source : Subtree(doc, root)) {
      OwnedObject made(api.MQ_CreateObject());
      if (!made) break;
      const std::string name = NameOf(source);
      const std::string mirrored = MirrorBoneName(name);
      const std::string copy_name(BoundedName(mirrored.empty() ? name + "_mirror" : mirrored));
      api.MQObj_SetName(made.get(), copy_name.c_str());
      CopyMirroredMesh(source, made.get());
      const int index = after != nullptr ? api.MQDoc_InsertObject(doc, made.get(), after)
                                         : api.MQDoc_AddObject(doc, made.get());
      if (index < 0) break;
      MQObject placed = made.release();
      api.MQObj_SetIntValue(placed, MQOBJ_ID_DEPTH, base_depth + hr::Depth(source) - root_depth);
      SetObjectPosition(doc, placed, Mirrored(hr::Pivot(doc, source)));
      if (first_made == nullptr) first_made = placed;
      report.copies.emplace_back(source, placed);
      after = placed;
      ++report.made;
    }
    if (first_made != nullptr) report.roots.push_back(first_made);
  }
  return report;
}

}  // namespace quorvel
