#pragma once
// A host document with the rig's slots registered, and small helpers for
// building records and poking raw bytes into host user data.
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <vector>

#include "host/core/api.h"
#include "rig/records.h"
#include "rig/slot_table.h"
#include "rig/weight_record.h"
#include "tests/support/host_fixture.h"

class RigTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ASSERT_TRUE(quorvel::RegisterRigSlots(doc_, slots_));
  }

  static int32_t Uid(MQObject obj) { return static_cast<int32_t>(mqhost::ToObject(obj)->uid); }

  // The raw bytes the host holds for an object slot; empty when unallocated.
  static std::vector<uint8_t> ObjectBytes(MQObject obj, int32_t slot) {
    const auto& data = mqhost::ToObject(obj)->object_data;
    auto it = data.find(slot);
    return it != data.end() ? it->second : std::vector<uint8_t>();
  }
  static bool HasObjectSlot(MQObject obj, int32_t slot) {
    return mqhost::ToObject(obj)->object_data.count(slot) != 0;
  }
  static bool HasVertexSlotData(MQObject obj, int32_t slot) {
    return mqhost::ToObject(obj)->vertex_data.count(slot) != 0;
  }
  // Bytes written the way another plug-in or an old file could leave them.
  static void PokeObject(MQObject obj, int32_t slot, const void* bytes, int size) {
    mqhost::Object* o = mqhost::ToObject(obj);
    ASSERT_TRUE(o->AllocObjectData(slot));
    ASSERT_TRUE(o->WriteObjectData(slot, 0, size, bytes));
  }
  static void PokeVertex(MQObject obj, int32_t slot, int vertex, const void* bytes, int size) {
    mqhost::Object* o = mqhost::ToObject(obj);
    ASSERT_TRUE(o->AllocVertexData(slot));
    ASSERT_TRUE(o->WriteVertexData(slot, vertex, 1, 0, size, bytes));
  }

  // An object with `n` vertices at (i, 2i, 3i).
  MQObject AddMesh(const char* name, int n, int depth = 0) {
    MQObject obj = AddObject(name, depth);
    for (int i = 0; i < n; ++i) AddVertex(obj, float(i), float(2 * i), float(3 * i));
    return obj;
  }

  quorvel::RigSlotTable slots_;
};

// A valid weight record with these entries.
inline quorvel::VWeight Weights(std::initializer_list<quorvel::VWeightEntry> entries) {
  quorvel::VWeight rec;
  quorvel::Init(rec);
  for (const auto& e : entries) {
    const int n = quorvel::Count(rec);
    rec.entries[n] = e;
    rec.head = static_cast<uint8_t>(1 | ((n + 1) << 1));
  }
  return rec;
}

inline std::vector<quorvel::VWeightEntry> EntriesOf(const quorvel::VWeight& rec) {
  return std::vector<quorvel::VWeightEntry>(rec.entries, rec.entries + quorvel::Count(rec));
}

namespace quorvel {
inline bool operator==(const VWeightEntry& a, const VWeightEntry& b) {
  return a.bone == b.bone && a.weight == b.weight;
}
inline void PrintTo(const VWeightEntry& e, std::ostream* os) {
  *os << "(" << e.bone << ", " << e.weight << ")";
}
}  // namespace quorvel
