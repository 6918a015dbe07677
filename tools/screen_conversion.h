#pragma once
// The world/screen converter over a host scene.
#include "rig/screen_conv_base.h"

class SCREENCONVMQ final : public MED_SCREENCONVBASE {
 public:
  explicit SCREENCONVMQ(MQScene scene = nullptr) : scene_(scene) {}

  // Without a scene both conversions answer their input unchanged.
  FVECTOR3 WorldToScreen(const FVECTOR3& p) const override;
  FVECTOR3 ScreenToWorld(const FVECTOR3& s) const override;
  void SetScene(MQScene scene) override { scene_ = scene; }
  MQScene Scene() const { return scene_; }

  // The scene's matrices; the identity without a scene.
  FMATRIX ViewMatrix() const;
  FMATRIX ProjMatrix() const;

 private:
  MQScene scene_;
};
