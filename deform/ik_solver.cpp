#include "deform/ik_solver.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "deform/pose_evaluation.h"
#include "rig/bone_points.h"
#include "rig/hierarchy.h"
#include "rig/host_records.h"
#include "rig/id_table.h"
#include "rig/pose_list.h"
#include "rig/rig_access.h"
#include "sdk/host_api.h"

namespace quorvel {

namespace hr = host_records;

namespace {

constexpr FVECTOR3 kAxisX(1.0f, 0.0f, 0.0f);
constexpr FVECTOR3 kAxisY(0.0f, 1.0f, 0.0f);
constexpr FVECTOR3 kAxisZ(0.0f, 0.0f, 1.0f);

// Rounding can carry a sine a hair past ±1, where asin has no value.
float SafeAsin(float s) { return std::asin(std::clamp(s, -1.0f, 1.0f)); }

// Matrix to quaternion with a strict trace test, for the way back from the
// rest frame. A zero square root (the radicand can only reach it through
// rounding) leaves the other three components 0, and the caller's
// normalisation then yields the identity instead of a division by zero.
FQUAT QuatFromMatrixStrict(const FMATRIX& m) {
  FQUAT q = FQUAT::kZero;
  const float t = m(0, 0) + m(1, 1) + m(2, 2);
  if (t > 0.0f) {
    const float s = std::sqrt(t + 1.0f);
    const float f = 0.5f / s;
    q.w = 0.5f * s;
    q.x = (m(1, 2) - m(2, 1)) * f;
    q.y = (m(2, 0) - m(0, 2)) * f;
    q.z = (m(0, 1) - m(1, 0)) * f;
    return q;
  }
  int i = 0;
  if (m(1, 1) > m(0, 0)) i = 1;
  if (m(2, 2) > m(i, i)) i = 2;
  if (i == 0) {
    const float s = std::sqrt(std::max(0.0f, m(0, 0) - m(1, 1) - m(2, 2) + 1.0f));
    q.x = 0.5f * s;
    if (s == 0.0f) return q;
    const float f = 0.5f / s;
    q.y = (m(1, 0) + m(0, 1)) * f;
    q.z = (m(0, 2) + m(2, 0)) * f;
    q.w = (m(1, 2) - m(2, 1)) * f;
  } else if (i == 1) {
    const float s = std::sqrt(std::max(0.0f, m(1, 1) - m(2, 2) - m(0, 0) + 1.0f));
    q.y = 0.5f * s;
    if (s == 0.0f) return q;
    const float f = 0.5f / s;
    q.z = (m(2, 1) + m(1, 2)) * f;
    q.x = (m(1, 0) + m(0, 1)) * f;
    q.w = (m(2, 0) - m(0, 2)) * f;
  } else {
    const float s = std::sqrt(std::max(0.0f, m(2, 2) - m(0, 0) - m(1, 1) + 1.0f));
    q.z = 0.5f * s;
    if (s == 0.0f) return q;
    const float f = 0.5f / s;
    q.x = (m(0, 2) + m(2, 0)) * f;
    q.y = (m(2, 1) + m(1, 2)) * f;
    q.w = (m(0, 1) - m(1, 0)) * f;
  }
  return q;
}

bool AxisUnlimited(float lo, float hi) { return lo <= -kIkUnlimitedAngle && hi >= kIkUnlimitedAngle; }

bool AllAxesUnlimited(const FVECTOR3& lo, const FVECTOR3& hi) {
  return AxisUnlimited(lo.x, hi.x) && AxisUnlimited(lo.y, hi.y) && AxisUnlimited(lo.z, hi.z);
}

// Euler angles with B = qZ·qX·qY (Z first, then X, then Y): the extraction
// below is the exact inverse of that product.
FQUAT LimitEuler(const FQUAT& b, const FVECTOR3& lo, const FVECTOR3& hi) {
  const FMATRIX m = FMATRIX::FromQuat(b);
  const float m21 = m(2, 1);
  float ax = SafeAsin(-m21);
  float ay = 0.0f;
  float az = 0.0f;
  if (1.0f - std::fabs(m21) > 0.0002f) {
    ay = std::atan2(m(2, 0), m(2, 2));
    az = std::atan2(m(0, 1), m(1, 1));
  } else {
    // Gimbal lock: X is ±90°, Y and Z turn about the same axis; Z takes it all.
    az = std::atan2(m(0, 2) * -m21, m(0, 0));
  }
  ax = IkClampAngle(ax, lo.x, hi.x);
  ay = IkClampAngle(ay, lo.y, hi.y);
  az = IkClampAngle(az, lo.z, hi.z);
  FQUAT r = FQUAT::FromAxisAngle(kAxisZ, az) * FQUAT::FromAxisAngle(kAxisX, ax) *
            FQUAT::FromAxisAngle(kAxisY, ay);
  r.Normalize();
  return r;
}

// Per-axis angles read from the vector part (twice the arcsine of each
// component), clamped, and put back as sines.
FQUAT LimitComponents(const FQUAT& b, const FVECTOR3& lo, const FVECTOR3& hi) {
  if (AllAxesUnlimited(lo, hi)) return b;
  // A negative w is the same rotation as its negation; reading the inverse's
  // vector part keeps the result on the w >= 0 side.
  const FQUAT v = b.w < 0.0f ? b.Inverse() : b;
  const float ax = IkClampAngle(2.0f * SafeAsin(v.x), lo.x, hi.x);
  const float ay = IkClampAngle(2.0f * SafeAsin(v.y), lo.y, hi.y);
  const float az = IkClampAngle(2.0f * SafeAsin(v.z), lo.z, hi.z);
  const float sx = std::sin(ax * 0.5f);
  const float sy = std::sin(ay * 0.5f);
  const float sz = std::sin(az * 0.5f);
  // Clamping can push the three sines past a unit vector (say three lower
  // limits of 100°); the rotation is then a half turn and w is 0.
  const float sum = std::min(1.0f, sx * sx + sy * sy + sz * sz);
  FQUAT r(sx, sy, sz, std::sqrt(1.0f - sum));
  r.Normalize();
  return r;
}

// Pre-order walks confined to the subtree of `top` (the whole model when
// `top` is null), driven by the parent links so that neither deep chains nor
// long sibling lists cost stack.
UBONEIK_BONE* NextAfterSubtree(const UBONEIK_BONE* node, const UBONEIK_BONE* top) {
  for (; node != nullptr && node != top; node = node->parent) {
    if (node->next_sibling) return node->next_sibling.get();
  }
  return nullptr;
}

UBONEIK_BONE* NextPreOrder(const UBONEIK_BONE* node, const UBONEIK_BONE* top) {
  if (node->first_child) return node->first_child.get();
  return NextAfterSubtree(node, top);
}

bool IsDefaultPose(const OPoseTSQ& pose) {
  const OPoseTSQ rest;
  return pose.trs == rest.trs && pose.scl == rest.scl && pose.rot == rest.rot;
}

// Carries points into the space of the bone's parent, where its pose acts.
// A root's parent space is the base matrix's, the identity, unless posed
// objects without a node lie above it.
void ToParentSpace(const UBONEIK_BONE& bone, FVECTOR3& a, FVECTOR3& b, FVECTOR3& c) {
  if (bone.parent == nullptr && !bone.has_above) return;
  const FMATRIX inverse = bone.ParentWorld().Inverse();
  a = inverse.TransformPoint(a);
  b = inverse.TransformPoint(b);
  c = inverse.TransformPoint(c);
}

// q = normalise(q·Δ), limited and stored as a rotation change. The world
// matrices are the caller's to update.
void TurnBy(UBONEIK_BONE& bone, const FQUAT& delta) {
  bone.pose.rot = bone.LimitRotation((bone.pose.rot * delta).Normalized());
  bone.flags |= UBONEIK_BONE::kRotationChanged;
}

// The host walk of Build, depth-first with an explicit stack.
class ModelBuilder {
 public:
  ModelBuilder(MQDocument doc, const RigSlotTable& slots, int pose_id, UBONEIK_MODEL* owner,
               std::unique_ptr<UBONEIK_BONE>& roots)
      : doc_(doc), slots_(slots), pose_id_(pose_id), owner_(owner), roots_tail_(&roots) {}

