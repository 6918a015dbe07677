// Helpers over all objects of a document: default records, visibility,
// selection, deletion, the selection centre and vertex weight colours.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "rig/rig_access.h"
#include "rig/rig_document.h"
#include "tests/rig/rig_fixture.h"
#include "tests/support/float_checks.h"

using namespace quorvel;

namespace {

using RigDocumentTest = RigTest;

TEST_F(RigDocumentTest, EnsureRigRecordsGivesMissingRecordsAndStoresTheBaseShape) {
  std::srand(12345);
  MQObject keep = AddMesh("has record", 2);
  OBase own;
  own.weight_colour = UCOLOR(1, 2, 3, 4);
  own.flags = OBase::OB_VALID;
  ASSERT_TRUE(SetBoneRecord(keep, slots_, own));
  std::vector<MQObject> fresh;
  for (int i = 0; i < 6; ++i) fresh.push_back(AddMesh(("bone" + std::to_string(i)).c_str(), i));
  document_->DeleteObject(HostApi().MQDoc_GetObjectIndex(doc_, fresh[5]));  // an empty position
  fresh.pop_back();

  EXPECT_EQ(EnsureRigRecords(doc_, slots_), 5);

  OBase rec;
  ASSERT_TRUE(GetBoneRecord(keep, slots_, rec));
  EXPECT_EQ(rec.weight_colour, own.weight_colour) << "an existing record is kept";
  EXPECT_EQ(rec.flags, own.flags);
  EXPECT_FALSE(HasMorphShape(keep, slots_, -1));

  for (MQObject obj : fresh) {
    SCOPED_TRACE(mqhost::ToObject(obj)->name);
    ASSERT_TRUE(GetBoneRecord(obj, slots_, rec));
    OBase want;
    want.weight_colour = rec.weight_colour;
    EXPECT_EQ(std::memcmp(&rec, &want, sizeof rec), 0) << "defaults apart from the colour";
    for (uint8_t channel : {rec.weight_colour.r, rec.weight_colour.g, rec.weight_colour.b}) {
      EXPECT_GE(channel, 128);
    }
    EXPECT_EQ(rec.weight_colour.a, 255);
    // The base shape holds the vertex positions; weights are not touched.
    const int n = HostApi().MQObj_GetVertexCount(obj);
    EXPECT_TRUE(HasVertexSlotData(obj, slots_.MorphShape(-1)));
    const auto& data = mqhost::ToObject(obj)->vertex_data.at(slots_.MorphShape(-1));
    ASSERT_EQ(data.size(), n * sizeof(VMorphTarget));
    for (int v = 0; v < n; ++v) {
      VMorphTarget shape;
      std::memcpy(&shape, data.data() + v * sizeof shape, sizeof shape);
      EXPECT_EQ(shape.position, FVECTOR3(float(v), float(2 * v), float(3 * v)));
      EXPECT_EQ(shape.valid, 1);
    }
    EXPECT_FALSE(HasWeights(obj, slots_));
  }
  EXPECT_EQ(EnsureRigRecords(doc_, slots_), 0) << "nothing left to add";
  EXPECT_EQ(EnsureRigRecords(nullptr, slots_), 0);
}

TEST_F(RigDocumentTest, VisibilityIsSavedAndRestored) {
  MQObject a = AddObject("a");
  MQObject b = AddObject("b");
  MQObject none = AddObject("no record");
  ASSERT_TRUE(SetBoneRecord(a, slots_, OBase()));
  ASSERT_TRUE(SetBoneRecord(b, slots_, OBase()));
  HostApi().MQObj_SetVisible(a, 7);
  HostApi().MQObj_SetVisible(b, 0);
  HostApi().MQObj_SetVisible(none, 7);
  SaveVisibility(doc_, slots_);
  EXPECT_EQ(GetSavedVisibility(a, slots_), 7);
  EXPECT_EQ(GetSavedVisibility(b, slots_), 0);
  EXPECT_FALSE(HasBoneRecord(none, slots_));

  for (MQObject obj : {a, b, none}) HostApi().MQObj_SetVisible(obj, 15);
  RestoreVisibility(doc_, slots_);
  EXPECT_EQ(HostApi().MQObj_GetVisible(a), 7u);
  EXPECT_EQ(HostApi().MQObj_GetVisible(b), 0u);
  EXPECT_EQ(HostApi().MQObj_GetVisible(none), 0u) << "no record: hidden";
}

TEST_F(RigDocumentTest, ClearHoverClearsOnlyTheHoverBits) {
  MQObject obj = AddObject("bone");
  OBase rec;
  rec.flags = 0xFFFFFFFFu;
  ASSERT_TRUE(SetBoneRecord(obj, slots_, rec));
  ClearHover(doc_, slots_);
  EXPECT_EQ(GetBoneFlags(obj, slots_), 0xFFFFFFFFu & ~(7u << 11));
}

struct SelectCase {
  const char* name;
  bool visible;
  bool locked;
  bool rig;
  uint32_t selection;  // OB_SEL_* bits at the start
};

class SelectionTest : public RigTest {
 protected:
  std::vector<MQObject> Build(const std::vector<SelectCase>& cases) {
    std::vector<MQObject> objects;
    for (const SelectCase& c : cases) {
      MQObject obj = AddObject(c.name);
      mqhost::ToObject(obj)->locked = c.locked;
      HostApi().MQObj_SetVisible(obj, c.visible ? 7 : 0);
      OBase rec;
      if (!c.rig) rec.flags &= ~OBase::OB_RIG;
      rec.flags |= c.selection;
      EXPECT_TRUE(SetBoneRecord(obj, slots_, rec));
      objects.push_back(obj);
    }
    return objects;
  }
};

const std::vector<SelectCase> kSelectCases = {
    {"shown rig", true, false, true, 0},
    {"hidden rig", false, false, true, 0},
    {"locked rig", true, true, true, 0},
    {"not rig", true, false, false, OBase::OB_SEL_ROLL},
    {"selected rig", true, false, true, OBase::OB_SEL_ROLL},
};

TEST_F(SelectionTest, SelectAllBonesTakesVisibleUnlockedRigMembers) {
  const auto objects = Build(kSelectCases);
  RigEditState hidden;
  hidden.display = RigEditState::kShowRoll;
  SelectAllBones(doc_, slots_, hidden);
  for (std::size_t i = 0; i < objects.size(); ++i) {
    EXPECT_EQ(GetBoneFlags(objects[i], slots_) & OBase::kSelectionBits, kSelectCases[i].selection)
        << kSelectCases[i].name << ": bones hidden, nothing changes";
  }
  SelectAllBones(doc_, slots_, RigEditState());
  for (std::size_t i = 0; i < objects.size(); ++i) {
    const SelectCase& c = kSelectCases[i];
    const bool takes = c.visible && !c.locked && c.rig;
    const uint32_t want = c.selection | (takes ? OBase::OB_SEL_PIVOT | OBase::OB_SEL_BODY : 0u);
    EXPECT_EQ(GetBoneFlags(objects[i], slots_) & OBase::kSelectionBits, want) << c.name;
  }
}

TEST_F(SelectionTest, ClearSelectionClearsRigMembersOnly) {
  std::vector<SelectCase> cases = kSelectCases;
  for (SelectCase& c : cases) c.selection = OBase::kSelectionBits;
  const auto objects = Build(cases);
  RigEditState hidden;
  hidden.display = 0;
  ClearSelection(doc_, slots_, hidden);
  for (MQObject obj : objects) {
    EXPECT_EQ(GetBoneFlags(obj, slots_) & OBase::kSelectionBits, OBase::kSelectionBits);
  }
  ClearSelection(doc_, slots_, RigEditState());
  for (std::size_t i = 0; i < objects.size(); ++i) {
    const uint32_t want = cases[i].rig ? 0u : OBase::kSelectionBits;
    EXPECT_EQ(GetBoneFlags(objects[i], slots_) & OBase::kSelectionBits, want) << cases[i].name;
    EXPECT_TRUE(GetBoneFlag(objects[i], slots_, OBase::OB_VALID)) << "other bits stay";
  }
}

TEST_F(SelectionTest, DeleteSelectedBonesWalksTheListWithEmptyPositions) {
  struct DeleteCase {
    SelectCase object;
    bool deleted;
  };
  const std::vector<DeleteCase> cases = {
      {{"first selected", true, false, true, OBase::OB_SEL_PIVOT}, true},
      {{"gap", true, false, true, OBase::OB_SEL_PIVOT}, false},  // deleted beforehand
      {{"hidden selected", false, false, true, OBase::OB_SEL_PIVOT}, false},
      {{"locked selected", true, true, true, OBase::OB_SEL_PIVOT}, false},
      {{"body only", true, false, true, OBase::OB_SEL_BODY}, false},
      {{"second selected", true, false, true, OBase::OB_SEL_PIVOT}, true},
      {{"third selected", true, false, false, OBase::OB_SEL_PIVOT}, true},
      {{"unselected", true, false, true, 0}, false},
  };
  std::vector<SelectCase> objects;
  for (const DeleteCase& c : cases) objects.push_back(c.object);
  Build(objects);
  document_->DeleteObject(1);
  MQObject plain = AddObject("no record");

  RigEditState hidden;
  hidden.display = 0;
  EXPECT_EQ(DeleteSelectedBones(doc_, slots_, hidden), 0);
  EXPECT_EQ(document_->ObjectAt(0)->name, "first selected");

  EXPECT_EQ(DeleteSelectedBones(doc_, slots_, RigEditState()), 3);
  ASSERT_EQ(document_->ObjectCount(), static_cast<int>(cases.size()) + 1);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    if (i == 1) continue;
    const mqhost::Object* left = document_->ObjectAt(static_cast<int>(i));
    EXPECT_EQ(left == nullptr, cases[i].deleted) << cases[i].object.name;
  }
  EXPECT_EQ(document_->ObjectAt(static_cast<int>(cases.size())), mqhost::ToObject(plain));
}

