#include "rig/document_model.h"

#include "rig/hierarchy.h"
#include "rig/rig_document.h"
#include "rig/snapshot.h"

using quorvel::RigEditState;

namespace {

void SetBit(uint32_t& word, uint32_t bit, bool on) {
  word = on ? (word | bit) : (word & ~bit);
}

}  // namespace

MQEXPDOC::MQEXPDOC(std::unique_ptr<PoseEvaluator> evaluate_pose)
    : evaluate_pose_(std::move(evaluate_pose)) {}

MQEXPDOC::~MQEXPDOC() = default;

void MQEXPDOC::SetDocument(MQDocument doc) {
  document_ = doc;
  ForgetPoseCache();
}

void MQEXPDOC::SetOption(Option bit, bool on) {
  SetBit(options_, bit, on);
  switch (bit) {
    case kShowBone: SetBit(state_.display, RigEditState::kShowBones, on); break;
    case kDrawBoneRoll: SetBit(state_.display, RigEditState::kShowRoll, on); break;
    case kLockPivot: SetBit(state_.pick_masks, RigEditState::kPickMaskPivot, on); break;
    case kLockRoll: SetBit(state_.pick_masks, RigEditState::kPickMaskRoll, on); break;
    case kLockBody: SetBit(state_.pick_masks, RigEditState::kPickMaskBody, on); break;
    case kActive:
    case kRenderState: break;
  }
}

void MQEXPDOC::Refresh() {
  SetBit(state_.display, RigEditState::kShowBones, IsShowBone());
  SetBit(state_.display, RigEditState::kShowRoll, IsDrawBoneRoll());
  // Without a service the switch keeps its last value: there is nothing to copy.
  if (service_ != nullptr) {
    SetBit(state_.display, RigEditState::kWeightCurrentObjectOnly, service_->GetShowCurObjWeight());
  }
  if (document_ != nullptr) quorvel::EnsureRigRecords(document_, slots_);
}

void MQEXPDOC::Reset() {
  screen_converter_.reset();
  ForgetPoseCache();
  state_.Reset();
}

void MQEXPDOC::WriteSnapshot(quorvel::ChunkWriter& stream) const {
  quorvel::WriteSnapshot(state_, stream);
}

bool MQEXPDOC::ReadSnapshot(quorvel::ChunkReader stream) {
  if (!quorvel::ReadSnapshot(stream, document_, slots_, state_)) return false;
  // The masks picking uses came back; the switches the panels show follow.
  SetBit(options_, kLockPivot, (state_.pick_masks & RigEditState::kPickMaskPivot) != 0);
  SetBit(options_, kLockRoll, (state_.pick_masks & RigEditState::kPickMaskRoll) != 0);
  SetBit(options_, kLockBody, (state_.pick_masks & RigEditState::kPickMaskBody) != 0);
  // A snapshot comes back with host undo and redo, which may have restored
  // objects and their records as well.
  ForgetPoseCache();
  Refresh();
  UpdatePoseMatrices();
  return true;
}

void MQEXPDOC::UpdatePoseMatrices() {
  if (document_ != nullptr && evaluate_pose_ != nullptr) {
    evaluate_pose_->Evaluate(document_, slots_, state_);
  }
}

void MQEXPDOC::ForgetPoseCache() {
  if (evaluate_pose_ != nullptr) evaluate_pose_->Forget();
}

MQObject MQEXPDOC::MakeBone(MQObject base, int mode, const FVECTOR3& head, const FVECTOR3& tail) {
  MQObject made = quorvel::MakeBone(document_, base, mode, head, tail);
  ForgetPoseCache();
  Refresh();
  return made;
}
