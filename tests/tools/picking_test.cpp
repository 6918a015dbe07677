// Picking in the viewport: the point test's radius and tie-break, bodies
// against points by depth, the handle first, which objects and parts may be
// picked, rectangle selection, the vertex brush, and the ray tests.
#include "tools/picking.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "rig/bone_points.h"
#include "tests/support/float_checks.h"
#include "tests/tools/tool_fixture.h"
#include "tools/handle.h"

using quorvel::OBase;
using quorvel::RigEditState;

namespace {

class PickTest : public ToolTest {
 protected:
  // Picks at screen (x, y): the item, or an empty item for no pick.
  MED_SELECTITEM PickAt(float x, float y, int kinds = PICK_PIVOTS | PICK_ROLLS | PICK_BODIES) {
    USELECT_PARA para(service_.get(), Scene());
    MED_SELECTITEM item;
    MED_USELECT picker;
    const int picked = picker.Pick(para, doc_, slots_, &service_->state, x, y, item, kinds,
                                   service_->pose_mode, service_->handle_type);
    EXPECT_EQ(picked != 0, !item.IsEmpty());
    return item;
  }
  MED_SELECTITEM PickAtWorld(float x, float y, int kinds = PICK_PIVOTS | PICK_ROLLS | PICK_BODIES) {
    const FVECTOR2 s = Screen(x, y);
    return PickAt(s.x, s.y, kinds);
  }
  MED_SELECTITEM Item(int32_t kind, MQObject obj) { return MED_SELECTITEM(kind, Uid(obj)); }

