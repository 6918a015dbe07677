#include "rig/pose_list.h"

#include <climits>
#include <cstring>
#include <memory>
#include <utility>

#include "rig/document_model.h"
#include "rig/host_records.h"
#include "rig/id_table.h"
#include "rig/rig_access.h"

namespace quorvel {

namespace hr = host_records;

// ---------------------------------------------------------------- name maker

std::string UMAKENAME::MakeName() const {
  const char* base = BaseName();
  const std::string_view stem = BoundedName(base != nullptr ? std::string_view(base) : "");
  for (int n = 1; n < INT_MAX; ++n) {
    const std::string number = std::to_string(n);
    // Cutting the stem rather than the number keeps every candidate distinct,
    // so the search cannot stall on a stem that fills the whole field.
    const std::size_t room = static_cast<std::size_t>(kMaxNameLength) - number.size();
    std::string name(stem.substr(0, room));
    name += number;
    if (!Exists(name)) return name;
  }
  return std::string();
}

bool UMAKENAME::MakeName(char (&buffer)[kNameBytes]) const {
  const std::string name = MakeName();
  SetName(buffer, name);
  return !name.empty();
}

bool QuorvelPoseMakeName::Exists(std::string_view name) const {
  if (state_ == nullptr) return false;
  for (const auto& pose : state_->poses) {
    if (pose && NameOf(pose->name) == name) return true;
  }
  return false;
}

// ---------------------------------------------------------------- list

namespace {

bool ValidPoseId(int32_t id) { return id >= 0 && id < kMaxPoses; }

int32_t LowestFreeId(const RigEditState& state) {
  for (int32_t id = 0; id < kMaxPoses; ++id) {
    if (!state.IsListedPoseId(id)) return id;
  }
  return -1;
}

// The name as it fits a name field: up to the first NUL, at most 255 bytes,
// and never ending inside a double-byte character. Names are in the system
// code page, Shift-JIS where the plug-in is used: a lead byte 0x81-0x9F or
// 0xE0-0xFC takes the next byte with it.
std::string_view FittedName(std::string_view name) {
  const std::size_t nul = name.find('\0');
  if (nul != std::string_view::npos) name = name.substr(0, nul);
  std::size_t end = 0;
  while (end < name.size()) {
    const auto c = static_cast<unsigned char>(name[end]);
    const std::size_t width = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC) ? 2 : 1;
    if (end + width > static_cast<std::size_t>(kMaxNameLength)) break;
    end += width;
  }
  // A lead byte at the very end of the text keeps its place.
  return name.substr(0, end);
}

// List position of the pose object itself, -1 when it is not listed.
int IndexOf(const RigEditState& state, const QuorvelPose* pose) {
  if (pose == nullptr) return -1;
  for (std::size_t i = 0; i < state.poses.size(); ++i) {
    if (state.poses[i].get() == pose) return static_cast<int>(i);
  }
  return -1;
}

QuorvelPose* Append(RigEditState& state, int32_t id, std::string_view name, bool named) {
  if (id == -1) {
    id = LowestFreeId(state);
    if (id < 0) return nullptr;
  } else if (!ValidPoseId(id) || state.IsListedPoseId(id)) {
    return nullptr;
  }
  auto pose = std::make_unique<QuorvelPose>();
  pose->id = id;
  if (named) {
    SetName(pose->name, FittedName(name));
  } else {
    QuorvelPoseMakeName(&state).MakeName(pose->name);
  }
  QuorvelPose* made = pose.get();
  state.poses.push_back(std::move(pose));
  state.current_pose_id = id;
  return made;
}

}  // namespace

QuorvelPose* CreatePose(RigEditState& state, int32_t id) {
  return Append(state, id, std::string_view(), false);
}

QuorvelPose* CreatePose(RigEditState& state, int32_t id, std::string_view name) {
  return Append(state, id, name, true);
}

bool DeletePose(RigEditState& state, MQDocument doc, const RigSlotTable& slots,
                const QuorvelPose* pose) {
  const int position = IndexOf(state, pose);
  if (position < 0) return false;
  const int32_t id = pose->id;
  // An id outside 0..19 has no slots; freeing through -1 would be refused anyway.
  if (ValidPoseId(id)) {
    hr::ForEachObject(doc, [&](MQObject obj, int) {
      hr::FreeObject(obj, slots.PoseTSQ(id));
      hr::FreeObject(obj, slots.PoseMorph(id));
    });
  }
  const bool was_current = state.current_pose_id == id;
  state.poses.erase(state.poses.begin() + position);

  const int count = static_cast<int>(state.poses.size());
  if (count == 0) {
    state.current_pose_id = -1;
  } else if (was_current) {
    const int next = position < count ? position : position - 1;
    const QuorvelPose* chosen = state.poses[static_cast<std::size_t>(next)].get();
    state.current_pose_id = chosen != nullptr ? chosen->id : -1;
  }
  return true;
}

