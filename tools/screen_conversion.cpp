#include "tools/screen_conversion.h"

#include "sdk/host_api.h"
#include "sdk/host_codes.h"

namespace {

FVECTOR3 Convert(MQScene scene, int code, const FVECTOR3& in) {
  if (scene == nullptr) return in;
  float values[3] = {in.x, in.y, in.z};
  HostApi().MQScene_FloatValue(scene, code, values);
  return FVECTOR3{values[0], values[1], values[2]};
}

}  // namespace

FVECTOR3 SCREENCONVMQ::WorldToScreen(const FVECTOR3& p) const {
  return Convert(scene_, MQSCENE_CONVERT_3D_TO_SCREEN, p);
}

FVECTOR3 SCREENCONVMQ::ScreenToWorld(const FVECTOR3& s) const {
  return Convert(scene_, MQSCENE_CONVERT_SCREEN_TO_3D, s);
}
