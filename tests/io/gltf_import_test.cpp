// Reading glTF 2.0 into a scene: what each part of a file becomes (nodes,
// meshes, skins, morph targets, animations), what a broken file gets, and
// the skinned and morphed samples other programs wrote.
#include "io/gltf_import.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/float_checks.h"

namespace {

using namespace quorvel::gltf;
using nlohmann::json;
namespace fs = std::filesystem;

constexpr int kFloat = 5126;
constexpr int kUnsignedByte = 5121;
constexpr int kUnsignedShort = 5123;

std::string Base64(const std::vector<uint8_t>& bytes) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const uint32_t b0 = bytes[i];
    const uint32_t b1 = i + 1 < bytes.size() ? bytes[i + 1] : 0;
    const uint32_t b2 = i + 2 < bytes.size() ? bytes[i + 2] : 0;
    const uint32_t v = b0 << 16 | b1 << 8 | b2;
    out += kDigits[v >> 18 & 63];
    out += kDigits[v >> 12 & 63];
    out += i + 1 < bytes.size() ? kDigits[v >> 6 & 63] : '=';
    out += i + 2 < bytes.size() ? kDigits[v & 63] : '=';
  }
  return out;
}

// A glTF document written by hand: its JSON, with accessors over one binary
// buffer added by the test, saved as .gltf (buffer as a data: URI) or .glb.
class Fixture {
 public:
  explicit Fixture(const std::string& text) : doc_(json::parse(text)) {
    if (!doc_.contains("asset")) doc_["asset"] = {{"version", "2.0"}};
  }

  json& operator[](const char* key) { return doc_[key]; }
  json& doc() { return doc_; }
  std::vector<uint8_t>& bin() { return bin_; }

  int Floats(const std::vector<float>& values, const char* type) {
    return Add(values.data(), values.size() * 4, kFloat, values.size() / Width(type), type, false);
  }
  int Shorts(const std::vector<uint16_t>& values, const char* type) {
    return Add(values.data(), values.size() * 2, kUnsignedShort, values.size() / Width(type), type, false);
  }
  int Bytes(const std::vector<uint8_t>& values, const char* type, bool normalized) {
    return Add(values.data(), values.size(), kUnsignedByte, values.size() / Width(type), type, normalized);
  }
  // A 4x4 matrix per element, given as the plug-in's row-vector matrices:
  // their row-major storage is glTF's column-major order.
  int Matrices(const std::vector<FMATRIX>& matrices) {
    std::vector<float> values;
    for (const FMATRIX& m : matrices) values.insert(values.end(), m.m, m.m + 16);
    return Floats(values, "MAT4");
  }

  std::string Gltf() const {
    json doc = doc_;
    if (!bin_.empty()) {
      doc["buffers"] = json::array(
          {{{"byteLength", bin_.size()}, {"uri", "data:application/octet-stream;base64," + Base64(bin_)}}});
    }
    return doc.dump();
  }
  std::vector<uint8_t> GltfBytes() const {
    const std::string text = Gltf();
    return std::vector<uint8_t>(text.begin(), text.end());
  }
  std::vector<uint8_t> Glb() const {
    json doc = doc_;
    if (!bin_.empty()) doc["buffers"] = json::array({{{"byteLength", bin_.size()}}});
    std::string text = doc.dump();
    while (text.size() % 4 != 0) text += ' ';
    std::vector<uint8_t> bin = bin_;
    while (bin.size() % 4 != 0) bin.push_back(0);
    const size_t total = 12 + 8 + text.size() + (bin.empty() ? 0 : 8 + bin.size());
    std::vector<uint8_t> out(total);
    size_t at = 0;
    auto put = [&](const void* data, size_t size) {
      std::memcpy(out.data() + at, data, size);
      at += size;
    };
    auto u32 = [&](uint32_t v) {
      const uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
      put(b, 4);
    };
    put("glTF", 4);
    u32(2);
    u32(static_cast<uint32_t>(total));
    u32(static_cast<uint32_t>(text.size()));
    u32(0x4E4F534A);  // "JSON"
    put(text.data(), text.size());
    if (!bin.empty()) {
      u32(static_cast<uint32_t>(bin.size()));
      u32(0x004E4942);  // "BIN\0"
      put(bin.data(), bin.size());
    }
    return out;
  }

 private:
  static size_t Width(const std::string& type) {
    if (type == "SCALAR") return 1;
    if (type == "VEC2") return 2;
    if (type == "VEC3") return 3;
    if (type == "VEC4") return 4;
    return 16;
  }
  int Add(const void* data, size_t bytes, int component, size_t count, const char* type, bool normalized) {
    while (bin_.size() % 4 != 0) bin_.push_back(0);
    const size_t offset = bin_.size();
    bin_.resize(offset + bytes);
    std::memcpy(bin_.data() + offset, data, bytes);
    json& views = doc_["bufferViews"];
    views.push_back({{"buffer", 0}, {"byteOffset", offset}, {"byteLength", bytes}});
    json accessor = {
        {"bufferView", views.size() - 1}, {"componentType", component}, {"count", count}, {"type", type}};
    if (normalized) accessor["normalized"] = true;
    doc_["accessors"].push_back(accessor);
    return static_cast<int>(doc_["accessors"].size() - 1);
  }

  json doc_;
  std::vector<uint8_t> bin_;
};

struct Imported {
  bool ok = false;
  Scene scene;
  ImportReport report;
  std::string error;
};

Imported Import(const std::vector<uint8_t>& bytes, const std::string& folder = std::string(),
                float unit_scale = 0.01f) {
  Imported r;
  ImportOptions options;
  options.unit_scale = unit_scale;
  r.ok = ImportGltfBytes(bytes, "fixture.gltf", folder, options, &r.scene, &r.report, &r.error);
  return r;
}

bool HasNote(const ImportReport& report, const std::string& part) {
  for (const std::string& note : report.notes)
    if (note.find(part) != std::string::npos) return true;
  return false;
}

int ObjectNamed(const Scene& scene, const std::string& name) {
  for (size_t i = 0; i < scene.objects.size(); ++i)
    if (scene.objects[i].name == name) return static_cast<int>(i);
  return -1;
}

// --- the plug-in's side: how it poses what was read

// A pose record about the object's pivot: v -> (v - p)·S·R + t + p.
FMATRIX RecordMatrix(const Object& o, const PoseState& s) {
  return FMATRIX::Translation(-o.pivot) * FMATRIX::Scaling(s.scale) * FMATRIX::FromQuat(s.rotation) *
         FMATRIX::Translation(o.pivot + s.translation);
}

FMATRIX WorldOf(const Scene& scene, const Pose& pose, int i) {
  FMATRIX world = RecordMatrix(scene.objects[i], pose.objects[i]);
  for (int p = scene.objects[i].parent; p >= 0; p = scene.objects[p].parent) {
    world = world * RecordMatrix(scene.objects[p], pose.objects[p]);
  }
  return world;
}

// Face f's points, to compare whole.
std::vector<int> Points(const Object& o, size_t f) {
  const Span<const int> points = o.PointsOf(f);
  return std::vector<int>(points.begin(), points.end());
}

// Where the plug-in draws vertex v of object i in the pose (morphs aside).
FVECTOR3 Posed(const Scene& scene, const Pose& pose, int i, int v) {
  const Object& o = scene.objects[i];
  const FVECTOR3 p = o.vertices[v];
  if (!o.HasWeights()) return WorldOf(scene, pose, i).TransformPoint(p);
  const Span<const BoneWeight> list = o.WeightsOf(static_cast<size_t>(v));
  if (list.empty()) return p;
  float sum = 0.0f;
  for (const BoneWeight& e : list) sum += e.weight;
  FVECTOR3 out;
  for (const BoneWeight& e : list) {
    const float w = list.size() == 1 ? 1.0f : e.weight / sum;
    out += WorldOf(scene, pose, e.bone).TransformPoint(p) * w;
  }
  return out;
}

