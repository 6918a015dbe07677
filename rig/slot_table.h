#pragma once
// The user-data slots the rig registers with every host document, and the
// table of slot identifiers the host hands back for them.
#include <array>
#include <cstdint>
#include <string>

#include "sdk/mq_types.h"

namespace quorvel {

// Identification carried by every registration.
constexpr uint32_t kRigProductId = 0x5A3C9E17;
constexpr uint32_t kRigPluginId = 0xC4172B86;

constexpr int kRigSlotCount = 104;

// The host's slot identifiers, one per registration, in table order:
//   0 VWeight, 1..20 VMorphTarget0..19, 21 VMorphTargetB, 22 OBase, 23 OWMT,
//   24..43 OMorphTarget0..19, 44..63 OMorphGroup0..19, 64..83 OPoseTSQ0..19,
//   84..103 OPoseMorph0..19.
// Index helpers take the family index (morph target, group or pose id) and
// answer -1 outside 0..19 (or -1..19 for shapes, where -1 is the base shape).
struct RigSlotTable {
  static constexpr int kVWeight = 0;
  static constexpr int kVMorphTarget = 1;
  static constexpr int kVMorphTargetB = 21;
  static constexpr int kOBase = 22;
  static constexpr int kOWMT = 23;
  static constexpr int kOMorphTarget = 24;
  static constexpr int kOMorphGroup = 44;
  static constexpr int kOPoseTSQ = 64;
  static constexpr int kOPoseMorph = 84;

  std::array<int32_t, kRigSlotCount> id{};

  int32_t VWeight() const { return id[kVWeight]; }
  int32_t OBase() const { return id[kOBase]; }
  int32_t OWMT() const { return id[kOWMT]; }
  // k = -1 is the base shape ("VMorphTargetB").
  int32_t MorphShape(int k) const;
  int32_t MorphTarget(int k) const;
  int32_t MorphGroup(int g) const;
  int32_t PoseTSQ(int pose_id) const;
  int32_t PoseMorph(int pose_id) const;
};

// One registration: its identifier, record size, what an element belongs to
// (MQUSERDATA_VERTEX or MQUSERDATA_OBJECT) and position in the table.
struct RigSlotRegistration {
  std::string identifier;
  int32_t bytes_per_element = 0;
  int32_t kind = MQUSERDATA_OBJECT;
  int table_entry = 0;
};

// The 104 registrations in the order they are made: the vertex slots, then
// "OWMT", "OBase" and the four object families. Indexed names are formed
// with "%s%d" from the stem and the index.
std::array<RigSlotRegistration, kRigSlotCount> RigSlotRegistrations();

// The 40-byte registration record: own size, product and plug-in ids, the
// identifier cut to 15 characters and terminated, the kind, the record size
// and the create flag. Object records must be registered as object data and
// vertex records as vertex data: the modeller keeps the two apart.
MQUserDataInfo MakeUserDataInfo(const std::string& identifier, int32_t bytes_per_element,
                                int32_t kind);

// Registers every slot with the document (MQDoc_CreateUserData, in
// registration order) and stores each returned identifier at its table
// entry. True when the host accepted all of them.
bool RegisterRigSlots(MQDocument doc, RigSlotTable& table);

}  // namespace quorvel
