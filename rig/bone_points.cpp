#include "rig/bone_points.h"

#include "rig/host_records.h"

namespace quorvel {

namespace hr = host_records;

BonePoints GetBonePoints(MQDocument doc, MQObject obj) {
  return GetBonePoints(doc, obj, obj != nullptr && doc != nullptr ? hr::FirstChild(doc, obj) : nullptr);
}

BonePoints GetBonePoints(MQDocument doc, MQObject obj, MQObject first_child) {
  const FVECTOR3 pivot = hr::Pivot(doc, obj);
  return first_child != nullptr ? BonePointsTo(pivot, hr::Pivot(doc, first_child))
                                : BonePointsTo(pivot, pivot, false);
}

}  // namespace quorvel
