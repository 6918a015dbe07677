#pragma once
// Aligning the selected pivots of the rest skeleton on a plane: every
// selected pivot's coordinate along one axis of a frame is set to the
// frame's own, so the pivots line up across that axis. The meshes follow
// as the move tool's vertex follow modes say.
#include "math/fmath.h"
#include "rig/edit_state.h"
#include "rig/slot_table.h"
#include "sdk/mq_types.h"

namespace quorvel {

// The frame of a bone: origin at its pivot, rows x, y and z with z along the
// bone and y toward its roll point. False (and the identity) when the object
// has no child or the bone has no length.
bool BoneFrame(MQDocument doc, MQObject obj, FMATRIX& frame);

// Moves the pivot of every visible, unlocked object whose pivot is selected
// so that its coordinate on `axis` (0 X, 1 Y, 2 Z) of `frame` becomes 0,
// the frame's origin's; the objects keep their rotation and scale, every
// other object keeps its place, and meshes follow by `follow_mode`
// (VertexFollowMode). True when a pivot moved.
bool AlignSelectedPivots(MQDocument doc, const RigSlotTable& slots, const RigEditState& state,
                         int axis, const FMATRIX& frame, int follow_mode);

}  // namespace quorvel
