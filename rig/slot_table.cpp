#include "rig/slot_table.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "rig/records.h"
#include "sdk/host_api.h"

namespace quorvel {

namespace {

int32_t Indexed(const RigSlotTable& table, int first, int index, int lo, int hi) {
  if (index < lo || index > hi) return -1;
  return table.id[static_cast<std::size_t>(first + index)];
}

std::string IndexedName(const char* stem, int index) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%s%d", stem, index);
  return buffer;
}

}  // namespace

int32_t RigSlotTable::MorphShape(int k) const {
  if (k == -1) return id[kVMorphTargetB];
  return Indexed(*this, kVMorphTarget, k, 0, kMaxMorphTargets - 1);
}
int32_t RigSlotTable::MorphTarget(int k) const {
  return Indexed(*this, kOMorphTarget, k, 0, kMaxMorphTargets - 1);
}
int32_t RigSlotTable::MorphGroup(int g) const {
  return Indexed(*this, kOMorphGroup, g, 0, kMaxMorphGroups - 1);
}
int32_t RigSlotTable::PoseTSQ(int pose_id) const {
  return Indexed(*this, kOPoseTSQ, pose_id, 0, kMaxPoses - 1);
}
int32_t RigSlotTable::PoseMorph(int pose_id) const {
  return Indexed(*this, kOPoseMorph, pose_id, 0, kMaxPoses - 1);
}

std::array<RigSlotRegistration, kRigSlotCount> RigSlotRegistrations() {
  std::array<RigSlotRegistration, kRigSlotCount> list;
  std::size_t n = 0;
  auto add = [&](std::string identifier, std::size_t bytes, int32_t kind, int entry) {
    list[n++] =
        RigSlotRegistration{std::move(identifier), static_cast<int32_t>(bytes), kind, entry};
  };
  auto add_family = [&](const char* stem, std::size_t bytes, int32_t kind, int first_entry,
                        int count) {
    for (int i = 0; i < count; ++i) add(IndexedName(stem, i), bytes, kind, first_entry + i);
  };
  constexpr int32_t kVertex = MQUSERDATA_VERTEX;
  constexpr int32_t kObject = MQUSERDATA_OBJECT;
  add("VWeight", sizeof(VWeight), kVertex, RigSlotTable::kVWeight);
  add_family("VMorphTarget", sizeof(VMorphTarget), kVertex, RigSlotTable::kVMorphTarget,
             kMaxMorphTargets);
  add("VMorphTargetB", sizeof(VMorphTarget), kVertex, RigSlotTable::kVMorphTargetB);
  // The world matrix is registered before the bone record although the table
  // lists the bone record first.
  add("OWMT", sizeof(OWMT), kObject, RigSlotTable::kOWMT);
  add("OBase", sizeof(OBase), kObject, RigSlotTable::kOBase);
  add_family("OMorphTarget", sizeof(OMorphTarget), kObject, RigSlotTable::kOMorphTarget,
             kMaxMorphTargets);
  add_family("OMorphGroup", sizeof(OMorphGroup), kObject, RigSlotTable::kOMorphGroup,
             kMaxMorphGroups);
  add_family("OPoseTSQ", sizeof(OPoseTSQ), kObject, RigSlotTable::kOPoseTSQ, kMaxPoses);
  add_family("OPoseMorph", sizeof(OPoseMorph), kObject, RigSlotTable::kOPoseMorph, kMaxPoses);
  return list;
}

MQUserDataInfo MakeUserDataInfo(const std::string& identifier, int32_t bytes_per_element,
                                int32_t kind) {
  MQUserDataInfo info;
  std::memset(&info, 0, sizeof info);
  info.size = sizeof(MQUserDataInfo);
  info.product_id = kRigProductId;
  info.plugin_id = kRigPluginId;
  const std::size_t length = std::min(identifier.size(), sizeof(info.identifier) - 1);
  std::memcpy(info.identifier, identifier.data(), length);
  info.userdata_type = kind;
  info.bytes_per_element = bytes_per_element;
  info.create = true;
  return info;
}

bool RegisterRigSlots(MQDocument doc, RigSlotTable& table) {
  bool all = doc != nullptr;
  for (const RigSlotRegistration& reg : RigSlotRegistrations()) {
    int32_t id = 0;
    if (doc != nullptr) {
      MQUserDataInfo info = MakeUserDataInfo(reg.identifier, reg.bytes_per_element, reg.kind);
      id = HostApi().MQDoc_CreateUserData(doc, &info);
    }
    table.id[static_cast<std::size_t>(reg.table_entry)] = id;
    if (id == 0) all = false;
  }
  return all;
}

}  // namespace quorvel
