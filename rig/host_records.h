#pragma once
// The rig's only door to the host: whole-record reads and writes of user-data
// slots, and the few object queries the rig needs. Every byte count passed
// to the host is the record's own size, so the host never copies more into
// a caller's record than it holds. Slot identifiers of 0 or below (a slot
// that was never registered, or a family index out of range) fail at once.
#include <cstdint>

#include "rig/records.h"
#include "sdk/host_api.h"

namespace quorvel::host_records {

template <typename T>
bool ReadObject(MQObject obj, int32_t slot, T& out) {
  static_assert(kIsStoredRecord<T>);
  if (obj == nullptr || slot <= 0) return false;
  T tmp;
  if (!HostApi().MQObj_GetUserData(obj, slot, 0, static_cast<int>(sizeof(T)), &tmp)) return false;
  out = tmp;
  return true;
}

// The record read straight into `out`, or `fallback` there when it cannot be
// read. For reads made per object on every evaluation: copying out of a
// scratch record that the host has just written stalls on the reload.
template <typename T>
void ReadObjectOr(MQObject obj, int32_t slot, const T& fallback, T& out) {
  static_assert(kIsStoredRecord<T>);
  if (obj == nullptr || slot <= 0 ||
      !HostApi().MQObj_GetUserData(obj, slot, 0, static_cast<int>(sizeof(T)), &out)) {
    out = fallback;  // whatever a failed read left behind goes
  }
}

// The record read straight into `out`, for a scratch record the caller
// drops on failure (it then holds whatever the host left there).
template <typename T>
bool ReadObjectInPlace(MQObject obj, int32_t slot, T& out) {
  static_assert(kIsStoredRecord<T>);
  return obj != nullptr && slot > 0 &&
         HostApi().MQObj_GetUserData(obj, slot, 0, static_cast<int>(sizeof(T)), &out) != FALSE;
}

template <typename T>
bool HasObject(MQObject obj, int32_t slot) {
  T tmp;
  return ReadObject(obj, slot, tmp);
}

// Allocates the record when it is missing. Writing is tried first: most
// writes find the record there, and then one host call does.
template <typename T>
bool WriteObject(MQObject obj, int32_t slot, const T& rec) {
  static_assert(kIsStoredRecord<T>);
  if (obj == nullptr || slot <= 0) return false;
  const int size = static_cast<int>(sizeof(T));
  if (HostApi().MQObj_SetUserData(obj, slot, 0, size, &rec)) return true;
  if (!HostApi().MQObj_AllocUserData(obj, slot)) return false;
  return HostApi().MQObj_SetUserData(obj, slot, 0, size, &rec) != FALSE;
}

// Writes only a record that already exists.
template <typename T>
bool WriteExistingObject(MQObject obj, int32_t slot, const T& rec) {
  static_assert(kIsStoredRecord<T>);
  if (obj == nullptr || slot <= 0) return false;
  return HostApi().MQObj_SetUserData(obj, slot, 0, static_cast<int>(sizeof(T)), &rec) != FALSE;
}

inline void FreeObject(MQObject obj, int32_t slot) {
  if (obj != nullptr && slot > 0) HostApi().MQObj_FreeUserData(obj, slot);
}

template <typename T>
bool ReadVertex(MQObject obj, int32_t slot, int vertex, T& out) {
  static_assert(kIsStoredRecord<T>);
  if (obj == nullptr || slot <= 0 || vertex < 0) return false;
  T tmp;
  if (!HostApi().MQObj_GetVertexUserData(obj, slot, vertex, 1, 0, static_cast<int>(sizeof(T)),
                                         &tmp)) {
    return false;
  }
  out = tmp;
  return true;
}

// The records of vertices 0..count-1 in one call; false when the slot is not
// allocated or the object has fewer vertices (`out` holds count records).
template <typename T>
bool ReadVertices(MQObject obj, int32_t slot, int count, T* out) {
  static_assert(kIsStoredRecord<T>);
  if (obj == nullptr || slot <= 0 || count <= 0 || out == nullptr) return false;
  return HostApi().MQObj_GetVertexUserData(obj, slot, 0, count, 0, static_cast<int>(sizeof(T)),
                                           out) != FALSE;
}

// A vertex slot exists for an object exactly when vertex 0 of it reads.
template <typename T>
bool HasVertexSlot(MQObject obj, int32_t slot) {
  T tmp;
  return ReadVertex(obj, slot, 0, tmp);
}

template <typename T>
bool WriteVertex(MQObject obj, int32_t slot, int vertex, const T& rec) {
  static_assert(kIsStoredRecord<T>);
  if (obj == nullptr || slot <= 0 || vertex < 0) return false;
  if (!HostApi().MQObj_AllocVertexUserData(obj, slot)) return false;
  return HostApi().MQObj_SetVertexUserData(obj, slot, vertex, 1, 0, static_cast<int>(sizeof(T)),
                                           &rec) != FALSE;
}

// The records of vertices 0..count-1 in one call, allocating the slot; false
// when it cannot be allocated or the object has fewer vertices.
template <typename T>
bool WriteVertices(MQObject obj, int32_t slot, int count, const T* in) {
  static_assert(kIsStoredRecord<T>);
  if (obj == nullptr || slot <= 0 || count <= 0 || in == nullptr) return false;
  if (!HostApi().MQObj_AllocVertexUserData(obj, slot)) return false;
  return HostApi().MQObj_SetVertexUserData(obj, slot, 0, count, 0, static_cast<int>(sizeof(T)),
                                           in) != FALSE;
}

inline void FreeVertexSlot(MQObject obj, int32_t slot) {
  if (obj != nullptr && slot > 0) HostApi().MQObj_FreeVertexUserData(obj, slot);
}

// ---------------------------------------------------------------- objects

inline int32_t UniqueId(MQObject obj) {
  return obj != nullptr ? HostApi().MQObj_GetIntValue(obj, MQOBJ_ID_UNIQUE_ID) : -1;
}

inline bool IsVisible(MQObject obj) { return obj != nullptr && HostApi().MQObj_GetVisible(obj) != 0; }

inline bool IsLocked(MQObject obj) {
  return obj != nullptr && HostApi().MQObj_GetIntValue(obj, MQOBJ_ID_LOCKING) != 0;
}

// Hierarchy depth as the host reports it; 0 for a null object.
inline int Depth(MQObject obj) {
  return obj != nullptr ? HostApi().MQObj_GetIntValue(obj, MQOBJ_ID_DEPTH) : 0;
}

inline int VertexCount(MQObject obj) {
  return obj != nullptr ? HostApi().MQObj_GetVertexCount(obj) : 0;
}

// Calls f(object, index) for every object of the list, skipping empty
// positions.
template <typename F>
void ForEachObject(MQDocument doc, F&& f) {
  if (doc == nullptr) return;
  const int count = HostApi().MQDoc_GetObjectCount(doc);
  for (int i = 0; i < count; ++i) {
    if (MQObject obj = HostApi().MQDoc_GetObject(doc, i)) f(obj, i);
  }
}

inline MQObject FindByUniqueId(MQDocument doc, int32_t uid) {
  MQObject found = nullptr;
  ForEachObject(doc, [&](MQObject obj, int) {
    if (found == nullptr && UniqueId(obj) == uid) found = obj;
  });
  return found;
}

// The host's current object, or null.
inline MQObject CurrentObject(MQDocument doc) {
  if (doc == nullptr) return nullptr;
  const int index = HostApi().MQDoc_GetCurrentObjectIndex(doc);
  return index >= 0 ? HostApi().MQDoc_GetObject(doc, index) : nullptr;
}

// Translation of the object's global matrix.
inline FVECTOR3 Pivot(MQDocument doc, MQObject obj) {
  if (doc == nullptr || obj == nullptr) return FVECTOR3();
  FMATRIX global;
  HostApi().MQDoc_GetGlobalMatrix(doc, obj, global.m);
  float t[3] = {0.0f, 0.0f, 0.0f};
  HostApi().MQMatrix_FloatValue(global.m, MQMATRIX_GET_TRANSLATION, t);
  return FVECTOR3(t[0], t[1], t[2]);
}

// Child 0, or null when the object has no children.
inline MQObject FirstChild(MQDocument doc, MQObject obj) {
  if (doc == nullptr || obj == nullptr) return nullptr;
  if (HostApi().MQDoc_GetChildObjectCount(doc, obj) <= 0) return nullptr;
  return HostApi().MQDoc_GetChildObject(doc, obj, 0);
}

}  // namespace quorvel::host_records