FQUAT AxisAngle(float x, float y, float z, float degrees) {
  return FQUAT::FromAxisAngle(FVECTOR3(x, y, z), degrees * 3.14159265358979f / 180.0f);
}

json Quat(const FQUAT& q) { return {q.x, q.y, q.z, q.w}; }

// Everything a scene holds, as text: "unchanged" means equal text.
std::string Fingerprint(const Scene& scene) {
  std::ostringstream os;
  os.precision(9);
  for (const Object& o : scene.objects) {
    os << "O " << o.name << " " << o.parent << " " << o.pivot.x << " " << o.pivot.y << " " << o.pivot.z << " "
       << o.vertices.size() << " " << o.FaceCount() << " " << o.WeightListCount() << " " << o.morphs.size()
       << "\n";
    for (const FVECTOR3& v : o.vertices) os << v.x << " " << v.y << " " << v.z << "\n";
    for (size_t f = 0; f < o.FaceCount(); ++f) {
      for (size_t c = o.face_start[f]; c < o.face_start[f + 1]; ++c)
        os << o.corner_points[c] << " " << o.corner_uv[c].x << " " << o.corner_colors[c] << " ";
      os << o.face_materials[f] << "\n";
    }
  }
  for (const Material& m : scene.materials)
    os << "M " << m.name << " " << m.color[0] << " " << m.texture << "\n";
  for (const Pose& p : scene.poses) os << "P " << p.name << " " << p.objects.size() << "\n";
  os << "T " << scene.texture_folder;
  return os.str();
}

// A scene that already holds something, to see that a refused file leaves it.
Scene Sentinel() {
  Scene scene;
  Object o;
  o.name = "keep";
  o.pivot = FVECTOR3(1, 2, 3);
  o.vertices = {FVECTOR3(1, 1, 1), FVECTOR3(2, 2, 2), FVECTOR3(3, 3, 4)};
  o.AddFace(std::vector<int>{0, 1, 2}, std::vector<FVECTOR2>(3), std::vector<uint32_t>(3, 0xFFFFFFFFu));
  scene.objects.push_back(o);
  Material m;
  m.name = "kept";
  scene.materials.push_back(m);
  Pose p;
  p.name = "kept pose";
  p.objects.resize(1);
  scene.poses.push_back(p);
  scene.texture_folder = "/kept";
  return scene;
}

// A temporary folder, removed with its files.
class TempFolder {
 public:
  TempFolder() {
    std::random_device random;
    path_ =
        fs::temp_directory_path() / ("quorvel-gltf-" + std::to_string(random()) + std::to_string(random()));
    fs::create_directories(path_ / "inner");
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    const fs::path file = path_ / name;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return file.string();
  }
  std::string Path(const std::string& name = std::string()) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

// ---------------------------------------------------------------- mapping

TEST(GltfImportMapping, NodesBecomeObjectsParentsFirstWithPivotsInUnits) {
  // Listed children-first; node 4 is in no scene.
  Fixture f(R"({
    "scene": 0,
    "scenes": [{"nodes": [1, 3]}],
    "nodes": [
      {"name": "Leaf", "translation": [1, 0, 0]},
      {"name": "Root", "translation": [1, 0, 0], "children": [2]},
      {"name": "Mid", "translation": [0, 2, 0], "children": [0]},
      {"name": "Other", "scale": [2, 2, 2], "children": [5]},
      {"name": "Stray"},
      {"name": "Scaled", "translation": [0.5, 0, 0]}
    ]})");
  f["nodes"][2]["rotation"] = Quat(AxisAngle(0, 0, 1, 90));
  const Imported r = Import(f.GltfBytes());
  ASSERT_TRUE(r.ok) << r.error;
  const std::vector<std::string> names = {"Root", "Mid", "Leaf", "Other", "Scaled"};
  const std::vector<int> parents = {kNoParent, 0, 1, kNoParent, 3};
  ASSERT_EQ(r.scene.objects.size(), names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(r.scene.objects[i].name, names[i]);
    EXPECT_EQ(r.scene.objects[i].parent, parents[i]) << names[i];
  }
  // Mid turns Leaf's offset (1, 0, 0) to (0, 1, 0); Other doubles Scaled's.
  EXPECT_VEC3_NEAR(r.scene.objects[0].pivot, FVECTOR3(100, 0, 0), 1e-4f);
  EXPECT_VEC3_NEAR(r.scene.objects[1].pivot, FVECTOR3(100, 200, 0), 1e-4f);
  EXPECT_VEC3_NEAR(r.scene.objects[2].pivot, FVECTOR3(100, 300, 0), 1e-4f);
  EXPECT_VEC3_NEAR(r.scene.objects[4].pivot, FVECTOR3(100, 0, 0), 1e-4f);
  EXPECT_EQ(r.report.objects, 5);
  EXPECT_EQ(r.report.joints, 0);
  EXPECT_TRUE(r.scene.poses.empty());

  // Metres per unit as the user says.
  const Imported metres = Import(f.GltfBytes(), std::string(), 1.0f);
  ASSERT_TRUE(metres.ok) << metres.error;
  EXPECT_VEC3_NEAR(metres.scene.objects[2].pivot, FVECTOR3(1, 3, 0), 1e-6f);
}

