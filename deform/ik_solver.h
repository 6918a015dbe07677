#pragma once
// Local IK for the pose drag: a private copy of the skeleton, solved by
// cyclic coordinate descent with per-bone rotation limits, plus aiming,
// rolling and translating a single bone.
//
// The model is built when a drag starts, changed by one solver call per mouse
// move and copied into the current pose after each call (WriteBack); it keeps
// its rotations between calls, so every call continues from the last result.
//
// Spaces, as in pose evaluation (row vectors, p' = p·M):
//  - head, tail, up: a bone's rest geometry in document space;
//  - world: the bone's posed matrix, document space to document space;
//  - a bone's pose (t, s, q) acts about its head in its parent's space, the
//    space a point is in before the parent's world matrix is applied;
//  - rest frame F: rows x, y, a (a along the bone), carrying bone-frame
//    coordinates to document axes; rotation limits are angles in this frame.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "math/fmath.h"
#include "rig/document_model.h"
#include "rig/edit_state.h"
#include "rig/records.h"
#include "rig/slot_table.h"
#include "sdk/mq_types.h"

namespace quorvel {

class UBONEIK_MODEL;

// A limit at or beyond ±179.9° leaves its side of the axis free.
constexpr float kIkUnlimitedAngle = 3.1398473f;
// Aim steps per solve, whatever the chain length.
constexpr int kIkAimSteps = 10;

// Rotation taking unit direction u to unit direction v. Nearly opposite
// directions (u·v + 1 < 0.0002) give a half turn about Y, nearly equal ones
// (u·v + 1 >= 1.9998) the identity.
FQUAT IkRotationBetween(const FVECTOR3& u, const FVECTOR3& v);

// `a` clamped to [lo, hi]: lo == hi gives lo; a bound beyond ±179.9° does not
// clamp its side; bounds given in the wrong order are swapped first.
float IkClampAngle(float a, float lo, float hi);

// One bone of the model. Each node owns its first child and its next sibling,
// so releasing the first root releases the whole model.
struct UBONEIK_BONE {
  enum Flag : uint32_t {
    kChainStop = 1u << 0,          // the chain ends here (included)
    kConnected = 1u << 1,          // first child of its parent object: head = parent's tail
    kIkActive = 1u << 2,
    kMayRotate = 1u << 3,
    kMayTranslate = 1u << 4,
    kMayTranslateCopy = 1u << 5,   // mirrors kMayTranslate
    kRotationChanged = 1u << 6,
    kTranslationChanged = 1u << 7,
    kScaleChanged = 1u << 8,
    kMayScale = 1u << 9,
  };
  static constexpr uint32_t kNewFlags =
      kConnected | kIkActive | kMayRotate | kMayTranslate | kMayTranslateCopy | kMayScale;
  static constexpr uint32_t kChangeBits = kRotationChanged | kTranslationChanged | kScaleChanged;

  // Values of `limit_method`.
  enum LimitMethod : int32_t {
    kEulerLimits = 0,
    kComponentLimits = 1,  // what a default bone record selects
  };

  UBONEIK_BONE() = default;
  virtual ~UBONEIK_BONE();
  UBONEIK_BONE(const UBONEIK_BONE&) = delete;
  UBONEIK_BONE& operator=(const UBONEIK_BONE&) = delete;

  bool Has(Flag bit) const { return (flags & bit) != 0; }
  // IK active and allowed to rotate: what every rotating operation needs.
  bool CanRotate() const { return Has(kIkActive) && Has(kMayRotate); }

  // F and its transpose from head, tail and up.
  void ComputeRestFrame();
  // Every axis free on both sides.
  bool Unlimited() const;
  // q with the rotation limits applied in the rest frame (q itself when
  // unlimited).
  FQUAT LimitRotation(const FQUAT& q) const;
  // T(-head)·S(s)·R(limited q)·T(t)·T(head).
  FMATRIX LocalMatrix() const;
  // The space the bone's pose acts in: the parent's world matrix (the
  // model's base matrix for a root bone), after the pose of the objects in
  // between that are no bones of the model.
  FMATRIX ParentWorld() const;
  // This node's world matrix from its local matrix and ParentWorld().
  void UpdateWorld();
  // UpdateWorld on this node and then on all its descendants (later siblings
  // are not touched).
  void UpdateSubtree();

