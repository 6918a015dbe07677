// The host's document file and OBJ exchange: lossless round trips, and
// malformed input rejected with a message while the document stays as it was.
#include "host/files/document_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "host/core/host.h"

namespace {

using namespace mqhost;

// A document that uses every feature the file has to carry.
void Fill(Document* document, PluginElementMap* elements) {
  MQUserDataInfo info{};
  info.size = sizeof(info);
  info.product_id = 0x5A3C9E17;
  info.plugin_id = 0xC4172B86;
  std::strcpy(info.identifier, "VWeight");
  info.userdata_type = MQUSERDATA_VERTEX;
  info.bytes_per_element = 36;
  info.create = true;
  const int vertex_slot = document->RegisterUserData(info);
  std::strcpy(info.identifier, "OWMT");
  info.userdata_type = MQUSERDATA_OBJECT;
  info.bytes_per_element = 64;
  const int object_slot = document->RegisterUserData(info);

  auto material = std::make_unique<Material>();
  material->name = "skin \xE8\x82\x8C";  // "skin" with a Japanese character
  material->color = MQColor{0.25f, 0.5f, 0.75f};
  material->alpha = 0.7f;
  material->vertex_color = 1;
  document->AddMaterial(std::move(material));
  auto textured = std::make_unique<Material>();
  textured->name = "textured";
  textured->texture = "tex\\\xE8\x82\x8C.png";  // a relative path with a Japanese character
  document->AddMaterial(std::move(textured));
  document->current_material = 0;

  auto root = document->NewObject();
  root->name = "root \"quoted\" & <angled>";
  root->transform.scale = FVECTOR3(1.5f, 2.0f, 0.1f);
  root->transform.rotation = FVECTOR3(10.0f, -33.3f, 90.0f);
  root->transform.translation = FVECTOR3(0.1f, 1e-7f, -12345.678f);
  document->AddObject(std::move(root));

  auto mesh = document->NewObject();
  mesh->name = "mesh";
  mesh->depth = 1;
  mesh->visible = 12;
  mesh->locked = true;
  mesh->smooth_angle = 42.5f;
  mesh->color_valid = true;
  for (int i = 0; i < 4; ++i) {
    mesh->vertices.push_back(Vertex{MQPoint{0.1f * i, 1.0f / 3.0f, -2.0f * i}, 0, i == 2});
  }
  Face quad;
  quad.points = {0, 1, 2, 3};
  quad.uvs = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  quad.colors = {0xFFFFFFFFu, 0xFF0000FFu, 1u, 0u};
  quad.material = 0;
  mesh->faces.push_back(quad);
  mesh->SetFaceVisible(0, false);
  Face line;
  line.points = {0, 3};
  line.uvs = {{0, 0}, {0, 0}};
  line.colors = {7u, 8u};
  mesh->faces.push_back(line);
  document->AddObject(std::move(mesh));
  Object* added = document->ObjectAt(1);
  added->AllocVertexData(vertex_slot);
  added->AllocObjectData(object_slot);
  const float weights[9] = {1, 0.5f, 0.25f, 0.125f, 9, 8, 7, 6, 5};
  added->WriteVertexData(vertex_slot, 2, 1, 0, sizeof(weights), weights);
  const FMATRIX m(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
  added->WriteObjectData(object_slot, 0, sizeof(m), &m);

  auto third = document->NewObject();
  third->name = "deleted later";
  document->AddObject(std::move(third));
  document->DeleteObject(2);  // an empty position
  document->current_object = 1;

  document->camera.position = FVECTOR3(100, 200, -300);
  document->camera.orthographic = true;
  document->camera.ortho_height = 250.5f;
  document->camera.width = 800;
  document->camera.height = 600;

  auto element = XmlElement::Create("Plugin");
  XmlElement* model = element->AddChild("model");
  model->SetAttribute("ver", "10000");
  model->AddChild("pose")->SetAttribute("name", "\xE3\x83\x9D\xE3\x83\xBC\xE3\x82\xBA");
  (*elements)[{0x5A3C9E17u, 0xC4172B86u}] = std::move(element);
}

TEST(DocumentFile, RoundTripIsLossless) {
  Document original;
  PluginElementMap elements;
  Fill(&original, &elements);
  const std::string text = WriteDocumentXml(original, elements);

  Document loaded;
  PluginElementMap loaded_elements;
  std::string error;
  ASSERT_TRUE(ReadDocumentXml(text, &loaded, &loaded_elements, &error)) << error;
  EXPECT_EQ(WriteDocumentXml(loaded, loaded_elements), text);

  ASSERT_EQ(loaded.ObjectCount(), 3);
  EXPECT_EQ(loaded.ObjectAt(2), nullptr);
  const Object* mesh = loaded.ObjectAt(1);
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ(loaded.Parent(mesh), loaded.ObjectAt(0));
  EXPECT_EQ(mesh->uid, original.ObjectAt(1)->uid);
  EXPECT_EQ(mesh->vertices[3].uid, original.ObjectAt(1)->vertices[3].uid);
  EXPECT_TRUE(mesh->vertices[2].selected);
  EXPECT_EQ(mesh->vertices[1].position.y, 1.0f / 3.0f);
  EXPECT_EQ(loaded.ObjectAt(0)->transform.translation.y, 1e-7f);
  EXPECT_EQ(loaded.ObjectAt(0)->name, "root \"quoted\" & <angled>");
  float weights[9] = {};
  ASSERT_TRUE(mesh->ReadVertexData(1, 2, 1, 0, sizeof(weights), weights));
  EXPECT_EQ(weights[3], 0.125f);
  EXPECT_FALSE(mesh->FaceVisible(0));
  EXPECT_TRUE(mesh->FaceVisible(1));
  EXPECT_EQ(mesh->faces[0].colors[1], 0xFF0000FFu);
  EXPECT_EQ(loaded.camera.ortho_height, 250.5f);
  ASSERT_EQ(loaded.MaterialCount(), 2);
  EXPECT_EQ(loaded.MaterialAt(0)->texture, "");
  EXPECT_EQ(loaded.MaterialAt(1)->texture, "tex\\\xE8\x82\x8C.png");
  EXPECT_EQ(loaded.current_object, 1);
  ASSERT_EQ(loaded_elements.size(), 1u);
  EXPECT_TRUE(*loaded_elements.begin()->second == *elements.begin()->second);

  // New ids continue above the loaded ones.
  auto fresh = loaded.NewObject();
  loaded.AddObject(std::move(fresh));
  EXPECT_GT(loaded.ObjectAt(3)->uid, mesh->uid);
}

TEST(DocumentFile, FileRoundTripThroughDisk) {
  Document original;
  PluginElementMap elements;
  Fill(&original, &elements);
  const std::string path = "host_core_test_roundtrip.mqd";
  std::string error;
  ASSERT_TRUE(SaveDocumentFile(path, original, elements, &error)) << error;
  Document loaded;
  PluginElementMap loaded_elements;
  ASSERT_TRUE(LoadDocumentFile(path, &loaded, &loaded_elements, &error)) << error;
  EXPECT_EQ(WriteDocumentXml(loaded, loaded_elements), WriteDocumentXml(original, elements));
  std::remove(path.c_str());
  EXPECT_FALSE(LoadDocumentFile(path, &loaded, &loaded_elements, &error));
  EXPECT_NE(error.find(path), std::string::npos) << "the message names the file: " << error;
}

// Files written before materials had a texture name carry no attribute for
// it; they open with no texture, and a material without one is still written
// without the attribute.
TEST(DocumentFile, AFileWithoutTextureNamesOpens) {
  Document original;
  PluginElementMap elements;
  Fill(&original, &elements);
  std::string text = WriteDocumentXml(original, elements);
  const std::string attribute = " texture=\"tex\\\xE8\x82\x8C.png\"";
  const size_t at = text.find(attribute);
  ASSERT_NE(at, std::string::npos);
  text.erase(at, attribute.size());
  ASSERT_EQ(text.find("texture="), std::string::npos);

  Document loaded;
  PluginElementMap loaded_elements;
  std::string error;
  ASSERT_TRUE(ReadDocumentXml(text, &loaded, &loaded_elements, &error)) << error;
  ASSERT_EQ(loaded.MaterialCount(), 2);
  EXPECT_EQ(loaded.MaterialAt(1)->name, "textured");
  EXPECT_EQ(loaded.MaterialAt(1)->texture, "");
  EXPECT_EQ(WriteDocumentXml(loaded, loaded_elements), text);
}

struct MalformedCase {
  const char* name;
  const char* from;  // text replaced in a good file
  const char* to;
  const char* message_part;
};

class MalformedDocument : public testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedDocument, IsRejectedAndChangesNothing) {
  const MalformedCase& c = GetParam();
  Document original;
  PluginElementMap elements;
  Fill(&original, &elements);
  std::string text = WriteDocumentXml(original, elements);
  const size_t at = text.find(c.from);
  ASSERT_NE(at, std::string::npos) << c.name << ": fixture text not found";
  text.replace(at, std::strlen(c.from), c.to);

