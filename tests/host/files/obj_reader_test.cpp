// Wavefront OBJ import and export: meshes per object or group with their own
// vertices, polygons kept whole, texture coordinates per corner, materials,
// malformed input refused with its line, and the writer read back.
#include "host/files/obj_reader.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

using mqhost::ImportedMaterial;
using mqhost::ImportedMesh;
using mqhost::ReadObj;
using mqhost::ReadObjFile;
using mqhost::WriteMtl;
using mqhost::WriteObj;

using Points = std::vector<int>;
using Uvs = std::vector<std::pair<float, float>>;

bool SameFloat(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Bit-for-bit comparison, so that -0 and 0 or a one-ulp drift count as changes.
::testing::AssertionResult SameMeshes(const std::vector<ImportedMesh>& a,
                                      const std::vector<ImportedMesh>& b) {
  if (a.size() != b.size()) {
    return ::testing::AssertionFailure() << a.size() << " meshes vs " << b.size();
  }
  for (std::size_t m = 0; m < a.size(); ++m) {
    const ImportedMesh& x = a[m];
    const ImportedMesh& y = b[m];
    auto fail = [&]() {
      return ::testing::AssertionFailure() << "mesh " << m << " '" << x.name << "': ";
    };
    if (x.name != y.name) return fail() << "name '" << y.name << "'";
    if (x.positions.size() != y.positions.size()) return fail() << "position count";
    for (std::size_t i = 0; i < x.positions.size(); ++i) {
      const MQPoint& p = x.positions[i];
      const MQPoint& q = y.positions[i];
      if (!SameFloat(p.x, q.x) || !SameFloat(p.y, q.y) || !SameFloat(p.z, q.z)) {
        return fail() << "position " << i << " (" << p.x << ", " << p.y << ", " << p.z << ") vs ("
                      << q.x << ", " << q.y << ", " << q.z << ")";
      }
    }
    if (x.faces.size() != y.faces.size()) return fail() << "face count";
    for (std::size_t f = 0; f < x.faces.size(); ++f) {
      const ImportedMesh::Face& g = x.faces[f];
      const ImportedMesh::Face& h = y.faces[f];
      if (g.points != h.points || g.material != h.material || g.uvs.size() != h.uvs.size()) {
        return fail() << "face " << f;
      }
      for (std::size_t k = 0; k < g.uvs.size(); ++k) {
        if (!SameFloat(g.uvs[k].first, h.uvs[k].first) ||
            !SameFloat(g.uvs[k].second, h.uvs[k].second)) {
          return fail() << "face " << f << " uv " << k;
        }
      }
    }
  }
  return ::testing::AssertionSuccess();
}

std::vector<ImportedMesh> Read(const std::string& obj, const std::string& mtl = {},
                               std::vector<ImportedMaterial>* materials = nullptr) {
  std::vector<ImportedMesh> meshes;
  std::vector<ImportedMaterial> ignored;
  std::string error;
  EXPECT_TRUE(ReadObj(obj, mtl, &meshes, materials != nullptr ? materials : &ignored, &error))
      << error;
  return meshes;
}

std::vector<MQPoint> Positions(std::initializer_list<MQPoint> points) { return points; }

void ExpectPositions(const ImportedMesh& mesh, const std::vector<MQPoint>& expected) {
  ASSERT_EQ(mesh.positions.size(), expected.size()) << mesh.name;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(mesh.positions[i].x, expected[i].x) << mesh.name << " " << i;
    EXPECT_EQ(mesh.positions[i].y, expected[i].y) << mesh.name << " " << i;
    EXPECT_EQ(mesh.positions[i].z, expected[i].z) << mesh.name << " " << i;
  }
}

// ---------------------------------------------------------------------------
// Reading

