// The document side of glTF export and import: the scene gathered from the
// open document and its rig, a scene added to a document, and the main
// object's file commands on the sample rigged arm (examples/arm_rig.mqd:
// meshes "arm" and "hand", bones shoulder - elbow - wrist, one morph target
// and the poses "bend" and "wave").
#include "main/gltf_exchange.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "host/files/document_file.h"
#include "rig/hierarchy.h"
#include "rig/morph_targets.h"
#include "rig/pose_list.h"
#include "rig/records.h"
#include "rig/rig_access.h"
#include "rig/weight_record.h"
#include "tests/main/main_fixture.h"

namespace {

using quorvel::gltf::BoneWeight;
using quorvel::gltf::Scene;
using quorvel_test::MainTest;

constexpr float kPi = 3.14159265358979f;

// Numbers that went through the document come back within 1e-6 of their
// size; lengths that went through a file in metres within 1e-6 of the
// model's size.
bool Near(float a, float b, float size = 1.0f) {
  return std::fabs(a - b) <= 1e-6f * std::max({size, std::fabs(a), 1.0f});
}

void ExpectNear(const FVECTOR3& a, const FVECTOR3& b, const std::string& what, float size = 1.0f) {
  EXPECT_TRUE(Near(a.x, b.x, size) && Near(a.y, b.y, size) && Near(a.z, b.z, size))
      << what << ": (" << a.x << ", " << a.y << ", " << a.z << ") and (" << b.x << ", " << b.y << ", " << b.z
      << ")";
}

void ExpectNear(const FQUAT& a, const FQUAT& b, const std::string& what) {
  EXPECT_TRUE(Near(a.x, b.x) && Near(a.y, b.y) && Near(a.z, b.z) && Near(a.w, b.w))
      << what << ": quat(" << a.x << ", " << a.y << ", " << a.z << ", " << a.w << ") and quat(" << b.x << ", "
      << b.y << ", " << b.z << ", " << b.w << ")";
}

// What poses alike: names, hierarchy and pivots, the targets' names and
// slots, and every pose with every object's state. `size`: the model's.
void ExpectSameRig(const Scene& a, const Scene& b, float size = 1.0f) {
  ASSERT_EQ(a.objects.size(), b.objects.size());
  for (size_t i = 0; i < a.objects.size(); ++i) {
    const quorvel::gltf::Object& x = a.objects[i];
    const quorvel::gltf::Object& y = b.objects[i];
    const std::string at = "object " + std::to_string(i) + " " + x.name;
    EXPECT_EQ(x.name, y.name) << at;
    EXPECT_EQ(x.parent, y.parent) << at;
    EXPECT_EQ(x.visible, y.visible) << at;
    ExpectNear(x.pivot, y.pivot, at + " pivot", size);
    ASSERT_EQ(x.morphs.size(), y.morphs.size()) << at;
    for (size_t t = 0; t < x.morphs.size(); ++t) {
      EXPECT_EQ(x.morphs[t].name, y.morphs[t].name) << at;
      EXPECT_EQ(x.morphs[t].slot, y.morphs[t].slot) << at;
    }
  }
  ASSERT_EQ(a.poses.size(), b.poses.size());
  for (size_t p = 0; p < a.poses.size(); ++p) {
    EXPECT_EQ(a.poses[p].name, b.poses[p].name);
    ASSERT_EQ(a.poses[p].objects.size(), b.poses[p].objects.size());
    for (size_t i = 0; i < a.poses[p].objects.size(); ++i) {
      const quorvel::gltf::PoseState& x = a.poses[p].objects[i];
      const quorvel::gltf::PoseState& y = b.poses[p].objects[i];
      const std::string at = "pose " + a.poses[p].name + " object " + std::to_string(i);
      ExpectNear(x.translation, y.translation, at, size);
      ExpectNear(x.scale, y.scale, at);
      ExpectNear(x.rotation, y.rotation, at);
      for (int k = 0; k < quorvel::kMaxMorphTargets; ++k) {
        EXPECT_TRUE(Near(x.morph_weights[k], y.morph_weights[k])) << at << " weight " << k;
      }
    }
  }
}

// Every part of two scenes, names equal and numbers within 1e-6.
void ExpectSameScene(const Scene& a, const Scene& b) {
  ExpectSameRig(a, b);
  ASSERT_EQ(a.objects.size(), b.objects.size());
  for (size_t i = 0; i < a.objects.size(); ++i) {
    const quorvel::gltf::Object& x = a.objects[i];
    const quorvel::gltf::Object& y = b.objects[i];
    const std::string at = "object " + std::to_string(i) + " " + x.name;
    EXPECT_EQ(x.smooth_angle, y.smooth_angle) << at;
    ASSERT_EQ(x.vertices.size(), y.vertices.size()) << at;
    for (size_t v = 0; v < x.vertices.size(); ++v) {
      ExpectNear(x.vertices[v], y.vertices[v], at + " vertex " + std::to_string(v));
    }
    EXPECT_EQ(x.face_start, y.face_start) << at;
    EXPECT_EQ(x.corner_points, y.corner_points) << at;
    EXPECT_EQ(x.corner_colors, y.corner_colors) << at;
    EXPECT_EQ(x.face_materials, y.face_materials) << at;
    ASSERT_EQ(x.corner_uv.size(), y.corner_uv.size()) << at;
    for (size_t c = 0; c < x.corner_uv.size(); ++c) {
      EXPECT_TRUE(Near(x.corner_uv[c].x, y.corner_uv[c].x) && Near(x.corner_uv[c].y, y.corner_uv[c].y))
          << at << " corner " << c;
    }
    ASSERT_EQ(x.WeightListCount(), y.WeightListCount()) << at;
    for (size_t v = 0; v < x.WeightListCount(); ++v) {
      const auto xw = x.WeightsOf(v);
      const auto yw = y.WeightsOf(v);
      ASSERT_EQ(xw.size(), yw.size()) << at << " vertex " << v;
      for (size_t j = 0; j < xw.size(); ++j) {
        EXPECT_EQ(xw[j].bone, yw[j].bone) << at << " vertex " << v;
        EXPECT_TRUE(Near(xw[j].weight, yw[j].weight)) << at << " vertex " << v;
      }
    }
    for (size_t t = 0; t < x.morphs.size(); ++t) {
      ASSERT_EQ(x.morphs[t].positions.size(), y.morphs[t].positions.size()) << at;
      for (size_t v = 0; v < x.morphs[t].positions.size(); ++v) {
        ExpectNear(x.morphs[t].positions[v], y.morphs[t].positions[v],
                   at + " target " + x.morphs[t].name + " vertex " + std::to_string(v));
      }
    }
  }
  ASSERT_EQ(a.materials.size(), b.materials.size());
  for (size_t m = 0; m < a.materials.size(); ++m) {
    const quorvel::gltf::Material& x = a.materials[m];
    const quorvel::gltf::Material& y = b.materials[m];
    EXPECT_EQ(x.name, y.name);
    EXPECT_EQ(x.texture, y.texture) << x.name;
    EXPECT_EQ(x.vertex_colors, y.vertex_colors) << x.name;
    for (int c = 0; c < 3; ++c) EXPECT_TRUE(Near(x.color[c], y.color[c])) << x.name;
    EXPECT_TRUE(Near(x.diffuse, y.diffuse) && Near(x.alpha, y.alpha)) << x.name;
  }
}

// Which scene object carries a name; -1 for none.
int Find(const Scene& scene, const std::string& name) {
  for (size_t i = 0; i < scene.objects.size(); ++i) {
    if (scene.objects[i].name == name) return static_cast<int>(i);
  }
  return -1;
}

class GltfExchangeTest : public MainTest {
 protected:
  void TearDown() override {
    if (other_ != nullptr) host_.CloseDocument(other_);
    for (const std::string& file : files_) std::remove(file.c_str());
    MainTest::TearDown();
  }

