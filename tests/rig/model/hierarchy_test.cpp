// Hierarchy and transform helpers on host objects, and bone making.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "rig/hierarchy.h"
#include "tests/rig/rig_fixture.h"
#include "tests/support/float_checks.h"

using namespace quorvel;

namespace {

struct Transform {
  FVECTOR3 scale{1.0f, 1.0f, 1.0f};
  FVECTOR3 degrees{0.0f, 0.0f, 0.0f};
  FVECTOR3 translation{0.0f, 0.0f, 0.0f};
};

class HierarchyTest : public HostTest {
 protected:
  static void SetTransform(MQObject obj, const Transform& t) {
    HostApi().MQObj_SetFloatArray(obj, MQOBJ_ID_SCALING, &t.scale.x);
    HostApi().MQObj_SetFloatArray(obj, MQOBJ_ID_ROTATION, &t.degrees.x);
    HostApi().MQObj_SetFloatArray(obj, MQOBJ_ID_TRANSLATION, &t.translation.x);
  }
  FMATRIX Global(MQObject obj) const {
    FMATRIX m;
    HostApi().MQDoc_GetGlobalMatrix(doc_, obj, m.m);
    return m;
  }
  int Depth(MQObject obj) const { return mqhost::ToObject(obj)->depth; }
  int Index(MQObject obj) const { return HostApi().MQDoc_GetObjectIndex(doc_, obj); }
};

// ---------------------------------------------------------------- structure

TEST_F(HierarchyTest, StructuralQueries) {
  // R ─┬─ A ─┬─ A1
  //    │     └─ A2
  //    └─ B
  // S
  std::map<std::string, MQObject> o;
  for (auto [name, depth] : {std::pair{"R", 0}, {"A", 1}, {"A1", 2}, {"A2", 2}, {"B", 1}, {"S", 0}}) {
    o[name] = AddObject(name, depth);
  }
  struct Case {
    const char* object;
    const char* first_child;  // null: none
    bool is_first_child;
    bool is_chain_end;
    const char* last_descendant;
  };
  const Case cases[] = {
      {"R", "A", false, false, "B"},     // a root is no first child
      {"A", "A1", true, false, "A2"},    // a first child with children is no chain end
      {"A1", nullptr, true, true, "A1"},  // childless first child
      {"A2", nullptr, false, false, "A2"},
      {"B", nullptr, false, false, "B"},
      {"S", nullptr, false, false, "S"},  // childless root
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.object);
    MQObject obj = o[c.object];
    MQObject want_child = c.first_child ? o[c.first_child] : nullptr;
    EXPECT_EQ(FirstChild(doc_, obj), want_child);
    EXPECT_EQ(FirstChildIndex(doc_, obj), want_child ? Index(want_child) : -1);
    EXPECT_EQ(IsFirstChild(doc_, obj), c.is_first_child);
    EXPECT_EQ(IsChainEnd(doc_, obj), c.is_chain_end);
    EXPECT_EQ(LastDescendant(doc_, obj), o[c.last_descendant]);
  }
  EXPECT_EQ(FirstChild(nullptr, o["R"]), nullptr);
  EXPECT_EQ(FirstChildIndex(doc_, nullptr), -1);
  EXPECT_FALSE(IsFirstChild(nullptr, o["A1"]));
  EXPECT_FALSE(IsChainEnd(nullptr, o["A1"]));
  EXPECT_EQ(LastDescendant(nullptr, o["R"]), o["R"]);
}

// ---------------------------------------------------------------- transforms

TEST_F(HierarchyTest, ObjectPivotIsTheGlobalTranslation) {
  MQObject parent = AddObject("parent", 0);
  MQObject child = AddObject("child", 1);
  SetTransform(parent, {{1, 1, 1}, {0, 0, 90}, {1, 2, 3}});
  SetTransform(child, {{1, 1, 1}, {0, 0, 0}, {1, 0, 0}});
  // (1, 0, 0) turned 90° about Z is (0, 1, 0); then moved by (1, 2, 3).
  EXPECT_VEC3_NEAR(ObjectPivot(doc_, child), FVECTOR3(1, 3, 3), 1e-5f);
  EXPECT_VEC3_NEAR(ObjectPivot(doc_, parent), FVECTOR3(1, 2, 3), 1e-5f);
  EXPECT_EQ(ObjectPivot(nullptr, child), FVECTOR3());
  EXPECT_EQ(ObjectPivot(doc_, nullptr), FVECTOR3());
}

struct PlacementCase {
  const char* what;
  Transform grandparent;
  Transform parent;
};

