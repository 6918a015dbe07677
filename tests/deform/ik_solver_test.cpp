// IK solver: the skeleton model built from the document, the rotation and
// limit rules, the drag operations, and writing the result into the pose.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "deform/ik_solver.h"
#include "rig/pose_list.h"
#include "rig/rig_access.h"
#include "tests/rig/rig_fixture.h"
#include "tests/support/float_checks.h"

using namespace quorvel;

namespace {

constexpr float kPi = 3.14159265f;
constexpr float kDeg = kPi / 180.0f;
const FVECTOR3 kX(1, 0, 0);
const FVECTOR3 kY(0, 1, 0);
const FVECTOR3 kZ(0, 0, 1);

FQUAT Turn(const FVECTOR3& axis, float degrees) { return FQUAT::FromAxisAngle(axis, degrees * kDeg); }

FVECTOR3 Degrees(float x, float y, float z) { return {x * kDeg, y * kDeg, z * kDeg}; }

// Compares rotations rather than quaternions, so that q and -q agree.
#define EXPECT_SAME_ROTATION(a, b, tol) EXPECT_MAT_NEAR(FMATRIX::FromQuat(a), FMATRIX::FromQuat(b), tol)

FVECTOR3 WorldHead(const UBONEIK_BONE& bone) { return bone.world.TransformPoint(bone.head); }
FVECTOR3 WorldTail(const UBONEIK_BONE& bone) { return bone.world.TransformPoint(bone.tail); }

// ---------------------------------------------------------------- rotation u → v

struct RotationCase {
  const char* what;
  FVECTOR3 u, v;
  bool exact;  // the result is a fixed constant, compared bit for bit
  FQUAT want;
};

FVECTOR3 InXY(float degrees) { return {std::cos(degrees * kDeg), std::sin(degrees * kDeg), 0.0f}; }

TEST(IkRotationBetween, Cases) {
  const FQUAT half_turn_y(0, 1, 0, 0);
  const RotationCase cases[] = {
      {"equal directions", kX, kX, true, FQUAT::kIdentity},
      {"within 1° is no turn", kX, InXY(1.0f), true, FQUAT::kIdentity},
      {"1.5° is a turn", kX, InXY(1.5f), false, Turn(kZ, 1.5f)},
      {"a quarter turn", kX, kY, false, Turn(kZ, 90.0f)},
      {"a quarter turn the other way", kY, kX, false, Turn(kZ, -90.0f)},
      {"178° is a turn about u × v", kX, InXY(178.0f), false, Turn(kZ, 178.0f)},
      {"179.5° counts as opposite", kX, InXY(179.5f), true, half_turn_y},
      {"u = -v along X", kX, -kX, true, half_turn_y},
      {"u = -v along Z", kZ, -kZ, true, half_turn_y},
      {"u = -v along Y is still the half turn about Y", kY, -kY, true, half_turn_y},
  };
  for (const RotationCase& c : cases) {
    SCOPED_TRACE(c.what);
    const FQUAT got = IkRotationBetween(c.u, c.v);
    if (c.exact) {
      EXPECT_EQ(got, c.want);
    } else {
      EXPECT_QUAT_NEAR(got, c.want, 2e-4f);
    }
  }
}

// ---------------------------------------------------------------- angle clamp

struct ClampCase {
  const char* what;
  float a, lo, hi, want;
};

TEST(IkClampAngle, Cases) {
  const float free = kIkUnlimitedAngle;
  const float limit_179_8 = 179.8f * kDeg;
  const ClampCase cases[] = {
      {"inside", 0.2f, -0.5f, 0.5f, 0.2f},
      {"below", -1.0f, -0.5f, 0.5f, -0.5f},
      {"above", 1.0f, -0.5f, 0.5f, 0.5f},
      {"equal bounds give the bound", 1.0f, 0.3f, 0.3f, 0.3f},
      {"equal bounds give the bound even when free", 1.0f, kPi, kPi, kPi},
      {"±180° is free", 3.1f, -kPi, kPi, 3.1f},
      {"±179.9° is free", -3.1f, -free, free, -3.1f},
      {"beyond ±180° is free", 3.0f, -4.0f, 4.0f, 3.0f},
      {"swapped bounds, above", 1.0f, 0.5f, -0.5f, 0.5f},
      {"swapped bounds, below", -1.0f, 0.5f, -0.5f, -0.5f},
      {"lower side free", -3.1f, -free, 0.5f, -3.1f},
      {"lower side free, upper clamps", 1.0f, -free, 0.5f, 0.5f},
      {"a free side does not clamp even past its bound", -3.14159f, -free, 0.5f, -3.14159f},
      {"upper side free", 3.1f, -0.5f, free, 3.1f},
      {"upper side free, lower clamps", -1.0f, -0.5f, free, -0.5f},
      {"179.8° is a limit", -3.14f, -limit_179_8, kPi, -limit_179_8},
      {"swapped with a free side", 3.0f, kPi, -0.5f, 3.0f},
      {"swapped with a free side, lower clamps", -1.0f, kPi, -0.5f, -0.5f},
  };
  for (const ClampCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(IkClampAngle(c.a, c.lo, c.hi), c.want);
  }
}

// ---------------------------------------------------------------- rotation limits

// A bone from the origin, its rest frame made from tail and up point.
std::unique_ptr<UBONEIK_BONE> LoneBone(const FVECTOR3& tail, const FVECTOR3& up, int32_t method,
                                       const FVECTOR3& lo, const FVECTOR3& hi) {
  auto bone = std::make_unique<UBONEIK_BONE>();
  bone->tail = tail;
  bone->up = up;
  bone->limit_method = method;
  bone->rot_limit0 = lo;
  bone->rot_limit1 = hi;
  bone->ComputeRestFrame();
  return bone;
}

TEST(IkRotationLimits, FreeAxesReturnTheRotationUntouched) {
  const FQUAT rotations[] = {Turn(kY, 40.0f), Turn({1, 2, 3}, 170.0f), Turn({-1, 0.5f, 0}, -100.0f),
                             FQUAT(0.1f, 0.2f, 0.3f, 0.9f)};
  const FVECTOR3 bounds[] = {{kLimitPi, kLimitPi, kLimitPi},
                             {kIkUnlimitedAngle, kIkUnlimitedAngle, kIkUnlimitedAngle},
                             {4.0f, 5.0f, 6.0f}};
  for (int32_t method : {UBONEIK_BONE::kEulerLimits, UBONEIK_BONE::kComponentLimits}) {
    for (const FVECTOR3& hi : bounds) {
      auto bone = LoneBone({0.3f, 0.5f, 1.0f}, {0, 0.4f, 0}, method, -hi, hi);
      ASSERT_TRUE(bone->Unlimited());
      for (const FQUAT& q : rotations) {
        SCOPED_TRACE(testing::Message() << "method " << method << " bound " << hi.x);
        EXPECT_EQ(bone->LimitRotation(q), q);
      }
    }
  }
}

struct LimitCase {
  const char* what;
  bool euler, components;  // which methods the case holds for
  FVECTOR3 tail, up;
  FVECTOR3 lo, hi;  // degrees
  FQUAT in, want;
};

TEST(IkRotationLimits, Cases) {
  // Along Z with its up point on +Y the rest frame has rows -X, Y, Z: a turn
  // about document Y by t is a turn by -t about the frame's y axis.
  const FVECTOR3 along_z(0, 0, 1), up_y(0, 0.3f, 0);
  // Along Y the up point is the head and the frame falls back to rows X, Z, Y.
  const FVECTOR3 along_y(0, 1, 0), no_up(0, 0, 0);
  const float s = std::sqrt(1.0f / 3.0f);
  const LimitCase cases[] = {
      {"[0°, 0°] on y removes a turn about y", true, true, along_z, up_y, {-180, 0, -180},
       {180, 0, 180}, Turn(kY, 40), FQUAT::kIdentity},
      {"[0°, 0°] on y keeps a turn about x", true, true, along_z, up_y, {-180, 0, -180},
       {180, 0, 180}, Turn(kX, 30), Turn(kX, 30)},
      {"[0°, 0°] on all axes", true, true, along_z, up_y, {0, 0, 0}, {0, 0, 0},
       Turn({1, 2, 3}, 70), FQUAT::kIdentity},
      {"a y range applies in the rest frame", true, true, along_z, up_y, {-180, -10, -180},
       {180, 20, 180}, Turn(kY, 40), Turn(kY, 10)},
      {"a y range lets an angle inside through", true, true, along_z, up_y, {-180, -10, -180},
       {180, 20, 180}, Turn(kY, -15), Turn(kY, -15)},
      {"swapped bounds are put in order", true, true, along_z, up_y, {-180, 20, -180},
       {180, -10, 180}, Turn(kY, 40), Turn(kY, 10)},
      {"equal bounds pin the angle", true, true, along_z, up_y, {-180, 15, -180}, {180, 15, 180},
       FQUAT::kIdentity, Turn(kY, -15)},
      {"x keeps its sign in the rest frame", true, true, along_z, up_y, {-20, -180, -180},
       {180, 180, 180}, Turn(kX, -50), Turn(kX, -20)},
      {"a free upper side lets a large angle through", true, true, along_z, up_y, {-20, -180, -180},
       {180, 180, 180}, Turn(kX, 170), Turn(kX, 170)},
      {"z is the bone axis", true, true, along_z, up_y, {-180, -180, 0}, {180, 180, 0},
       Turn(kZ, 50), FQUAT::kIdentity},
      {"a bone along Y limits its y axis about document Z", true, true, along_y, no_up,
       {-180, 0, -180}, {180, 0, 180}, Turn(kZ, 30), FQUAT::kIdentity},
      {"a bone along Y keeps a turn about X", true, true, along_y, no_up, {-180, 0, -180},
       {180, 0, 180}, Turn(kX, 30), Turn(kX, 30)},
      {"a turn past 120° keeps its sign (w < 0 read through the inverse)", true, true, along_z, up_y,
       {-180, -160, -180}, {180, 10, 180}, Turn(kY, 150), Turn(kY, 150)},
      {"Euler: Z, then X, then Y, each clamped alone", true, false, along_z, up_y,
       {-180, -180, -180}, {180, 10, 180}, Turn(kZ, -30) * Turn(kX, 20) * Turn(kY, -40),
       Turn(kZ, -30) * Turn(kX, 20) * Turn(kY, -10)},
      {"components: clamped sines past a unit vector give a half turn", false, true, along_z, up_y,
       {100, 100, 100}, {170, 170, 170}, FQUAT::kIdentity, FQUAT(-s, s, s, 0)},
  };
  for (const LimitCase& c : cases) {
    for (int32_t method : {UBONEIK_BONE::kEulerLimits, UBONEIK_BONE::kComponentLimits}) {
      if (!(method == UBONEIK_BONE::kEulerLimits ? c.euler : c.components)) continue;
      SCOPED_TRACE(testing::Message() << c.what << (method == 0 ? " (Euler)" : " (components)"));
      auto bone = LoneBone(c.tail, c.up, method, Degrees(c.lo.x, c.lo.y, c.lo.z),
                           Degrees(c.hi.x, c.hi.y, c.hi.z));
      const FQUAT got = bone->LimitRotation(c.in);
      EXPECT_NEAR(got.NormSq(), 1.0f, 1e-5f);
      EXPECT_SAME_ROTATION(got, c.want, 2e-4f);
    }
  }
}

// ---------------------------------------------------------------- model in a document

class IkSolverTest : public RigTest {
 protected:
  // An object `local` away from its parent's pivot (from the origin at depth
  // 0) with the default bone record, `set` bits added and `clear` bits taken.
  MQObject Bone(const char* name, int depth, FVECTOR3 local, uint32_t set = 0, uint32_t clear = 0) {
    MQObject obj = Plain(name, depth, local);
    OBase rec;
    rec.flags = (rec.flags | set) & ~clear;
    EXPECT_TRUE(SetBoneRecord(obj, slots_, rec));
    return obj;
  }
  // The same without a bone record.
  MQObject Plain(const char* name, int depth, FVECTOR3 local) {
    MQObject obj = AddObject(name, depth);
    HostApi().MQObj_SetFloatArray(obj, MQOBJ_ID_TRANSLATION, &local.x);
    names_[Uid(obj)] = name;
    return obj;
  }
  void Build() {
    ASSERT_TRUE(model_.Build(doc_, slots_, state_));
    model_.SetAimObserver([this](const UBONEIK_BONE& bone) { visits_.push_back(names_[bone.object]); });
  }
  UBONEIK_BONE* Node(MQObject obj) const { return model_.FindBone(Uid(obj)); }
  // A fresh document and edit state for the next row of a table.
  void Restart() {
    TearDown();
    SetUp();
    state_.Reset();
    visits_.clear();
  }
  // A pose made current, with these records.
  void Posed(std::initializer_list<std::pair<MQObject, FQUAT>> turns) {
    ASSERT_NE(CreatePose(state_), nullptr);
    for (const auto& [obj, q] : turns) {
      OPoseTSQ rec;
      rec.rot = q;
      ASSERT_TRUE(SetPoseTSQ(obj, slots_, state_.current_pose_id, rec));
    }
  }