  // The sample in place of the empty document, opened with the command taken.
  void OpenSample() {
    LoadDocument(QUORVEL_EXAMPLES_DIR "/arm_rig.mqd");
    OpenActive();
  }

  const quorvel::RigSlotTable& Slots() const { return main_->GetSlots(); }
  quorvel::RigEditState& State() const { return *main_->GetEditState(); }
  MQObject Named(const char* name) const {
    for (int i = 0; i < document_->ObjectCount(); ++i) {
      mqhost::Object* o = document_->ObjectAt(i);
      if (o != nullptr && o->name == name) return mqhost::ToHandle(o);
    }
    return nullptr;
  }

  Scene Gather(bool pose_display = false) {
    Scene scene;
    std::string error;
    EXPECT_TRUE(quorvel::GatherGltfScene(doc_, Slots(), State(), &scene, &error, pose_display)) << error;
    return scene;
  }

  // The document as the modeller saves it, with the plug-in's element.
  std::string SavedText() {
    EXPECT_EQ(mqhost::SendSaveDocument(host_, document_, "arm_rig.mqd", plugin_).answer, TRUE);
    return mqhost::WriteDocumentXml(*document_, host_.PluginElements(document_));
  }

  // A second, empty document with the rig's slots and an edit state of its
  // own, outside the plug-in's model.
  MQDocument OtherDocument() {
    other_ = host_.NewDocument();
    EXPECT_TRUE(quorvel::RegisterRigSlots(mqhost::ToHandle(other_), other_slots_));
    return mqhost::ToHandle(other_);
  }