// A triangle on a moved, turned node with texture coordinates, vertex
// colours and a textured, translucent material.
Fixture RigidTriangle() {
  Fixture f(R"({
    "scenes": [{"nodes": [0]}],
    "nodes": [{"name": "Plate", "mesh": 0, "translation": [0, 0, 1]}],
    "meshes": [{"name": "PlateMesh", "primitives": [{"attributes": {}, "material": 0}]}],
    "materials": [{"name": "Skin", "alphaMode": "BLEND",
                   "pbrMetallicRoughness": {"baseColorFactor": [0.5, 0.25, 1.0, 0.5],
                                            "baseColorTexture": {"index": 0}}}],
    "textures": [{"source": 0}],
    "images": [{"uri": "my%20skin.png"}]
  })");
  f["nodes"][0]["rotation"] = Quat(AxisAngle(0, 1, 0, 90));
  json& attributes = f["meshes"][0]["primitives"][0]["attributes"];
  attributes["POSITION"] = f.Floats({0, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3");
  attributes["TEXCOORD_0"] = f.Floats({0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 1.0f}, "VEC2");
  attributes["COLOR_0"] = f.Bytes({255, 0, 0, 255, 0, 255, 0, 128, 0, 0, 255, 0}, "VEC4", true);
  return f;
}

TEST(GltfImportMapping, RigidMeshIsPlacedByItsNodeAndWoundTheModellersWay) {
  const Imported r = Import(RigidTriangle().GltfBytes());
  ASSERT_TRUE(r.ok) << r.error;
  ASSERT_EQ(r.scene.objects.size(), 1u);
  const Object& o = r.scene.objects[0];
  EXPECT_FALSE(o.HasWeights());
  ASSERT_EQ(o.vertices.size(), 3u);
  // 90 degrees about +Y takes +X to -Z; then up 1 m along Z.
  EXPECT_VEC3_NEAR(o.vertices[0], FVECTOR3(0, 0, 100), 1e-4f);
  EXPECT_VEC3_NEAR(o.vertices[1], FVECTOR3(0, 0, 0), 1e-4f);
  EXPECT_VEC3_NEAR(o.vertices[2], FVECTOR3(0, 100, 100), 1e-4f);
  EXPECT_VEC3_NEAR(o.pivot, FVECTOR3(0, 0, 100), 1e-4f);
  ASSERT_EQ(o.FaceCount(), 1u);
  // glTF's counter-clockwise (0, 1, 2) is the modeller's (0, 2, 1), corner
  // data going with its point.
  EXPECT_EQ(Points(o, 0), (std::vector<int>{0, 2, 1}));
  ASSERT_EQ(o.corner_uv.size(), 3u);
  ASSERT_EQ(o.corner_colors.size(), 3u);
  EXPECT_VEC2_NEAR(o.corner_uv[1], FVECTOR2(0, 1), 1e-6f);
  EXPECT_VEC2_NEAR(o.corner_uv[2], FVECTOR2(1, 0), 1e-6f);
  EXPECT_EQ(o.corner_colors[0], 0xFF0000FFu);
  EXPECT_EQ(o.corner_colors[1], 0x00FF0000u);
  EXPECT_EQ(o.corner_colors[2], 0x8000FF00u);
  EXPECT_EQ(o.face_materials[0], 0);

  ASSERT_EQ(r.scene.materials.size(), 1u);
  const Material& m = r.scene.materials[0];
  EXPECT_EQ(m.name, "Skin");
  EXPECT_FLOAT_EQ(m.color[0], 0.5f);
  EXPECT_FLOAT_EQ(m.color[1], 0.25f);
  EXPECT_FLOAT_EQ(m.color[2], 1.0f);
  EXPECT_FLOAT_EQ(m.diffuse, 1.0f);
  EXPECT_FLOAT_EQ(m.alpha, 0.5f);
  EXPECT_TRUE(m.vertex_colors);
  EXPECT_EQ(m.texture, "my skin.png");
}

TEST(GltfImportMapping, OpaqueMaterialIgnoresTheFactorsAlpha) {
  Fixture f = RigidTriangle();
  f["materials"][0]["alphaMode"] = "OPAQUE";
  const Imported r = Import(f.GltfBytes());
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_FLOAT_EQ(r.scene.materials[0].alpha, 1.0f);
}

// The colour and diffuse this plug-in writes beside the base colour come back
// apart while their product is still the base colour, and are ignored once a
// program changed one without the other.
TEST(GltfImportMapping, ColourAndDiffuseComeBackApartWhileTheyStillMakeTheBaseColour) {
  struct Case {
    std::vector<double> base;
    float color0;
    float diffuse;
  };
  const Case cases[] = {
      {{0.4, 0.2, 0.1, 1.0}, 0.5f, 0.8f},  // 0.5 · 0.8 = 0.4: the plug-in's own
      {{0.9, 0.2, 0.1, 1.0}, 0.9f, 1.0f},  // changed elsewhere: the base colour
  };
  for (const Case& c : cases) {
    Fixture f = RigidTriangle();
    f["materials"][0]["pbrMetallicRoughness"]["baseColorFactor"] = c.base;
    f["materials"][0]["extras"]["quorvel"] = {{"color", {0.5, 0.25, 0.125}}, {"diffuse", 0.8}};
    const Imported r = Import(f.GltfBytes());
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_FLOAT_EQ(r.scene.materials[0].color[0], c.color0) << c.base[0];
    EXPECT_FLOAT_EQ(r.scene.materials[0].diffuse, c.diffuse) << c.base[0];
  }
}

// Two joints in a chain (Root at the origin, Bone 1 m up) and a mesh on its
// own node skinned to them; the test adds the vertices.
Fixture SkinnedChain() {
  Fixture f(R"({
    "scenes": [{"nodes": [0, 2]}],
    "nodes": [
      {"name": "Root", "children": [1]},
      {"name": "Bone", "translation": [0, 1, 0]},
      {"name": "Body", "mesh": 0, "skin": 0}
    ],
    "meshes": [{"name": "BodyMesh", "primitives": [{"attributes": {}}]}],
    "skins": [{"joints": [0, 1]}]
  })");
  f["skins"][0]["inverseBindMatrices"] = f.Matrices({FMATRIX(), FMATRIX::Translation(FVECTOR3(0, -1, 0))});
  return f;
}

void SetSkinnedVertices(Fixture& f, const std::vector<float>& positions, const std::vector<uint8_t>& joints,
                        const std::vector<float>& weights, const std::vector<uint16_t>& indices) {
  json& primitive = f["meshes"][0]["primitives"][0];
  primitive["attributes"]["POSITION"] = f.Floats(positions, "VEC3");
  primitive["attributes"]["JOINTS_0"] = f.Bytes(joints, "VEC4", false);
  primitive["attributes"]["WEIGHTS_0"] = f.Floats(weights, "VEC4");
  primitive["indices"] = f.Shorts(indices, "SCALAR");
}

TEST(GltfImportMapping, VerticesWithTheSamePositionBonesAndDeltasAreWelded) {
  Fixture f = SkinnedChain();
  // A quad as two triangles of three vertices each (corners 0-2 repeated as
  // 3 and 4 with other texture coordinates), and vertex 6 where vertex 0 is
  // but on the other bone.
  SetSkinnedVertices(f, {0, 0, 0, 1, 0, 0, 1, 1, 0,  //
                         0, 0, 0, 1, 1, 0, 0, 1, 0,  //
                         0, 0, 0},
                     {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0},
                     {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0},
                     {0, 1, 2, 3, 4, 5, 6, 1, 2});
  f["meshes"][0]["primitives"][0]["attributes"]["TEXCOORD_0"] =
      f.Floats({0, 0, 1, 0, 1, 1, 0.5f, 0.5f, 1, 1, 0, 1, 0, 0}, "VEC2");
  const Imported r = Import(f.GltfBytes());
  ASSERT_TRUE(r.ok) << r.error;
  const Object& body = r.scene.objects[ObjectNamed(r.scene, "Body")];
  ASSERT_EQ(body.vertices.size(), 5u);
  ASSERT_EQ(body.FaceCount(), 3u);
  EXPECT_EQ(Points(body, 0), (std::vector<int>{0, 2, 1}));
  EXPECT_EQ(Points(body, 1), (std::vector<int>{0, 3, 2}));
  EXPECT_EQ(Points(body, 2), (std::vector<int>{4, 2, 1}));
  // The welded corner keeps each face's own texture coordinate.
  ASSERT_EQ(body.corner_uv.size(), 9u);
  EXPECT_VEC2_NEAR(body.corner_uv[body.face_start[0]], FVECTOR2(0, 0), 1e-6f);
  EXPECT_VEC2_NEAR(body.corner_uv[body.face_start[1]], FVECTOR2(0.5f, 0.5f), 1e-6f);
  EXPECT_EQ(r.report.vertices, 5);
}

