#include "rig/rig_access.h"

#include "rig/host_records.h"
#include "rig/weight_record.h"
#include "sdk/host_api.h"

namespace quorvel {

namespace hr = host_records;

namespace {

// Reads the bone record, lets `change` edit it and writes it back; nothing
// happens when the object has no record.
template <typename F>
bool ModifyBoneRecord(MQObject obj, const RigSlotTable& slots, F change) {
  OBase rec;
  if (!hr::ReadObject(obj, slots.OBase(), rec)) return false;
  change(rec);
  return hr::WriteExistingObject(obj, slots.OBase(), rec);
}

// A field of the bone record, or `fallback` when there is none.
template <typename T, typename F>
T BoneField(MQObject obj, const RigSlotTable& slots, T fallback, F field) {
  OBase rec;
  return hr::ReadObjectInPlace(obj, slots.OBase(), rec) ? field(rec) : fallback;
}

bool ValidMorphIndex(int k) { return k >= 0 && k < kMaxMorphTargets; }
bool ValidGroupIndex(int g) { return g >= 0 && g < kMaxMorphGroups; }

}  // namespace

// ---------------------------------------------------------------- bone record

bool GetBoneRecord(MQObject obj, const RigSlotTable& slots, OBase& out) {
  return hr::ReadObject(obj, slots.OBase(), out);
}

bool SetBoneRecord(MQObject obj, const RigSlotTable& slots, const OBase& rec) {
  return hr::WriteObject(obj, slots.OBase(), rec);
}

bool HasBoneRecord(MQObject obj, const RigSlotTable& slots) {
  return hr::HasObject<OBase>(obj, slots.OBase());
}

uint32_t GetBoneFlags(MQObject obj, const RigSlotTable& slots) {
  return BoneField(obj, slots, uint32_t{0}, [](const OBase& r) { return r.flags; });
}
bool SetBoneFlags(MQObject obj, const RigSlotTable& slots, uint32_t flags) {
  return ModifyBoneRecord(obj, slots, [&](OBase& r) { r.flags = flags; });
}

bool GetBoneFlag(MQObject obj, const RigSlotTable& slots, OBase::Flag bit) {
  return (GetBoneFlags(obj, slots) & bit) != 0;
}
bool SetBoneFlag(MQObject obj, const RigSlotTable& slots, OBase::Flag bit, bool on) {
  return ModifyBoneRecord(obj, slots, [&](OBase& r) {
    r.flags = on ? (r.flags | bit) : (r.flags & ~static_cast<uint32_t>(bit));
  });
}

int32_t GetSavedVisibility(MQObject obj, const RigSlotTable& slots) {
  return BoneField(obj, slots, int32_t{0}, [](const OBase& r) { return r.saved_visibility; });
}
bool SetSavedVisibility(MQObject obj, const RigSlotTable& slots, int32_t visibility) {
  return ModifyBoneRecord(obj, slots, [&](OBase& r) { r.saved_visibility = visibility; });
}

int32_t GetCurrentMorphIndex(MQObject obj, const RigSlotTable& slots) {
  return BoneField(obj, slots, int32_t{-1}, [](const OBase& r) { return r.current_morph; });
}
bool SetCurrentMorphIndex(MQObject obj, const RigSlotTable& slots, int32_t index) {
  if (index < -1 || index >= kMaxMorphTargets) return false;
  return ModifyBoneRecord(obj, slots, [&](OBase& r) { r.current_morph = index; });
}

int32_t GetBoneReserved(MQObject obj, const RigSlotTable& slots) {
  return BoneField(obj, slots, int32_t{-1}, [](const OBase& r) { return r.reserved; });
}
bool SetBoneReserved(MQObject obj, const RigSlotTable& slots, int32_t value) {
  return ModifyBoneRecord(obj, slots, [&](OBase& r) { r.reserved = value; });
}

UCOLOR GetWeightColour(MQObject obj, const RigSlotTable& slots) {
  return BoneField(obj, slots, UCOLOR(0, 0, 0, 0), [](const OBase& r) { return r.weight_colour; });
}
bool SetWeightColour(MQObject obj, const RigSlotTable& slots, const UCOLOR& colour) {
  return ModifyBoneRecord(obj, slots, [&](OBase& r) { r.weight_colour = colour; });
}

bool GetRotationLimits(MQObject obj, const RigSlotTable& slots, FVECTOR3& min, FVECTOR3& max) {
  OBase rec;
  if (!hr::ReadObject(obj, slots.OBase(), rec)) return false;
  min = rec.limit_min;
  max = rec.limit_max;
  return true;
}
bool SetRotationLimits(MQObject obj, const RigSlotTable& slots, const FVECTOR3& min,
                       const FVECTOR3& max) {
  return ModifyBoneRecord(obj, slots, [&](OBase& r) {
    r.limit_min = min;
    r.limit_max = max;
  });
}

int32_t GetIkTarget(MQObject obj, const RigSlotTable& slots) {
  return BoneField(obj, slots, int32_t{-1}, [](const OBase& r) { return r.ik_target; });
}
bool SetIkTarget(MQObject obj, const RigSlotTable& slots, int32_t target) {
  return ModifyBoneRecord(obj, slots, [&](OBase& r) { r.ik_target = target; });
}
int32_t GetIkType(MQObject obj, const RigSlotTable& slots) {
  return BoneField(obj, slots, int32_t{0}, [](const OBase& r) { return r.ik_type; });
}
bool SetIkType(MQObject obj, const RigSlotTable& slots, int32_t type) {
  return ModifyBoneRecord(obj, slots, [&](OBase& r) { r.ik_type = type; });
}

// ---------------------------------------------------------------- pick tests

bool IsPickableBone(MQObject obj, const RigSlotTable& slots, const RigEditState& state) {
  return state.BonesShown() && GetBoneFlag(obj, slots, OBase::OB_RIG);
}
bool CanPickPivot(MQObject obj, const RigSlotTable& slots, const RigEditState& state) {
  return IsPickableBone(obj, slots, state) && (state.pick_masks & RigEditState::kPickMaskPivot) == 0;
}
bool CanPickRoll(MQObject obj, const RigSlotTable& slots, const RigEditState& state) {
  return IsPickableBone(obj, slots, state) && (state.pick_masks & RigEditState::kPickMaskRoll) == 0 &&
         state.RollShown();
}
bool CanPickBody(MQObject obj, const RigSlotTable& slots, const RigEditState& state) {
  return IsPickableBone(obj, slots, state) && (state.pick_masks & RigEditState::kPickMaskBody) == 0;
}

// ---------------------------------------------------------------- pose slots

bool GetPoseTSQ(MQObject obj, const RigSlotTable& slots, int pose_id, OPoseTSQ& out) {
  return hr::ReadObject(obj, slots.PoseTSQ(pose_id), out);
}
bool SetPoseTSQ(MQObject obj, const RigSlotTable& slots, int pose_id, const OPoseTSQ& tsq) {
  return hr::WriteObject(obj, slots.PoseTSQ(pose_id), tsq);
}
bool GetPoseMorph(MQObject obj, const RigSlotTable& slots, int pose_id, OPoseMorph& out) {
  return hr::ReadObject(obj, slots.PoseMorph(pose_id), out);
}
bool SetPoseMorph(MQObject obj, const RigSlotTable& slots, int pose_id, const OPoseMorph& morph) {
  return hr::WriteObject(obj, slots.PoseMorph(pose_id), morph);
}

bool SetPoseMorphWeight(MQObject obj, const RigSlotTable& slots, int pose_id, int index, float w) {
  if (!ValidMorphIndex(index)) return false;
  OPoseMorph morph;
  hr::ReadObject(obj, slots.PoseMorph(pose_id), morph);
  morph.weight[index] = w;
  return hr::WriteObject(obj, slots.PoseMorph(pose_id), morph);
}

float GetPoseMorphWeight(MQObject obj, const RigSlotTable& slots, int pose_id, int index) {
  OPoseMorph morph;
  if (!hr::ReadObject(obj, slots.PoseMorph(pose_id), morph)) return 0.0f;
  if (index == -1) return BaseWeight(morph);
  return ValidMorphIndex(index) ? morph.weight[index] : 0.0f;
}

float GetPoseBaseWeight(MQObject obj, const RigSlotTable& slots, int pose_id) {
  OPoseMorph morph;
  return hr::ReadObject(obj, slots.PoseMorph(pose_id), morph) ? BaseWeight(morph) : 1.0f;
}

FMATRIX GetWorldMatrix(MQObject obj, const RigSlotTable& slots) {
  OWMT rec;
  hr::ReadObjectOr(obj, slots.OWMT(), OWMT{}, rec);
  return rec.matrix;
}
bool SetWorldMatrix(MQObject obj, const RigSlotTable& slots, const FMATRIX& m) {
  return hr::WriteObject(obj, slots.OWMT(), OWMT{m});
}

// ---------------------------------------------------------------- morph slots

bool HasMorphTargetRecord(MQObject obj, const RigSlotTable& slots, int k) {
  return hr::HasObject<OMorphTarget>(obj, slots.MorphTarget(k));
}

int CountMorphTargets(MQObject obj, const RigSlotTable& slots) {
  int count = 0;
  for (int k = 0; k < kMaxMorphTargets; ++k) count += HasMorphTargetRecord(obj, slots, k) ? 1 : 0;
  return count;
}

int FirstFreeMorphTarget(MQObject obj, const RigSlotTable& slots) {
  if (obj == nullptr) return -1;
  for (int k = 0; k < kMaxMorphTargets; ++k) {
    if (!HasMorphTargetRecord(obj, slots, k)) return k;
  }
  return -1;
}

bool GetMorphTargetRecord(MQObject obj, const RigSlotTable& slots, int k, OMorphTarget& out) {
  return hr::ReadObject(obj, slots.MorphTarget(k), out);
}

bool SetMorphTargetRecord(MQObject obj, const RigSlotTable& slots, int k, const OMorphTarget& rec) {
  OMorphTarget stored = rec;
  SetName(stored.name, NameOf(rec.name));
  return hr::WriteExistingObject(obj, slots.MorphTarget(k), stored);
}

bool HasMorphShape(MQObject obj, const RigSlotTable& slots, int k) {
  return hr::HasVertexSlot<VMorphTarget>(obj, slots.MorphShape(k));
}

bool AnyMorphShape(MQObject obj, const RigSlotTable& slots) {
  for (int k = 0; k < kMaxMorphTargets; ++k) {
    if (HasMorphShape(obj, slots, k)) return true;
  }
  return false;
}

bool StoreShape(MQObject obj, const RigSlotTable& slots, int k) {
  const int32_t slot = slots.MorphShape(k);
  if (obj == nullptr || slot <= 0) return false;
  if (!HostApi().MQObj_AllocVertexUserData(obj, slot)) return false;
  const int count = hr::VertexCount(obj);
  bool ok = true;
  for (int v = 0; v < count; ++v) {
    MQPoint p{0.0f, 0.0f, 0.0f};
    HostApi().MQObj_GetVertex(obj, v, &p);
    VMorphTarget rec;
    rec.position = FVECTOR3(p.x, p.y, p.z);
    rec.valid = 1;
    ok = hr::WriteVertex(obj, slot, v, rec) && ok;
  }
  return ok;
}

int FindMorphGroup(MQObject obj, const RigSlotTable& slots, std::string_view name) {
  const std::string_view wanted = BoundedName(name);
  for (int g = 0; g < kMaxMorphGroups; ++g) {
    OMorphGroup rec;
    if (hr::ReadObject(obj, slots.MorphGroup(g), rec) && NameOf(rec.name) == wanted) return g;
  }
  return -1;
}

int FindOrCreateMorphGroup(MQObject obj, const RigSlotTable& slots, std::string_view name) {
  if (obj == nullptr) return -1;
  const int found = FindMorphGroup(obj, slots, name);
  if (found >= 0) return found;
  for (int g = 0; g < kMaxMorphGroups; ++g) {
    if (hr::HasObject<OMorphGroup>(obj, slots.MorphGroup(g))) continue;
    OMorphGroup rec;
    SetName(rec.name, name);
    return hr::WriteObject(obj, slots.MorphGroup(g), rec) ? g : -1;
  }
  return -1;
}

bool GetMorphGroupName(MQObject obj, const RigSlotTable& slots, int g, std::string& name) {
  OMorphGroup rec;
  if (!ValidGroupIndex(g) || !hr::ReadObject(obj, slots.MorphGroup(g), rec)) return false;
  name.assign(NameOf(rec.name));
  return true;
}

// ---------------------------------------------------------------- vertex weights

VWeight OwnObjectDefault(MQObject obj) {
  VWeight rec;
  Init(rec);
  SetOwn(rec, hr::UniqueId(obj));
  return rec;
}

bool HasWeights(MQObject obj, const RigSlotTable& slots) {
  return hr::HasVertexSlot<VWeight>(obj, slots.VWeight());
}

void FreeWeights(MQObject obj, const RigSlotTable& slots) { hr::FreeVertexSlot(obj, slots.VWeight()); }

bool GetVertexWeights(MQObject obj, const RigSlotTable& slots, int vertex, VWeight& out) {
  return hr::ReadVertex(obj, slots.VWeight(), vertex, out);
}

bool SetVertexWeights(MQObject obj, const RigSlotTable& slots, int vertex, const VWeight& rec) {
  return hr::WriteVertex(obj, slots.VWeight(), vertex, rec);
}

}  // namespace quorvel
