// The world/screen converter over a host scene: the host's own conversions,
// both ways, and the input unchanged without a scene.
#include <gtest/gtest.h>

#include "host/core/api.h"
#include "tests/support/host_fixture.h"
#include "tools/screen_conversion.h"

namespace {

class ScreenConversion : public HostTest {};

TEST_F(ScreenConversion, UsesTheScenesConversionsBothWays) {
  MQScene scene = HostApi().MQDoc_GetScene(doc_, 0);
  ASSERT_NE(scene, nullptr);
  SCREENCONVMQ converter;
  converter.SetScene(scene);
  EXPECT_EQ(converter.Scene(), scene);
  for (const FVECTOR3& p : {FVECTOR3{0, 0, 0}, FVECTOR3{40, -25, 10}, FVECTOR3{-100, 60, -80}}) {
    const FVECTOR3 s = converter.WorldToScreen(p);
    float expected[7] = {p.x, p.y, p.z};
    HostApi().MQScene_FloatValue(scene, 0x300, expected);
    EXPECT_FLOAT_EQ(s.x, expected[3]);
    EXPECT_FLOAT_EQ(s.y, expected[4]);
    EXPECT_FLOAT_EQ(s.z, expected[5]);
    const FVECTOR3 back = converter.ScreenToWorld(s);
    EXPECT_NEAR(back.x, p.x, 1e-2f);
    EXPECT_NEAR(back.y, p.y, 1e-2f);
    EXPECT_NEAR(back.z, p.z, 1e-2f);
  }
  // The camera looks down -z from (0, 0, 500): the origin is the view's centre.
  const FVECTOR3 centre = converter.WorldToScreen(FVECTOR3{0, 0, 0});
  EXPECT_NEAR(centre.x, document_->camera.width / 2.0f, 1e-3f);
  EXPECT_NEAR(centre.y, document_->camera.height / 2.0f, 1e-3f);
}

TEST_F(ScreenConversion, WithoutASceneAnswersItsInput) {
  const SCREENCONVMQ converter;
  const FVECTOR3 p{1.5f, -2.0f, 0.25f};
  const FVECTOR3 s = converter.WorldToScreen(p);
  const FVECTOR3 w = converter.ScreenToWorld(p);
  EXPECT_EQ(s.x, p.x);
  EXPECT_EQ(s.y, p.y);
  EXPECT_EQ(s.z, p.z);
  EXPECT_EQ(w.x, p.x);
  EXPECT_EQ(w.z, p.z);
}

}  // namespace
