// The host's document through its C API, as plug-ins see it: empty
// positions, hierarchy from depth, unique ids, transforms, geometry,
// materials and user data.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/float_checks.h"
#include "host/core/api.h"
#include "host/core/host.h"

namespace {

using mqhost::Host;
using mqhost::ToHandle;

class HostDocument : public testing::Test {
 protected:
  void SetUp() override {
    document_ = Host::Instance().NewDocument();
    doc_ = ToHandle(document_);
  }
  void TearDown() override { Host::Instance().CloseDocument(document_); }

  // A new object with `depth`, added at the end of the list.
  MQObject Add(const char* name, int depth = 0) {
    MQObject obj = MQ_CreateObject();
    mqhost::ToObject(obj)->name = name;
    MQDoc_AddObject(doc_, obj);
    MQObj_SetIntValue(obj, MQOBJ_ID_DEPTH, depth);
    return obj;
  }
  int Register(const char* name, int bytes, int type) {
    MQUserDataInfo info{};
    info.size = sizeof(info);
    info.product_id = 0x5A3C9E17;
    info.plugin_id = 0xC4172B86;
    std::strncpy(info.identifier, name, sizeof(info.identifier) - 1);
    info.userdata_type = type;
    info.bytes_per_element = bytes;
    info.create = true;
    return MQDoc_CreateUserData(doc_, &info);
  }
  int AddVertex(MQObject obj, float x, float y, float z) {
    MQPoint p{x, y, z};
    return MQObj_AddVertex(obj, &p);
  }