  void Run() {
    const MQHostApi& api = HostApi();
    const int count = std::max(0, api.MQDoc_GetObjectCount(doc_));
    // No more objects are entered than the list holds, which bounds the walk
    // should a host's hierarchy ever loop.
    int budget = count;
    for (int i = 0; i < count && budget > 0; ++i) {
      MQObject obj = api.MQDoc_GetObject(doc_, i);
      if (obj == nullptr || hr::Depth(obj) != 0) continue;
      --budget;
      Enter(obj, nullptr, kRootList, Above{});
      while (!frames_.empty()) {
        Frame& top = frames_.back();
        if (top.next_child >= top.child_count) {
          frames_.pop_back();
          continue;
        }
        MQObject child = api.MQDoc_GetChildObject(doc_, top.object, top.next_child++);
        if (child == nullptr) continue;
        if (--budget < 0) {
          frames_.clear();
          break;
        }
        UBONEIK_BONE* parent = top.node;
        const int list = top.list;
        const Above above = top.above;
        Enter(child, parent, list, above);  // may grow frames_: `top` is not used past this point
      }
    }
  }

 private:
  static constexpr int kRootList = -1;

  // The objects without a node passed since the last node: their pose-local
  // matrices composed (none: the identity).
  struct Above {
    FMATRIX matrix;
    bool any = false;
  };

