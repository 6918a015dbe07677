#pragma once
// Every host API function the plug-in calls, in the fixed order in which
// MQInit looks them up: X(return type, name, (parameters)). The plug-in's
// table and the substitute host's exports are both generated from this list,
// so the two sides cannot disagree on a signature.
//
// The shapes are the modeller's own (its SDK revision 3.11): under __stdcall
// an argument too many or too few unbalances the stack at every call, so a
// value is returned or passed by value exactly where the modeller does so.
//
// Ownership: nothing returned here is owned by the plug-in, except objects
// made by MQ_CreateObject until MQDoc_AddObject / MQDoc_InsertObject takes
// them (or MQObj_Delete destroys them), and materials made by
// MQ_CreateMaterial until MQDoc_AddMaterial takes them (or MQMat_Delete
// destroys them). Buffers are always the caller's.
#include "sdk/mq_types.h"

#define MQ_HOST_API_LIST(X)                                                                   \
  /* host */                                                                                  \
  X(void*, MQ_GetWindowHandle, (void))                                                        \
  X(void, MQ_RefreshView, (void* reserved))                                                   \
  X(BOOL, MQ_SendMessage, (int message_type, HOST_REQUEST_INFO* info))                        \
  X(void, MQ_StationCallback, (MQStationCallbackProc proc, void* option))                     \
  X(MQObject, MQ_CreateObject, (void))                                                        \
  X(MQMaterial, MQ_CreateMaterial, (void))                                                    \
  /* document */                                                                              \
  X(int, MQDoc_GetObjectCount, (MQDocument doc))                                              \
  X(MQObject, MQDoc_GetObject, (MQDocument doc, int index))                                   \
  X(int, MQDoc_GetObjectIndex, (MQDocument doc, MQObject obj))                                \
  X(MQObject, MQDoc_GetParentObject, (MQDocument doc, MQObject obj))                          \
  X(int, MQDoc_GetChildObjectCount, (MQDocument doc, MQObject obj))                           \
  X(MQObject, MQDoc_GetChildObject, (MQDocument doc, MQObject obj, int index))                \
  X(void, MQDoc_GetGlobalMatrix, (MQDocument doc, MQObject obj, float* matrix))               \
  X(void, MQDoc_GetGlobalInverseMatrix, (MQDocument doc, MQObject obj, float* matrix))        \
  X(int, MQDoc_GetCurrentObjectIndex, (MQDocument doc))                                       \
  X(void, MQDoc_SetCurrentObjectIndex, (MQDocument doc, int index))                           \
  X(int, MQDoc_GetCurrentMaterialIndex, (MQDocument doc))                                     \
  X(void, MQDoc_SetCurrentMaterialIndex, (MQDocument doc, int index))                         \
  X(int, MQDoc_GetMaterialCount, (MQDocument doc))                                            \
  X(MQMaterial, MQDoc_GetMaterial, (MQDocument doc, int index))                               \
  X(int, MQDoc_AddMaterial, (MQDocument doc, MQMaterial mat))                                 \
  X(int, MQDoc_AddObject, (MQDocument doc, MQObject obj))                                     \
  X(int, MQDoc_InsertObject, (MQDocument doc, MQObject obj, MQObject after))                  \
  X(void, MQDoc_DeleteObject, (MQDocument doc, int index))                                    \
  X(MQScene, MQDoc_GetScene, (MQDocument doc, int index))                                     \
  X(BOOL, MQDoc_IsSelectVertex, (MQDocument doc, int object_index, int vertex_index))         \
  X(int, MQDoc_CreateUserData, (MQDocument doc, MQUserDataInfo* info))                        \
  /* object */                                                                                \
  X(void, MQObj_GetName, (MQObject obj, char* buffer, int size))                              \
  X(void, MQObj_SetName, (MQObject obj, const char* name))                                    \
  X(uint32_t, MQObj_GetVisible, (MQObject obj))                                               \
  X(void, MQObj_SetVisible, (MQObject obj, uint32_t visible))                                 \
  X(int, MQObj_GetVertexCount, (MQObject obj))                                                \
  X(void, MQObj_GetVertexArray, (MQObject obj, MQPoint* points))                              \
  X(void, MQObj_GetVertex, (MQObject obj, int vertex, MQPoint* point))                        \
  X(void, MQObj_SetVertex, (MQObject obj, int vertex, const MQPoint* point))                  \
  X(int, MQObj_AddVertex, (MQObject obj, const MQPoint* point))                               \
  X(uint32_t, MQObj_GetVertexUniqueID, (MQObject obj, int vertex))                            \
  X(int, MQObj_GetVertexRefCount, (MQObject obj, int vertex))                                 \
  X(int, MQObj_GetVertexRelatedFaces, (MQObject obj, int vertex, int* faces))                 \
  X(int, MQObj_GetFaceCount, (MQObject obj))                                                  \
  X(int, MQObj_GetFacePointCount, (MQObject obj, int face))                                   \
  X(void, MQObj_GetFacePointArray, (MQObject obj, int face, int* vertices))                   \
  X(int, MQObj_GetFaceMaterial, (MQObject obj, int face))                                     \
  X(void, MQObj_SetFaceMaterial, (MQObject obj, int face, int material))                      \
  X(void, MQObj_GetFaceCoordinateArray, (MQObject obj, int face, MQCoordinate* uv))           \
  X(void, MQObj_SetFaceCoordinateArray, (MQObject obj, int face, const MQCoordinate* uv))     \
  X(uint32_t, MQObj_GetFaceVertexColor, (MQObject obj, int face, int corner))                 \
  X(void, MQObj_SetFaceVertexColor, (MQObject obj, int face, int corner, uint32_t color))     \
  X(BOOL, MQObj_GetFaceVisible, (MQObject obj, int face))                                     \
  X(void, MQObj_SetFaceVisible, (MQObject obj, int face, BOOL visible))                       \
  X(int, MQObj_AddFace, (MQObject obj, int count, const int* vertices))                       \
  X(int, MQObj_GetShading, (MQObject obj))                                                    \
  X(float, MQObj_GetSmoothAngle, (MQObject obj))                                              \
  X(void, MQObj_SetSmoothAngle, (MQObject obj, float degrees))                                \
  X(int, MQObj_GetIntValue, (MQObject obj, int type_id))                                      \
  X(void, MQObj_SetIntValue, (MQObject obj, int type_id, int value))                          \
  X(void, MQObj_SetFloatArray, (MQObject obj, int type_id, const float* values))              \
  X(BOOL, MQObj_AllocUserData, (MQObject obj, int userdata_id))                               \
  X(void, MQObj_FreeUserData, (MQObject obj, int userdata_id))                                \
  X(BOOL, MQObj_GetUserData,                                                                  \
    (MQObject obj, int userdata_id, int offset, int copy_bytes, void* buffer))                \
  X(BOOL, MQObj_SetUserData,                                                                  \
    (MQObject obj, int userdata_id, int offset, int copy_bytes, const void* buffer))          \
  X(BOOL, MQObj_AllocVertexUserData, (MQObject obj, int userdata_id))                         \
  X(void, MQObj_FreeVertexUserData, (MQObject obj, int userdata_id))                          \
  X(BOOL, MQObj_GetVertexUserData,                                                            \
    (MQObject obj, int userdata_id, int vertex_start, int vertex_count, int offset,           \
     int copy_bytes, void* buffer))                                                           \
  X(BOOL, MQObj_SetVertexUserData,                                                            \
    (MQObject obj, int userdata_id, int vertex_start, int vertex_count, int offset,           \
     int copy_bytes, const void* buffer))                                                     \
  X(void, MQObj_Delete, (MQObject obj))                                                       \
  /* material */                                                                              \
  X(void, MQMat_SetName, (MQMaterial mat, const char* name))                                  \
  X(void, MQMat_GetName, (MQMaterial mat, char* buffer, int size))                            \
  X(void, MQMat_GetColor, (MQMaterial mat, MQColor* color))                                   \
  X(void, MQMat_SetColor, (MQMaterial mat, const MQColor* color))                             \
  X(float, MQMat_GetDiffuse, (MQMaterial mat))                                                \
  X(void, MQMat_SetDiffuse, (MQMaterial mat, float value))                                    \
  X(void, MQMat_SetAmbient, (MQMaterial mat, float value))                                    \
  X(void, MQMat_SetEmission, (MQMaterial mat, float value))                                   \
  X(void, MQMat_SetSpecular, (MQMaterial mat, float value))                                   \
  X(void, MQMat_SetPower, (MQMaterial mat, float value))                                      \
  X(float, MQMat_GetAlpha, (MQMaterial mat))                                                  \
  X(void, MQMat_SetAlpha, (MQMaterial mat, float value))                                      \
  X(int, MQMat_GetIntValue, (MQMaterial mat, int type_id))                                    \
  X(void, MQMat_SetIntValue, (MQMaterial mat, int type_id, int value))                        \
  X(void, MQMat_GetTextureName, (MQMaterial mat, char* buffer, int size))                     \
  X(void, MQMat_SetTextureName, (MQMaterial mat, const char* name))                           \
  X(void, MQMat_Delete, (MQMaterial mat))                                                     \
  /* scene */                                                                                 \
  X(void, MQScene_GetViewMatrix, (MQScene scene, float* matrix))                              \
  X(void, MQScene_GetProjMatrix, (MQScene scene, float* matrix))                              \
  X(void, MQScene_FloatValue, (MQScene scene, int type_id, float* values))                    \
  X(BOOL, MQScene_GetVisibleFace, (MQScene scene, MQObject obj, BOOL* visible))               \
  /* matrix */                                                                                \
  X(void, MQMatrix_FloatValue, (float* matrix, int type_id, float* values))                   \
  /* XML element */                                                                           \
  X(void, MQXmlElem_Value, (MQXmlElement elem, int type_id, void* slots))
