#include "tools/viewport_drawing.h"

#include <cmath>

#include "sdk/host_api.h"

MEDUDRAW_BASE::MEDUDRAW_BASE() {
  for (int i = 0; i < kCirclePoints; ++i) {
    const float theta = static_cast<float>(i) * (360.0f / kCirclePoints) * 0.017453292f;
    circle3_[static_cast<size_t>(i)] = FVECTOR3(std::sin(theta), std::cos(theta), 0.0f);
    circle2_[static_cast<size_t>(i)] = FVECTOR2(std::sin(theta), std::cos(theta));
  }
}

void MEDUDRAW_BASE::AddPolyline(MEDUDRAWHANDLE_BASE& object, const int* indices, int count) {
  for (int i = 0; i + 1 < count; ++i) object.AddFace(2, indices + i);
}

void MEDUDRAW_BASE::AddSegments(MEDUDRAWHANDLE_BASE& object, const int* pairs, int count) {
  for (int i = 0; i + 1 < count; i += 2) object.AddFace(2, pairs + i);
}

void MEDUDRAW_BASE::AddLine(MEDUDRAWHANDLE_BASE& object, const FVECTOR3& a, const FVECTOR3& b) {
  const int line[2] = {object.AddVertex(a), object.AddVertex(b)};
  object.AddFace(2, line);
}

void MEDUDRAW_BASE::AddPoints(MEDUDRAWHANDLE_BASE& object, const FVECTOR3* points, int count) {
  for (int i = 0; i < count; ++i) AddPoint(object, points[i]);
}

void MEDUDRAW_BASE::AddPoint(MEDUDRAWHANDLE_BASE& object, const FVECTOR3& point) {
  const int index = object.AddVertex(point);
  object.AddFace(1, &index);
}

void MEDUDRAW_BASE::DrawPoint(const FVECTOR3& point, const UCOLOR& colour) {
  if (UDRAW_OBJECT object = CreatePointObject(colour)) AddPoint(*object, point);
}

int UDRAWHANDLEMQ::AddFace(int count, const int* vertices) {
  return HostApi().MQObj_AddFace(object_, count, vertices);
}

int UDRAWHANDLEMQ::AddVertex(const FVECTOR3& p) {
  const MQPoint point{p.x, p.y, p.z};
  return HostApi().MQObj_AddVertex(object_, &point);
}

void UDRAWHANDLEMQ::SetFaceMaterial(int face, int material) {
  HostApi().MQObj_SetFaceMaterial(object_, face, material);
}

void UDRAWHANDLEMQ::SetSmoothAngle(float degrees) { HostApi().MQObj_SetSmoothAngle(object_, degrees); }

namespace {

// Visibility kinds of drawing objects.
constexpr int kShowPoints = 1;
constexpr int kShowLines = 2;
constexpr int kShowFaces = 4;

MQColor ColourOf(const UCOLOR& c) { return MQColor{c.r / 255.0f, c.g / 255.0f, c.b / 255.0f}; }

}  // namespace

UDRAW_OBJECT UDRAW_MQ::CreateColoured(int kind, const UCOLOR& colour) {
  if (service_ == nullptr) return nullptr;
  MQObject object = service_->CreateDrawingObject(kind, TRUE);
  if (object == nullptr) return nullptr;
  const MQColor c = ColourOf(colour);
  const float rgb[3] = {c.r, c.g, c.b};
  HostApi().MQObj_SetFloatArray(object, MQOBJ_ID_COLOR, rgb);
  HostApi().MQObj_SetIntValue(object, MQOBJ_ID_COLOR_VALID, 1);
  return std::make_unique<UDRAWHANDLEMQ>(object, kind);
}

UDRAW_OBJECT UDRAW_MQ::CreateLineObject(const UCOLOR& colour) {
  return CreateColoured(kShowLines, colour);
}

UDRAW_OBJECT UDRAW_MQ::CreatePointObject(const UCOLOR& colour) {
  return CreateColoured(kShowPoints, colour);
}

UDRAW_OBJECT UDRAW_MQ::CreateFaceObject(const UCOLOR& colour, int& material) {
  material = -1;
  if (service_ == nullptr) return nullptr;
  MQObject object = service_->CreateDrawingObject(kShowFaces, TRUE);
  if (object == nullptr) return nullptr;
  int index = -1;
  if (MQMaterial m = service_->CreateDrawingMaterial(index, TRUE)) {
    const MQColor c = ColourOf(colour);
    HostApi().MQMat_SetColor(m, &c);
    HostApi().MQMat_SetEmission(m, 0.3f);
    material = index;
  }
  return std::make_unique<UDRAWHANDLEMQ>(object, kShowFaces);
}

FMATRIX UDRAW_MQ::GetViewMatrix() const { return converter_.ViewMatrix(); }

FMATRIX UDRAW_MQ::GetProjMatrix() const { return converter_.ProjMatrix(); }

void UDRAW_MQ::GetViewportSize(int& width, int& height) const {
  width = 640;
  height = 480;
  if (service_ != nullptr) service_->GetViewSize(width, height);
}
