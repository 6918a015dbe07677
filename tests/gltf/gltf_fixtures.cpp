// Writes the glTF files the Node checks read (tests/gltf/check_fixtures.py):
// rigs built in code, exported as .glb (and one as .gltf), each with the
// posed positions the plug-in gives it, worked out here by the plug-in's own
// rules, in the JSON form tests/gltf/three_pose.mjs writes.
//
//   gltf_fixtures OUT_DIR
//
// For every fixture NAME it writes OUT_DIR/NAME.glb and
// OUT_DIR/NAME.expected.json; the arm also as OUT_DIR/arm.gltf + arm.bin.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <tuple>
#include <vector>

#include "deform/pose_evaluation.h"
#include "io/gltf_export.h"
#include "io/gltf_scene.h"
#include "math/fmath.h"

namespace {

namespace g = quorvel::gltf;
using Json = nlohmann::json;

constexpr float kPi = 3.14159265358979f;

FQUAT Turn(const FVECTOR3& axis, float degrees) { return FQUAT::FromAxisAngle(axis, degrees * kPi / 180.0f); }

int AddObject(g::Scene& scene, const std::string& name, int parent, const FVECTOR3& pivot) {
  g::Object object;
  object.name = name;
  object.parent = parent;
  object.pivot = pivot;
  scene.objects.push_back(object);
  return static_cast<int>(scene.objects.size()) - 1;
}

// Newell's normal of the points in their order: it points into the surface
// for the modeller's clockwise faces.
FVECTOR3 Newell(const g::Object& object, const std::vector<int>& points) {
  FVECTOR3 n;
  for (size_t i = 0; i < points.size(); ++i) {
    const FVECTOR3& a = object.vertices[static_cast<size_t>(points[i])];
    const FVECTOR3& b = object.vertices[static_cast<size_t>(points[(i + 1) % points.size()])];
    n += FVECTOR3((a.y - b.y) * (a.z + b.z), (a.z - b.z) * (a.x + b.x), (a.x - b.x) * (a.y + b.y));
  }
  return n;
}

// A face in the modeller's order whose front faces `outward`.
void AddFace(g::Object& object, std::vector<int> points, std::vector<FVECTOR2> uv, const FVECTOR3& outward,
             int material, uint32_t color = 0xFFFFFFFFu) {
  if (Dot(Newell(object, points), outward) > 0.0f) {
    std::reverse(points.begin(), points.end());
    std::reverse(uv.begin(), uv.end());
  }
  object.AddFace(points, uv, std::vector<uint32_t>(points.size(), color), material);
}

// `copies` vertices more with the same weights.
void AddWeights(g::Object& object, int copies, const std::vector<g::BoneWeight>& list) {
  for (int i = 0; i < copies; ++i) object.AddVertexWeights(list);
}

// A square tube through `centres` (rings across the axis `axis`, spanned by
// `u` and `w`, half size `r`), closed at both ends. Ring k's vertices are
// 4k..4k+3; the side faces take material `side`, the caps `cap` (coloured
// per ring end). The texture coordinates wrap around once, so the first
// corner of each ring has a seam.
void AddTube(g::Object& object, const std::vector<FVECTOR3>& centres, const FVECTOR3& axis, const FVECTOR3& u,
             const FVECTOR3& w, float r, int side, int cap) {
  const int base = static_cast<int>(object.vertices.size());
  const FVECTOR3 corners[4] = {u + w, -u + w, -u - w, u - w};
  for (const FVECTOR3& c : centres) {
    for (const FVECTOR3& k : corners) object.vertices.push_back(c + k * r);
  }
  const int rings = static_cast<int>(centres.size());
  for (int k = 0; k + 1 < rings; ++k) {
    const float a = static_cast<float>(k) / static_cast<float>(rings - 1);
    const float b = static_cast<float>(k + 1) / static_cast<float>(rings - 1);
    for (int j = 0; j < 4; ++j) {
      const int j1 = (j + 1) % 4;
      const FVECTOR3 mid = (corners[j] + corners[j1]) * 0.5f;
      const float v0 = static_cast<float>(j) / 4.0f, v1 = static_cast<float>(j + 1) / 4.0f;
      AddFace(object, {base + 4 * k + j, base + 4 * k + j1, base + 4 * (k + 1) + j1, base + 4 * (k + 1) + j},
              {{a, v0}, {a, v1}, {b, v1}, {b, v0}}, mid, side);
    }
  }
  const std::vector<FVECTOR2> cap_uv = {{1, 1}, {0, 1}, {0, 0}, {1, 0}};
  AddFace(object, {base, base + 1, base + 2, base + 3}, cap_uv, -axis, cap, 0xFF2040C0u);
  const int last = base + 4 * (rings - 1);
  AddFace(object, {last, last + 1, last + 2, last + 3}, cap_uv, axis, cap, 0xFFC04020u);
}

// A box from `lo` to `hi`, one material, flat shaded.
void AddBox(g::Object& object, const FVECTOR3& lo, const FVECTOR3& hi, int material) {
  const int base = static_cast<int>(object.vertices.size());
  for (int i = 0; i < 8; ++i) {
    object.vertices.push_back({(i & 1) ? hi.x : lo.x, (i & 2) ? hi.y : lo.y, (i & 4) ? hi.z : lo.z});
  }
  const std::vector<FVECTOR2> uv = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  AddFace(object, {base + 0, base + 2, base + 3, base + 1}, uv, {0, 0, -1}, material);
  AddFace(object, {base + 4, base + 5, base + 7, base + 6}, uv, {0, 0, 1}, material);
  AddFace(object, {base + 0, base + 1, base + 5, base + 4}, uv, {0, -1, 0}, material);
  AddFace(object, {base + 2, base + 6, base + 7, base + 3}, uv, {0, 1, 0}, material);
  AddFace(object, {base + 0, base + 4, base + 6, base + 2}, uv, {-1, 0, 0}, material);
  AddFace(object, {base + 1, base + 3, base + 7, base + 5}, uv, {1, 0, 0}, material);
  object.shading = 0;
}

g::Material MakeMaterial(const std::string& name, float r, float gr, float b, bool vertex_colors = false) {
  g::Material m;
  m.name = name;
  m.color[0] = r;
  m.color[1] = gr;
  m.color[2] = b;
  m.vertex_colors = vertex_colors;
  return m;
}

g::Pose MakePose(const g::Scene& scene, const std::string& name) {
  g::Pose pose;
  pose.name = name;
  pose.objects.resize(scene.objects.size());
  return pose;
}

// ---------------------------------------------------------------- the
// plug-in's posed model

// world_i = local_i · world_parent, local_i the pose record about the pivot.
std::vector<FMATRIX> WorldMatrices(const g::Scene& scene, const g::Pose* pose) {
  std::vector<FMATRIX> world(scene.objects.size());
  for (size_t i = 0; i < scene.objects.size(); ++i) {
    const g::Object& object = scene.objects[i];
    quorvel::OPoseTSQ record;
    if (pose != nullptr) {
      record.trs = pose->objects[i].translation;
      record.scl = pose->objects[i].scale;
      record.rot = pose->objects[i].rotation;
    }
    world[i] = quorvel::PoseLocalMatrix(record, object.pivot);
    if (object.parent != g::kNoParent) world[i] = world[i] * world[static_cast<size_t>(object.parent)];
  }
  return world;
}

// The plug-in's rules: morph from the base shape, then a single weight entry
// follows its bone fully, several are normalised when they add up to 0.0002
// or more; an object without weights follows its own matrix.
FVECTOR3 PosedVertex(const g::Scene& scene, int o, size_t v, const g::Pose* pose,
                     const std::vector<FMATRIX>& world) {
  const g::Object& object = scene.objects[static_cast<size_t>(o)];
  FVECTOR3 p = object.vertices[v];
  if (pose != nullptr) {
    for (const g::MorphTarget& target : object.morphs) {
      const float weight =
          pose->objects[static_cast<size_t>(o)].morph_weights[static_cast<size_t>(target.slot)];
      p += (target.positions[v] - object.vertices[v]) * weight;
    }
  }
  if (!object.HasWeights()) return world[static_cast<size_t>(o)].TransformPoint(p);
  const g::Span<const g::BoneWeight> list = object.WeightsOf(v);
  if (list.empty()) return p;
  if (list.size() == 1) return world[static_cast<size_t>(list[0].bone)].TransformPoint(p);
  float sum = 0.0f;
  for (const g::BoneWeight& e : list) sum += e.weight;
  FVECTOR3 out;
  for (const g::BoneWeight& e : list) {
    const float weight = sum >= 0.0002f ? e.weight / sum : e.weight;
    out += world[static_cast<size_t>(e.bone)].TransformPoint(p) * weight;
  }
  return out;
}

Json Flat(const std::vector<FVECTOR3>& points, float scale) {
  Json array = Json::array();
  for (const FVECTOR3& p : points) {
    array.push_back(static_cast<double>(p.x) * scale);
    array.push_back(static_cast<double>(p.y) * scale);
    array.push_back(static_cast<double>(p.z) * scale);
  }
  return array;
}

// The expected file: the rest state (""), each pose, and the sequence at its
// first keyframe (the first pose). Every visible object with faces, all its
// vertices (unused ones never match a file vertex, so they do no harm).
Json Expected(const g::Scene& scene, float scale) {
  const bool skinned = [&] {
    for (const g::Object& object : scene.objects) {
      if (object.HasWeights() && object.HasFaces() && object.visible) return true;
    }
    return false;
  }();
  const int first_object_node = skinned ? 1 : 0;
  std::vector<std::pair<std::string, const g::Pose*>> states = {{"", nullptr}};
  for (const g::Pose& pose : scene.poses) states.emplace_back(pose.name, &pose);
  if (!scene.poses.empty()) states.emplace_back("poses", &scene.poses.front());
  Json animations = Json::array();
  for (const auto& [name, pose] : states) {
    const std::vector<FMATRIX> world = WorldMatrices(scene, pose);
    Json meshes = Json::array();
    for (size_t o = 0; o < scene.objects.size(); ++o) {
      const g::Object& object = scene.objects[o];
      if (!object.HasFaces() || !object.visible) continue;
      std::vector<FVECTOR3> posed;
      for (size_t v = 0; v < object.vertices.size(); ++v) {
        posed.push_back(PosedVertex(scene, static_cast<int>(o), v, pose, world));
      }
      Json mesh;
      mesh["node"] = object.name;
      mesh["object"] = object.HasWeights() ? Json(first_object_node + static_cast<int>(o)) : Json();
      mesh["rest"] = Flat(object.vertices, scale);
      mesh["posed"] = Flat(posed, scale);
      meshes.push_back(std::move(mesh));
    }
    animations.push_back({{"name", name}, {"meshes", std::move(meshes)}});
  }
  return {{"animations", std::move(animations)}};
}

// ---------------------------------------------------------------- the fixtures

std::vector<g::BoneWeight> Only(int bone) { return {{bone, 1.0f}}; }

// The sample's arm: a weighted square tube along x (0..120) over the chain
// shoulder (0,0,0) - elbow (60,0,0) - wrist (120,0,0), a rigid hand box under
// the wrist, a bulge morph, two poses and a textured material.
g::Scene ArmRig(const std::string& texture_folder) {
  g::Scene scene;
  scene.materials = {MakeMaterial("skin", 1.0f, 0.8f, 0.6f), MakeMaterial("cap", 1, 1, 1, true),
                     MakeMaterial("hand", 0.4f, 0.5f, 0.9f)};
  scene.materials[0].texture = "skin.png";
  scene.texture_folder = texture_folder;
  scene.materials[2].alpha = 0.5f;
  const int arm = AddObject(scene, "arm", g::kNoParent, {0, 0, 0});
  const int shoulder = AddObject(scene, "shoulder", g::kNoParent, {0, 0, 0});
  const int elbow = AddObject(scene, "elbow", shoulder, {60, 0, 0});
  const int wrist = AddObject(scene, "wrist", elbow, {120, 0, 0});
  const int hand = AddObject(scene, "hand", wrist, {125, 0, 0});
  g::Object& tube = scene.objects[static_cast<size_t>(arm)];
  std::vector<FVECTOR3> centres;
  for (int x = 0; x <= 120; x += 10) centres.push_back({static_cast<float>(x), 0, 0});
  AddTube(tube, centres, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, 8.0f, 0, 1);
  for (size_t k = 0; k < centres.size(); ++k) {
    const int x = static_cast<int>(k) * 10;
    std::vector<g::BoneWeight> ring;
    if (x <= 40) {
      ring = Only(shoulder);
    } else if (x == 50) {
      ring = {{shoulder, 0.71f}, {elbow, 0.29f}};
    } else if (x == 60) {
      ring = {{shoulder, 0.5f}, {elbow, 0.5f}};
    } else if (x == 70) {
      ring = {{elbow, 0.71f}, {shoulder, 0.29f}};
    } else if (x < 110) {
      ring = Only(elbow);
    } else if (x == 110) {
      ring = {{elbow, 0.6f}, {wrist, 0.4f}};
    } else {
      ring = Only(wrist);
    }
    for (int j = 0; j < 4; ++j) tube.AddVertexWeights(ring);
  }
  g::MorphTarget bulge;
  bulge.name = "bulge";
  bulge.slot = 0;
  bulge.positions = tube.vertices;
  for (FVECTOR3& p : bulge.positions) {
    if (p.x >= 20 && p.x <= 50) {
      p.y *= 1.4f;
      p.z *= 1.2f;
    }
  }
  tube.morphs.push_back(bulge);
  AddBox(scene.objects[static_cast<size_t>(hand)], {120, -6, -4}, {140, 6, 4}, 2);

  g::Pose bend = MakePose(scene, "bend");
  bend.objects[static_cast<size_t>(elbow)].rotation = Turn({0, 0, 1}, 90);
  bend.objects[static_cast<size_t>(shoulder)].rotation = Turn({0, 1, 0}, 20);
  g::Pose wave = MakePose(scene, "wave");
  wave.objects[static_cast<size_t>(shoulder)].translation = {0, 5, 0};
  wave.objects[static_cast<size_t>(elbow)].rotation = Turn({0, 0, 1}, 45);
  wave.objects[static_cast<size_t>(wrist)].rotation = Turn({1, 0, 0}, -45);
  wave.objects[static_cast<size_t>(hand)].scale = {1.2f, 1.0f, 1.0f};
  wave.objects[static_cast<size_t>(arm)].morph_weights[0] = 0.8f;
  scene.poses = {bend, wave};
  return scene;
}

// A branching skeleton: hips with two legs, a foot below the left one, and a
// rigid badge (no bone) below the right leg; the body is weighted over all.
g::Scene BranchRig() {
  g::Scene scene;
  scene.materials = {MakeMaterial("body", 0.7f, 0.7f, 0.7f), MakeMaterial("badge", 1.0f, 0.8f, 0.0f)};
  const int body = AddObject(scene, "body", g::kNoParent, {0, 0, 0});
  const int hips = AddObject(scene, "hips", g::kNoParent, {0, 100, 0});
  const int leg_l = AddObject(scene, "leg_l", hips, {10, 90, 0});
  const int leg_r = AddObject(scene, "leg_r", hips, {-10, 90, 0});
  const int foot_l = AddObject(scene, "foot_l", leg_l, {10, 50, 0});
  const int badge = AddObject(scene, "badge", leg_r, {-10, 70, 5});
  g::Object& mesh = scene.objects[static_cast<size_t>(body)];
  mesh.smooth_angle = 30.0f;
  // Trunk, then the legs.
  AddTube(mesh, {{0, 90, 0}, {0, 100, 0}, {0, 110, 0}}, {0, 1, 0}, {1, 0, 0}, {0, 0, 1}, 14.0f, 0, 0);
  for (int r = 0; r < 3; ++r) AddWeights(mesh, 4, Only(hips));
  for (const auto& [x, leg, foot] : {std::tuple{10.0f, leg_l, foot_l}, std::tuple{-10.0f, leg_r, -1}}) {
    std::vector<FVECTOR3> centres;
    for (int y = 90; y >= 40; y -= 10) centres.push_back({x, static_cast<float>(y), 0});
    AddTube(mesh, centres, {0, -1, 0}, {1, 0, 0}, {0, 0, 1}, 5.0f, 0, 0);
    for (int y = 90; y >= 40; y -= 10) {
      std::vector<g::BoneWeight> ring = Only(leg);
      if (y == 90) ring = {{hips, 0.5f}, {leg, 0.5f}};
      if (foot >= 0 && y == 50) ring = {{leg, 0.3f}, {foot, 0.7f}};
      if (foot >= 0 && y == 40) ring = Only(foot);
      AddWeights(mesh, 4, ring);
    }
  }
  AddBox(scene.objects[static_cast<size_t>(badge)], {-14, 66, 5}, {-6, 74, 7}, 1);

  g::Pose stride = MakePose(scene, "stride");
  stride.objects[static_cast<size_t>(leg_l)].rotation = Turn({1, 0, 0}, 30);
  stride.objects[static_cast<size_t>(leg_r)].rotation = Turn({1, 0, 0}, -30);
  stride.objects[static_cast<size_t>(hips)].translation = {0, -5, 0};
  g::Pose kick = MakePose(scene, "kick");
  kick.objects[static_cast<size_t>(hips)].rotation = Turn({0, 1, 0}, 10);
  kick.objects[static_cast<size_t>(leg_l)].rotation = Turn({1, 0, 0}, 60);
  kick.objects[static_cast<size_t>(foot_l)].rotation = Turn({1, 0, 0}, -45);
  kick.objects[static_cast<size_t>(badge)].rotation = Turn({0, 0, 1}, 30);
  scene.poses = {stride, kick};
  return scene;
}

// A chain of six bones along x and a tube whose middle ring hangs on all six.
g::Scene SixBones() {
  g::Scene scene;
  scene.materials = {MakeMaterial("strip", 0.2f, 0.8f, 0.3f)};
  const int strip = AddObject(scene, "strip", g::kNoParent, {0, 0, 0});
  int bones[6];
  for (int b = 0; b < 6; ++b) {
    bones[b] = AddObject(scene, "b" + std::to_string(b), b == 0 ? g::kNoParent : bones[b - 1],
                         {static_cast<float>(10 * b), 0, 0});
  }
  g::Object& mesh = scene.objects[static_cast<size_t>(strip)];
  std::vector<FVECTOR3> centres;
  for (int x = 0; x <= 60; x += 10) centres.push_back({static_cast<float>(x), 0, 0});
  AddTube(mesh, centres, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, 3.0f, 0, 0);
  for (int k = 0; k <= 6; ++k) {
    std::vector<g::BoneWeight> ring = Only(bones[std::min(k, 5)]);
    if (k == 3) {
      ring = {{bones[0], 0.05f}, {bones[1], 0.25f}, {bones[2], 0.3f},
              {bones[3], 0.1f},  {bones[4], 0.2f},  {bones[5], 0.1f}};
    }
    AddWeights(mesh, 4, ring);
  }
  g::Pose curl = MakePose(scene, "curl");
  for (int b = 0; b < 6; ++b) curl.objects[static_cast<size_t>(bones[b])].rotation = Turn({0, 0, 1}, 15);
  g::Pose twist = MakePose(scene, "twist");
  for (int b = 1; b < 6; ++b) {
    twist.objects[static_cast<size_t>(bones[b])].rotation = Turn({1, 0, 0}, 20.0f * static_cast<float>(b));
  }
  twist.objects[static_cast<size_t>(bones[4])].scale = {1.0f, 1.5f, 0.8f};
  twist.objects[static_cast<size_t>(bones[5])].translation = {0, 4, 0};
  scene.poses = {curl, twist};
  return scene;
}

// Morph targets in non-adjacent slots on a skinned face and on a rigid lid,
// with poses that set their weights and turn the bones.
g::Scene Morphs() {
  g::Scene scene;
  scene.materials = {MakeMaterial("face", 0.9f, 0.7f, 0.6f)};
  const int head = AddObject(scene, "head", g::kNoParent, {0, 0, 0});
  const int face = AddObject(scene, "face", g::kNoParent, {0, 0, 0});
  const int jaw = AddObject(scene, "jaw", head, {0, -5, 0});
  const int lid = AddObject(scene, "lid", head, {0, 6, 8});
  g::Object& mesh = scene.objects[static_cast<size_t>(face)];
  AddTube(mesh, {{0, -12, 0}, {0, -5, 0}, {0, 2, 0}, {0, 10, 0}}, {0, 1, 0}, {1, 0, 0}, {0, 0, 1}, 8.0f, 0,
          0);
  for (int k = 0; k < 4; ++k) {
    AddWeights(mesh, 4,
               k == 0   ? Only(jaw)
               : k == 1 ? std::vector<g::BoneWeight>{{jaw, 0.5f}, {head, 0.5f}}
                        : Only(head));
  }
  g::MorphTarget smile{"smile", 0, mesh.vertices};
  g::MorphTarget blink{"blink", 3, mesh.vertices};
  for (size_t v = 0; v < mesh.vertices.size(); ++v) {
    if (mesh.vertices[v].y < 0) smile.positions[v].x *= 1.5f;
    if (mesh.vertices[v].y > 5) blink.positions[v].y -= 3.0f;
  }
  mesh.morphs = {smile, blink};
  g::Object& cover = scene.objects[static_cast<size_t>(lid)];
  AddBox(cover, {-4, 5, 8}, {4, 7, 9}, 0);
  g::MorphTarget close{"close", 1, cover.vertices};
  for (FVECTOR3& p : close.positions) p.y -= (p.y - 5.0f) * 0.8f + 1.0f;
  cover.morphs = {close};

  g::Pose neutral = MakePose(scene, "neutral");
  g::Pose smiling = MakePose(scene, "smiling");
  smiling.objects[static_cast<size_t>(face)].morph_weights[0] = 1.0f;
  smiling.objects[static_cast<size_t>(jaw)].rotation = Turn({1, 0, 0}, 10);
  g::Pose both = MakePose(scene, "both");
  both.objects[static_cast<size_t>(face)].morph_weights[0] = 0.5f;
  both.objects[static_cast<size_t>(face)].morph_weights[3] = 1.0f;
  both.objects[static_cast<size_t>(lid)].morph_weights[1] = 0.7f;
  both.objects[static_cast<size_t>(head)].rotation = Turn({0, 1, 0}, 30);
  both.objects[static_cast<size_t>(head)].translation = {2, 0, 1};
  scene.poses = {neutral, smiling, both};
  return scene;
}

// No rig: two rigid objects, one below the other, and a pose that moves them.
g::Scene Plain() {
  g::Scene scene;
  scene.materials = {MakeMaterial("grey", 0.5f, 0.5f, 0.5f)};
  const int base = AddObject(scene, "base", g::kNoParent, {0, 0, 0});
  const int lamp = AddObject(scene, "lamp", base, {0, 20, 0});
  AddBox(scene.objects[static_cast<size_t>(base)], {-10, 0, -10}, {10, 4, 10}, 0);
  AddBox(scene.objects[static_cast<size_t>(lamp)], {-2, 20, -2}, {2, 40, 2}, 0);
  scene.objects[static_cast<size_t>(lamp)].shading = 1;
  g::Pose tilt = MakePose(scene, "tilt");
  tilt.objects[static_cast<size_t>(lamp)].rotation = Turn({0, 0, 1}, -25);
  tilt.objects[static_cast<size_t>(base)].translation = {5, 0, 0};
  scene.poses = {tilt};
  return scene;
}

// A 1x1 PNG, the skin's texture: embedded in the .glb, referenced by the
// .gltf (it lies beside both).
const uint8_t kSkinPng[] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D,
                            0x49, 0x48, 0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01,
                            0x08, 0x02, 0x00, 0x00, 0x00, 0x90, 0x77, 0x53, 0xDE, 0x00, 0x00, 0x00,
                            0x0C, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9C, 0x63, 0x78, 0xB0, 0xA0, 0x01,
                            0x00, 0x04, 0x64, 0x02, 0x01, 0x15, 0xD0, 0xDC, 0xFB, 0x00, 0x00, 0x00,
                            0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};