TEST(ReadObj, ObjectsAndGroupsBecomeMeshesWithTheirOwnVertices) {
  const std::string obj =
      "v 0 0 0\n"
      "v 1 0 0\n"
      "v 1 1 0\n"
      "v 0 1 0\n"
      "v 5 5 5\n"  // used by no face
      "v 2 0 0\n"
      "o first\n"
      "f 3 2 1\n"
      "f 1 3 4\n"
      "g second\n"
      "f 6 2 3\n"
      "o 右腕\n"
      "f -1 -4 -5\n";
  const auto meshes = Read(obj);
  ASSERT_EQ(meshes.size(), 3u);
  EXPECT_EQ(meshes[0].name, "first");
  EXPECT_EQ(meshes[1].name, "second");
  EXPECT_EQ(meshes[2].name, "右腕");
  // Vertices in the order the faces first use them.
  ExpectPositions(meshes[0], Positions({{1, 1, 0}, {1, 0, 0}, {0, 0, 0}, {0, 1, 0}}));
  ASSERT_EQ(meshes[0].faces.size(), 2u);
  EXPECT_EQ(meshes[0].faces[0].points, (Points{0, 1, 2}));
  EXPECT_EQ(meshes[0].faces[1].points, (Points{2, 0, 3}));
  ExpectPositions(meshes[1], Positions({{2, 0, 0}, {1, 0, 0}, {1, 1, 0}}));
  ASSERT_EQ(meshes[1].faces.size(), 1u);
  EXPECT_EQ(meshes[1].faces[0].points, (Points{0, 1, 2}));
  ExpectPositions(meshes[2], Positions({{2, 0, 0}, {1, 1, 0}, {1, 0, 0}}));
  for (const ImportedMesh& mesh : meshes) {
    for (const ImportedMesh::Face& face : mesh.faces) {
      EXPECT_TRUE(face.uvs.empty());
      EXPECT_EQ(face.material, -1);
    }
  }
}

TEST(ReadObj, PolygonsKeepTheirSizeAndCornerOrder) {
  const std::string obj =
      "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0.5 2 0\n"
      "f 1 2 3 4\n"
      "f 4 3 5 2 1\n"
      "f 5 4 3\n";
  const auto meshes = Read(obj);
  ASSERT_EQ(meshes.size(), 1u);
  EXPECT_EQ(meshes[0].name, "");
  ASSERT_EQ(meshes[0].faces.size(), 3u);
  EXPECT_EQ(meshes[0].faces[0].points, (Points{0, 1, 2, 3}));
  EXPECT_EQ(meshes[0].faces[1].points, (Points{3, 2, 4, 1, 0}));
  EXPECT_EQ(meshes[0].faces[2].points, (Points{4, 3, 2}));
}

// The reader counts a face's points in a byte: 255 is the most it keeps.
TEST(ReadObj, LargePolygonsUpToTheLimitAreKeptWhole) {
  for (int size : {255, 256, 1000}) {
    SCOPED_TRACE(size);
    std::string obj;
    std::string face = "f";
    for (int i = 1; i <= size; ++i) {
      obj += "v " + std::to_string(i) + " 0 0\n";
      face += " " + std::to_string(i);
    }
    obj += face + "\n";
    std::vector<ImportedMesh> meshes;
    std::vector<ImportedMaterial> materials;
    std::string error;
    const bool ok = ReadObj(obj, &meshes, &materials, &error);
    ASSERT_EQ(ok, size <= 255) << error;
    if (ok) {
      ASSERT_EQ(meshes.size(), 1u);
      ASSERT_EQ(meshes[0].faces.size(), 1u);
      ASSERT_EQ(meshes[0].faces[0].points.size(), static_cast<std::size_t>(size));
      EXPECT_EQ(meshes[0].faces[0].points.back(), size - 1);
      EXPECT_EQ(meshes[0].positions.back().x, static_cast<float>(size));
    } else {
      EXPECT_NE(error.find("line " + std::to_string(size + 1) + ":"), std::string::npos) << error;
    }
  }
}

