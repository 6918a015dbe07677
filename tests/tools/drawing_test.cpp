// Drawing into the viewport, checked by reading the host's drawing objects:
// the bones' parts and colour classes, local axes, the handle (boxes and
// cones in front, rings at depth, its scale for the view) and the screen
// overlays.
#include "tools/bone_drawing.h"

#include <gtest/gtest.h>

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

// One drawing object as the host holds it.
struct Drawn {
  int kind = 0;  // 1 points, 2 lines, 4 faces
  UCOLOR colour;
  const mqhost::Object* object = nullptr;
};

bool Near(const MQPoint& p, const FVECTOR3& q) {
  return std::fabs(p.x - q.x) < 1e-3f && std::fabs(p.y - q.y) < 1e-3f && std::fabs(p.z - q.z) < 1e-3f;
}

std::string Text(const UCOLOR& c) {
  return std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b);
}

class DrawTest : public ToolTest {
 protected:
  void SetUp() override {
    ToolTest::SetUp();
    drawer_ = std::make_unique<UDRAW_MQ>(service_.get());
    drawer_->SetScene(Scene());
  }
  void TearDown() override {
    drawer_.reset();
    ToolTest::TearDown();
  }

  std::vector<Drawn> Objects() const {
    std::vector<Drawn> out;
    const auto byte = [](float f) { return static_cast<uint8_t>(std::lround(f * 255)); };
    for (const mqhost::DrawingObject& d : document_->drawing_objects()) {
      Drawn drawn;
      drawn.kind = static_cast<int>(d.object->visible);
      drawn.object = d.object.get();
      EXPECT_TRUE(d.instant) << "one frame only";
      if (drawn.kind == 4) {
        // Faces take their colour from their drawing material.
        const int index = d.object->faces.empty() ? -1 : d.object->faces[0].material;
        for (const mqhost::DrawingMaterial& m : document_->drawing_materials()) {
          if (m.index != index) continue;
          drawn.colour = UCOLOR(byte(m.material->color.r), byte(m.material->color.g), byte(m.material->color.b));
          EXPECT_FLOAT_EQ(m.material->emission, 0.3f);
          EXPECT_TRUE(m.instant);
        }
      } else {
        EXPECT_TRUE(d.object->color_valid) << "colour set and marked valid";
        drawn.colour = UCOLOR(byte(d.object->color[0]), byte(d.object->color[1]), byte(d.object->color[2]));
      }
      out.push_back(drawn);
    }
    return out;
  }
  // The colour of the object of `kind` that has a face through exactly these
  // points (a line either way round); "none" when none has.
  std::string ColourOfFace(int kind, std::vector<FVECTOR3> points) const {
    for (const Drawn& d : Objects()) {
      if (d.kind != kind) continue;
      for (const mqhost::Face& f : d.object->faces) {
        if (f.points.size() != points.size()) continue;
        for (int turn = 0; turn < 2; ++turn) {
          bool all = true;
          for (size_t i = 0; i < points.size() && all; ++i) {
            const size_t k = turn == 0 ? i : points.size() - 1 - i;
            all = Near(d.object->vertices[static_cast<size_t>(f.points[k])].position, points[i]);
          }
          if (all) return Text(d.colour);
        }
      }
    }
    return "none";
  }
  std::string PointColour(const FVECTOR3& p) const { return ColourOfFace(1, {p}); }
  std::string LineColour(const FVECTOR3& a, const FVECTOR3& b) const { return ColourOfFace(2, {a, b}); }
  int CountKind(int kind) const {
    int n = 0;
    for (const Drawn& d : Objects()) n += d.kind == kind;
    return n;
  }
  void ClearDrawing() { document_->DiscardInstantDrawing(); }

  std::unique_ptr<UDRAW_MQ> drawer_;
};

// The bone from (0, 0, 0) to (100, 0, 0); its tail object is no rig member,
// so that nothing else is drawn. The parts: pivot point, cross, body (its
// edge from the pivot to ring point A), roll line and roll point.
struct BoneParts {
  std::string pivot, cross, body, roll_line, roll;
};