  struct Frame {
    Above above;  // what this frame's children have above them
    MQObject object = nullptr;
    int child_count = 0;
    int next_child = 0;
    UBONEIK_BONE* node = nullptr;  // parent node of the object's children
    int list = kRootList;          // frame whose child list they join
    std::unique_ptr<UBONEIK_BONE>* tail = nullptr;  // end of this frame's own list
  };

  // An object with parent node `parent` whose node (if any) joins the child
  // list kept by frame `list`. An object without a node hands its children on
  // to the same parent and list; with no parent node at all they become
  // further roots of the model.
  void Enter(MQObject obj, UBONEIK_BONE* parent, int list, const Above& above) {
    const int child_count = HostApi().MQDoc_GetChildObjectCount(doc_, obj);
    MQObject first = child_count > 0 ? FirstChild(doc_, obj) : nullptr;
    if (first == nullptr) return;  // no tail, no bone, and nothing below

    Frame frame;
    frame.object = obj;
    frame.child_count = child_count;
    frame.node = parent;
    frame.list = list;
    frame.above = above;

    OBase rec;
    if (GetBoneRecord(obj, slots_, rec) && (rec.flags & OBase::OB_BONE) != 0) {
      std::unique_ptr<UBONEIK_BONE> node = MakeNode(obj, rec, parent);
      node->above = above.matrix;
      node->has_above = above.any;
      frame.above = Above{};
      UBONEIK_BONE* raw = node.get();
      std::unique_ptr<UBONEIK_BONE>*& tail = list == kRootList ? roots_tail_ : frames_[list].tail;
      *tail = std::move(node);
      tail = &raw->next_sibling;
      frame.node = raw;
      frame.list = static_cast<int>(frames_.size());
      frame.tail = &raw->first_child;
    } else {
      // Pose evaluation moves everything below the object by its pose.
      OPoseTSQ pose;
      if (pose_id_ >= 0 && pose_id_ < kMaxPoses && GetPoseTSQ(obj, slots_, pose_id_, pose) &&
          !IsDefaultPose(pose)) {
        const FMATRIX local = PoseLocalMatrix(pose, ObjectPivot(doc_, obj));
        frame.above.matrix = above.any ? local * above.matrix : local;
        frame.above.any = true;
      }
    }
    frames_.push_back(frame);
  }

