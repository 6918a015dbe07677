#include <gtest/gtest.h>

#include <cmath>

#include "math/fmath.h"
#include "tests/support/float_checks.h"

namespace {

constexpr float kPi = 3.14159265358979f;

float QuatDot(const FQUAT& a, const FQUAT& b) { return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w; }

FVECTOR3 Rotate(const FQUAT& q, const FVECTOR3& v) { return FMATRIX::FromQuat(q).TransformPoint(v); }

struct NormCase {
  const char* name;
  FQUAT in;
  FQUAT normalized;
};

class QuatNormTest : public ::testing::TestWithParam<NormCase> {};

TEST_P(QuatNormTest, NormaliseScalesOrFallsBackToIdentity) {
  const NormCase& c = GetParam();
  FQUAT q = c.in;
  q.Normalize();
  EXPECT_QUAT_NEAR(q, c.normalized, 1e-6f);
}

TEST_P(QuatNormTest, InverseUndoesTheQuaternionOrIsIdentityWhenTooSmall) {
  const NormCase& c = GetParam();
  const FQUAT inv = c.in.Inverse();
  if (c.in.NormSq() < 0.0002f) {
    EXPECT_EQ(inv, FQUAT::kIdentity);
  } else {
    EXPECT_QUAT_NEAR(c.in * inv, FQUAT::kIdentity, 1e-5f);
    EXPECT_QUAT_NEAR(inv * c.in, FQUAT::kIdentity, 1e-5f);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Thresholds, QuatNormTest,
    ::testing::Values(
        NormCase{"zero", {0, 0, 0, 0}, {0, 0, 0, 1}},
        NormCase{"norm_0_000196", {0.014f, 0, 0, 0}, {0, 0, 0, 1}},
        NormCase{"negative_w_below", {0, 0, 0, -0.0141f}, {0, 0, 0, 1}},
        NormCase{"norm_0_000202", {0.0142f, 0, 0, 0}, {1, 0, 0, 0}},
        NormCase{"negative_w_above", {0, 0, 0, -0.015f}, {0, 0, 0, -1}},
        NormCase{"norm_25", {1, 2, 2, 4}, {0.2f, 0.4f, 0.4f, 0.8f}},
        NormCase{"unit", {0.5f, -0.5f, 0.5f, 0.5f}, {0.5f, -0.5f, 0.5f, 0.5f}}),
    [](const ::testing::TestParamInfo<NormCase>& info) { return std::string(info.param.name); });

TEST(QuatAxisAngle, PositiveAnglesTurnCounterClockwiseAboutTheAxis) {
  for (float t : {0.3f, 1.2f, -2.0f, 3.0f}) {
    SCOPED_TRACE(t);
    const FQUAT qz = FQUAT::FromAxisAngle({0, 0, 1}, t);
    EXPECT_VEC3_NEAR(Rotate(qz, {1, 0, 0}), FVECTOR3(std::cos(t), std::sin(t), 0), 1e-6f);
    const FQUAT qx = FQUAT::FromAxisAngle({1, 0, 0}, t);
    EXPECT_VEC3_NEAR(Rotate(qx, {0, 1, 0}), FVECTOR3(0, std::cos(t), std::sin(t)), 1e-6f);
    const FQUAT qy = FQUAT::FromAxisAngle({0, 1, 0}, t);
    EXPECT_VEC3_NEAR(Rotate(qy, {0, 0, 1}), FVECTOR3(std::sin(t), 0, std::cos(t)), 1e-6f);
  }
}

TEST(QuatAxisAngle, AxisIsNormalisedAndATinyAxisMeansPlusZ) {
  const FQUAT unit = FQUAT::FromAxisAngle({0, 0, 1}, 0.7f);
  EXPECT_QUAT_NEAR(FQUAT::FromAxisAngle({0, 0, 5}, 0.7f), unit, 1e-7f);
  EXPECT_EQ(FQUAT::FromAxisAngle({0, 0, 0}, 0.7f), unit);
  // |x|+|y|+|z| = 0.00015 is under 0.0002 although the axis points along X.
  EXPECT_EQ(FQUAT::FromAxisAngle({0.0001f, 0.00005f, 0}, 0.7f), unit);
  const FQUAT along_x = FQUAT::FromAxisAngle({0.0002f, 0, 0}, 0.7f);
  EXPECT_NEAR(along_x.x, std::sin(0.35f), 1e-6f);
  EXPECT_EQ(along_x.z, 0.0f);
}

TEST(QuatMatrix, QuarterTurnAboutZMapsXToYAndTwoOfThemToMinusX) {
  const float h = std::sqrt(0.5f);
  const FQUAT q(0, 0, h, h);
  EXPECT_VEC3_NEAR(Rotate(q, {1, 0, 0}), FVECTOR3(0, 1, 0), 1e-6f);
  EXPECT_VEC3_NEAR(Rotate(q * q, {1, 0, 0}), FVECTOR3(-1, 0, 0), 1e-6f);
}

struct PairCase {
  const char* name;
  FQUAT p, q;
};

class QuatProductTest : public ::testing::TestWithParam<PairCase> {};

TEST_P(QuatProductTest, MatrixOfProductIsProductOfMatrices) {
  const PairCase& c = GetParam();
  const FMATRIX expected = FMATRIX::FromQuat(c.p) * FMATRIX::FromQuat(c.q);
  EXPECT_MAT_NEAR(FMATRIX::FromQuat(c.p * c.q), expected, 2e-6f);
  FQUAT compound = c.p;
  compound *= c.q;
  EXPECT_EQ(compound, c.p * c.q);
}

INSTANTIATE_TEST_SUITE_P(
    NonCommuting, QuatProductTest,
    ::testing::Values(
        PairCase{"x90_then_y90", FQUAT::FromAxisAngle({1, 0, 0}, kPi / 2), FQUAT::FromAxisAngle({0, 1, 0}, kPi / 2)},
        PairCase{"y90_then_x90", FQUAT::FromAxisAngle({0, 1, 0}, kPi / 2), FQUAT::FromAxisAngle({1, 0, 0}, kPi / 2)},
        PairCase{"general", FQUAT::FromAxisAngle({1, 2, 3}, 0.8f), FQUAT::FromAxisAngle({-2, 0.5f, 1}, 2.1f)},
        PairCase{"near_half_turns", FQUAT::FromAxisAngle({0, 1, 1}, 3.0f), FQUAT::FromAxisAngle({1, 0, -1}, -2.9f)}),
    [](const ::testing::TestParamInfo<PairCase>& info) { return std::string(info.param.name); });

TEST(QuatProduct, LeftFactorIsAppliedFirst) {
  const FQUAT x90 = FQUAT::FromAxisAngle({1, 0, 0}, kPi / 2);
  const FQUAT z90 = FQUAT::FromAxisAngle({0, 0, 1}, kPi / 2);
  // X first takes +Y to +Z, which Z then keeps; Z first takes +Y to -X, which X keeps.
  EXPECT_VEC3_NEAR(Rotate(x90 * z90, {0, 1, 0}), FVECTOR3(0, 0, 1), 1e-6f);
  EXPECT_VEC3_NEAR(Rotate(z90 * x90, {0, 1, 0}), FVECTOR3(-1, 0, 0), 1e-6f);
}

TEST(MatrixToQuat, IdentityAndHalfTurnAboutXAreExact) {
  EXPECT_EQ(FQUAT::FromMatrix(FMATRIX::kIdentity), FQUAT(0, 0, 0, 1));
  FMATRIX half_x;
  half_x(1, 1) = -1.0f;
  half_x(2, 2) = -1.0f;
  EXPECT_EQ(FQUAT::FromMatrix(half_x), FQUAT(1, 0, 0, 0));
}

TEST(MatrixToQuat, TiesOnTheDiagonalKeepTheLowerIndex) {
  // Trace -3, all three diagonal elements equal: the x branch.
  const FQUAT all = FQUAT::FromMatrix(FMATRIX::Scaling({-1, -1, -1}));
  EXPECT_NEAR(all.x, std::sqrt(0.5f), 1e-6f);
  EXPECT_EQ(all.y, 0.0f);
  EXPECT_EQ(all.z, 0.0f);
  EXPECT_EQ(all.w, 0.0f);
  // Trace -0.5, m(1,1) == m(2,2) beat m(0,0): the y branch, not z.
  const FQUAT yz = FQUAT::FromMatrix(FMATRIX::Scaling({-1, 0.25f, 0.25f}));
  EXPECT_NEAR(yz.y, std::sqrt(0.5f), 1e-6f);
  EXPECT_EQ(yz.x, 0.0f);
  EXPECT_EQ(yz.z, 0.0f);
}

class MatrixToQuatRoundTrip : public ::testing::TestWithParam<FQUAT> {};

TEST_P(MatrixToQuatRoundTrip, RecoversTheQuaternionUpToSign) {
  const FQUAT q = GetParam();
  FQUAT r = FQUAT::FromMatrix(FMATRIX::FromQuat(q));
  if (QuatDot(r, q) < 0.0f) r = FQUAT(-r.x, -r.y, -r.z, -r.w);
  EXPECT_QUAT_NEAR(r, q, 2e-6f);
}

// One rotation per branch: trace >= 0, then the largest diagonal element at 0, 1 and 2.
INSTANTIATE_TEST_SUITE_P(Branches, MatrixToQuatRoundTrip,
                         ::testing::Values(FQUAT::FromAxisAngle({1, 2, 3}, 0.9f),
                                           FQUAT::FromAxisAngle({1, 0.2f, -0.1f}, 2.9f),
                                           FQUAT::FromAxisAngle({0.1f, -1, 0.3f}, -3.0f),
                                           FQUAT::FromAxisAngle({0.2f, 0.3f, 1}, 2.5f),
                                           FQUAT::FromAxisAngle({1, 1, 1}, 3.1f)));

}  // namespace