  // A file name in the test's folder, removed afterwards.
  std::string TempFile(const std::string& name) {
    files_.push_back("gltf_exchange_test_" + name);
    return files_.back();
  }

  // Gives the arm texture coordinates, corner colours and a textured
  // material, so that every face attribute has a value to carry.
  void DecorateArm() {
    auto material = std::make_unique<mqhost::Material>();
    material->name = "skin";
    material->color = MQColor{0.9f, 0.7f, 0.6f};
    material->diffuse = 0.75f;
    material->alpha = 0.5f;
    material->vertex_color = 1;
    material->texture = "skin.png";
    document_->AddMaterial(std::move(material));
    mqhost::Object* arm = mqhost::ToObject(Named("arm"));
    for (size_t f = 0; f < arm->faces.size(); ++f) {
      mqhost::Face& face = arm->faces[f];
      face.material = f % 2 == 0 ? 0 : -1;
      for (size_t c = 0; c < face.points.size(); ++c) {
        face.uvs[c] = MQCoordinate{0.125f * static_cast<float>(c), 0.01f * static_cast<float>(f)};
        face.colors[c] = 0xFF000000u | static_cast<uint32_t>(f * 16 + c);
      }
    }
  }

  mqhost::Document* other_ = nullptr;
  quorvel::RigSlotTable other_slots_;
  std::vector<std::string> files_;
};

// ---------------------------------------------------------------- gather

TEST_F(GltfExchangeTest, TheSampleRigGathersItsObjectsPivotsWeightsMorphsAndPoses) {
  OpenSample();
  const Scene scene = Gather();

  ASSERT_EQ(scene.objects.size(), 5u);
  const char* names[] = {"arm", "hand", "shoulder", "elbow", "wrist"};
  const int parents[] = {-1, -1, -1, 2, 3};
  const FVECTOR3 pivots[] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {60, 0, 0}, {120, 0, 0}};
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(names[i]);
    EXPECT_EQ(scene.objects[i].name, names[i]);
    EXPECT_EQ(scene.objects[i].parent, parents[i]);
    EXPECT_TRUE(scene.objects[i].visible);
    ExpectNear(scene.objects[i].pivot, pivots[i], "pivot");
  }

  // The arm's rings follow the chain by their x; the hand follows the wrist.
  const quorvel::gltf::Object& arm = scene.objects[0];
  ASSERT_EQ(arm.vertices.size(), 16u);
  ASSERT_EQ(arm.WeightListCount(), 16u);
  EXPECT_TRUE(arm.HasFaces());
  for (size_t v = 0; v < arm.vertices.size(); ++v) {
    SCOPED_TRACE(v);
    const float x = arm.vertices[v].x;
    std::vector<std::pair<int, float>> expected;
    if (x < 20)
      expected = {{2, 1.0f}};
    else if (x < 60)
      expected = {{3, 0.29f}, {2, 0.71f}};
    else if (x < 100)
      expected = {{3, 0.5f}, {4, 0.5f}};
    else
      expected = {{4, 1.0f}};
    ASSERT_EQ(arm.WeightsOf(v).size(), expected.size());
    for (size_t j = 0; j < expected.size(); ++j) {
      EXPECT_EQ(arm.WeightsOf(v)[j].bone, expected[j].first);
      EXPECT_NEAR(arm.WeightsOf(v)[j].weight, expected[j].second, 1e-6f);
    }
  }
  const quorvel::gltf::Object& hand = scene.objects[1];
  ASSERT_EQ(hand.WeightListCount(), hand.vertices.size());
  for (size_t v = 0; v < hand.WeightListCount(); ++v) {
    const auto list = hand.WeightsOf(v);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].bone, 4);
  }
  EXPECT_FALSE(scene.objects[3].HasWeights()) << "a bone without weights rides rigidly";

  // The bulge swells the middle rings by a quarter; the base stays.
  ASSERT_EQ(arm.morphs.size(), 1u);
  EXPECT_EQ(arm.morphs[0].name, "bulge");
  EXPECT_EQ(arm.morphs[0].slot, 0);
  for (size_t v = 0; v < arm.vertices.size(); ++v) {
    const FVECTOR3& b = arm.vertices[v];
    const bool swells = b.x > 20 && b.x < 100;
    ExpectNear(arm.morphs[0].positions[v], swells ? FVECTOR3(b.x, b.y * 1.25f, b.z * 1.25f) : b,
               "bulge vertex " + std::to_string(v));
    EXPECT_TRUE(std::fabs(b.y) == 8.0f) << "the base shape, not the target's";
  }

  // Both poses with every object's state; an object without a record rests.
  ASSERT_EQ(scene.poses.size(), 2u);
  EXPECT_EQ(scene.poses[0].name, "bend");
  EXPECT_EQ(scene.poses[1].name, "wave");
  const FQUAT bend = FQUAT::FromAxisAngle(FVECTOR3(0, 0, 1), 45.0f * kPi / 180.0f);
  const quorvel::gltf::PoseState& elbow = scene.poses[0].objects[3];
  EXPECT_NEAR(elbow.rotation.z, bend.z, 1e-6f);
  EXPECT_NEAR(elbow.rotation.w, bend.w, 1e-6f);
  const quorvel::gltf::PoseState& shoulder = scene.poses[0].objects[2];
  EXPECT_EQ(shoulder.rotation.w, 1.0f);
  ExpectNear(shoulder.scale, FVECTOR3(1, 1, 1), "rest scale");
  EXPECT_EQ(scene.poses[1].objects[0].morph_weights[0], 1.0f) << "the wave mixes in the bulge";
  EXPECT_EQ(scene.poses[0].objects[0].morph_weights[0], 0.0f);
  const FQUAT wave_wrist = FQUAT::FromAxisAngle(FVECTOR3(0, 0, 1), -30.0f * kPi / 180.0f);
  EXPECT_NEAR(scene.poses[1].objects[4].rotation.z, wave_wrist.z, 1e-6f);
}

