#pragma once
// The three points of a bone, shared by picking, drawing, the IK model and
// the selection centre. A bone is an object and its first child: the pivot
// is the object's own, the tail its first child's, and the roll point stands
// off the bone at 0.3 of its length, in the plane of the bone and world Y.
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
// The same from a pivot and its first child's pivot (`has_body` false: no
// child, and the tail is ignored).
BonePoints BonePointsTo(const FVECTOR3& pivot, const FVECTOR3& tail, bool has_body = true);

// The points taken through a matrix (the object's pose matrix in pose mode).
BonePoints Transformed(const BonePoints& points, const FMATRIX& m);

}  // namespace quorvel