  std::unique_ptr<UBONEIK_BONE> MakeNode(MQObject obj, const OBase& rec,
                                         UBONEIK_BONE* parent) const {
    auto node = std::make_unique<UBONEIK_BONE>();
    node->parent = parent;
    node->owner = owner_;
    node->object = hr::UniqueId(obj);

    // The bone's points; the up point is the roll point.
    const BonePoints points = GetBonePoints(doc_, obj);
    node->head = points.pivot;
    node->tail = points.tail;
    node->up = points.roll;

    uint32_t flags = UBONEIK_BONE::kNewFlags;
    auto set = [&flags](uint32_t bit, bool on) { flags = on ? (flags | bit) : (flags & ~bit); };
    set(UBONEIK_BONE::kChainStop, (rec.flags & OBase::OB_POSEMARK) != 0);
    set(UBONEIK_BONE::kConnected, IsFirstChild(doc_, obj));
    set(UBONEIK_BONE::kIkActive, (rec.flags & OBase::OB_POSEACTIVE) != 0);
    set(UBONEIK_BONE::kMayRotate, (rec.flags & OBase::userot) != 0);
    set(UBONEIK_BONE::kMayTranslate, (rec.flags & OBase::usetrs) != 0);
    set(UBONEIK_BONE::kMayTranslateCopy, (rec.flags & OBase::usetrs) != 0);
    set(UBONEIK_BONE::kMayScale, (rec.flags & OBase::usescl) != 0);
    node->flags = flags;
    node->limit_method = (rec.flags & OBase::OB_LIMITMODE) != 0 ? UBONEIK_BONE::kComponentLimits
                                                                 : UBONEIK_BONE::kEulerLimits;
    node->rot_limit0 = rec.limit_min;
    node->rot_limit1 = rec.limit_max;
    if (pose_id_ >= 0 && pose_id_ < kMaxPoses) GetPoseTSQ(obj, slots_, pose_id_, node->pose);
    node->ComputeRestFrame();
    return node;
  }