  RigEditState state_;
  UBONEIK_MODEL model_;
  std::map<int32_t, std::string> names_;
  std::vector<std::string> visits_;
};

// ---------------------------------------------------------------- build

TEST_F(IkSolverTest, BuildMakesOneNodePerBoneObject) {
  // a (no OB_BONE) ─ b ─ c            roots: b, then d
  // d ─┬─ e ─ f                        d's children: e, then h (through g)
  //    └─ g (no record) ─ h ─ i
  MQObject a = Bone("a", 0, {0, 0, 0}, 0, OBase::OB_BONE);
  MQObject b = Bone("b", 1, {1, 0, 0}, OBase::OB_POSEMARK, OBase::userot);
  MQObject c = Bone("c", 2, {0, 2, 0});
  MQObject d = Bone("d", 0, {5, 0, 0});
  MQObject e = Bone("e", 1, {0, 0, 3}, 0, OBase::OB_POSEACTIVE | OBase::usetrs | OBase::usescl);
  MQObject f = Bone("f", 2, {0, 0, 1});
  MQObject g = Plain("g", 1, {1, 0, 0});
  MQObject h = Bone("h", 2, {1, 1, 0});
  MQObject i = Bone("i", 3, {1, 0, 0});
  Build();

  for (MQObject none : {a, c, f, g, i}) EXPECT_EQ(Node(none), nullptr) << names_[Uid(none)];
  EXPECT_EQ(model_.FindBone(-5), nullptr);
  ASSERT_NE(model_.Root(), nullptr);
  EXPECT_EQ(model_.Root(), Node(b)) << "the bones under a node-less root become roots";
  EXPECT_EQ(model_.Root()->next_sibling.get(), Node(d));
  EXPECT_EQ(Node(d)->next_sibling.get(), nullptr);
  EXPECT_EQ(Node(d)->first_child.get(), Node(e));
  EXPECT_EQ(Node(e)->next_sibling.get(), Node(h)) << "h hangs on its nearest ancestor with a node";
  EXPECT_EQ(Node(e)->first_child.get(), nullptr);

  using B = UBONEIK_BONE;
  struct Expect {
    MQObject obj;
    UBONEIK_BONE* parent;
    uint32_t flags;
  };
  const uint32_t rotate = B::kIkActive | B::kMayRotate;
  const uint32_t translate = B::kMayTranslate | B::kMayTranslateCopy;
  const Expect expected[] = {
      {b, nullptr, B::kChainStop | B::kConnected | B::kIkActive | translate | B::kMayScale},
      {d, nullptr, rotate | translate | B::kMayScale},
      {e, Node(d), B::kConnected | B::kMayRotate},
      {h, Node(d), B::kConnected | rotate | translate | B::kMayScale},
  };
  for (const Expect& x : expected) {
    SCOPED_TRACE(names_[Uid(x.obj)]);
    const UBONEIK_BONE* node = Node(x.obj);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->parent, x.parent);
    EXPECT_EQ(node->owner, &model_);
    EXPECT_EQ(node->flags, x.flags);
  }
}