TEST(GltfImportMapping, WeightsKeepTheFourLargestBonesMergedAndRenormalised) {
  Fixture f(R"({
    "scenes": [{"nodes": [0, 6]}],
    "nodes": [
      {"name": "J0", "children": [1]}, {"name": "J1", "children": [2]}, {"name": "J2", "children": [3]},
      {"name": "J3", "children": [4]}, {"name": "J4", "children": [5]}, {"name": "J5"},
      {"name": "Body", "mesh": 0, "skin": 0}
    ],
    "meshes": [{"primitives": [{"attributes": {}}]}],
    "skins": [{"joints": [0, 1, 2, 3, 4, 5]}]
  })");
  json& attributes = f["meshes"][0]["primitives"][0]["attributes"];
  attributes["POSITION"] = f.Floats({0, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3");
  // Vertex 0: J1 twice, J2 with weight 0, six bones in all; vertex 1 one
  // bone; vertex 2 two halves.
  attributes["JOINTS_0"] = f.Bytes({0, 1, 2, 3, 4, 0, 0, 0, 1, 5, 0, 0}, "VEC4", false);
  attributes["WEIGHTS_0"] = f.Floats({0.1f, 0.3f, 0, 0.2f, 1, 0, 0, 0, 0.5f, 0.5f, 0, 0}, "VEC4");
  attributes["JOINTS_1"] = f.Bytes({1, 4, 5, 3, 0, 0, 0, 0, 0, 0, 0, 0}, "VEC4", false);
  attributes["WEIGHTS_1"] = f.Floats({0.1f, 0.05f, 0.15f, 0.1f, 0, 0, 0, 0, 0, 0, 0, 0}, "VEC4");
  const Imported r = Import(f.GltfBytes());
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.report.joints, 6);
  const Object& body = r.scene.objects[ObjectNamed(r.scene, "Body")];
  ASSERT_TRUE(body.HasWeights());
  ASSERT_EQ(body.WeightListCount(), 3u);
  // J1 0.4, J3 0.3, J5 0.15, J0 0.1 of 0.95; J4's 0.05 goes.
  const std::vector<std::pair<int, float>> expected = {
      {1, 0.4f / 0.95f}, {3, 0.3f / 0.95f}, {5, 0.15f / 0.95f}, {0, 0.1f / 0.95f}};
  ASSERT_EQ(body.WeightsOf(0).size(), expected.size());
  for (size_t e = 0; e < expected.size(); ++e) {
    EXPECT_EQ(body.WeightsOf(0)[e].bone, expected[e].first) << e;
    EXPECT_NEAR(body.WeightsOf(0)[e].weight, expected[e].second, 1e-6f) << e;
  }
  ASSERT_EQ(body.WeightsOf(1).size(), 1u);
  EXPECT_EQ(body.WeightsOf(1)[0].bone, 4);
  EXPECT_FLOAT_EQ(body.WeightsOf(1)[0].weight, 1.0f);
  ASSERT_EQ(body.WeightsOf(2).size(), 2u);
  EXPECT_EQ(body.WeightsOf(2)[0].bone, 1);
  EXPECT_EQ(body.WeightsOf(2)[1].bone, 5);
  EXPECT_TRUE(HasNote(r.report, "1 vertices had more than four bones"))
      << ::testing::PrintToString(r.report.notes);
}

TEST(GltfImportMapping, MorphTargetsBecomeWholeShapesNamedAndSlotted) {
  Fixture f = RigidTriangle();
  json& mesh = f["meshes"][0];
  const int up = f.Floats({0, 1, 0, 0, 0, 0, 0, 0, 0}, "VEC3");
  const int out = f.Floats({0, 0, 0, 0, 0, 2, 0, 0, 0}, "VEC3");
  mesh["primitives"][0]["targets"] = json::array({{{"POSITION", up}}, {{"POSITION", out}}});
  mesh["extras"] = {{"targetNames", {"Up", "Out"}}};
  mesh["weights"] = {0.25, 0.5};
  f["animations"] =
      json::array({{{"name", "Still"}, {"channels", json::array()}, {"samplers", json::array()}}});
  const Imported r = Import(f.GltfBytes());
  ASSERT_TRUE(r.ok) << r.error;
  const Object& o = r.scene.objects[0];
  ASSERT_EQ(o.morphs.size(), 2u);
  EXPECT_EQ(o.morphs[0].name, "Up");
  EXPECT_EQ(o.morphs[1].name, "Out");
  EXPECT_EQ(o.morphs[0].slot, 0);
  EXPECT_EQ(o.morphs[1].slot, 1);
  ASSERT_EQ(o.morphs[0].positions.size(), 3u);
  // Deltas turn with the node like the base: +Y stays, +Z becomes +X.
  EXPECT_VEC3_NEAR(o.morphs[0].positions[0], FVECTOR3(0, 100, 100), 1e-4f);
  EXPECT_VEC3_NEAR(o.morphs[0].positions[1], o.vertices[1], 1e-4f);
  EXPECT_VEC3_NEAR(o.morphs[1].positions[1], FVECTOR3(200, 0, 0), 1e-4f);
  EXPECT_EQ(r.report.targets, 2);
  ASSERT_EQ(r.scene.poses.size(), 1u);
  EXPECT_FLOAT_EQ(r.scene.poses[0].objects[0].morph_weights[0], 0.25f);
  EXPECT_FLOAT_EQ(r.scene.poses[0].objects[0].morph_weights[1], 0.5f);
}

TEST(GltfImportMapping, MorphTargetsBeyondTwentyAreLeftOutWithANote) {
  Fixture f = RigidTriangle();
  const int delta = f.Floats({0, 1, 0, 0, 0, 0, 0, 0, 0}, "VEC3");
  json targets = json::array();
  for (int k = 0; k < 22; ++k) targets.push_back({{"POSITION", delta}});
  f["meshes"][0]["primitives"][0]["targets"] = targets;
  const Imported r = Import(f.GltfBytes());
  ASSERT_TRUE(r.ok) << r.error;
  ASSERT_EQ(r.scene.objects[0].morphs.size(), 20u);
  EXPECT_EQ(r.scene.objects[0].morphs[19].slot, 19);
  EXPECT_EQ(r.scene.objects[0].morphs[19].name, "target 19");
  EXPECT_TRUE(HasNote(r.report, "22 morph targets")) << ::testing::PrintToString(r.report.notes);
}

TEST(GltfImportMapping, StripsAndFansBecomeTrianglesAndLinesAreLeftOut) {
  Fixture f(R"({
    "scenes": [{"nodes": [0]}],
    "nodes": [{"name": "Strips", "mesh": 0}],
    "meshes": [{"primitives": [{"attributes": {}, "mode": 5}, {"attributes": {}, "mode": 6},
                               {"attributes": {}, "mode": 1}]}]
  })");
  const int positions = f.Floats({0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0}, "VEC3");
  const int fan = f.Floats({5, 5, 0, 6, 5, 0, 6, 6, 0, 5, 6, 0}, "VEC3");
  json& primitives = f["meshes"][0]["primitives"];
  primitives[0]["attributes"]["POSITION"] = positions;
  primitives[1]["attributes"]["POSITION"] = fan;
  primitives[2]["attributes"]["POSITION"] = positions;
  const Imported r = Import(f.GltfBytes());
  ASSERT_TRUE(r.ok) << r.error;
  const Object& o = r.scene.objects[0];
  ASSERT_EQ(o.FaceCount(), 4u);
  // Strip (0 1 2), (1 3 2); fan (1 2 0), (2 3 0): all counter-clockwise
  // seen from +Z, so reversed here.
  EXPECT_EQ(Points(o, 0), (std::vector<int>{0, 2, 1}));
  EXPECT_EQ(Points(o, 1), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(Points(o, 2), (std::vector<int>{5, 4, 6}));
  EXPECT_EQ(Points(o, 3), (std::vector<int>{6, 4, 7}));
  // Numbered in the file's order, not in the order the triangles use them.
  EXPECT_VEC3_NEAR(o.vertices[4], FVECTOR3(500, 500, 0), 1e-3f);
  EXPECT_TRUE(HasNote(r.report, "points or lines")) << ::testing::PrintToString(r.report.notes);
}

TEST(GltfImportMapping, SparseAccessorReplacesTheListedElements) {
  Fixture f = RigidTriangle();
  const int indices = f.Bytes({2}, "SCALAR", false);
  const int values = f.Floats({0, 3, 0}, "VEC3");
  json& position = f["accessors"][f["meshes"][0]["primitives"][0]["attributes"]["POSITION"].get<int>()];
  position["sparse"] = {
      {"count", 1},
      {"indices", {{"bufferView", f["accessors"][indices]["bufferView"]}, {"componentType", 5121}}},
      {"values", {{"bufferView", f["accessors"][values]["bufferView"]}}}};
  const Imported r = Import(f.GltfBytes());
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_VEC3_NEAR(r.scene.objects[0].vertices[2], FVECTOR3(0, 300, 100), 1e-4f);
}

// --- poses

