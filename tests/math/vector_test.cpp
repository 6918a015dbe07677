#include <gtest/gtest.h>

#include <cmath>

#include "math/fmath.h"
#include "tests/support/float_checks.h"

namespace {

TEST(VectorAlgebra, WideningFillsTheNewComponentWithZero) {
  EXPECT_EQ(FVECTOR3(FVECTOR2(1.5f, -2.0f)), FVECTOR3(1.5f, -2.0f, 0.0f));
  EXPECT_EQ(FVECTOR4(FVECTOR3(1.0f, 2.0f, 3.0f)), FVECTOR4(1.0f, 2.0f, 3.0f, 0.0f));
}

TEST(VectorAlgebra, CrossIsRightHandedAndOrthogonal) {
  const FVECTOR3 x(1, 0, 0), y(0, 1, 0), z(0, 0, 1);
  EXPECT_EQ(Cross(x, y), z);
  EXPECT_EQ(Cross(y, z), x);
  EXPECT_EQ(Cross(z, x), y);

  const FVECTOR3 a(1.0f, 2.0f, 3.0f), b(-4.0f, 5.0f, 0.5f);
  const FVECTOR3 c = Cross(a, b);
  EXPECT_NEAR(Dot(c, a), 0.0f, 1e-4f);
  EXPECT_NEAR(Dot(c, b), 0.0f, 1e-4f);
  // Lagrange's identity pins the magnitude as well.
  EXPECT_NEAR(c.LengthSq(), a.LengthSq() * b.LengthSq() - Dot(a, b) * Dot(a, b), 1e-3f);
}

TEST(VectorAlgebra, CompoundOperatorsModifyTheLeftOperand) {
  FVECTOR3 v(1.0f, 2.0f, 3.0f);
  v += FVECTOR3(1.0f, 1.0f, 1.0f);
  v *= 2.0f;
  v -= FVECTOR3(0.0f, 1.0f, 2.0f);
  v /= 4.0f;
  EXPECT_EQ(v, FVECTOR3(1.0f, 1.25f, 1.5f));

  FVECTOR4 w(1.0f, 2.0f, 3.0f, 4.0f);
  w += FVECTOR4(1.0f, 1.0f, 1.0f, 1.0f);
  w -= FVECTOR4(0.0f, 0.0f, 0.0f, 3.0f);
  EXPECT_EQ(w, FVECTOR4(2.0f, 3.0f, 4.0f, 2.0f));
  EXPECT_EQ(-w, FVECTOR4(-2.0f, -3.0f, -4.0f, -2.0f));
}

TEST(VectorAlgebra, ComponentWiseOperationsTouchEveryComponent) {
  const FVECTOR4 a(2.0f, -3.0f, 4.0f, 8.0f), b(0.5f, 2.0f, -1.0f, 4.0f);
  EXPECT_EQ(a.MulEach(b), FVECTOR4(1.0f, -6.0f, -4.0f, 32.0f));
  EXPECT_EQ(a.DivEach(b), FVECTOR4(4.0f, -1.5f, -4.0f, 2.0f));
  EXPECT_EQ(Dot(a, b), 1.0f - 6.0f - 4.0f + 32.0f);
  EXPECT_EQ(FVECTOR4(1, 1, 1, 1).Length(), 2.0f);
  EXPECT_EQ(FVECTOR2(3, 4).Length(), 5.0f);

  EXPECT_EQ(Min(a, b), FVECTOR4(0.5f, -3.0f, -1.0f, 4.0f));
  EXPECT_EQ(Max(a, b), FVECTOR4(2.0f, 2.0f, 4.0f, 8.0f));
  EXPECT_EQ(Clamp(FVECTOR3(-2.0f, 0.5f, 9.0f), FVECTOR3(-1, -1, -1), FVECTOR3(1, 1, 1)),
            FVECTOR3(-1.0f, 0.5f, 1.0f));
  EXPECT_EQ(Clamp(FVECTOR2(-7.0f, 7.0f), FVECTOR2(0, 0), FVECTOR2(5, 5)), FVECTOR2(0.0f, 5.0f));
}

TEST(VectorAlgebra, EqualityHasNoTolerance) {
  const FVECTOR3 v(1.0f, 2.0f, 3.0f);
  EXPECT_NE(v, FVECTOR3(1.0f, 2.0f, std::nextafter(3.0f, 4.0f)));
  EXPECT_NE(FVECTOR4(v, 1.0f), FVECTOR4(v, std::nextafter(1.0f, 0.0f)));
  EXPECT_NE(FVECTOR2(1.0f, 0.0f), FVECTOR2(1.0f, 1e-30f));
}

struct NormalizeCase {
  const char* name;
  FVECTOR3 in;
  FVECTOR3 expected;
};

class NormalizeTest : public ::testing::TestWithParam<NormalizeCase> {};

TEST_P(NormalizeTest, ScalesToUnitLengthOrFallsBackToPlusZ) {
  const NormalizeCase& c = GetParam();
  FVECTOR3 v = c.in;
  v.Normalize();
  EXPECT_VEC3_NEAR(v, c.expected, 1e-6f);
  EXPECT_EQ(c.in.Normalized(), v);
}

INSTANTIATE_TEST_SUITE_P(
    Fvector3, NormalizeTest,
    ::testing::Values(
        NormalizeCase{"zero", {0, 0, 0}, {0, 0, 1}},
        NormalizeCase{"half_threshold", {0.00005f, 0, 0}, {0, 0, 1}},
        NormalizeCase{"just_below_threshold", {0, 0.0000999f, 0}, {0, 0, 1}},
        NormalizeCase{"below_threshold_pointing_down", {0, 0, -0.00009f}, {0, 0, 1}},
        NormalizeCase{"exactly_threshold", {0.0001f, 0, 0}, {1, 0, 0}},
        NormalizeCase{"exactly_threshold_pointing_down", {0, 0, -0.0001f}, {0, 0, -1}},
        NormalizeCase{"three_four_five", {3, 4, 0}, {0.6f, 0.8f, 0}},
        NormalizeCase{"long_negative", {0, 0, -7000}, {0, 0, -1}},
        NormalizeCase{"diagonal", {-2, 2, 1}, {-2.0f / 3, 2.0f / 3, 1.0f / 3}}),
    [](const ::testing::TestParamInfo<NormalizeCase>& info) { return std::string(info.param.name); });

struct TriangleCase {
  const char* name;
  FVECTOR3 a, b, c;
  FVECTOR3 expected;
};

class TriangleNormalTest : public ::testing::TestWithParam<TriangleCase> {};

TEST_P(TriangleNormalTest, IsTheNormalisedCrossOfTheEdges) {
  const TriangleCase& t = GetParam();
  EXPECT_VEC3_NEAR(TriangleNormal(t.a, t.b, t.c), t.expected, 1e-6f);
}

INSTANTIATE_TEST_SUITE_P(
    Triangles, TriangleNormalTest,
    ::testing::Values(
        TriangleCase{"ccw_in_xy", {0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
        TriangleCase{"cw_in_xy", {0, 0, 0}, {0, 1, 0}, {1, 0, 0}, {0, 0, -1}},
        TriangleCase{"in_xz_offset", {5, 2, 5}, {5, 2, 6}, {6, 2, 6}, {0, 1, 0}},
        TriangleCase{"large_in_yz", {0, 0, 0}, {0, 100, 0}, {0, 100, 100}, {1, 0, 0}},
        TriangleCase{"collinear", {0, 0, 0}, {1, 1, 0}, {2, 2, 0}, {0, 0, 1}},
        TriangleCase{"coincident", {3, 3, 3}, {3, 3, 3}, {3, 3, 3}, {0, 0, 1}},
        // Edges of 0.001 give a cross product of 1e-6, below the threshold.
        TriangleCase{"tiny_in_xz", {0, 0, 0}, {0, 0, 0.001f}, {0.001f, 0, 0.001f}, {0, 0, 1}}),
    [](const ::testing::TestParamInfo<TriangleCase>& info) { return std::string(info.param.name); });

struct AreaCase {
  const char* name;
  FVECTOR2 p1, p2, p3;
  float expected;
};

class TriangleAreaTest : public ::testing::TestWithParam<AreaCase> {};

TEST_P(TriangleAreaTest, IsTwiceTheSignedArea) {
  const AreaCase& c = GetParam();
  EXPECT_FLOAT_EQ(TriangleArea2x(c.p1, c.p2, c.p3), c.expected);
  EXPECT_EQ(TriangleArea2x(c.p1.x, c.p1.y, c.p2.x, c.p2.y, c.p3.x, c.p3.y),
            TriangleArea2x(c.p1, c.p2, c.p3));
}

INSTANTIATE_TEST_SUITE_P(
    Triangles, TriangleAreaTest,
    ::testing::Values(AreaCase{"unit_ccw", {0, 0}, {1, 0}, {0, 1}, 1.0f},
                      AreaCase{"unit_cw", {0, 0}, {0, 1}, {1, 0}, -1.0f},
                      AreaCase{"translated", {10, 20}, {11, 20}, {10, 21}, 1.0f},
                      AreaCase{"rotated_start", {1, 0}, {0, 1}, {0, 0}, 1.0f},
                      AreaCase{"three_four", {0, 0}, {4, 0}, {4, 3}, 12.0f},
                      AreaCase{"collinear", {0, 0}, {1, 1}, {3, 3}, 0.0f}),
    [](const ::testing::TestParamInfo<AreaCase>& info) { return std::string(info.param.name); });

}  // namespace