const PlacementCase kPlacements[] = {
    {"unrotated ancestors", {}, {}},
    {"parent turned 90° about Z", {}, {{1, 1, 1}, {0, 0, 90}, {1, 2, 3}}},
    {"parent turned about all axes", {}, {{1, 1, 1}, {30, 45, 60}, {-1, 0.5f, 2}}},
    {"parent scaled and turned", {}, {{2, 2, 2}, {0, 0, 45}, {0, 3, 0}}},
    {"grandparent turned, parent moved", {{1, 1, 1}, {90, 0, 0}, {0, 0, 5}}, {{1, 1, 1}, {0, 0, 0}, {2, 0, 0}}},
    {"both turned", {{0.5f, 0.5f, 0.5f}, {0, 90, 0}, {1, 1, 1}}, {{1, 1, 1}, {-20, 10, 170}, {0, -2, 0}}},
};

TEST_F(HierarchyTest, SetObjectPositionMakesTheWorldMatrixAPureTranslation) {
  MQObject grandparent = AddObject("grandparent", 0);
  MQObject parent = AddObject("parent", 1);
  MQObject child = AddObject("child", 2);
  const FVECTOR3 p(3.0f, -1.5f, 0.25f);
  for (const PlacementCase& c : kPlacements) {
    SCOPED_TRACE(c.what);
    SetTransform(grandparent, c.grandparent);
    SetTransform(parent, c.parent);
    SetTransform(child, {{3, 1, 2}, {10, 20, 30}, {4, 4, 4}});  // overwritten entirely
    SetObjectPosition(doc_, child, p);
    EXPECT_MAT_NEAR(Global(child), FMATRIX::Translation(p), 1e-4f);
    EXPECT_VEC3_NEAR(ObjectPivot(doc_, child), p, 1e-4f);
  }
}

TEST_F(HierarchyTest, SetObjectGlobalMatrixReproducesTheMatrix) {
  MQObject grandparent = AddObject("grandparent", 0);
  MQObject parent = AddObject("parent", 1);
  MQObject child = AddObject("child", 2);
  FMATRIX target = FMATRIX::FromQuat(FQUAT::FromAxisAngle({1, 2, 3}, 0.7f));
  target.ScaleBy({1.5f, 1.5f, 1.5f});
  target.SetTranslation({-2, 1, 4});
  for (const PlacementCase& c : kPlacements) {
    SCOPED_TRACE(c.what);
    SetTransform(grandparent, c.grandparent);
    SetTransform(parent, c.parent);
    SetObjectGlobalMatrix(doc_, child, target);
    EXPECT_MAT_NEAR(Global(child), target, 1e-4f);
  }
  // A root takes the matrix as its local transform.
  SetObjectGlobalMatrix(doc_, grandparent, target);
  EXPECT_MAT_NEAR(Global(grandparent), target, 1e-4f);
}

TEST_F(HierarchyTest, HideAllObjectsSkipsEmptyPositions) {
  MQObject a = AddObject("a");
  MQObject gone = AddObject("gone");
  MQObject b = AddObject("b", 1);
  document_->DeleteObject(Index(gone));
  ASSERT_NE(HostApi().MQObj_GetVisible(a), 0u);
  HideAllObjects(doc_);
  EXPECT_EQ(HostApi().MQObj_GetVisible(a), 0u);
  EXPECT_EQ(HostApi().MQObj_GetVisible(b), 0u);
  HideAllObjects(nullptr);  // nothing to do, nothing to crash
}

// ---------------------------------------------------------------- MakeBone

struct MakeBoneCase {
  const char* what;
  const char* base;     // null: none
  const char* current;  // the host's current object; null: none
  int mode;
  // The object list afterwards: existing names, or "head" / "tail" for the
  // objects MakeBone made, with their depths.
  std::vector<std::pair<const char*, int>> layout;
  const char* head;  // "head" when a new object is the head, else the name
};

const MakeBoneCase kMakeBoneCases[] = {
    {"base with children: new sibling after its subtree", "R", nullptr, kMakeChild,
     {{"R", 0}, {"K", 1}, {"KK", 2}, {"head", 0}, {"tail", 1}, {"L", 0}}, "head"},
    {"base with children ignores the mode", "R", "L", kMakeSibling,
     {{"R", 0}, {"K", 1}, {"KK", 2}, {"head", 0}, {"tail", 1}, {"L", 0}}, "head"},
    {"childless base becomes the head", "L", nullptr, kMakeChild,
     {{"R", 0}, {"K", 1}, {"KK", 2}, {"L", 0}, {"tail", 1}}, "L"},
    {"childless child base", "KK", "R", kMakeSibling,
     {{"R", 0}, {"K", 1}, {"KK", 2}, {"tail", 3}, {"L", 0}}, "KK"},
    {"no base, make child of the current object", nullptr, "R", kMakeChild,
     {{"R", 0}, {"K", 1}, {"KK", 2}, {"head", 1}, {"tail", 2}, {"L", 0}}, "head"},
    {"no base, make sibling of the current object", nullptr, "R", kMakeSibling,
     {{"R", 0}, {"K", 1}, {"KK", 2}, {"head", 0}, {"tail", 1}, {"L", 0}}, "head"},
    {"no base, current object inside a tree", nullptr, "K", kMakeChild,
     {{"R", 0}, {"K", 1}, {"KK", 2}, {"head", 2}, {"tail", 3}, {"L", 0}}, "head"},
    {"no base, no current object: appended as a root", nullptr, nullptr, kMakeChild,
     {{"R", 0}, {"K", 1}, {"KK", 2}, {"L", 0}, {"head", 0}, {"tail", 1}}, "head"},
};

