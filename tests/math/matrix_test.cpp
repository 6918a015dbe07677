#include <gtest/gtest.h>

#include <cmath>

#include "math/fmath.h"
#include "tests/support/float_checks.h"

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr double kPiD = 3.14159265358979323846;

// A general (non-affine) matrix with distinct entries, so that a transposed or
// reordered product cannot pass by symmetry.
FMATRIX General(float seed) {
  FMATRIX m;
  for (int i = 0; i < 16; ++i) m.m[i] = std::sin(seed * (i + 1) + 0.3f * i) * 3.0f;
  return m;
}

// Independent double-precision reference for (v0 v1 v2 v3)·M.
void ReferenceRowTimes(const double v[4], const FMATRIX& m, double out[4]) {
  for (int c = 0; c < 4; ++c) {
    out[c] = 0.0;
    for (int k = 0; k < 4; ++k) out[c] += v[k] * static_cast<double>(m.m[4 * k + c]);
  }
}

TEST(MatrixProduct, MatchesRowByColumnReference) {
  const FMATRIX a = General(0.7f), b = General(1.9f);
  const FMATRIX p = a * b;
  for (int r = 0; r < 4; ++r) {
    const double row[4] = {a(r, 0), a(r, 1), a(r, 2), a(r, 3)};
    double expected[4];
    ReferenceRowTimes(row, b, expected);
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(p(r, c), expected[c], 1e-5) << "element " << r << "," << c;
  }
  FMATRIX compound = a;
  compound *= b;
  EXPECT_EQ(compound, p);
}

TEST(MatrixProduct, LeftFactorIsAppliedFirst) {
  const FMATRIX shift = FMATRIX::Translation({1, 0, 0});
  const FMATRIX turn = FMATRIX::FromQuat(FQUAT::FromAxisAngle({0, 0, 1}, kPi / 2));
  EXPECT_VEC3_NEAR((shift * turn).TransformPoint({0, 0, 0}), FVECTOR3(0, 1, 0), 1e-6f);
  EXPECT_VEC3_NEAR((turn * shift).TransformPoint({0, 0, 0}), FVECTOR3(1, 0, 0), 1e-6f);
}

TEST(MatrixTransform, PointDirectionAndVector4UseTheirOwnFourthComponent) {
  const FMATRIX m = General(2.3f);  // column 3 is not (0,0,0,1): no perspective division
  const FVECTOR3 v(0.5f, -1.5f, 2.0f);
  const double as_point[4] = {v.x, v.y, v.z, 1.0}, as_dir[4] = {v.x, v.y, v.z, 0.0},
               as_vec4[4] = {v.x, v.y, v.z, -0.75};
  double p[4], d[4], h[4];
  ReferenceRowTimes(as_point, m, p);
  ReferenceRowTimes(as_dir, m, d);
  ReferenceRowTimes(as_vec4, m, h);
  const FVECTOR3 pf = m.TransformPoint(v), df = m.TransformDirection(v);
  const FVECTOR4 hf = m.Transform(FVECTOR4(v, -0.75f));
  const float tol = 1e-5f;
  EXPECT_VEC3_NEAR(pf, FVECTOR3(float(p[0]), float(p[1]), float(p[2])), tol);
  EXPECT_VEC3_NEAR(df, FVECTOR3(float(d[0]), float(d[1]), float(d[2])), tol);
  EXPECT_VEC4_NEAR(hf, FVECTOR4(float(h[0]), float(h[1]), float(h[2]), float(h[3])), tol);
}