TEST_F(DrawTest, BoneColourRules) {
  MQObject bone = Bone("bone", 0, {0, 0, 0});
  MQObject tail = Bone("tail", 1, {100, 0, 0});
  Records();
  Flags(tail, 0, OBase::OB_RIG);
  const quorvel::BonePoints p = quorvel::GetBonePoints(doc_, bone);
  const FVECTOR3 ring_a = p.pivot + FVECTOR3(15, 0, 0) + FVECTOR3(0, 1, 0) * 8.0f;  // c + u·r
  const FVECTOR3 x_half(10, 0, 0);

  const std::string green = "0,255,0", magenta = "255,0,255", white = "255,255,255", cyan = "0,255,255";
  const std::string yellow = "255,255,0", light = "128,255,128", dim_green = "32,121,32";
  const std::string dim_magenta = "121,32,121", rest_magenta = "255,128,255", none = "none";
  struct Case {
    const char* label;
    bool pose;
    bool current;
    uint32_t set, clear;
    bool locked;
    BoneParts want;
  };
  const Case cases[] = {
      {"plain", false, false, 0, 0, false, {green, green, green, none, none}},
      {"current bone", false, true, 0, 0, false, {cyan, cyan, cyan, none, none}},
      {"current bone, pivot selected", false, true, OBase::OB_SEL_PIVOT, 0, false, {white, white, cyan, none, none}},
      {"current bone keeps its selected body cyan", false, true, OBase::OB_SEL_BODY, 0, false,
       {cyan, cyan, cyan, none, none}},
      {"another bone's selected body is all white, hover ignored", false, false,
       OBase::OB_SEL_BODY | OBase::OB_HOVER_PIVOT, 0, false, {white, white, white, none, none}},
      {"body hovered", false, false, OBase::OB_HOVER_BODY, 0, false, {light, light, yellow, none, none}},
      {"pivot hovered", false, false, OBase::OB_HOVER_PIVOT, 0, false, {yellow, light, light, none, none}},
      {"locked outside pose mode", false, true, OBase::OB_SEL_PIVOT | OBase::OB_HOVER_BODY, 0, true,
       {dim_green, dim_green, dim_green, none, none}},
      {"pose mode", true, false, 0, 0, false, {magenta, magenta, magenta, magenta, magenta}},
      {"inactive in pose mode", true, true, OBase::OB_SEL_PIVOT, OBase::OB_POSEACTIVE, false,
       {dim_magenta, dim_magenta, dim_magenta, dim_magenta, dim_magenta}},
      {"locked counts nothing in pose mode", true, false, 0, 0, true,
       {magenta, magenta, magenta, magenta, magenta}},
      {"chain stop marked in pose mode", true, false, OBase::OB_POSEMARK, 0, false,
       {light, magenta, magenta, magenta, magenta}},
      {"roll point selected", true, false, OBase::OB_SEL_ROLL, 0, false, {magenta, magenta, magenta, white, white}},
      {"roll point hovered", true, false, OBase::OB_HOVER_ROLL, 0, false,
       {rest_magenta, rest_magenta, rest_magenta, yellow, yellow}},
      {"no cross without usetrs", false, false, 0, OBase::usetrs, false, {green, none, green, none, none}},
  };
  const uint32_t original = quorvel::GetBoneFlags(bone, slots_);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ASSERT_TRUE(quorvel::SetBoneFlags(bone, slots_, (original | c.set) & ~c.clear));
    mqhost::ToObject(bone)->locked = c.locked;
    service_->state.current_bone = c.current ? Uid(bone) : -1;
    ClearDrawing();
    DrawBones(*drawer_, doc_, slots_, &service_->state, c.pose);
    EXPECT_EQ(PointColour(p.pivot), c.want.pivot) << "pivot";
    EXPECT_EQ(LineColour(p.pivot - x_half, p.pivot + x_half), c.want.cross) << "cross";
    EXPECT_EQ(LineColour(p.pivot, ring_a), c.want.body) << "body";
    EXPECT_EQ(LineColour(p.pivot, p.roll), c.want.roll_line) << "roll line";
    EXPECT_EQ(PointColour(p.roll), c.want.roll) << "roll point";
    EXPECT_EQ(PointColour(p.tail), none) << "the tail point is never drawn";
    EXPECT_LE(static_cast<int>(Objects().size()), 14);
  }
}

