#include "rig/bone_points.h"

#include "rig/host_records.h"

namespace quorvel {

namespace hr = host_records;

BonePoints GetBonePoints(MQDocument doc, MQObject obj) {
  const FVECTOR3 pivot = hr::Pivot(doc, obj);
  MQObject child = obj != nullptr && doc != nullptr ? hr::FirstChild(doc, obj) : nullptr;
  return child != nullptr ? BonePointsTo(pivot, hr::Pivot(doc, child)) : BonePointsTo(pivot, pivot, false);
}

BonePoints BonePointsTo(const FVECTOR3& pivot, const FVECTOR3& tail, bool has_body) {
  BonePoints points;
  points.pivot = pivot;
  points.tail = pivot;
  points.roll = pivot;
  if (!has_body) return points;
  points.has_body = true;
  points.tail = tail;
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
