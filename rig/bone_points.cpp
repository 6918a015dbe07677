#include "rig/bone_points.h"

#include "rig/host_records.h"

namespace quorvel {

namespace hr = host_records;

BonePoints GetBonePoints(MQDocument doc, MQObject obj) {
  BonePoints points;
  points.pivot = hr::Pivot(doc, obj);
  points.tail = points.pivot;
  points.roll = points.pivot;
  MQObject child = obj != nullptr && doc != nullptr ? hr::FirstChild(doc, obj) : nullptr;
  if (child == nullptr) return points;
  points.has_body = true;
  points.tail = hr::Pivot(doc, child);
  const FVECTOR3 d = points.tail - points.pivot;
  const float length = d.Length();
  // A vector of length 0 stays 0 here instead of taking the fallback
  // direction: a bone along Y has its roll point at its pivot.
  const FVECTOR3 n = UnitOrZero(d);
  const FVECTOR3 s = UnitOrZero(Cross(n, FVECTOR3(0.0f, 1.0f, 0.0f)));
  const FVECTOR3 u = Cross(s, n);
  points.roll = points.pivot + u * (kRollPointFactor * length);
  return points;
}

BonePoints Transformed(const BonePoints& points, const FMATRIX& m) {
  BonePoints out = points;
  out.pivot = m.TransformPoint(points.pivot);
  out.tail = m.TransformPoint(points.tail);
  out.roll = m.TransformPoint(points.roll);
  return out;
}

}  // namespace quorvel
