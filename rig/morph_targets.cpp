#include "rig/morph_targets.h"

#include "rig/host_records.h"
#include "rig/records.h"
#include "sdk/host_api.h"

namespace quorvel {

namespace hr = host_records;

namespace {

bool ValidMorphIndex(int k) { return k >= 0 && k < kMaxMorphTargets; }

}  // namespace

bool CreateMorphTarget(MQObject obj, const RigSlotTable& slots, int index, std::string_view name,
                       std::string_view group) {
  if (obj == nullptr || !ValidMorphIndex(index) || HasMorphTargetRecord(obj, slots, index)) {
    return false;
  }
  int group_index = -1;
  if (!BoundedName(group).empty()) group_index = FindOrCreateMorphGroup(obj, slots, group);
  if (group_index < 0) group_index = FindOrCreateMorphGroup(obj, slots, kBaseMorphGroupName);

  OMorphTarget rec;
  rec.index = index;
  SetName(rec.name, BoundedName(name).empty() ? std::string_view(kDefaultMorphTargetName) : name);
  rec.group = group_index;
  return hr::WriteObject(obj, slots.MorphTarget(index), rec);
}

bool DeleteMorphTarget(MQObject obj, const RigSlotTable& slots, int index) {
  if (!HasMorphTargetRecord(obj, slots, index)) return false;
  // Left on a deleted target, the vertices would keep its shape with nothing
  // to switch away from it, and leaving it later would store the shape again.
  if (GetCurrentMorphIndex(obj, slots) == index) SetCurrentMorphTarget(obj, slots, -1);
  hr::FreeObject(obj, slots.MorphTarget(index));
  hr::FreeVertexSlot(obj, slots.MorphShape(index));
  // A target made later in the same slot starts with no weight in any pose.
  for (int pose = 0; pose < kMaxPoses; ++pose) {
    OPoseMorph morph;
    if (GetPoseMorph(obj, slots, pose, morph) && morph.weight[index] != 0.0f) {
      morph.weight[index] = 0.0f;
      SetPoseMorph(obj, slots, pose, morph);
    }
  }
  return true;
}

bool SetMorphTargetProperties(MQObject obj, const RigSlotTable& slots, int index,
                              std::string_view name, std::string_view group_name) {
  OMorphTarget rec;
  if (!GetMorphTargetRecord(obj, slots, index, rec)) return false;
  SetName(rec.name, name);
  rec.group = FindOrCreateMorphGroup(obj, slots, group_name);
  return SetMorphTargetRecord(obj, slots, index, rec);
}

bool ApplyShape(MQObject obj, const RigSlotTable& slots, int k) {
  if (!HasMorphShape(obj, slots, k)) return false;
  const int32_t slot = slots.MorphShape(k);
  const int count = hr::VertexCount(obj);
  for (int v = 0; v < count; ++v) {
    VMorphTarget stored;
    // A zeroed record (vertex added after the store) has no position to go to;
    // moving it would collapse the vertex onto the origin.
    if (!hr::ReadVertex(obj, slot, v, stored) || stored.valid != 1) continue;
    const MQPoint p{stored.position.x, stored.position.y, stored.position.z};
    HostApi().MQObj_SetVertex(obj, v, &p);
  }
  return true;
}

bool StoreCurrentShape(MQObject obj, const RigSlotTable& slots) {
  return StoreShape(obj, slots, GetCurrentMorphIndex(obj, slots));
}

bool SetCurrentMorphTarget(MQObject obj, const RigSlotTable& slots, int k) {
  if (k < -1 || k >= kMaxMorphTargets) return false;
  // The current index lives in the bone record; switching shapes without one
  // would leave the vertices showing k while the index still says -1, and the
  // next switch would overwrite the base shape with k.
  OBase bone;
  if (!GetBoneRecord(obj, slots, bone)) return false;
  const int current = bone.current_morph;
  if (k == current) return false;
  StoreShape(obj, slots, current);
  // A target that has no shape yet gets the one it starts from: the document
  // stores only targets with a shape, and a current target missing there
  // would be lost on saving, its edits taken for the base on reopening.
  if (!ApplyShape(obj, slots, k)) StoreShape(obj, slots, k);
  return SetCurrentMorphIndex(obj, slots, k);
}

}  // namespace quorvel
