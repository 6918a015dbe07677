#pragma once
// Helpers that walk every object of a host document (empty positions in the
// object list are skipped by every walk).
#include <cstdint>

#include "math/fmath.h"
#include "rig/edit_state.h"
#include "rig/records.h"
#include "rig/slot_table.h"
#include "sdk/mq_types.h"

namespace quorvel {

// The default bone record with a random weight colour: r, g and b each
// 128 + rand() % 128, alpha 255.
OBase MakeDefaultBoneRecord();

// Every object without a bone record gets the default one and its current
// vertex positions stored as its base shape. Answers how many were added.
int EnsureRigRecords(MQDocument doc, const RigSlotTable& slots);

// Host visibility into every bone record; and back (an object without a
// record gets 0, hidden).
void SaveVisibility(MQDocument doc, const RigSlotTable& slots);
void RestoreVisibility(MQDocument doc, const RigSlotTable& slots);

// Clears the hover bits of every record.
void ClearHover(MQDocument doc, const RigSlotTable& slots);

// These three act only while bones are shown. SelectAllBones selects pivot
// and body of every visible, unlocked rig member; ClearSelection clears the
// three selection bits of every rig member; DeleteSelectedBones deletes every
// visible, unlocked object whose pivot is selected and answers the count.
void SelectAllBones(MQDocument doc, const RigSlotTable& slots, const RigEditState& state);
void ClearSelection(MQDocument doc, const RigSlotTable& slots, const RigEditState& state);
int DeleteSelectedBones(MQDocument doc, const RigSlotTable& slots, const RigEditState& state);

// Mean of the selected pivots, roll points and body midpoints (through each
// object's posed world matrix when `posed`); roll and body count only for
// objects with a child. False when nothing is selected.
bool SelectionCentre(MQDocument doc, const RigSlotTable& slots, bool posed, FVECTOR3& centre);

// Recomputes the record's display colour from the bones' weight colours.
// With the vertex's object and the edit state given and the edit state's
// current-object-only switch on, only the host's current object colours it;
// otherwise every shown bone adds its colour times its weight.
void UpdateColour(VWeight& rec, MQDocument doc, const RigSlotTable& slots,
                  MQObject object = nullptr, const RigEditState* state = nullptr);

// UpdateColour for every vertex of every object that has weights.
void UpdateWeightColours(MQDocument doc, const RigSlotTable& slots, const RigEditState& state);

}  // namespace quorvel