struct GeometryCase {
  const char* what;
  FVECTOR3 along;
  FVECTOR3 up_offset;
};

TEST_F(IkSolverTest, BoneGeometry) {
  const GeometryCase cases[] = {
      {"along X", {2, 0, 0}, {0, 0.6f, 0}},
      {"along -Z", {0, 0, -3}, {0, 0.9f, 0}},
      {"along Y: the up point is the head", {0, 2, 0}, {0, 0, 0}},
      {"along -Y", {0, -1, 0}, {0, 0, 0}},
      {"diagonal in XY", {1, 1, 0}, {-0.3f, 0.3f, 0}},
  };
  for (const GeometryCase& c : cases) {
    SCOPED_TRACE(c.what);
    Restart();
    MQObject bone = Bone("bone", 0, {1, 2, 3});
    Bone("tip", 1, c.along);
    Build();
    const UBONEIK_BONE* node = Node(bone);
    ASSERT_NE(node, nullptr);
    EXPECT_VEC3_NEAR(node->head, FVECTOR3(1, 2, 3), 1e-6f);
    EXPECT_VEC3_NEAR(node->tail, FVECTOR3(1, 2, 3) + c.along, 1e-6f);
    EXPECT_VEC3_NEAR(node->up, FVECTOR3(1, 2, 3) + c.up_offset, 1e-5f);
    // The rest frame's last row is the bone direction.
    EXPECT_VEC3_NEAR(node->rest_frame.GetRow(2).Xyz(), c.along.Normalized(), 1e-6f);
  }
}

