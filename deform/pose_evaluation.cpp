#include "deform/pose_evaluation.h"

#include <algorithm>
#include <cstring>

#include "rig/hierarchy.h"
#include "rig/host_records.h"
#include "rig/rig_access.h"
#include "sdk/host_api.h"

namespace quorvel {

namespace {

int ObjectCount(MQDocument doc) { return std::max(0, HostApi().MQDoc_GetObjectCount(doc)); }

PoseDescentFrame Frame(MQDocument doc, MQObject obj, int index) {
  PoseDescentFrame frame;
  frame.object = obj;
  frame.index = index;
  frame.child_count = HostApi().MQDoc_GetChildObjectCount(doc, obj);
  return frame;
}

// Bitwise: a record read back unchanged must count as unchanged, NaNs included.
bool SameBits(const OPoseTSQ& a, const OPoseTSQ& b) { return std::memcmp(&a, &b, sizeof a) == 0; }
bool SameBits(const FMATRIX& a, const FMATRIX& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

FMATRIX PoseLocalMatrix(MQDocument doc, MQObject obj, const OPoseTSQ& pose) {
  return PoseLocalMatrix(pose, ObjectPivot(doc, obj));
}

void PoseEvaluator::Forget() { known_ = false; }

void PoseEvaluator::Walk(MQDocument doc) {
  const MQHostApi& api = HostApi();
  const int n = ObjectCount(doc);
  const std::size_t size = static_cast<std::size_t>(n);
  objects_.assign(size, nullptr);
  pivots_.assign(size, FVECTOR3());
  poses_.assign(size, OPoseTSQ());
  local_.assign(size, FMATRIX::kIdentity);
  world_.assign(size, FMATRIX::kIdentity);
  computed_.assign(size, 0);
  stored_.assign(size, 0);
  changed_.assign(size, 0);
  visits_.clear();
  descent_.clear();
  incremental_ = true;

  std::vector<uint8_t>& seen = changed_;  // free until the first evaluation
  for (int i = 0; i < n; ++i) {
    MQObject obj = api.MQDoc_GetObject(doc, i);
    objects_[static_cast<std::size_t>(i)] = obj;
    if (obj != nullptr) pivots_[static_cast<std::size_t>(i)] = ObjectPivot(doc, obj);
  }
  auto visit = [&](int index, int parent) {
    visits_.push_back({index, parent});
    uint8_t& mark = seen[static_cast<std::size_t>(index)];
    if (mark != 0) incremental_ = false;
    mark = 1;
  };
  int visits = 0;
  for (int root = 0; root < n && visits < n; ++root) {
    MQObject obj = objects_[static_cast<std::size_t>(root)];
    if (obj == nullptr || host_records::Depth(obj) != 0) continue;
    ++visits;
    visit(root, -1);
    descent_.push_back(Frame(doc, obj, root));
    while (!descent_.empty()) {
      PoseDescentFrame& top = descent_.back();
      if (top.next_child >= top.child_count) {
        descent_.pop_back();
        continue;
      }
      const int parent = top.index;
      MQObject child = api.MQDoc_GetChildObject(doc, top.object, top.next_child++);
      if (child == nullptr) continue;
      const int c = api.MQDoc_GetObjectIndex(doc, child);
      if (c < 0 || c >= n) continue;
      if (++visits > n) {  // the host's hierarchy loops: stop rather than spin
        descent_.clear();
        break;
      }
      visit(c, parent);
      descent_.push_back(Frame(doc, child, c));  // `top` is not used past this point
    }
  }
  std::fill(changed_.begin(), changed_.end(), 0);
  known_ = true;
}

bool PoseEvaluator::Moved(MQDocument doc) const {
  const MQHostApi& api = HostApi();
  const int n = static_cast<int>(objects_.size());
  if (ObjectCount(doc) != n) return true;
  for (int i = 0; i < n; ++i) {
    if (api.MQDoc_GetObject(doc, i) != objects_[static_cast<std::size_t>(i)]) return true;
  }
  return false;
}

void PoseEvaluator::Evaluate(MQDocument doc, const RigSlotTable& slots, int pose_id) {
  if (doc == nullptr) return;
  if (!known_ || doc != document_ || slots.OWMT() != world_slot_ || Moved(doc)) Walk(doc);
  document_ = doc;
  world_slot_ = slots.OWMT();

  // No slot (-1) for ids outside 0..19: every object reads the rest record.
  const int32_t pose_slot = slots.PoseTSQ(pose_id);
  const OPoseTSQ rest;
  // world_ of a visited object from its local matrix and its parent's world,
  // marked changed when it differs from the last one.
  auto compose = [this](const Visit& v, const FMATRIX& local) {
    const std::size_t i = static_cast<std::size_t>(v.index);
    const FMATRIX world = v.parent < 0 ? local : local * world_[static_cast<std::size_t>(v.parent)];
    if (!SameBits(world, world_[i])) {
      world_[i] = world;
      changed_[i] = 1;
    }
  };
  for (const Visit& v : visits_) {
    const std::size_t i = static_cast<std::size_t>(v.index);
    // Read straight into the kept record; the copy of the last one is what
    // it is compared with.
    const OPoseTSQ before = poses_[i];
    OPoseTSQ& pose = poses_[i];
    host_records::ReadObjectOr(objects_[i], pose_slot, rest, pose);
    const bool own = !incremental_ || computed_[i] == 0 || !SameBits(pose, before);
    const bool parent_moved = v.parent >= 0 && changed_[static_cast<std::size_t>(v.parent)] != 0;
    if (own) {
      local_[i] = PoseLocalMatrix(pose, pivots_[i]);
      computed_[i] = 1;
      compose(v, local_[i]);
    } else if (parent_moved) {
      compose(v, local_[i]);
    }
  }
  // Stored after the walk, in index order; objects no root reached keep the
  // identity and are written once.
  for (std::size_t i = 0; i < objects_.size(); ++i) {
    if (objects_[i] != nullptr && (changed_[i] != 0 || stored_[i] == 0)) {
      SetWorldMatrix(objects_[i], slots, world_[i]);
      stored_[i] = 1;
    }
    changed_[i] = 0;
  }
}

void PoseEvaluator::Evaluate(MQDocument doc, const RigSlotTable& slots, const RigEditState& state) {
  Evaluate(doc, slots, state.current_pose_id);
}

void EvaluatePose(MQDocument doc, const RigSlotTable& slots, int pose_id) {
  PoseEvaluator evaluator;
  evaluator.Evaluate(doc, slots, pose_id);
}

void EvaluateCurrentPose(MQDocument doc, const RigSlotTable& slots, const RigEditState& state) {
  EvaluatePose(doc, slots, state.current_pose_id);
}

void ReadSkinningMatrices(MQDocument doc, const RigSlotTable& slots, std::vector<FMATRIX>& out) {
  out.clear();
  if (doc == nullptr) return;
  const int n = ObjectCount(doc);
  out.assign(static_cast<std::size_t>(n), FMATRIX::kIdentity);
  for (int i = 0; i < n; ++i) {
    if (MQObject obj = HostApi().MQDoc_GetObject(doc, i)) {
      out[static_cast<std::size_t>(i)] = GetWorldMatrix(obj, slots);
    }
  }
}

}  // namespace quorvel