TEST_F(GltfExchangeTest, AShownMorphTargetGathersAsTheStoredShapesDo) {
  OpenSample();
  const Scene before = Gather();
  // The arm shows the bulge; its newest shape is in the vertices, the base
  // shape only in its slot.
  MQObject arm = Named("arm");
  ASSERT_TRUE(quorvel::SetCurrentMorphTarget(arm, Slots(), 0));
  ASSERT_EQ(mqhost::ToObject(arm)->vertices[2].position.y, 10.0f);
  ExpectSameScene(Gather(), before);

  // An edit of the shown target is part of it, not of the base.
  mqhost::ToObject(arm)->vertices[2].position.x += 3.0f;
  const Scene edited = Gather();
  EXPECT_EQ(edited.objects[0].vertices[2].x, before.objects[0].vertices[2].x);
  EXPECT_EQ(edited.objects[0].morphs[0].positions[2].x, before.objects[0].vertices[2].x + 3.0f);
}

// Hidden objects stay out unless weights or shown objects below them need
// them; then they come without their geometry. In pose mode every object is
// hidden behind its rendering copy, and the visibility saved in its bone
// record counts.
TEST_F(GltfExchangeTest, HiddenObjectsComeOnlyWhereOthersNeedThem) {
  struct Case {
    const char* hidden;
    std::vector<std::string> gathered;  // in order; the hidden one without faces if present
  };
  const Case cases[] = {
      {"hand", {"arm", "shoulder", "elbow", "wrist"}},
      {"arm", {"hand", "shoulder", "elbow", "wrist"}},
      {"shoulder", {"arm", "hand", "shoulder", "elbow", "wrist"}},
      {"elbow", {"arm", "hand", "shoulder", "elbow", "wrist"}},
  };
  OpenSample();
  for (bool pose_mode : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.hidden) + (pose_mode ? " in pose mode" : ""));
      MQObject hidden = Named(c.hidden);
      HostApi().MQObj_SetVisible(hidden, 0);
      if (pose_mode) main_->Service()->SetMode(MODE_POSE);
      ASSERT_EQ(main_->IsPoseMode(), pose_mode);
      const Scene scene = Gather(pose_mode);
      std::vector<std::string> names;
      for (const auto& o : scene.objects) names.push_back(o.name);
      EXPECT_EQ(names, c.gathered);
      const int at = Find(scene, c.hidden);
      if (at >= 0) {
        EXPECT_FALSE(scene.objects[at].visible);
        EXPECT_TRUE(!scene.objects[at].HasFaces() && scene.objects[at].vertices.empty());
        EXPECT_EQ(scene.poses.at(1).objects.size(), scene.objects.size());
      }
      for (const auto& o : scene.objects) {
        for (const BoneWeight& w : o.weight_entries)
          EXPECT_LT(w.bone, static_cast<int>(scene.objects.size()));
      }
      if (pose_mode) main_->Service()->SetMode(MODE_MOVE);
      HostApi().MQObj_SetVisible(hidden, mqhost::kVisibleDefault);
    }
  }
}

