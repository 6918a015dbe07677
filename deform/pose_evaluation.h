#pragma once
// Pose evaluation: the current pose of every object turned into the object's
// skinning matrix, stored in its "OWMT" record, which deformation, picking,
// bone drawing and IK read.
//
// Spaces. Every matrix here maps document space to document space, the space
// in which the host stores the vertices (row vectors, p' = p·M):
//  - pivot p_i: the translation of object i's host global matrix, a point in
//    document space;
//  - pose record (OPoseTSQ): translation t, scale s and rotation q, all in
//    document axes and applied about the pivot;
//  - local_i = T(-p_i)·S(s)·R(q)·T(t)·T(p_i): v ↦ (v - p_i)·S·R + t + p_i,
//    the object's own pose alone;
//  - world_i = local_i·local_parent(i)·…·local_root, the skinning matrix: it
//    carries an undeformed vertex to its posed position (the bone's own pose
//    first, then its parent's, up to the root). There is no bind-pose inverse.
// Arrays are indexed by document index; their size is the host's object count,
// empty positions included (those entries stay the identity).
#include <cstdint>
#include <vector>

#include "math/fmath.h"
#include "rig/document_model.h"
#include "rig/edit_state.h"
#include "rig/records.h"
#include "rig/slot_table.h"
#include "sdk/mq_types.h"

namespace quorvel {

// local matrix of a pose record about `pivot` (document space).
inline FMATRIX PoseLocalMatrix(const OPoseTSQ& pose, const FVECTOR3& pivot) {
  // T(-p)·S·R·T(t)·T(p) composed directly: rows s_i·R_i, then the
  // translation row t + p - p·(S·R). Same products and sums as multiplying
  // the four matrices out, without the terms that are zero. Written out
  // element by element: small arrays here made the compiler pack values
  // through the stack and stall on the reloads.
  const float x = pose.rot.x, y = pose.rot.y, z = pose.rot.z, w = pose.rot.w;
  const float sx = pose.scl.x, sy = pose.scl.y, sz = pose.scl.z;
  const float m00 = sx * (1.0f - 2.0f * (y * y + z * z));
  const float m01 = sx * (2.0f * (x * y + z * w));
  const float m02 = sx * (2.0f * (x * z - y * w));
  const float m10 = sy * (2.0f * (x * y - z * w));
  const float m11 = sy * (1.0f - 2.0f * (x * x + z * z));
  const float m12 = sy * (2.0f * (y * z + x * w));
  const float m20 = sz * (2.0f * (x * z + y * w));
  const float m21 = sz * (2.0f * (y * z - x * w));
  const float m22 = sz * (1.0f - 2.0f * (x * x + y * y));
  const float px = -pivot.x, py = -pivot.y, pz = -pivot.z;
  const float tx = px * m00 + py * m10 + pz * m20 + pose.trs.x - px;
  const float ty = px * m01 + py * m11 + pz * m21 + pose.trs.y - py;
  const float tz = px * m02 + py * m12 + pz * m22 + pose.trs.z - pz;
  return {m00, m01, m02, 0.0f, m10, m11, m12, 0.0f, m20, m21, m22, 0.0f, tx, ty, tz, 1.0f};
}
// The same about the object's pivot as the host reports it.
FMATRIX PoseLocalMatrix(MQDocument doc, MQObject obj, const OPoseTSQ& pose);

// One level of the depth-first walk over the hierarchy.
struct PoseDescentFrame {
  MQObject object = nullptr;
  int index = -1;        // document index of `object`
  int child_count = 0;
  int next_child = 0;
};

// Evaluates poses and stores the skinning matrices, keeping between calls
// what a pose change leaves alone: the hierarchy walk, the pivots, every
// object's last pose record, local and world matrix, and which stored
// matrices already hold their world matrix.
//
// Each call reads every object's pose record from the host (the records stay
// the truth, whoever wrote them); only objects whose record or parent changed
// are recomputed, and only matrices that changed are written. So a drag step
// costs one record read per object plus the work below the moved bones.
//
// What the cache cannot see by itself, its owner reports with Forget: a moved
// pivot, a changed parent, and anything else that writes skinning records
// (host undo and redo, loading). Every call checks the object count and that
// each index still holds the object it held, so added, deleted and reordered
// objects are noticed without it, and so are another document or slot table.
//
// Walk: from every object of host depth 0, depth-first in the host's child
// order; world_child = local_child·world_parent. An object that no root
// reaches keeps the identity. The walk visits at most as many objects as the
// document holds, so a looping host hierarchy ends.
class PoseEvaluator final : public MQEXPDOC::PoseEvaluator {
 public:
  // Evaluates `pose_id` (the rest record for ids outside 0..19 and for
  // objects without a record) into World() and every existing object's
  // skinning record, allocating records that are missing. A null document
  // does nothing.
  void Evaluate(MQDocument doc, const RigSlotTable& slots, int pose_id);
  // For the edit state's current pose.
  void Evaluate(MQDocument doc, const RigSlotTable& slots, const RigEditState& state) override;
  // Everything kept is dropped: the next call walks the host again and writes
  // every matrix.
  void Forget() override;

  // The last evaluated world matrices, by document index.
  const std::vector<FMATRIX>& World() const { return world_; }

 private:
  struct Visit {
    int index;
    int parent;  // -1 for a root
  };

  void Walk(MQDocument doc);
  // Some index no longer holds the object the walk found there.
  bool Moved(MQDocument doc) const;

  bool known_ = false;
  MQDocument document_ = nullptr;  // what the kept state belongs to
  int32_t world_slot_ = 0;
  // Parents before children. Not incremental when the host reported an
  // object twice: then every matrix is recomputed on every call.
  std::vector<Visit> visits_;
  bool incremental_ = true;
  // By document index.
  std::vector<MQObject> objects_;
  std::vector<FVECTOR3> pivots_;
  std::vector<OPoseTSQ> poses_;
  std::vector<FMATRIX> local_;
  std::vector<FMATRIX> world_;
  std::vector<uint8_t> computed_;  // local_ was made from poses_
  std::vector<uint8_t> stored_;    // the host's record holds world_
  std::vector<uint8_t> changed_;   // world_ changed in this call
  std::vector<PoseDescentFrame> descent_;
};

// One evaluation with nothing kept (for callers outside a document model).
void EvaluatePose(MQDocument doc, const RigSlotTable& slots, int pose_id);
void EvaluateCurrentPose(MQDocument doc, const RigSlotTable& slots, const RigEditState& state);

// One stored skinning matrix per document index, `out` resized to the object
// count: the identity for empty positions and objects without a record.
void ReadSkinningMatrices(MQDocument doc, const RigSlotTable& slots, std::vector<FMATRIX>& out);

}  // namespace quorvel