void PrintTo(const MakeBoneCase& c, std::ostream* os) { *os << c.what; }

class MakeBoneTest : public HierarchyTest, public testing::WithParamInterface<MakeBoneCase> {};

TEST_P(MakeBoneTest, PlacesHeadAndTail) {
  const MakeBoneCase& c = GetParam();
  // R ─ K ─ KK, and L; R is turned and moved so that placing new objects
  // under it has to undo its transform.
  std::map<std::string, MQObject> o;
  for (auto [name, depth] : {std::pair{"R", 0}, {"K", 1}, {"KK", 2}, {"L", 0}}) {
    o[name] = AddObject(name, depth);
  }
  SetTransform(o["R"], {{1, 1, 1}, {0, 0, 90}, {0, 1, 0}});
  SetTransform(o["K"], {{1, 1, 1}, {0, 0, 0}, {2, 0, 0}});
  SetTransform(o["L"], {{1, 1, 1}, {0, 30, 0}, {5, 0, 0}});
  if (c.current) document_->current_object = Index(o[c.current]);
  const FMATRIX base_before = c.base ? Global(o[c.base]) : FMATRIX();
  const FVECTOR3 head(1, 2, 3);
  const FVECTOR3 tail(1, 5, 3);

  MQObject made = MakeBone(doc_, c.base ? o[c.base] : nullptr, c.mode, head, tail);

  ASSERT_NE(made, nullptr);
  ASSERT_EQ(document_->ObjectCount(), static_cast<int>(c.layout.size()));
  MQObject new_head = nullptr;
  MQObject new_tail = nullptr;
  for (int i = 0; i < document_->ObjectCount(); ++i) {
    SCOPED_TRACE(i);
    MQObject at = HostApi().MQDoc_GetObject(doc_, i);
    const std::string want = c.layout[static_cast<std::size_t>(i)].first;
    if (want == "head") {
      new_head = at;
    } else if (want == "tail") {
      new_tail = at;
    } else {
      EXPECT_EQ(at, o[want]) << want;
    }
    EXPECT_EQ(Depth(at), c.layout[static_cast<std::size_t>(i)].second);
  }
  ASSERT_NE(new_tail, nullptr);
  for (const auto& [name, obj] : o) EXPECT_NE(new_tail, obj) << name;

  const bool head_is_new = std::string(c.head) == "head";
  MQObject want_head = head_is_new ? new_head : o[c.head];
  EXPECT_EQ(made, want_head);
  if (head_is_new) {
    for (const auto& [name, obj] : o) EXPECT_NE(new_head, obj) << name;
    EXPECT_MAT_NEAR(Global(new_head), FMATRIX::Translation(head), 1e-4f);
  } else {
    EXPECT_MAT_NEAR(Global(want_head), base_before, 1e-6f) << "an existing head is not moved";
  }
  EXPECT_EQ(FirstChild(doc_, made), new_tail);
  EXPECT_TRUE(IsChainEnd(doc_, new_tail));
  EXPECT_MAT_NEAR(Global(new_tail), FMATRIX::Translation(tail), 1e-4f);
}

INSTANTIATE_TEST_SUITE_P(FourCases, MakeBoneTest, testing::ValuesIn(kMakeBoneCases));

TEST_F(HierarchyTest, MakeBoneRefusesWhatItCannotPlace) {
  MQObject a = AddObject("a");
  auto stray = document_->NewObject();  // belongs to no document
  EXPECT_EQ(MakeBone(doc_, mqhost::ToHandle(stray.get()), kMakeChild, {}, {1, 0, 0}), nullptr);
  EXPECT_EQ(MakeBone(nullptr, a, kMakeChild, {}, {1, 0, 0}), nullptr);
  EXPECT_EQ(document_->ObjectCount(), 1) << "the document is unchanged";
}

}  // namespace