TEST_F(IkSolverTest, BuildReadsRecordsAndTheCurrentPose) {
  MQObject root = Bone("root", 0, {5, 0, 0});
  MQObject child = Bone("child", 1, {0, 0, 3}, 0, OBase::OB_LIMITMODE);
  Bone("tip", 2, {0, 0, 1});
  ASSERT_TRUE(SetRotationLimits(child, slots_, Degrees(-10, -20, -30), Degrees(40, 50, 60)));
  Posed({{root, Turn(kX, 90)}});
  Build();

  const UBONEIK_BONE* r = Node(root);
  const UBONEIK_BONE* c = Node(child);
  ASSERT_TRUE(r != nullptr && c != nullptr);
  EXPECT_EQ(r->limit_method, UBONEIK_BONE::kComponentLimits);
  EXPECT_EQ(c->limit_method, UBONEIK_BONE::kEulerLimits);
  EXPECT_VEC3_NEAR(c->rot_limit0, Degrees(-10, -20, -30), 1e-6f);
  EXPECT_VEC3_NEAR(c->rot_limit1, Degrees(40, 50, 60), 1e-6f);
  EXPECT_EQ(r->pose.rot, Turn(kX, 90));
  EXPECT_EQ(c->pose.rot, FQUAT::kIdentity);
  // The root turns +Z onto -Y about its head; the child goes along.
  EXPECT_VEC3_NEAR(r->tail_target, FVECTOR3(5, -3, 0), 1e-5f);
  EXPECT_VEC3_NEAR(r->up_target, FVECTOR3(5, 0, 0.9f), 1e-5f);
  EXPECT_VEC3_NEAR(c->tail_target, FVECTOR3(5, -4, 0), 1e-5f);
  EXPECT_FALSE(model_.AnyChange());
}

// ---------------------------------------------------------------- solve chain

struct ChainCase {
  const char* what;
  uint32_t set[3];    // bone record bits added on root, mid, end
  uint32_t clear[3];  // and taken away
  bool mid_unconnected;
  std::vector<std::string> visits;
  bool turns[3];  // whether root, mid and end end up turned
};

TEST_F(IkSolverTest, SolveChainVisitsTheChainFromTheEndTenTimes) {
  const std::vector<std::string> all{"end", "mid", "root", "end", "mid",
                                     "root", "end", "mid", "root", "end"};
  const std::vector<std::string> lower{"end", "mid", "end", "mid", "end",
                                       "mid", "end", "mid", "end", "mid"};
  const ChainCase cases[] = {
      {"three connected bones", {}, {}, false, all, {true, true, true}},
      {"a chain stop ends the chain", {0, OBase::OB_POSEMARK, 0}, {}, false, lower,
       {false, true, true}},
      {"userot off: skipped, still in the chain", {}, {0, OBase::userot, 0}, false, all,
       {true, false, true}},
      {"IK inactive: skipped, still in the chain", {}, {0, 0, OBase::OB_POSEACTIVE}, false, all,
       {true, true, false}},
      {"an unconnected bone ends the chain", {}, {}, true, lower, {false, true, true}},
      {"a parent without a node ends the chain", {}, {OBase::OB_BONE, 0, 0}, false, lower,
       {false, true, true}},
      {"a chain stop on the end bone", {0, 0, OBase::OB_POSEMARK}, {}, false,
       std::vector<std::string>(10, "end"), {false, false, true}},
  };
  for (const ChainCase& c : cases) {
    SCOPED_TRACE(c.what);
    Restart();
    // A bent chain: root (0,0,0) → mid (1,0,0) → end (1,1,0) → tip (2,1,0).
    MQObject objects[3];
    objects[0] = Bone("root", 0, {0, 0, 0}, c.set[0], c.clear[0]);
    if (c.mid_unconnected) Bone("spur", 1, {1, 0, 0});
    objects[1] = Bone("mid", 1, {1, 0, 0}, c.set[1], c.clear[1]);
    objects[2] = Bone("end", 2, {0, 1, 0}, c.set[2], c.clear[2]);
    Bone("tip", 3, {1, 0, 0});
    Build();

    EXPECT_TRUE(model_.SolveChain(Node(objects[2]), {0, -5, 2}, false));
    EXPECT_EQ(visits_, c.visits);
    for (int k = 0; k < 3; ++k) {
      SCOPED_TRACE(names_[Uid(objects[k])]);
      const UBONEIK_BONE* node = Node(objects[k]);
      if ((c.clear[k] & OBase::OB_BONE) != 0) {
        EXPECT_EQ(node, nullptr);
        continue;
      }
      ASSERT_NE(node, nullptr);
      const bool turned = node->pose.rot.w < 0.9999f;
      EXPECT_EQ(turned, c.turns[k]);
      EXPECT_EQ(node->Has(UBONEIK_BONE::kRotationChanged), c.turns[k]);
    }
  }
}

TEST_F(IkSolverTest, SolveChainWithNothingToTurnChangesNothing) {
  MQObject root = Bone("root", 0, {0, 0, 0}, 0, OBase::userot);
  MQObject end = Bone("end", 1, {1, 0, 0}, 0, OBase::OB_POSEACTIVE);
  Bone("tip", 2, {1, 0, 0});
  Build();
  EXPECT_FALSE(model_.SolveChain(Node(end), {0, 3, 0}, true));
  EXPECT_EQ(visits_.size(), 10u);
  EXPECT_FALSE(model_.AnyChange());
  EXPECT_EQ(Node(root)->pose.rot, FQUAT::kIdentity);
  EXPECT_FALSE(model_.SolveChain(nullptr, {0, 3, 0}, true));
}

struct ReachCase {
  const char* what;
  FVECTOR3 target;
  int calls;          // mouse moves to the same target
  FVECTOR3 want_tip;  // where the end bone's tail lands
  float tolerance;
};

