// Material, scene, matrix and XML element functions of the host API.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "host/core/api.h"
#include "host/core/host.h"
#include "host/files/xml_tree.h"
#include "host/geometry/camera.h"
#include "host/geometry/transform.h"

using mqhost::Camera;
using mqhost::Host;
using mqhost::Material;
using mqhost::ToCamera;
using mqhost::ToMaterial;
using mqhost::ToObject;

namespace {

// A text into the caller's buffer, cut to size - 1 bytes and terminated.
void CopyText(const std::string& text, char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return;
  const size_t n = std::min(text.size(), static_cast<size_t>(size) - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
}

}  // namespace

void MQAPICALL MQMat_SetName(MQMaterial mat, const char* name) {
  if (Material* m = ToMaterial(mat)) m->name = name != nullptr ? name : "";
}

void MQAPICALL MQMat_GetName(MQMaterial mat, char* buffer, int size) {
  const Material* m = ToMaterial(mat);
  CopyText(m != nullptr ? m->name : std::string(), buffer, size);
}

void MQAPICALL MQMat_GetColor(MQMaterial mat, MQColor* color) {
  const Material* m = ToMaterial(mat);
  if (color != nullptr) *color = m != nullptr ? m->color : MQColor{0.0f, 0.0f, 0.0f};
}

void MQAPICALL MQMat_SetColor(MQMaterial mat, const MQColor* color) {
  Material* m = ToMaterial(mat);
  if (m != nullptr && color != nullptr) m->color = *color;
}

float MQAPICALL MQMat_GetDiffuse(MQMaterial mat) {
  const Material* m = ToMaterial(mat);
  return m != nullptr ? m->diffuse : 0.0f;
}

void MQAPICALL MQMat_SetDiffuse(MQMaterial mat, float value) {
  if (Material* m = ToMaterial(mat)) m->diffuse = value;
}

void MQAPICALL MQMat_SetAmbient(MQMaterial mat, float value) {
  if (Material* m = ToMaterial(mat)) m->ambient = value;
}

void MQAPICALL MQMat_SetEmission(MQMaterial mat, float value) {
  if (Material* m = ToMaterial(mat)) m->emission = value;
}

void MQAPICALL MQMat_SetSpecular(MQMaterial mat, float value) {
  if (Material* m = ToMaterial(mat)) m->specular = value;
}

void MQAPICALL MQMat_SetPower(MQMaterial mat, float value) {
  if (Material* m = ToMaterial(mat)) m->power = value;
}

float MQAPICALL MQMat_GetAlpha(MQMaterial mat) {
  const Material* m = ToMaterial(mat);
  return m != nullptr ? m->alpha : 0.0f;
}

void MQAPICALL MQMat_SetAlpha(MQMaterial mat, float value) {
  if (Material* m = ToMaterial(mat)) m->alpha = value;
}

int MQAPICALL MQMat_GetIntValue(MQMaterial mat, int type_id) {
  const Material* m = ToMaterial(mat);
  if (m == nullptr) return 0;
  switch (type_id) {
    case MQMAT_ID_SHADER: return m->shader;
    case MQMAT_ID_VERTEXCOLOR: return m->vertex_color;
    case MQMAT_ID_UNIQUE_ID: return static_cast<int>(m->uid);
    default: return 0;
  }
}

void MQAPICALL MQMat_SetIntValue(MQMaterial mat, int type_id, int value) {
  Material* m = ToMaterial(mat);
  if (m == nullptr) return;
  switch (type_id) {
    case MQMAT_ID_SHADER: m->shader = value; break;
    case MQMAT_ID_VERTEXCOLOR: m->vertex_color = value; break;
    default: break;
  }
}

void MQAPICALL MQMat_GetTextureName(MQMaterial mat, char* buffer, int size) {
  const Material* m = ToMaterial(mat);
  CopyText(m != nullptr ? m->texture : std::string(), buffer, size);
}

void MQAPICALL MQMat_SetTextureName(MQMaterial mat, const char* name) {
  if (Material* m = ToMaterial(mat)) m->texture = name != nullptr ? name : "";
}

// Deletes a material made by MQ_CreateMaterial that no document took, a
// drawing material, or a document material by handle.
void MQAPICALL MQMat_Delete(MQMaterial mat) {
  Material* m = ToMaterial(mat);
  if (m == nullptr) return;
  if (Host::Instance().DeleteFreeMaterial(m)) return;
  for (const auto& document : Host::Instance().documents()) {
    if (document->DeleteDrawingMaterial(m)) return;
    for (int i = 0; i < document->MaterialCount(); ++i) {
      if (document->MaterialAt(i) == m) {
        document->DeleteMaterial(i);
        return;
      }
    }
  }
}

void MQAPICALL MQScene_GetViewMatrix(MQScene scene, float* matrix) {
  const Camera* camera = ToCamera(scene);
  if (camera != nullptr && matrix != nullptr) {
    std::memcpy(matrix, mqhost::ViewMatrix(*camera).m, sizeof(float) * 16);
  }
}

void MQAPICALL MQScene_GetProjMatrix(MQScene scene, float* matrix) {
  const Camera* camera = ToCamera(scene);
  if (camera != nullptr && matrix != nullptr) {
    std::memcpy(matrix, mqhost::ProjectionMatrix(*camera).m, sizeof(float) * 16);
  }
}

void MQAPICALL MQScene_FloatValue(MQScene scene, int type_id, float* values) {
  const Camera* camera = ToCamera(scene);
  if (camera != nullptr && values != nullptr) mqhost::SceneFloatValue(*camera, type_id, values);
}

// One flag per face: the object is visible, the face is visible and has three
// points or more, it faces the camera (FacesCamera: clockwise on the monitor)
// and some part of it lies inside the view (ViewVolume::Overlaps: between the
// near and far planes and within the viewport's edges, after clipping, so a
// face larger than the view counts while one wholly off-screen or behind the
// camera does not). Vertex positions are document coordinates already; the
// object's transform places its pivot, not its vertices. FALSE, writing
// nothing, without a scene, object or flag array.
BOOL MQAPICALL MQScene_GetVisibleFace(MQScene scene, MQObject obj, BOOL* visible) {
  const Camera* camera = ToCamera(scene);
  const mqhost::Object* o = ToObject(obj);
  if (camera == nullptr || o == nullptr || visible == nullptr) return FALSE;
  const size_t faces = o->faces.size();
  if (o->visible == 0) {
    std::fill(visible, visible + faces, FALSE);
    return TRUE;
  }
  const std::vector<uint8_t>& seen = o->FacesSeenBy(*camera);
  const std::vector<uint8_t>& shown = o->FaceShownFlags();
  const size_t flagged = std::min(shown.size(), faces);
  for (size_t f = 0; f < flagged; ++f) visible[f] = shown[f] != 0 && seen[f] != 0 ? TRUE : FALSE;
  for (size_t f = flagged; f < faces; ++f) visible[f] = seen[f] != 0 ? TRUE : FALSE;
  return TRUE;
}

void MQAPICALL MQMatrix_FloatValue(float* matrix, int type_id, float* values) {
  if (matrix != nullptr && values != nullptr) mqhost::MatrixFloatValue(matrix, type_id, values);
}

void MQAPICALL MQXmlElem_Value(MQXmlElement elem, int type_id, void* slots) {
  mqhost::XmlElemValue(mqhost::FromHandle(elem), type_id, static_cast<void**>(slots));
}