// Outlines are drawn only for the body's triangles that face the camera.
TEST_F(DrawTest, BodyOutlinesCullTheBackFaces) {
  MQObject bone = Bone("bone", 0, {0, 0, 0});
  Bone("tail", 1, {100, 0, 0});
  Records();
  DrawBones(*drawer_, doc_, slots_, &service_->state, false);
  const quorvel::BonePoints p = quorvel::GetBonePoints(doc_, bone);
  // The ring in the plane x = 15 around the bone: A up, B toward the
  // viewer's side or away, C the other.
  const FVECTOR3 c = p.pivot + FVECTOR3(15, 0, 0);
  const FVECTOR3 a = c + FVECTOR3(0, 8, 0);
  const FVECTOR3 b = c - FVECTOR3(0, 0, 1) * (0.8660254f * 8) - FVECTOR3(0, 4, 0);
  const FVECTOR3 cc = c + FVECTOR3(0, 0, 1) * (0.8660254f * 8) - FVECTOR3(0, 4, 0);
  // w = f × u = X × Y = +Z: C is toward the camera, B away. The triangles
  // through C face the camera; (pivot, B, A) faces away.
  int shown = 0, hidden = 0;
  const FVECTOR3 tris[6][3] = {{p.pivot, b, a}, {p.pivot, cc, b}, {p.pivot, a, cc},
                               {p.tail, a, b},  {p.tail, b, cc},  {p.tail, cc, a}};
  for (const auto& t : tris) {
    const bool drawn = ColourOfFace(2, {t[0], t[1]}) != "none" && ColourOfFace(2, {t[2], t[0]}) != "none";
    (drawn ? shown : hidden) += 1;
  }
  EXPECT_EQ(ColourOfFace(2, {p.pivot, cc}), "0,255,0");
  EXPECT_EQ(ColourOfFace(2, {p.tail, cc}), "0,255,0");
  EXPECT_EQ(ColourOfFace(2, {a, b}), "none") << "the edge between the two hidden faces";
  EXPECT_GT(shown, 0);
  EXPECT_GT(hidden, 0);
}

TEST_F(DrawTest, AChildlessBoneDrawsItsPivotOnlyAndInPoseModeOnlyAsAChainEnd) {
  MQObject root = Bone("root", 0, {0, 0, 0});
  MQObject end = Bone("end", 1, {100, 0, 0});    // first child, no children: a chain end
  MQObject side = Bone("side", 1, {0, 100, 0});  // second child, no children
  MQObject lone = Bone("lone", 0, {-100, 0, 0}); // a childless root
  Records();
  (void)root;
  const FVECTOR3 at_side(0, 100, 0), at_lone(-100, 0, 0), at_end(100, 0, 0);
  DrawBones(*drawer_, doc_, slots_, &service_->state, false);
  EXPECT_EQ(PointColour(at_side), "0,255,0");
  EXPECT_EQ(PointColour(at_lone), "0,255,0");
  EXPECT_EQ(PointColour(at_end), "0,255,0");
  // A lone bone's cross has length 0: the segment is a point.
  EXPECT_EQ(LineColour(at_lone, at_lone), "0,255,0");
  ClearDrawing();
  DrawBones(*drawer_, doc_, slots_, &service_->state, true);
  EXPECT_EQ(PointColour(at_side), "none");
  EXPECT_EQ(PointColour(at_lone), "none");
  EXPECT_EQ(PointColour(at_end), "255,0,255");
  (void)end;
  (void)side;
  (void)lone;
}

TEST_F(DrawTest, HiddenBonesAreDrawnOnlyInPoseModeAndNonMembersNever) {
  MQObject bone = Bone("bone", 0, {0, 0, 0});
  MQObject tail = Bone("tail", 1, {100, 0, 0});
  Records();
  Flags(tail, 0, OBase::OB_RIG);
  mqhost::ToObject(bone)->visible = 0;
  DrawBones(*drawer_, doc_, slots_, &service_->state, false);
  EXPECT_EQ(PointColour(FVECTOR3()), "none");
  DrawBones(*drawer_, doc_, slots_, &service_->state, true);
  EXPECT_EQ(PointColour(FVECTOR3()), "255,0,255");
  EXPECT_EQ(PointColour(FVECTOR3(100, 0, 0)), "none") << "no rig bit, not drawn";
  DrawBones(*drawer_, nullptr, slots_, &service_->state, true);
  DrawBones(*drawer_, doc_, slots_, nullptr, true);
}