  // One brush for the whole test: what it keeps between calls is memory only.
  MED_USELECT brush_;
};

// An item as text, so that a failing comparison reads well.
std::string Describe(const MED_SELECTITEM& item) {
  char text[64];
  std::snprintf(text, sizeof text, "(0x%X, %d)", static_cast<unsigned>(item.kind), item.id);
  return text;
}
#define EXPECT_ITEM(actual, expected) EXPECT_EQ(Describe(actual), Describe(expected))

TEST(SelectItem, KindClassesAndNames) {
  const struct {
    int32_t kind;
    int32_t cls;
  } cases[] = {
      {SELKIND_BONE, SELKIND_BONE},         {SELKIND_PIVOT, SELKIND_BONE},
      {SELKIND_ROLL, SELKIND_BONE},         {SELKIND_BODY, SELKIND_BONE},
      {0x182, 0},                           {SELKIND_HANDLE, SELKIND_HANDLE},
      {SELKIND_MOVE_CENTER, SELKIND_HANDLE}, {SELKIND_MOVE_Z, SELKIND_HANDLE},
      {SELKIND_ROTATE_CENTER, 0},           {SELKIND_ROTATE_Y, 0},
      {SELKIND_SCALE_X, 0},                 {0, 0},
      {-1, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(MED_SELECTITEM::KindClass(c.kind), c.cls) << std::hex << c.kind;
  EXPECT_STREQ(MED_SELECTITEM::ClassName(SELKIND_BONE), "Bone");
  EXPECT_STREQ(MED_SELECTITEM::ClassName(SELKIND_HANDLE), "Handle");
  EXPECT_TRUE(MED_SELECTITEM().IsEmpty());
  EXPECT_TRUE(MED_SELECTITEM(SELKIND_SCALE_Z, 0).IsHandle());
  EXPECT_FALSE(MED_SELECTITEM(0xEFFF, 0).IsHandle());
  EXPECT_TRUE(MED_SELECTITEM(SELKIND_PIVOT, 4).IsSame(MED_SELECTITEM(SELKIND_PIVOT, 4)));
  EXPECT_FALSE(MED_SELECTITEM(SELKIND_PIVOT, 4).IsSame(MED_SELECTITEM(SELKIND_BODY, 4)));
}

TEST_F(PickTest, APivotIsPickedWithinTenPixelsAndTheLowerIndexWinsATie) {
  struct Case {
    const char* label;
    float first_x, second_x;  // world x of two lone pivots; the mouse is at x = 0
    int expected;             // 0 first, 1 second, -1 none
  };
  const Case cases[] = {
      {"9.9 pixels away", 9.9f, 50.0f, 0},
      {"exactly 10 pixels away", 10.0f, 50.0f, -1},
      {"a tie goes to the lower index", 5.0f, -5.0f, 0},
      {"the nearer one wins", 5.0f, -4.0f, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    TearDown();
    SetUp();
    MQObject first = Bone("first", 0, {c.first_x, 0, 0});
    MQObject second = Bone("second", 0, {c.second_x, 0, 0});
    Records();
    const MED_SELECTITEM got = PickAtWorld(0, 0);
    if (c.expected < 0) {
      EXPECT_TRUE(got.IsEmpty()) << Describe(got);
    } else {
      EXPECT_ITEM(got, Item(SELKIND_PIVOT, c.expected == 0 ? first : second));
    }
  }
}

// The bone from (0, 0, 0) to (100, 0, 0): its body lies under the mouse at
// world x = 50, a little in front of z = 0.
TEST_F(PickTest, ABodyWinsOnlyByDepthAndNoPointWinsAfterIt) {
  struct Case {
    const char* label;
    bool pivot_first;  // the lone pivot comes before the bone in the list
    float pivot_z;     // the pivot lies right under the mouse at this depth
    bool body_wins;
  };
  const Case cases[] = {
      {"a body in front of an earlier pivot", true, -50.0f, true},
      {"a pivot in front of a later body", true, 50.0f, false},
      {"no later pivot after a body, even in front of it", false, 50.0f, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    TearDown();
    SetUp();
    MQObject pivot = nullptr;
    if (c.pivot_first) pivot = Bone("pivot", 0, {50, 0, c.pivot_z});
    MQObject bone = Bone("bone", 0, {0, 0, 0});
    Bone("tail", 1, {100, 0, 0});
    if (!c.pivot_first) pivot = Bone("pivot", 0, {50, 0, c.pivot_z});
    Records();
    const MED_SELECTITEM got = PickAtWorld(50, 0);
    EXPECT_ITEM(got, c.body_wins ? Item(SELKIND_BODY, bone) : Item(SELKIND_PIVOT, pivot));
    // The pick depth is what won: the body's front, or the pivot's depth.
    USELECT_PARA para(service_.get(), Scene());
    const float pivot_depth = para.WorldToScreen(FVECTOR3(50, 0, c.pivot_z)).z;
    if (c.body_wins) {
      EXPECT_LT(service_->pick_depth, para.WorldToScreen(FVECTOR3(50, 0, 0)).z);
    } else {
      EXPECT_FLOAT_EQ(service_->pick_depth, pivot_depth);
    }
  }
}

TEST_F(PickTest, NothingPickedLeavesTheLargestDepth) {
  Bone("far", 0, {200, 0, 0});
  Records();
  service_->pick_depth = 0.5f;
  EXPECT_TRUE(PickAtWorld(0, 0).IsEmpty());
  EXPECT_EQ(service_->pick_depth, kNoPickDepth);
}

TEST_F(PickTest, TheHandleIsTriedFirst) {
  MQObject pivot = Bone("pivot", 0, {0, 0, 0});
  Records();
  service_->show_handle = 1;
  service_->handle.active = true;
  service_->handle.matrix = FMATRIX::Translation(FVECTOR3(0, 0, 0));
  const struct {
    const char* label;
    int mode;
    int type;
    bool active;
    int32_t expected;
  } cases[] = {
      {"move handle centre box", 1, HANDLE_MOVE, true, SELKIND_MOVE_CENTER},
      {"rotate handle centre box", 2, HANDLE_ROTATE, true, SELKIND_ROTATE_CENTER},
      {"scale handle centre box", 1, HANDLE_SCALE, true, SELKIND_SCALE_CENTER},
      {"no handle in make mode", 0, HANDLE_MOVE, true, SELKIND_PIVOT},
      {"no handle when it is not active", 1, HANDLE_MOVE, false, SELKIND_PIVOT},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    service_->mode = c.mode;
    service_->handle_type = c.type;
    service_->handle.active = c.active;
    const MED_SELECTITEM got = PickAtWorld(0, 0);
    EXPECT_EQ(got.kind, c.expected);
    EXPECT_EQ(got.id, c.expected == SELKIND_PIVOT ? Uid(pivot) : 0);
  }
  service_->show_handle = 0;
  EXPECT_EQ(PickAtWorld(0, 0).kind, SELKIND_PIVOT) << "handle display off";
}

TEST_F(PickTest, HandleArmsArePickedByType) {
  Records();
  service_->show_handle = 1;
  service_->handle.active = true;
  service_->handle.matrix = FMATRIX();
  // World units (= pixels here) per handle unit, as the handle is drawn.
  USELECT_PARA para(service_.get(), Scene());
  const float unit = ScaleHandleMatrix(FMATRIX(), 640, 480, para.GetViewMatrix(), para.GetProjMatrix())(0, 0);
  ASSERT_GT(unit, 0.0f);
  const struct {
    int type;
    float x, y;  // handle units
    int32_t expected;
  } cases[] = {
      {HANDLE_MOVE, 50, 0, SELKIND_MOVE_X},  {HANDLE_MOVE, 0, 50, SELKIND_MOVE_Y},
      {HANDLE_MOVE, 30, 0, SELKIND_NONE},
      // Seen from the front, the rings about X and Y are edge-on: only the
      // ring about Z can be hit, on its band of radius 47.5 to 52.5.
      {HANDLE_ROTATE, 50, 0, SELKIND_ROTATE_Z}, {HANDLE_ROTATE, 0, -52, SELKIND_ROTATE_Z},
      {HANDLE_ROTATE, 30, 30, SELKIND_NONE},     {HANDLE_ROTATE, 0, 54, SELKIND_NONE},
      {HANDLE_SCALE, 55, 0, SELKIND_SCALE_X}, {HANDLE_SCALE, 0, 55, SELKIND_SCALE_Y},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.type << " at " << c.x << ", " << c.y);
    service_->handle_type = c.type;
    EXPECT_EQ(PickAtWorld(c.x * unit, c.y * unit).kind, c.expected);
  }
}

TEST_F(PickTest, OnlyShownRigMembersArePicked) {
  MQObject bone = Bone("bone", 0, {0, 0, 0});
  Bone("tail", 1, {100, 0, 0});  // so that the bone's pivot counts in pose mode
  MQObject other = Bone("other", 0, {0, 0, -1});
  Records();
  EXPECT_ITEM(PickAtWorld(0, 0), Item(SELKIND_PIVOT, bone));

  Flags(bone, 0, OBase::OB_RIG);
  EXPECT_ITEM(PickAtWorld(0, 0), Item(SELKIND_PIVOT, other)) << "without the rig bit";
  Flags(bone, OBase::OB_RIG);

  service_->state.display &= ~RigEditState::kShowBones;
  for (bool pose : {false, true}) {
    service_->pose_mode = pose;
    EXPECT_TRUE(PickAtWorld(0, 0).IsEmpty()) << "bones hidden, pose mode " << pose;
  }
  service_->state.display |= RigEditState::kShowBones;
  service_->pose_mode = false;

  mqhost::ToObject(bone)->visible = 0;
  EXPECT_ITEM(PickAtWorld(0, 0), Item(SELKIND_PIVOT, other)) << "hidden outside pose mode";
  service_->pose_mode = true;
  EXPECT_ITEM(PickAtWorld(0, 0), Item(SELKIND_PIVOT, bone)) << "hidden objects count in pose mode";
  service_->pose_mode = false;
  mqhost::ToObject(bone)->visible = mqhost::kVisibleDefault;
  mqhost::ToObject(bone)->locked = true;
  EXPECT_ITEM(PickAtWorld(0, 0), Item(SELKIND_PIVOT, other)) << "locked outside pose mode";

  service_->state.pick_masks = RigEditState::kPickMaskPivot;
  EXPECT_TRUE(PickAtWorld(0, 0).IsEmpty()) << "pivots masked";
}

// The bone from the origin to (100, 0, 0) has its roll point at (0, 30, 0).
TEST_F(PickTest, TheRollPointOnlyInPoseModeWithRollShown) {
  MQObject bone = Bone("bone", 0, {0, 0, 0});
  Bone("tail", 1, {100, 0, 0});
  Records();
  const struct {
    bool pose, roll_shown;
    int kinds;
    bool picked;
  } cases[] = {
      {true, true, PICK_ROLLS, true},
      {false, true, PICK_ROLLS, false},
      {true, false, PICK_ROLLS, false},
      {true, true, PICK_PIVOTS | PICK_BODIES, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "pose " << c.pose << " roll shown " << c.roll_shown);
    service_->pose_mode = c.pose;
    service_->state.display = RigEditState::kShowBones | (c.roll_shown ? RigEditState::kShowRoll : 0u);
    const MED_SELECTITEM got = PickAtWorld(0, 30, c.kinds);
    if (c.picked) {
      EXPECT_ITEM(got, Item(SELKIND_ROLL, bone));
    } else {
      EXPECT_TRUE(got.IsEmpty()) << Describe(got);
    }
  }
}

TEST_F(PickTest, InPoseModePointsFollowThePoseAndChildlessBonesOnlyAsChainEnds) {
  MQObject root = Bone("root", 0, {0, 0, 0});
  MQObject tip = Bone("tip", 1, {100, 0, 0});   // first child: a chain end
  MQObject extra = Bone("extra", 1, {0, 100, 0});  // second child, no children
  Records();
  service_->pose_mode = true;
  EXPECT_ITEM(PickAtWorld(100, 0, PICK_PIVOTS), Item(SELKIND_PIVOT, tip));
  EXPECT_TRUE(PickAtWorld(0, 100, PICK_PIVOTS).IsEmpty()) << "a childless bone that is no chain end";
  service_->pose_mode = false;
  EXPECT_ITEM(PickAtWorld(0, 100, PICK_PIVOTS), Item(SELKIND_PIVOT, extra));

  // The root's pose matrix moves its pivot.
  quorvel::SetWorldMatrix(root, slots_, FMATRIX::Translation(FVECTOR3(-60, 0, 0)));
  service_->pose_mode = true;
  EXPECT_ITEM(PickAtWorld(-60, 0, PICK_PIVOTS), Item(SELKIND_PIVOT, root));
}

TEST_F(PickTest, ABoneAlongYHasItsRollAtThePivotAndABody) {
  MQObject bone = Bone("bone", 0, {0, 0, 0});
  Bone("tail", 1, {0, 100, 0});
  Records();
  const quorvel::BonePoints points = quorvel::GetBonePoints(doc_, bone);
  EXPECT_VEC3_NEAR(points.roll, points.pivot, 0.0f);
  EXPECT_ITEM(PickAtWorld(0, 50, PICK_BODIES), Item(SELKIND_BODY, bone));
}

TEST(BonePoints, TheRollPointStandsOffTheBoneAtAThirdOfItsLengthTowardWorldY) {
  const FVECTOR3 pivot(10, -20, 5);
  for (const FVECTOR3 d : {FVECTOR3(100, 0, 0), FVECTOR3(0, 0, -40), FVECTOR3(30, 30, 0), FVECTOR3(-2, 3, 1),
                           FVECTOR3(0.01f, -50, 0), FVECTOR3(1e-3f, 0, 2e-3f)}) {
    SCOPED_TRACE(testing::Message() << d.x << ", " << d.y << ", " << d.z);
    const quorvel::BonePoints points = quorvel::BonePointsTo(pivot, pivot + d);
    const FVECTOR3 off = points.roll - pivot;
    const float length = d.Length();
    // The points are stored beside the pivot, so they round at its scale.
    const float tolerance = 1e-5f * (length + pivot.Length());
    EXPECT_NEAR(off.Length(), quorvel::kRollPointFactor * length, tolerance);
    EXPECT_NEAR(Dot(off, d), 0.0f, tolerance * length) << "square to the bone";
    EXPECT_NEAR(Dot(off, Cross(d, FVECTOR3(0, 1, 0))), 0.0f, tolerance * length) << "in the plane of the bone and Y";
    EXPECT_GT(off.y, 0.0f) << "on the upper side";
  }
}

// ---------------------------------------------------------------- rectangle

TEST_F(PickTest, RectangleSelectionTakesCornersInAnyOrderAndBodiesWithTheirPivot) {
  MQObject bone = Bone("bone", 0, {0, 0, 0});
  MQObject tail = Bone("tail", 1, {100, 0, 0});
  Records();
  const uint32_t sel = OBase::kSelectionBits;
  const struct {
    const char* label;
    FVECTOR2 a, b;  // world corners
    int kinds;
    uint32_t bone_bits, tail_bits;
    int answer;
  } cases[] = {
      {"everything", {-10, 40}, {110, -10}, PICK_PIVOTS | PICK_BODIES, OBase::OB_SEL_PIVOT | OBase::OB_SEL_BODY,
       OBase::OB_SEL_PIVOT, 1},
      {"the same, corners swapped", {110, -10}, {-10, 40}, PICK_PIVOTS | PICK_BODIES,
       OBase::OB_SEL_PIVOT | OBase::OB_SEL_BODY, OBase::OB_SEL_PIVOT, 1},
      {"the other diagonal", {-10, -10}, {110, 40}, PICK_PIVOTS | PICK_BODIES,
       OBase::OB_SEL_PIVOT | OBase::OB_SEL_BODY, OBase::OB_SEL_PIVOT, 1},
      {"a body without its pivot", {50, 10}, {110, -10}, PICK_PIVOTS | PICK_BODIES, 0, OBase::OB_SEL_PIVOT, 1},
      {"bodies alone are not asked for", {-10, 10}, {110, -10}, PICK_BODIES, 0, 0, 0},
      {"the roll point", {-5, 35}, {5, 25}, PICK_ROLLS, OBase::OB_SEL_ROLL, 0, 1},
      {"edges count", {0, 0}, {100, 0}, PICK_PIVOTS, OBase::OB_SEL_PIVOT, OBase::OB_SEL_PIVOT, 1},
      {"nothing inside", {20, 20}, {30, 30}, PICK_PIVOTS | PICK_BODIES, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    Flags(bone, 0, sel);
    Flags(tail, 0, sel);
    const FVECTOR2 a = Screen(c.a.x, c.a.y), b = Screen(c.b.x, c.b.y);
    SCREENCONVMQ converter(Scene());
    EXPECT_EQ(MED_USELECT::SelectInRect(doc_, slots_, &service_->state, converter, SCREEN_RECT{a, b},
                                        c.kinds, false),
              c.answer);
    EXPECT_EQ(quorvel::GetBoneFlags(bone, slots_) & sel, c.bone_bits);
    EXPECT_EQ(quorvel::GetBoneFlags(tail, slots_) & sel, c.tail_bits);
  }
  // Bits are only ever set.
  Flags(tail, OBase::OB_SEL_ROLL);
  SCREENCONVMQ converter(Scene());
  MED_USELECT::SelectInRect(doc_, slots_, &service_->state, converter,
                            SCREEN_RECT{Screen(200, 200), Screen(210, 210)}, PICK_PIVOTS, false);
  EXPECT_NE(quorvel::GetBoneFlags(tail, slots_) & OBase::OB_SEL_ROLL, 0u);
}

// ---------------------------------------------------------------- brush

// A square of two triangles facing the camera, one hidden, and one turned away.
TEST_F(PickTest, TheBrushHitsVerticesOnShownFrontFacesWithinTheRadius) {
  MQObject mesh = AddObject("mesh");
  mqhost::Object* m = mqhost::ToObject(mesh);
  // Front faces are clockwise on the screen: seen from +Z with y up, that
  // is clockwise in the XY plane too.
  const int v0 = AddVertex(mesh, 0, 0, 0), v1 = AddVertex(mesh, 0, 20, 0), v2 = AddVertex(mesh, 20, 0, 0);
  const int v3 = AddVertex(mesh, 40, 0, 0), v4 = AddVertex(mesh, 40, 20, 0), v5 = AddVertex(mesh, 60, 0, 0);
  const int v6 = AddVertex(mesh, -40, 0, 0), v7 = AddVertex(mesh, -40, 20, 0), v8 = AddVertex(mesh, -20, 0, 0);
  ASSERT_GE(m->AddFace({v0, v1, v2}), 0);          // front
  const int hidden = m->AddFace({v3, v4, v5});     // front, but hidden
  m->SetFaceVisible(hidden, false);
  ASSERT_GE(m->AddFace({v8, v7, v6}), 0);          // back-facing
  const FVECTOR2 centre = Screen(0, 0);

  std::vector<HITVERT> hits;
  HITVERT nearest;
  ASSERT_EQ(brush_.PickVertices(doc_, centre, 20.0f, hits, nearest), 1);
  std::vector<int> vertices;
  for (const HITVERT& h : hits) {
    EXPECT_EQ(h.object, 0);
    vertices.push_back(h.vertex);
  }
  // v1 and v2 lie exactly 20 pixels away; v8 is inside but on a back face.
  EXPECT_EQ(vertices, (std::vector<int>{v0, v1, v2}));
  EXPECT_EQ(nearest.vertex, v0);

  // Hidden and back faces count once their vertex also lies on a shown face.
  EXPECT_EQ(brush_.PickVertices(doc_, Screen(40, 0), 5.0f, hits, nearest), 0);
  EXPECT_EQ(nearest.object, -1);
  EXPECT_EQ(brush_.PickVertices(doc_, Screen(-40, 0), 5.0f, hits, nearest), 0);

  std::vector<int32_t> indices;
  int32_t nearest_index = -7;
  ASSERT_EQ(brush_.PickObjectVertices(doc_, Uid(mesh), Screen(20, 0), 0.5f, indices, nearest_index), 1);
  EXPECT_EQ(indices, (std::vector<int32_t>{v2}));
  EXPECT_EQ(nearest_index, v2);
  EXPECT_EQ(brush_.PickObjectVertices(doc_, Uid(mesh) + 99, centre, 20.0f, indices, nearest_index), 0);
  EXPECT_EQ(nearest_index, -1);
}

// The brush decides most vertices from the scene's matrices and leaves the
// close calls to the host: it must hit exactly what the host's conversion
// alone gives, in both kinds of view, with a host whose conversion is not
// the matrices' (the matrices are then not used), and for vertices that
// lie exactly on the radius.
std::vector<int32_t> ReferenceBrush(MQDocument doc, MQObject obj, const FVECTOR2& centre, float radius) {
  MQScene scene = HostApi().MQDoc_GetScene(doc, 0);
  const int faces = HostApi().MQObj_GetFaceCount(obj);
  std::vector<BOOL> visible(static_cast<size_t>(faces), FALSE);
  HostApi().MQScene_GetVisibleFace(scene, obj, visible.data());
  std::vector<int32_t> hits;
  for (int v = 0; v < HostApi().MQObj_GetVertexCount(obj); ++v) {
    MQPoint p;
    HostApi().MQObj_GetVertex(obj, v, &p);
    float values[7] = {p.x, p.y, p.z};
    HostApi().MQScene_FloatValue(scene, 0x300, values);
    const float dx = values[3] - centre.x, dy = values[4] - centre.y;
    if (!(dx * dx + dy * dy <= radius * radius)) continue;
    bool shown = false;
    for (int f : mqhost::ToObject(obj)->RelatedFaces(v)) {
      shown = shown || (visible[static_cast<size_t>(f)] && HostApi().MQObj_GetFaceVisible(obj, f));
    }
    if (shown) hits.push_back(v);
  }
  return hits;
}

void(MQAPICALL* g_plain_convert)(MQScene, int, float*) = nullptr;
int g_conversions = 0;
bool g_bent = false;
// The host's conversion, counted, and when asked bent a little: no longer
// what the matrices give.
void MQAPICALL CountedConversion(MQScene scene, int code, float* values) {
  ++g_conversions;
  g_plain_convert(scene, code, values);
  if (g_bent && code == 0x300) values[3] += 0.0005f * (values[4] - 240.0f) * (values[4] - 240.0f);
}

TEST_F(PickTest, TheBrushHitsExactlyWhatTheHostsConversionGives) {
  MQObject mesh = AddObject("mesh");
  mqhost::Object* m = mqhost::ToObject(mesh);
  // A jittered grid of triangles, both windings, and vertices whose host
  // distance to the brush centre is exactly a whole number of pixels.
  unsigned seed = 7;
  const auto jitter = [&seed]() {
    seed = seed * 1103515245u + 12345u;
    return static_cast<float>((seed >> 8) % 1000) / 1000.0f - 0.5f;
  };
  const int side = 40;
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x)
      AddVertex(mesh, (x - side / 2) * 6.0f + jitter(), (y - side / 2) * 6.0f + jitter(), 20.0f * jitter());
  for (int y = 0; y + 1 < side; ++y) {
    for (int x = 0; x + 1 < side; ++x) {
      const int a = y * side + x, b = a + 1, c = a + side, d = c + 1;
      if ((x + y) % 3 == 0) {
        m->AddFace({a, b, c});  // turned away
      } else {
        m->AddFace({a, c, b});
      }
      m->AddFace({b, c, d});
    }
  }
  const int on_radius = AddVertex(mesh, 3, 4, 0), on_radius2 = AddVertex(mesh, -20, 0, 0);
  const int anchor = AddVertex(mesh, 0, 0, 0);
  m->AddFace({anchor, on_radius, on_radius2});
  m->AddFace({on_radius2, on_radius, anchor});

  const struct {
    const char* label;
    bool ortho;
    bool bent;
  } views[] = {{"orthographic", true, false}, {"perspective", false, false}, {"a bent conversion", true, true}};
  for (const auto& view : views) {
    SCOPED_TRACE(view.label);
    mqhost::Camera& camera = document_->camera;
    camera.orthographic = view.ortho;
    camera.position = view.ortho ? FVECTOR3(0, 0, 500) : FVECTOR3(40, -30, 260);
    g_plain_convert = HostApi().MQScene_FloatValue;
    HostApi().MQScene_FloatValue = &CountedConversion;
    g_bent = view.bent;
    for (const float radius : {5.0f, 20.0f, 0.5f, 60.0f}) {
      for (const FVECTOR2& centre : {Screen(0, 0), Screen(17.3f, -41.1f), FVECTOR2(100.25f, 300.5f)}) {
        std::vector<int32_t> hits;
        int32_t nearest = -1;
        g_conversions = 0;
        brush_.PickObjectVertices(doc_, Uid(mesh), centre, radius, hits, nearest);
        const int vertices = HostApi().MQObj_GetVertexCount(mesh);
        if (view.bent) {
          EXPECT_GE(g_conversions, vertices) << "the host converts every vertex";
        } else {
          EXPECT_LT(g_conversions, vertices / 10) << "the matrices decide the clear cases";
        }
        ASSERT_EQ(hits, ReferenceBrush(doc_, mesh, centre, radius))
            << "radius " << radius << " at " << centre.x << ", " << centre.y;
        if (view.ortho && !view.bent && radius == 5.0f && centre.x == 320.0f) {
          EXPECT_NE(std::find(hits.begin(), hits.end(), on_radius), hits.end()) << "exactly on the radius";
        }
        if (view.ortho && !view.bent && radius == 20.0f && centre.x == 320.0f) {
          EXPECT_NE(std::find(hits.begin(), hits.end(), on_radius2), hits.end()) << "exactly on the radius";
        }
      }
    }
    HostApi().MQScene_FloatValue = g_plain_convert;
  }
}

// The brush keeps each object's positions and their projection from step to
// step of a stroke: whatever changes in between (positions, vertex counts,
// faces shown, the view, objects replaced by others of another size) must
// show in the very next pick, which must match the host's own answer.
TEST_F(PickTest, TheBrushSeesEveryChangeBetweenStrokeSteps) {
  // A square grid of front-facing triangles, `side` vertices a side.
  const auto grid = [this](const char* name, int side, float step, float x0, float y0) {
    MQObject obj = AddObject(name);
    mqhost::Object* o = mqhost::ToObject(obj);
    for (int y = 0; y < side; ++y)
      for (int x = 0; x < side; ++x) AddVertex(obj, x0 + x * step, y0 + y * step, 0.0f);
    for (int y = 0; y + 1 < side; ++y) {
      for (int x = 0; x + 1 < side; ++x) {
        const int a = y * side + x, b = a + 1, c = a + side, d = c + 1;
        o->AddFace({a, c, b});
        o->AddFace({b, c, d});
      }
    }
    return obj;
  };
  MQObject small = grid("small", 4, 5.0f, -10.0f, -10.0f);
  MQObject large = grid("large", 30, 3.0f, -45.0f, -45.0f);
  const FVECTOR2 centre = Screen(1.0f, 2.0f);
  const float radius = 12.0f;
  const auto expected = [&]() {
    std::vector<HITVERT> hits;
    for (int i = 0; i < HostApi().MQDoc_GetObjectCount(doc_); ++i) {
      MQObject obj = HostApi().MQDoc_GetObject(doc_, i);
      if (obj == nullptr) continue;
      for (int32_t v : ReferenceBrush(doc_, obj, centre, radius)) hits.push_back(HITVERT{i, v});
    }
    return hits;
  };
  const auto check = [&](const char* step) {
    SCOPED_TRACE(step);
    std::vector<HITVERT> hits;
    HITVERT nearest;
    brush_.PickVertices(doc_, centre, radius, hits, nearest);
    const std::vector<HITVERT> want = expected();
    ASSERT_EQ(hits.size(), want.size());
    for (size_t i = 0; i < hits.size(); ++i) {
      EXPECT_EQ(hits[i].object, want[i].object) << i;
      EXPECT_EQ(hits[i].vertex, want[i].vertex) << i;
    }
  };
  check("first");
  check("again, nothing changed");

  const MQPoint away{200.0f, 200.0f, 0.0f};
  HostApi().MQObj_SetVertex(small, 5, &away);
  check("a vertex moved out of the brush");
  const MQPoint back{0.0f, 0.0f, 0.0f};
  HostApi().MQObj_SetVertex(small, 5, &back);
  check("and back under it");

  const int a = AddVertex(large, 2.0f, 3.0f, 0.0f), b = AddVertex(large, 2.0f, 9.0f, 0.0f);
  const int c = AddVertex(large, 8.0f, 3.0f, 0.0f);
  const int extra = mqhost::ToObject(large)->AddFace({a, b, c});
  check("vertices and a face added");
  HostApi().MQObj_SetFaceVisible(large, extra, FALSE);
  check("the new face hidden");
  for (int f = 0; f < HostApi().MQObj_GetFaceCount(small); ++f) HostApi().MQObj_SetFaceVisible(small, f, FALSE);
  check("a whole object's faces hidden");

  document_->camera.position.x += 4.0f;
  check("the view moved");
  document_->camera.ortho_height = 240.0f;
  check("the view zoomed");

  // Replaced by objects of other sizes (which may take the old ones'
  // addresses).
  document_->DeleteObject(HostApi().MQDoc_GetObjectIndex(doc_, small));
  check("an object deleted");
  grid("smaller", 3, 4.0f, -2.0f, -2.0f);
  document_->DeleteObject(HostApi().MQDoc_GetObjectIndex(doc_, large));
  grid("larger", 40, 2.0f, -40.0f, -40.0f);
  check("objects of other sizes in their place");
}

TEST_F(PickTest, MissingDocumentSceneOrStatePicksNothing) {
  Bone("bone", 0, {0, 0, 0});
  Records();
  USELECT_PARA para(service_.get(), Scene());
  MED_SELECTITEM item(SELKIND_BODY, 5);
  MED_USELECT picker;
  EXPECT_EQ(picker.Pick(para, nullptr, slots_, &service_->state, 320, 240, item, 15, false, 0), 0);
  EXPECT_EQ(picker.Pick(para, doc_, slots_, nullptr, 320, 240, item, 15, false, 0), 0);
  // Without a scene the conversions would hand points back unchanged, and
  // the pivot at the world origin would sit under the mouse at (0, 0).
  USELECT_PARA sceneless(service_.get(), nullptr);
  EXPECT_EQ(picker.Pick(sceneless, doc_, slots_, &service_->state, 0, 0, item, 15, false, 0), 0);
  EXPECT_EQ(item.kind, SELKIND_BODY) << "left as it was";
  std::vector<HITVERT> hits;
  HITVERT nearest;
  EXPECT_EQ(brush_.PickVertices(nullptr, FVECTOR2(320, 240), 10, hits, nearest), 0);
  SCREENCONVMQ converter(Scene());
  EXPECT_EQ(MED_USELECT::SelectInRect(doc_, slots_, nullptr, converter, SCREEN_RECT{}, 15, false), 0);
}

// ---------------------------------------------------------------- ray tests

TEST(PickGeometry, RayTests) {
  using namespace pick_geometry;
  const FVECTOR3 down(0, 0, -1);
  // Box: a hit in front, behind the origin and a parallel ray outside.
  EXPECT_FLOAT_EQ(RayBox({0, 0, 10}, down, {-1, -1, -1}, {1, 1, 1}), 9.0f);
  EXPECT_FLOAT_EQ(RayBox({0, 0, 0}, down, {-1, -1, -1}, {1, 1, 1}), 0.0f) << "from inside";
  EXPECT_LT(RayBox({0, 0, -10}, down, {-1, -1, -1}, {1, 1, 1}), 0.0f) << "behind";
  EXPECT_LT(RayBox({2, 0, 10}, down, {-1, -1, -1}, {1, 1, 1}), 0.0f) << "parallel, outside";
  // Cone from (0,0,0) radius 1 to apex (0,0,4), seen from above along -Z:
  // the mantle, then the base disc from below.
  EXPECT_NEAR(RayCone({0.5f, 0, 10}, down, {0, 0, 0}, 1.0f, {0, 0, 4}), 8.0f, 1e-4f);
  EXPECT_NEAR(RayCone({0.5f, 0, -10}, {0, 0, 1}, {0, 0, 0}, 1.0f, {0, 0, 4}), 10.0f, 1e-4f);
  EXPECT_LT(RayCone({1.5f, 0, 10}, down, {0, 0, 0}, 1.0f, {0, 0, 4}), 0.0f);
  // Ring of radii 1..2 in the XY plane.
  EXPECT_FLOAT_EQ(RayRing({1.5f, 0, 3}, down, {0, 0, 0}, {0, 0, 1}, 1.0f, 2.0f), 3.0f);
  EXPECT_LT(RayRing({0.5f, 0, 3}, down, {0, 0, 0}, {0, 0, 1}, 1.0f, 2.0f), 0.0f) << "inside the hole";
  EXPECT_LT(RayRing({1.5f, 0, 3}, {1, 0, 0}, {0, 0, 0}, {0, 0, 1}, 1.0f, 2.0f), 0.0f) << "parallel";
  // Triangles: the front face is hit, the back face is not.
  const FVECTOR3 a(0, 0, 0), b(1, 0, 0), c(0, 1, 0);
  EXPECT_FLOAT_EQ(RayTriangle({0.2f, 0.2f, 5}, down, a, b, c), 5.0f);
  EXPECT_LT(RayTriangle({0.2f, 0.2f, 5}, down, a, c, b), 0.0f);
  EXPECT_LT(RayTriangle({0.8f, 0.8f, 5}, down, a, b, c), 0.0f) << "outside";
}

// ---------------------------------------------------------------- rays and depth

TEST_F(PickTest, TheMouseRayAndTheWorldPointAtThePickDepth) {
  USELECT_PARA para(service_.get(), Scene());
  const MOUSE_RAY ray = MouseRay(para, Screen(30, -20).x, Screen(30, -20).y);
  EXPECT_NEAR(ray.origin.x, 30.0f, 1e-3f);
  EXPECT_NEAR(ray.origin.y, -20.0f, 1e-3f);
  EXPECT_VEC3_NEAR(ray.direction, FVECTOR3(0, 0, -1), 1e-5f);
  service_->pick_depth = para.WorldToScreen(FVECTOR3(0, 0, 40)).z;
  EXPECT_VEC3_NEAR(UnprojectAtPickDepth(para, Screen(7, 9).x, Screen(7, 9).y), FVECTOR3(7, 9, 40), 1e-2f);
}

}  // namespace