QuorvelPose* CopyPose(RigEditState& state, MQDocument doc, const RigSlotTable& slots,
                      const QuorvelPose* source) {
  if (IndexOf(state, source) < 0) return nullptr;
  const int32_t source_id = source->id;
  const std::string name = std::string(NameOf(source->name)) + "_copy";
  QuorvelPose* copy = CreatePose(state, -1, name);
  if (copy == nullptr) return nullptr;
  const int32_t copy_id = copy->id;

  hr::ForEachObject(doc, [&](MQObject obj, int) {
    // The copy mirrors the source exactly: records left behind for the new id
    // (by an undo or an older file) must not leak into it.
    OPoseTSQ tsq;
    if (GetPoseTSQ(obj, slots, source_id, tsq)) {
      SetPoseTSQ(obj, slots, copy_id, tsq);
    } else {
      hr::FreeObject(obj, slots.PoseTSQ(copy_id));
    }
    OPoseMorph morph;
    if (AnyMorphShape(obj, slots) && GetPoseMorph(obj, slots, source_id, morph)) {
      SetPoseMorph(obj, slots, copy_id, morph);
    } else {
      hr::FreeObject(obj, slots.PoseMorph(copy_id));
    }
  });
  return copy;
}

bool DeleteCurrentPose(RigEditState& state, MQDocument doc, const RigSlotTable& slots) {
  const QuorvelPose* current = CurrentPose(state);
  return current != nullptr && DeletePose(state, doc, slots, current);
}

QuorvelPose* CopyCurrentPose(RigEditState& state, MQDocument doc, const RigSlotTable& slots) {
  const QuorvelPose* current = CurrentPose(state);
  return current != nullptr ? CopyPose(state, doc, slots, current) : nullptr;
}

bool RenamePose(QuorvelPose* pose, std::string_view name) {
  if (pose == nullptr) return false;
  SetName(pose->name, FittedName(name));
  return true;
}

int PoseCount(const RigEditState& state) { return static_cast<int>(state.poses.size()); }

QuorvelPose* PoseAt(const RigEditState& state, int position) {
  if (position < 0 || position >= PoseCount(state)) return nullptr;
  return state.poses[static_cast<std::size_t>(position)].get();
}

QuorvelPose* FindPoseById(const RigEditState& state, int32_t id) {
  if (!ValidPoseId(id)) return nullptr;
  for (const auto& pose : state.poses) {
    if (pose && pose->id == id) return pose.get();
  }
  return nullptr;
}

QuorvelPose* FindPoseByName(const RigEditState& state, std::string_view name) {
  const std::string_view wanted = BoundedName(name);
  for (const auto& pose : state.poses) {
    if (pose && NameOf(pose->name) == wanted) return pose.get();
  }
  return nullptr;
}

int PositionOf(const RigEditState& state, const QuorvelPose* pose) {
  const int position = IndexOf(state, pose);
  return position >= 0 ? position : 0;
}

int PositionOfId(const RigEditState& state, int32_t id) {
  return PositionOf(state, FindPoseById(state, id));
}

// ---------------------------------------------------------------- current pose

int32_t CurrentPoseId(const RigEditState& state) { return state.current_pose_id; }

QuorvelPose* CurrentPose(const RigEditState& state) {
  return FindPoseById(state, state.current_pose_id);
}

bool SetCurrentPose(RigEditState& state, const QuorvelPose* pose) {
  if (IndexOf(state, pose) < 0) return false;
  state.current_pose_id = pose->id;
  return true;
}

bool SetCurrentPosition(RigEditState& state, int position) {
  const QuorvelPose* pose = PoseAt(state, position);
  if (pose == nullptr) return false;
  state.current_pose_id = pose->id;
  return true;
}

int CurrentPosition(const RigEditState& state) {
  return PositionOfId(state, state.current_pose_id);
}

// ---------------------------------------------------------------- reset

namespace {

bool AtRest(const OPoseTSQ& tsq) {
  const OPoseTSQ rest;
  return tsq.trs == rest.trs && tsq.scl == rest.scl && tsq.rot == rest.rot;
}

// Writes the rest value (an absent record is written too, so that every
// object has one); true when the pose value was not at rest before.
bool ResetBone(MQObject obj, const RigSlotTable& slots, int32_t pose_id) {
  OPoseTSQ before;
  const bool moved = GetPoseTSQ(obj, slots, pose_id, before) && !AtRest(before);
  SetPoseTSQ(obj, slots, pose_id, OPoseTSQ());
  return moved;
}

}  // namespace

bool ResetCurrentBonePose(const RigEditState& state, MQDocument doc, const RigSlotTable& slots,
                          PoseRecompute recompute) {
  if (CurrentPose(state) == nullptr || state.current_bone < 0) return false;
  MQObject bone = FindObjectByUniqueId(doc, state.current_bone);
  if (bone == nullptr) return false;
  if (!ResetBone(bone, slots, state.current_pose_id)) return false;
  if (recompute != nullptr) recompute(doc, slots, state);
  return true;
}