TEST_F(DrawTest, LocalAxesAreFiveLocalUnitsLong) {
  MQObject shown = Bone("shown", 0, {10, 20, 30});
  mqhost::ToObject(shown)->transform.scale = FVECTOR3(2, 2, 2);
  MQObject hidden = Bone("hidden", 0, {-10, 0, 0});
  mqhost::ToObject(hidden)->visible = 0;
  DrawLocalAxes(*drawer_, doc_, false);
  const FVECTOR3 o(10, 20, 30);
  EXPECT_EQ(LineColour(o, o + FVECTOR3(10, 0, 0)), "255,0,0");
  EXPECT_EQ(LineColour(o, o + FVECTOR3(0, 10, 0)), "0,255,0");
  EXPECT_EQ(LineColour(o, o + FVECTOR3(0, 0, 10)), "0,0,255");
  EXPECT_EQ(LineColour(FVECTOR3(-10, 0, 0), FVECTOR3(-5, 0, 0)), "none") << "hidden objects have none";
  EXPECT_EQ(CountKind(2), 3) << "three line objects in all";

  ClearDrawing();
  MQObject second = Bone("second", 0, {0, 50, 0});
  HostApi().MQDoc_SetCurrentObjectIndex(doc_, 2);
  DrawLocalAxes(*drawer_, doc_, true);
  EXPECT_EQ(LineColour(o, o + FVECTOR3(10, 0, 0)), "none");
  EXPECT_EQ(LineColour(FVECTOR3(0, 50, 0), FVECTOR3(5, 50, 0)), "255,0,0");
  (void)second;
}

// The handle's boxes and cones are placed just behind the near plane; rings
// and the axis lines stay at their true depth.
TEST_F(DrawTest, HandleBoxesAndConesInFrontRingsAtDepth) {
  const FMATRIX at = FMATRIX::Translation(FVECTOR3(0, 0, -40));
  const float true_depth = drawer_->WorldToScreen(FVECTOR3(0, 0, -40)).z;
  for (int type : {HANDLE_MOVE, HANDLE_ROTATE, HANDLE_SCALE}) {
    SCOPED_TRACE(type);
    ClearDrawing();
    DrawHandle(*drawer_, type, at);
    int faces = 0, rings = 0;
    for (const Drawn& d : Objects()) {
      for (const mqhost::Vertex& v : d.object->vertices) {
        const float z = drawer_->WorldToScreen(FVECTOR3(v.position.x, v.position.y, v.position.z)).z;
        if (d.kind == 4) {
          EXPECT_NEAR(z, 0.0001f, 1e-5f) << "pushed to the front";
        } else {
          EXPECT_GT(z, 0.001f) << "lines keep their depth";
        }
      }
      faces += d.kind == 4;
      rings += d.kind == 2 && d.object->vertices.size() == MEDUDRAW_BASE::kCirclePoints;
    }
    const int want_faces[3] = {4, 1, 4};
    EXPECT_EQ(faces, want_faces[type]) << "boxes and cones";
    EXPECT_EQ(rings, type == HANDLE_ROTATE ? 3 : 0);
    if (type == HANDLE_ROTATE) {
      // The ring about Z lies in the handle's plane: at the handle's depth.
      for (const Drawn& d : Objects()) {
        if (d.kind != 2 || d.colour != UCOLOR(0, 0, 255)) continue;
        for (const mqhost::Vertex& v : d.object->vertices) {
          EXPECT_NEAR(drawer_->WorldToScreen(FVECTOR3(v.position.x, v.position.y, v.position.z)).z,
                      true_depth, 1e-5f);
        }
      }
    }
  }
  // The faces of the boxes and cones have the face object's material.
  for (const Drawn& d : Objects()) {
    if (d.kind != 4) continue;
    for (const mqhost::Face& f : d.object->faces) EXPECT_GE(f.material, 0);
  }
}

