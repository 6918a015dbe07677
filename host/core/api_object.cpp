// The object functions of the host API. Object handles are trusted as the
// modeller trusts them; null handles and out-of-range indices answer zero,
// null or FALSE and change nothing.
#include <algorithm>
#include <cstring>

#include "host/core/api.h"
#include "host/core/host.h"

using mqhost::Face;
using mqhost::Host;
using mqhost::Object;
using mqhost::ToObject;

namespace {

bool ValidVertex(const Object* o, int vertex) {
  return o != nullptr && vertex >= 0 && vertex < static_cast<int>(o->vertices.size());
}

Face* FaceAt(MQObject obj, int face) {
  Object* o = ToObject(obj);
  if (o == nullptr || face < 0 || face >= static_cast<int>(o->faces.size())) return nullptr;
  return &o->faces[static_cast<size_t>(face)];
}

// Colour, scale, rotation and translation arrive as three floats.
FVECTOR3 ReadVector(const float* values) { return FVECTOR3(values[0], values[1], values[2]); }

}  // namespace

void MQAPICALL MQObj_GetName(MQObject obj, char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return;
  const Object* o = ToObject(obj);
  const std::string name = o != nullptr ? o->name : std::string();
  const size_t n = std::min(name.size(), static_cast<size_t>(size) - 1);
  std::memcpy(buffer, name.data(), n);
  buffer[n] = '\0';
}

void MQAPICALL MQObj_SetName(MQObject obj, const char* name) {
  if (Object* o = ToObject(obj)) o->name = name != nullptr ? name : "";
}

uint32_t MQAPICALL MQObj_GetVisible(MQObject obj) {
  const Object* o = ToObject(obj);
  return o != nullptr ? o->visible : 0;
}

void MQAPICALL MQObj_SetVisible(MQObject obj, uint32_t visible) {
  if (Object* o = ToObject(obj)) o->visible = visible;
}

int MQAPICALL MQObj_GetVertexCount(MQObject obj) {
  const Object* o = ToObject(obj);
  return o != nullptr ? static_cast<int>(o->vertices.size()) : 0;
}

void MQAPICALL MQObj_GetVertexArray(MQObject obj, MQPoint* points) {
  const Object* o = ToObject(obj);
  if (o == nullptr || points == nullptr) return;
  for (const mqhost::Vertex& v : o->vertices) *points++ = v.position;
}

void MQAPICALL MQObj_GetVertex(MQObject obj, int vertex, MQPoint* point) {
  const Object* o = ToObject(obj);
  if (point == nullptr) return;
  *point = ValidVertex(o, vertex) ? o->vertices[static_cast<size_t>(vertex)].position
                                  : MQPoint{0.0f, 0.0f, 0.0f};
}

void MQAPICALL MQObj_SetVertex(MQObject obj, int vertex, const MQPoint* point) {
  Object* o = ToObject(obj);
  if (point != nullptr && ValidVertex(o, vertex)) {
    o->vertices[static_cast<size_t>(vertex)].position = *point;
  }
}

int MQAPICALL MQObj_AddVertex(MQObject obj, const MQPoint* point) {
  Object* o = ToObject(obj);
  return o != nullptr && point != nullptr ? o->AddVertex(*point) : -1;
}

uint32_t MQAPICALL MQObj_GetVertexUniqueID(MQObject obj, int vertex) {
  const Object* o = ToObject(obj);
  return ValidVertex(o, vertex) ? o->vertices[static_cast<size_t>(vertex)].uid : 0;
}

int MQAPICALL MQObj_GetVertexRefCount(MQObject obj, int vertex) {
  const Object* o = ToObject(obj);
  return ValidVertex(o, vertex) ? o->RelatedFaces(vertex, nullptr) : 0;
}

int MQAPICALL MQObj_GetVertexRelatedFaces(MQObject obj, int vertex, int* faces) {
  const Object* o = ToObject(obj);
  return ValidVertex(o, vertex) ? o->RelatedFaces(vertex, faces) : 0;
}