bool ResetAllBonesPose(const RigEditState& state, MQDocument doc, const RigSlotTable& slots,
                       PoseRecompute recompute) {
  if (doc == nullptr || CurrentPose(state) == nullptr) return false;
  const int32_t pose_id = state.current_pose_id;
  bool moved = false;
  hr::ForEachObject(doc, [&](MQObject obj, int) {
    if (ResetBone(obj, slots, pose_id)) moved = true;
  });
  if (!moved) return false;
  if (recompute != nullptr) recompute(doc, slots, state);
  return true;
}

namespace {

// Sets weight `index` (-1: all of them) of the object's record for the pose
// to 0. A missing record already weighs nothing and is not created.
bool ZeroMorphWeights(MQObject obj, const RigSlotTable& slots, int32_t pose_id, int index) {
  OPoseMorph morph;
  if (!GetPoseMorph(obj, slots, pose_id, morph)) return false;
  bool changed = false;
  for (int k = 0; k < kMaxMorphTargets; ++k) {
    if (index >= 0 && k != index) continue;
    // Written as a negation so that a NaN weight is reset too.
    if (!(morph.weight[k] == 0.0f)) {
      morph.weight[k] = 0.0f;
      changed = true;
    }
  }
  return changed && SetPoseMorph(obj, slots, pose_id, morph);
}

bool Recomputed(bool changed, const RigEditState& state, MQDocument doc, const RigSlotTable& slots,
                PoseRecompute recompute) {
  if (changed && recompute != nullptr) recompute(doc, slots, state);
  return changed;
}

}  // namespace

bool ResetCurrentMorphPose(const RigEditState& state, MQDocument doc, const RigSlotTable& slots,
                           PoseRecompute recompute) {
  if (CurrentPose(state) == nullptr) return false;
  MQObject obj = CurrentObject(doc);
  if (obj == nullptr) return false;
  const int32_t k = GetCurrentMorphIndex(obj, slots);
  // A record written elsewhere may hold any value; only 0..19 name a target.
  if (k < 0 || k >= kMaxMorphTargets) return false;
  return Recomputed(ZeroMorphWeights(obj, slots, state.current_pose_id, k), state, doc, slots,
                    recompute);
}

bool ResetCurrentObjectMorphPose(const RigEditState& state, MQDocument doc,
                                 const RigSlotTable& slots, PoseRecompute recompute) {
  if (CurrentPose(state) == nullptr) return false;
  MQObject obj = CurrentObject(doc);
  if (obj == nullptr) return false;
  return Recomputed(ZeroMorphWeights(obj, slots, state.current_pose_id, -1), state, doc, slots,
                    recompute);
}

bool ResetAllMorphPose(const RigEditState& state, MQDocument doc, const RigSlotTable& slots,
                       PoseRecompute recompute) {
  if (doc == nullptr || CurrentPose(state) == nullptr) return false;
  const int32_t pose_id = state.current_pose_id;
  bool changed = false;
  hr::ForEachObject(doc, [&](MQObject obj, int) {
    if (ZeroMorphWeights(obj, slots, pose_id, -1)) changed = true;
  });
  return Recomputed(changed, state, doc, slots, recompute);
}

// ---------------------------------------------------------------- document model

QuorvelPose* NewPose(MQEXPDOC& model) { return CreatePose(model.EditState(), -1); }

bool DeleteCurrentPose(MQEXPDOC& model) {
  return DeleteCurrentPose(model.EditState(), model.Document(), model.Slots());
}

QuorvelPose* CopyCurrentPose(MQEXPDOC& model) {
  return CopyCurrentPose(model.EditState(), model.Document(), model.Slots());
}

namespace {

// A reset of the model's state, then the posed matrices again when it changed
// something.
template <typename RESET>
bool ResetAndRecompute(MQEXPDOC& model, RESET reset) {
  if (!reset(model.EditState(), model.Document(), model.Slots(), PoseRecompute{nullptr})) return false;
  model.UpdatePoseMatrices();
  return true;
}

}  // namespace

bool ResetCurrentBonePose(MQEXPDOC& model) {
  return ResetAndRecompute(model, [](auto&&... a) { return ResetCurrentBonePose(a...); });
}

bool ResetAllBonesPose(MQEXPDOC& model) {
  return ResetAndRecompute(model, [](auto&&... a) { return ResetAllBonesPose(a...); });
}

bool ResetCurrentMorphPose(MQEXPDOC& model) {
  return ResetAndRecompute(model, [](auto&&... a) { return ResetCurrentMorphPose(a...); });
}

bool ResetCurrentObjectMorphPose(MQEXPDOC& model) {
  return ResetAndRecompute(model, [](auto&&... a) { return ResetCurrentObjectMorphPose(a...); });
}

bool ResetAllMorphPose(MQEXPDOC& model) {
  return ResetAndRecompute(model, [](auto&&... a) { return ResetAllMorphPose(a...); });
}

}  // namespace quorvel