// A parent at the origin with a child at (2, 0, 0), and a childless object at
// (5, 5, 5). The parent's roll point: n = (1, 0, 0), s = n x Y = (0, 0, 1),
// u = s x n = (0, 1, 0), so pivot + u * 0.3 * 2 = (0, 0.6, 0).
TEST_F(RigDocumentTest, SelectionCentreAveragesSelectedParts) {
  MQObject parent = AddObject("parent", 0);
  MQObject child = AddObject("child", 1);
  MQObject lone = AddObject("lone", 0);
  mqhost::ToObject(child)->transform.translation = FVECTOR3(2, 0, 0);
  mqhost::ToObject(lone)->transform.translation = FVECTOR3(5, 5, 5);
  for (MQObject obj : {parent, child, lone}) ASSERT_TRUE(SetBoneRecord(obj, slots_, OBase()));
  ASSERT_TRUE(SetWorldMatrix(parent, slots_, FMATRIX::Translation(FVECTOR3(0, 0, 10))));

  const uint32_t P = OBase::OB_SEL_PIVOT, R = OBase::OB_SEL_ROLL, Bd = OBase::OB_SEL_BODY;
  struct Case {
    const char* what;
    uint32_t parent, lone;
    bool posed;
    bool found;
    FVECTOR3 centre;
  };
  const Case cases[] = {
      {"nothing", 0, 0, false, false, {}},
      {"parent pivot", P, 0, false, true, {0, 0, 0}},
      {"parent roll", R, 0, false, true, {0, 0.6f, 0}},
      {"parent body", Bd, 0, false, true, {1, 0, 0}},
      {"parent all", P | R | Bd, 0, false, true, {1.0f / 3, 0.2f, 0}},
      {"childless pivot", 0, P, false, true, {5, 5, 5}},
      {"childless roll and body ignored", 0, R | Bd, false, false, {}},
      {"childless all counts the pivot", 0, P | R | Bd, false, true, {5, 5, 5}},
      {"two pivots", P, P, false, true, {2.5f, 2.5f, 2.5f}},
      {"posed body", Bd, 0, true, true, {1, 0, 10}},
      {"posed roll", R, 0, true, true, {0, 0.6f, 10}},
      {"posed without matrix", 0, P, true, true, {5, 5, 5}},
  };
  for (const Case& c : cases) {
    SetBoneFlags(parent, slots_, OBase::kDefaultFlags | c.parent);
    SetBoneFlags(lone, slots_, OBase::kDefaultFlags | c.lone);
    FVECTOR3 centre(-7, -7, -7);
    EXPECT_EQ(SelectionCentre(doc_, slots_, c.posed, centre), c.found) << c.what;
    if (c.found) {
      EXPECT_VEC3_NEAR(centre, c.centre, 1e-5f) << c.what;
    } else {
      EXPECT_EQ(centre, FVECTOR3(-7, -7, -7)) << c.what;
    }
  }
}

