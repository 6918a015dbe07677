#pragma once
// Taking the rotation and scale out of objects' local transforms: what the
// move panel offers to straighten a rest skeleton whose objects were turned
// or scaled by hand.
#include "rig/edit_state.h"
#include "rig/slot_table.h"
#include "sdk/mq_types.h"

namespace quorvel {

// Gives every target object the local transform that only translates, by the
// local translation it had (rotation angles 0, scale 1). Every other object
// keeps its global matrix, so the children of a target do not move with it;
// meshes stay where they are (the host keeps vertices in document space).
// Targets: with `selected_only`, the visible, unlocked objects whose pivot or
// body is selected, and only while bones are shown (the selection is not
// seen otherwise); else every object. True when a matrix changed; false for a
// null or empty document, or when every target already has neither rotation
// nor scale.
bool ResetLocalRotationScale(MQDocument doc, const RigSlotTable& slots, const RigEditState& state,
                             bool selected_only);

}  // namespace quorvel