TEST_F(IkSolverTest, SolveChainMovesTheEndTowardTheTarget) {
  // root (0,0,0) → mid (1,0,0) → end (1,1,0) → tip (2,1,0). Ten steps need
  // not converge, and an aim step within about 1.15° of its goal does not
  // turn at all; the model keeps its rotations, so further calls go on.
  const FVECTOR3 near(0.5f, -1.5f, 1.0f);
  const FVECTOR3 far(0, -5, 2);
  const ReachCase cases[] = {
      {"reachable, one call", near, 1, near, 0.05f},
      {"reachable, further calls get closer", near, 4, near, 0.02f},
      {"out of reach, further calls: stretched", far, 8, far.Normalized() * 3.0f, 0.05f},
  };
  for (const ReachCase& c : cases) {
    SCOPED_TRACE(c.what);
    Restart();
    MQObject root = Bone("root", 0, {0, 0, 0});
    MQObject mid = Bone("mid", 1, {1, 0, 0});
    MQObject end = Bone("end", 2, {0, 1, 0});
    MQObject tip = Bone("tip", 3, {1, 0, 0});
    Build();
    for (int call = 0; call < c.calls; ++call) {
      ASSERT_TRUE(model_.SolveChain(Node(end), c.target, false));
    }
    EXPECT_VEC3_NEAR(WorldTail(*Node(end)), c.want_tip, c.tolerance);
    // The end bone turns last (ten steps over three members), so it points
    // at the target, to within the smallest turn an aim step makes.
    const FVECTOR3 head = WorldHead(*Node(end));
    EXPECT_GT(Dot((WorldTail(*Node(end)) - head).Normalized(), (c.target - head).Normalized()),
              0.9997f);
    EXPECT_VEC3_NEAR(WorldHead(*Node(root)), FVECTOR3(0, 0, 0), 1e-6f) << "the root stays put";
    for (MQObject obj : {mid, end}) {  // still connected
      EXPECT_VEC3_NEAR(WorldHead(*Node(obj)), WorldTail(*Node(obj)->parent), 1e-5f);
    }

    // What pose evaluation makes of the written pose is what the model shows.
    ASSERT_TRUE(WriteBack(doc_, slots_, state_, model_));
    for (MQObject obj : {root, mid, end}) {
      EXPECT_MAT_NEAR(GetWorldMatrix(obj, slots_), Node(obj)->world, 1e-5f);
    }
    EXPECT_VEC3_NEAR(GetWorldMatrix(tip, slots_).TransformPoint(FVECTOR3(2, 1, 0)),
                     WorldTail(*Node(end)), 1e-5f);
  }
}

TEST_F(IkSolverTest, AStraightChainBendsWhenItsTipIsDraggedInward) {
  // root (0,0,0) → end (1,0,0) → tip (2,0,0), the tip dragged in toward
  // (1.2, 0.8, 0), inside the chain's reach: only a bent chain gets there.
  Bone("root", 0, {0, 0, 0});
  MQObject end = Bone("end", 1, {1, 0, 0});
  Bone("tip", 2, {1, 0, 0});
  Build();
  const FVECTOR3 from(2, 0, 0), to(1.2f, 0.8f, 0);
  for (int step = 1; step <= 10; ++step) {
    model_.SolveChain(Node(end), from + (to - from) * (static_cast<float>(step) / 10.0f), false);
  }
  EXPECT_VEC3_NEAR(WorldTail(*Node(end)), to, 0.05f);
}

TEST_F(IkSolverTest, SolveChainHonoursRotationLimits) {
  // The end bone may not turn about its own y axis: aiming it at a target off
  // to the side leaves it as it was.
  MQObject root = Bone("root", 0, {0, 0, 0}, OBase::OB_POSEMARK);
  Bone("tip", 1, {0, 0, 1});
  ASSERT_TRUE(SetRotationLimits(root, slots_, Degrees(-180, 0, -180), Degrees(180, 0, 180)));
  Build();
  ASSERT_TRUE(model_.SolveChain(Node(root), {3, 0, 1}, false));
  EXPECT_SAME_ROTATION(Node(root)->pose.rot, FQUAT::kIdentity, 1e-5f);
  EXPECT_VEC3_NEAR(WorldTail(*Node(root)), FVECTOR3(0, 0, 1), 1e-5f);

  ASSERT_TRUE(model_.SolveChain(Node(root), {0, 3, 1}, false)) << "x is free";
  EXPECT_VEC3_NEAR(WorldTail(*Node(root)), FVECTOR3(0, 3, 1).Normalized(), 1e-4f);
}

// ---------------------------------------------------------------- children follow

struct FollowCase {
  const char* what;
  bool follow;
  uint32_t child_set;
  FVECTOR3 want_child_tail;
};

TEST_F(IkSolverTest, ChildrenFollowTheAimedBone) {
  // root (0,0,0) → child (2,0,0) → tip (2,1,0); the root is aimed at (0,2,0),
  // which carries the child's head to (0,2,0).
  const float k = 1.0f / std::sqrt(5.0f);
  const FollowCase cases[] = {
      {"following: the child still points at its old tail", true, 0, {2 * k, 2 - k, 0}},
      {"not following: the child turns with the root", false, 0, {-1, 2, 0}},
      {"a chain-stop child does not follow", true, OBase::OB_POSEMARK, {-1, 2, 0}},
  };
  for (const FollowCase& c : cases) {
    SCOPED_TRACE(c.what);
    for (bool chain : {false, true}) {
      SCOPED_TRACE(chain ? "solve chain" : "aim bone");
      Restart();
      MQObject root = Bone("root", 0, {0, 0, 0});
      MQObject child = Bone("child", 1, {2, 0, 0}, c.child_set);
      Bone("tip", 2, {0, 1, 0});
      Build();
      // The root is unconnected, so its chain is the root alone.
      ASSERT_TRUE(chain ? model_.SolveChain(Node(root), {0, 2, 0}, c.follow)
                        : model_.AimBone(Node(root), {0, 2, 0}, c.follow));
      EXPECT_SAME_ROTATION(Node(root)->pose.rot, Turn(kZ, 90), 1e-5f);
      EXPECT_VEC3_NEAR(WorldHead(*Node(child)), FVECTOR3(0, 2, 0), 1e-5f);
      EXPECT_VEC3_NEAR(WorldTail(*Node(child)), c.want_child_tail, 1e-5f);
    }
  }
}