// ---------------------------------------------------------------- apply

TEST_F(GltfExchangeTest, AGatheredSceneAppliedToAnEmptyDocumentGathersTheSame) {
  OpenSample();
  DecorateArm();
  quorvel::RenamePose(quorvel::PoseAt(State(), 1),
                      "\xE6\x89\x8B\xE3\x82\x92\xE6\x8C\xAF\xE3\x82\x8B");  // 手を振る
  const Scene gathered = Gather();
  ASSERT_EQ(gathered.materials.size(), 1u);
  EXPECT_EQ(gathered.materials[0].texture, "skin.png");

  MQDocument other = OtherDocument();
  quorvel::RigEditState state;
  std::string error;
  std::vector<std::string> notes;
  ASSERT_TRUE(quorvel::ApplyGltfScene(gathered, other, other_slots_, state, &error, &notes)) << error;
  EXPECT_TRUE(notes.empty());
  EXPECT_EQ(state.current_pose_id, state.poses.at(0)->id) << "without a current pose, the first";

  Scene again;
  ASSERT_TRUE(quorvel::GatherGltfScene(other, other_slots_, state, &again, &error)) << error;
  ExpectSameScene(again, gathered);
  // The host's own hierarchy and depths, as the make command leaves them.
  const int depths[] = {0, 0, 0, 1, 2};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(other_->ObjectAt(i)->depth, depths[i]) << i;
  EXPECT_EQ(other_->ObjectAt(4)->transform.translation, FVECTOR3(60, 0, 0));
}