// Bones A (200, 0, 0) and B (100, 100, 0) weigh the vertices of a mesh.
class WeightColourTest : public RigTest {
 protected:
  void SetUp() override {
    RigTest::SetUp();
    bone_a_ = AddObject("A");
    bone_b_ = AddObject("B");
    mesh_ = AddMesh("mesh", 3);
    OBase rec;
    rec.weight_colour = UCOLOR(200, 0, 0);
    ASSERT_TRUE(SetBoneRecord(bone_a_, slots_, rec));
    rec.weight_colour = UCOLOR(100, 100, 0);
    ASSERT_TRUE(SetBoneRecord(bone_b_, slots_, rec));
    ASSERT_TRUE(SetBoneRecord(mesh_, slots_, OBase()));
    const int32_t a = Uid(bone_a_), b = Uid(bone_b_);
    ASSERT_TRUE(SetVertexWeights(mesh_, slots_, 0, Weights({{a, 0.5f}, {b, 0.5f}})));
    ASSERT_TRUE(SetVertexWeights(mesh_, slots_, 1, Weights({{a, 1.0f}})));
    ASSERT_TRUE(SetVertexWeights(mesh_, slots_, 2, Weights({{b, 1.0f}, {9999, 1.0f}})));
  }
  std::vector<uint32_t> Colours() {
    std::vector<uint32_t> colours;
    for (int v = 0; v < 3; ++v) {
      VWeight rec;
      EXPECT_TRUE(GetVertexWeights(mesh_, slots_, v, rec));
      colours.push_back(PackedDisplayColour(rec));
    }
    return colours;
  }
  static uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return 0xFF000000u | b << 16 | g << 8 | r; }

  MQObject bone_a_ = nullptr, bone_b_ = nullptr, mesh_ = nullptr;
};

