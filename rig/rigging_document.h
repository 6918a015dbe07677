#pragma once
// The rigging tools' door to the document: one object's mesh, weights and
// vertex selection, and the rig's bones, copied out of the host for the
// algorithms of rig/auto_weights.h, rig/weight_mirror.h and
// rig/weight_smooth.h, and weights written back in one call.
#include <cstdint>
#include <vector>

#include "rig/records.h"
#include "rig/rigging_mesh.h"
#include "rig/slot_table.h"
#include "sdk/mq_types.h"

namespace quorvel {

// The object's vertices (document space) and faces.
RigMesh ReadRigMesh(MQObject obj);

// Which objects count as bones.
enum class BoneSet {
  // Objects with children, other than the weighted object: the segments
  // weights can follow (a chain's last joint is only its tip).
  kSegments,
  // Every object: anything can carry a pose.
  kAllObjects,
};

// The document's bones in document order, each with its pivot as head, its
// first child's pivot as tail (the head again without children), and its
// nearest ancestor in the list as parent. Objects whose bone record says
// they are not part of the rig (no OB_RIG) are left out; `skip` too.
// `objects` (when given) receives each bone's object.
std::vector<RigBone> ReadRigBones(MQDocument doc, const RigSlotTable& slots, BoneSet set, MQObject skip,
                                  std::vector<MQObject>* objects = nullptr);

// The object's weight records, one per vertex; records without entries
// (valid) when the object has no weights.
std::vector<VWeight> ReadObjectWeights(MQObject obj, const RigSlotTable& slots);
// All records in one call, allocating the slot; false when the host
// refuses or the count is not the object's vertex count.
bool WriteObjectWeights(MQObject obj, const RigSlotTable& slots, const std::vector<VWeight>& weights);

// selected[v] != 0 for the object's selected vertices; all zero when none
// is, or the object is not in the document.
std::vector<uint8_t> SelectedVertices(MQDocument doc, MQObject obj);

}  // namespace quorvel
