#pragma once
// Making the other side's bones: a chain of objects copied across the X = 0
// plane, with mirrored names, pivots and meshes, below the mirror of the
// chain's parent.
#include <utility>
#include <vector>

#include "rig/slot_table.h"
#include "sdk/mq_types.h"

namespace quorvel {

struct BoneMirrorReport {
  int made = 0;                 // objects added
  int on_plane = 0;             // chains whose root lies on the plane (nothing to mirror)
  int mirrored = 0;             // chains whose root already has a mirror bone
  std::vector<MQObject> roots;  // the first added object of each new chain
  // Every added object with the object it mirrors.
  std::vector<std::pair<MQObject, MQObject>> copies;  // (source, copy)
};

// For each of `roots` (roots inside another one's subtree are taken with
// it), the root and its descendants are copied in document order: each
// copy's name is the mirror name (or the name with "_mirror" when it has no
// side marker), its pivot is the mirrored pivot, its vertices mirrored and
// faces reversed so that they still face outward, with the face materials.
// The copies go after the subtree of the root's parent's mirror bone (the
// parent itself when it has none, the end of the list without a parent) at
// the depths that keep the chain's shape. Bone records are the caller's
// (a document model refresh gives the new objects theirs). `tolerance`
// decides what lies on the plane and which bones already have a mirror.
BoneMirrorReport MirrorBoneChains(MQDocument doc, const RigSlotTable& slots,
                                  const std::vector<MQObject>& roots, float tolerance);

}  // namespace quorvel