  MQDocument doc_;
  const RigSlotTable& slots_;
  int pose_id_;
  UBONEIK_MODEL* owner_;
  std::unique_ptr<UBONEIK_BONE>* roots_tail_;
  std::vector<Frame> frames_;
};

}  // namespace

// ---------------------------------------------------------------- helpers

FQUAT IkRotationBetween(const FVECTOR3& u, const FVECTOR3& v) {
  const float c = Dot(u, v) + 1.0f;
  if (c < 0.0002f) return FQUAT(0.0f, 1.0f, 0.0f, 0.0f);
  if (c >= 1.9998f) return FQUAT::kIdentity;
  const FVECTOR3 axis = Cross(u, v);
  return FQUAT(axis.x, axis.y, axis.z, c).Normalized();
}

float IkClampAngle(float a, float lo, float hi) {
  if (lo == hi) return lo;
  if (AxisUnlimited(lo, hi)) return a;
  if (hi < lo) std::swap(lo, hi);
  if (lo > -kIkUnlimitedAngle && a < lo) a = lo;
  if (hi < kIkUnlimitedAngle && a > hi) a = hi;
  return a;
}

// ---------------------------------------------------------------- UBONEIK_BONE

UBONEIK_BONE::~UBONEIK_BONE() {
  // Releasing through the owning links one node at a time would recurse once
  // per node of a chain or a sibling list. Instead the first child is rotated
  // up in place of its parent until the front node has no child and can go
  // without taking anything with it.
  for (std::unique_ptr<UBONEIK_BONE>* start : {&first_child, &next_sibling}) {
    std::unique_ptr<UBONEIK_BONE> node = std::move(*start);
    while (node) {
      if (node->first_child) {
        std::unique_ptr<UBONEIK_BONE> child = std::move(node->first_child);
        node->first_child = std::move(child->next_sibling);
        child->next_sibling = std::move(node);
        node = std::move(child);
      } else {
        std::unique_ptr<UBONEIK_BONE> next = std::move(node->next_sibling);
        node = std::move(next);
      }
    }
  }
}

void UBONEIK_BONE::ComputeRestFrame() {
  const FVECTOR3 a = (tail - head).Normalized();
  const FVECTOR3 b = (up - head).Normalized();
  const FVECTOR3 x = Cross(a, b).Normalized();
  const FVECTOR3 y = Cross(x, a).Normalized();
  rest_frame = FMATRIX();
  rest_frame.SetRow(0, FVECTOR4(x, 0.0f));
  rest_frame.SetRow(1, FVECTOR4(y, 0.0f));
  rest_frame.SetRow(2, FVECTOR4(a, 0.0f));
  rest_frame_t = rest_frame.Transposed();
}

bool UBONEIK_BONE::Unlimited() const { return AllAxesUnlimited(rot_limit0, rot_limit1); }

FQUAT UBONEIK_BONE::LimitRotation(const FQUAT& q) const {
  if (Unlimited()) return q;
  const FQUAT in_frame = FQUAT::FromMatrix(rest_frame * FMATRIX::FromQuat(q) * rest_frame_t);
  const FQUAT limited = limit_method == kEulerLimits
                            ? LimitEuler(in_frame, rot_limit0, rot_limit1)
                            : LimitComponents(in_frame, rot_limit0, rot_limit1);
  return QuatFromMatrixStrict(rest_frame_t * FMATRIX::FromQuat(limited) * rest_frame).Normalized();
}

FMATRIX UBONEIK_BONE::LocalMatrix() const {
  OPoseTSQ limited = pose;
  limited.rot = LimitRotation(pose.rot);
  return PoseLocalMatrix(limited, head);
}

FMATRIX UBONEIK_BONE::ParentWorld() const {
  const FMATRIX& outer = parent != nullptr  ? parent->world
                         : owner != nullptr ? owner->BaseMatrix()
                                            : FMATRIX::kIdentity;
  return has_above ? above * outer : outer;
}

void UBONEIK_BONE::UpdateWorld() { world = LocalMatrix() * ParentWorld(); }

void UBONEIK_BONE::UpdateSubtree() {
  UpdateWorld();
  for (UBONEIK_BONE* node = NextPreOrder(this, this); node != nullptr;
       node = NextPreOrder(node, this)) {
    node->UpdateWorld();
  }
}

// ---------------------------------------------------------------- UBONEIK_MODEL

UBONEIK_MODEL::~UBONEIK_MODEL() = default;

void UBONEIK_MODEL::Clear() {
  root_.reset();
  state_ = nullptr;
}

bool UBONEIK_MODEL::Build(MQDocument doc, const RigSlotTable& slots, const RigEditState& state) {
  Clear();
  base_ = FMATRIX::kIdentity;
  if (doc == nullptr) return false;
  state_ = &state;
  ModelBuilder(doc, slots, state.current_pose_id, this, root_).Run();
  // Pre-order puts every parent before its children.
  for (UBONEIK_BONE* node = root_.get(); node != nullptr; node = NextPreOrder(node, nullptr)) {
    node->UpdateWorld();
    node->tail_target = node->world.TransformPoint(node->tail);
    node->up_target = node->world.TransformPoint(node->up);
  }
  return true;
}

UBONEIK_BONE* UBONEIK_MODEL::FindBone(int32_t object) const {
  for (UBONEIK_BONE* node = root_.get(); node != nullptr; node = NextPreOrder(node, nullptr)) {
    if (node->object == object) return node;
  }
  return nullptr;
}

bool UBONEIK_MODEL::AnyChange() const {
  for (UBONEIK_BONE* node = root_.get(); node != nullptr; node = NextPreOrder(node, nullptr)) {
    if ((node->flags & UBONEIK_BONE::kChangeBits) != 0) return true;
  }
  return false;
}

bool UBONEIK_MODEL::AimStep(UBONEIK_BONE& bone, const UBONEIK_BONE& effector,
                            const FVECTOR3& target) {
  if (aim_observer_) aim_observer_(bone);
  if (!bone.CanRotate()) return false;
  FVECTOR3 p = bone.world.TransformPoint(bone.head);
  FVECTOR3 f = effector.world.TransformPoint(effector.tail);
  FVECTOR3 g = target;
  ToParentSpace(bone, p, f, g);
  TurnBy(bone, IkRotationBetween((f - p).Normalized(), (g - p).Normalized()));
  bone.UpdateSubtree();
  return true;
}

bool UBONEIK_MODEL::SolveChain(UBONEIK_BONE* end, const FVECTOR3& target, bool children_follow) {
  if (end == nullptr) return false;
  chain_.clear();
  for (UBONEIK_BONE* node = end; node != nullptr; node = node->parent) {
    chain_.push_back(node);
    if (!node->Has(UBONEIK_BONE::kConnected) || node->Has(UBONEIK_BONE::kChainStop)) break;
  }
  // From the end bone up to the top member, then round again. (Top first
  // would line a straight chain up with the target, and no member below it
  // could bend it after that: a target inside the chain's reach would never
  // be reached.)
  const int n = static_cast<int>(chain_.size());
  bool changed = false;
  for (int step = 0; step < kIkAimSteps; ++step) {
    UBONEIK_BONE* bone = chain_[static_cast<std::size_t>(step % n)];
    if (AimStep(*bone, *end, target)) changed = true;
  }
  if (changed) ChildrenFollow(*end, children_follow);
  return changed;
}

bool UBONEIK_MODEL::AimBone(UBONEIK_BONE* bone, const FVECTOR3& target, bool children_follow) {
  if (bone == nullptr || !AimStep(*bone, *bone, target)) return false;
  ChildrenFollow(*bone, children_follow);
  return true;
}

bool UBONEIK_MODEL::RollBone(UBONEIK_BONE* bone, const FVECTOR3& target, bool children_follow) {
  if (bone == nullptr || !bone->CanRotate()) return false;
  const FMATRIX& w = bone->world;
  FVECTOR3 p = w.TransformPoint(bone->head);
  FVECTOR3 n = w.TransformPoint(bone->up);
  const FVECTOR3 f = w.TransformPoint(bone->tail);
  // The target dropped onto the plane through the head across the bone.
  const FVECTOR3 d = (f - p).Normalized();
  FVECTOR3 g = target - d * Dot(d, target - p);
  ToParentSpace(*bone, p, n, g);
  TurnBy(*bone, IkRotationBetween((n - p).Normalized(), (g - p).Normalized()));
  bone->UpdateWorld();
  if (children_follow && bone->first_child) Restore(*bone);
  bone->UpdateSubtree();
  return true;
}

bool UBONEIK_MODEL::TranslateBone(UBONEIK_BONE* bone, const FVECTOR3& target,
                                  bool children_follow) {
  if (bone == nullptr || !bone->Has(UBONEIK_BONE::kIkActive) ||
      !bone->Has(UBONEIK_BONE::kMayTranslate)) {
    return false;
  }
  // The head's world position is (head + t)·P, so t = T·P⁻¹ - head puts it on
  // the target for any parent pose. (Subtracting head·P instead is the same
  // for a root and for a parent that leaves the head in place, but drifts
  // away from the cursor under a turned parent.)
  bone->pose.trs = bone->ParentWorld().Inverse().TransformPoint(target) - bone->head;
  bone->flags |= UBONEIK_BONE::kTranslationChanged;
  bone->UpdateSubtree();
  ChildrenFollow(*bone, children_follow);
  return true;
}

bool UBONEIK_MODEL::TurnBone(UBONEIK_BONE* bone, const FMATRIX& turn, bool children_follow) {
  if (bone == nullptr || !bone->CanRotate()) return false;
  // The pose turns in the parent's space: a world rotation R is P·R·P⁻¹
  // there, and q·Δ turns the bone about its posed pivot.
  FMATRIX parent = bone->ParentWorld();
  parent.SetTranslation(FVECTOR3());
  FMATRIX rotation = turn;
  rotation.SetTranslation(FVECTOR3());
  const FQUAT delta = FQUAT::FromMatrix(parent * rotation * parent.Inverse()).Normalized();
  const FQUAT before = bone->pose.rot;
  TurnBy(*bone, delta);
  if (bone->pose.rot == before) return false;
  bone->UpdateSubtree();
  ChildrenFollow(*bone, children_follow);
  return true;
}

bool UBONEIK_MODEL::ScaleBone(UBONEIK_BONE* bone, const FVECTOR3& factors, bool children_follow) {
  if (bone == nullptr || !bone->Has(UBONEIK_BONE::kIkActive) || !bone->Has(UBONEIK_BONE::kMayScale)) {
    return false;
  }
  const FVECTOR3 scaled(bone->pose.scl.x * factors.x, bone->pose.scl.y * factors.y,
                        bone->pose.scl.z * factors.z);
  // A scale through zero would fold the bone inside out and cannot be undone
  // by dragging back.
  if (!(scaled.x > 0.0f && scaled.y > 0.0f && scaled.z > 0.0f) || scaled == bone->pose.scl) return false;
  bone->pose.scl = scaled;
  bone->flags |= UBONEIK_BONE::kScaleChanged;
  bone->UpdateSubtree();
  ChildrenFollow(*bone, children_follow);
  return true;
}

void UBONEIK_MODEL::ChildrenFollow(UBONEIK_BONE& bone, bool on) {
  if (!on) return;
  UBONEIK_BONE* node = bone.first_child.get();
  while (node != nullptr) {
    if (node->Has(UBONEIK_BONE::kChainStop)) {
      // Neither it, its descendants nor its later siblings follow.
      node = NextAfterSubtree(node->parent, &bone);
      continue;
    }
    AimStep(*node, *node, node->tail_target);
    node = NextPreOrder(node, &bone);
  }
}

void UBONEIK_MODEL::Restore(UBONEIK_BONE& bone) {
  UBONEIK_BONE* node = bone.first_child.get();
  while (node != nullptr) {
    if (!node->CanRotate()) {
      // Its descendants and later siblings stay as the roll carried them.
      node = NextAfterSubtree(node->parent, &bone);
      continue;
    }
    node->UpdateWorld();
    // A step from the up direction onto itself turns by the identity: it only
    // re-normalises q and re-applies the limits.
    TurnBy(*node, FQUAT::kIdentity);
    node->UpdateWorld();

    FVECTOR3 p = node->world.TransformPoint(node->head);
    FVECTOR3 f = node->world.TransformPoint(node->tail);
    FVECTOR3 g = node->tail_target;
    ToParentSpace(*node, p, f, g);
    TurnBy(*node, IkRotationBetween((f - p).Normalized(), (g - p).Normalized()));
    node->UpdateWorld();
    node = NextPreOrder(node, &bone);
  }
}

// ---------------------------------------------------------------- write back

bool WriteBack(MQDocument doc, const RigSlotTable& slots, RigEditState& state,
               const UBONEIK_MODEL& model, MQEXPDOC::PoseEvaluator* evaluator) {
  if (doc == nullptr || !model.AnyChange()) return false;
  if (PoseCount(state) == 0) CreatePose(state);
  const int pose_id = state.current_pose_id;

  // One id table per call instead of a list walk per node.
  IdTable table;
  BuildIdTable(doc, table);
  bool stored = false;
  for (const UBONEIK_BONE* node = model.Root(); node != nullptr;
       node = NextPreOrder(node, nullptr)) {
    if ((node->flags & UBONEIK_BONE::kChangeBits) == 0) continue;
    const int32_t index = LookupIndex(table, node->object);
    MQObject obj = index >= 0 ? HostApi().MQDoc_GetObject(doc, index) : nullptr;
    if (obj == nullptr) continue;
    OPoseTSQ rec;
    if (pose_id >= 0 && pose_id < kMaxPoses) GetPoseTSQ(obj, slots, pose_id, rec);
    if (node->Has(UBONEIK_BONE::kRotationChanged)) rec.rot = node->pose.rot;
    if (node->Has(UBONEIK_BONE::kTranslationChanged)) rec.trs = node->pose.trs;
    if (node->Has(UBONEIK_BONE::kScaleChanged)) rec.scl = node->pose.scl;
    if (SetPoseTSQ(obj, slots, pose_id, rec)) stored = true;
  }
  if (stored) {
    if (evaluator != nullptr) {
      evaluator->Evaluate(doc, slots, state);
    } else {
      EvaluateCurrentPose(doc, slots, state);
    }
  }
  return stored;
}

}  // namespace quorvel