TEST(MatrixLayout, RowsColumnsTranslationAndTransposeUseRowMajorIndices) {
  FMATRIX m;
  for (int i = 0; i < 16; ++i) m.m[i] = float(i);
  EXPECT_EQ(m(2, 1), 9.0f);
  EXPECT_EQ(m.GetRow(1), FVECTOR4(4, 5, 6, 7));
  EXPECT_EQ(m.GetColumn(2), FVECTOR3(2, 6, 10));
  EXPECT_EQ(m.GetTranslation(), FVECTOR3(12, 13, 14));

  m.SetRow(2, FVECTOR4(-1, -2, -3, -4));
  EXPECT_EQ(m.m[8], -1.0f);
  EXPECT_EQ(m.m[11], -4.0f);
  m.SetTranslation({7, 8, 9});
  EXPECT_EQ(m.m[12], 7.0f);
  EXPECT_EQ(m.m[14], 9.0f);
  EXPECT_EQ(m.m[15], 15.0f);

  const FMATRIX t = m.Transposed();
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_EQ(t(r, c), m(c, r));

  EXPECT_EQ(FMATRIX::Translation({1, 2, 3}).GetTranslation(), FVECTOR3(1, 2, 3));
  EXPECT_EQ(FMATRIX(), FMATRIX::kIdentity);
  for (float e : FMATRIX::kZero.m) EXPECT_EQ(e, 0.0f);
}

TEST(MatrixScale, ScaleByAppliesTheScaleAfterTheMatrix) {
  const FMATRIX m = General(0.4f);
  const FVECTOR3 s(2.0f, -0.5f, 3.0f);
  FMATRIX scaled = m;
  scaled.ScaleBy(s);
  EXPECT_MAT_NEAR(scaled, m * FMATRIX::Scaling(s), 1e-6f);
  const FMATRIX d = FMATRIX::Scaling(s);
  EXPECT_EQ(d.TransformPoint({1, 1, 1}), s);
  EXPECT_EQ(d(3, 3), 1.0f);
}

struct AffineCase {
  const char* name;
  FMATRIX m;
  float tol;
};

FMATRIX Sheared() {
  FMATRIX m = FMATRIX::FromQuat(FQUAT::FromAxisAngle({1, 2, 3}, 0.8f)) * FMATRIX::Scaling({2.0f, 0.5f, 3.0f});
  m(0, 1) += 0.3f;
  m(2, 0) -= 0.7f;
  m.SetTranslation({4, -5, 6});
  return m;
}

class AffineInverseTest : public ::testing::TestWithParam<AffineCase> {};

TEST_P(AffineInverseTest, InverseTimesMatrixIsIdentity) {
  const AffineCase& c = GetParam();
  const FMATRIX inv = c.m.Inverse();
  EXPECT_MAT_NEAR(inv * c.m, FMATRIX::kIdentity, c.tol);
  EXPECT_MAT_NEAR(c.m * inv, FMATRIX::kIdentity, c.tol);
  EXPECT_EQ(inv(3, 3), 1.0f);
}

INSTANTIATE_TEST_SUITE_P(
    Affine, AffineInverseTest,
    ::testing::Values(AffineCase{"identity", FMATRIX::kIdentity, 0.0f},
                      AffineCase{"translation", FMATRIX::Translation({3, -4, 5}), 1e-6f},
                      AffineCase{"rotation_translation",
                                 FMATRIX::FromQuat(FQUAT::FromAxisAngle({0, 1, 1}, 2.0f)) *
                                     FMATRIX::Translation({10, 20, -30}),
                                 1e-5f},
                      AffineCase{"sheared_scaled", Sheared(), 1e-5f},
                      AffineCase{"tiny_scale", FMATRIX::Scaling({1e-3f, 2e-3f, 5e-4f}) *
                                                   FMATRIX::Translation({1, 1, 1}),
                                 1e-5f},
                      AffineCase{"mirror", FMATRIX::Scaling({-1, 1, 1}) * FMATRIX::Translation({0, 2, 0}), 0.0f}),
    [](const ::testing::TestParamInfo<AffineCase>& info) { return std::string(info.param.name); });

class SingularInverseTest : public ::testing::TestWithParam<FMATRIX> {};

TEST_P(SingularInverseTest, ReturnsTheMatrixUnchanged) {
  const FMATRIX m = GetParam();
  EXPECT_EQ(m.Determinant3x3(), 0.0f);
  EXPECT_EQ(m.Inverse(), m);
}

