// The glTF exporter, read back with a plain JSON parser (never with our own
// importer): the layout of nodes, skin and animations, how polygons become
// triangles and vertices, the skin weights glTF requires, and what bad input
// and unwritable paths give.
#include "io/gltf_export.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "scratch_settings.h"
#include "tests/support/float_checks.h"

namespace {

namespace fs = std::filesystem;
namespace g = quorvel::gltf;
using Json = nlohmann::json;

constexpr float kTol = 1e-6f;

// ---------------------------------------------------------------- reading the
// file back

// A .glb split into its JSON and binary chunks, with typed access to accessors.
struct Glb {
  Json json;
  std::vector<uint8_t> bin;

  const Json& Accessor(int index) const { return json["accessors"][static_cast<size_t>(index)]; }

  // Every component of the accessor as a double (normalised integers as
  // stored), `count * components` values.
  std::vector<double> Values(int index) const {
    const Json& accessor = Accessor(index);
    const Json& view = json["bufferViews"][accessor["bufferView"].get<size_t>()];
    static const std::map<std::string, size_t> kComponents = {
        {"SCALAR", 1}, {"VEC2", 2}, {"VEC3", 3}, {"VEC4", 4}, {"MAT4", 16}};
    const size_t components = kComponents.at(accessor["type"].get<std::string>());
    const size_t count = accessor["count"].get<size_t>() * components;
    const size_t start = view["byteOffset"].get<size_t>() + accessor.value("byteOffset", size_t{0});
    const int type = accessor["componentType"].get<int>();
    std::vector<double> out;
    for (size_t i = 0; i < count; ++i) {
      switch (type) {
        case 5121:
          out.push_back(bin.at(start + i));
          break;
        case 5123: {
          uint16_t v;
          std::memcpy(&v, &bin.at(start + 2 * i), 2);
          out.push_back(v);
          break;
        }
        case 5125: {
          uint32_t v;
          std::memcpy(&v, &bin.at(start + 4 * i), 4);
          out.push_back(v);
          break;
        }
        default: {
          float v;
          std::memcpy(&v, &bin.at(start + 4 * i), 4);
          out.push_back(v);
        }
      }
    }
    return out;
  }

  std::vector<FVECTOR3> Vec3s(int index) const {
    const std::vector<double> v = Values(index);
    std::vector<FVECTOR3> out;
    for (size_t i = 0; i + 2 < v.size(); i += 3) {
      out.push_back({static_cast<float>(v[i]), static_cast<float>(v[i + 1]), static_cast<float>(v[i + 2])});
    }
    return out;
  }

  const Json& Primitive(size_t mesh, size_t primitive = 0) const {
    return json["meshes"][mesh]["primitives"][primitive];
  }
  int Attribute(size_t mesh, const char* name, size_t primitive = 0) const {
    return Primitive(mesh, primitive)["attributes"][name].get<int>();
  }
};

uint32_t U32(const std::vector<uint8_t>& bytes, size_t at) {
  uint32_t v;
  std::memcpy(&v, &bytes.at(at), 4);
  return v;
}

// Parses the GLB framing strictly: the parser throws on invalid UTF-8.
Glb ParseGlb(const std::vector<uint8_t>& bytes) {
  Glb glb;
  EXPECT_GE(bytes.size(), 20u);
  EXPECT_EQ(U32(bytes, 0), 0x46546C67u);
  EXPECT_EQ(U32(bytes, 4), 2u);
  EXPECT_EQ(U32(bytes, 8), bytes.size());
  const uint32_t json_length = U32(bytes, 12);
  EXPECT_EQ(U32(bytes, 16), 0x4E4F534Au);
  EXPECT_EQ(json_length % 4, 0u);
  const std::string text(bytes.begin() + 20, bytes.begin() + 20 + json_length);
  glb.json = Json::parse(text);
  const size_t bin_at = 20 + json_length;
  if (bin_at < bytes.size()) {
    const uint32_t bin_length = U32(bytes, bin_at);
    EXPECT_EQ(U32(bytes, bin_at + 4), 0x004E4942u);
    EXPECT_EQ(bin_length % 4, 0u);
    EXPECT_EQ(bin_at + 8 + bin_length, bytes.size());
    glb.bin.assign(bytes.begin() + static_cast<ptrdiff_t>(bin_at + 8), bytes.end());
    EXPECT_EQ(glb.json["buffers"][0]["byteLength"].get<size_t>(), glb.bin.size());
  }
  return glb;
}

Glb Export(const g::Scene& scene, float unit_scale = 1.0f, g::ExportReport* report = nullptr) {
  g::ExportOptions options;
  options.unit_scale = unit_scale;
  std::vector<uint8_t> bytes;
  std::string error;
  EXPECT_TRUE(g::ExportGlb(scene, options, &bytes, report, &error)) << error;
  return ParseGlb(bytes);
}

std::vector<uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class Scratch {
 public:
  Scratch() : path_(fs::temp_directory_path() / ("quorvel-gltf-" + quorvel_test::RandomSuffix())) {
    fs::create_directories(path_);
  }
  ~Scratch() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  const fs::path& path() const { return path_; }
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_)) names.insert(entry.path().filename().string());
    return names;
  }

 private:
  fs::path path_;
};

// ---------------------------------------------------------------- scenes

int AddObject(g::Scene& scene, const std::string& name, int parent, const FVECTOR3& pivot) {
  g::Object object;
  object.name = name;
  object.parent = parent;
  object.pivot = pivot;
  scene.objects.push_back(object);
  return static_cast<int>(scene.objects.size()) - 1;
}

