// Lookups between handles, document indices and unique ids, and the sorted
// identifier table that deformation searches.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "rig/id_table.h"
#include "tests/rig/rig_fixture.h"

using namespace quorvel;

namespace {

IdTable Pairs(std::initializer_list<mqtool::UIDTbalePair> pairs) { return IdTable(pairs); }

struct LookupCase {
  const char* what;
  IdTable table;
  int32_t uid;
  int32_t want;
};

TEST(LookupIndexTest, FindsListedIdsAndRejectsEverythingElse) {
  const IdTable three = Pairs({{4, 10}, {7, 20}, {2, 30}});
  const IdTable one = Pairs({{5, 42}});
  const LookupCase cases[] = {
      {"lowest id", three, 10, 4},
      {"highest id", three, 30, 2},
      {"middle id", three, 20, 7},
      {"between two ids", three, 25, -1},
      {"below the lowest", three, 5, -1},
      {"above the highest", three, 35, -1},
      {"the single pair", one, 42, 5},
      {"below the single pair", one, 41, -1},
      {"above the single pair", one, 43, -1},
      {"empty table", IdTable(), 10, -1},
      {"id -1 is not special", three, -1, -1},
  };
  for (const LookupCase& c : cases) {
    EXPECT_EQ(LookupIndex(c.table, c.uid), c.want) << c.what;
  }
}

TEST(LookupIndexTest, EveryIdOfALargeTableIsFoundAndNoGap) {
  // Odd ids 1..401 at scattered indices: every search path of the bisection,
  // both ends and every gap between neighbours.
  IdTable table;
  for (int32_t k = 0; k <= 200; ++k) table.push_back({(k * 37) % 211, 2 * k + 1});
  for (int32_t uid = -2; uid <= 404; ++uid) {
    const int32_t want = (uid % 2 != 0 && uid >= 1 && uid <= 401) ? (((uid - 1) / 2) * 37) % 211 : -1;
    ASSERT_EQ(LookupIndex(table, uid), want) << "uid " << uid;
  }
}

class IdTableTest : public RigTest {};

TEST_F(IdTableTest, BuildIdTableSortsByUniqueIdAndSkipsEmptyPositions) {
  MQObject a = AddObject("a");
  MQObject gone = AddObject("gone");
  MQObject b = AddObject("b");
  // A later object placed before earlier ones: index order is not id order.
  auto late = document_->NewObject();
  late->name = "late";
  mqhost::Object* late_raw = late.get();
  document_->InsertObject(std::move(late), mqhost::ToObject(a));
  MQObject c = mqhost::ToHandle(late_raw);
  const int32_t gone_uid = Uid(gone);
  document_->DeleteObject(HostApi().MQDoc_GetObjectIndex(doc_, gone));

  IdTable table = Pairs({{99, 99}});  // stale content goes
  BuildIdTable(doc_, table);

  ASSERT_EQ(table.size(), 3u);
  const MQObject by_id[] = {a, b, c};  // made in this order, so ids ascend
  for (std::size_t k = 0; k < 3; ++k) {
    EXPECT_EQ(table[k].uid, Uid(by_id[k])) << k;
    EXPECT_EQ(table[k].index, HostApi().MQDoc_GetObjectIndex(doc_, by_id[k])) << k;
  }
  EXPECT_LT(Uid(a), Uid(b));
  EXPECT_LT(Uid(b), Uid(c));
  for (MQObject obj : by_id) {
    EXPECT_EQ(LookupIndex(table, Uid(obj)), HostApi().MQDoc_GetObjectIndex(doc_, obj));
  }
  EXPECT_EQ(LookupIndex(table, gone_uid), -1) << "the deleted object's id";
}

TEST_F(IdTableTest, BuildIdTableWithAnEmptyPositionBetweenTwoObjects) {
  AddObject("first");
  MQObject middle = AddObject("middle");
  AddObject("last");
  document_->DeleteObject(HostApi().MQDoc_GetObjectIndex(doc_, middle));
  IdTable table;
  BuildIdTable(doc_, table);
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(table[0].index, 0);
  EXPECT_EQ(table[1].index, 2);
}

TEST_F(IdTableTest, BuildIdTableWithoutDocumentIsEmpty) {
  AddObject("x");
  IdTable table = Pairs({{1, 1}});
  BuildIdTable(nullptr, table);
  EXPECT_TRUE(table.empty());
}

TEST_F(IdTableTest, LookupsByUniqueIdSkipEmptyPositions) {
  MQObject gone = AddObject("gone");
  MQObject kept = AddObject("kept");
  const int32_t gone_uid = Uid(gone);
  document_->DeleteObject(0);

  EXPECT_EQ(FindObjectByUniqueId(doc_, Uid(kept)), kept);
  EXPECT_EQ(IndexOfUniqueId(doc_, Uid(kept)), 1);
  EXPECT_EQ(FindObjectByUniqueId(doc_, gone_uid), nullptr);
  EXPECT_EQ(IndexOfUniqueId(doc_, gone_uid), -1);
  EXPECT_EQ(FindObjectByUniqueId(nullptr, Uid(kept)), nullptr);
  EXPECT_EQ(IndexOfUniqueId(nullptr, Uid(kept)), -1);
}

TEST_F(IdTableTest, CurrentObjectAndItsUniqueId) {
  MQObject a = AddObject("a");
  MQObject b = AddObject("b");

  EXPECT_EQ(CurrentObject(doc_), nullptr) << "no current index";
  EXPECT_EQ(CurrentObjectUniqueId(doc_), -1);

  SetCurrentObject(doc_, b);
  EXPECT_EQ(document_->current_object, 1);
  EXPECT_EQ(CurrentObject(doc_), b);
  EXPECT_EQ(CurrentObjectUniqueId(doc_), Uid(b));
  EXPECT_EQ(CurrentObject(nullptr), nullptr);
  EXPECT_EQ(CurrentObjectUniqueId(nullptr), -1);

  SetCurrentObjectByUniqueId(doc_, Uid(a));
  EXPECT_EQ(document_->current_object, 0);
  SetCurrentObjectByUniqueId(doc_, -1);
  SetCurrentObjectByUniqueId(doc_, Uid(b) + 100);
  EXPECT_EQ(document_->current_object, 0) << "negative and unknown ids change nothing";

  auto stray = document_->NewObject();  // in no document
  SetCurrentObject(doc_, mqhost::ToHandle(stray.get()));
  SetCurrentObject(doc_, nullptr);
  EXPECT_EQ(document_->current_object, 0) << "an object outside the document changes nothing";

  document_->DeleteObject(0);  // the current position becomes empty
  EXPECT_EQ(CurrentObject(doc_), nullptr);
  EXPECT_EQ(CurrentObjectUniqueId(doc_), -1);
}

TEST_F(IdTableTest, ObjectNameByUniqueId) {
  MQObject obj = AddObject("shoulder_L");
  char buffer[32];

  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_TRUE(ObjectNameByUniqueId(doc_, Uid(obj), buffer, sizeof buffer));
  EXPECT_STREQ(buffer, "shoulder_L");

  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_FALSE(ObjectNameByUniqueId(doc_, Uid(obj) + 1, buffer, sizeof buffer));
  EXPECT_STREQ(buffer, "") << "not found leaves an empty string";

  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_TRUE(ObjectNameByUniqueId(doc_, Uid(obj), buffer, 6));
  EXPECT_STREQ(buffer, "shoul") << "cut to the buffer, terminated";
  EXPECT_EQ(buffer[6], 'x') << "nothing written past the given size";

  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_FALSE(ObjectNameByUniqueId(doc_, Uid(obj), buffer, 0));
  EXPECT_FALSE(ObjectNameByUniqueId(doc_, Uid(obj), nullptr, 16));
  EXPECT_EQ(buffer[0], 'x') << "size 0 writes nothing";

  EXPECT_EQ(ObjectNameByUniqueId(doc_, Uid(obj)), "shoulder_L");
  EXPECT_EQ(ObjectNameByUniqueId(doc_, Uid(obj) + 1), "");
}

}  // namespace