INSTANTIATE_TEST_SUITE_P(
    Singular, SingularInverseTest,
    ::testing::Values(FMATRIX::kZero,
                      FMATRIX(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 1),
                      FMATRIX(1, 2, 3, 0, 2, 4, 6, 0, 0, 1, 0, 0, 5, 6, 7, 1),
                      FMATRIX::Scaling({1, 0, 1}) * FMATRIX::Translation({1, 2, 3}),
                      // Not affine either: column 3 and (3,3) must survive as they are.
                      FMATRIX(1, 1, 0, 2, 1, 1, 0, 3, 0, 0, 1, 4, 5, 6, 7, 8)));

struct PivotCase {
  const char* name;
  FMATRIX m;
  FVECTOR3 pivot;
};

class PivotTest : public ::testing::TestWithParam<PivotCase> {};

TEST_P(PivotTest, TransformAboutPivotKeepsThePivotFixed) {
  const PivotCase& c = GetParam();
  const FMATRIX about = FMATRIX::AboutPivot(c.m, c.pivot);
  EXPECT_VEC3_NEAR(about.TransformPoint(c.pivot), c.pivot, 1e-5f);
  const FVECTOR3 p(0.5f, -2.0f, 1.0f);
  EXPECT_VEC3_NEAR(about.TransformPoint(p), c.m.TransformPoint(p - c.pivot) + c.pivot, 1e-5f);

  // Second form: the pivot transform first, then whatever the matrix held.
  const FVECTOR3 shift(3, -1, 2);
  FMATRIX moved = FMATRIX::Translation(shift);
  moved.PremultiplyAboutPivot(c.m, c.pivot);
  EXPECT_VEC3_NEAR(moved.TransformPoint(c.pivot), c.pivot + shift, 1e-5f);
  EXPECT_VEC3_NEAR(moved.TransformPoint(p), about.TransformPoint(p) + shift, 1e-5f);
}

INSTANTIATE_TEST_SUITE_P(
    Rotations, PivotTest,
    ::testing::Values(PivotCase{"z90", FMATRIX::FromQuat(FQUAT::FromAxisAngle({0, 0, 1}, kPi / 2)), {1, 2, 3}},
                      PivotCase{"general", FMATRIX::FromQuat(FQUAT::FromAxisAngle({1, -2, 0.5f}, 2.4f)), {-4, 0.5f, 7}},
                      PivotCase{"elementary_z", FMATRIX::RotationZ(1.0f), {10, -10, 0}},
                      PivotCase{"origin", FMATRIX::FromQuat(FQUAT::FromAxisAngle({0, 1, 0}, 1.0f)), {0, 0, 0}}),
    [](const ::testing::TestParamInfo<PivotCase>& info) { return std::string(info.param.name); });

struct DirectionPair {
  const char* name;
  FVECTOR3 a, b;
  float tol;
};

class RotationBetweenTest : public ::testing::TestWithParam<DirectionPair> {};

TEST_P(RotationBetweenTest, MapsAToBWithARotation) {
  const DirectionPair& c = GetParam();
  const FVECTOR3 a = c.a.Normalized(), b = c.b.Normalized();
  const FMATRIX r = FMATRIX::RotationBetween(a, b);
  EXPECT_VEC3_NEAR(r.TransformDirection(a), b, c.tol);
  EXPECT_MAT_NEAR(r * r.Transposed(), FMATRIX::kIdentity, 2e-6f);
  EXPECT_NEAR(r.Determinant3x3(), 1.0f, 2e-6f);
  EXPECT_EQ(r.GetTranslation(), FVECTOR3::kZero);
}

// The sine is taken from the float cosine, so near-parallel pairs land only
// within ulp(cos)/sin of b.
INSTANTIATE_TEST_SUITE_P(
    Directions, RotationBetweenTest,
    ::testing::Values(DirectionPair{"x_to_y", {1, 0, 0}, {0, 1, 0}, 2e-6f},
                      DirectionPair{"z_to_x", {0, 0, 1}, {1, 0, 0}, 2e-6f},
                      DirectionPair{"general", {1, 2, 3}, {-3, 0.5f, 1}, 2e-6f},
                      DirectionPair{"small_angle", {0, 1, 0}, {0.01f, 1, 0}, 1e-5f},
                      DirectionPair{"nearly_opposite", {1, 0, 0}, {-1, 0.01f, 0}, 1e-5f},
                      DirectionPair{"opposite_x", {1, 0, 0}, {-1, 0, 0}, 1e-6f}),
    [](const ::testing::TestParamInfo<DirectionPair>& info) { return std::string(info.param.name); });