TEST_F(IkSolverTest, AimBoneOnABoneThatMayNotTurn) {
  MQObject root = Bone("root", 0, {0, 0, 0}, 0, OBase::userot);
  Bone("tip", 1, {2, 0, 0});
  Build();
  EXPECT_FALSE(model_.AimBone(Node(root), {0, 2, 0}, true));
  EXPECT_FALSE(model_.AnyChange());
  EXPECT_FALSE(model_.AimBone(nullptr, {0, 2, 0}, true));
}

// ---------------------------------------------------------------- roll

struct RollCase {
  const char* what;
  bool follow;
  FVECTOR3 want_child_tail;
};

TEST_F(IkSolverTest, RollBone) {
  // root (0,0,0) → child (2,0,0) → tip (2,1,0). The root's up point is
  // (0,0.6,0); rolling toward (1,0,5) turns it onto +Z about the bone.
  const RollCase cases[] = {
      {"following: the child's tail stays where it was", true, {2, 1, 0}},
      {"not following: the child rolls along", false, {2, 0, 1}},
  };
  for (const RollCase& c : cases) {
    SCOPED_TRACE(c.what);
    Restart();
    MQObject root = Bone("root", 0, {0, 0, 0});
    MQObject child = Bone("child", 1, {2, 0, 0});
    Bone("tip", 2, {0, 1, 0});
    Build();
    UBONEIK_BONE* r = Node(root);
    ASSERT_TRUE(model_.RollBone(r, {1, 0, 5}, c.follow));
    EXPECT_SAME_ROTATION(r->pose.rot, Turn(kX, 90), 1e-5f);
    EXPECT_VEC3_NEAR(r->world.TransformPoint(r->up), FVECTOR3(0, 0, 0.6f), 1e-5f);
    EXPECT_VEC3_NEAR(WorldTail(*r), FVECTOR3(2, 0, 0), 1e-5f);
    EXPECT_VEC3_NEAR(WorldTail(*Node(child)), c.want_child_tail, 1e-5f);
    EXPECT_EQ(Node(child)->Has(UBONEIK_BONE::kRotationChanged), c.follow);
  }
}

TEST_F(IkSolverTest, RollRestoreStopsAtABoneThatMayNotTurn) {
  MQObject root = Bone("root", 0, {0, 0, 0});
  MQObject child = Bone("child", 1, {2, 0, 0}, 0, OBase::userot);
  MQObject grandchild = Bone("grandchild", 2, {0, 1, 0});
  Bone("tip", 3, {0, 0, -1});
  Build();
  ASSERT_TRUE(model_.RollBone(Node(root), {1, 0, 5}, true));
  EXPECT_FALSE(Node(child)->Has(UBONEIK_BONE::kRotationChanged));
  EXPECT_FALSE(Node(grandchild)->Has(UBONEIK_BONE::kRotationChanged));
  EXPECT_VEC3_NEAR(WorldTail(*Node(child)), FVECTOR3(2, 0, 1), 1e-5f) << "rolled along";

  Node(root)->flags &= ~UBONEIK_BONE::kIkActive;
  EXPECT_FALSE(model_.RollBone(Node(root), {1, 5, 0}, true));
}

// ---------------------------------------------------------------- translate

struct TranslateCase {
  const char* what;
  bool move_child;  // else the root
  FQUAT root_turn;
  FVECTOR3 target;
  bool follow;
  FVECTOR3 want_child_tail;
};

TEST_F(IkSolverTest, TranslateBonePutsTheHeadOnTheTarget) {
  // root (0,0,0) → child (2,0,0) → tip (2,1,0).
  const TranslateCase cases[] = {
      {"a root", false, FQUAT::kIdentity, {3, 4, 5}, false, {5, 5, 5}},
      {"a root, children following", false, FQUAT::kIdentity, {1, 3, 0}, true,
       FVECTOR3(3, 3, 0) + FVECTOR3(-1, -2, 0).Normalized()},
      {"a root, children not following", false, FQUAT::kIdentity, {1, 3, 0}, false, {3, 4, 0}},
      {"a child under a turned parent", true, Turn(kZ, 90), {1, 1, 1}, false, {0, 1, 1}},
  };
  for (const TranslateCase& c : cases) {
    SCOPED_TRACE(c.what);
    Restart();
    MQObject root = Bone("root", 0, {0, 0, 0});
    MQObject child = Bone("child", 1, {2, 0, 0});
    Bone("tip", 2, {0, 1, 0});
    Posed({{root, c.root_turn}});
    Build();
    UBONEIK_BONE* moved = Node(c.move_child ? child : root);
    ASSERT_TRUE(model_.TranslateBone(moved, c.target, c.follow));
    EXPECT_TRUE(moved->Has(UBONEIK_BONE::kTranslationChanged));
    EXPECT_VEC3_NEAR(WorldHead(*moved), c.target, 1e-5f);
    EXPECT_VEC3_NEAR(WorldTail(*Node(child)), c.want_child_tail, 1e-5f);
  }
}

