#pragma once
// The three points of a bone, shared by picking, drawing, the IK model and
// the selection centre. A bone is an object and its first child: the pivot
// is the object's own, the tail its first child's, and the roll point stands
// off the bone at 0.3 of its length, in the plane of the bone and world Y.
#include <cmath>
#include <limits>

#include "math/fmath.h"
#include "sdk/mq_types.h"

namespace quorvel {

// Document space, or the posed space when taken through a pose matrix.
struct BonePoints {
  FVECTOR3 pivot;
  FVECTOR3 tail;  // the first child's pivot; the pivot when there is no child
  FVECTOR3 roll;  // the pivot when there is no child, or the bone is along Y
  bool has_body = false;  // the object has a child
};

// How far off the bone the roll point stands, in bone lengths.
constexpr float kRollPointFactor = 0.3f;

// The bone points from the host's global matrices. No document or object
// gives three points at the origin and no body.
BonePoints GetBonePoints(MQDocument doc, MQObject obj);
// The same when the caller already knows the object's first child (null for
// none).
BonePoints GetBonePoints(MQDocument doc, MQObject obj, MQObject first_child);
// The same from a pivot and its first child's pivot (`has_body` false: no
// child, and the tail is ignored).
// (Inline: every pick and every frame computes them for every bone.)
inline BonePoints BonePointsTo(const FVECTOR3& pivot, const FVECTOR3& tail, bool has_body = true) {
  BonePoints points;
  points.pivot = pivot;
  points.tail = pivot;
  points.roll = pivot;
  if (!has_body) return points;
  points.has_body = true;
  points.tail = tail;
  // With n the bone's direction, s = unit(n × Y) and u = s × n, the roll
  // point is pivot + u · 0.3 · |d| for d = tail - pivot. Multiplied out,
  // u · |d| is (-dx·dy / H, H, -dz·dy / H) with H = |(dx, dz)|: one root and
  // one division where the vector form takes three and six. A bone along Y
  // (H = 0) has its roll point at its pivot, and so has a bone too short
  // for H to stay a normal float.
  const FVECTOR3 d = points.tail - points.pivot;
  const float across = std::sqrt(d.x * d.x + d.z * d.z);
  if (!(across >= std::numeric_limits<float>::min())) return points;
  const float k = kRollPointFactor / across;
  points.roll = points.pivot + FVECTOR3(-d.x * d.y * k, kRollPointFactor * across, -d.z * d.y * k);
  return points;
}

// The points taken through a matrix (the object's pose matrix in pose mode).
inline BonePoints Transformed(const BonePoints& points, const FMATRIX& m) {
  BonePoints out = points;
  out.pivot = m.TransformPoint(points.pivot);
  out.tail = m.TransformPoint(points.tail);
  out.roll = m.TransformPoint(points.roll);
  return out;
}

}  // namespace quorvel