TEST(ReadObj, TextureCoordinatesArePerCorner) {
  const std::string obj =
      "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
      "vt 0.25 0.5\nvt 0.75 0.125\nvt 1 1 0\n"
      "vn 0 0 1\n"
      "f 1/2 2/3 3/1\n"        // v/vt
      "f 1/3/1 3/2/1 4/1/1\n"  // v/vt/vn
      "f -4/-1 -2/-2 -1/-3\n"  // relative indices
      "f 1//1 2//1 4//1\n"     // normals only: no texture coordinates
      "f 2 3 4\n";
  const auto meshes = Read(obj);
  ASSERT_EQ(meshes.size(), 1u);
  const auto& faces = meshes[0].faces;
  ASSERT_EQ(faces.size(), 5u);
  EXPECT_EQ(faces[0].uvs, (Uvs{{0.75f, 0.125f}, {1.0f, 1.0f}, {0.25f, 0.5f}}));
  EXPECT_EQ(faces[1].uvs, (Uvs{{1.0f, 1.0f}, {0.75f, 0.125f}, {0.25f, 0.5f}}));
  EXPECT_EQ(faces[2].uvs, (Uvs{{1.0f, 1.0f}, {0.75f, 0.125f}, {0.25f, 0.5f}}));
  EXPECT_EQ(faces[2].points, (Points{0, 2, 3}));
  EXPECT_TRUE(faces[3].uvs.empty());
  EXPECT_TRUE(faces[4].uvs.empty());
}

TEST(ReadObj, FacesTakeTheirMaterialFromTheLibrary) {
  const std::string mtl =
      "newmtl skin\nKd 1 0.5 0.25\nd 0.5\n"
      "newmtl 金属\nKd 0.1 0.2 0.3\n";
  const std::string obj =
      "mtllib model.mtl\n"
      "v 0 0 0\nv 1 0 0\nv 1 1 0\n"
      "f 1 2 3\n"
      "usemtl 金属\nf 1 2 3\n"
      "usemtl skin\nf 1 2 3\n"
      "o next\nf 3 2 1\n"  // the material carries over into the next object
      "usemtl unknown\nf 1 2 3\n";
  std::vector<ImportedMaterial> materials;
  const auto meshes = Read(obj, mtl, &materials);
  ASSERT_EQ(materials.size(), 2u);
  EXPECT_EQ(materials[0].name, "skin");
  EXPECT_EQ(materials[0].diffuse_rgb[0], 1.0f);
  EXPECT_EQ(materials[0].diffuse_rgb[1], 0.5f);
  EXPECT_EQ(materials[0].diffuse_rgb[2], 0.25f);
  EXPECT_EQ(materials[0].alpha, 0.5f);
  EXPECT_EQ(materials[1].name, "金属");
  EXPECT_EQ(materials[1].alpha, 1.0f);
  ASSERT_EQ(meshes.size(), 2u);
  ASSERT_EQ(meshes[0].faces.size(), 3u);
  EXPECT_EQ(meshes[0].faces[0].material, -1);
  EXPECT_EQ(meshes[0].faces[1].material, 1);
  EXPECT_EQ(meshes[0].faces[2].material, 0);
  ASSERT_EQ(meshes[1].faces.size(), 2u);
  EXPECT_EQ(meshes[1].faces[0].material, 0);
  EXPECT_EQ(meshes[1].faces[1].material, -1);

  std::vector<ImportedMaterial> none;
  Read(obj, "", &none);
  EXPECT_TRUE(none.empty()) << "without a library there are no materials";
}

TEST(ReadObj, UsualVariationsOfTheFormatAreRead) {
  const std::string obj =
      "# exported by some tool\r\n"
      "\r\n"
      "mtllib missing.mtl\r\n"
      "s off\r\n"
      "\tv\t1.5e1  -2.  .25 # trailing comment\r\n"
      "v -0 +3 1E-1 1.0\r\n"     // with w
      "v 7 8 9 0.1 0.2 0.3\r\n"  // with a colour
      "vp 0.5\r\n"               // unknown to us: ignored
      "l 1 2\r\n"                // lines are not imported
      "f 1 2 4\r\n"              // the fourth vertex comes later in the file
      "v 0 0 1\r\n";
  const auto meshes = Read(obj);
  ASSERT_EQ(meshes.size(), 1u);
  ExpectPositions(meshes[0], Positions({{15.0f, -2.0f, 0.25f}, {-0.0f, 3.0f, 0.1f}, {0, 0, 1}}));
  ASSERT_EQ(meshes[0].faces.size(), 1u);
  EXPECT_EQ(meshes[0].faces[0].points, (Points{0, 1, 2}));

  EXPECT_TRUE(Read("").empty());
  EXPECT_TRUE(Read("v 1 2 3\n").empty()) << "vertices without faces make no mesh";
}

