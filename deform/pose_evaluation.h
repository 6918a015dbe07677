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
#include <vector>

#include "math/fmath.h"
#include "rig/edit_state.h"
#include "rig/records.h"
#include "rig/slot_table.h"
#include "sdk/mq_types.h"

namespace quorvel {

// local matrix of a pose record about `pivot` (document space).
FMATRIX PoseLocalMatrix(const OPoseTSQ& pose, const FVECTOR3& pivot);
// The same about the object's pivot as the host reports it.
FMATRIX PoseLocalMatrix(MQDocument doc, MQObject obj, const OPoseTSQ& pose);

// One level of the depth-first walk over the hierarchy.
struct PoseDescentFrame {
  MQObject object = nullptr;
  int index = -1;        // document index of `object`
  int child_count = 0;
  int next_child = 0;
};

// Working memory of one evaluation. A caller that evaluates often (a pose
// drag) keeps one alive, and after the first call nothing is allocated.
struct PoseEvaluationBuffers {
  std::vector<FMATRIX> local;              // local_i, by document index
  std::vector<FMATRIX> world;              // world_i (skinning matrix), by document index
  std::vector<PoseDescentFrame> descent;   // at most as deep as the hierarchy
};

// Evaluates a pose into `buffers` without writing anything to the host.
//  1. local and world are resized to the object count and set to the identity;
//  2. local_i of every existing object from its record for `pose_id` (the rest
//     record when pose_id is outside 0..19 or the object has none);
//  3. from every object of host depth 0, depth-first in the host's child
//     order: world_child = local_child·world_parent.
// An object that no root reaches keeps the identity. The walk visits at most
// as many objects as the document holds, so a looping host hierarchy ends.
struct PoseEvaluationJob {
  // Inputs.
  MQDocument document = nullptr;
  const RigSlotTable* slots = nullptr;
  int pose_id = -1;
  // Output and scratch.
  PoseEvaluationBuffers* buffers = nullptr;

  // Document, slots and buffers are given.
  bool Validate() const;
  // False (and nothing touched) when Validate fails.
  bool Run() const;
};

// Writes world[i] into the skinning record of every existing object i
// (allocating the record when missing). Empty positions and objects beyond
// the array are skipped.
void StoreSkinningMatrices(MQDocument doc, const RigSlotTable& slots,
                           const std::vector<FMATRIX>& world);

// Evaluate pose: the job, then StoreSkinningMatrices.
void EvaluatePose(MQDocument doc, const RigSlotTable& slots, int pose_id,
                  PoseEvaluationBuffers& buffers);
// The same with working memory made for this call.
void EvaluatePose(MQDocument doc, const RigSlotTable& slots, int pose_id);
// For the edit state's current pose (the document model's evaluator).
void EvaluateCurrentPose(MQDocument doc, const RigSlotTable& slots, const RigEditState& state);

// One stored skinning matrix per document index, `out` resized to the object
// count: the identity for empty positions and objects without a record.
void ReadSkinningMatrices(MQDocument doc, const RigSlotTable& slots, std::vector<FMATRIX>& out);

}  // namespace quorvel