// A face with texture coordinates (0, 0 unless given) and white corners.
void AddFace(g::Object& object, const std::vector<int>& points, int material = g::kNoMaterial,
             std::vector<FVECTOR2> uv = {}) {
  uv.resize(points.size());
  object.AddFace(points, uv, std::vector<uint32_t>(points.size(), 0xFFFFFFFFu), material);
}

void SetWeights(g::Object& object, const std::vector<std::vector<g::BoneWeight>>& lists) {
  object.weight_start.clear();
  object.weight_entries.clear();
  for (const auto& list : lists) object.AddVertexWeights(list);
}

// A cube from -1 to 1, each face clockwise seen from outside (the modeller's
// order). Vertex i has x = bit 0, y = bit 1, z = bit 2.
g::Object Cube(const std::string& name) {
  g::Object cube;
  cube.name = name;
  for (int i = 0; i < 8; ++i)
    cube.vertices.push_back({(i & 1) ? 1.0f : -1.0f, (i & 2) ? 1.0f : -1.0f, (i & 4) ? 1.0f : -1.0f});
  // Seen from +Z (x right, y up) the +Z face goes top-left, top-right,
  // bottom-right, bottom-left: clockwise.
  for (const std::vector<int>& points :
       {std::vector<int>{6, 7, 5, 4}, std::vector<int>{3, 2, 0, 1}, std::vector<int>{2, 3, 7, 6},
        std::vector<int>{4, 5, 1, 0}, std::vector<int>{7, 3, 1, 5}, std::vector<int>{2, 6, 4, 0}})
    AddFace(cube, points);
  return cube;
}

// One polygon over all of an object's vertices, placed at x = 0, 1, 2, ...
// so a file vertex tells its document vertex by its x.
void AddRowPolygon(g::Object& object, int count) {
  for (int i = 0; i < count; ++i) {
    const float x = static_cast<float>(i);
    object.vertices.push_back({x, static_cast<float>((i * i) % 5), 0.0f});
  }
  std::vector<int> points;
  for (int i = 0; i < count; ++i) points.push_back(i);
  AddFace(object, points);
  object.shading = 0;
}

// ---------------------------------------------------------------- layout

// The rig: shoulder (10,0,0) > elbow (30,0,0) > wrist (50,5,0), a weighted
// sleeve (pivot (2,0,0)) and a rigid hand under the wrist (pivot (55,5,0)).
g::Scene Rig() {
  g::Scene scene;
  const int sleeve = AddObject(scene, "sleeve", g::kNoParent, {2, 0, 0});
  const int shoulder = AddObject(scene, "shoulder", g::kNoParent, {10, 0, 0});
  const int elbow = AddObject(scene, "elbow", shoulder, {30, 0, 0});
  const int wrist = AddObject(scene, "wrist", elbow, {50, 5, 0});
  const int hand = AddObject(scene, "hand", wrist, {55, 5, 0});
  AddRowPolygon(scene.objects[static_cast<size_t>(sleeve)], 3);
  SetWeights(scene.objects[static_cast<size_t>(sleeve)], {{{shoulder, 1}}, {{elbow, 1}}, {{wrist, 1}}});
  scene.objects[static_cast<size_t>(hand)].vertices = {{55, 5, 0}, {56, 5, 0}, {55, 6, 0}};
  AddFace(scene.objects[static_cast<size_t>(hand)], {0, 2, 1});
  return scene;
}

TEST(GltfExportLayout, NodesSkinAndInverseBindMatrices) {
  g::ExportReport report;
  const Glb glb = Export(Rig(), 0.5f, &report);
  const Json& nodes = glb.json["nodes"];
  // Node 0 is the added root; object i is node i + 1; the skinned mesh's
  // node comes after the objects.
  ASSERT_EQ(nodes.size(), 7u);
  EXPECT_EQ(nodes[0]["name"], "rig");
  EXPECT_EQ(nodes[0]["extras"]["quorvel"]["role"], "root");
  EXPECT_EQ(nodes[0]["children"], Json({1, 2}));
  EXPECT_EQ(nodes[2]["children"], Json({3}));
  EXPECT_EQ(nodes[3]["children"], Json({4}));
  EXPECT_EQ(nodes[4]["children"], Json({5}));
  EXPECT_EQ(glb.json["scenes"][0]["nodes"], Json({0, 6}));

  // Rest translations: pivot minus the parent's pivot, in metres.
  struct Rest {
    size_t node;
    FVECTOR3 translation;
  };
  const Rest rests[] = {
      {1, {1, 0, 0}}, {2, {5, 0, 0}}, {3, {10, 0, 0}}, {4, {10, 2.5f, 0}}, {5, {2.5f, 0, 0}}};
  for (const Rest& r : rests) {
    SCOPED_TRACE(nodes[r.node]["name"].get<std::string>());
    const Json& t = nodes[r.node]["translation"];
    EXPECT_VEC3_NEAR(FVECTOR3(t[0].get<float>(), t[1].get<float>(), t[2].get<float>()), r.translation, kTol);
    EXPECT_FALSE(nodes[r.node].contains("rotation"));
  }

  // The rigid hand rides on its node, positions relative to its pivot; the
  // sleeve's mesh is on its own root node, in document coordinates.
  EXPECT_EQ(nodes[5]["mesh"], 1);
  EXPECT_VEC3_NEAR(glb.Vec3s(glb.Attribute(1, "POSITION"))[1], FVECTOR3(0.5f, 0, 0), kTol);
  EXPECT_EQ(nodes[6]["name"], "sleeve");
  EXPECT_EQ(nodes[6]["mesh"], 0);
  EXPECT_EQ(nodes[6]["skin"], 0);
  EXPECT_EQ(nodes[6]["extras"]["quorvel"]["object"], 1);
  EXPECT_FALSE(nodes[6].contains("translation"));
  EXPECT_FALSE(nodes[1].contains("mesh"));
  EXPECT_VEC3_NEAR(glb.Vec3s(glb.Attribute(0, "POSITION"))[1], FVECTOR3(0.5f, 0.5f, 0), kTol);

  // Joints: the root, then the bones the weights name with their ancestors.
  const Json& skin = glb.json["skins"][0];
  EXPECT_EQ(skin["skeleton"], 0);
  EXPECT_EQ(skin["joints"], Json({0, 2, 3, 4}));
  const std::vector<double> ibm = glb.Values(skin["inverseBindMatrices"].get<int>());
  ASSERT_EQ(ibm.size(), 4u * 16u);
  const FVECTOR3 back[] = {{0, 0, 0}, {-5, 0, 0}, {-15, 0, 0}, {-25, -2.5f, 0}};
  for (size_t j = 0; j < 4; ++j) {
    SCOPED_TRACE("joint " + std::to_string(j));
    FMATRIX m;
    for (int k = 0; k < 16; ++k) m.m[k] = static_cast<float>(ibm[j * 16 + static_cast<size_t>(k)]);
    // Column-major translation by -pivot: the identity but for elements 12..14.
    EXPECT_VEC3_NEAR(m.GetTranslation(), back[j], kTol);
    FMATRIX rest = m;
    rest.SetTranslation({0, 0, 0});
    EXPECT_EQ(rest, FMATRIX::kIdentity);
  }

  EXPECT_EQ(report.objects, 5);
  EXPECT_EQ(report.joints, 4);
  EXPECT_EQ(report.vertices, 6);
  EXPECT_EQ(report.animations, 0);
  EXPECT_EQ(glb.json["asset"]["version"], "2.0");
  EXPECT_EQ(glb.json["asset"]["generator"], "Quorvel");
  EXPECT_FLOAT_EQ(glb.json["asset"]["extras"]["quorvel"]["unitScale"].get<float>(), 0.5f);
}