TEST_F(GltfExchangeTest, ApplyPlacesSubtreesWholeAndKeepsWhatTheListHas) {
  OpenSample();
  // root, two children, and a grandchild listed after the second child.
  Scene scene;
  const char* names[] = {"root", "a", "b", "a1"};
  const int parents[] = {-1, 0, 0, 1};
  const FVECTOR3 pivots[] = {{1, 2, 3}, {11, 2, 3}, {1, 12, 3}, {21, 2, 3}};
  for (int i = 0; i < 4; ++i) {
    quorvel::gltf::Object o;
    o.name = names[i];
    o.parent = parents[i];
    o.pivot = pivots[i];
    scene.objects.push_back(o);
  }
  // "a1" is a mesh weighted to "a" and "root", with targets whose slots clash.
  quorvel::gltf::Object& mesh = scene.objects[3];
  mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  mesh.AddFace(std::vector<int>{0, 1, 2});
  for (const std::vector<BoneWeight>& list : {std::vector<BoneWeight>{{1, 0.25f}, {0, 0.75f}},
                                              std::vector<BoneWeight>{{1, 1.0f}}, std::vector<BoneWeight>{}})
    mesh.AddVertexWeights(list);
  const std::pair<const char*, int> targets[] = {{"first", 3}, {"second", 3}, {"third", -1}};
  for (const auto& [name, slot] : targets) {
    quorvel::gltf::MorphTarget target;
    target.name = name;
    target.slot = slot;
    target.positions = {{0, 0, 1}, {1, 0, 1}, {0, 1, static_cast<float>(slot)}};
    mesh.morphs.push_back(target);
  }
  quorvel::gltf::Pose pose;
  pose.name = "bend";  // taken by the sample
  pose.objects.resize(4);
  pose.objects[1].rotation = FQUAT(0, 0, 0.6f, 0.8f);
  pose.objects[3].morph_weights[3] = 0.5f;
  scene.poses = {pose, pose};
  scene.poses[1].name = "bend";

  const int listed = document_->ObjectCount();
  const int32_t current = State().current_pose_id;
  std::string error;
  std::vector<std::string> notes;
  ASSERT_TRUE(quorvel::ApplyGltfScene(scene, doc_, Slots(), State(), &error, &notes)) << error;

  // Appended depth first: root, a, a1, b.
  ASSERT_EQ(document_->ObjectCount(), listed + 4);
  const char* order[] = {"root", "a", "a1", "b"};
  const int depths[] = {0, 1, 2, 1};
  for (int i = 0; i < 4; ++i) {
    mqhost::Object* o = document_->ObjectAt(listed + i);
    EXPECT_EQ(o->name, order[i]);
    EXPECT_EQ(o->depth, depths[i]);
  }
  MQObject root = Named("root"), a = Named("a"), b = Named("b"), a1 = Named("a1");
  EXPECT_EQ(HostApi().MQDoc_GetParentObject(doc_, a1), a);
  EXPECT_EQ(HostApi().MQDoc_GetParentObject(doc_, b), root);
  ExpectNear(quorvel::ObjectPivot(doc_, a1), FVECTOR3(21, 2, 3), "a1");
  ExpectNear(quorvel::ObjectPivot(doc_, b), FVECTOR3(1, 12, 3), "b");

  // Weights name the new bones by their unique ids.
  quorvel::VWeight rec;
  ASSERT_TRUE(quorvel::GetVertexWeights(a1, Slots(), 0, rec));
  ASSERT_EQ(quorvel::Count(rec), 2);
  EXPECT_EQ(rec.entries[0].bone, static_cast<int32_t>(mqhost::ToObject(a)->uid));
  EXPECT_EQ(rec.entries[1].bone, static_cast<int32_t>(mqhost::ToObject(root)->uid));
  EXPECT_EQ(rec.entries[1].weight, 0.75f);
  ASSERT_TRUE(quorvel::GetVertexWeights(a1, Slots(), 2, rec));
  EXPECT_EQ(quorvel::Count(rec), 0);

  // The clashing targets take the lowest free slots; the pose's weight
  // follows its target.
  std::map<std::string, int> slot_of;
  for (int k = 0; k < quorvel::kMaxMorphTargets; ++k) {
    quorvel::OMorphTarget target;
    if (quorvel::GetMorphTargetRecord(a1, Slots(), k, target))
      slot_of[std::string(quorvel::NameOf(target.name))] = k;
  }
  EXPECT_EQ(slot_of, (std::map<std::string, int>{{"first", 3}, {"second", 0}, {"third", 1}}));

  // Two poses appended with names of their own; the current pose stays.
  ASSERT_EQ(quorvel::PoseCount(State()), 4);
  EXPECT_EQ(State().current_pose_id, current);
  EXPECT_STREQ(quorvel::PoseAt(State(), 2)->name, "bend_2");
  EXPECT_STREQ(quorvel::PoseAt(State(), 3)->name, "bend_3");
  EXPECT_EQ(notes.size(), 2u);
  const int32_t id = quorvel::PoseAt(State(), 2)->id;
  quorvel::OPoseTSQ tsq;
  ASSERT_TRUE(quorvel::GetPoseTSQ(a, Slots(), id, tsq));
  EXPECT_EQ(tsq.rot, FQUAT(0, 0, 0.6f, 0.8f));
  EXPECT_EQ(quorvel::GetPoseMorphWeight(a1, Slots(), id, 3), 0.5f);
  EXPECT_FALSE(quorvel::GetPoseTSQ(Named("elbow"), Slots(), id, tsq)) << "the sample's bones rest in it";
}