int MQAPICALL MQObj_GetFaceCount(MQObject obj) {
  const Object* o = ToObject(obj);
  return o != nullptr ? static_cast<int>(o->faces.size()) : 0;
}

int MQAPICALL MQObj_GetFacePointCount(MQObject obj, int face) {
  const Face* f = FaceAt(obj, face);
  return f != nullptr ? static_cast<int>(f->points.size()) : 0;
}

void MQAPICALL MQObj_GetFacePointArray(MQObject obj, int face, int* vertices) {
  const Face* f = FaceAt(obj, face);
  if (f != nullptr && vertices != nullptr) {
    std::copy(f->points.begin(), f->points.end(), vertices);
  }
}

int MQAPICALL MQObj_GetFaceMaterial(MQObject obj, int face) {
  const Face* f = FaceAt(obj, face);
  return f != nullptr ? f->material : -1;
}

void MQAPICALL MQObj_SetFaceMaterial(MQObject obj, int face, int material) {
  if (Face* f = FaceAt(obj, face)) f->material = material;
}

void MQAPICALL MQObj_GetFaceCoordinateArray(MQObject obj, int face, MQCoordinate* uv) {
  const Face* f = FaceAt(obj, face);
  if (f != nullptr && uv != nullptr) std::copy(f->uvs.begin(), f->uvs.end(), uv);
}

void MQAPICALL MQObj_SetFaceCoordinateArray(MQObject obj, int face, const MQCoordinate* uv) {
  Face* f = FaceAt(obj, face);
  if (f != nullptr && uv != nullptr) std::copy(uv, uv + f->uvs.size(), f->uvs.begin());
}

uint32_t MQAPICALL MQObj_GetFaceVertexColor(MQObject obj, int face, int corner) {
  const Face* f = FaceAt(obj, face);
  if (f == nullptr || corner < 0 || corner >= static_cast<int>(f->colors.size())) return 0;
  return f->colors[static_cast<size_t>(corner)];
}

void MQAPICALL MQObj_SetFaceVertexColor(MQObject obj, int face, int corner, uint32_t color) {
  Face* f = FaceAt(obj, face);
  if (f != nullptr && corner >= 0 && corner < static_cast<int>(f->colors.size())) {
    f->colors[static_cast<size_t>(corner)] = color;
  }
}

BOOL MQAPICALL MQObj_GetFaceVisible(MQObject obj, int face) {
  const Object* o = ToObject(obj);
  return o != nullptr && o->FaceVisible(face) ? TRUE : FALSE;
}

void MQAPICALL MQObj_SetFaceVisible(MQObject obj, int face, BOOL visible) {
  if (Object* o = ToObject(obj)) o->SetFaceVisible(face, visible != FALSE);
}

int MQAPICALL MQObj_AddFace(MQObject obj, int count, const int* vertices) {
  Object* o = ToObject(obj);
  if (o == nullptr || count <= 0 || vertices == nullptr) return -1;
  return o->AddFace(std::vector<int>(vertices, vertices + count));
}

int MQAPICALL MQObj_GetShading(MQObject obj) {
  const Object* o = ToObject(obj);
  return o != nullptr ? o->shading : 0;
}

float MQAPICALL MQObj_GetSmoothAngle(MQObject obj) {
  const Object* o = ToObject(obj);
  return o != nullptr ? o->smooth_angle : 0.0f;
}

void MQAPICALL MQObj_SetSmoothAngle(MQObject obj, float degrees) {
  if (Object* o = ToObject(obj)) o->smooth_angle = degrees;
}