TEST_F(DrawTest, TheHandleIsScaledForTheViewWidth) {
  const FMATRIX view = drawer_->GetViewMatrix(), proj = drawer_->GetProjMatrix();
  const struct {
    int width;
    float scale;
  } cases[] = {{640, 0.0f}, {1280, 0.0f}};
  float at640 = 0.0f;
  for (const auto& c : cases) {
    const FMATRIX m = ScaleHandleMatrix(FMATRIX::Translation(FVECTOR3(1, 2, 3)), c.width, 480, view, proj);
    // Orthographic here: s = (6000 / width) / (view(3, 2) · proj(0, 0)).
    const float s = (6000.0f / static_cast<float>(c.width)) / (view(3, 2) * proj(0, 0));
    EXPECT_FLOAT_EQ(m(0, 0), s);
    EXPECT_FLOAT_EQ(m(1, 1), s);
    EXPECT_FLOAT_EQ(m(2, 2), s);
    EXPECT_VEC3_NEAR(m.GetTranslation(), FVECTOR3(1, 2, 3), 0.0f) << "the position is kept";
    if (c.width == 640) at640 = s;
  }
  // The drawer asks the service for the size: 640 before the first draw.
  service_->width = 640;
  DrawHandle(*drawer_, HANDLE_SCALE, FMATRIX());
  // The scale handle's X box is centred at (55, 0, 0) in handle units; its
  // corners before pushing lie 52.5 to 57.5 units out. Its pushed corners
  // keep their screen x.
  bool found = false;
  for (const Drawn& d : Objects()) {
    if (d.kind != 4 || d.colour != UCOLOR(255, 0, 0)) continue;
    for (const mqhost::Vertex& v : d.object->vertices) {
      const float x = drawer_->WorldToScreen(FVECTOR3(v.position.x, v.position.y, v.position.z)).x - 320.0f;
      EXPECT_NEAR(std::fabs(x - 55.0f * at640), 2.5f * at640, 1e-2f);
      found = true;
    }
  }
  EXPECT_TRUE(found);
}

TEST_F(DrawTest, ScreenOverlaysAreClosedOutlinesNearTheScreen) {
  DrawBrushCircle(*drawer_, FVECTOR2(100, 50), 20.0f, UCOLOR(255, 255, 255));
  DrawScreenRect(*drawer_, FVECTOR2(10, 20), FVECTOR2(60, 80), UCOLOR(255, 255, 255, 128));
  const std::vector<Drawn> drawn = Objects();
  ASSERT_EQ(drawn.size(), 2u);
  const int vertex_counts[2] = {32, 4};
  for (size_t i = 0; i < 2; ++i) {
    const mqhost::Object& o = *drawn[i].object;
    EXPECT_EQ(drawn[i].kind, 2);
    EXPECT_EQ(Text(drawn[i].colour), "255,255,255") << "alpha is ignored";
    ASSERT_EQ(static_cast<int>(o.vertices.size()), vertex_counts[i]);
    ASSERT_EQ(o.faces.size(), o.vertices.size()) << "closed: one segment per vertex";
    EXPECT_EQ(o.faces.back().points[1], o.faces.front().points[0]);
    for (const mqhost::Vertex& v : o.vertices) {
      const FVECTOR3 s = drawer_->WorldToScreen(FVECTOR3(v.position.x, v.position.y, v.position.z));
      EXPECT_NEAR(s.z, 0.01f, 1e-5f);
      if (i == 0) {
        EXPECT_NEAR(std::hypot(s.x - 100.0f, s.y - 50.0f), 20.0f, 1e-3f);
      }
    }
  }
  const mqhost::Object& rect = *drawn[1].object;
  const FVECTOR3 corner = drawer_->WorldToScreen(
      FVECTOR3(rect.vertices[1].position.x, rect.vertices[1].position.y, rect.vertices[1].position.z));
  EXPECT_NEAR(corner.x, 60.0f, 1e-3f);
  EXPECT_NEAR(corner.y, 20.0f, 1e-3f);
}

}  // namespace
