// Pens, palettes with their clipboard, the current-object and selected-vertex
// weight operations and painting, against a host document.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "rig/rig_access.h"
#include "rig/weight_operations.h"
#include "tests/rig/rig_fixture.h"

using namespace quorvel;

namespace {

using Entries = std::vector<VWeightEntry>;

uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return 0xFF000000u | b << 16 | g << 8 | r; }

// A record whose colour bytes cannot be the result of the colour rule for
// the bones below, so a missed recolouring shows.
VWeight Stale(VWeight rec) {
  rec.colour[0] = rec.colour[1] = rec.colour[2] = 9;
  return rec;
}

// A valid record holding exactly these entries.
VWeight Record(const Entries& entries) {
  VWeight rec;
  Init(rec);
  for (const VWeightEntry& e : entries) {
    const int n = Count(rec);
    rec.entries[n] = e;
    rec.head = static_cast<uint8_t>(VWeight::kValidBit | (n + 1) << 1);
  }
  return rec;
}

bool SameBytes(const VWeight& a, const VWeight& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Bones A (200, 0, 0) and B (100, 100, 0) and a mesh of three vertices whose
// own weight colour is (0, 0, 80).
class WeightOpsTest : public RigTest {
 protected:
  void SetUp() override {
    RigTest::SetUp();
    bone_a_ = AddBone("A", UCOLOR(200, 0, 0), 0);
    bone_b_ = AddBone("B", UCOLOR(100, 100, 0), 0);
    mesh_ = AddBone("mesh", UCOLOR(0, 0, 80), 3);
    a_ = Uid(bone_a_);
    b_ = Uid(bone_b_);
    m_ = Uid(mesh_);
  }

  MQObject AddBone(const char* name, const UCOLOR& colour, int vertices) {
    MQObject obj = AddMesh(name, vertices);
    OBase rec;
    rec.weight_colour = colour;
    EXPECT_TRUE(SetBoneRecord(obj, slots_, rec));
    return obj;
  }
  int IndexOf(MQObject obj) { return HostApi().MQDoc_GetObjectIndex(doc_, obj); }
  void MakeCurrent(MQObject obj) { document_->current_object = obj ? IndexOf(obj) : -1; }
  // Palettes coloured like vertices would show the current object only.
  void ColourByCurrentObject(MQObject current) {
    state_.display |= RigEditState::kWeightCurrentObjectOnly;
    MakeCurrent(current);
  }
  VWeight& Palette(int i) { return state_.palettes.palettes[i]; }
  VWeight Vertex(MQObject obj, int v) {
    VWeight rec;
    EXPECT_TRUE(GetVertexWeights(obj, slots_, v, rec)) << "vertex " << v;
    return rec;
  }
  void ExpectVertex(MQObject obj, int v, const Entries& entries, uint32_t colour) {
    const VWeight rec = Vertex(obj, v);
    EXPECT_TRUE(IsValid(rec)) << "vertex " << v;
    EXPECT_EQ(EntriesOf(rec), entries) << "vertex " << v;
    EXPECT_EQ(PackedDisplayColour(rec), colour) << "vertex " << v;
  }

  RigEditState state_;
  MQObject bone_a_ = nullptr, bone_b_ = nullptr, mesh_ = nullptr;
  int32_t a_ = 0, b_ = 0, m_ = 0;
};

// ---------------------------------------------------------------- pens

TEST_F(WeightOpsTest, CurrentPenStaysOneOfTheFour) {
  const struct {
    int index;
    bool accepted;
    int current;
  } cases[] = {{3, true, 3}, {4, false, 3}, {-1, false, 3}, {1, true, 1}};
  for (const auto& c : cases) {
    EXPECT_EQ(SetCurrentPenIndex(state_, c.index), c.accepted) << c.index;
    EXPECT_EQ(PenIndex(state_), c.current) << c.index;
    EXPECT_EQ(CurrentPen(state_), &state_.pens[c.current]) << c.index;
  }
  state_.current_pen = 7;  // written past the setter
  EXPECT_EQ(CurrentPen(state_), nullptr);
  EXPECT_EQ(CurrentPen(std::as_const(state_)), nullptr);
}

TEST_F(WeightOpsTest, PenSizeAndDepthBelongToOnePen) {
  EXPECT_TRUE(SetPenSize(state_, 2, 7.5f));
  EXPECT_TRUE(SetPenDepth(state_, 2, 12.0f));
  const float sizes[] = {10.0f, 20.0f, 7.5f, 50.0f};
  for (int pen = 0; pen < kPenCount; ++pen) {
    EXPECT_EQ(PenSize(state_, pen), sizes[pen]) << pen;
    EXPECT_EQ(PenDepth(state_, pen), pen == 2 ? 12.0f : 50.0f) << pen;
  }
  const auto before = state_.pens;
  for (int pen : {-1, 4}) {
    EXPECT_FALSE(SetPenSize(state_, pen, 1.0f)) << pen;
    EXPECT_FALSE(SetPenDepth(state_, pen, 1.0f)) << pen;
    EXPECT_EQ(PenSize(state_, pen), 0.0f) << pen;
    EXPECT_EQ(PenDepth(state_, pen), 0.0f) << pen;
  }
  EXPECT_EQ(std::memcmp(before.data(), state_.pens.data(), sizeof before), 0);
}

// ---------------------------------------------------------------- palettes

TEST_F(WeightOpsTest, PaletteIndexOutsideZeroToSevenIsIgnored) {
  for (int i = 0; i < kPaletteCount; ++i) Palette(i) = Weights({{100 + i, 1.0f}});
  const struct {
    int index;
    bool accepted;
    int current;
  } cases[] = {{5, true, 5}, {8, false, 5}, {-1, false, 5}, {7, true, 7}, {0, true, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(SetCurrentPalette(state_, c.index), c.accepted) << c.index;
    EXPECT_EQ(CurrentPaletteIndex(state_), c.current) << c.index;
    EXPECT_EQ(EntriesOf(CurrentPalette(state_)), (Entries{{100 + c.current, 1.0f}})) << c.index;
  }
}

// A current palette index written past the setter makes every palette
// operation do nothing instead of reaching outside the eight palettes.
TEST_F(WeightOpsTest, OutOfRangeCurrentPaletteChangesNothing) {
  for (int i = 0; i < kPaletteCount; ++i) Palette(i) = Weights({{a_, 0.5f}, {b_, 0.5f}});
  MakeCurrent(mesh_);
  document_->SetSelected(IndexOf(mesh_), 0, true);
  const PaletteSet before = state_.palettes;
  const std::vector<std::pair<const char*, std::function<void()>>> operations = {
      {"StorePalette", [&] { StorePalette(state_, Weights({{a_, 1.0f}})); }},
      {"PaletteFromCurrentObject", [&] { PaletteFromCurrentObject(doc_, slots_, state_); }},
      {"RemovePaletteEntry", [&] { RemovePaletteEntry(doc_, slots_, state_); }},
      {"NormalizePalette", [&] { NormalizePalette(doc_, slots_, state_); }},
      {"ClearPalette", [&] { ClearPalette(state_); }},
      {"CopyPalette then PastePalette", [&] { CopyPalette(state_); PastePalette(state_); }},
      {"FillObjectWithPalette", [&] { FillObjectWithPalette(doc_, slots_, state_); }},
      {"FillSelectedWithPalette", [&] { FillSelectedWithPalette(doc_, slots_, state_); }},
      {"PaintVertices", [&] { EXPECT_FALSE(PaintVertices(doc_, slots_, state_, {{IndexOf(mesh_), 0}})); }},
  };
  for (int index : {8, -1}) {
    for (const auto& [what, operation] : operations) {
      state_.palettes.current_palette = index;
      operation();
      SCOPED_TRACE(std::string(what) + " at " + std::to_string(index));
      for (int i = 0; i < kPaletteCount; ++i) EXPECT_TRUE(SameBytes(Palette(i), before.palettes[i])) << i;
      EXPECT_EQ(state_.clipboard_valid, 0);
      EXPECT_FALSE(HasWeights(mesh_, slots_));
    }
  }
  EXPECT_EQ(EntriesOf(CurrentPalette(state_)), Entries{});
}

TEST_F(WeightOpsTest, CurrentEntryStaysWithinTheCurrentPalette) {
  Palette(0) = Weights({{a_, 0.2f}, {b_, 0.3f}, {m_, 0.5f}});
  Palette(1) = Weights({{a_, 1.0f}});
  EXPECT_TRUE(SetPaletteEntry(state_, 2));
  EXPECT_FALSE(SetPaletteEntry(state_, 3));
  EXPECT_FALSE(SetPaletteEntry(state_, -1));
  EXPECT_EQ(PaletteEntry(state_), 2);

  SetCurrentPalette(state_, 1);
  EXPECT_EQ(PaletteEntry(state_), 0) << "palette 1 has one entry";
  SetCurrentPalette(state_, 0);
  EXPECT_TRUE(SetPaletteEntry(state_, 2));
  StorePalette(state_, Weights({{a_, 0.5f}, {b_, 0.5f}}));
  EXPECT_EQ(PaletteEntry(state_), 1);
  ClearPalette(state_);
  EXPECT_EQ(PaletteEntry(state_), 0);
  EXPECT_FALSE(SetPaletteEntry(state_, 0)) << "an empty palette has no entry to choose";
}

TEST_F(WeightOpsTest, StoreKeepsAllBytesAndClearLeavesAnEmptyBlackPalette) {
  SetCurrentPalette(state_, 6);
  VWeight rec = Stale(Weights({{a_, 0.25f}, {b_, 0.75f}}));
  rec.entries[3] = VWeightEntry{77, 7.0f};  // beyond the count, still part of the record
  StorePalette(state_, rec);
  EXPECT_TRUE(SameBytes(Palette(6), rec));

  ClearPalette(state_);
  EXPECT_TRUE(IsValid(Palette(6)));
  EXPECT_EQ(Count(Palette(6)), 0);
  EXPECT_EQ(PackedDisplayColour(Palette(6)), Rgb(0, 0, 0));
  EXPECT_EQ(Count(Palette(0)), 0);
}

TEST_F(WeightOpsTest, PaletteFromCurrentObjectReplacesEveryEntry) {
  SetCurrentPalette(state_, 2);
  const VWeight three = Stale(Weights({{a_, 0.2f}, {b_, 0.3f}, {m_, 0.5f}}));
  Palette(2) = three;
  SetPaletteEntry(state_, 2);

  // No current object, or a current index at an empty position.
  MakeCurrent(nullptr);
  PaletteFromCurrentObject(doc_, slots_, state_);
  MQObject gone = AddObject("gone");
  MakeCurrent(gone);
  document_->DeleteObject(IndexOf(gone));
  PaletteFromCurrentObject(doc_, slots_, state_);
  EXPECT_TRUE(SameBytes(Palette(2), three));
  EXPECT_EQ(PaletteEntry(state_), 2);

  MakeCurrent(bone_b_);
  PaletteFromCurrentObject(doc_, slots_, state_);
  EXPECT_EQ(EntriesOf(Palette(2)), (Entries{{b_, 1.0f}}));
  EXPECT_EQ(PackedDisplayColour(Palette(2)), Rgb(100, 100, 0));
  EXPECT_EQ(PaletteEntry(state_), 0);
  EXPECT_EQ(Count(Palette(1)), 0) << "other palettes untouched";
}

// The palette colour is recomputed with every bone, although vertices would
// show only the current object (A) here.
TEST_F(WeightOpsTest, RemovePaletteEntryRecoloursAndClampsTheCurrentEntry) {
  ColourByCurrentObject(bone_a_);
  const struct {
    const char* what;
    Entries before;
    int entry;
    Entries after;
    int entry_after;
    uint32_t colour;
  } cases[] = {
      {"the only entry", {{a_, 1.0f}}, 0, {}, 0, Rgb(0, 0, 0)},
      {"last of three", {{a_, 0.5f}, {b_, 0.5f}, {m_, 1.0f}}, 2, {{a_, 0.5f}, {b_, 0.5f}}, 1,
       Rgb(150, 50, 0)},
      {"middle of three", {{a_, 0.5f}, {b_, 0.5f}, {m_, 1.0f}}, 1, {{a_, 0.5f}, {m_, 1.0f}}, 1,
       Rgb(100, 0, 80)},
      {"first of three", {{a_, 0.5f}, {b_, 0.5f}, {m_, 1.0f}}, 0, {{b_, 0.5f}, {m_, 1.0f}}, 0,
       Rgb(50, 50, 80)},
      {"empty palette", {}, 0, {}, 0, Rgb(0, 0, 0)},
      {"entry written past the end", {{a_, 0.5f}, {b_, 0.5f}}, 3, {{a_, 0.5f}, {b_, 0.5f}}, 1,
       Rgb(150, 50, 0)},
      {"negative entry", {{a_, 0.5f}, {b_, 0.5f}}, -1, {{a_, 0.5f}, {b_, 0.5f}}, 0, Rgb(150, 50, 0)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Palette(0) = Stale(Record(c.before));
    state_.palettes.current_entry = c.entry;
    RemovePaletteEntry(doc_, slots_, state_);
    EXPECT_EQ(EntriesOf(Palette(0)), c.after);
    EXPECT_EQ(PaletteEntry(state_), c.entry_after);
    EXPECT_EQ(PackedDisplayColour(Palette(0)), c.colour);
  }
}

TEST_F(WeightOpsTest, NormalizePaletteScalesAndRecolours) {
  ColourByCurrentObject(bone_a_);
  const struct {
    const char* what;
    Entries before;
    Entries after;
    uint32_t colour;
  } cases[] = {
      {"two of 2.0", {{a_, 2.0f}, {b_, 2.0f}}, {{a_, 0.5f}, {b_, 0.5f}}, Rgb(150, 50, 0)},
      {"one entry", {{b_, 0.3f}}, {{b_, 1.0f}}, Rgb(100, 100, 0)},
      {"empty", {}, {}, Rgb(0, 0, 0)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Palette(0) = Stale(Record(c.before));
    NormalizePalette(doc_, slots_, state_);
    EXPECT_TRUE(IsValid(Palette(0)));
    EXPECT_EQ(EntriesOf(Palette(0)), c.after);
    EXPECT_EQ(PackedDisplayColour(Palette(0)), c.colour);
  }
}

TEST_F(WeightOpsTest, PasteCopiesTheClipboardIntoTheCurrentPalette) {
  Palette(0) = Stale(Weights({{a_, 0.25f}, {b_, 0.75f}}));
  Palette(3) = Weights({{m_, 1.0f}});
  const VWeight three = Palette(3);
  SetCurrentPalette(state_, 3);
  PastePalette(state_);
  EXPECT_TRUE(SameBytes(Palette(3), three)) << "nothing was copied yet";

  SetCurrentPalette(state_, 0);
  CopyPalette(state_);
  SetCurrentPalette(state_, 3);
  PastePalette(state_);
  EXPECT_TRUE(SameBytes(Palette(3), Palette(0)));

  // The clipboard holds its own copy.
  SetCurrentPalette(state_, 0);
  ClearPalette(state_);
  SetCurrentPalette(state_, 5);
  PastePalette(state_);
  EXPECT_TRUE(SameBytes(Palette(5), Palette(3)));
}

// ---------------------------------------------------------------- current object

TEST_F(WeightOpsTest, CurrentObjectOperationsNeedACurrentObject) {
  ASSERT_TRUE(SetVertexWeights(mesh_, slots_, 1, Stale(Weights({{a_, 2.0f}}))));
  Palette(0) = Weights({{b_, 1.0f}});
  const std::vector<std::pair<const char*, std::function<void()>>> operations = {
      {"AutoApplyWeights", [&] { AutoApplyWeights(doc_, slots_, state_); }},
      {"NormalizeObjectWeights", [&] { NormalizeObjectWeights(doc_, slots_, state_); }},
      {"DeleteObjectWeights", [&] { DeleteObjectWeights(doc_, slots_); }},
      {"FillObjectWithPalette", [&] { FillObjectWithPalette(doc_, slots_, state_); }},
  };
  MakeCurrent(nullptr);
  for (const auto& [what, operation] : operations) {
    SCOPED_TRACE(what);
    operation();
    EXPECT_TRUE(SameBytes(Vertex(mesh_, 1), Stale(Weights({{a_, 2.0f}}))));
    EXPECT_EQ(Count(Vertex(mesh_, 0)), 0);
    EXPECT_FALSE(HasVertexSlotData(bone_a_, slots_.VWeight()));
  }
}

TEST_F(WeightOpsTest, AutoApplyBindsEveryVertexToItsOwnObject) {
  ASSERT_TRUE(SetVertexWeights(mesh_, slots_, 1, Weights({{a_, 0.5f}})));
  MakeCurrent(mesh_);
  AutoApplyWeights(doc_, slots_, state_);
  for (int v = 0; v < 3; ++v) ExpectVertex(mesh_, v, {{m_, 1.0f}}, Rgb(0, 0, 80));
}

// Vertex copies of the palette follow the current-object-only switch; the
// current object is the mesh being filled.
TEST_F(WeightOpsTest, FillObjectColoursByTheVertexRule) {
  Palette(4) = Stale(Weights({{m_, 0.5f}, {a_, 0.5f}}));
  SetCurrentPalette(state_, 4);
  for (bool current_only : {false, true}) {
    SCOPED_TRACE(current_only);
    state_.display = current_only ? RigEditState::kWeightCurrentObjectOnly : 0;
    FreeWeights(mesh_, slots_);
    MakeCurrent(mesh_);
    FillObjectWithPalette(doc_, slots_, state_);
    const uint32_t colour = current_only ? Rgb(0, 0, 40) : Rgb(100, 0, 40);
    for (int v = 0; v < 3; ++v) ExpectVertex(mesh_, v, {{m_, 0.5f}, {a_, 0.5f}}, colour);
  }
}

TEST_F(WeightOpsTest, NormalizeObjectWeightsRecoloursEveryVertex) {
  ASSERT_TRUE(SetVertexWeights(mesh_, slots_, 0, Stale(Weights({{a_, 2.0f}, {b_, 2.0f}}))));
  ASSERT_TRUE(SetVertexWeights(mesh_, slots_, 1, Stale(Weights({{a_, 0.3f}}))));
  ASSERT_TRUE(SetVertexWeights(mesh_, slots_, 2, Stale(Weights({}))));
  MakeCurrent(mesh_);
  NormalizeObjectWeights(doc_, slots_, state_);
  ExpectVertex(mesh_, 0, {{a_, 0.5f}, {b_, 0.5f}}, Rgb(150, 50, 0));
  ExpectVertex(mesh_, 1, {{a_, 1.0f}}, Rgb(200, 0, 0));
  ExpectVertex(mesh_, 2, {}, Rgb(0, 0, 0));

  MQObject bare = AddMesh("bare", 2);
  MakeCurrent(bare);
  NormalizeObjectWeights(doc_, slots_, state_);
  EXPECT_FALSE(HasVertexSlotData(bare, slots_.VWeight()));
}

// ---------------------------------------------------------------- selected vertices

// Behind an empty position of the object list: `weighted_` (four vertices
// with weights, 0, 2 and 3 selected) and `bare_` (two vertices, both
// selected, no weights).
class SelectedWeightsTest : public WeightOpsTest {
 protected:
  void SetUp() override {
    WeightOpsTest::SetUp();
    MQObject gone = AddObject("gone");
    document_->DeleteObject(IndexOf(gone));
    weighted_ = AddMesh("weighted", 4);
    bare_ = AddMesh("bare", 2);
    WriteRecords();
    for (int v : {0, 2, 3}) document_->SetSelected(IndexOf(weighted_), v, true);
    for (int v : {0, 1}) document_->SetSelected(IndexOf(bare_), v, true);
    Palette(0) = Weights({{b_, 1.0f}});
  }
  void WriteRecords() {
    ASSERT_TRUE(SetVertexWeights(weighted_, slots_, 0, Stale(Weights({{a_, 2.0f}, {b_, 2.0f}}))));
    ASSERT_TRUE(SetVertexWeights(weighted_, slots_, 1, Stale(Weights({{a_, 0.3f}}))));
    ASSERT_TRUE(SetVertexWeights(weighted_, slots_, 2, Stale(Weights({{b_, 0.3f}}))));
    ASSERT_TRUE(SetVertexWeights(weighted_, slots_, 3, Stale(Weights({}))));
  }
  MQObject weighted_ = nullptr, bare_ = nullptr;
};

TEST_F(SelectedWeightsTest, OperationsChangeSelectedVerticesOfWeightedObjects) {
  using Operation = void (*)(MQDocument, const RigSlotTable&, const RigEditState&);
  const Entries unselected = {{a_, 0.3f}};  // vertex 1, recoloured all the same
  const struct {
    const char* what;
    Operation operation;
    Entries v0, v2, v3;
    uint32_t c0, c2, c3;
  } cases[] = {
      {"NormalizeSelectedWeights", NormalizeSelectedWeights, {{a_, 0.5f}, {b_, 0.5f}}, {{b_, 1.0f}}, {},
       Rgb(150, 50, 0), Rgb(100, 100, 0), Rgb(0, 0, 0)},
      {"DeleteSelectedWeights", DeleteSelectedWeights, {}, {}, {}, Rgb(0, 0, 0), Rgb(0, 0, 0), Rgb(0, 0, 0)},
      {"FillSelectedWithPalette", FillSelectedWithPalette, {{b_, 1.0f}}, {{b_, 1.0f}}, {{b_, 1.0f}},
       Rgb(100, 100, 0), Rgb(100, 100, 0), Rgb(100, 100, 0)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WriteRecords();  // each case starts from the same records
    c.operation(doc_, slots_, state_);
    ExpectVertex(weighted_, 0, c.v0, c.c0);
    ExpectVertex(weighted_, 1, unselected, Rgb(60, 0, 0));
    ExpectVertex(weighted_, 2, c.v2, c.c2);
    ExpectVertex(weighted_, 3, c.v3, c.c3);
    EXPECT_TRUE(HasWeights(weighted_, slots_));
    EXPECT_FALSE(HasVertexSlotData(bare_, slots_.VWeight()));
    EXPECT_FALSE(HasVertexSlotData(mesh_, slots_.VWeight()));
  }
}

TEST_F(SelectedWeightsTest, FillObjectGivesWeightsWhereFillSelectedDoesNot) {
  FillSelectedWithPalette(doc_, slots_, state_);
  EXPECT_FALSE(HasWeights(bare_, slots_));
  MakeCurrent(bare_);
  FillObjectWithPalette(doc_, slots_, state_);
  for (int v = 0; v < 2; ++v) ExpectVertex(bare_, v, {{b_, 1.0f}}, Rgb(100, 100, 0));
}

TEST_F(SelectedWeightsTest, DeleteSelectedKeepsTheSlotWhileDeleteObjectFreesIt) {
  DeleteSelectedWeights(doc_, slots_, state_);
  EXPECT_TRUE(HasWeights(weighted_, slots_));
  EXPECT_EQ(Count(Vertex(weighted_, 0)), 0);
  MakeCurrent(weighted_);
  DeleteObjectWeights(doc_, slots_);
  EXPECT_FALSE(HasVertexSlotData(weighted_, slots_.VWeight()));
}

// ---------------------------------------------------------------- painting

TEST_F(SelectedWeightsTest, PaintVerticesWritesOnlyExistingVertices) {
  const int bare = IndexOf(bare_);
  const int gap = IndexOf(weighted_) - 1;
  ASSERT_EQ(HostApi().MQDoc_GetObject(doc_, gap), nullptr);
  const std::vector<VertexRef> misses = {
      {-1, 0}, {gap, 0}, {HostApi().MQDoc_GetObjectCount(doc_), 0}, {bare, -1}, {bare, 2}};
  EXPECT_FALSE(PaintVertices(doc_, slots_, state_, misses));
  EXPECT_FALSE(PaintVertices(doc_, slots_, state_, {}));
  EXPECT_FALSE(HasVertexSlotData(bare_, slots_.VWeight())) << "no slot for a vertex outside the object";

  // Painted as vertices: only the current object A colours them.
  Palette(0) = Stale(Weights({{a_, 0.5f}, {b_, 0.5f}}));
  ColourByCurrentObject(bone_a_);
  std::vector<VertexRef> hits = misses;
  hits.push_back({bare, 1});
  hits.push_back({IndexOf(weighted_), 3});
  EXPECT_TRUE(PaintVertices(doc_, slots_, state_, hits));
  ExpectVertex(bare_, 1, {{a_, 0.5f}, {b_, 0.5f}}, Rgb(100, 0, 0));
  EXPECT_EQ(Count(Vertex(bare_, 0)), 0) << "the rest of a fresh slot reads without entries";
  ExpectVertex(weighted_, 3, {{a_, 0.5f}, {b_, 0.5f}}, Rgb(100, 0, 0));
  EXPECT_EQ(EntriesOf(Vertex(weighted_, 0)), (Entries{{a_, 2.0f}, {b_, 2.0f}}));

  // An empty palette paints records without entries.
  ClearPalette(state_);
  EXPECT_TRUE(PaintVertices(doc_, slots_, state_, {{bare, 1}}));
  ExpectVertex(bare_, 1, {}, Rgb(0, 0, 0));
}

// ---------------------------------------------------------------- blur pen

// A strip of five vertices joined by four edges (a line of triangles), all
// on bone A but the middle one, on B.
TEST_F(WeightOpsTest, TheBlurPenPullsTheBrushedVerticesTowardTheirNeighbours) {
  MQObject strip = AddMesh("strip", 5);
  for (int f = 0; f + 2 < 5; ++f) {
    const int corners[3] = {f, f + 1, f + 2};
    HostApi().MQObj_AddFace(strip, 3, corners);
  }
  for (int v = 0; v < 5; ++v) ASSERT_TRUE(SetVertexWeights(strip, slots_, v, Weights({{v == 2 ? b_ : a_, 1.0f}})));
  const int index = IndexOf(strip);
  BlurStroke stroke;
  // The brush over the middle vertex and one of its neighbours, a quarter strength.
  ASSERT_TRUE(BlurVertices(doc_, slots_, state_, {{index, 2}, {index, 0}, {index, 2}}, 0.25f, stroke));
  const VWeight middle = Vertex(strip, 2);
  ASSERT_EQ(Count(middle), 2);
  EXPECT_EQ(middle.entries[0].bone, b_);
  EXPECT_NEAR(middle.entries[0].weight, 0.75f, 1e-6f);
  EXPECT_NEAR(middle.entries[0].weight + middle.entries[1].weight, 1.0f, 1e-6f);
  // Recoloured: B (100, 100, 0) at 3/4 and A (200, 0, 0) at 1/4, each channel truncated.
  EXPECT_EQ(middle.colour[0], 125);
  EXPECT_NEAR(middle.colour[1], 75, 1);
  EXPECT_EQ(middle.colour[2], 0);
  // Vertex 0's neighbours (1 and 2) were read before this step changed vertex 2.
  EXPECT_NEAR(Vertex(strip, 0).entries[0].weight, 0.875f, 1e-6f);
  EXPECT_EQ(EntriesOf(Vertex(strip, 1)), (Entries{{a_, 1.0f}})) << "outside the brush";
  ASSERT_EQ(stroke.objects.size(), 1u);

  // An object without weights and a vertex outside every object are left out.
  EXPECT_FALSE(BlurVertices(doc_, slots_, state_, {{IndexOf(mesh_), 0}, {index, 9}, {-1, 0}}, 0.5f, stroke));
  EXPECT_FALSE(HasWeights(mesh_, slots_));
  // Strength 0 moves nothing.
  EXPECT_FALSE(BlurVertices(doc_, slots_, state_, {{index, 2}}, 0.0f, stroke));
}

}  // namespace
