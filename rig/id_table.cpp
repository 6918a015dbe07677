#include "rig/id_table.h"

#include <algorithm>

#include "rig/host_records.h"
#include "sdk/host_api.h"

namespace quorvel {

namespace hr = host_records;

void BuildIdTable(MQDocument doc, IdTable& table) {
  table.clear();
  if (doc == nullptr) return;
  table.reserve(static_cast<std::size_t>(std::max(0, HostApi().MQDoc_GetObjectCount(doc))));
  hr::ForEachObject(doc, [&](MQObject obj, int index) {
    table.push_back(mqtool::UIDTbalePair{index, hr::UniqueId(obj)});
  });
  // Unique ids are distinct; the index only breaks ties should a host ever
  // repeat one, so that the order never depends on the sort.
  std::sort(table.begin(), table.end(),
            [](const mqtool::UIDTbalePair& a, const mqtool::UIDTbalePair& b) {
              return a.uid != b.uid ? a.uid < b.uid : a.index < b.index;
            });
}

int32_t LookupIndex(const IdTable& table, int32_t uid) {
  auto it = std::lower_bound(
      table.begin(), table.end(), uid,
      [](const mqtool::UIDTbalePair& pair, int32_t id) { return pair.uid < id; });
  return it != table.end() && it->uid == uid ? it->index : -1;
}

MQObject FindObjectByUniqueId(MQDocument doc, int32_t uid) { return hr::FindByUniqueId(doc, uid); }

int IndexOfUniqueId(MQDocument doc, int32_t uid) {
  int found = -1;
  hr::ForEachObject(doc, [&](MQObject obj, int index) {
    if (found < 0 && hr::UniqueId(obj) == uid) found = index;
  });
  return found;
}

MQObject CurrentObject(MQDocument doc) { return hr::CurrentObject(doc); }

int32_t CurrentObjectUniqueId(MQDocument doc) {
  MQObject obj = hr::CurrentObject(doc);
  return obj != nullptr ? hr::UniqueId(obj) : -1;
}

void SetCurrentObject(MQDocument doc, MQObject obj) {
  if (doc == nullptr || obj == nullptr) return;
  const int index = HostApi().MQDoc_GetObjectIndex(doc, obj);
  if (index >= 0) HostApi().MQDoc_SetCurrentObjectIndex(doc, index);
}

void SetCurrentObjectByUniqueId(MQDocument doc, int32_t uid) {
  if (doc == nullptr || uid < 0) return;
  const int index = IndexOfUniqueId(doc, uid);
  if (index >= 0) HostApi().MQDoc_SetCurrentObjectIndex(doc, index);
}

bool ObjectNameByUniqueId(MQDocument doc, int32_t uid, char* buffer, int size) {
  if (buffer == nullptr || size < 1) return false;
  buffer[0] = '\0';
  MQObject obj = FindObjectByUniqueId(doc, uid);
  if (obj == nullptr) return false;
  HostApi().MQObj_GetName(obj, buffer, size);
  buffer[size - 1] = '\0';  // a host that fills the buffer must not leave it open
  return true;
}

std::string ObjectNameByUniqueId(MQDocument doc, int32_t uid) {
  char name[1024];  // longer than any name the host keeps
  return ObjectNameByUniqueId(doc, uid, name, static_cast<int>(sizeof(name))) ? std::string(name)
                                                                              : std::string();
}

}  // namespace quorvel