TEST(ReadObj, MalformedInputIsRefusedWithItsLine) {
  const std::string square = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0 0\nvt 1 1\n";  // lines 1-6
  const struct {
    const char* label;
    std::string text;
    const char* line;  // expected in the message
  } cases[] = {
      {"index past the end", square + "f 1 2 5\n", "line 7:"},
      {"index past the end of the file", "f 1 2 4\nv 0 0 0\nv 1 0 0\nv 1 1 0\n", "line 1:"},
      {"relative index before the start", square + "f -1 -2 -5\n", "line 7:"},
      {"relative index to a later vertex", "v 0 0 0\nv 1 0 0\nf 1 2 -3\nv 1 1 0\n", "line 3:"},
      {"zero index", square + "f 0 1 2\n", "line 7:"},
      {"index that is not an integer", square + "f 1 2.5 3\n", "line 7:"},
      {"index that is not a number", square + "f 1 2 x\n", "line 7:"},
      {"index beyond int", square + "f 1 2 99999999999\n", "line 7:"},
      {"corner with four parts", square + "f 1/1/1/1 2 3\n", "line 7:"},
      {"empty normal part", square + "f 1/1/ 2/1/ 3/1/\n", "line 7:"},
      {"texture index past the end", square + "f 1/1 2/2 3/3\n", "line 7:"},
      {"normal index with no normals", square + "f 1//1 2//1 3//1\n", "line 7:"},
      {"some corners without texture", square + "f 1/1 2/2 3\n", "line 7:"},
      {"face with two points", square + "f 1 2\n", "line 7:"},
      {"face with no points", square + "f\n", "line 7:"},
      {"non-numeric coordinate", "v 0 0 0\nv 1 abc 0\n", "line 2:"},
      {"coordinate with trailing letters", "v 0 0 0x\n", "line 1:"},
      {"coordinate that is a lone dot", "v 0 . 0\n", "line 1:"},
      {"coordinate with an empty exponent", "v 0 1e 0\n", "line 1:"},
      {"coordinate beyond float", "v 0 1e39 0\n", "line 1:"},
      {"coordinate spelled as nan", "v 0 nan 0\n", "line 1:"},
      {"two coordinates", "v 1 2\n", "line 1:"},
      {"no coordinates", "v\n", "line 1:"},
      {"texture coordinate that is text", "vt u v\n", "line 1:"},
      {"normal with two numbers", "vn 0 1\n", "line 1:"},
      {"line ends counted for CR LF", "v 0 0 0\r\nv 1 0 0\r\nv 1 x 0\r\n", "line 3:"},
      {"line ends counted for lone CR", "v 0 0 0\rv 1 0 0\r\rv 1 x 0\r", "line 4:"},
      {"zero index in a line element", square + "\nl 0 1\n", "line 8"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    std::vector<ImportedMesh> meshes(1);
    meshes[0].name = "kept";
    std::vector<ImportedMaterial> materials(2);
    std::string error;
    EXPECT_FALSE(ReadObj(c.text, &meshes, &materials, &error));
    EXPECT_NE(error.find(c.line), std::string::npos) << error;
    EXPECT_EQ(error.rfind("OBJ error", 0), 0u) << error;
    ASSERT_EQ(meshes.size(), 1u);
    EXPECT_EQ(meshes[0].name, "kept");
    EXPECT_EQ(materials.size(), 2u);
  }
}

// Material values the library reads without limits: what is not a finite
// number refuses the file, colours and opacity beyond 0..1 are clamped.
TEST(ReadObj, MaterialValuesAreFiniteAndWithinRange) {
  const std::string obj = "mtllib m.mtl\nv 0 0 0\nv 1 0 0\nv 1 1 0\nusemtl m\nf 1 2 3\n";
  const struct {
    const char* label;
    const char* mtl;
    bool read;
    float rgb[3];
    float alpha;
  } cases[] = {
      {"in range", "newmtl m\nKd 0.25 0.5 1\nd 0.5\n", true, {0.25f, 0.5f, 1.0f}, 0.5f},
      {"beyond the range", "newmtl m\nKd 1.5 -0.25 0.5\nd 2\n", true, {1.0f, 0.0f, 0.5f}, 1.0f},
      {"negative opacity", "newmtl m\nKd 0 0 0\nd -1\n", true, {0.0f, 0.0f, 0.0f}, 0.0f},
      {"a colour beyond float", "newmtl m\nKd 1e39 0 0\n", false, {}, 0.0f},
      {"a colour below float", "newmtl m\nKd 0 -1e39 0\n", false, {}, 0.0f},
      {"an opacity beyond float", "newmtl m\nKd 0 0 0\nd 1e39\n", false, {}, 0.0f},
      {"a transparency beyond float", "newmtl m\nKd 0 0 0\nTr -1e39\n", false, {}, 0.0f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    std::vector<ImportedMesh> meshes;
    std::vector<ImportedMaterial> materials(2);
    std::string error;
    ASSERT_EQ(ReadObj(obj, c.mtl, &meshes, &materials, &error), c.read) << error;
    if (!c.read) {
      EXPECT_EQ(error.rfind("MTL error: material 'm'", 0), 0u) << error;
      EXPECT_EQ(materials.size(), 2u) << "nothing taken from a refused file";
      continue;
    }
    ASSERT_EQ(materials.size(), 1u);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(materials[0].diffuse_rgb[k], c.rgb[k]) << k;
    EXPECT_EQ(materials[0].alpha, c.alpha);
  }
}

// `vw` lines (the library's vertex-weight extension) are left out before the
// library sees them: its joint-id conversion has no range check.
TEST(ReadObj, VertexWeightLinesAreIgnored) {
  const std::string square = "v 0 0 0\nv 1 0 0\nv 1 1 0\n";
  for (const char* vw : {"vw 0 3000000000 1", "vw 0 -1 1", "  vw 1 0 0.5 1 0.5", "vw 0 1e39 x"}) {
    SCOPED_TRACE(vw);
    const auto meshes = Read(square + vw + "\nf 1 2 3\n");
    ASSERT_EQ(meshes.size(), 1u);
    EXPECT_EQ(meshes[0].positions.size(), 3u);
  }
  // Line numbers still count the lines as they stand.
  std::vector<ImportedMesh> meshes;
  std::vector<ImportedMaterial> materials;
  std::string error;
  EXPECT_FALSE(ReadObj(square + "vw 0 1 1\nv 1 x 0\n", &meshes, &materials, &error));
  EXPECT_NE(error.find("line 5:"), std::string::npos) << error;
}

// ---------------------------------------------------------------------------
// Writing

std::vector<ImportedMesh> SampleMeshes() {
  std::vector<ImportedMesh> meshes(3);
  meshes[0].name = "body 本体";
  meshes[0].positions = {{0.1f, -0.0f, 1.0f / 3.0f},
                         {FLT_MAX, -FLT_MAX, FLT_MIN},
                         {1e-45f, 123456.789f, -7.0f},
                         {16777217.0f, 2.5e-20f, 3.4e30f},
                         {0, 0, 0}};
  meshes[0].faces.push_back(
      {{0, 1, 2, 3}, {{0.1f, 0.9f}, {1.0f / 3.0f, 0.0f}, {1, 1}, {0.5f, 0.25f}}, 1});
  meshes[0].faces.push_back({{3, 2, 4}, {}, 1});
  meshes[0].faces.push_back({{4, 0, 1}, {}, -1});
  meshes[1].name = "";  // written as a name of its own
  meshes[1].positions = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
  meshes[1].faces.push_back({{0, 1, 2}, {{0, 0}, {1, 0}, {1, 1}}, 0});
  meshes[2].name = "tail";
  meshes[2].positions = {{-1, -2, -3}, {-4, -5, -6}, {-7, -8, -9}, {0.5f, 0.5f, 0.5f}, {9, 9, 9}};
  meshes[2].faces.push_back({{0, 1, 2, 3, 4}, {}, 0});
  return meshes;
}

std::vector<ImportedMaterial> SampleMaterials() {
  std::vector<ImportedMaterial> materials(3);
  materials[0].name = "skin";
  materials[0].diffuse_rgb[0] = 1.0f;
  materials[0].diffuse_rgb[1] = 0.1f;
  materials[0].diffuse_rgb[2] = 1.0f / 3.0f;
  materials[0].alpha = 0.75f;
  materials[1].name = "dark metal";  // a blank in the name
  materials[2].name = "skin";        // a repeated name
  return materials;
}

TEST(WriteObj, ReadingTheTextBackGivesTheSameMeshes) {
  auto meshes = SampleMeshes();
  // One face per material, so that a name mix-up shows.
  meshes[2].faces[0].material = 2;
  const auto materials = SampleMaterials();
  std::vector<ImportedMesh> read;
  std::vector<ImportedMaterial> read_materials;
  std::string error;
  ASSERT_TRUE(ReadObj(WriteObj(meshes, materials, "sample.mtl"), WriteMtl(materials), &read,
                      &read_materials, &error))
      << error;
  meshes[1].name = "mesh2";
  EXPECT_TRUE(SameMeshes(read, meshes));

  ASSERT_EQ(read_materials.size(), materials.size());
  EXPECT_EQ(read_materials[0].name, "skin");
  EXPECT_EQ(read_materials[1].name, "dark_metal");
  EXPECT_NE(read_materials[2].name, "skin") << "repeated names are told apart";
  for (std::size_t i = 0; i < materials.size(); ++i) {
    SCOPED_TRACE(i);
    for (int c = 0; c < 3; ++c) {
      EXPECT_TRUE(SameFloat(read_materials[i].diffuse_rgb[c], materials[i].diffuse_rgb[c]));
    }
    EXPECT_TRUE(SameFloat(read_materials[i].alpha, materials[i].alpha));
  }
}

TEST(WriteObj, ArbitraryFloatsSurviveTheRoundTrip) {
  // Finite floats of every magnitude, from random bit patterns.
  std::mt19937 random(20240611u);
  auto next_float = [&]() {
    for (;;) {
      const std::uint32_t bits = random();
      float value;
      std::memcpy(&value, &bits, sizeof value);
      if (std::isfinite(value)) return value;
    }
  };
  std::vector<ImportedMesh> meshes(1);
  meshes[0].name = "cloud";
  for (int i = 0; i < 4000; ++i) {
    if (i % 4 == 0) meshes[0].faces.emplace_back();
    meshes[0].positions.push_back({next_float(), next_float(), next_float()});
    meshes[0].faces.back().points.push_back(i);
    meshes[0].faces.back().uvs.emplace_back(next_float(), next_float());
  }
  EXPECT_TRUE(SameMeshes(Read(WriteObj(meshes)), meshes));
}

TEST(WriteObj, WithoutALibraryFacesLoseTheirMaterialOnly) {
  const auto meshes = SampleMeshes();
  const std::string text = WriteObj(meshes, SampleMaterials());
  EXPECT_EQ(text.find("usemtl"), std::string::npos);
  EXPECT_EQ(text.find("mtllib"), std::string::npos);
  std::vector<ImportedMesh> expected = meshes;
  expected[1].name = "mesh2";
  for (auto& mesh : expected) {
    for (auto& face : mesh.faces) face.material = -1;
  }
  EXPECT_TRUE(SameMeshes(Read(text), expected));
}

TEST(WriteObj, IndicesCountFromOneAcrossTheFile) {
  std::vector<ImportedMesh> meshes(2);
  meshes[0].name = "a";
  meshes[0].positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  meshes[0].faces.push_back({{0, 1, 2}, {{0, 0}, {1, 0}, {0, 1}}, -1});
  meshes[1].name = "b";
  meshes[1].positions = {{0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
  meshes[1].faces.push_back({{3, 2, 1, 0}, {{0, 0}, {1, 0}, {1, 1}, {0, 1}}, -1});
  meshes[1].faces.push_back({{0, 1, 2}, {}, -1});
  const std::string text = WriteObj(meshes);
  EXPECT_NE(text.find("o a\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nf 1/1 2/2 3/3\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\no b\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nf 7/4 6/5 5/6 4/7\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nf 4 5 6\n"), std::string::npos) << text;
}

// ---------------------------------------------------------------------------
// Files

class ReadObjFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    for (int attempt = 0; attempt < 100 && dir_.empty(); ++attempt) {
      fs::path candidate =
          fs::temp_directory_path() / ("quorvel-files-" + std::to_string(random()));
      if (fs::create_directory(candidate)) dir_ = candidate;
    }
    ASSERT_FALSE(dir_.empty());
  }
  void TearDown() override {
    std::error_code ignored;
    if (!dir_.empty()) fs::remove_all(dir_, ignored);
  }
  std::string Write(const std::string& utf8_name, const std::string& text) {
    const fs::path path = dir_ / fs::u8path(utf8_name);
    std::ofstream(path, std::ios::binary) << text;
    return path.u8string();
  }
  fs::path dir_;
};

const char kModel[] = "mtllib モデル.mtl\nv 0 0 0\nv 1 0 0\nv 1 1 0\nusemtl red\nf 1 2 3\n";

TEST_F(ReadObjFileTest, MaterialsAreReadFromBesideTheFile) {
  const std::string path = Write("モデル.obj", kModel);
  Write("モデル.mtl", "newmtl red\nKd 1 0 0\n");
  std::vector<ImportedMesh> meshes;
  std::vector<ImportedMaterial> materials;
  std::string error;
  ASSERT_TRUE(ReadObjFile(path, &meshes, &materials, &error)) << error;
  ASSERT_EQ(materials.size(), 1u);
  EXPECT_EQ(materials[0].name, "red");
  EXPECT_EQ(materials[0].diffuse_rgb[0], 1.0f);
  ASSERT_EQ(meshes.size(), 1u);
  ASSERT_EQ(meshes[0].faces.size(), 1u);
  EXPECT_EQ(meshes[0].faces[0].material, 0);
}

TEST_F(ReadObjFileTest, AMissingLibraryIsNotAnError) {
  const std::string path = Write("alone.obj", kModel);
  std::vector<ImportedMesh> meshes;
  std::vector<ImportedMaterial> materials(1);
  std::string error;
  ASSERT_TRUE(ReadObjFile(path, &meshes, &materials, &error)) << error;
  EXPECT_TRUE(materials.empty());
  ASSERT_EQ(meshes.size(), 1u);
  EXPECT_EQ(meshes[0].faces.at(0).material, -1);
}

TEST_F(ReadObjFileTest, UnreadableOrMalformedFilesAreRefusedWithTheirName) {
  const std::string bad = Write("bad.obj", "v 0 0 0\nf 1 1 1 1 9\n");
  const struct {
    const char* label;
    std::string path;
    const char* expected;
  } cases[] = {
      {"missing file", (dir_ / "absent.obj").u8string(), "cannot open"},
      {"a directory", dir_.u8string(), "cannot open"},
      {"malformed content", bad, "line 2:"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    std::vector<ImportedMesh> meshes(2);
    std::string error;
    EXPECT_FALSE(ReadObjFile(c.path, &meshes, nullptr, &error));
    EXPECT_EQ(meshes.size(), 2u);
    EXPECT_NE(error.find(c.expected), std::string::npos) << error;
    EXPECT_NE(error.find(c.path), std::string::npos) << error;
  }
}

}  // namespace
