#pragma once
// The document's pose list: making, deleting, copying, renaming and finding
// poses, the current pose, and putting bones and morph weights back to rest in
// the current pose.
//
// Poses live only in the edit state's list; an object takes part in a pose by
// carrying OPoseTSQ / OPoseMorph records for the pose's id. After every call
// here the ids are unique and in 0..19 and the current pose id is -1 or the id
// of a listed pose (provided they were before).
#include <cstdint>
#include <string>
#include <string_view>

#include "rig/edit_state.h"
#include "rig/records.h"
#include "rig/slot_table.h"
#include "sdk/mq_types.h"

class MQEXPDOC;

namespace quorvel {

// ---------------------------------------------------------------- name maker

// Makes the first name "<stem><n>" (n = 1, 2, 3, ...) that is not taken.
class UMAKENAME {
 public:
  virtual ~UMAKENAME() = default;
  // The stem the numbers are appended to.
  virtual const char* BaseName() const = 0;
  // Whether a name is already taken.
  virtual bool Exists(std::string_view name) const = 0;

  // The name into a name field (terminated, at most 255 bytes). A long stem
  // is shortened so that the number always fits and names stay distinct.
  // False (and an empty field) only when every number is taken.
  bool MakeName(char (&buffer)[kNameBytes]) const;
  // The same as a string; empty when every number is taken.
  std::string MakeName() const;

 protected:
  UMAKENAME() = default;
  UMAKENAME(const UMAKENAME&) = default;
  UMAKENAME& operator=(const UMAKENAME&) = default;
};

// Names new poses pose1, pose2, ... skipping names already in the list.
class QuorvelPoseMakeName : public UMAKENAME {
 public:
  explicit QuorvelPoseMakeName(const RigEditState* state) : state_(state) {}
  const char* BaseName() const override { return "pose"; }
  // A listed pose has exactly this name.
  bool Exists(std::string_view name) const override;

 private:
  const RigEditState* state_;
};

// ---------------------------------------------------------------- list

// Appends a pose and makes it current. `id` -1 takes the lowest id no listed
// pose uses; otherwise it must be 0..19 and not listed. Without a name the
// name maker names it; a given name is cut as RenamePose cuts it. Null when
// the id is refused or all 20 ids are in use; the list is then unchanged.
QuorvelPose* CreatePose(RigEditState& state, int32_t id = -1);
QuorvelPose* CreatePose(RigEditState& state, int32_t id, std::string_view name);

// Releases the pose's records on every object of the document, removes it
// from the list and, when it was current, makes the pose that moved into its
// place current (the new last pose when it was last; none when the list is
// empty). False, with nothing changed, when `pose` is not listed.
bool DeletePose(RigEditState& state, MQDocument doc, const RigSlotTable& slots,
                const QuorvelPose* pose);

// A new current pose named "<name>_copy" (cut to 255 bytes) whose records on
// every object equal the source's: pose values where the source has them,
// morph weights where the source has them and the object has a morph shape.
// Null when the source is not listed or no id is free.
QuorvelPose* CopyPose(RigEditState& state, MQDocument doc, const RigSlotTable& slots,
                      const QuorvelPose* source);

// DeletePose / CopyPose on the current pose; nothing without one.
bool DeleteCurrentPose(RigEditState& state, MQDocument doc, const RigSlotTable& slots);
QuorvelPose* CopyCurrentPose(RigEditState& state, MQDocument doc, const RigSlotTable& slots);

// Stores the name cut to 255 bytes, or to 254 where byte 255 would split a
// double-byte character; names need not be unique. False for a null pose.
bool RenamePose(QuorvelPose* pose, std::string_view name);

int PoseCount(const RigEditState& state);
// Null outside the list.
QuorvelPose* PoseAt(const RigEditState& state, int position);
// Null for ids outside 0..19 or not listed.
QuorvelPose* FindPoseById(const RigEditState& state, int32_t id);
// The first listed pose with exactly this name (compared on 255 bytes, the
// most a name field holds); null when none.
QuorvelPose* FindPoseByName(const RigEditState& state, std::string_view name);
// List position; 0 when not listed.
int PositionOf(const RigEditState& state, const QuorvelPose* pose);
int PositionOfId(const RigEditState& state, int32_t id);

// ---------------------------------------------------------------- current pose

int32_t CurrentPoseId(const RigEditState& state);
// The listed pose with the current id, or null.
QuorvelPose* CurrentPose(const RigEditState& state);
// Makes a listed pose current; false (nothing changes) for a pose not listed.
bool SetCurrentPose(RigEditState& state, const QuorvelPose* pose);
// Makes the pose at this list position current; false when there is none.
bool SetCurrentPosition(RigEditState& state, int position);
int CurrentPosition(const RigEditState& state);

// ---------------------------------------------------------------- reset

// Recomputes the posed world matrices for the edit state's current pose.
// Pose evaluation sits above this library, so callers hand it in (the same
// shape as the document model's evaluator). May be null.
using PoseRecompute = void (*)(MQDocument doc, const RigSlotTable& slots,
                               const RigEditState& state);

// The current bone's record of the current pose back to the rest value, then
// `recompute`. Nothing (false) unless the current bone names an object of the
// document and a listed pose is current. Morph weights stay. The record is
// written even when it is at rest already (or absent), but only a value that
// was not at rest counts as a change: true, and `recompute`, only then.
bool ResetCurrentBonePose(const RigEditState& state, MQDocument doc, const RigSlotTable& slots,
                          PoseRecompute recompute);
// Every object's record of the current pose back to the rest value; true,
// and `recompute`, when one was not at rest. Nothing (false) without a
// current pose.
bool ResetAllBonesPose(const RigEditState& state, MQDocument doc, const RigSlotTable& slots,
                       PoseRecompute recompute);

// The morph resets set weights of the current pose to 0 and `recompute` when
// one changed; true exactly then. Only existing OPoseMorph records are
// written, and only when a weight differs. Nothing (false) without a current
// pose.
//
// The host's current object's weight of its current morph target; nothing
// when it has none (-1, or no bone record).
bool ResetCurrentMorphPose(const RigEditState& state, MQDocument doc, const RigSlotTable& slots,
                           PoseRecompute recompute);
// All 20 weights of the current object.
bool ResetCurrentObjectMorphPose(const RigEditState& state, MQDocument doc,
                                 const RigSlotTable& slots, PoseRecompute recompute);
// All 20 weights of every object.
bool ResetAllMorphPose(const RigEditState& state, MQDocument doc, const RigSlotTable& slots,
                       PoseRecompute recompute);

// ---------------------------------------------------------------- document model

// The operations above with the model's document, slots and edit state; the
// resets recompute through the model's UpdatePoseMatrices.
QuorvelPose* NewPose(MQEXPDOC& model);
bool DeleteCurrentPose(MQEXPDOC& model);
QuorvelPose* CopyCurrentPose(MQEXPDOC& model);
bool ResetCurrentBonePose(MQEXPDOC& model);
bool ResetAllBonesPose(MQEXPDOC& model);
bool ResetCurrentMorphPose(MQEXPDOC& model);
bool ResetCurrentObjectMorphPose(MQEXPDOC& model);
bool ResetAllMorphPose(MQEXPDOC& model);

}  // namespace quorvel