TEST_F(GltfExchangeTest, AVertexWithMoreBonesThanARecordHoldsKeepsItsHeaviestFour) {
  OpenSample();
  Scene scene;
  for (int i = 0; i < 7; ++i) {
    quorvel::gltf::Object bone;
    bone.name = "bone" + std::to_string(i);
    scene.objects.push_back(bone);
  }
  quorvel::gltf::Object mesh;
  mesh.name = "mesh";
  mesh.vertices = {{0, 0, 0}};
  mesh.AddVertexWeights(
      std::vector<BoneWeight>{{0, 0.05f}, {1, 0.3f}, {2, 0.1f}, {3, 0.2f}, {4, 0.25f}, {5, 0.1f}});
  scene.objects.push_back(mesh);
  std::string error;
  std::vector<std::string> notes;
  ASSERT_TRUE(quorvel::ApplyGltfScene(scene, doc_, Slots(), State(), &error, &notes)) << error;
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_NE(notes[0].find("more than 4 bones: 1"), std::string::npos) << notes[0];

  quorvel::VWeight rec;
  ASSERT_TRUE(quorvel::GetVertexWeights(Named("mesh"), Slots(), 0, rec));
  ASSERT_EQ(quorvel::Count(rec), 4);
  const char* kept[] = {"bone1", "bone2", "bone3", "bone4"};  // 0.3, 0.1 (the first), 0.2, 0.25
  for (int j = 0; j < 4; ++j) {
    EXPECT_EQ(rec.entries[j].bone, static_cast<int32_t>(mqhost::ToObject(Named(kept[j]))->uid)) << j;
  }
}

// Every check is made before the first change: a scene that cannot go in
// leaves the saved document as it was.
TEST_F(GltfExchangeTest, ASceneThatCannotGoInLeavesTheDocumentAsItWas) {
  OpenSample();
  const Scene sample = Gather();
  struct Case {
    const char* label;
    void (*spoil)(Scene&);
    const char* message_part;
  };
  const Case cases[] = {
      {"21 poses in all", [](Scene& s) { s.poses.resize(19, s.poses[0]); }, "room for 18 more"},
      {"21 morph targets on an object",
       [](Scene& s) { s.objects[0].morphs.resize(21, s.objects[0].morphs[0]); }, "at most 20"},
      {"a face past the vertices", [](Scene& s) { s.objects[1].PointsOf(0)[1] = 8; }, "vertex 8 of 8"},
      {"a weight naming no object", [](Scene& s) { s.objects[0].WeightsOf(3)[0].bone = 5; }, "bone 5"},
      {"a parent after its child", [](Scene& s) { s.objects[3].parent = 4; }, "parent 4"},
      {"a pose missing an object", [](Scene& s) { s.poses[1].objects.pop_back(); }, "pose 1"},
      {"a pivot that is not a number", [](Scene& s) { s.objects[4].pivot.y = NAN; }, "pivot"},
      {"a target of the wrong size", [](Scene& s) { s.objects[0].morphs[0].positions.pop_back(); },
       "15 positions"},
      {"a material that is not there", [](Scene& s) { s.objects[0].face_materials[2] = 0; }, "material 0"},
  };
  const std::string before = SavedText();
  const int undo_states = host_.undo_state_count();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Scene spoilt = sample;
    c.spoil(spoilt);
    std::string error;
    EXPECT_FALSE(quorvel::ApplyGltfScene(spoilt, doc_, Slots(), State(), &error));
    EXPECT_NE(error.find(c.message_part), std::string::npos) << error;
    EXPECT_EQ(SavedText(), before);
  }
  EXPECT_EQ(host_.undo_state_count(), undo_states);

  // Twenty in all fit.
  Scene full = sample;
  full.poses.resize(18, full.poses[0]);
  std::string error;
  ASSERT_TRUE(quorvel::ApplyGltfScene(full, doc_, Slots(), State(), &error)) << error;
  EXPECT_EQ(quorvel::PoseCount(State()), quorvel::kMaxPoses);
}

