#include "rig/bone_points.h"

#include "rig/host_records.h"

namespace quorvel {

namespace hr = host_records;

BonePoints GetBonePoints(MQDocument doc, MQObject obj) {
  const FVECTOR3 pivot = hr::Pivot(doc, obj);
  MQObject child = obj != nullptr && doc != nullptr ? hr::FirstChild(doc, obj) : nullptr;
  return child != nullptr ? BonePointsTo(pivot, hr::Pivot(doc, child)) : BonePointsTo(pivot, pivot, false);
}

}  // namespace quorvel