TEST(GltfExportLayout, WithoutWeightsThereIsNoRigNorSkin) {
  g::Scene scene;
  AddObject(scene, "base", g::kNoParent, {0, 0, 0});
  AddObject(scene, "arm", 0, {0, 2, 0});
  AddObject(scene, "other", g::kNoParent, {4, 0, 0});
  scene.objects[1] = [&] {
    g::Object cube = Cube("arm");
    cube.parent = 0;
    cube.pivot = {0, 2, 0};
    return cube;
  }();
  g::ExportReport report;
  const Glb glb = Export(scene, 1.0f, &report);
  EXPECT_EQ(glb.json["nodes"].size(), 3u);
  EXPECT_EQ(glb.json["nodes"][0]["name"], "base");
  EXPECT_EQ(glb.json["nodes"][0]["children"], Json({1}));
  EXPECT_EQ(glb.json["nodes"][1]["mesh"], 0);
  EXPECT_EQ(glb.json["scenes"][0]["nodes"], Json({0, 2}));
  EXPECT_FALSE(glb.json.contains("skins"));
  EXPECT_FALSE(glb.json.contains("animations"));
  EXPECT_EQ(report.joints, 0);
}

TEST(GltfExportLayout, HiddenObjectsKeepTheirNodeButNoMesh) {
  g::Scene scene = Rig();
  scene.objects[4].visible = false;  // the hand
  const Glb glb = Export(scene);
  EXPECT_EQ(glb.json["meshes"].size(), 1u);
  EXPECT_EQ(glb.json["nodes"][5]["name"], "hand");
  EXPECT_FALSE(glb.json["nodes"][5].contains("mesh"));
}

// ---------------------------------------------------------------- triangles
// and vertices

// The triangles of a primitive whose three corners all satisfy `pick`.
template <typename Pick>
std::vector<std::array<uint32_t, 3>> TrianglesWhere(const Glb& glb, size_t mesh, Pick pick) {
  const std::vector<FVECTOR3> positions = glb.Vec3s(glb.Attribute(mesh, "POSITION"));
  const std::vector<double> indices = glb.Values(glb.Primitive(mesh)["indices"].get<int>());
  std::vector<std::array<uint32_t, 3>> out;
  for (size_t t = 0; t + 2 < indices.size(); t += 3) {
    const std::array<uint32_t, 3> tri = {static_cast<uint32_t>(indices[t]),
                                         static_cast<uint32_t>(indices[t + 1]),
                                         static_cast<uint32_t>(indices[t + 2])};
    if (pick(positions[tri[0]]) && pick(positions[tri[1]]) && pick(positions[tri[2]])) out.push_back(tri);
  }
  return out;
}