// ---------------------------------------------------------------- the main
// object's commands

TEST_F(GltfExchangeTest, WithoutADocumentBothCommandsRefuse) {
  ASSERT_EQ(mqhost::SendInitialize(host_, plugin_), TRUE);
  const std::string path = TempFile("nothing.glb");
  for (bool after_end : {false, true}) {
    SCOPED_TRACE(after_end ? "ended" : "never opened");
    if (after_end) {
      ASSERT_EQ(mqhost::SendNewDocument(host_, document_, "test.mqd", plugin_), TRUE);
      ASSERT_EQ(mqhost::SendEndDocument(host_, document_, plugin_), TRUE);
    }
    std::string error;
    quorvel::gltf::ExportReport written;
    EXPECT_FALSE(main_->ExportGltf(path, 0.0f, &written, &error));
    EXPECT_EQ(error, "no document is open");
    EXPECT_EQ(written.objects, 0);
    error.clear();
    quorvel::gltf::ImportReport read;
    EXPECT_FALSE(main_->Service()->ImportGltf(path, 0.0f, &read, &error));
    EXPECT_EQ(error, "no document is open");
    EXPECT_EQ(std::fopen(path.c_str(), "rb"), nullptr) << "nothing was written";
  }
}

// Export, then import into the same document: twice the objects, the
// poses appended, all in one undo step that takes everything back.
TEST_F(GltfExchangeTest, AnImportIsOneUndoStep) {
  OpenSample();
  // Undo makes the last listed pose current (the edit state's snapshots keep
  // no current pose), so the document starts with it.
  ASSERT_TRUE(main_->SelectPose(1));
  host_.RecordUndo(document_);  // the opened document, as the modeller keeps it
  const std::string before = SavedText();
  const Scene original = Gather();
  const std::string path = TempFile("sample.glb");
  std::string error;
  quorvel::gltf::ExportReport written;
  ASSERT_TRUE(main_->Service()->ExportGltf(path, -1.0f, &written, &error)) << error;
  EXPECT_EQ(written.objects, 5);
  EXPECT_EQ(written.animations, 3) << "two poses and the sequence";
  EXPECT_EQ(SavedText(), before) << "the export only reads";

  const int undo_states = host_.undo_state_count();
  const int redraws = host_.redraw_requests();
  quorvel::gltf::ImportReport read;
  ASSERT_TRUE(main_->ImportGltf(path, std::nanf(""), &read, &error)) << error;
  EXPECT_EQ(read.objects, 5);
  EXPECT_EQ(read.poses, 2);
  EXPECT_EQ(host_.undo_state_count(), undo_states + 1);
  EXPECT_GT(host_.redraw_requests(), redraws);
  EXPECT_EQ(document_->ObjectCount(), 10);
  EXPECT_EQ(quorvel::PoseCount(State()), 4);
  // The imported half poses as the original (the file may split vertices).
  const Scene both = Gather();
  Scene imported;
  imported.objects.assign(both.objects.begin() + 5, both.objects.end());
  for (auto& o : imported.objects) {
    if (o.parent >= 0) o.parent -= 5;
    for (BoneWeight& w : o.weight_entries) w.bone -= 5;
  }
  for (size_t p = 2; p < 4; ++p) {
    quorvel::gltf::Pose pose = both.poses[p];
    pose.objects.erase(pose.objects.begin(), pose.objects.begin() + 5);
    imported.poses.push_back(pose);
  }
  Scene expected = original;
  for (auto& pose : expected.poses) pose.name += "_2";
  ExpectSameRig(imported, expected,
                144.0f);  // the arm and hand reach from x = 0 to 144

  ASSERT_TRUE(host_.Undo(document_));
  EXPECT_EQ(SavedText(), before);
  EXPECT_EQ(quorvel::PoseCount(State()), 2);
}

}  // namespace