int MQAPICALL MQObj_GetIntValue(MQObject obj, int type_id) {
  const Object* o = ToObject(obj);
  if (o == nullptr) return 0;
  switch (type_id) {
    case MQOBJ_ID_DEPTH: return o->depth;
    case MQOBJ_ID_LOCKING: return o->locked ? 1 : 0;
    case MQOBJ_ID_UNIQUE_ID: return static_cast<int>(o->uid);
    case MQOBJ_ID_COLOR_VALID: return o->color_valid ? 1 : 0;
    default: return 0;
  }
}

void MQAPICALL MQObj_SetIntValue(MQObject obj, int type_id, int value) {
  Object* o = ToObject(obj);
  if (o == nullptr) return;
  switch (type_id) {
    case MQOBJ_ID_DEPTH:
      if (o->document() != nullptr) {
        o->document()->SetDepth(o, value);
      } else {
        o->depth = std::max(0, value);
      }
      break;
    case MQOBJ_ID_COLOR_VALID: o->color_valid = value != 0; break;
    default: break;
  }
}

void MQAPICALL MQObj_SetFloatArray(MQObject obj, int type_id, const float* values) {
  Object* o = ToObject(obj);
  if (o == nullptr || values == nullptr) return;
  switch (type_id) {
    case MQOBJ_ID_COLOR: std::copy(values, values + 3, o->color); break;
    case MQOBJ_ID_SCALING: o->transform.scale = ReadVector(values); break;
    case MQOBJ_ID_ROTATION: o->transform.rotation = ReadVector(values); break;
    case MQOBJ_ID_TRANSLATION: o->transform.translation = ReadVector(values); break;
    default: break;
  }
}

BOOL MQAPICALL MQObj_AllocUserData(MQObject obj, int userdata_id) {
  Object* o = ToObject(obj);
  return o != nullptr && o->AllocObjectData(userdata_id) ? TRUE : FALSE;
}

void MQAPICALL MQObj_FreeUserData(MQObject obj, int userdata_id) {
  if (Object* o = ToObject(obj)) o->FreeObjectData(userdata_id);
}

BOOL MQAPICALL MQObj_GetUserData(MQObject obj, int userdata_id, int offset, int copy_bytes,
                                 void* buffer) {
  const Object* o = ToObject(obj);
  return o != nullptr && o->ReadObjectData(userdata_id, offset, copy_bytes, buffer) ? TRUE : FALSE;
}

BOOL MQAPICALL MQObj_SetUserData(MQObject obj, int userdata_id, int offset, int copy_bytes,
                                 const void* buffer) {
  Object* o = ToObject(obj);
  return o != nullptr && o->WriteObjectData(userdata_id, offset, copy_bytes, buffer) ? TRUE : FALSE;
}

BOOL MQAPICALL MQObj_AllocVertexUserData(MQObject obj, int userdata_id) {
  Object* o = ToObject(obj);
  return o != nullptr && o->AllocVertexData(userdata_id) ? TRUE : FALSE;
}

void MQAPICALL MQObj_FreeVertexUserData(MQObject obj, int userdata_id) {
  if (Object* o = ToObject(obj)) o->FreeVertexData(userdata_id);
}

BOOL MQAPICALL MQObj_GetVertexUserData(MQObject obj, int userdata_id, int vertex_start,
                                       int vertex_count, int offset, int copy_bytes,
                                       void* buffer) {
  const Object* o = ToObject(obj);
  return o != nullptr && o->ReadVertexData(userdata_id, vertex_start, vertex_count, offset,
                                           copy_bytes, buffer)
             ? TRUE
             : FALSE;
}

BOOL MQAPICALL MQObj_SetVertexUserData(MQObject obj, int userdata_id, int vertex_start,
                                       int vertex_count, int offset, int copy_bytes,
                                       const void* buffer) {
  Object* o = ToObject(obj);
  return o != nullptr && o->WriteVertexData(userdata_id, vertex_start, vertex_count, offset,
                                            copy_bytes, buffer)
             ? TRUE
             : FALSE;
}

void MQAPICALL MQObj_Delete(MQObject obj) { Host::Instance().DeleteFreeObject(ToObject(obj)); }
