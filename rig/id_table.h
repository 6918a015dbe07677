#pragma once
// Finding host objects by unique id and document index.
//
// Objects are named three ways: handle, document index (position in the
// host's object list, which may hold empty positions) and the host's unique
// id. Vertex weights and the edit state store unique ids, so deformation
// turns many ids into indices at once through a table sorted by id. Every
// walk skips empty positions; nothing here fails loudly: not found is null,
// -1 or false.
#include <cstdint>
#include <string>
#include <vector>

#include "sdk/mq_types.h"

namespace mqtool {

// One entry of the identifier table.
struct UIDTbalePair {
  int32_t index;  // document index
  int32_t uid;    // the object's unique id
};
static_assert(sizeof(UIDTbalePair) == 8, "identifier table pair is 8 bytes");

}  // namespace mqtool

namespace quorvel {

// Pairs sorted by ascending unique id.
using IdTable = std::vector<mqtool::UIDTbalePair>;

// Empties the table, then holds (index, unique id) of every object sorted by
// unique id. O(n log n); the table's storage is reused between builds.
void BuildIdTable(MQDocument doc, IdTable& table);

// Document index of the object with this unique id in a table made by
// BuildIdTable; -1 when no pair carries it. O(log n).
int32_t LookupIndex(const IdTable& table, int32_t uid);

// The first object (in index order) whose unique id is `uid`, or null.
MQObject FindObjectByUniqueId(MQDocument doc, int32_t uid);
// Its document index, or -1.
int IndexOfUniqueId(MQDocument doc, int32_t uid);

// The host's current object; null without a document or current index.
MQObject CurrentObject(MQDocument doc);
// Its unique id; -1 without a document, without a current index or when the
// position is empty.
int32_t CurrentObjectUniqueId(MQDocument doc);
// Makes the object current; nothing when it is not in the document.
void SetCurrentObject(MQDocument doc, MQObject obj);
// The same by unique id; nothing for uid < 0 or when no object carries it.
void SetCurrentObjectByUniqueId(MQDocument doc, int32_t uid);

// The object's name into `buffer` (always terminated when size > 0, cut to
// size - 1 bytes). Not found: an empty string and false. A null buffer or a
// size below 1 writes nothing and answers false.
bool ObjectNameByUniqueId(MQDocument doc, int32_t uid, char* buffer, int size);
// The name as a string; empty when not found.
std::string ObjectNameByUniqueId(MQDocument doc, int32_t uid);

}  // namespace quorvel
