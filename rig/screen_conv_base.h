#pragma once
// The world/screen converter as the rest of the plug-in sees it. The document
// model owns one; the realisation over a host scene lives with the viewport
// tools, so the rig library needs only this interface.
#include "math/fmath.h"
#include "sdk/mq_types.h"

class MED_SCREENCONVBASE {
 public:
  virtual ~MED_SCREENCONVBASE() = default;

  // Document point to (screen x, screen y, depth): x and y in viewport
  // pixels, depth 0 at the near plane and 1 at the far plane.
  virtual FVECTOR3 WorldToScreen(const FVECTOR3& p) const = 0;
  // (screen x, screen y, depth) back to a document point.
  virtual FVECTOR3 ScreenToWorld(const FVECTOR3& s) const = 0;
  // Binds the host scene the conversions use.
  virtual void SetScene(MQScene scene) = 0;

 protected:
  MED_SCREENCONVBASE() = default;
  MED_SCREENCONVBASE(const MED_SCREENCONVBASE&) = default;
  MED_SCREENCONVBASE& operator=(const MED_SCREENCONVBASE&) = default;
};