// A handle turn is a rotation of the document's frame about the bone's posed
// pivot, under a turned parent too; limits and use flags hold.
TEST_F(IkSolverTest, TurnBoneTurnsAboutThePosedPivotInTheDocumentsFrame) {
  // root (0,0,0), turned 90° about Z → child (2,0,0), shown at (0,2,0) → tip.
  MQObject root = Bone("root", 0, {0, 0, 0});
  MQObject child = Bone("child", 1, {2, 0, 0});
  Bone("tip", 2, {0, 1, 0});
  Posed({{root, Turn(kZ, 90)}});
  Build();
  UBONEIK_BONE* moved = Node(child);
  ASSERT_VEC3_NEAR(WorldHead(*moved), FVECTOR3(0, 2, 0), 1e-5f);
  ASSERT_VEC3_NEAR(WorldTail(*moved), FVECTOR3(-1, 2, 0), 1e-5f);
  // A quarter turn about the world's Y axis takes the tail from -X to +Z.
  ASSERT_TRUE(model_.TurnBone(moved, FMATRIX::FromQuat(Turn(kY, 90)), false));
  EXPECT_TRUE(moved->Has(UBONEIK_BONE::kRotationChanged));
  EXPECT_VEC3_NEAR(WorldHead(*moved), FVECTOR3(0, 2, 0), 1e-5f);
  EXPECT_VEC3_NEAR(WorldTail(*moved), FVECTOR3(0, 2, 1), 1e-5f);

  // Locked about every axis, or not allowed to turn: nothing turns.
  ASSERT_TRUE(SetRotationLimits(child, slots_, Degrees(0, 0, 0), Degrees(0, 0, 0)));
  Build();
  EXPECT_FALSE(model_.TurnBone(Node(child), FMATRIX::FromQuat(Turn(kY, 90)), false));
  Node(child)->flags &= ~UBONEIK_BONE::kMayRotate;
  EXPECT_FALSE(model_.TurnBone(Node(child), FMATRIX::FromQuat(Turn(kY, 90)), false));
}

TEST_F(IkSolverTest, ScaleBoneScalesAboutThePivotWhereScaleMayBePosed) {
  MQObject root = Bone("root", 0, {1, 0, 0});
  Bone("tip", 1, {2, 0, 0});
  Build();
  UBONEIK_BONE* bone = Node(root);
  ASSERT_TRUE(model_.ScaleBone(bone, FVECTOR3(2, 2, 2), false));
  EXPECT_TRUE(bone->Has(UBONEIK_BONE::kScaleChanged));
  EXPECT_VEC3_NEAR(WorldHead(*bone), FVECTOR3(1, 0, 0), 1e-5f);
  EXPECT_VEC3_NEAR(WorldTail(*bone), FVECTOR3(5, 0, 0), 1e-5f);
  EXPECT_FALSE(model_.ScaleBone(bone, FVECTOR3(0, 1, 1), false)) << "no scale through zero";
  bone->flags &= ~UBONEIK_BONE::kMayScale;
  EXPECT_FALSE(model_.ScaleBone(bone, FVECTOR3(2, 2, 2), false));
  EXPECT_VEC3_NEAR(WorldTail(*bone), FVECTOR3(5, 0, 0), 1e-5f);
}

// An object that is no bone of the model (OB_BONE clear) but is posed moves
// everything below it in pose evaluation; the solver works in that space too,
// so what it aims at or moves to is where evaluation shows the bone.
TEST_F(IkSolverTest, APosedObjectWithoutANodeMovesTheBonesBelowIt) {
  // p (no OB_BONE, turned 90° about Z at the origin) ─ c (1,0,0) ─ tip (2,0,0).
  // Evaluated, c's head is at (0, 1, 0).
  const FVECTOR3 head(0, 1, 0);
  const FVECTOR3 aim_target(1, 2, 0);
  const FVECTOR3 move_target(-3, 2, 1);
  for (const bool aim : {true, false}) {
    SCOPED_TRACE(aim ? "aim" : "translate");
    Restart();
    MQObject p = Bone("p", 0, {0, 0, 0}, 0, OBase::OB_BONE);
    MQObject c = Bone("c", 1, {1, 0, 0});
    Bone("tip", 2, {1, 0, 0});
    Posed({{p, Turn(kZ, 90)}});
    Build();
    ASSERT_EQ(Node(p), nullptr);
    UBONEIK_BONE* bone = Node(c);
    ASSERT_NE(bone, nullptr);
    EXPECT_VEC3_NEAR(WorldHead(*bone), head, 1e-6f) << "the model starts where evaluation does";
    EXPECT_VEC3_NEAR(WorldTail(*bone), FVECTOR3(0, 2, 0), 1e-6f);

    if (aim) {
      ASSERT_TRUE(model_.AimBone(bone, aim_target, false));
    } else {
      ASSERT_TRUE(model_.TranslateBone(bone, move_target, false));
    }
    ASSERT_TRUE(WriteBack(doc_, slots_, state_, model_));
    // What pose evaluation shows now.
    const FMATRIX world = GetWorldMatrix(c, slots_);
    const FVECTOR3 shown_head = world.TransformPoint(bone->head);
    const FVECTOR3 shown_tail = world.TransformPoint(bone->tail);
    EXPECT_VEC3_NEAR(shown_head, WorldHead(*bone), 1e-5f);
    EXPECT_VEC3_NEAR(shown_tail, WorldTail(*bone), 1e-5f);
    if (aim) {
      EXPECT_VEC3_NEAR(shown_head, head, 1e-5f);
      EXPECT_VEC3_NEAR(shown_tail, head + (aim_target - head).Normalized(), 1e-5f);
    } else {
      EXPECT_VEC3_NEAR(shown_head, move_target, 1e-5f);
    }
  }
}

TEST_F(IkSolverTest, TranslateBoneNeedsActiveAndUsetrs) {
  for (uint32_t clear : {uint32_t{OBase::usetrs}, uint32_t{OBase::OB_POSEACTIVE}}) {
    Restart();
    MQObject root = Bone("root", 0, {0, 0, 0}, 0, clear);
    Bone("tip", 1, {2, 0, 0});
    Build();
    EXPECT_FALSE(model_.TranslateBone(Node(root), {3, 4, 5}, true));
    EXPECT_EQ(Node(root)->pose.trs, FVECTOR3(0, 0, 0));
    EXPECT_FALSE(model_.AnyChange());
  }
}