TEST(RotationBetween, EqualDirectionsGiveExactIdentity) {
  const FVECTOR3 a = FVECTOR3(1, 2, 3).Normalized();
  EXPECT_EQ(FMATRIX::RotationBetween(a, a), FMATRIX::kIdentity);
}

TEST(RotationBetween, OppositeDirectionsTurnAboutZ) {
  const FMATRIX r = FMATRIX::RotationBetween({0, 1, 0}, {0, -1, 0});
  EXPECT_VEC3_NEAR(r.TransformDirection({0, 1, 0}), FVECTOR3(0, -1, 0), 1e-6f);
  EXPECT_VEC3_NEAR(r.TransformDirection({0, 0, 1}), FVECTOR3(0, 0, 1), 1e-6f);
  EXPECT_VEC3_NEAR(r.TransformDirection({1, 0, 0}), FVECTOR3(-1, 0, 0), 1e-6f);
}

class WrapAngleTest : public ::testing::TestWithParam<float> {};

TEST_P(WrapAngleTest, LandsInHalfOpenRangeOnTheSameAngle) {
  const float t = GetParam();
  const float w = WrapAngle(t);
  EXPECT_GE(w, -kPi);
  EXPECT_LT(w, kPi);
  // Same direction on the circle, judged in double precision.
  const double diff = std::remainder(double(w) - double(t), 2.0 * kPiD);
  EXPECT_NEAR(diff, 0.0, 1e-5 * (1.0 + std::fabs(t) / 100.0));

  // The elementary Z rotation turns the other way round from the quaternion one.
  const FMATRIX expected = FMATRIX::FromQuat(FQUAT::FromAxisAngle({0, 0, 1}, -w));
  EXPECT_MAT_NEAR(FMATRIX::RotationZ(t), expected, 1e-5f);
}

INSTANTIATE_TEST_SUITE_P(Angles, WrapAngleTest,
                         ::testing::Values(0.0f, 1.0f, -1.0f, kPi, -kPi, 1.5f * kPi, -1.5f * kPi, 7.0f,
                                           -20.0f, 4.0f * kPi + 0.5f, 1000.0f, -12345.0f));

TEST(WrapAngle, PiMapsToMinusPiAndMinusPiStays) {
  EXPECT_EQ(WrapAngle(kPi), -kPi);
  EXPECT_EQ(WrapAngle(-kPi), -kPi);
  EXPECT_EQ(WrapAngle(0.25f), 0.25f);
}

TEST(RotationZ, RowsAreCosMinusSinAndSinCos) {
  const float t = 0.6f;
  const FMATRIX r = FMATRIX::RotationZ(t);
  EXPECT_EQ(r.GetRow(0), FVECTOR4(std::cos(t), -std::sin(t), 0, 0));
  EXPECT_EQ(r.GetRow(1), FVECTOR4(std::sin(t), std::cos(t), 0, 0));
  EXPECT_EQ(r.GetRow(2), FVECTOR4(0, 0, 1, 0));
  EXPECT_EQ(r.GetRow(3), FVECTOR4(0, 0, 0, 1));
}

TEST(NormalizedAxes, NormalisesColumnsAndDropsTranslationAndProjection) {
  const FMATRIX rot = FMATRIX::FromQuat(FQUAT::FromAxisAngle({2, -1, 0.5f}, 1.3f));
  FMATRIX m = rot;
  m.ScaleBy({2.0f, 3.0f, 0.25f});
  m.SetTranslation({5, 6, 7});
  m(0, 3) = 0.5f;
  m(3, 3) = 2.0f;
  EXPECT_MAT_NEAR(m.NormalizedAxes(), rot, 1e-6f);

  FMATRIX flat = FMATRIX::Scaling({0, 4, 1});
  const FMATRIX n = flat.NormalizedAxes();
  EXPECT_EQ(n.GetColumn(0), FVECTOR3(0, 0, 1));
  EXPECT_EQ(n.GetColumn(1), FVECTOR3(0, 1, 0));
}

}  // namespace