  uint32_t flags = kNewFlags;
  FVECTOR3 head;
  FVECTOR3 tail;
  FVECTOR3 up;
  UBONEIK_BONE* parent = nullptr;
  std::unique_ptr<UBONEIK_BONE> first_child;
  std::unique_ptr<UBONEIK_BONE> next_sibling;
  UBONEIK_MODEL* owner = nullptr;
  int32_t object = -1;  // unique id of the document object
  FVECTOR3 rot_limit0{-kLimitPi, -kLimitPi, -kLimitPi};  // radians, per rest-frame axis
  FVECTOR3 rot_limit1{kLimitPi, kLimitPi, kLimitPi};
  int32_t limit_method = kComponentLimits;
  FVECTOR3 tail_target;  // world tail and up point when the model was built
  FVECTOR3 up_target;
  FMATRIX world;
  // The pose-local matrices of the objects between this bone and its parent
  // node (or the base) that have no node, in the order evaluation applies
  // them; pose evaluation moves the bone by them, so the solver must too.
  FMATRIX above;
  bool has_above = false;
  OPoseTSQ pose;  // t, s, q of the current pose
  FMATRIX rest_frame;
  FMATRIX rest_frame_t;
};

// The skeleton of one document while a drag lasts.
class UBONEIK_MODEL {
 public:
  // Called with the bone of every aim step (of a solve, an aim and children
  // following), before the step decides whether the bone may rotate.
  using AimObserver = std::function<void(const UBONEIK_BONE&)>;

  UBONEIK_MODEL() = default;
  virtual ~UBONEIK_MODEL();
  // Nodes point back at their model.
  UBONEIK_MODEL(const UBONEIK_MODEL&) = delete;
  UBONEIK_MODEL& operator=(const UBONEIK_MODEL&) = delete;

  // Replaces the tree by one node per bone object of the document: an object
  // with a child and with OB_BONE in its bone record. The bones below an
  // object without a node hang on its nearest ancestor that has one; when no
  // ancestor has one they become further roots. Poses come from the edit
  // state's current pose. False (and an empty model) without a document.
  bool Build(MQDocument doc, const RigSlotTable& slots, const RigEditState& state);
  // Releases the tree.
  void Clear();

  // The first root bone; further roots are its next siblings.
  UBONEIK_BONE* Root() const { return root_.get(); }
  const FMATRIX& BaseMatrix() const { return base_; }
  // The edit state of the last Build, or null.
  const RigEditState* EditState() const { return state_; }

  // Pre-order search by the object's unique id; null when none.
  UBONEIK_BONE* FindBone(int32_t object) const;
  // Some node has a rotation, translation or scale change.
  bool AnyChange() const;

  // Each answers whether something changed. Targets are document positions.
  // CCD on the chain that ends at `end`: ten aim steps of its members, from
  // the end bone up to the top and around again, each aiming end's tail at
  // the target.
  bool SolveChain(UBONEIK_BONE* end, const FVECTOR3& target, bool children_follow);
  // Turns the bone so that its own tail points at the target.
  bool AimBone(UBONEIK_BONE* bone, const FVECTOR3& target, bool children_follow);
  // Turns the bone about its own axis so that its up point faces the target.
  bool RollBone(UBONEIK_BONE* bone, const FVECTOR3& target, bool children_follow);
  // Moves the bone so that its head lands on the target.
  bool TranslateBone(UBONEIK_BONE* bone, const FVECTOR3& target, bool children_follow);
  // Turns the bone about its posed pivot by the rotation part of `turn`, a
  // transform of the document's frame (a handle step), within its limits.
  bool TurnBone(UBONEIK_BONE* bone, const FMATRIX& turn, bool children_follow);
  // Multiplies the bone's pose scale by `factors`, about its pivot.
  bool ScaleBone(UBONEIK_BONE* bone, const FVECTOR3& factors, bool children_follow);

  void SetAimObserver(AimObserver observer) { aim_observer_ = std::move(observer); }

 private:
  bool AimStep(UBONEIK_BONE& bone, const UBONEIK_BONE& effector, const FVECTOR3& target);
  void ChildrenFollow(UBONEIK_BONE& bone, bool on);
  void Restore(UBONEIK_BONE& bone);

  std::unique_ptr<UBONEIK_BONE> root_;
  FMATRIX base_;
  const RigEditState* state_ = nullptr;
  AimObserver aim_observer_;
  std::vector<UBONEIK_BONE*> chain_;  // kept to avoid an allocation per solve
};

// Copies the changed rotation, translation and scale of every node into the
// objects' records of the current pose (making a pose first when the list is
// empty), then evaluates the pose, through `evaluator` when given (a drag
// passes the document model's, which keeps what it knows between steps).
// Nodes whose object is gone are skipped. True when a record was stored.
bool WriteBack(MQDocument doc, const RigSlotTable& slots, RigEditState& state,
               const UBONEIK_MODEL& model, MQEXPDOC::PoseEvaluator* evaluator = nullptr);

}  // namespace quorvel