TEST(GltfImportPoses, EarliestKeyframeOfEachChannelPosesTheJointsAsTheFileDoes) {
  Fixture f = SkinnedChain();
  SetSkinnedVertices(f, {0, 2, 0, 0.1f, 2, 0, 0, 2, 0.1f}, {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0},
                     {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}, {0, 1, 2});
  const FQUAT turn = AxisAngle(0, 0, 1, 90);
  // Bone's rotation is a cubic spline from 0.5 (in-tangent, value,
  // out-tangent per key); Root moves from 0.25; Bone's scale steps at 0.25.
  // The earliest time is 0.25, before Bone's first rotation key.
  const int rotation_times = f.Floats({0.5f, 1.5f}, "SCALAR");
  const int rotations = f.Floats({0, 0, 0, 0, turn.x, turn.y, turn.z, turn.w, 0, 0, 0, 0,  //
                                  0, 0, 0, 0, 0,      0,      0,      1,      0, 0, 0, 0},
                                 "VEC4");
  const int move_times = f.Floats({0.25f, 1.0f}, "SCALAR");
  const int moves = f.Floats({0.5f, 0, 0, 2, 0, 0}, "VEC3");
  const int scale_times = f.Floats({0.25f}, "SCALAR");
  const int scales = f.Floats({2, 1, 1}, "VEC3");
  f["animations"] = json::array({{
      {"name", "Wave"},
      {"samplers",
       {{{"input", rotation_times}, {"output", rotations}, {"interpolation", "CUBICSPLINE"}},
        {{"input", move_times}, {"output", moves}},
        {{"input", scale_times}, {"output", scales}, {"interpolation", "STEP"}}}},
      {"channels",
       {{{"sampler", 0}, {"target", {{"node", 1}, {"path", "rotation"}}}},
        {{"sampler", 1}, {"target", {{"node", 0}, {"path", "translation"}}}},
        {{"sampler", 2}, {"target", {{"node", 1}, {"path", "scale"}}}}}},
  }});
  const Imported r = Import(f.GltfBytes());
  ASSERT_TRUE(r.ok) << r.error;
  ASSERT_EQ(r.scene.poses.size(), 1u);
  const Pose& pose = r.scene.poses[0];
  EXPECT_EQ(pose.name, "Wave");
  const int root = ObjectNamed(r.scene, "Root");
  const int bone = ObjectNamed(r.scene, "Bone");
  const int body = ObjectNamed(r.scene, "Body");
  EXPECT_VEC3_NEAR(r.scene.objects[bone].pivot, FVECTOR3(0, 100, 0), 1e-4f);
  EXPECT_VEC3_NEAR(pose.objects[root].translation, FVECTOR3(50, 0, 0), 1e-4f);
  EXPECT_QUAT_NEAR(pose.objects[bone].rotation, turn, 1e-6f);
  EXPECT_VEC3_NEAR(pose.objects[bone].scale, FVECTOR3(2, 1, 1), 1e-6f);
  EXPECT_VEC3_NEAR(pose.objects[bone].translation, FVECTOR3(0, 0, 0), 1e-4f);

  // The file's skinning, v·IBM·(S·R·T of Bone)·(T of Root), in metres.
  const FMATRIX gltf_world = FMATRIX::Translation(FVECTOR3(0, -1, 0)) * FMATRIX::Scaling(FVECTOR3(2, 1, 1)) *
                             FMATRIX::FromQuat(turn) * FMATRIX::Translation(FVECTOR3(0, 1, 0)) *
                             FMATRIX::Translation(FVECTOR3(0.5f, 0, 0));
  const std::vector<FVECTOR3> stored = {FVECTOR3(0, 2, 0), FVECTOR3(0.1f, 2, 0), FVECTOR3(0, 2, 0.1f)};
  for (int v = 0; v < 3; ++v) {
    EXPECT_VEC3_NEAR(Posed(r.scene, pose, body, v), gltf_world.TransformPoint(stored[v]) * 100.0f, 1e-3f)
        << v;
  }
  EXPECT_VEC3_NEAR(Posed(r.scene, pose, body, 1), FVECTOR3(-50, 120, 0), 1e-3f);
}

TEST(GltfImportPoses, TurnedBindPoseApartFromTheRestPoseAndARigidChildPoseAsTheFileDoes) {
  // Joint J was bound turned 45 degrees about X at (1, 0.2, 0) but rests
  // turned 10 degrees about Z at (1, 0, 0); a rigid Cap rides on it; the
  // animation turns and moves J.
  Fixture f(R"({
    "scenes": [{"nodes": [0, 2]}],
    "nodes": [
      {"name": "J", "translation": [1, 0, 0], "children": [1]},
      {"name": "Cap", "translation": [0, 1, 0], "mesh": 1},
      {"name": "Body", "mesh": 0, "skin": 0}
    ],
    "meshes": [{"primitives": [{"attributes": {}}]}, {"primitives": [{"attributes": {}}]}],
    "skins": [{"joints": [0]}]
  })");
  const FQUAT rest = AxisAngle(0, 0, 1, 10);
  f["nodes"][0]["rotation"] = Quat(rest);
  const FMATRIX j_rest = FMATRIX::FromQuat(rest) * FMATRIX::Translation(FVECTOR3(1, 0, 0));
  const FMATRIX bind = FMATRIX::FromQuat(AxisAngle(1, 0, 0, 45)) * FMATRIX::Translation(FVECTOR3(1, 0.2f, 0));
  f["skins"][0]["inverseBindMatrices"] = f.Matrices({bind.Inverse()});
  SetSkinnedVertices(f, {1, 1, 0, 2, 1, 0, 1, 1, 1}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                     {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}, {0, 1, 2});
  f["meshes"][1]["primitives"][0]["attributes"]["POSITION"] =
      f.Floats({0, 0, 0, 0.5f, 0, 0, 0, 0.5f, 0}, "VEC3");
  const FQUAT posed = AxisAngle(0.3f, 1, 0.2f, 70);
  f["animations"] = json::array({{
      {"name", "Turn"},
      {"samplers",
       {{{"input", f.Floats({0}, "SCALAR")},
         {"output", f.Floats({posed.x, posed.y, posed.z, posed.w}, "VEC4")}},
        {{"input", f.Floats({0}, "SCALAR")}, {"output", f.Floats({1, 0.5f, -0.25f}, "VEC3")}}}},
      {"channels",
       {{{"sampler", 0}, {"target", {{"node", 0}, {"path", "rotation"}}}},
        {{"sampler", 1}, {"target", {{"node", 0}, {"path", "translation"}}}}}},
  }});
  const Imported r = Import(f.GltfBytes(), std::string(), 1.0f);
  ASSERT_TRUE(r.ok) << r.error;
  ASSERT_EQ(r.scene.poses.size(), 1u);
  const Pose& pose = r.scene.poses[0];
  const int body = ObjectNamed(r.scene, "Body");
  const int cap = ObjectNamed(r.scene, "Cap");
  // A joint rests where it was bound: its pivot and vertices as stored.
  EXPECT_VEC3_NEAR(r.scene.objects[ObjectNamed(r.scene, "J")].pivot, FVECTOR3(1, 0.2f, 0), 1e-6f);
  EXPECT_VEC3_NEAR(r.scene.objects[body].vertices[1], FVECTOR3(2, 1, 0), 1e-6f);

  const FMATRIX j_posed = FMATRIX::FromQuat(posed) * FMATRIX::Translation(FVECTOR3(1, 0.5f, -0.25f));
  const FMATRIX skin = bind.Inverse() * j_posed;
  const std::vector<FVECTOR3> stored = {FVECTOR3(1, 1, 0), FVECTOR3(2, 1, 0), FVECTOR3(1, 1, 1)};
  for (int v = 0; v < 3; ++v) {
    EXPECT_VEC3_NEAR(Posed(r.scene, pose, body, v), skin.TransformPoint(stored[v]), 1e-5f) << v;
  }
  // The rigid cap (not a joint): stored through its rest global, posed
  // through its posed global.
  const FMATRIX cap_local = FMATRIX::Translation(FVECTOR3(0, 1, 0));
  const std::vector<FVECTOR3> cap_stored = {FVECTOR3(0, 0, 0), FVECTOR3(0.5f, 0, 0), FVECTOR3(0, 0.5f, 0)};
  for (int v = 0; v < 3; ++v) {
    EXPECT_VEC3_NEAR(r.scene.objects[cap].vertices[v], (cap_local * j_rest).TransformPoint(cap_stored[v]),
                     1e-5f);
    EXPECT_VEC3_NEAR(Posed(r.scene, pose, cap, v), (cap_local * j_posed).TransformPoint(cap_stored[v]),
                     1e-5f);
  }
}