// ---------------------------------------------------------------- write back

TEST_F(IkSolverTest, WriteBackCreatesAPoseWhenThereIsNone) {
  MQObject root = Bone("root", 0, {0, 0, 0});
  MQObject child = Bone("child", 1, {2, 0, 0});
  Bone("tip", 2, {0, 1, 0});
  Build();
  ASSERT_EQ(PoseCount(state_), 0);

  EXPECT_FALSE(WriteBack(doc_, slots_, state_, model_)) << "nothing changed yet";
  EXPECT_EQ(PoseCount(state_), 0);

  ASSERT_TRUE(model_.AimBone(Node(root), {0, 2, 0}, false));
  EXPECT_TRUE(WriteBack(doc_, slots_, state_, model_));
  ASSERT_EQ(PoseCount(state_), 1);
  const int pose = state_.current_pose_id;
  ASSERT_EQ(pose, PoseAt(state_, 0)->id);
  OPoseTSQ rec;
  ASSERT_TRUE(GetPoseTSQ(root, slots_, pose, rec));
  EXPECT_EQ(rec.rot, Node(root)->pose.rot);
  EXPECT_FALSE(GetPoseTSQ(child, slots_, pose, rec)) << "an unchanged bone gets no record";
  EXPECT_MAT_NEAR(GetWorldMatrix(child, slots_), Node(child)->world, 1e-5f) << "evaluated";
}

TEST_F(IkSolverTest, WriteBackReplacesOnlyTheChangedParts) {
  MQObject root = Bone("root", 0, {0, 0, 0});
  MQObject child = Bone("child", 1, {2, 0, 0});
  Bone("tip", 2, {0, 1, 0});
  ASSERT_NE(CreatePose(state_), nullptr);
  OPoseTSQ before;
  before.trs = FVECTOR3(0, 0, 1);
  before.scl = FVECTOR3(1, 2, 1);
  before.rot = Turn(kY, 10);
  ASSERT_TRUE(SetPoseTSQ(root, slots_, state_.current_pose_id, before));
  Build();

  ASSERT_TRUE(model_.TranslateBone(Node(child), {1, 1, 1}, false));
  ASSERT_TRUE(model_.AimBone(Node(root), {0, 2, 0}, false));
  // Changed, but not marked as changed.
  Node(root)->pose.scl = FVECTOR3(3, 3, 3);
  Node(root)->pose.trs = FVECTOR3(7, 7, 7);
  ASSERT_TRUE(WriteBack(doc_, slots_, state_, model_));

  OPoseTSQ rec;
  ASSERT_TRUE(GetPoseTSQ(root, slots_, state_.current_pose_id, rec));
  EXPECT_EQ(rec.rot, Node(root)->pose.rot);
  EXPECT_EQ(rec.trs, before.trs);
  EXPECT_EQ(rec.scl, before.scl);
  ASSERT_TRUE(GetPoseTSQ(child, slots_, state_.current_pose_id, rec));
  EXPECT_EQ(rec.trs, Node(child)->pose.trs);
  EXPECT_EQ(rec.rot, FQUAT::kIdentity);

  Node(root)->flags |= UBONEIK_BONE::kScaleChanged;
  ASSERT_TRUE(WriteBack(doc_, slots_, state_, model_));
  ASSERT_TRUE(GetPoseTSQ(root, slots_, state_.current_pose_id, rec));
  EXPECT_EQ(rec.scl, FVECTOR3(3, 3, 3));
}

TEST_F(IkSolverTest, WriteBackSkipsBonesWhoseObjectIsGone) {
  MQObject root = Bone("root", 0, {0, 0, 0});
  Bone("tip", 1, {2, 0, 0});
  MQObject other = Bone("other", 0, {5, 0, 0});
  Bone("other tip", 1, {0, 1, 0});
  Build();
  ASSERT_TRUE(model_.AimBone(Node(root), {0, 2, 0}, false));
  ASSERT_TRUE(model_.AimBone(Node(other), {5, 0, 2}, false));
  const OPoseTSQ kept_other_pose = Node(other)->pose;
  HostApi().MQDoc_DeleteObject(doc_, HostApi().MQDoc_GetObjectIndex(doc_, root));

  EXPECT_TRUE(WriteBack(doc_, slots_, state_, model_));
  OPoseTSQ rec;
  ASSERT_TRUE(GetPoseTSQ(other, slots_, state_.current_pose_id, rec));
  EXPECT_EQ(rec.rot, kept_other_pose.rot);

  // With only the gone object's bone changed there is nothing to store.
  Node(other)->flags &= ~UBONEIK_BONE::kChangeBits;
  ASSERT_TRUE(model_.AnyChange());
  EXPECT_FALSE(WriteBack(doc_, slots_, state_, model_));
}

// ---------------------------------------------------------------- ownership

TEST(IkModelOwnership, LongChainsAndSiblingListsAreReleasedWithoutDeepRecursion) {
  constexpr int kCount = 100000;
  auto root = std::make_unique<UBONEIK_BONE>();
  UBONEIK_BONE* last = root.get();
  for (int i = 0; i < kCount; ++i) {  // a chain ...
    last->first_child = std::make_unique<UBONEIK_BONE>();
    last->first_child->parent = last;
    last = last->first_child.get();
  }
  for (int i = 0; i < kCount; ++i) {  // ... ending in a long sibling list
    auto sibling = std::make_unique<UBONEIK_BONE>();
    sibling->parent = last->parent;
    last->next_sibling = std::move(sibling);
    last = last->next_sibling.get();
  }
  last->pose.trs = FVECTOR3(1, 0, 0);
  root->UpdateSubtree();
  EXPECT_EQ(last->world.GetTranslation(), FVECTOR3(1, 0, 0)) << "the walk reaches the end";
  root.reset();
}

}  // namespace