  Document target;
  auto sentinel = target.NewObject();
  sentinel->name = "keep me";
  target.AddObject(std::move(sentinel));
  PluginElementMap target_elements;
  std::string error;
  EXPECT_FALSE(ReadDocumentXml(text, &target, &target_elements, &error)) << c.name;
  EXPECT_NE(error.find(c.message_part), std::string::npos) << c.name << ": " << error;
  ASSERT_EQ(target.ObjectCount(), 1) << c.name;
  EXPECT_EQ(target.ObjectAt(0)->name, "keep me");
  EXPECT_TRUE(target_elements.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, MalformedDocument,
    testing::Values(
        MalformedCase{"unclosed element", "</Objects>", "", "line"},
        MalformedCase{"unsupported version", "version=\"1\"", "version=\"2\"", "version"},
        MalformedCase{"bad number", "p=\"0 0.333333343", "p=\"zero 0.333333343", "'p'"},
        MalformedCase{"vertex index out of range", "v=\"0 3\"", "v=\"0 9\"", "out of range"},
        MalformedCase{"unregistered slot", "<ObjectData slot=\"2\"", "<ObjectData slot=\"7\"",
                      "not registered"},
        MalformedCase{"record of the wrong size", "bytes=\"0000803f", "bytes=\"00803f", "bytes"},
        MalformedCase{"object data in a vertex slot", "<ObjectData slot=\"2\"",
                      "<ObjectData slot=\"1\"", "not object data"},
        MalformedCase{"unknown user-data kind", "type=\"3\"", "type=\"9\"", "unknown kind"},
        MalformedCase{"current object beyond the list", "current=\"1\"", "current=\"9\"",
                      "current object"},
        MalformedCase{"unknown section", "<Plugins>", "<Stray/><Plugins>", "unexpected element"}),
    [](const testing::TestParamInfo<MalformedCase>& info) {
      std::string name = info.param.name;
      for (char& ch : name) {
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
      }
      return name;
    });

TEST(DocumentFile, ObjImportMakesOneObjectPerGroup) {
  const std::string path = "host_core_test_import.obj";
  {
    std::ofstream out(path);
    out << "o first\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
           "f 1/1 2/2 3/3 4/4\n"
           "o second\nv 5 5 5\nv 6 5 5\nv 6 6 5\nf 5 6 7\n";
  }
  Document document;
  std::string error;
  ASSERT_TRUE(ImportObjFile(path, &document, &error)) << error;
  ASSERT_EQ(document.ObjectCount(), 2);
  const Object* first = document.ObjectAt(0);
  const Object* second = document.ObjectAt(1);
  EXPECT_EQ(first->name, "first");
  ASSERT_EQ(first->faces.size(), 1u);
  // Reversed into the modeller's clockwise order, UVs with their corners.
  EXPECT_EQ(first->faces[0].points, (std::vector<int>{3, 2, 1, 0}));
  EXPECT_EQ(first->faces[0].uvs[0].u, 0.0f);
  EXPECT_EQ(first->faces[0].uvs[0].v, 1.0f);
  EXPECT_EQ(first->faces[0].uvs[2].u, 1.0f);
  EXPECT_EQ(first->faces[0].uvs[2].v, 0.0f);
  EXPECT_EQ(second->vertices.size(), 3u);
  EXPECT_EQ(second->vertices[0].position.x, 5.0f);
  EXPECT_NE(second->vertices[0].uid, 0u);

  // Exported and imported again, the geometry is the same.
  const std::string exported = "host_core_test_export.obj";
  ASSERT_TRUE(ExportObjFile(exported, document, &error)) << error;
  Document again;
  ASSERT_TRUE(ImportObjFile(exported, &again, &error)) << error;
  ASSERT_EQ(again.ObjectCount(), 2);
  EXPECT_EQ(again.ObjectAt(1)->vertices[2].position.y, 6.0f);
  EXPECT_EQ(again.ObjectAt(0)->faces[0].points, first->faces[0].points);

  // A malformed file adds nothing.
  {
    std::ofstream out(path);
    out << "v 0 0 0\nv 1 0 0\nf 1 2 9\n";
  }
  EXPECT_FALSE(ImportObjFile(path, &again, &error));
  EXPECT_EQ(again.ObjectCount(), 2);
  std::remove(path.c_str());
  std::remove(exported.c_str());
}

}  // namespace