TEST(GltfImportPoses, FilesOfThisPlugInComeBackWithoutTheirAddedParts) {
  // The layout the exporter writes: the added root "rig" (first joint),
  // object nodes below it, the skinned mesh on a root node of its own tied
  // to its object, a pose and the sequence of poses.
  Fixture f(R"({
    "asset": {"version": "2.0", "extras": {"quorvel": {"unitScale": 0.01}}},
    "scenes": [{"nodes": [0, 3]}],
    "nodes": [
      {"name": "rig", "children": [1], "extras": {"quorvel": {"role": "root"}}},
      {"name": "arm", "translation": [0, 1, 0], "children": [2]},
      {"name": "body", "translation": [0, 0.5, 0]},
      {"name": "body", "mesh": 0, "skin": 0, "extras": {"quorvel": {"object": 2}}}
    ],
    "meshes": [{"primitives": [{"attributes": {}}], "extras": {"targetNames": ["smile"]}}],
    "skins": [{"joints": [0, 1], "skeleton": 0}]
  })");
  f["skins"][0]["inverseBindMatrices"] = f.Matrices({FMATRIX(), FMATRIX::Translation(FVECTOR3(0, -1, 0))});
  SetSkinnedVertices(f, {0, 2, 0, 1, 2, 0, 0, 1.5f, 0}, {1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0},
                     {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}, {0, 1, 2});
  f["meshes"][0]["primitives"][0]["targets"] = {
      {{"POSITION", f.Floats({0, 0, 1, 0, 0, 0, 0, 0, 0}, "VEC3")}}};
  const FQUAT q = AxisAngle(1, 0, 0, 30);
  const int t0 = f.Floats({0}, "SCALAR");
  const int t01 = f.Floats({0, 1}, "SCALAR");
  f["animations"] = json::array(
      {{{"name", "lift"},
        {"samplers",
         {{{"input", t0}, {"output", f.Floats({q.x, q.y, q.z, q.w}, "VEC4")}},
          {{"input", t0}, {"output", f.Floats({0.75f}, "SCALAR")}}}},
        {"channels",
         {{{"sampler", 0}, {"target", {{"node", 1}, {"path", "rotation"}}}},
          {{"sampler", 1}, {"target", {{"node", 3}, {"path", "weights"}}}}}}},
       {{"name", "poses"},
        {"extras", {{"quorvel", {{"role", "sequence"}}}}},
        {"samplers", {{{"input", t01}, {"output", f.Floats({0, 0, 0, 1, q.x, q.y, q.z, q.w}, "VEC4")}}}},
        {"channels", {{{"sampler", 0}, {"target", {{"node", 1}, {"path", "rotation"}}}}}}}});
  const Imported r = Import(f.Glb());
  ASSERT_TRUE(r.ok) << r.error;
  ASSERT_EQ(r.scene.objects.size(), 2u);
  EXPECT_EQ(r.scene.objects[0].name, "arm");
  EXPECT_EQ(r.scene.objects[0].parent, kNoParent);
  EXPECT_EQ(r.scene.objects[1].name, "body");
  EXPECT_EQ(r.scene.objects[1].parent, 0);
  EXPECT_EQ(r.report.joints, 1);
  EXPECT_FLOAT_EQ(r.report.file_unit_scale, 0.01f);
  const Object& body = r.scene.objects[1];
  EXPECT_VEC3_NEAR(body.pivot, FVECTOR3(0, 150, 0), 1e-4f);
  ASSERT_EQ(body.vertices.size(), 3u);
  ASSERT_EQ(body.WeightListCount(), 3u);
  EXPECT_EQ(body.WeightsOf(0).size(), 1u);
  EXPECT_EQ(body.WeightsOf(0)[0].bone, 0);
  // Held by the added root only: no weight, as the plug-in had it.
  EXPECT_TRUE(body.WeightsOf(2).empty());
  ASSERT_EQ(body.morphs.size(), 1u);
  EXPECT_EQ(body.morphs[0].name, "smile");
  ASSERT_EQ(r.scene.poses.size(), 1u);
  EXPECT_EQ(r.scene.poses[0].name, "lift");
  EXPECT_QUAT_NEAR(r.scene.poses[0].objects[0].rotation, q, 1e-6f);
  EXPECT_FLOAT_EQ(r.scene.poses[0].objects[1].morph_weights[0], 0.75f);
  // The body node itself is not posed.
  EXPECT_QUAT_NEAR(r.scene.poses[0].objects[1].rotation, FQUAT(), 1e-7f);
  EXPECT_VEC3_NEAR(r.scene.poses[0].objects[1].translation, FVECTOR3(), 1e-6f);
}

// ---------------------------------------------------------------- bad input

// A small valid file that every row of the table breaks in one place.
Fixture BaseForBreaking() {
  Fixture f = SkinnedChain();
  SetSkinnedVertices(f, {0, 2, 0, 1, 2, 0, 0, 1, 0}, {1, 0, 0, 0, 0, 1, 0, 0, 1, 0, 0, 0},
                     {1, 0, 0, 0, 0.5f, 0.5f, 0, 0, 1, 0, 0, 0}, {0, 1, 2});
  const int times = f.Floats({0}, "SCALAR");
  const int values = f.Floats({0, 0, 0, 1}, "VEC4");
  f["animations"] =
      json::array({{{"name", "Pose"},
                    {"samplers", {{{"input", times}, {"output", values}}}},
                    {"channels", {{{"sampler", 0}, {"target", {{"node", 1}, {"path", "rotation"}}}}}}}});
  return f;
}

// Accessor numbers of BaseForBreaking: 0 inverse bind matrices, 1 POSITION,
// 2 JOINTS_0, 3 WEIGHTS_0, 4 indices, 5 times, 6 rotations.
constexpr int kPositions = 1;
constexpr int kJoints = 2;
constexpr int kWeights = 3;
constexpr int kIndices = 4;

void PutFloat(Fixture& f, int accessor, size_t at, float value) {
  const json& view = f["bufferViews"][f["accessors"][accessor]["bufferView"].get<int>()];
  std::memcpy(f.bin().data() + view["byteOffset"].get<size_t>() + 4 * at, &value, 4);
}

struct BadCase {
  const char* name;
  std::function<std::vector<uint8_t>()> bytes;
  const char* message;  // a part of the expected message
};