bool WriteJson(const std::string& path, const Json& json) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << json.dump() << '\n';
  return static_cast<bool>(out);
}

bool Export(const g::Scene& scene, const std::string& path, float scale) {
  g::ExportOptions options;
  options.unit_scale = scale;
  g::ExportReport report;
  std::string error;
  if (!g::ExportGltf(scene, path, options, &report, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return false;
  }
  std::printf("%s: %d objects, %d joints, %d vertices, %d targets, %d animations\n", path.c_str(),
              report.objects, report.joints, report.vertices, report.targets, report.animations);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: gltf_fixtures OUT_DIR\n");
    return 2;
  }
  const std::string folder = argv[1];
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  {
    std::ofstream png(folder + "/skin.png", std::ios::binary | std::ios::trunc);
    png.write(reinterpret_cast<const char*>(kSkinPng), sizeof kSkinPng);
    if (!png) {
      std::fprintf(stderr, "%s/skin.png: cannot write\n", folder.c_str());
      return 1;
    }
  }
  struct Fixture {
    const char* name;
    g::Scene scene;
    float scale;
    bool gltf_too;
  };
  const Fixture fixtures[] = {
      {"arm", ArmRig(folder), g::kDefaultUnitScale, true},
      {"branch", BranchRig(), g::kDefaultUnitScale, false},
      {"six_bones", SixBones(), 0.025f, false},
      {"morphs", Morphs(), g::kDefaultUnitScale, false},
      {"plain", Plain(), g::kDefaultUnitScale, false},
  };
  bool ok = true;
  for (const Fixture& f : fixtures) {
    const std::string stem = folder + "/" + f.name;
    ok = Export(f.scene, stem + ".glb", f.scale) && ok;
    if (f.gltf_too) ok = Export(f.scene, stem + ".gltf", f.scale) && ok;
    if (!WriteJson(stem + ".expected.json", Expected(f.scene, f.scale))) {
      std::fprintf(stderr, "%s.expected.json: cannot write\n", stem.c_str());
      ok = false;
    }
  }
  return ok ? 0 : 1;
}
