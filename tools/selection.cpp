#include "tools/selection.h"

#include "sdk/host_api.h"
#include "tools/handle.h"

int32_t MED_SELECTITEM::KindClass(int32_t kind) {
  switch (kind) {
    case SELKIND_BONE:
    case SELKIND_PIVOT:
    case SELKIND_ROLL:
    case SELKIND_BODY:
      return SELKIND_BONE;
    case SELKIND_HANDLE:
    case SELKIND_MOVE_CENTER:
    case SELKIND_MOVE_X:
    case SELKIND_MOVE_Y:
    case SELKIND_MOVE_Z:
      return SELKIND_HANDLE;
    default:
      return 0;
  }
}

const char* MED_SELECTITEM::ClassName(int32_t kind_class) {
  switch (kind_class) {
    case SELKIND_BONE: return "Bone";
    case SELKIND_HANDLE: return "Handle";
    default: return "";
  }
}

FMATRIX USELECT_PARA::GetHandleMatrix() const {
  if (service_ == nullptr) return FMATRIX();
  int width = 0, height = 0;
  service_->GetViewSize(width, height);
  return ScaleHandleMatrix(service_->GetHandleState().matrix, width, height, GetViewMatrix(),
                           GetProjMatrix());
}

bool USELECT_PARA::IsHandleShown() const {
  if (service_ == nullptr || service_->GetShowHandle() == 0) return false;
  const int mode = service_->GetMode();
  return (mode == 1 || mode == 2) && service_->GetHandleState().active;
}

void USELECT_PARA::SetPickDepth(float depth) {
  if (service_ != nullptr) service_->SetPickDepth(depth);
}

float USELECT_PARA::GetPickDepth() const {
  return service_ != nullptr ? service_->GetPickDepth() : kNoPickDepth;
}

void USELECT_PARA::GetViewportSize(int& width, int& height) const {
  width = 640;
  height = 480;
  if (service_ != nullptr) service_->GetViewSize(width, height);
}

FMATRIX USELECT_PARA::GetProjMatrix() const { return converter_.ProjMatrix(); }

FMATRIX USELECT_PARA::GetViewMatrix() const { return converter_.ViewMatrix(); }

MOUSE_RAY MouseRay(const MED_USELECT_PARA_BASE& para, float x, float y) {
  const FVECTOR3 near_point = para.ScreenToWorld(FVECTOR3(x, y, 0.001f));
  const FVECTOR3 far_point = para.ScreenToWorld(FVECTOR3(x, y, 0.999f));
  return MOUSE_RAY{near_point, (far_point - near_point).Normalized()};
}

FVECTOR3 UnprojectAtPickDepth(const MED_USELECT_PARA_BASE& para, float x, float y) {
  return para.ScreenToWorld(FVECTOR3(x, y, para.GetPickDepth()));
}
