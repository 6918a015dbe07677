#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "host/geometry/transform.h"
#include "math/fmath.h"
#include "tests/support/float_checks.h"

namespace {

using mqhost::ComposeTransform;
using mqhost::DecomposeTransform;
using mqhost::LocalTransform;

constexpr float kDegToRad = 3.14159265358979f / 180.0f;

LocalTransform Make(FVECTOR3 scale, FVECTOR3 degrees, FVECTOR3 translation) {
  LocalTransform t;
  t.scale = scale;
  t.rotation = degrees;
  t.translation = translation;
  return t;
}

// S·Rx·Ry·Rz·T built through the quaternion code of math/, a path independent
// of the host's own trigonometry.
FMATRIX Reference(const LocalTransform& t) {
  const auto rot = [](FVECTOR3 axis, float degrees) {
    return FMATRIX::FromQuat(FQUAT::FromAxisAngle(axis, degrees * kDegToRad));
  };
  return FMATRIX::Scaling(t.scale) * rot({1, 0, 0}, t.rotation.x) * rot({0, 1, 0}, t.rotation.y) *
         rot({0, 0, 1}, t.rotation.z) * FMATRIX::Translation(t.translation);
}

float RowLength(const FMATRIX& m, int r) { return FVECTOR3(m(r, 0), m(r, 1), m(r, 2)).Length(); }

// The largest row or translation (at least 1): float rounding is relative to it.
float Size(const FMATRIX& m) {
  float size = 1.0f;
  for (int r = 0; r < 4; ++r) size = std::max(size, RowLength(m, r));
  return size;
}

float MatrixTolerance(const FMATRIX& m) { return 2e-5f * Size(m); }

// --- rotation sense and order ---------------------------------------------

struct SenseCase {
  const char* name;
  FVECTOR3 degrees;
  FVECTOR3 direction;
  FVECTOR3 expected;
};

class RotationSenseTest : public ::testing::TestWithParam<SenseCase> {};

TEST_P(RotationSenseTest, PositiveAnglesFollowTheRightHandRule) {
  const SenseCase& c = GetParam();
  const FMATRIX m = ComposeTransform(Make({1, 1, 1}, c.degrees, {0, 0, 0}));
  EXPECT_VEC3_NEAR(m.TransformDirection(c.direction), c.expected, 1e-6f);
}

INSTANTIATE_TEST_SUITE_P(
    Axes, RotationSenseTest,
    ::testing::Values(SenseCase{"X90_YtoZ", {90, 0, 0}, {0, 1, 0}, {0, 0, 1}},
                      SenseCase{"X90_ZtoMinusY", {90, 0, 0}, {0, 0, 1}, {0, -1, 0}},
                      SenseCase{"Xminus90_YtoMinusZ", {-90, 0, 0}, {0, 1, 0}, {0, 0, -1}},
                      SenseCase{"Y90_ZtoX", {0, 90, 0}, {0, 0, 1}, {1, 0, 0}},
                      SenseCase{"Z90_XtoY", {0, 0, 90}, {1, 0, 0}, {0, 1, 0}},
                      // X first: +Y goes to +Z, which Y then turns to +X (Y first
                      // would end on +Z).
                      SenseCase{"X90ThenY90_YtoX", {90, 90, 0}, {0, 1, 0}, {1, 0, 0}},
                      // Y first: +Z goes to +X, which Z then turns to +Y (Z first
                      // would end on +X).
                      SenseCase{"Y90ThenZ90_ZtoY", {0, 90, 90}, {0, 0, 1}, {0, 1, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

struct TransformCase {
  const char* name;
  LocalTransform t;
};

std::string CaseName(const ::testing::TestParamInfo<TransformCase>& info) { return info.param.name; }

class ComposeOrderTest : public ::testing::TestWithParam<TransformCase> {};

TEST_P(ComposeOrderTest, IsScaleThenXThenYThenZThenTranslation) {
  const LocalTransform& t = GetParam().t;
  const FMATRIX expected = Reference(t);
  EXPECT_MAT_NEAR(ComposeTransform(t), expected, MatrixTolerance(expected));
}

INSTANTIATE_TEST_SUITE_P(
    Transforms, ComposeOrderTest,
    ::testing::Values(TransformCase{"Identity", Make({1, 1, 1}, {0, 0, 0}, {0, 0, 0})},
                      TransformCase{"AllAxes", Make({1, 1, 1}, {30, -45, 60}, {0, 0, 0})},
                      TransformCase{"NonUniformScaleAndMove", Make({2, 0.5f, 3}, {-120, 20, 170}, {5, -6, 7})},
                      TransformCase{"NegativeScale", Make({-1, 2, -0.25f}, {10, 80, -30}, {-100, 0, 250})}),
    CaseName);

// --- decomposition ---------------------------------------------------------

// The matrix is Reference(t) · Reference(then): a product, as a global
// matrix is, so that small entries can carry float cancellation noise.
struct MatrixCase {
  MatrixCase(const char* case_name, LocalTransform first, LocalTransform second = {})
      : name(case_name), t(first), then(second) {}
  const char* name;
  LocalTransform t;
  LocalTransform then;
};

class DecomposeRoundTripTest : public ::testing::TestWithParam<MatrixCase> {};

TEST_P(DecomposeRoundTripTest, ComposeOfDecomposeRebuildsTheMatrix) {
  const FMATRIX m = Reference(GetParam().t) * Reference(GetParam().then);
  const LocalTransform d = DecomposeTransform(m);
  EXPECT_MAT_NEAR(ComposeTransform(d), m, MatrixTolerance(m));

  // Scale magnitudes are the row lengths; a reflection shows as a negative x.
  const float tol = 1e-5f * Size(m);
  EXPECT_NEAR(std::fabs(d.scale.x), RowLength(m, 0), tol);
  EXPECT_NEAR(d.scale.y, RowLength(m, 1), tol);
  EXPECT_NEAR(d.scale.z, RowLength(m, 2), tol);
  EXPECT_EQ(d.scale.x < 0.0f, m.Determinant3x3() < 0.0f);
  EXPECT_EQ(d.translation, m.GetTranslation());
  // The angles stay in the documented ranges.
  EXPECT_LE(std::fabs(d.rotation.x), 180.0f);
  EXPECT_LE(std::fabs(d.rotation.y), 90.0f);
  EXPECT_LE(std::fabs(d.rotation.z), 180.0f);
}

INSTANTIATE_TEST_SUITE_P(
    Matrices, DecomposeRoundTripTest,
    ::testing::Values(
        MatrixCase{"Identity", Make({1, 1, 1}, {0, 0, 0}, {0, 0, 0})},
        MatrixCase{"GeneralRotation", Make({1, 1, 1}, {35, -20, 110}, {1, 2, 3})},
        MatrixCase{"NonUniformScale", Make({0.5f, 4, 2}, {-150, 60, -75}, {-10, 20, 0.5f})},
        MatrixCase{"NegativeX", Make({-2, 1, 1}, {10, 20, 30}, {0, 0, 0})},
        MatrixCase{"NegativeYZEvenReflections", Make({1, -3, -0.5f}, {80, -10, 5}, {7, 7, 7})},
        MatrixCase{"AllNegative", Make({-1, -2, -3}, {-60, 45, 135}, {0, -5, 0})},
        MatrixCase{"MiddlePlus90", Make({1, 2, 3}, {30, 90, 40}, {1, 0, 0})},
        MatrixCase{"MiddleMinus90", Make({3, 1, 0.5f}, {-70, -90, 15}, {0, 1, 0})},
        MatrixCase{"MiddlePlus90NegativeScale", Make({-1, 1, 2}, {120, 90, -160}, {0, 0, 1})},
        MatrixCase{"MiddleNearPlus90", Make({1, 1, 1}, {25, 89.99f, -50}, {0, 0, 0})},
        MatrixCase{"MiddleNearMinus90", Make({2, 0.25f, 1}, {-170, -89.99f, 100}, {3, 2, 1})},
        MatrixCase{"MiddleNear90BeyondPrincipal", Make({1, 1, 1}, {10, 90.01f, 20}, {0, 0, 0})},
        MatrixCase{"HalfTurns", Make({1, 1, 1}, {180, 0, 180}, {0, 0, 0})},
        MatrixCase{"LargeTranslation", Make({0.01f, 0.02f, 0.03f}, {5, 6, 7}, {1000, -2000, 3000})},
        // Y 45° then 44.99° more (and -45.005° then -44.995°): cos y of the
        // product comes from a cancellation.
        MatrixCase{"ProductNearPlus90", Make({1, 2, 1}, {40, 45, 0}, {0, 0, 0}),
                   Make({1, 1, 1}, {0, 44.99f, -70}, {1, 2, 3})},
        MatrixCase{"ProductAtMinus90Reflected", Make({-1, 1, 1}, {-130, -45.005f, 0}, {0, 0, 0}),
                   Make({1, 1, 1}, {0, -44.995f, 25}, {0, 0, 0})}),
    [](const auto& info) { return std::string(info.param.name); });

class DecomposeRecoversInputTest : public ::testing::TestWithParam<TransformCase> {};

TEST_P(DecomposeRecoversInputTest, AwayFromTheSingularity) {
  const LocalTransform& t = GetParam().t;
  const LocalTransform d = DecomposeTransform(ComposeTransform(t));
  EXPECT_VEC3_NEAR(d.scale, t.scale, 1e-5f);
  EXPECT_VEC3_NEAR(d.rotation, t.rotation, 2e-3f);
  EXPECT_VEC3_NEAR(d.translation, t.translation, 0.0f);
}

INSTANTIATE_TEST_SUITE_P(
    PrincipalRanges, DecomposeRecoversInputTest,
    ::testing::Values(TransformCase{"Identity", Make({1, 1, 1}, {0, 0, 0}, {0, 0, 0})},
                      TransformCase{"Small", Make({1, 2, 3}, {1, -2, 3}, {4, 5, 6})},
                      TransformCase{"Large", Make({0.5f, 0.5f, 0.5f}, {-175, 85, 179}, {-1, -2, -3})},
                      TransformCase{"NegativeMiddle", Make({3, 1, 2}, {100, -80, -100}, {0, 0, 0})},
                      TransformCase{"ReflectedX", Make({-1.5f, 2, 1}, {45, 30, -60}, {9, 8, 7})}),
    CaseName);

// At a middle angle of ±90° only x − z (at +90) or x + z (at −90) is fixed;
// the host reports x = 0 and puts the whole turn into z.
struct SingularCase {
  const char* name;
  FVECTOR3 degrees;
  FVECTOR3 expected;
};

class SingularConventionTest : public ::testing::TestWithParam<SingularCase> {};

TEST_P(SingularConventionTest, XIsZeroAndZCarriesTheTurn) {
  const SingularCase& c = GetParam();
  const LocalTransform d = DecomposeTransform(ComposeTransform(Make({1, 1, 1}, c.degrees, {0, 0, 0})));
  EXPECT_VEC3_NEAR(d.rotation, c.expected, 1e-3f);
}

INSTANTIATE_TEST_SUITE_P(
    MiddleAngle, SingularConventionTest,
    ::testing::Values(SingularCase{"Plus90", {30, 90, 40}, {0, 90, 10}},      // x − z = −10
                      SingularCase{"Minus90", {30, -90, 40}, {0, -90, 70}},   // x + z = 70
                      SingularCase{"Plus90XOnly", {-50, 90, 0}, {0, 90, 50}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DecomposeTransformDegenerate, OneZeroScaleKeepsTheOtherAxes) {
  const FMATRIX m = Reference(Make({2, 0, 3}, {20, 30, 40}, {1, 2, 3}));
  const LocalTransform d = DecomposeTransform(m);
  EXPECT_EQ(d.scale.y, 0.0f);
  EXPECT_TRUE(std::isfinite(d.rotation.x) && std::isfinite(d.rotation.y) && std::isfinite(d.rotation.z));
  EXPECT_MAT_NEAR(ComposeTransform(d), m, MatrixTolerance(m));
}

TEST(DecomposeTransformDegenerate, ZeroMatrixGivesZeroScaleAndNoNaN) {
  const LocalTransform d = DecomposeTransform(FMATRIX::kZero);
  EXPECT_VEC3_NEAR(d.scale, FVECTOR3(0, 0, 0), 0.0f);
  EXPECT_VEC3_NEAR(d.rotation, FVECTOR3(0, 0, 0), 0.0f);  // NaN fails the check
}

// --- MQMatrix_FloatValue ---------------------------------------------------

class MatrixFloatValueTest : public ::testing::TestWithParam<TransformCase> {};

TEST_P(MatrixFloatValueTest, BuildThenReadBackGivesTheInputs) {
  const LocalTransform& t = GetParam().t;
  float values[9] = {t.scale.x,    t.scale.y,    t.scale.z,       t.rotation.x,   t.rotation.y,
                     t.rotation.z, t.translation.x, t.translation.y, t.translation.z};
  FMATRIX m = FMATRIX::kZero;
  mqhost::MatrixFloatValue(m.m, mqhost::kMatrixSetTransform, values);
  EXPECT_EQ(m, ComposeTransform(t));

  const struct {
    int code;
    FVECTOR3 expected;
    float tol;
  } reads[] = {{mqhost::kMatrixGetScale, t.scale, 1e-5f},
               {mqhost::kMatrixGetRotation, t.rotation, 2e-3f},
               {mqhost::kMatrixGetTranslation, t.translation, 0.0f}};
  for (const auto& read : reads) {
    SCOPED_TRACE(read.code);
    float out[3] = {-999, -999, -999};
    mqhost::MatrixFloatValue(m.m, read.code, out);
    EXPECT_VEC3_NEAR(FVECTOR3(out[0], out[1], out[2]), read.expected, read.tol);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Transforms, MatrixFloatValueTest,
    ::testing::Values(TransformCase{"Identity", Make({1, 1, 1}, {0, 0, 0}, {0, 0, 0})},
                      TransformCase{"General", Make({2, 3, 4}, {10, -20, 30}, {-5, 6, -7})},
                      TransformCase{"ReflectedX", Make({-1, 0.5f, 1}, {-120, 45, 170}, {100, 200, 300})}),
    CaseName);

TEST(MatrixFloatValue, UnknownCodeTouchesNothing) {
  FMATRIX m = ComposeTransform(Make({2, 3, 4}, {10, 20, 30}, {1, 2, 3}));
  const FMATRIX before = m;
  float values[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  float values_before[9];
  std::memcpy(values_before, values, sizeof(values));
  for (int code : {0, 0x100, 0x104, 0x200, 0x203, 0x205, 0x300, -1}) {
    SCOPED_TRACE(code);
    mqhost::MatrixFloatValue(m.m, code, values);
    EXPECT_EQ(m, before);
    EXPECT_EQ(0, std::memcmp(values, values_before, sizeof(values)));
  }
}

}  // namespace