TEST_F(WeightColourTest, AllBonesMode) {
  UpdateWeightColours(doc_, slots_, RigEditState());
  // The bone 9999 does not exist and adds nothing.
  EXPECT_EQ(Colours(), (std::vector<uint32_t>{Rgb(150, 50, 0), Rgb(200, 0, 0), Rgb(100, 100, 0)}));

  SetBoneFlag(bone_b_, slots_, OBase::OB_WEIGHTSHOW, false);
  UpdateWeightColours(doc_, slots_, RigEditState());
  EXPECT_EQ(Colours(), (std::vector<uint32_t>{Rgb(100, 0, 0), Rgb(200, 0, 0), Rgb(0, 0, 0)}));

  document_->DeleteObject(HostApi().MQDoc_GetObjectIndex(doc_, bone_a_));
  UpdateWeightColours(doc_, slots_, RigEditState());
  EXPECT_EQ(Colours(), (std::vector<uint32_t>{Rgb(0, 0, 0), Rgb(0, 0, 0), Rgb(0, 0, 0)}));
}

TEST_F(WeightColourTest, CurrentObjectOnlyMode) {
  RigEditState state;
  state.display |= RigEditState::kWeightCurrentObjectOnly;
  HostApi().MQDoc_SetCurrentObjectIndex(doc_, HostApi().MQDoc_GetObjectIndex(doc_, bone_b_));
  UpdateWeightColours(doc_, slots_, state);
  EXPECT_EQ(Colours(), (std::vector<uint32_t>{Rgb(50, 50, 0), Rgb(0, 0, 0), Rgb(100, 100, 0)}));

  HostApi().MQDoc_SetCurrentObjectIndex(doc_, HostApi().MQDoc_GetObjectIndex(doc_, mesh_));
  UpdateWeightColours(doc_, slots_, state);
  EXPECT_EQ(Colours(), (std::vector<uint32_t>{Rgb(0, 0, 0), Rgb(0, 0, 0), Rgb(0, 0, 0)}));

  // One record coloured on its own: without the object or the edit state the
  // switch does not apply.
  VWeight rec = Weights({{Uid(bone_a_), 0.5f}, {Uid(bone_b_), 0.5f}});
  UpdateColour(rec, doc_, slots_, nullptr, &state);
  EXPECT_EQ(PackedDisplayColour(rec), Rgb(150, 50, 0));
  UpdateColour(rec, doc_, slots_, mesh_, &state);
  EXPECT_EQ(PackedDisplayColour(rec), Rgb(0, 0, 0));
  UpdateColour(rec, doc_, slots_, mesh_, nullptr);
  EXPECT_EQ(PackedDisplayColour(rec), Rgb(150, 50, 0));
}

TEST_F(WeightColourTest, ObjectsWithoutWeightsAreLeftAlone) {
  MQObject other = AddMesh("no weights", 2);
  UpdateWeightColours(doc_, slots_, RigEditState());
  EXPECT_FALSE(HasVertexSlotData(other, slots_.VWeight()));
  EXPECT_FALSE(HasVertexSlotData(bone_a_, slots_.VWeight()));
}

}  // namespace
