// Registration of the 104 user-data slots and the table of identifiers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "tests/rig/rig_fixture.h"

using namespace quorvel;

namespace {

struct Expected {
  std::string name;
  int bytes;
};

void AddFamily(std::vector<Expected>& list, const std::string& stem, int bytes) {
  for (int i = 0; i < 20; ++i) list.push_back({stem + std::to_string(i), bytes});
}

// Registration order: vertex slots, then OWMT before OBase, then the families.
std::vector<Expected> RegistrationOrder() {
  std::vector<Expected> list{{"VWeight", 36}};
  AddFamily(list, "VMorphTarget", 16);
  list.push_back({"VMorphTargetB", 16});
  list.push_back({"OWMT", 64});
  list.push_back({"OBase", 52});
  AddFamily(list, "OMorphTarget", 268);
  AddFamily(list, "OMorphGroup", 264);
  AddFamily(list, "OPoseTSQ", 40);
  AddFamily(list, "OPoseMorph", 80);
  return list;
}

// Table order: the same with OBase before OWMT.
std::vector<Expected> TableOrder() {
  std::vector<Expected> list = RegistrationOrder();
  std::swap(list[22], list[23]);
  return list;
}

using SlotTableTest = RigTest;

TEST_F(SlotTableTest, RegistersEverySlotInOrderWithTheHost) {
  const std::vector<Expected> expected = RegistrationOrder();
  const auto& kinds = document_->kinds();
  ASSERT_EQ(kinds.size(), expected.size());
  for (std::size_t i = 0; i < kinds.size(); ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(kinds[i].name, expected[i].name);
    EXPECT_EQ(kinds[i].bytes_per_element, expected[i].bytes);
    EXPECT_EQ(kinds[i].product_id, 0x5A3C9E17u);
    EXPECT_EQ(kinds[i].plugin_id, 0xC4172B86u);
    // Object records as object data, vertex records as vertex data.
    EXPECT_EQ(kinds[i].type, expected[i].name[0] == 'V' ? MQUSERDATA_VERTEX : MQUSERDATA_OBJECT);
  }
}

TEST_F(SlotTableTest, TableHoldsTheHostsIdentifierOfEachEntry) {
  const std::vector<Expected> expected = TableOrder();
  for (int entry = 0; entry < kRigSlotCount; ++entry) {
    const mqhost::UserDataKind* kind = document_->Kind(slots_.id[entry]);
    ASSERT_NE(kind, nullptr) << "entry " << entry;
    EXPECT_EQ(kind->name, expected[entry].name) << "entry " << entry;
  }
  // The registration order shows in the identifiers the host handed out.
  EXPECT_EQ(slots_.id[RigSlotTable::kOWMT] + 1, slots_.id[RigSlotTable::kOBase]);

  // Registering again answers the same identifiers.
  RigSlotTable again;
  ASSERT_TRUE(RegisterRigSlots(doc_, again));
  EXPECT_EQ(again.id, slots_.id);
  EXPECT_EQ(document_->kinds().size(), 104u);
}

TEST_F(SlotTableTest, FamilyIndexHelpers) {
  struct Case {
    const char* what;
    int32_t actual;
    int entry;  // -1: no slot
  };
  const Case cases[] = {
      {"VWeight", slots_.VWeight(), 0},
      {"OBase", slots_.OBase(), 22},
      {"OWMT", slots_.OWMT(), 23},
      {"base shape", slots_.MorphShape(-1), 21},
      {"shape 0", slots_.MorphShape(0), 1},
      {"shape 19", slots_.MorphShape(19), 20},
      {"shape 20", slots_.MorphShape(20), -1},
      {"shape -2", slots_.MorphShape(-2), -1},
      {"target 0", slots_.MorphTarget(0), 24},
      {"target 19", slots_.MorphTarget(19), 43},
      {"target -1", slots_.MorphTarget(-1), -1},
      {"target 20", slots_.MorphTarget(20), -1},
      {"group 0", slots_.MorphGroup(0), 44},
      {"group 19", slots_.MorphGroup(19), 63},
      {"group 20", slots_.MorphGroup(20), -1},
      {"pose 0", slots_.PoseTSQ(0), 64},
      {"pose 19", slots_.PoseTSQ(19), 83},
      {"pose -1", slots_.PoseTSQ(-1), -1},
      {"pose 20", slots_.PoseTSQ(20), -1},
      {"pose morph 0", slots_.PoseMorph(0), 84},
      {"pose morph 19", slots_.PoseMorph(19), 103},
      {"pose morph 20", slots_.PoseMorph(20), -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.actual, c.entry < 0 ? -1 : slots_.id[c.entry]) << c.what;
  }
}

TEST(SlotRegistrationRecord, FortyBytesWithTheIdentifierCutTo15Characters) {
  struct Case {
    std::string identifier;
    std::string stored;
  };
  const Case cases[] = {
      {"OMorphTarget19", "OMorphTarget19"},
      {"ABCDEFGHIJKLMNO", "ABCDEFGHIJKLMNO"},
      {"ABCDEFGHIJKLMNOPQRSTU", "ABCDEFGHIJKLMNO"},
      {"", ""},
  };
  for (const Case& c : cases) {
    const MQUserDataInfo info = MakeUserDataInfo(c.identifier, 268, MQUSERDATA_OBJECT);
    unsigned char bytes[40];
    std::memcpy(bytes, &info, sizeof bytes);
    uint32_t head[3];
    std::memcpy(head, bytes, sizeof head);
    EXPECT_EQ(head[0], 40u);
    EXPECT_EQ(head[1], 0x5A3C9E17u);
    EXPECT_EQ(head[2], 0xC4172B86u);
    const char* identifier = reinterpret_cast<const char*>(bytes + 12);
    EXPECT_EQ(std::string(identifier, strnlen(identifier, 16)), c.stored);
    for (std::size_t i = c.stored.size(); i < 16; ++i) EXPECT_EQ(bytes[12 + i], 0) << i;
    int32_t tail[2];
    std::memcpy(tail, bytes + 28, sizeof tail);
    EXPECT_EQ(tail[0], 1) << "kind: object";
    EXPECT_EQ(tail[1], 268);
    EXPECT_EQ(bytes[36], 1) << "the create flag is one byte";
    EXPECT_EQ(bytes[37] | bytes[38] | bytes[39], 0) << "then padding";
  }
}

TEST(SlotRegistrationRecord, NoDocumentRegistersNothing) {
  RigSlotTable table;
  table.id.fill(7);
  EXPECT_FALSE(RegisterRigSlots(nullptr, table));
  for (int32_t id : table.id) EXPECT_EQ(id, 0);
}

}  // namespace