std::vector<uint8_t> Text(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

std::vector<uint8_t> Broken(const std::function<void(Fixture&)>& edit) {
  Fixture f = BaseForBreaking();
  edit(f);
  return f.GltfBytes();
}

const std::vector<BadCase>& BadCases() {
  static const std::vector<BadCase> cases = {
      {"not glTF", [] { return Text("solid cube\nfacet normal 0 0 1\n"); }, "not a glTF file"},
      {"JSON without asset", [] { return Text(R"({"nodes": []})"); }, "asset"},
      {"broken JSON", [] { return Text(R"({"asset": {"version": "2.0"}, "nodes": [)"); },
       "cannot be read as glTF"},
      {"glTF 1", [] { return Broken([](Fixture& f) { f["asset"]["version"] = "1.0"; }); }, "is not 2.x"},
      {"cut-short glb",
       [] {
         std::vector<uint8_t> glb = BaseForBreaking().Glb();
         glb.resize(glb.size() - 10);
         return glb;
       },
       "cut short"},
      {"glb chunk past its end",
       [] {
         std::vector<uint8_t> glb = BaseForBreaking().Glb();
         glb[12] = 0xFF;
         glb[13] = 0xFF;
         return glb;
       },
       "chunk 0 needs"},
      {"glb of version 1",
       [] {
         std::vector<uint8_t> glb = BaseForBreaking().Glb();
         glb[4] = 1;
         return glb;
       },
       "version 1 is not 2"},
      {"index out of range",
       [] {
         return Broken([](Fixture& f) {
           const size_t at =
               f["bufferViews"][f["accessors"][kIndices]["bufferView"].get<int>()]["byteOffset"];
           f.bin()[at + 2] = 9;
         });
       },
       "index 9 (at 1) is out of range for 3 vertices"},
      {"accessor past its buffer view",
       [] { return Broken([](Fixture& f) { f["accessors"][kPositions]["count"] = 4; }); },
       "reaches past the end of buffer view"},
      {"accessor offset past its buffer view",
       [] { return Broken([](Fixture& f) { f["accessors"][kPositions]["byteOffset"] = 4294967292u; }); },
       "reaches past the end of buffer view"},
      {"buffer view past its buffer",
       [] {
         return Broken([](Fixture& f) {
           json& last = f["bufferViews"].back();
           last["byteLength"] = last["byteLength"].get<int>() + 4;
         });
       },
       "reaches past the end of buffer 0"},
      {"stride past the buffer view",
       [] { return Broken([](Fixture& f) { f["bufferViews"][1]["byteStride"] = 16; }); }, "stride 16"},
      {"stride shorter than an element",
       [] { return Broken([](Fixture& f) { f["bufferViews"][1]["byteStride"] = 4; }); },
       "byte stride 4 does not fit"},
      {"sparse index out of range",
       [] {
         return Broken([](Fixture& f) {
           const int index = f.Bytes({7}, "SCALAR", false);
           const int value = f.Floats({0, 0, 0}, "VEC3");
           f["accessors"][kPositions]["sparse"] = {
               {"count", 1},
               {"indices", {{"bufferView", f["accessors"][index]["bufferView"]}, {"componentType", 5121}}},
               {"values", {{"bufferView", f["accessors"][value]["bufferView"]}}}};
         });
       },
       "sparse index 7"},
      {"sparse values past their view",
       [] {
         return Broken([](Fixture& f) {
           const int index = f.Bytes({0, 1}, "SCALAR", false);
           const int value = f.Floats({0, 0, 0}, "VEC3");
           f["accessors"][kPositions]["sparse"] = {
               {"count", 2},
               {"indices", {{"bufferView", f["accessors"][index]["bufferView"]}, {"componentType", 5121}}},
               {"values", {{"bufferView", f["accessors"][value]["bufferView"]}}}};
         });
       },
       "(sparse values)"},
      {"missing accessor",
       [] {
         return Broken([](Fixture& f) { f["meshes"][0]["primitives"][0]["attributes"]["TEXCOORD_0"] = 40; });
       },
       "accessor 40 does not exist"},
      {"node cycle",
       [] {
         return Broken([](Fixture& f) {
           f["nodes"][0]["children"] = json::array();
           f["nodes"][1]["children"] = {2};
           f["nodes"][2]["children"] = {1};
         });
       },
       "node cycle"},
      {"node its own child", [] { return Broken([](Fixture& f) { f["nodes"][2]["children"] = {2}; }); },
       "its own child"},
      {"two parents", [] { return Broken([](Fixture& f) { f["nodes"][2]["children"] = {1}; }); },
       "has two parents (nodes 0 and 2)"},
      {"missing child", [] { return Broken([](Fixture& f) {
                               f["nodes"][0]["children"] = {1, 12};
                             }); },
       "has child 12, which does not exist"},
      {"missing mesh", [] { return Broken([](Fixture& f) { f["nodes"][2]["mesh"] = 3; }); },
       "uses mesh 3, which does not exist"},
      {"scene root that is a child",
       [] { return Broken([](Fixture& f) {
              f["scenes"][0]["nodes"] = {0, 1, 2};
            }); },
       "but it is a child of node 0"},
      {"joints without a common root",
       [] {
         return Broken([](Fixture& f) {
           f["nodes"].push_back({{"name", "Loose"}});
           f["scenes"][0]["nodes"].push_back(3);
           f["skins"][0]["joints"] = {0, 3};
         });
       },
       "have no common root"},
      {"weights on joints outside the scene",
       [] { return Broken([](Fixture& f) { f["scenes"][0]["nodes"] = {2}; }); },
       "is weighted to node 1 \"Bone\", which is not an object of the scene"},
      {"NaN position",
       [] {
         return Broken(
             [](Fixture& f) { PutFloat(f, kPositions, 4, std::numeric_limits<float>::quiet_NaN()); });
       },
       "POSITION: accessor 1 holds a number that is not finite (element 1)"},
      {"infinite weight",
       [] {
         return Broken([](Fixture& f) { PutFloat(f, kWeights, 0, std::numeric_limits<float>::infinity()); });
       },
       "not finite"},
      {"number beyond double",
       [] { return Text(R"({"asset": {"version": "2.0"}, "nodes": [{"translation": [1e999, 0, 0]}]})"); },
       "number overflow"},
      {"absurd count",
       [] {
         return Broken([](Fixture& f) {
           f["accessors"][kPositions].erase("bufferView");
           f["accessors"][kPositions]["count"] = 3000000000u;
         });
       },
       "claims 3000000000 elements"},
      {"joint past the skin",
       [] {
         return Broken([](Fixture& f) {
           f.bin()[f["bufferViews"][f["accessors"][kJoints]["bufferView"].get<int>()]["byteOffset"]
                       .get<size_t>()] = 7;
         });
       },
       "uses joint 7, but skin 0 has 2"},
      {"negative weight", [] { return Broken([](Fixture& f) { PutFloat(f, kWeights, 4, -0.5f); }); },
       "negative weight"},
      {"singular inverse bind matrix",
       [] {
         return Broken([](Fixture& f) {
           // Bone's matrix with a zero 3x3 part, still affine.
           for (int i = 0; i < 15; ++i) PutFloat(f, 0, 16 + i, 0.0f);
         });
       },
       "cannot be inverted"},
      {"too few inverse bind matrices",
       [] {
         return Broken([](Fixture& f) { f["skins"][0]["inverseBindMatrices"] = f.Matrices({FMATRIX()}); });
       },
       "has 2 joints but 1 inverse bind matrices"},
      {"animation output count",
       [] {
         return Broken([](Fixture& f) {
           f["animations"][0]["samplers"][0]["output"] = f.Floats({0, 0, 0, 1, 0, 0, 0, 1}, "VEC4");
         });
       },
       "8 output values for 1 keyframes"},
      {"animation sampler missing",
       [] { return Broken([](Fixture& f) { f["animations"][0]["channels"][0]["sampler"] = 5; }); },
       "uses sampler 5, which does not exist"},
      {"animation node missing",
       [] { return Broken([](Fixture& f) { f["animations"][0]["channels"][0]["target"]["node"] = 9; }); },
       "animates node 9, which does not exist"},
      {"keyframes out of order",
       [] {
         return Broken([](Fixture& f) {
           f["animations"][0]["samplers"][0]["input"] = f.Floats({1, 0}, "SCALAR");
           f["animations"][0]["samplers"][0]["output"] = f.Floats({0, 0, 0, 1, 0, 0, 0, 1}, "VEC4");
         });
       },
       "keyframe times are not in order"},
      {"unknown primitive mode",
       [] { return Broken([](Fixture& f) { f["meshes"][0]["primitives"][0]["mode"] = 9; }); },
       "unknown mode 9"},
      {"projective node matrix",
       [] {
         return Broken([](Fixture& f) {
           f["nodes"][0]["matrix"] = {1, 0, 0, 0.5, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
         });
       },
       "is not an affine transform"},
      {"morph target counts differ",
       [] {
         return Broken([](Fixture& f) {
           json& mesh = f["meshes"][0];
           json second = mesh["primitives"][0];
           second["targets"] = {{{"POSITION", kPositions}}};
           mesh["primitives"].push_back(second);
         });
       },
       "different numbers of morph targets"},
      {"compressed geometry",
       [] { return Broken([](Fixture& f) { f["extensionsRequired"] = {"KHR_draco_mesh_compression"}; }); },
       "requires the extension KHR_draco_mesh_compression"},
      {"buffer outside the folder",
       [] {
         Fixture f = BaseForBreaking();
         json doc = json::parse(f.Gltf());
         doc["buffers"][0]["uri"] = "../secret.bin";
         const std::string text = doc.dump();
         return std::vector<uint8_t>(text.begin(), text.end());
       },
       "not found"},
  };
  return cases;
}

TEST(GltfImportBadInput, EachCaseIsRefusedWithItsMessageAndTheSceneKept) {
  const std::string kept = Fingerprint(Sentinel());
  ASSERT_TRUE(Import(BaseForBreaking().GltfBytes()).ok) << Import(BaseForBreaking().GltfBytes()).error;
  ASSERT_TRUE(Import(BaseForBreaking().Glb()).ok);
  TempFolder folder;
  folder.Write("secret.bin", std::vector<uint8_t>(512, 0));
  for (const BadCase& c : BadCases()) {
    Scene scene = Sentinel();
    ImportReport report;
    std::string error;
    const bool ok = ImportGltfBytes(c.bytes(), "fixture.gltf", folder.Path("inner"), ImportOptions(), &scene,
                                    &report, &error);
    EXPECT_FALSE(ok) << c.name;
    EXPECT_EQ(error.rfind("fixture.gltf: ", 0), 0u) << c.name << ": " << error;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.name << ": " << error;
    EXPECT_EQ(Fingerprint(scene), kept) << c.name;
  }
}

TEST(GltfImportBadInput, FilesAreReadOnlyInsideTheirFolder) {
  TempFolder folder;
  Fixture f = BaseForBreaking();
  json doc = json::parse(f.Gltf());
  folder.Write("inner/body.bin", f.bin());
  folder.Write("body.bin", f.bin());
  doc["buffers"][0]["uri"] = "body.bin";
  const std::string inside = doc.dump();
  const std::string path = folder.Write("inner/rig.gltf", Text(inside));
  Scene scene;
  ImportReport report;
  std::string error;
  ASSERT_TRUE(ImportGltf(path, ImportOptions(), &scene, &report, &error)) << error;
  EXPECT_EQ(scene.texture_folder, folder.Path("inner"));
  EXPECT_EQ(report.objects, 3);

  // The same file in memory has no folder to read buffers from.
  scene = Sentinel();
  EXPECT_FALSE(
      ImportGltfBytes(Text(inside), "rig.gltf", std::string(), ImportOptions(), &scene, &report, &error));
  EXPECT_EQ(Fingerprint(scene), Fingerprint(Sentinel()));

  // Parent folders and absolute paths are out of reach.
  for (const std::string& uri : {std::string("../body.bin"), std::string("..%2Fbody.bin"),
                                 folder.Path("body.bin"), std::string("inner/../../body.bin")}) {
    doc["buffers"][0]["uri"] = uri;
    const std::string outside = folder.Write("inner/outside.gltf", Text(doc.dump()));
    scene = Sentinel();
    EXPECT_FALSE(ImportGltf(outside, ImportOptions(), &scene, &report, &error)) << uri;
    EXPECT_EQ(error.rfind(outside + ": ", 0), 0u) << error;
    EXPECT_EQ(Fingerprint(scene), Fingerprint(Sentinel())) << uri;
  }

  const std::string missing = folder.Path("none.glb");
  EXPECT_FALSE(ImportGltf(missing, ImportOptions(), &scene, &report, &error));
  EXPECT_EQ(error, missing + ": cannot be opened");
}

TEST(GltfImportBadInput, UnitScaleMustBePositive) {
  for (float scale : {0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN()}) {
    const Imported r = Import(RigidTriangle().GltfBytes(), std::string(), scale);
    EXPECT_FALSE(r.ok) << scale;
    EXPECT_NE(r.error.find("unit scale"), std::string::npos) << r.error;
  }
}

// ---------------------------------------------------------------- others'
// files

const char kAssimpGltf2[] = "/usr/share/assimp/models/glTF2/";

struct Sample {
  const char* path;  // below kAssimpGltf2
  int objects;
  int joints;
  int vertices;
  int targets;
  int poses;
};

TEST(GltfImportSamples, AssimpTestModelsImportWithTheirRigs) {
  // Counts worked out from each file: simple_skin's three nodes (the skinned
  // mesh and two joints) with ten distinct vertices, the morph cube's 24
  // corners welded to 8 where position and both targets' deltas agree,
  // BoxTextured's 24 corners welded to 8 (texture coordinates stay with the
  // faces) below its matrix node.
  const Sample samples[] = {
      {"simple_skin/simple_skin.gltf", 3, 2, 10, 0, 1},
      {"glTF-Sample-Models/AnimatedMorphCube-glTF/AnimatedMorphCube.gltf", 1, 0, 8, 2, 1},
      {"BoxTextured-glTF-Binary/BoxTextured.glb", 2, 0, 8, 0, 0},
  };
  for (const Sample& s : samples) {
    const std::string path = std::string(kAssimpGltf2) + s.path;
    if (!fs::exists(path)) GTEST_SKIP() << path << " is missing (Debian package assimp-testmodels)";
    Scene scene;
    ImportReport report;
    std::string error;
    ASSERT_TRUE(ImportGltf(path, ImportOptions(), &scene, &report, &error)) << error;
    EXPECT_EQ(report.objects, s.objects) << path;
    EXPECT_EQ(report.joints, s.joints) << path;
    EXPECT_EQ(report.vertices, s.vertices) << path;
    EXPECT_EQ(report.targets, s.targets) << path;
    EXPECT_EQ(report.poses, s.poses) << path;
  }
}

TEST(GltfImportSamples, AssimpBrokenModelsAreRefused) {
  const std::pair<const char*, const char*> broken[] = {
      {"RecursiveNodes/RecursiveNodes.gltf", "node cycle"},
      {"IndexOutOfRange/IndexOutOfRange.gltf", "is out of range for 24 vertices"},
      {"IndexOutOfRange/AllIndicesOutOfRange.gltf", "is out of range for 24 vertices"},
      {"BoxWithInfinites-glTF-Binary/BoxWithInfinites.glb", "not finite"},
      {"MissingBin/BoxTextured.gltf", "not found"},
  };
  for (const auto& [file, message] : broken) {
    const std::string path = std::string(kAssimpGltf2) + file;
    if (!fs::exists(path)) GTEST_SKIP() << path << " is missing (Debian package assimp-testmodels)";
    Scene scene = Sentinel();
    ImportReport report;
    std::string error;
    EXPECT_FALSE(ImportGltf(path, ImportOptions(), &scene, &report, &error)) << path;
    EXPECT_EQ(error.rfind(path + ": ", 0), 0u) << error;
    EXPECT_NE(error.find(message), std::string::npos) << error;
    EXPECT_EQ(Fingerprint(scene), Fingerprint(Sentinel())) << path;
  }
}

}  // namespace
