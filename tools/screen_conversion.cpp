#include "tools/screen_conversion.h"

#include "sdk/host_api.h"
#include "sdk/host_codes.h"

namespace {

// The point goes in at elements 0 to 2 and comes out at 3 to 5; the world to
// screen buffer has a seventh element for the host's clip w.
FVECTOR3 Convert(MQScene scene, int code, const FVECTOR3& in) {
  if (scene == nullptr) return in;
  float values[kMQSceneToScreenFloats] = {in.x, in.y, in.z, in.x, in.y, in.z, 0.0f};
  HostApi().MQScene_FloatValue(scene, code, values);
  return FVECTOR3{values[3], values[4], values[5]};
}

}  // namespace

FVECTOR3 SCREENCONVMQ::WorldToScreen(const FVECTOR3& p) const {
  return Convert(scene_, MQSCENE_CONVERT_3D_TO_SCREEN, p);
}

FVECTOR3 SCREENCONVMQ::ScreenToWorld(const FVECTOR3& s) const {
  return Convert(scene_, MQSCENE_CONVERT_SCREEN_TO_3D, s);
}

FMATRIX SCREENCONVMQ::ViewMatrix() const {
  FMATRIX m;
  if (scene_ != nullptr) HostApi().MQScene_GetViewMatrix(scene_, m.m);
  return m;
}

FMATRIX SCREENCONVMQ::ProjMatrix() const {
  FMATRIX m;
  if (scene_ != nullptr) HostApi().MQScene_GetProjMatrix(scene_, m.m);
  return m;
}
