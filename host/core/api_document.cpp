// The host-wide and document functions of the host API.
#include <cstring>

#include "host/core/api.h"
#include "host/core/host.h"

using mqhost::Document;
using mqhost::Host;
using mqhost::Object;
using mqhost::ToHandle;
using mqhost::ToObject;

namespace {

Document* Doc(MQDocument doc) { return Host::Instance().FindDocument(doc); }

void WriteMatrix(const FMATRIX& m, float* out) {
  if (out != nullptr) std::memcpy(out, m.m, sizeof(m.m));
}

}  // namespace

void* MQAPICALL MQ_GetWindowHandle(void) { return Host::Instance().WindowHandle(); }

void MQAPICALL MQ_RefreshView(void* /*reserved*/) { Host::Instance().RefreshView(); }

BOOL MQAPICALL MQ_SendMessage(int message_type, HOST_REQUEST_INFO* info) {
  return Host::Instance().HandleRequest(message_type, info);
}

void MQAPICALL MQ_StationCallback(MQStationCallbackProc proc, void* option) {
  Host::Instance().QueueCallback(proc, option);
}

MQObject MQAPICALL MQ_CreateObject(void) { return ToHandle(Host::Instance().CreateFreeObject()); }

MQMaterial MQAPICALL MQ_CreateMaterial(void) {
  return ToHandle(Host::Instance().CreateFreeMaterial());
}

int MQAPICALL MQDoc_GetObjectCount(MQDocument doc) {
  Document* d = Doc(doc);
  return d != nullptr ? d->ObjectCount() : 0;
}

MQObject MQAPICALL MQDoc_GetObject(MQDocument doc, int index) {
  Document* d = Doc(doc);
  return d != nullptr ? ToHandle(d->ObjectAt(index)) : nullptr;
}

int MQAPICALL MQDoc_GetObjectIndex(MQDocument doc, MQObject obj) {
  Document* d = Doc(doc);
  return d != nullptr ? d->IndexOf(ToObject(obj)) : -1;
}

MQObject MQAPICALL MQDoc_GetParentObject(MQDocument doc, MQObject obj) {
  Document* d = Doc(doc);
  return d != nullptr ? ToHandle(d->Parent(ToObject(obj))) : nullptr;
}

int MQAPICALL MQDoc_GetChildObjectCount(MQDocument doc, MQObject obj) {
  Document* d = Doc(doc);
  return d != nullptr ? d->ChildCount(ToObject(obj)) : 0;
}

MQObject MQAPICALL MQDoc_GetChildObject(MQDocument doc, MQObject obj, int index) {
  Document* d = Doc(doc);
  return d != nullptr ? ToHandle(d->Child(ToObject(obj), index)) : nullptr;
}

void MQAPICALL MQDoc_GetGlobalMatrix(MQDocument doc, MQObject obj, float* matrix) {
  Document* d = Doc(doc);
  WriteMatrix(d != nullptr ? d->GlobalMatrix(ToObject(obj)) : FMATRIX(), matrix);
}

void MQAPICALL MQDoc_GetGlobalInverseMatrix(MQDocument doc, MQObject obj, float* matrix) {
  Document* d = Doc(doc);
  WriteMatrix(d != nullptr ? d->GlobalMatrix(ToObject(obj)).Inverse() : FMATRIX(), matrix);
}

int MQAPICALL MQDoc_GetCurrentObjectIndex(MQDocument doc) {
  Document* d = Doc(doc);
  return d != nullptr ? d->current_object : -1;
}

void MQAPICALL MQDoc_SetCurrentObjectIndex(MQDocument doc, int index) {
  Document* d = Doc(doc);
  if (d != nullptr && d->ObjectAt(index) != nullptr) d->current_object = index;
}

int MQAPICALL MQDoc_GetCurrentMaterialIndex(MQDocument doc) {
  Document* d = Doc(doc);
  return d != nullptr ? d->current_material : -1;
}

void MQAPICALL MQDoc_SetCurrentMaterialIndex(MQDocument doc, int index) {
  Document* d = Doc(doc);
  if (d != nullptr && (index == -1 || d->MaterialAt(index) != nullptr)) d->current_material = index;
}

int MQAPICALL MQDoc_GetMaterialCount(MQDocument doc) {
  Document* d = Doc(doc);
  return d != nullptr ? d->MaterialCount() : 0;
}

MQMaterial MQAPICALL MQDoc_GetMaterial(MQDocument doc, int index) {
  Document* d = Doc(doc);
  return d != nullptr ? ToHandle(d->MaterialAt(index)) : nullptr;
}

// Only a material made by MQ_CreateMaterial and not yet taken joins; it gets
// the document's next material unique id and the last index.
int MQAPICALL MQDoc_AddMaterial(MQDocument doc, MQMaterial mat) {
  Document* d = Doc(doc);
  if (d == nullptr) return -1;
  std::unique_ptr<mqhost::Material> material =
      Host::Instance().TakeFreeMaterial(mqhost::ToMaterial(mat));
  return material ? d->AddMaterial(std::move(material)) : -1;
}

int MQAPICALL MQDoc_AddObject(MQDocument doc, MQObject obj) {
  Document* d = Doc(doc);
  if (d == nullptr) return -1;
  std::unique_ptr<Object> object = Host::Instance().TakeFreeObject(ToObject(obj));
  return object ? d->AddObject(std::move(object)) : -1;
}

int MQAPICALL MQDoc_InsertObject(MQDocument doc, MQObject obj, MQObject after) {
  Document* d = Doc(doc);
  if (d == nullptr) return -1;
  std::unique_ptr<Object> object = Host::Instance().TakeFreeObject(ToObject(obj));
  return object ? d->InsertObject(std::move(object), ToObject(after)) : -1;
}

void MQAPICALL MQDoc_DeleteObject(MQDocument doc, int index) {
  Document* d = Doc(doc);
  if (d != nullptr) d->DeleteObject(index);
}

MQScene MQAPICALL MQDoc_GetScene(MQDocument doc, int index) {
  Document* d = Doc(doc);
  return d != nullptr && index == 0 ? ToHandle(&d->camera) : nullptr;
}

BOOL MQAPICALL MQDoc_IsSelectVertex(MQDocument doc, int object_index, int vertex_index) {
  Document* d = Doc(doc);
  return d != nullptr && d->IsSelected(object_index, vertex_index) ? TRUE : FALSE;
}

int MQAPICALL MQDoc_CreateUserData(MQDocument doc, MQUserDataInfo* info) {
  Document* d = Doc(doc);
  return d != nullptr && info != nullptr ? d->RegisterUserData(*info) : 0;
}
