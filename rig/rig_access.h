#pragma once
// Reading and writing single rig records and fields of one host object.
//
// Every function takes the object (or document) and the document's slot
// table; a null object does nothing and answers failure. Records are copied
// by value. A record that cannot be read counts as absent: getters then
// answer the documented default and setters of single fields do nothing.
#include <cstdint>
#include <string>
#include <string_view>

#include "math/fmath.h"
#include "rig/edit_state.h"
#include "rig/records.h"
#include "rig/slot_table.h"
#include "sdk/mq_types.h"

namespace quorvel {

// ---------------------------------------------------------------- bone record

// On false `out` is unchanged.
bool GetBoneRecord(MQObject obj, const RigSlotTable& slots, OBase& out);
// Allocates the slot, then writes.
bool SetBoneRecord(MQObject obj, const RigSlotTable& slots, const OBase& rec);
bool HasBoneRecord(MQObject obj, const RigSlotTable& slots);

// Field accessors. Getters on an absent record: flags 0, saved visibility 0,
// current morph target -1, reserved -1, weight colour (0, 0, 0, 0), IK target
// -1, IK type 0; the rotation limits leave the caller's vectors unchanged.
// Setters answer whether they wrote.
uint32_t GetBoneFlags(MQObject obj, const RigSlotTable& slots);
bool SetBoneFlags(MQObject obj, const RigSlotTable& slots, uint32_t flags);
bool GetBoneFlag(MQObject obj, const RigSlotTable& slots, OBase::Flag bit);
bool SetBoneFlag(MQObject obj, const RigSlotTable& slots, OBase::Flag bit, bool on);

int32_t GetSavedVisibility(MQObject obj, const RigSlotTable& slots);
bool SetSavedVisibility(MQObject obj, const RigSlotTable& slots, int32_t visibility);

// The current morph target index field. Only -1..19 is accepted. (Switching
// the shown shape is a separate operation of morph editing.)
int32_t GetCurrentMorphIndex(MQObject obj, const RigSlotTable& slots);
bool SetCurrentMorphIndex(MQObject obj, const RigSlotTable& slots, int32_t index);

int32_t GetBoneReserved(MQObject obj, const RigSlotTable& slots);
bool SetBoneReserved(MQObject obj, const RigSlotTable& slots, int32_t value);

UCOLOR GetWeightColour(MQObject obj, const RigSlotTable& slots);
bool SetWeightColour(MQObject obj, const RigSlotTable& slots, const UCOLOR& colour);

// Both limit vectors together, without range checks.
bool GetRotationLimits(MQObject obj, const RigSlotTable& slots, FVECTOR3& min, FVECTOR3& max);
bool SetRotationLimits(MQObject obj, const RigSlotTable& slots, const FVECTOR3& min,
                       const FVECTOR3& max);

int32_t GetIkTarget(MQObject obj, const RigSlotTable& slots);
bool SetIkTarget(MQObject obj, const RigSlotTable& slots, int32_t target);
int32_t GetIkType(MQObject obj, const RigSlotTable& slots);
bool SetIkType(MQObject obj, const RigSlotTable& slots, int32_t type);

// ---------------------------------------------------------------- pick tests

// Bones are shown and the object is a rig member (OB_RIG).
bool IsPickableBone(MQObject obj, const RigSlotTable& slots, const RigEditState& state);
// ... and the part is not masked; the roll part also needs roll display.
bool CanPickPivot(MQObject obj, const RigSlotTable& slots, const RigEditState& state);
bool CanPickRoll(MQObject obj, const RigSlotTable& slots, const RigEditState& state);
bool CanPickBody(MQObject obj, const RigSlotTable& slots, const RigEditState& state);

// ---------------------------------------------------------------- pose slots
// Pose ids outside 0..19 fail without effect.

bool GetPoseTSQ(MQObject obj, const RigSlotTable& slots, int pose_id, OPoseTSQ& out);
bool SetPoseTSQ(MQObject obj, const RigSlotTable& slots, int pose_id, const OPoseTSQ& tsq);
bool GetPoseMorph(MQObject obj, const RigSlotTable& slots, int pose_id, OPoseMorph& out);
bool SetPoseMorph(MQObject obj, const RigSlotTable& slots, int pose_id, const OPoseMorph& morph);
// Sets one weight (index 0..19) of the record, which starts all zero when
// absent, and writes it back.
bool SetPoseMorphWeight(MQObject obj, const RigSlotTable& slots, int pose_id, int index, float w);
// Index -1: the base weight; 0..19: the weight; otherwise 0. Absent: 0.
float GetPoseMorphWeight(MQObject obj, const RigSlotTable& slots, int pose_id, int index);
// Absent record: 1.
float GetPoseBaseWeight(MQObject obj, const RigSlotTable& slots, int pose_id);

// Identity when absent.
FMATRIX GetWorldMatrix(MQObject obj, const RigSlotTable& slots);
bool SetWorldMatrix(MQObject obj, const RigSlotTable& slots, const FMATRIX& m);

// ---------------------------------------------------------------- morph slots
// Morph and group indices outside 0..19 fail without effect.

bool HasMorphTargetRecord(MQObject obj, const RigSlotTable& slots, int k);
int CountMorphTargets(MQObject obj, const RigSlotTable& slots);
// Lowest k without a record, -1 when all 20 exist.
int FirstFreeMorphTarget(MQObject obj, const RigSlotTable& slots);
bool GetMorphTargetRecord(MQObject obj, const RigSlotTable& slots, int k, OMorphTarget& out);
// Writes an existing record only (no allocation); the name is stored
// truncated and terminated.
bool SetMorphTargetRecord(MQObject obj, const RigSlotTable& slots, int k, const OMorphTarget& rec);

// The vertex slot of morph target k exists (k = -1: the base shape).
bool HasMorphShape(MQObject obj, const RigSlotTable& slots, int k);
bool AnyMorphShape(MQObject obj, const RigSlotTable& slots);
// k in -1..19: allocates the shape slot of k and stores every vertex's
// current position with the valid marker.
bool StoreShape(MQObject obj, const RigSlotTable& slots, int k);

// Lowest g whose group record exists and whose name equals `name` byte for
// byte (both taken to their first 255 bytes); -1 otherwise.
int FindMorphGroup(MQObject obj, const RigSlotTable& slots, std::string_view name);
// FindMorphGroup, else a fresh record with this name in the lowest free g;
// -1 when all 20 are taken.
int FindOrCreateMorphGroup(MQObject obj, const RigSlotTable& slots, std::string_view name);
bool GetMorphGroupName(MQObject obj, const RigSlotTable& slots, int g, std::string& name);

// ---------------------------------------------------------------- vertex weights

// A valid record whose one entry is the object itself at weight 1.0.
VWeight OwnObjectDefault(MQObject obj);

bool HasWeights(MQObject obj, const RigSlotTable& slots);
void FreeWeights(MQObject obj, const RigSlotTable& slots);
bool GetVertexWeights(MQObject obj, const RigSlotTable& slots, int vertex, VWeight& out);
// Allocates the slot (other vertices then read as records without entries).
bool SetVertexWeights(MQObject obj, const RigSlotTable& slots, int vertex, const VWeight& rec);

}  // namespace quorvel