TEST(GltfExportGeometry, CubeFacesTurnCounterClockwiseWithOutwardNormals) {
  struct Case {
    const char* name;
    int shading;
    float smooth_angle;
    size_t vertices;  // in the file
    bool corner_normals_diagonal;
  };
  const Case cases[] = {
      {"flat", 0, 59.5f, 24, false},
      {"smooth below the cube's angle", 1, 59.5f, 24, false},
      {"smooth beyond the cube's angle", 1, 100.0f, 8, true},
      {"smooth angle zero is flat", 1, 0.0f, 24, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    g::Scene scene;
    scene.objects.push_back(Cube("cube"));
    scene.objects[0].shading = c.shading;
    scene.objects[0].smooth_angle = c.smooth_angle;
    const Glb glb = Export(scene);
    const std::vector<FVECTOR3> positions = glb.Vec3s(glb.Attribute(0, "POSITION"));
    const std::vector<FVECTOR3> normals = glb.Vec3s(glb.Attribute(0, "NORMAL"));
    EXPECT_EQ(positions.size(), c.vertices);
    // The +Z face: two triangles, counter-clockwise seen from +Z.
    const auto front = TrianglesWhere(glb, 0, [](const FVECTOR3& p) { return p.z > 0.5f; });
    ASSERT_EQ(front.size(), 2u);
    for (const auto& tri : front) {
      const FVECTOR3 n = Cross(positions[tri[1]] - positions[tri[0]], positions[tri[2]] - positions[tri[0]]);
      EXPECT_GT(n.z, 0.0f);
      for (const uint32_t v : tri) {
        const FVECTOR3 expected = c.corner_normals_diagonal ? positions[v].Normalized() : FVECTOR3(0, 0, 1);
        EXPECT_VEC3_NEAR(normals[v], expected, 1e-6f);
      }
    }
    for (const FVECTOR3& n : normals) EXPECT_NEAR(n.Length(), 1.0f, 1e-6f);
    EXPECT_EQ(glb.Values(glb.Primitive(0)["indices"].get<int>()).size(), 36u);
  }
}

TEST(GltfExportGeometry, VerticesSplitOnlyWhereACornerDiffersAndKeepDocumentOrder) {
  // Two coplanar quads sharing the edge 1-4, smooth: the same normal
  // everywhere. Vertex 1 has one texture coordinate on both faces; vertex 4
  // a seam (different on each face).
  g::Scene scene;
  g::Object strip;
  strip.name = "strip";
  strip.vertices = {{0, 1, 0}, {1, 1, 0}, {2, 1, 0}, {0, 0, 0}, {1, 0, 0}, {2, 0, 0}};
  AddFace(strip, {0, 1, 4, 3}, g::kNoMaterial, {{0, 0}, {0.5f, 0}, {0.5f, 1}, {0, 1}});
  AddFace(strip, {1, 2, 5, 4}, g::kNoMaterial, {{0.5f, 0}, {1, 0}, {1, 1}, {0.75f, 1}});
  scene.objects.push_back(strip);
  const Glb glb = Export(scene);
  const std::vector<FVECTOR3> positions = glb.Vec3s(glb.Attribute(0, "POSITION"));
  const std::vector<double> uv = glb.Values(glb.Attribute(0, "TEXCOORD_0"));
  const std::vector<FVECTOR3> expected = {{0, 1, 0}, {1, 1, 0}, {2, 1, 0}, {0, 0, 0},
                                          {1, 0, 0}, {1, 0, 0}, {2, 0, 0}};
  ASSERT_EQ(positions.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i)
    EXPECT_VEC3_NEAR(positions[i], expected[i], kTol) << "vertex " << i;
  // The seam's two copies, in the order their faces come.
  EXPECT_FLOAT_EQ(static_cast<float>(uv[4 * 2]), 0.5f);
  EXPECT_FLOAT_EQ(static_cast<float>(uv[5 * 2]), 0.75f);
  for (const FVECTOR3& n : glb.Vec3s(glb.Attribute(0, "NORMAL")))
    EXPECT_VEC3_NEAR(n, FVECTOR3(0, 0, 1), kTol);
}

TEST(GltfExportGeometry, OnePrimitivePerMaterialWithColoursOnlyWhereTheMaterialUsesThem) {
  g::Scene scene;
  scene.materials.resize(2);
  scene.materials[0].name = "plain";
  scene.materials[0].color[0] = 0.5f;
  scene.materials[0].diffuse = 0.5f;
  scene.materials[1].name = "painted";
  scene.materials[1].vertex_colors = true;
  scene.materials[1].alpha = 0.25f;
  scene.objects.push_back(Cube("cube"));
  for (size_t f = 0; f < 6; ++f)
    scene.objects[0].face_materials[f] = f < 2 ? 1 : f < 4 ? 0 : 7;  // 7: no such material
  scene.objects[0].corner_colors.assign(24, 0x80402010u);
  const Glb glb = Export(scene);
  const Json& primitives = glb.json["meshes"][0]["primitives"];
  ASSERT_EQ(primitives.size(), 3u);
  EXPECT_EQ(primitives[0]["material"], 0);
  EXPECT_EQ(primitives[1]["material"], 1);
  EXPECT_FALSE(primitives[2].contains("material"));
  EXPECT_FALSE(primitives[0]["attributes"].contains("COLOR_0"));
  EXPECT_FALSE(primitives[2]["attributes"].contains("COLOR_0"));
  const int colors = primitives[1]["attributes"]["COLOR_0"].get<int>();
  EXPECT_TRUE(glb.Accessor(colors)["normalized"].get<bool>());
  const std::vector<double> rgba = glb.Values(colors);
  ASSERT_EQ(rgba.size(), 8u * 4u);
  EXPECT_EQ(rgba[0], 0x10);
  EXPECT_EQ(rgba[1], 0x20);
  EXPECT_EQ(rgba[2], 0x40);
  EXPECT_EQ(rgba[3], 0x80);

  const Json& plain = glb.json["materials"][0];
  EXPECT_EQ(plain["pbrMetallicRoughness"]["baseColorFactor"], Json({0.25, 0.5, 0.5, 1.0}));
  EXPECT_EQ(plain["pbrMetallicRoughness"]["metallicFactor"], 0);
  EXPECT_EQ(plain["pbrMetallicRoughness"]["roughnessFactor"], 1);
  EXPECT_FALSE(plain.contains("alphaMode"));
  EXPECT_EQ(glb.json["materials"][1]["alphaMode"], "BLEND");
}

TEST(GltfExportGeometry, TexturesAreEmbeddedWhenFoundAndReferencedOtherwise) {
  Scratch folder;
  const uint8_t png[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 1, 2, 3};
  {
    std::ofstream out(folder.path() / "skin.png", std::ios::binary);
    out.write(reinterpret_cast<const char*>(png), sizeof png);
  }
  g::Scene scene;
  scene.texture_folder = folder.path().string();
  scene.materials.resize(2);
  scene.materials[0].texture = "skin.png";
  scene.materials[1].texture = "maps\\missing file.png";
  scene.objects.push_back(Cube("cube"));
  const Glb glb = Export(scene);
  const Json& images = glb.json["images"];
  ASSERT_EQ(images.size(), 2u);
  EXPECT_EQ(images[0]["mimeType"], "image/png");
  const Json& view = glb.json["bufferViews"][images[0]["bufferView"].get<size_t>()];
  EXPECT_EQ(view["byteLength"], sizeof png);
  EXPECT_EQ(std::memcmp(&glb.bin[view["byteOffset"].get<size_t>()], png, sizeof png), 0);
  EXPECT_FALSE(images[0].contains("uri"));
  EXPECT_EQ(images[1]["uri"], "maps/missing%20file.png");
  EXPECT_EQ(glb.json["materials"][1]["pbrMetallicRoughness"]["baseColorTexture"]["index"], 1);
}

// ---------------------------------------------------------------- skin weights

TEST(GltfExportSkin, WeightsAreNormalisedTheWayGltfRequires) {
  struct Case {
    const char* name;
    std::vector<g::BoneWeight> weights;           // bones are objects 1..6
    std::vector<std::pair<int, float>> expected;  // (joint, weight), largest first
  };
  // Object b is joint b (the root is joint 0; object 0, the mesh, is no
  // bone) and node b + 1.
  const Case cases[] = {
      {"one entry is followed fully", {{2, 0.3f}}, {{2, 1.0f}}},
      {"one entry is followed fully even at weight 0", {{4, 0.0f}}, {{4, 1.0f}}},
      {"two are normalised, largest first", {{1, 0.2f}, {3, 0.6f}}, {{3, 0.75f}, {1, 0.25f}}},
      {"one bone twice counts once", {{1, 0.25f}, {2, 0.5f}, {1, 0.25f}}, {{1, 0.5f}, {2, 0.5f}}},
      {"a bone that is gone is left out", {{99, 0.6f}, {2, 0.4f}}, {{2, 1.0f}}},
      {"non-positive weights are left out", {{1, -0.5f}, {2, 0.0f}, {3, 0.2f}}, {{3, 1.0f}}},
      {"a single bone that is gone holds to the root", {{99, 1.0f}}, {{0, 1.0f}}},
      {"weights that say nothing hold to the root", {{1, 0.0001f}, {2, 0.00005f}}, {{0, 1.0f}}},
      {"no weights hold to the root", {}, {{0, 1.0f}}},
      {"six bones take two sets",
       {{1, 0.05f}, {2, 0.25f}, {3, 0.3f}, {4, 0.1f}, {5, 0.2f}, {6, 0.1f}},
       {{3, 0.3f}, {2, 0.25f}, {5, 0.2f}, {4, 0.1f}, {6, 0.1f}, {1, 0.05f}}},
  };
  g::Scene scene;
  AddObject(scene, "mesh", g::kNoParent, {0, 0, 0});
  for (int b = 1; b <= 6; ++b)
    AddObject(scene, "bone" + std::to_string(b), b - 1 == 0 ? g::kNoParent : b - 1, {});
  const int count = static_cast<int>(std::size(cases));
  AddRowPolygon(scene.objects[0], count);
  for (const Case& c : cases) scene.objects[0].AddVertexWeights(c.weights);
  const Glb glb = Export(scene);
  EXPECT_EQ(glb.json["skins"][0]["joints"], Json({0, 2, 3, 4, 5, 6, 7}));
  const std::vector<FVECTOR3> positions = glb.Vec3s(glb.Attribute(0, "POSITION"));
  ASSERT_EQ(positions.size(), static_cast<size_t>(count));
  const std::vector<double> joints[2] = {glb.Values(glb.Attribute(0, "JOINTS_0")),
                                         glb.Values(glb.Attribute(0, "JOINTS_1"))};
  const std::vector<double> weights[2] = {glb.Values(glb.Attribute(0, "WEIGHTS_0")),
                                          glb.Values(glb.Attribute(0, "WEIGHTS_1"))};
  EXPECT_FALSE(glb.Primitive(0)["attributes"].contains("JOINTS_2"));
  for (size_t v = 0; v < positions.size(); ++v) {
    const Case& c = cases[static_cast<size_t>(positions[v].x)];
    SCOPED_TRACE(c.name);
    double sum = 0.0;
    std::set<int> used;
    for (size_t slot = 0; slot < 8; ++slot) {
      const int joint = static_cast<int>(joints[slot / 4][v * 4 + slot % 4]);
      const double weight = weights[slot / 4][v * 4 + slot % 4];
      sum += weight;
      if (slot < c.expected.size()) {
        EXPECT_EQ(joint, c.expected[slot].first) << "slot " << slot;
        EXPECT_NEAR(weight, c.expected[slot].second, 1e-6) << "slot " << slot;
        EXPECT_TRUE(used.insert(joint).second) << "joint " << joint << " twice";
      } else {
        EXPECT_EQ(joint, 0) << "unused slot " << slot;
        EXPECT_EQ(weight, 0.0) << "unused slot " << slot;
      }
    }
    EXPECT_NEAR(sum, 1.0, 1e-7);
  }
}

// ---------------------------------------------------------------- morphs and
// poses

g::Scene Posed() {
  g::Scene scene = Rig();
  g::Object& sleeve = scene.objects[0];
  g::MorphTarget swell{"swell", 2, sleeve.vertices};
  swell.positions[1] += FVECTOR3(0, 4, -2);
  g::MorphTarget shrink{"shrink", 5, sleeve.vertices};
  shrink.positions[2] += FVECTOR3(-1, 0, 0);
  sleeve.morphs = {swell, shrink};
  g::Object& hand = scene.objects[4];
  g::MorphTarget curl{"curl", 0, hand.vertices};
  curl.positions[2] += FVECTOR3(0, 0, 3);
  hand.morphs = {curl};
  for (const char* name : {"lift", "drop"}) {
    g::Pose pose;
    pose.name = name;
    pose.objects.resize(scene.objects.size());
    scene.poses.push_back(pose);
  }
  scene.poses[0].objects[2].rotation = FQUAT(0, 0, 2, 2);  // not unit: 90 degrees about z
  scene.poses[0].objects[2].translation = {1, 2, 3};
  scene.poses[0].objects[0].morph_weights[2] = 0.5f;
  scene.poses[0].objects[4].morph_weights[0] = 0.25f;
  scene.poses[1].objects[3].scale = {2, 1, 1};
  scene.poses[1].objects[2].rotation = FQUAT(0, 0, -0.6f, -0.8f);  // the other hemisphere
  scene.poses[1].objects[0].morph_weights[5] = 1.0f;
  return scene;
}

TEST(GltfExportMorphs, TargetsAreScaledOffsetsWithNamesAndZeroWeights) {
  g::ExportReport report;
  const Glb glb = Export(Posed(), 0.5f, &report);
  const Json& sleeve = glb.json["meshes"][0];
  EXPECT_EQ(sleeve["extras"]["targetNames"], Json({"swell", "shrink"}));
  EXPECT_EQ(sleeve["weights"], Json({0, 0}));
  const Json& targets = glb.Primitive(0)["targets"];
  ASSERT_EQ(targets.size(), 2u);
  const std::vector<FVECTOR3> swell = glb.Vec3s(targets[0]["POSITION"].get<int>());
  const std::vector<FVECTOR3> shrink = glb.Vec3s(targets[1]["POSITION"].get<int>());
  const std::vector<FVECTOR3> expected_swell = {{0, 0, 0}, {0, 2, -1}, {0, 0, 0}};
  const std::vector<FVECTOR3> expected_shrink = {{0, 0, 0}, {0, 0, 0}, {-0.5f, 0, 0}};
  ASSERT_EQ(swell.size(), 3u);
  for (size_t v = 0; v < 3; ++v) {
    EXPECT_VEC3_NEAR(swell[v], expected_swell[v], kTol);
    EXPECT_VEC3_NEAR(shrink[v], expected_shrink[v], kTol);
  }
  EXPECT_EQ(glb.Accessor(targets[0]["POSITION"].get<int>())["max"], Json({0.0, 2.0, 0.0}));
  EXPECT_EQ(glb.json["meshes"][1]["extras"]["targetNames"], Json({"curl"}));
  EXPECT_EQ(report.targets, 3);
}

// The single value of an animation's channel for `node` and `path`.
std::vector<double> ChannelValues(const Glb& glb, const Json& animation, int node, const std::string& path,
                                  std::string* interpolation = nullptr,
                                  std::vector<double>* times = nullptr) {
  for (const Json& channel : animation["channels"]) {
    if (channel["target"]["node"] != node || channel["target"]["path"] != path) continue;
    const Json& sampler = animation["samplers"][channel["sampler"].get<size_t>()];
    if (interpolation != nullptr) *interpolation = sampler["interpolation"].get<std::string>();
    if (times != nullptr) *times = glb.Values(sampler["input"].get<int>());
    return glb.Values(sampler["output"].get<int>());
  }
  ADD_FAILURE() << "no " << path << " channel for node " << node;
  return {};
}

void ExpectValues(const std::vector<double>& got, const std::vector<double>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(got[i], want[i], 1e-6) << "value " << i;
}

TEST(GltfExportAnimations, EachPoseAtTimeZeroThenTheSequence) {
  g::ExportReport report;
  const Glb glb = Export(Posed(), 0.5f, &report);
  const Json& animations = glb.json["animations"];
  ASSERT_EQ(animations.size(), 3u);
  EXPECT_EQ(animations[0]["name"], "lift");
  EXPECT_EQ(animations[1]["name"], "drop");
  EXPECT_EQ(animations[2]["name"], "poses");
  EXPECT_EQ(animations[2]["extras"]["quorvel"]["role"], "sequence");
  EXPECT_EQ(report.animations, 3);
  const double h = std::sqrt(0.5);

  // Posed objects: elbow (node 3) and wrist (node 4); each pose sets all
  // three paths of both. Meshes with targets: sleeve's node 6, hand's node 5.
  for (const Json& animation : animations) EXPECT_EQ(animation["channels"].size(), 2u * 3u + 2u);
  std::string interpolation;
  std::vector<double> times;
  ExpectValues(ChannelValues(glb, animations[0], 3, "translation", &interpolation, &times), {10.5, 1, 1.5});
  EXPECT_EQ(interpolation, "STEP");
  ExpectValues(times, {0});
  EXPECT_EQ(glb.Accessor(animations[0]["samplers"][0]["input"].get<int>())["min"], Json({0.0}));
  ExpectValues(ChannelValues(glb, animations[0], 3, "rotation"), {0, 0, h, h});
  ExpectValues(ChannelValues(glb, animations[0], 3, "scale"), {1, 1, 1});
  ExpectValues(ChannelValues(glb, animations[0], 4, "translation"), {10, 2.5, 0});
  ExpectValues(ChannelValues(glb, animations[0], 6, "weights"), {0.5, 0});
  ExpectValues(ChannelValues(glb, animations[0], 5, "weights"), {0.25});
  ExpectValues(ChannelValues(glb, animations[1], 4, "scale"), {2, 1, 1});
  ExpectValues(ChannelValues(glb, animations[1], 3, "rotation"), {0, 0, -0.6, -0.8});
  ExpectValues(ChannelValues(glb, animations[1], 6, "weights"), {0, 1});

  // The sequence: pose k at k seconds, blended linearly; a rotation key in
  // the other hemisphere is flipped so the blend takes the short way.
  ExpectValues(ChannelValues(glb, animations[2], 3, "rotation", &interpolation, &times),
               {0, 0, h, h, 0, 0, 0.6, 0.8});
  EXPECT_EQ(interpolation, "LINEAR");
  ExpectValues(times, {0, 1});
  ExpectValues(ChannelValues(glb, animations[2], 4, "scale"), {1, 1, 1, 2, 1, 1});
  ExpectValues(ChannelValues(glb, animations[2], 6, "weights"), {0.5, 0, 0, 1});
}

TEST(GltfExportAnimations, PosesWithNothingPosedStillGiveChannels) {
  g::Scene scene = Rig();
  g::Pose idle;
  idle.name = "idle";
  idle.objects.resize(scene.objects.size());
  scene.poses = {idle};
  const Glb glb = Export(scene);
  ASSERT_EQ(glb.json["animations"].size(), 2u);
  for (const Json& animation : glb.json["animations"]) {
    EXPECT_FALSE(animation["channels"].empty());
    EXPECT_EQ(animation["channels"].size(), animation["samplers"].size());
  }
}

// ---------------------------------------------------------------- bad input

TEST(GltfExportInput, NamesThatAreNotUtf8ComeOutValid) {
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {
      {"\x83\x41\x81\x5B\x83\x80", "\xEF\xBF\xBD\x41\xEF\xBF\xBD\x5B\xEF\xBF\xBD\xEF\xBF\xBD"},  // Shift-JIS
      {"ok \xE8\x85\x95", "ok \xE8\x85\x95"},  // already UTF-8
      {"cut \xE8\x85", "cut \xEF\xBF\xBD\xEF\xBF\xBD"},
      {"overlong \xC0\xAF", "overlong \xEF\xBF\xBD\xEF\xBF\xBD"},
      {"surrogate \xED\xA0\x80", "surrogate \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"past U+10FFFF \xF4\x90\x80\x80", "past U+10FFFF \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
  };
  g::Scene scene = Posed();
  for (const Case& c : cases) {
    scene.objects[0].name = c.in;
    scene.objects[2].name = c.in;
    scene.materials = {g::Material{}};
    scene.materials[0].name = c.in;
    scene.objects[0].morphs[0].name = c.in;
    scene.poses[0].name = c.in;
    const Glb glb = Export(scene);  // the parser throws on invalid UTF-8
    SCOPED_TRACE(c.out);
    EXPECT_EQ(glb.json["nodes"][1]["name"], c.out);
    EXPECT_EQ(glb.json["nodes"][3]["name"], c.out);
    EXPECT_EQ(glb.json["nodes"][6]["name"], c.out);
    EXPECT_EQ(glb.json["meshes"][0]["name"], c.out);
    EXPECT_EQ(glb.json["materials"][0]["name"], c.out);
    EXPECT_EQ(glb.json["meshes"][0]["extras"]["targetNames"][0], c.out);
    EXPECT_EQ(glb.json["animations"][0]["name"], c.out);
  }
}

TEST(GltfExportInput, NonFiniteNumbersNeverReachTheFile) {
  const float nan = std::nanf("");
  const float inf = INFINITY;
  g::Scene scene = Posed();
  scene.objects[0].vertices[1] = {nan, 1, inf};
  scene.objects[0].morphs[0].positions[1] = {inf, nan, 0};
  scene.objects[0].corner_uv[0] = {nan, inf};
  scene.objects[2].pivot = {inf, 0, 0};
  SetWeights(scene.objects[0], {{{1, 1}}, {{2, nan}, {3, 0.5f}}, {{3, 1}}});
  scene.poses[0].objects[2].translation = {nan, 0, 0};
  scene.poses[0].objects[2].rotation = FQUAT(nan, 0, 0, 1);
  scene.poses[1].objects[3].scale = {inf, 1, 1};
  scene.poses[0].objects[0].morph_weights[2] = nan;
  scene.materials.resize(1);
  scene.materials[0].color[1] = nan;
  scene.materials[0].alpha = inf;
  // Finite, but past what floats hold once scaled or summed.
  scene.objects[0].vertices[0] = {3e38f, -3e38f, 3e38f};
  scene.objects[3].pivot = {3e38f, 0, 0};
  scene.poses[1].objects[2].rotation = FQUAT(1e30f, 0, 0, 1e30f);
  const Glb glb = Export(scene, 10.0f);
  const std::string text = glb.json.dump();
  EXPECT_EQ(text.find("null"), std::string::npos) << "a number that JSON cannot hold";
  for (size_t a = 0; a < glb.json["accessors"].size(); ++a) {
    if (glb.Accessor(static_cast<int>(a))["componentType"] != 5126) continue;
    for (const double v : glb.Values(static_cast<int>(a))) ASSERT_TRUE(std::isfinite(v)) << "accessor " << a;
  }
  for (const FVECTOR3& n : glb.Vec3s(glb.Attribute(0, "NORMAL"))) EXPECT_NEAR(n.Length(), 1.0f, 1e-6f);
  for (const Json& animation : glb.json["animations"]) {
    const std::vector<double> q = ChannelValues(glb, animation, 3, "rotation");
    for (size_t k = 0; k + 3 < q.size(); k += 4) {
      EXPECT_NEAR(q[k] * q[k] + q[k + 1] * q[k + 1] + q[k + 2] * q[k + 2] + q[k + 3] * q[k + 3], 1.0, 1e-6);
    }
  }
  ExpectValues(ChannelValues(glb, glb.json["animations"][1], 3, "rotation"),
               {std::sqrt(0.5), 0, 0, std::sqrt(0.5)});
}

TEST(GltfExportInput, BadScenesAndOptionsAreRefusedWithAReason) {
  struct Case {
    const char* name;
    float unit_scale;
    int bad_parent;  // given to object 2, or 0 to keep the rig
    const char* says;
  };
  const Case cases[] = {
      {"zero scale", 0.0f, 0, "unit scale"},
      {"negative scale", -1.0f, 0, "unit scale"},
      {"scale not a number", std::nanf(""), 0, "unit scale"},
      {"parent after the child", 1.0f, 3, "parent"},
      {"parent out of range", 1.0f, -7, "parent"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    g::Scene scene = Rig();
    if (c.bad_parent != 0) scene.objects[2].parent = c.bad_parent;
    g::ExportOptions options;
    options.unit_scale = c.unit_scale;
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_FALSE(g::ExportGlb(scene, options, &bytes, nullptr, &error));
    EXPECT_NE(error.find(c.says), std::string::npos) << error;
    EXPECT_TRUE(bytes.empty());
  }
}

// ---------------------------------------------------------------- files

TEST(GltfExportFiles, GlbFileHoldsTheSameBytesAsInMemory) {
  Scratch folder;
  const g::Scene scene = Posed();
  const fs::path path = folder.path() / "rig.glb";
  std::string error;
  ASSERT_TRUE(g::ExportGltf(scene, path.string(), {}, nullptr, &error)) << error;
  std::vector<uint8_t> memory;
  ASSERT_TRUE(g::ExportGlb(scene, {}, &memory, nullptr, &error)) << error;
  EXPECT_EQ(ReadBytes(path), memory);
  EXPECT_EQ(folder.Names(), std::set<std::string>({"rig.glb"}));
}

TEST(GltfExportFiles, GltfWritesItsBufferBesideIt) {
  Scratch folder;
  const g::Scene scene = Posed();
  std::string error;
  ASSERT_TRUE(g::ExportGltf(scene, (folder.path() / "my rig.GLTF").string(), {}, nullptr, &error)) << error;
  EXPECT_EQ(folder.Names(), std::set<std::string>({"my rig.GLTF", "my rig.bin"}));
  const std::vector<uint8_t> text = ReadBytes(folder.path() / "my rig.GLTF");
  const Json json = Json::parse(text.begin(), text.end());
  EXPECT_EQ(json["buffers"][0]["uri"], "my%20rig.bin");
  std::vector<uint8_t> memory;
  ASSERT_TRUE(g::ExportGlb(scene, {}, &memory, nullptr, &error)) << error;
  const Glb glb = ParseGlb(memory);
  EXPECT_EQ(ReadBytes(folder.path() / "my rig.bin"), glb.bin);
  Json without_uri = json;
  without_uri["buffers"][0].erase("uri");
  EXPECT_EQ(without_uri, glb.json);
}

TEST(GltfExportFiles, AnUnwritablePathLeavesNothingBehind) {
  struct Case {
    const char* name;
    const char* file;  // in the scratch folder
    bool make_folder;  // the file's name is taken by a folder
  };
  const Case cases[] = {
      {"missing folder, .glb", "no such folder/rig.glb", false},
      {"missing folder, .gltf", "no such folder/rig.gltf", false},
      {"a folder's name, .glb", "taken.glb", true},
      {"a folder's name, .gltf", "taken.gltf", true},
      {"not a glTF name", "rig.obj", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Scratch folder;
    const fs::path path = folder.path() / c.file;
    if (c.make_folder) fs::create_directory(path);
    const std::set<std::string> before = folder.Names();
    g::ExportReport report;
    report.objects = -1;
    std::string error;
    EXPECT_FALSE(g::ExportGltf(Posed(), path.string(), {}, &report, &error));
    EXPECT_NE(error.find(path.string()), std::string::npos) << error;
    EXPECT_GT(error.size(), path.string().size() + 2) << "the cause is missing: " << error;
    EXPECT_EQ(folder.Names(), before);
    if (c.make_folder) {
      EXPECT_TRUE(fs::is_directory(path));
    }
    EXPECT_EQ(report.objects, -1);
  }
}

TEST(GltfExportFiles, AnOlderFileIsReplacedWhole) {
  Scratch folder;
  const fs::path path = folder.path() / "rig.glb";
  {
    std::ofstream out(path, std::ios::binary);
    out << std::string(100000, 'x');
  }
  std::string error;
  ASSERT_TRUE(g::ExportGltf(Rig(), path.string(), {}, nullptr, &error)) << error;
  std::vector<uint8_t> memory;
  ASSERT_TRUE(g::ExportGlb(Rig(), {}, &memory, nullptr, &error)) << error;
  EXPECT_EQ(ReadBytes(path), memory);
  EXPECT_EQ(folder.Names(), std::set<std::string>({"rig.glb"}));
}

}  // namespace
