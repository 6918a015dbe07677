// Deformation: building a copy of an object, morphing and skinning it, the
// weight colours, the SIMD kernel against the plain loop, and the exported
// rendering model.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "deform/deformation.h"
#include "deform/rendering_model.h"
#include "deform/skinning.h"
#include "math/log.h"
#include "rig/id_table.h"
#include "rig/morph_targets.h"
#include "rig/rig_access.h"
#include "rig/rig_document.h"
#include "tests/rig/rig_fixture.h"
#include "tests/support/float_checks.h"

using namespace quorvel;

namespace {

class DeformationTest : public RigTest {
 protected:
  // An empty drawing object of the document to build copies into.
  MQObject NewTarget() { return mqhost::ToHandle(document_->CreateDrawingObject(4, false)); }
  mqhost::Object* Host(MQObject obj) { return mqhost::ToObject(obj); }
  FVECTOR3 Vertex(MQObject obj, int v) {
    const MQPoint& p = Host(obj)->vertices.at(static_cast<size_t>(v)).position;
    return FVECTOR3(p.x, p.y, p.z);
  }
  int32_t Uid(MQObject obj) { return static_cast<int32_t>(Host(obj)->uid); }

  // Inputs with one matrix per document object (identity unless given).
  DeformInputs Inputs(std::vector<FMATRIX>& matrices, IdTable& ids, int pose_id = -1) {
    matrices.resize(static_cast<size_t>(document_->ObjectCount()), FMATRIX::kIdentity);
    BuildIdTable(doc_, ids);
    DeformInputs in;
    in.document = doc_;
    in.slots = &slots_;
    in.matrices = &matrices;
    in.ids = &ids;
    in.pose_id = pose_id;
    return in;
  }
  // A copy of `source`, deformed.
  MQObject Deformed(const DeformInputs& in, MQObject source) {
    MQObject target = NewTarget();
    BuildCopy(target, source, 7);
    DeformCopy(in, target, source);
    return target;
  }
};

// ---------------------------------------------------------------- building a copy

TEST_F(DeformationTest, TheCopySitsATenthOutsideAlongTheAveragedFaceNormals) {
  // A unit cube's corner at the origin, three quads meeting there, plus a
  // vertex on no face and a triangle on its own.
  MQObject cube = AddObject("cube");
  const float corners[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},
                               {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
  for (const auto& c : corners) AddVertex(cube, c[0], c[1], c[2]);
  mqhost::Object* o = Host(cube);
  // Outward by the copy's normal rule, (b - c) × (a - b).
  ASSERT_GE(o->AddFace({0, 1, 2, 3}), 0);  // z = 0, faces -Z
  ASSERT_GE(o->AddFace({0, 4, 5, 1}), 0);  // y = 0, faces -Y
  ASSERT_GE(o->AddFace({0, 3, 7, 4}), 0);  // x = 0, faces -X
  const int loose = AddVertex(cube, 5, 5, 5);
  const int t0 = AddVertex(cube, 10, 0, 0), t1 = AddVertex(cube, 11, 0, 0),
            t2 = AddVertex(cube, 10, 1, 0);
  ASSERT_GE(o->AddFace({t0, t1, t2}), 0);
  o->faces[0].material = 2;
  o->faces[0].uvs = {{0.1f, 0.2f}, {0.3f, 0.4f}, {0.5f, 0.6f}, {0.7f, 0.8f}};
  o->faces[0].colors = {1, 2, 3, 4};
  o->SetFaceVisible(1, false);
  o->smooth_angle = 33.0f;

  MQObject copy = NewTarget();
  BuildCopy(copy, cube, 0);
  mqhost::Object* c = Host(copy);
  ASSERT_EQ(c->vertices.size(), o->vertices.size());
  const float d = 0.1f / std::sqrt(3.0f);
  EXPECT_VEC3_NEAR(Vertex(copy, 0), FVECTOR3(-d, -d, -d), 1e-6f) << "three faces meet";
  EXPECT_VEC3_NEAR(Vertex(copy, 6), FVECTOR3(1, 1, 1), 0.0f) << "on no face of three or four points";
  EXPECT_VEC3_NEAR(Vertex(copy, loose), FVECTOR3(5, 5, 5), 0.0f);
  // (b - c) × (a - b) for (10,0,0), (11,0,0), (10,1,0) points along -Z.
  EXPECT_VEC3_NEAR(Vertex(copy, t0), FVECTOR3(10, 0, -0.1f), 1e-6f);
  // The quad corner at vertex 1 uses (0, 1, 2) of face 0 and (5, 1, 0) of face 1.
  EXPECT_VEC3_NEAR(Vertex(copy, 1), FVECTOR3(1, -0.1f * std::sqrt(0.5f), -0.1f * std::sqrt(0.5f)),
                   1e-6f);

  ASSERT_EQ(c->faces.size(), o->faces.size());
  for (size_t f = 0; f < o->faces.size(); ++f) {
    SCOPED_TRACE(f);
    EXPECT_EQ(c->faces[f].points, o->faces[f].points);
    EXPECT_EQ(c->faces[f].material, o->faces[f].material);
    EXPECT_EQ(c->faces[f].colors, o->faces[f].colors);
    EXPECT_EQ(c->FaceVisible(static_cast<int>(f)), o->FaceVisible(static_cast<int>(f)));
    ASSERT_EQ(c->faces[f].uvs.size(), o->faces[f].uvs.size());
    for (size_t k = 0; k < o->faces[f].uvs.size(); ++k) {
      EXPECT_EQ(c->faces[f].uvs[k].u, o->faces[f].uvs[k].u);
      EXPECT_EQ(c->faces[f].uvs[k].v, o->faces[f].uvs[k].v);
    }
  }
  EXPECT_EQ(c->smooth_angle, 33.0f);
  EXPECT_EQ(c->visible, 0u) << "saved visibility 0 hides the copy";

  MQObject shown = NewTarget();
  BuildCopy(shown, cube, 7);
  EXPECT_NE(Host(shown)->visible, 0u);
}

TEST_F(DeformationTest, OpposingNormalsFallBackToPlusZ) {
  MQObject sheet = AddObject("sheet");
  const int a = AddVertex(sheet, 0, 0, 0), b = AddVertex(sheet, 1, 0, 0), c = AddVertex(sheet, 0, 1, 0);
  ASSERT_GE(Host(sheet)->AddFace({a, b, c}), 0);
  ASSERT_GE(Host(sheet)->AddFace({c, b, a}), 0);
  MQObject copy = NewTarget();
  BuildCopy(copy, sheet, 7);
  EXPECT_VEC3_NEAR(Vertex(copy, a), FVECTOR3(0, 0, 0.1f), 1e-7f);
}

// ---------------------------------------------------------------- skinning rules

TEST_F(DeformationTest, WeightedVerticesFollowTheirNormalisedBones) {
  MQObject bone_a = AddObject("a");
  MQObject bone_b = AddObject("b");
  MQObject gone = AddObject("gone");
  MQObject skin = AddObject("skin");
  const int32_t a = Uid(bone_a), b = Uid(bone_b), missing = Uid(gone);
  document_->DeleteObject(2);  // "gone" leaves an empty position behind

  struct Case {
    const char* what;
    VWeight weights;
    FVECTOR3 expected;  // for p = (1, 2, 3); M_a moves +10 x, M_b +20 y
  };
  const FVECTOR3 p(1, 2, 3);
  const FVECTOR3 pa(11, 2, 3), pb(1, 22, 3);
  const Case cases[] = {
      {"one bone, its weight ignored", Weights({{a, 0.25f}}), pa},
      {"0.3 / 0.3 normalised", Weights({{a, 0.3f}, {b, 0.3f}}), pa * 0.5f + pb * 0.5f},
      {"0 / 0 goes to the origin", Weights({{a, 0.0f}, {b, 0.0f}}), FVECTOR3(0, 0, 0)},
      {"a deleted bone adds nothing", Weights({{a, 0.5f}, {missing, 0.5f}}), pa * 0.5f},
      {"a single deleted bone leaves the vertex", Weights({{missing, 1.0f}}), p},
      {"unnormalised weights above one", Weights({{a, 3.0f}, {b, 1.0f}}), pa * 0.75f + pb * 0.25f},
  };
  std::vector<int> vertices;
  for (size_t i = 0; i < std::size(cases); ++i) vertices.push_back(AddVertex(skin, 1, 2, 3));
  ASSERT_GE(Host(skin)->AddFace(vertices), 0);
  // A record without entries, on a triangle of its own facing -Z.
  const int untouched = AddVertex(skin, 1, 2, 3);
  ASSERT_GE(Host(skin)->AddFace({untouched, AddVertex(skin, 2, 2, 3), AddVertex(skin, 1, 3, 3)}), 0);
  for (size_t i = 0; i < std::size(cases); ++i) {
    ASSERT_TRUE(SetVertexWeights(skin, slots_, vertices[i], cases[i].weights));
  }
  VWeight empty;
  Init(empty);
  ASSERT_TRUE(SetVertexWeights(skin, slots_, untouched, empty));

  std::vector<FMATRIX> matrices;
  IdTable ids;
  DeformInputs in = Inputs(matrices, ids);
  matrices[0] = FMATRIX::Translation({10, 0, 0});
  matrices[1] = FMATRIX::Translation({0, 20, 0});
  MQObject copy = Deformed(in, skin);
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_VEC3_NEAR(Vertex(copy, vertices[i]), cases[i].expected, 1e-5f) << cases[i].what;
  }
  // Built 0.1 along its face's normal, and not written since.
  EXPECT_VEC3_NEAR(Vertex(copy, untouched), FVECTOR3(1, 2, 2.9f), 1e-6f);
}

TEST_F(DeformationTest, AnObjectWithoutWeightsFollowsItsOwnBoneRigidly) {
  AddObject("other");  // index 0: the box is object 1
  MQObject box = AddObject("box");
  const int v0 = AddVertex(box, 1, 0, 0), v1 = AddVertex(box, 0, 1, 0), v2 = AddVertex(box, 0, 0, 1);
  ASSERT_GE(Host(box)->AddFace({v0, v1, v2}), 0);
  std::vector<FMATRIX> matrices;
  IdTable ids;
  DeformInputs in = Inputs(matrices, ids);
  // A quarter turn about Z (+X to +Y), then (5, 0, -2).
  matrices[1] = FMATRIX{0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 5, 0, -2, 1};
  matrices[0] = FMATRIX::Translation({100, 0, 0});  // another object's matrix is not used
  MQObject copy = Deformed(in, box);
  EXPECT_VEC3_NEAR(Vertex(copy, v0), FVECTOR3(5, 1, -2), 1e-5f);
  EXPECT_VEC3_NEAR(Vertex(copy, v1), FVECTOR3(4, 0, -2), 1e-5f);
  EXPECT_VEC3_NEAR(Vertex(copy, v2), FVECTOR3(5, 0, -1), 1e-5f);
}

TEST_F(DeformationTest, ColourCodedObjectsBlendTwoBonesByTheirCornerColours) {
  AddObject("b0");
  AddObject("b1");
  AddObject("b2");
  for (const char* name : {"CDEF:skin", "cdef:skin", "CdEf:"}) {
    SCOPED_TRACE(name);
    MQObject skin = AddObject(name);
    const int v_two = AddVertex(skin, 1, 1, 1);
    const int v_one = AddVertex(skin, 1, 1, 1);
    const int v_clamped = AddVertex(skin, 1, 1, 1);
    const int v_half = AddVertex(skin, 1, 1, 1);
    const int v_none = AddVertex(skin, 1, 1, 1);  // on no face: colour 0
    mqhost::Object* o = Host(skin);
    ASSERT_GE(o->AddFace({v_two, v_one, v_clamped, v_half}), 0);
    // red = bone A, green = bone B, alpha = A's share.
    o->faces[0].colors = {2u | 1u << 8 | 255u << 24, 2u | 1u << 8 | 0u << 24,
                          200u | 100u << 8 | 255u << 24, 0u | 1u << 8 | 51u << 24};
    std::vector<FMATRIX> matrices;
    IdTable ids;
    DeformInputs in = Inputs(matrices, ids);
    const int last = document_->ObjectCount() - 1;
    for (int i = 0; i <= last; ++i) matrices[static_cast<size_t>(i)] = FMATRIX::Translation({float(10 * i), 0, 0});
    MQObject copy = Deformed(in, skin);
    EXPECT_VEC3_NEAR(Vertex(copy, v_two), FVECTOR3(21, 1, 1), 1e-5f);
    EXPECT_VEC3_NEAR(Vertex(copy, v_one), FVECTOR3(11, 1, 1), 1e-5f);
    EXPECT_VEC3_NEAR(Vertex(copy, v_clamped), FVECTOR3(1 + 10.0f * last, 1, 1), 1e-4f)
        << "indices beyond the object count are limited to the last object";
    EXPECT_VEC3_NEAR(Vertex(copy, v_half), FVECTOR3(1 + 0.2f * 0 + 0.8f * 10, 1, 1), 1e-4f);
    EXPECT_VEC3_NEAR(Vertex(copy, v_none), FVECTOR3(1, 1, 1), 1e-5f)
        << "colour 0: bone 0, whose matrix is the identity here";
  }
}

TEST_F(DeformationTest, IsColourCodedNameLooksAtTheFirstFiveCharactersOnly) {
  struct Case {
    const char* name;
    bool coded;
  };
  for (const Case& c : {Case{"CDEF:", true}, Case{"cdef:arm", true}, Case{"cDeF:x", true},
                        Case{"CDEF", false}, Case{"CDEF-arm", false}, Case{" CDEF:", false},
                        Case{"", false}, Case{nullptr, false}}) {
    EXPECT_EQ(IsColourCodedName(c.name), c.coded) << (c.name ? c.name : "(null)");
  }
}

// ---------------------------------------------------------------- morphing

TEST_F(DeformationTest, MorphWeightsMixTargetsFromTheBaseShape) {
  MQObject blob = AddObject("blob");
  const int v = AddVertex(blob, 0, 0, 0);
  const int w = AddVertex(blob, 1, 0, 0);
  const int u = AddVertex(blob, 0, 1, 0);
  ASSERT_GE(Host(blob)->AddFace({v, w, u}), 0);
  EnsureRigRecords(doc_, slots_);
  ASSERT_TRUE(CreateMorphTarget(blob, slots_, 0, "up", ""));
  ASSERT_TRUE(CreateMorphTarget(blob, slots_, 1, "side", ""));
  // Shapes: target 0 lifts vertex v by 2; target 1 moves it 4 along x.
  ASSERT_TRUE(SetCurrentMorphTarget(blob, slots_, 0));
  MQPoint p{0, 2, 0};
  HostApi().MQObj_SetVertex(blob, v, &p);
  ASSERT_TRUE(SetCurrentMorphTarget(blob, slots_, 1));
  p = MQPoint{4, 0, 0};
  HostApi().MQObj_SetVertex(blob, v, &p);
  ASSERT_TRUE(SetCurrentMorphTarget(blob, slots_, -1));
  ASSERT_EQ(Vertex(blob, v), FVECTOR3(0, 0, 0));

  struct Case {
    const char* what;
    int pose;
    float w0, w1;
    FVECTOR3 expected;
  };
  const Case cases[] = {
      {"full target 0", 3, 1.0f, 0.0f, FVECTOR3(0, 2, 0)},
      {"minus one pushes away", 3, -1.0f, 0.0f, FVECTOR3(0, -2, 0)},
      {"both halves", 3, 0.5f, 0.5f, FVECTOR3(2, 1, 0)},
      {"no current pose: no morphing", -1, 1.0f, 1.0f, FVECTOR3(0, 0, 0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    OPoseMorph morph;
    morph.weight[0] = c.w0;
    morph.weight[1] = c.w1;
    ASSERT_TRUE(SetPoseMorph(blob, slots_, 3, morph));
    std::vector<FMATRIX> matrices;
    IdTable ids;
    DeformInputs in = Inputs(matrices, ids, c.pose);
    EXPECT_VEC3_NEAR(Vertex(Deformed(in, blob), v), c.expected, 1e-5f);
  }

  // While target 1 is shown in the vertices, morphing starts from the stored base.
  ASSERT_TRUE(SetCurrentMorphTarget(blob, slots_, 1));
  OPoseMorph morph;
  morph.weight[0] = 1.0f;
  ASSERT_TRUE(SetPoseMorph(blob, slots_, 3, morph));
  std::vector<FMATRIX> matrices;
  IdTable ids;
  DeformInputs in = Inputs(matrices, ids, 3);
  EXPECT_VEC3_NEAR(Vertex(Deformed(in, blob), v), FVECTOR3(0, 2, 0), 1e-5f);
}

TEST_F(DeformationTest, WithoutMatricesTheCopyKeepsItsBuiltPositions) {
  MQObject bone = AddObject("bone");
  MQObject skin = AddObject("skin");
  const int a = AddVertex(skin, 0, 0, 0), b = AddVertex(skin, 1, 0, 0), c = AddVertex(skin, 0, 1, 0);
  ASSERT_GE(Host(skin)->AddFace({a, b, c}), 0);
  for (int v : {a, b, c}) ASSERT_TRUE(SetVertexWeights(skin, slots_, v, Weights({{Uid(bone), 1.0f}})));
  IdTable ids;
  BuildIdTable(doc_, ids);
  DeformInputs in;
  in.document = doc_;
  in.slots = &slots_;
  in.ids = &ids;
  MQObject copy = Deformed(in, skin);
  // (b - c) × (a - b) of (0,0,0), (1,0,0), (0,1,0) points along -Z.
  for (int v : {a, b, c}) {
    EXPECT_VEC3_NEAR(Vertex(copy, v), Vertex(skin, v) + FVECTOR3(0, 0, -0.1f), 1e-6f) << v;
  }
}

// ---------------------------------------------------------------- the kernel

TEST_F(DeformationTest, TheSimdKernelMatchesThePlainLoop) {
  // Palettes whose indices compact to 8 bits, to 16 bits, and not at all.
  struct Case {
    int bones;
    bool bytes;
    bool shorts;
  };
  for (const Case& c : {Case{64, true, false}, Case{300, false, true}, Case{70000, false, false}}) {
    SCOPED_TRACE(c.bones);
    std::mt19937 random(7);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    const int bones = c.bones, vertices = 1001;  // an odd count leaves a remainder
    std::vector<FMATRIX> palette(static_cast<size_t>(bones) + 1, FMATRIX::kIdentity);
    for (int i = 0; i < bones; ++i) {
      FMATRIX& m = palette[static_cast<size_t>(i)];
      for (float& x : m.m) x = unit(random);
      m(0, 3) = m(1, 3) = m(2, 3) = 0.0f;
      m(3, 3) = 1.0f;
    }
    SkinCache cache;
    cache.vertex_count = vertices;
    cache.identity_index = bones;
    cache.written.assign(vertices, 1);
    cache.written[5] = 0;
    cache.index.resize(static_cast<size_t>(vertices) * 4);
    cache.weight.resize(static_cast<size_t>(vertices) * 4);
    std::vector<FVECTOR3> positions(vertices);
    for (int v = 0; v < vertices; ++v) {
      positions[static_cast<size_t>(v)] =
          FVECTOR3(100 * unit(random), 100 * unit(random), 100 * unit(random));
      for (int j = 0; j < 4; ++j) {
        // The last index of the palette (the identity) appears too.
        cache.index[static_cast<size_t>(v) * 4 + j] =
            v == 7 ? bones : static_cast<int32_t>(random() % (static_cast<uint32_t>(bones) + 1));
        cache.weight[static_cast<size_t>(v) * 4 + j] = j == 3 ? 0.0f : 0.5f + 0.5f * unit(random);
      }
    }
    std::vector<FVECTOR3> plain(vertices, FVECTOR3(-7, -7, -7));
    SkinPositionsScalar(cache, palette, positions, plain);
    std::vector<FVECTOR3> wide(vertices, FVECTOR3(-7, -7, -7));
    SkinPositions(cache, palette, positions, wide);
    cache.Compact();
    EXPECT_EQ(!cache.index8.empty(), c.bytes);
    EXPECT_EQ(!cache.index16.empty(), c.shorts);
    EXPECT_EQ(cache.IndexAt(7, 2), bones);
    std::vector<FVECTOR3> fast(vertices, FVECTOR3(-7, -7, -7));
    SkinPositions(cache, palette, positions, fast);
    for (int v = 0; v < vertices; ++v) {
      ASSERT_EQ(wide[static_cast<size_t>(v)], fast[static_cast<size_t>(v)]) << "compacted, vertex " << v;
      const FVECTOR3& f = fast[static_cast<size_t>(v)];
      const FVECTOR3& s = plain[static_cast<size_t>(v)];
      const float scale = 1e-4f * (1.0f + s.Length());
      ASSERT_NEAR(f.x, s.x, scale) << v;
      ASSERT_NEAR(f.y, s.y, scale) << v;
      ASSERT_NEAR(f.z, s.z, scale) << v;
    }
    EXPECT_EQ(fast[5], FVECTOR3(-7, -7, -7)) << "an unwritten vertex is left alone";
  }
}

// ---------------------------------------------------------------- weight colours

TEST_F(DeformationTest, ColouringShowsWeightColoursOnlyForVisibleWeightedSources) {
  MQObject bone = AddObject("bone");
  MQObject skin = AddObject("skin");
  const int a = AddVertex(skin, 0, 0, 0), b = AddVertex(skin, 1, 0, 0), c = AddVertex(skin, 0, 1, 0);
  ASSERT_GE(Host(skin)->AddFace({a, b, c}), 0);
  VWeight rec = Weights({{Uid(bone), 1.0f}});
  rec.colour[0] = 10;
  rec.colour[1] = 20;
  rec.colour[2] = 30;
  for (int v : {a, b, c}) ASSERT_TRUE(SetVertexWeights(skin, slots_, v, rec));

  MQObject copy = NewTarget();
  BuildCopy(copy, skin, 7);
  ASSERT_TRUE(ColourCopy(slots_, copy, skin, 5));
  EXPECT_EQ(Host(copy)->visible, kCopyWeightColoured);
  EXPECT_EQ(Host(copy)->faces[0].material, 5);
  EXPECT_EQ(Host(copy)->faces[0].colors,
            std::vector<uint32_t>(3, 10u | 20u << 8 | 30u << 16 | 0xFF000000u));

  Host(skin)->visible = 0;
  EXPECT_FALSE(ColourCopy(slots_, copy, skin, 5));
  EXPECT_EQ(Host(copy)->visible, kCopyHidden);
  Host(skin)->visible = 7;
  FreeWeights(skin, slots_);
  EXPECT_FALSE(ColourCopy(slots_, copy, skin, 5)) << "no weights";
  EXPECT_EQ(Host(copy)->visible, kCopyHidden);
  EXPECT_FALSE(ColourCopy(slots_, copy, AddObject("empty"), 5)) << "no vertices";
}

// ---------------------------------------------------------------- the exported model

TEST_F(DeformationTest, TheRenderingModelHoldsTheVisibleObjectsDeformed) {
  std::vector<std::string> log;
  LogSetSink([](const char* line, void* user) { static_cast<std::vector<std::string>*>(user)->push_back(line); },
             &log);
  AddObject("bone");
  MQObject hidden = AddObject("hidden");
  MQObject skin = AddObject("skin");
  for (MQObject obj : {hidden, skin}) {
    const int a = AddVertex(obj, 0, 0, 0), b = AddVertex(obj, 1, 0, 0), c = AddVertex(obj, 0, 1, 0);
    ASSERT_GE(Host(obj)->AddFace({a, b, c}), 0);
  }
  EnsureRigRecords(doc_, slots_);
  SaveVisibility(doc_, slots_);
  ASSERT_TRUE(SetSavedVisibility(hidden, slots_, 0));
  FMATRIX moved = FMATRIX::Translation({0, 0, 50});
  ASSERT_TRUE(SetWorldMatrix(skin, slots_, moved));

  RigEditState state;
  FLZMODEL model;
  ASSERT_TRUE(FreezeRenderingModel(model, doc_, slots_, state));
  LogResetSink();
  EXPECT_TRUE(model.built());
  ASSERT_EQ(model.ObjectCount(), 2) << "bone and skin; the hidden object is left out";
  EXPECT_EQ(Host(model.ObjectAt(0))->vertices.size(), 0u);
  mqhost::Object* copy = Host(model.ObjectAt(1));
  ASSERT_EQ(copy->vertices.size(), 3u);
  EXPECT_FLOAT_EQ(copy->vertices[1].position.z, 50.0f) << "the skin follows its own matrix";
  EXPECT_EQ(log.at(0), "pose_id(-1)");
  const std::string shown = "MakeObj[2]:show(" + std::to_string(mqhost::kVisibleDefault) + ")";
  EXPECT_NE(std::find(log.begin(), log.end(), shown), log.end());
  EXPECT_EQ(std::find(log.begin(), log.end(), "MakeObj[1]:show(0)"), log.end());
  EXPECT_FALSE(FreezeRenderingModel(model, nullptr, slots_, state));
}

}  // namespace