  mqhost::Document* document_ = nullptr;
  MQDocument doc_ = nullptr;
};

TEST_F(HostDocument, EveryObjectOfALargeDocumentKnowsItsIndex) {
  // Far more objects than the index table starts with, some deleted, and
  // insertions that shift every later index.
  std::vector<MQObject> objects;
  for (int i = 0; i < 300; ++i) objects.push_back(Add(("o" + std::to_string(i)).c_str()));
  for (int i = 0; i < 300; i += 7) MQDoc_DeleteObject(doc_, i);
  MQObject first = MQ_CreateObject();
  MQDoc_InsertObject(doc_, first, objects[1]);  // at 2
  for (int i = 0; i < 300; ++i) {
    if (i % 7 == 0) continue;  // deleted: the handle is gone
    ASSERT_EQ(MQDoc_GetObjectIndex(doc_, objects[static_cast<size_t>(i)]), i < 2 ? i : i + 1) << i;
  }
  EXPECT_EQ(MQDoc_GetObjectIndex(doc_, first), 2);
  MQObject free_object = MQ_CreateObject();
  EXPECT_EQ(MQDoc_GetObjectIndex(doc_, free_object), -1) << "an object of no document";
  MQObj_Delete(free_object);
  EXPECT_EQ(MQDoc_GetObjectIndex(doc_, nullptr), -1);
}

TEST_F(HostDocument, DeletingLeavesAnEmptyPositionThatCountsStay) {
  MQObject a = Add("a");
  Add("b");
  MQObject c = Add("c");
  MQDoc_DeleteObject(doc_, 1);
  EXPECT_EQ(MQDoc_GetObjectCount(doc_), 3);
  EXPECT_EQ(MQDoc_GetObject(doc_, 0), a);
  EXPECT_EQ(MQDoc_GetObject(doc_, 1), nullptr);
  EXPECT_EQ(MQDoc_GetObject(doc_, 2), c);
  EXPECT_EQ(MQDoc_GetObjectIndex(doc_, c), 2);
  EXPECT_EQ(MQDoc_GetObject(doc_, 3), nullptr);
  EXPECT_EQ(MQDoc_GetObject(doc_, -1), nullptr);
  MQDoc_DeleteObject(doc_, 7);  // out of range: nothing
  EXPECT_EQ(MQDoc_GetObjectCount(doc_), 3);
}

TEST_F(HostDocument, UniqueIdsAreNeverReused) {
  std::vector<int> ids;
  for (int i = 0; i < 4; ++i) {
    MQObject obj = Add("o");
    AddVertex(obj, 0, 0, 0);
    ids.push_back(MQObj_GetIntValue(obj, MQOBJ_ID_UNIQUE_ID));
    ids.push_back(static_cast<int>(MQObj_GetVertexUniqueID(obj, 0)) + 100000);
    MQDoc_DeleteObject(doc_, i);
  }
  std::vector<int> sorted = ids;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(std::unique(sorted.begin(), sorted.end()), sorted.end());
  for (int id : ids) EXPECT_NE(id % 100000, 0) << "0 is never an id";
}

TEST_F(HostDocument, FreeObjectsGetIdsWhenTheyJoin) {
  MQObject obj = MQ_CreateObject();
  AddVertex(obj, 1, 2, 3);
  EXPECT_EQ(MQObj_GetVertexUniqueID(obj, 0), 0u);
  MQDoc_AddObject(doc_, obj);
  EXPECT_NE(MQObj_GetVertexUniqueID(obj, 0), 0u);
  // A freed handle that is not free any more is not deleted by MQObj_Delete.
  MQObj_Delete(obj);
  EXPECT_EQ(MQDoc_GetObject(doc_, 0), obj);
  MQObject lonely = MQ_CreateObject();
  MQObj_Delete(lonely);  // destroyed; leak checkers would see otherwise
  EXPECT_FALSE(Host::Instance().IsFreeObject(mqhost::ToObject(lonely)));
}

struct HierarchyCase {
  const char* name;
  std::vector<int> depths;    // list order; -1 marks an empty position
  std::vector<int> parents;   // expected parent index, -1 for none
};

class Hierarchy : public HostDocument, public testing::WithParamInterface<HierarchyCase> {};

TEST_P(Hierarchy, ParentIsTheNearestEarlierObjectOneLevelUp) {
  const HierarchyCase& c = GetParam();
  std::vector<MQObject> objects;
  for (size_t i = 0; i < c.depths.size(); ++i) {
    objects.push_back(Add("o", c.depths[i] < 0 ? 0 : c.depths[i]));
  }
  for (size_t i = 0; i < c.depths.size(); ++i) {
    if (c.depths[i] < 0) MQDoc_DeleteObject(doc_, static_cast<int>(i));
  }
  std::vector<std::vector<MQObject>> children(c.depths.size());
  for (size_t i = 0; i < c.depths.size(); ++i) {
    if (c.depths[i] < 0) continue;
    MQObject parent = MQDoc_GetParentObject(doc_, objects[i]);
    const int expected = c.parents[i];
    EXPECT_EQ(parent, expected < 0 ? nullptr : objects[static_cast<size_t>(expected)])
        << c.name << ": object " << i;
    if (expected >= 0) children[static_cast<size_t>(expected)].push_back(objects[i]);
    EXPECT_EQ(MQObj_GetIntValue(objects[i], MQOBJ_ID_DEPTH), c.depths[i]);
  }
  for (size_t i = 0; i < c.depths.size(); ++i) {
    if (c.depths[i] < 0) continue;
    ASSERT_EQ(MQDoc_GetChildObjectCount(doc_, objects[i]), static_cast<int>(children[i].size()))
        << c.name << ": object " << i;
    for (size_t k = 0; k < children[i].size(); ++k) {
      EXPECT_EQ(MQDoc_GetChildObject(doc_, objects[i], static_cast<int>(k)), children[i][k])
          << c.name << ": child " << k << " of " << i << " in list order";
    }
    EXPECT_EQ(MQDoc_GetChildObject(doc_, objects[i], static_cast<int>(children[i].size())), nullptr);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, Hierarchy,
    testing::Values(HierarchyCase{"flat", {0, 0, 0}, {-1, -1, -1}},
                    HierarchyCase{"chain", {0, 1, 2, 3}, {-1, 0, 1, 2}},
                    HierarchyCase{"siblings", {0, 1, 1, 2, 1}, {-1, 0, 0, 2, 0}},
                    HierarchyCase{"two roots", {0, 1, 0, 1, 2}, {-1, 0, -1, 2, 3}},
                    HierarchyCase{"deeper jump has no parent", {0, 2, 1}, {-1, -1, 0}},
                    HierarchyCase{"empty position skipped", {0, -1, 1, 1}, {-1, -1, 0, 0}}));

TEST_F(HostDocument, HierarchyFollowsDepthChangesAndInsertion) {
  MQObject root = Add("root");
  MQObject a = Add("a", 1);
  MQObject b = Add("b", 1);
  EXPECT_EQ(MQDoc_GetChildObjectCount(doc_, root), 2);
  MQObj_SetIntValue(b, MQOBJ_ID_DEPTH, 2);  // b now hangs below a
  EXPECT_EQ(MQDoc_GetChildObjectCount(doc_, root), 1);
  EXPECT_EQ(MQDoc_GetParentObject(doc_, b), a);

  MQObject inserted = MQ_CreateObject();
  EXPECT_EQ(MQDoc_InsertObject(doc_, inserted, root), 1) << "inserted right after root";
  MQObj_SetIntValue(inserted, MQOBJ_ID_DEPTH, 1);
  EXPECT_EQ(MQDoc_GetObjectIndex(doc_, a), 2);
  EXPECT_EQ(MQDoc_GetChildObject(doc_, root, 0), inserted);
  EXPECT_EQ(MQDoc_GetChildObject(doc_, root, 1), a);
}

TEST_F(HostDocument, GlobalMatrixIsLocalTimesParentGlobal) {
  MQObject parent = Add("parent");
  MQObject child = Add("child", 1);
  const float parent_rotation[3] = {0, 0, 90};
  const float parent_translation[3] = {10, 0, 0};
  const float child_translation[3] = {0, 5, 0};
  const float child_scale[3] = {2, 2, 2};
  MQObj_SetFloatArray(parent, MQOBJ_ID_ROTATION, parent_rotation);
  MQObj_SetFloatArray(parent, MQOBJ_ID_TRANSLATION, parent_translation);
  MQObj_SetFloatArray(child, MQOBJ_ID_TRANSLATION, child_translation);
  MQObj_SetFloatArray(child, MQOBJ_ID_SCALING, child_scale);

  FMATRIX parent_global, child_global, child_inverse;
  MQDoc_GetGlobalMatrix(doc_, parent, parent_global.m);
  MQDoc_GetGlobalMatrix(doc_, child, child_global.m);
  MQDoc_GetGlobalInverseMatrix(doc_, child, child_inverse.m);

  FMATRIX child_local = mqhost::ComposeTransform(mqhost::ToObject(child)->transform);
  EXPECT_MAT_NEAR(child_global, child_local * parent_global, 1e-4f);
  // The child's origin: (0, 5, 0) turned 90° about Z lands on (-5, 0, 0), then +10 in x.
  EXPECT_VEC3_NEAR(child_global.TransformPoint(FVECTOR3(0, 0, 0)), FVECTOR3(5, 0, 0), 1e-4f);
  EXPECT_MAT_NEAR(child_global * child_inverse, FMATRIX(), 1e-4f);
  // The pivot translation read back through the matrix query.
  float translation[3] = {};
  MQMatrix_FloatValue(child_global.m, MQMATRIX_GET_TRANSLATION, translation);
  EXPECT_NEAR(translation[0], 5.0f, 1e-4f);
  EXPECT_NEAR(translation[1], 0.0f, 1e-4f);
}

// Global matrices are kept between queries; every way an ancestor can change
// must show in the next one.
TEST_F(HostDocument, GlobalMatricesFollowEveryChangeOfTheirAncestors) {
  MQObject root = Add("root");
  MQObject middle = Add("middle", 1);
  MQObject leaf = Add("leaf", 2);
  auto origin_of = [this](MQObject obj) {
    FMATRIX global;
    MQDoc_GetGlobalMatrix(doc_, obj, global.m);
    return global.TransformPoint(FVECTOR3(0, 0, 0));
  };
  const float one_x[3] = {1, 0, 0};
  for (MQObject obj : {root, middle, leaf}) MQObj_SetFloatArray(obj, MQOBJ_ID_TRANSLATION, one_x);
  EXPECT_VEC3_NEAR(origin_of(leaf), FVECTOR3(3, 0, 0), 1e-6f);

  struct Step {
    const char* what;
    std::function<void()> change;
    FVECTOR3 leaf;
  };
  mqhost::Object* root_object = mqhost::ToObject(root);
  mqhost::Document* document = mqhost::Host::Instance().FindDocument(doc_);
  const Step steps[] = {
      {"the root's field written directly", [&] { root_object->transform.translation.y = 4; },
       FVECTOR3(3, 4, 0)},
      {"the middle scaled through the API",
       [&] {
         const float two[3] = {2, 2, 2};
         MQObj_SetFloatArray(middle, MQOBJ_ID_SCALING, two);
       },
       FVECTOR3(4, 4, 0)},
      {"the leaf moved to the root's level", [&] { document->SetDepth(mqhost::ToObject(leaf), 1); },
       FVECTOR3(2, 4, 0)},
      {"the middle deleted", [&] { MQDoc_DeleteObject(doc_, 1); }, FVECTOR3(2, 4, 0)},
      {"the root turned", [&] { root_object->transform.rotation.z = 90; }, FVECTOR3(1, 5, 0)},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    step.change();
    EXPECT_VEC3_NEAR(origin_of(leaf), step.leaf, 1e-5f);
  }
}

TEST_F(HostDocument, GeometryAndFaceAttributes) {
  MQObject obj = Add("mesh");
  for (int i = 0; i < 4; ++i) AddVertex(obj, static_cast<float>(i), 0, 0);
  const int quad[4] = {0, 1, 2, 3};
  const int tri[3] = {1, 2, 3};
  const int bad[3] = {0, 1, 9};
  EXPECT_EQ(MQObj_AddFace(obj, 4, quad), 0);
  EXPECT_EQ(MQObj_AddFace(obj, 3, tri), 1);
  EXPECT_EQ(MQObj_AddFace(obj, 3, bad), -1) << "an index beyond the vertices";
  EXPECT_EQ(MQObj_GetFaceCount(obj), 2);
  EXPECT_EQ(MQObj_GetFacePointCount(obj, 0), 4);
  int points[4] = {};
  MQObj_GetFacePointArray(obj, 1, points);
  EXPECT_EQ(points[0], 1);
  EXPECT_EQ(points[2], 3);

  EXPECT_EQ(MQObj_GetVertexRefCount(obj, 2), 2);
  EXPECT_EQ(MQObj_GetVertexRefCount(obj, 0), 1);
  int related[2] = {-1, -1};
  EXPECT_EQ(MQObj_GetVertexRelatedFaces(obj, 3, related), 2);
  EXPECT_EQ(related[0], 0);
  EXPECT_EQ(related[1], 1);

  const MQCoordinate uv[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  MQObj_SetFaceCoordinateArray(obj, 0, uv);
  MQCoordinate read[4] = {};
  MQObj_GetFaceCoordinateArray(obj, 0, read);
  EXPECT_EQ(read[2].u, 1.0f);
  EXPECT_EQ(read[3].v, 1.0f);
  MQObj_SetFaceVertexColor(obj, 1, 2, 0xFF00FF00u);
  EXPECT_EQ(MQObj_GetFaceVertexColor(obj, 1, 2), 0xFF00FF00u);
  EXPECT_EQ(MQObj_GetFaceVertexColor(obj, 1, 3), 0u) << "corner beyond the face";
  MQObj_SetFaceMaterial(obj, 0, 2);
  EXPECT_EQ(MQObj_GetFaceMaterial(obj, 0), 2);
  MQObj_SetFaceVisible(obj, 1, FALSE);
  EXPECT_EQ(MQObj_GetFaceVisible(obj, 1), FALSE);
  EXPECT_EQ(MQObj_GetFaceVisible(obj, 0), TRUE);
  MQObj_SetSmoothAngle(obj, 30.0f);
  EXPECT_EQ(MQObj_GetSmoothAngle(obj), 30.0f);

  MQPoint p{7, 8, 9};
  MQObj_SetVertex(obj, 2, &p);
  MQPoint q{};
  MQObj_GetVertex(obj, 2, &q);
  EXPECT_EQ(q.y, 8.0f);

  char name[4] = {};
  MQObj_GetName(obj, name, sizeof(name));
  EXPECT_STREQ(name, "mes") << "the name is cut to the buffer and terminated";
}

TEST_F(HostDocument, VisibilityLockAndSelection) {
  MQObject obj = Add("o");
  AddVertex(obj, 0, 0, 0);
  AddVertex(obj, 1, 0, 0);
  EXPECT_NE(MQObj_GetVisible(obj), 0u);
  MQObj_SetVisible(obj, 0);
  EXPECT_EQ(MQObj_GetVisible(obj), 0u);
  MQObj_SetVisible(obj, 12);
  EXPECT_EQ(MQObj_GetVisible(obj), 12u);
  EXPECT_EQ(MQObj_GetIntValue(obj, MQOBJ_ID_LOCKING), 0);
  mqhost::ToObject(obj)->locked = true;
  EXPECT_EQ(MQObj_GetIntValue(obj, MQOBJ_ID_LOCKING), 1);
  mqhost::ToObject(obj)->locked = false;
  document_->SetSelected(0, 1, true);
  EXPECT_EQ(MQDoc_IsSelectVertex(doc_, 0, 1), TRUE);
  EXPECT_EQ(MQDoc_IsSelectVertex(doc_, 0, 0), FALSE);
  EXPECT_EQ(MQDoc_IsSelectVertex(doc_, 0, 5), FALSE);
  EXPECT_EQ(MQDoc_IsSelectVertex(doc_, 4, 0), FALSE);
  MQDoc_SetCurrentObjectIndex(doc_, 0);
  EXPECT_EQ(MQDoc_GetCurrentObjectIndex(doc_), 0);
  MQDoc_SetCurrentObjectIndex(doc_, 9);  // no such object: unchanged
  EXPECT_EQ(MQDoc_GetCurrentObjectIndex(doc_), 0);
}

TEST_F(HostDocument, MaterialsAndDeletionKeepFacesPointingRight) {
  for (const char* name : {"red", "green", "blue"}) {
    auto material = std::make_unique<mqhost::Material>();
    material->name = name;
    document_->AddMaterial(std::move(material));
  }
  MQObject obj = Add("o");
  AddVertex(obj, 0, 0, 0);
  AddVertex(obj, 1, 0, 0);
  AddVertex(obj, 0, 1, 0);
  const int tri[3] = {0, 1, 2};
  MQObj_AddFace(obj, 3, tri);
  MQObj_AddFace(obj, 3, tri);
  MQObj_SetFaceMaterial(obj, 0, 1);
  MQObj_SetFaceMaterial(obj, 1, 2);

  MQMaterial blue = MQDoc_GetMaterial(doc_, 2);
  const MQColor color{0.1f, 0.2f, 0.3f};
  MQMat_SetColor(blue, &color);
  MQMat_SetAlpha(blue, 0.7f);
  MQMat_SetIntValue(blue, MQMAT_ID_VERTEXCOLOR, 1);
  EXPECT_EQ(MQMat_GetIntValue(blue, MQMAT_ID_VERTEXCOLOR), 1);
  MQMat_SetIntValue(blue, MQMAT_ID_SHADER, 4);
  EXPECT_EQ(MQMat_GetIntValue(blue, MQMAT_ID_SHADER), 4);
  EXPECT_EQ(MQMat_GetIntValue(blue, MQMAT_ID_VERTEXCOLOR), 1) << "each code its own value";
  const int uid = MQMat_GetIntValue(blue, MQMAT_ID_UNIQUE_ID);
  EXPECT_NE(uid, 0);
  EXPECT_NE(uid, MQMat_GetIntValue(MQDoc_GetMaterial(doc_, 0), MQMAT_ID_UNIQUE_ID));
  MQMat_SetIntValue(blue, MQMAT_ID_UNIQUE_ID, 77);  // read only
  EXPECT_EQ(MQMat_GetIntValue(blue, MQMAT_ID_UNIQUE_ID), uid);
  EXPECT_FLOAT_EQ(MQMat_GetAlpha(blue), 0.7f);

  MQMat_Delete(MQDoc_GetMaterial(doc_, 1));
  EXPECT_EQ(MQDoc_GetMaterialCount(doc_), 2);
  EXPECT_EQ(MQObj_GetFaceMaterial(obj, 0), -1) << "its material is gone";
  EXPECT_EQ(MQObj_GetFaceMaterial(obj, 1), 1) << "blue moved up one place";
  EXPECT_EQ(MQDoc_GetMaterial(doc_, 1), blue);
}

TEST_F(HostDocument, MaterialsMadeByPlugInsJoinTheDocumentWhenAdded) {
  MQMaterial made = MQ_CreateMaterial();
  ASSERT_NE(made, nullptr);
  EXPECT_TRUE(Host::Instance().IsFreeMaterial(mqhost::ToMaterial(made)));
  EXPECT_EQ(MQDoc_GetMaterialCount(doc_), 0) << "not in the document before it is added";
  MQMat_SetName(made, "skin");
  const MQColor color{0.1f, 0.2f, 0.3f};
  MQMat_SetColor(made, &color);
  MQMat_SetDiffuse(made, 0.6f);
  MQMat_SetTextureName(made, "tex\\skin.png");

  EXPECT_EQ(MQDoc_AddMaterial(doc_, made), 0);
  EXPECT_EQ(MQDoc_AddMaterial(doc_, made), -1) << "taken once";
  EXPECT_EQ(MQDoc_AddMaterial(nullptr, MQ_CreateMaterial()), -1);
  EXPECT_EQ(MQDoc_AddMaterial(doc_, nullptr), -1);
  ASSERT_EQ(MQDoc_GetMaterialCount(doc_), 1);
  ASSERT_EQ(MQDoc_GetMaterial(doc_, 0), made);
  EXPECT_FALSE(Host::Instance().IsFreeMaterial(mqhost::ToMaterial(made)));
  EXPECT_NE(MQMat_GetIntValue(made, MQMAT_ID_UNIQUE_ID), 0) << "an id on joining";

  char name[16];
  MQMat_GetName(made, name, sizeof(name));
  EXPECT_STREQ(name, "skin");
  char cut[4];
  MQMat_GetTextureName(made, cut, sizeof(cut));
  EXPECT_STREQ(cut, "tex") << "cut to the buffer and terminated";
  char texture[32];
  MQMat_GetTextureName(made, texture, sizeof(texture));
  EXPECT_STREQ(texture, "tex\\skin.png");
  MQColor read{};
  MQMat_GetColor(made, &read);
  EXPECT_EQ(read.g, 0.2f);
  EXPECT_EQ(MQMat_GetDiffuse(made), 0.6f);
  MQMat_SetTextureName(made, nullptr);
  MQMat_GetTextureName(made, texture, sizeof(texture));
  EXPECT_STREQ(texture, "");

  // A material no document took is destroyed by MQMat_Delete.
  MQMaterial lonely = MQ_CreateMaterial();
  MQMat_Delete(lonely);
  EXPECT_FALSE(Host::Instance().IsFreeMaterial(mqhost::ToMaterial(lonely)));
  EXPECT_EQ(MQDoc_GetMaterialCount(doc_), 1);
}

TEST_F(HostDocument, ObjectNamesAndVertexArrays) {
  MQObject obj = Add("old");
  MQObj_SetName(obj, "\xE8\x85\x95");  // a Japanese name passes through unchanged
  EXPECT_EQ(mqhost::ToObject(obj)->name, "\xE8\x85\x95");
  MQObj_SetName(obj, nullptr);
  EXPECT_EQ(mqhost::ToObject(obj)->name, "");

  for (int i = 0; i < 3; ++i) AddVertex(obj, static_cast<float>(i), 2.0f * i, -1.0f);
  MQPoint points[4] = {};
  points[3] = MQPoint{9, 9, 9};
  MQObj_GetVertexArray(obj, points);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(points[i].x, static_cast<float>(i));
    EXPECT_EQ(points[i].y, 2.0f * i);
  }
  EXPECT_EQ(points[3].x, 9.0f) << "nothing written past the vertices";
  MQObj_GetVertexArray(obj, nullptr);
  MQObj_GetVertexArray(nullptr, points);
}

TEST_F(HostDocument, UserDataRegistrationAnswersSlotIds) {
  const int weight = Register("VWeight", 36, MQUSERDATA_VERTEX);
  const int pose = Register("OPoseTSQ0", 40, MQUSERDATA_OBJECT);
  EXPECT_GT(weight, 0);
  EXPECT_GT(pose, 0);
  EXPECT_NE(weight, pose);
  EXPECT_EQ(Register("VWeight", 36, MQUSERDATA_VERTEX), weight) << "the same kind again";
  EXPECT_NE(Register("VWeight", 36, MQUSERDATA_OBJECT), weight) << "another kind, another slot";
  for (int type : {0, 5, -1}) EXPECT_EQ(Register("X", 4, type), 0) << "no such kind " << type;
  MQUserDataInfo wrong_size{};
  wrong_size.size = 36;
  wrong_size.userdata_type = MQUSERDATA_OBJECT;
  wrong_size.bytes_per_element = 4;
  wrong_size.create = true;
  EXPECT_EQ(MQDoc_CreateUserData(doc_, &wrong_size), 0);
  EXPECT_EQ(MQDoc_CreateUserData(doc_, nullptr), 0);
}

// The modeller keeps object data and vertex data apart: the object calls on
// a vertex slot fail, and the vertex calls on an object slot.
TEST_F(HostDocument, UserDataCallsMustMatchTheSlotsKind) {
  const int object_slot = Register("OBase", 52, MQUSERDATA_OBJECT);
  const int vertex_slot = Register("VWeight", 36, MQUSERDATA_VERTEX);
  MQObject obj = Add("o");
  AddVertex(obj, 0, 0, 0);
  uint8_t record[52] = {};
  EXPECT_EQ(MQObj_AllocUserData(obj, vertex_slot), FALSE);
  EXPECT_EQ(MQObj_SetUserData(obj, vertex_slot, 0, 0, record), FALSE);
  EXPECT_EQ(MQObj_AllocVertexUserData(obj, object_slot), FALSE);
  EXPECT_EQ(MQObj_GetVertexUserData(obj, object_slot, 0, 1, 0, 0, record), FALSE);

  ASSERT_EQ(MQObj_AllocUserData(obj, object_slot), TRUE);
  ASSERT_EQ(MQObj_AllocVertexUserData(obj, vertex_slot), TRUE);
  EXPECT_EQ(MQObj_GetUserData(obj, vertex_slot, 0, 0, record), FALSE);
  EXPECT_EQ(MQObj_GetVertexUserData(obj, object_slot, 0, 1, 0, 0, record), FALSE);
  EXPECT_EQ(MQObj_GetUserData(obj, object_slot, 0, 0, record), TRUE);
  EXPECT_EQ(MQObj_GetVertexUserData(obj, vertex_slot, 0, 1, 0, 0, record), TRUE);
}

TEST_F(HostDocument, ObjectUserDataKeepsReadsFailsAndIsBounded) {
  const int slot = Register("OBase", 52, MQUSERDATA_OBJECT);
  MQObject obj = Add("o");
  uint8_t buffer[52];
  EXPECT_EQ(MQObj_GetUserData(obj, slot, 0, 0, buffer), FALSE) << "not allocated yet";
  EXPECT_EQ(MQObj_AllocUserData(obj, slot), TRUE);
  std::memset(buffer, 0xAB, sizeof(buffer));
  ASSERT_EQ(MQObj_GetUserData(obj, slot, 0, 0, buffer), TRUE);
  EXPECT_EQ(buffer[0], 0) << "fresh records read as zero";
  EXPECT_EQ(buffer[51], 0);

  uint8_t record[52];
  for (int i = 0; i < 52; ++i) record[i] = static_cast<uint8_t>(i + 1);
  ASSERT_EQ(MQObj_SetUserData(obj, slot, 0, 0, record), TRUE);
  EXPECT_EQ(MQObj_AllocUserData(obj, slot), TRUE);
  ASSERT_EQ(MQObj_GetUserData(obj, slot, 0, 0, buffer), TRUE);
  EXPECT_EQ(std::memcmp(buffer, record, 52), 0) << "allocating again keeps the data";

  uint8_t part[4];
  EXPECT_EQ(MQObj_GetUserData(obj, slot, 48, 4, part), TRUE);
  EXPECT_EQ(part[3], 52);
  EXPECT_EQ(MQObj_GetUserData(obj, slot, 49, 4, part), FALSE) << "past the record's end";
  EXPECT_EQ(MQObj_GetUserData(obj, slot, -1, 4, part), FALSE);
  EXPECT_EQ(MQObj_SetUserData(obj, slot, 0, 53, record), FALSE);
  EXPECT_EQ(MQObj_AllocUserData(obj, slot + 100), FALSE) << "an unregistered slot";

  MQObj_FreeUserData(obj, slot);
  EXPECT_EQ(MQObj_GetUserData(obj, slot, 0, 0, buffer), FALSE);
}

TEST_F(HostDocument, VertexUserDataIsZeroedAndFollowsItsVertices) {
  const int slot = Register("VWeight", 36, MQUSERDATA_VERTEX);
  MQObject lead = Add("lead");
  MQObject obj = Add("o");
  AddVertex(obj, 0, 0, 0);
  AddVertex(obj, 1, 0, 0);
  uint8_t record[36];
  EXPECT_EQ(MQObj_GetVertexUserData(obj, slot, 0, 1, 0, 0, record), FALSE);
  ASSERT_EQ(MQObj_AllocVertexUserData(obj, slot), TRUE);
  std::memset(record, 0xCD, sizeof(record));
  ASSERT_EQ(MQObj_GetVertexUserData(obj, slot, 1, 1, 0, 0, record), TRUE);
  EXPECT_EQ(record[0], 0);
  EXPECT_EQ(record[35], 0);

  uint8_t first[36];
  std::memset(first, 0x11, sizeof(first));
  ASSERT_EQ(MQObj_SetVertexUserData(obj, slot, 0, 1, 0, 0, first), TRUE);
  const int added = AddVertex(obj, 2, 0, 0);
  ASSERT_EQ(MQObj_GetVertexUserData(obj, slot, added, 1, 0, 0, record), TRUE);
  EXPECT_EQ(record[7], 0) << "a new vertex gets a zeroed record";
  ASSERT_EQ(MQObj_GetVertexUserData(obj, slot, 0, 1, 0, 0, record), TRUE);
  EXPECT_EQ(record[7], 0x11);
  EXPECT_EQ(MQObj_AllocVertexUserData(obj, slot), TRUE);
  ASSERT_EQ(MQObj_GetVertexUserData(obj, slot, 0, 1, 0, 0, record), TRUE);
  EXPECT_EQ(record[7], 0x11) << "allocating again keeps the data";

  EXPECT_EQ(MQObj_GetVertexUserData(obj, slot, 3, 1, 0, 0, record), FALSE) << "no vertex 3";
  EXPECT_EQ(MQObj_GetVertexUserData(obj, slot, 2, 2, 0, 0, record), FALSE) << "runs past the end";
  EXPECT_EQ(MQObj_GetVertexUserData(obj, slot, 0, 1, 30, 8, record), FALSE) << "past the record";
  uint8_t two[72];
  EXPECT_EQ(MQObj_GetVertexUserData(obj, slot, 0, 2, 0, 0, two), TRUE);
  EXPECT_EQ(two[0], 0x11);
  EXPECT_EQ(two[36], 0);

  // The data moves with its object when another is inserted before it, and
  // dies with it.
  MQObject front = MQ_CreateObject();
  ASSERT_EQ(MQDoc_InsertObject(doc_, front, lead), 1);
  MQObject moved = MQDoc_GetObject(doc_, 2);
  ASSERT_EQ(moved, obj);
  ASSERT_EQ(MQObj_GetVertexUserData(moved, slot, 0, 1, 0, 0, record), TRUE);
  EXPECT_EQ(record[0], 0x11);
  MQDoc_DeleteObject(doc_, 2);
  MQObject replacement = Add("r");
  AddVertex(replacement, 0, 0, 0);
  EXPECT_EQ(MQObj_GetVertexUserData(replacement, slot, 0, 1, 0, 0, record), FALSE);
}

// The vertex-to-face table: kept while faces are appended, never carried
// over by a copy (undo restores objects by copying them).
TEST_F(HostDocument, RelatedFacesFollowAppendedFacesAndCopies) {
  MQObject obj = Add("o");
  for (int i = 0; i < 4; ++i) AddVertex(obj, float(i), 0, 0);
  mqhost::Object* o = mqhost::ToObject(obj);
  ASSERT_EQ(o->AddFace({0, 1, 2}), 0);
  EXPECT_EQ(MQObj_GetVertexRefCount(obj, 0), 1);
  EXPECT_EQ(MQObj_GetVertexRefCount(obj, 3), 0);
  ASSERT_EQ(o->AddFace({0, 2, 3}), 1);
  ASSERT_EQ(o->AddFace({3, 3, 1}), 2);  // names vertex 3 twice: counted once
  EXPECT_EQ(o->RelatedFaces(0), (std::vector<int>{0, 1}));
  EXPECT_EQ(o->RelatedFaces(3), (std::vector<int>{1, 2}));
  EXPECT_EQ(MQObj_GetVertexRefCount(obj, 1), 2);
  EXPECT_EQ(o->RelatedFaces(7), std::vector<int>{});

  // Another object with as many faces and vertices but other faces.
  mqhost::Object other;
  for (int i = 0; i < 4; ++i) other.AddVertex(MQPoint{0, 0, 0});
  other.AddFace({1, 2, 3});
  other.AddFace({1, 2, 3});
  other.AddFace({1, 2, 3});
  EXPECT_EQ(other.RelatedFaces(0), std::vector<int>{});
  *o = other;
  EXPECT_EQ(o->RelatedFaces(0), std::vector<int>{}) << "the copy's faces, not the old table";
  EXPECT_EQ(o->RelatedFaces(1), (std::vector<int>{0, 1, 2}));
}

TEST_F(HostDocument, ScenesAnswerOnlySceneZero) {
  EXPECT_NE(MQDoc_GetScene(doc_, 0), nullptr);
  EXPECT_EQ(MQDoc_GetScene(doc_, 1), nullptr);
  EXPECT_EQ(MQDoc_GetScene(nullptr, 0), nullptr);
  // An unknown document handle is answered like none.
  EXPECT_EQ(MQDoc_GetObjectCount(reinterpret_cast<MQDocument>(0x1234)), 0);
}

}  // namespace
