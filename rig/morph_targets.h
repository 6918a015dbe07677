#pragma once
// Morph targets of one object: making, deleting and describing them, and
// switching which one the object's vertices show.
//
// The host vertices always show one shape: the current morph target's (the
// OBase current morph index) or, with index -1, the base shape. While a
// target is current the base shape lives only in the base-shape slot; each
// target's shape lives in its own vertex slot and is up to date except for
// the current one, whose newest state is in the vertices.
//
// Slot-level helpers used here come from rig_access.h: StoreShape (the shown
// positions into the shape slot of -1..19), HasMorphShape, AnyMorphShape,
// CountMorphTargets, FirstFreeMorphTarget, FindOrCreateMorphGroup.
#include <string_view>

#include "rig/rig_access.h"
#include "rig/slot_table.h"
#include "sdk/mq_types.h"

namespace quorvel {

// Group that unnamed or homeless targets join.
constexpr char kBaseMorphGroupName[] = "Base";
// Name of every target made without one.
constexpr char kDefaultMorphTargetName[] = "morph";

// Makes the object's OMorphTarget record `index` (0..19): the given name, or
// "morph" when empty; the given group (found or made), or "Base" when no
// group is named or no group slot is left. The shape slot is not touched.
// False, with nothing made, for a missing object, an index outside 0..19 or
// an index that already has a record.
bool CreateMorphTarget(MQObject obj, const RigSlotTable& slots, int index, std::string_view name,
                       std::string_view group);

// Deletes target `index` (0..19): its record, its stored shape and its
// weight in every pose; the other targets keep theirs. A current target
// gives way to the base shape first. False when there was no such record.
bool DeleteMorphTarget(MQObject obj, const RigSlotTable& slots, int index);

// Renames an existing target (cut to 255 bytes) and moves it to the group of
// that name, found or made (-1 when all 20 groups are taken). False when the
// record is absent.
bool SetMorphTargetProperties(MQObject obj, const RigSlotTable& slots, int index,
                              std::string_view name, std::string_view group_name);

// Moves every vertex to its stored position in the shape slot of k (-1: the
// base shape). Vertices without a valid stored position (added after the
// shape was stored) stay where they are. False when the slot does not exist.
bool ApplyShape(MQObject obj, const RigSlotTable& slots, int k);

// StoreShape for the object's current morph index (-1 without a bone record).
bool StoreCurrentShape(MQObject obj, const RigSlotTable& slots);

// Switches the shown shape to target k (-1: the base shape): the shape shown
// now goes back into the current index's slot, the stored shape of k is
// applied (a target without a stored shape starts as a copy of what was
// shown, and that copy is stored as its shape at once) and k becomes the
// current index. False, with nothing changed, when k already is current, k
// is outside -1..19 or the object has no bone record.
bool SetCurrentMorphTarget(MQObject obj, const RigSlotTable& slots, int k);

}  // namespace quorvel
