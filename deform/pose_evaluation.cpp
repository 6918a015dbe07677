#include "deform/pose_evaluation.h"

#include <algorithm>

#include "rig/hierarchy.h"
#include "rig/rig_access.h"
#include "sdk/host_api.h"

namespace quorvel {

namespace {

int ObjectCount(MQDocument doc) { return std::max(0, HostApi().MQDoc_GetObjectCount(doc)); }

int Depth(MQObject obj) {
  int depth = 0;
  HostApi().MQObj_GetIntValue(obj, MQOBJ_ID_DEPTH, &depth);
  return depth;
}

PoseDescentFrame Frame(MQDocument doc, MQObject obj, int index) {
  PoseDescentFrame frame;
  frame.object = obj;
  frame.index = index;
  frame.child_count = HostApi().MQDoc_GetChildObjectCount(doc, obj);
  return frame;
}

}  // namespace

FMATRIX PoseLocalMatrix(const OPoseTSQ& pose, const FVECTOR3& pivot) {
  FMATRIX m = FMATRIX::Scaling(pose.scl) * FMATRIX::FromQuat(pose.rot);
  m.SetTranslation(pose.trs);
  return FMATRIX::AboutPivot(m, pivot);
}

FMATRIX PoseLocalMatrix(MQDocument doc, MQObject obj, const OPoseTSQ& pose) {
  return PoseLocalMatrix(pose, ObjectPivot(doc, obj));
}

bool PoseEvaluationJob::Validate() const {
  return document != nullptr && slots != nullptr && buffers != nullptr;
}

bool PoseEvaluationJob::Run() const {
  if (!Validate()) return false;
  const MQHostApi& api = HostApi();
  const int n = ObjectCount(document);
  std::vector<FMATRIX>& local = buffers->local;
  std::vector<FMATRIX>& world = buffers->world;
  std::vector<PoseDescentFrame>& descent = buffers->descent;
  local.assign(static_cast<std::size_t>(n), FMATRIX::kIdentity);
  world.assign(static_cast<std::size_t>(n), FMATRIX::kIdentity);
  descent.clear();

  const bool posed = pose_id >= 0 && pose_id < kMaxPoses;
  for (int i = 0; i < n; ++i) {
    MQObject obj = api.MQDoc_GetObject(document, i);
    if (obj == nullptr) continue;
    OPoseTSQ pose;  // the rest record unless the object has one for the pose
    if (posed) GetPoseTSQ(obj, *slots, pose_id, pose);
    local[static_cast<std::size_t>(i)] = PoseLocalMatrix(document, obj, pose);
  }

  int visits = 0;
  for (int root = 0; root < n && visits < n; ++root) {
    MQObject obj = api.MQDoc_GetObject(document, root);
    if (obj == nullptr || Depth(obj) != 0) continue;
    ++visits;
    world[static_cast<std::size_t>(root)] = local[static_cast<std::size_t>(root)];
    descent.push_back(Frame(document, obj, root));
    while (!descent.empty()) {
      PoseDescentFrame& top = descent.back();
      if (top.next_child >= top.child_count) {
        descent.pop_back();
        continue;
      }
      const int parent = top.index;
      MQObject child = api.MQDoc_GetChildObject(document, top.object, top.next_child++);
      if (child == nullptr) continue;
      const int c = api.MQDoc_GetObjectIndex(document, child);
      if (c < 0 || c >= n) continue;
      if (++visits > n) {  // the host's hierarchy loops: stop rather than spin
        descent.clear();
        break;
      }
      world[static_cast<std::size_t>(c)] =
          local[static_cast<std::size_t>(c)] * world[static_cast<std::size_t>(parent)];
      descent.push_back(Frame(document, child, c));  // `top` is not used past this point
    }
  }
  return true;
}

void StoreSkinningMatrices(MQDocument doc, const RigSlotTable& slots,
                           const std::vector<FMATRIX>& world) {
  if (doc == nullptr) return;
  const int n = std::min(ObjectCount(doc), static_cast<int>(world.size()));
  for (int i = 0; i < n; ++i) {
    if (MQObject obj = HostApi().MQDoc_GetObject(doc, i)) {
      SetWorldMatrix(obj, slots, world[static_cast<std::size_t>(i)]);
    }
  }
}

void EvaluatePose(MQDocument doc, const RigSlotTable& slots, int pose_id,
                  PoseEvaluationBuffers& buffers) {
  PoseEvaluationJob job;
  job.document = doc;
  job.slots = &slots;
  job.pose_id = pose_id;
  job.buffers = &buffers;
  if (job.Run()) StoreSkinningMatrices(doc, slots, buffers.world);
}

void EvaluatePose(MQDocument doc, const RigSlotTable& slots, int pose_id) {
  PoseEvaluationBuffers buffers;
  EvaluatePose(doc, slots, pose_id, buffers);
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
