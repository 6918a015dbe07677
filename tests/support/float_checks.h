#pragma once
// Tolerance checks and readable printing for the math value types in
// GoogleTest. Each EXPECT_*_NEAR compares every component with an absolute
// tolerance and prints both values on failure.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <ostream>
#include <sstream>
#include <string>

#include "math/fmath.h"

// GoogleTest finds these by argument-dependent lookup, so they live beside the
// types in the global namespace.
inline void PrintTo(const FVECTOR2& v, std::ostream* os) { *os << "(" << v.x << ", " << v.y << ")"; }
inline void PrintTo(const FVECTOR3& v, std::ostream* os) {
  *os << "(" << v.x << ", " << v.y << ", " << v.z << ")";
}
inline void PrintTo(const FVECTOR4& v, std::ostream* os) {
  *os << "(" << v.x << ", " << v.y << ", " << v.z << ", " << v.w << ")";
}
inline void PrintTo(const FQUAT& q, std::ostream* os) {
  *os << "quat(" << q.x << ", " << q.y << ", " << q.z << ", " << q.w << ")";
}
inline void PrintTo(const FMATRIX& m, std::ostream* os) {
  *os << "[";
  for (int r = 0; r < 4; ++r) {
    *os << (r ? " | " : "") << m(r, 0) << ", " << m(r, 1) << ", " << m(r, 2) << ", " << m(r, 3);
  }
  *os << "]";
}
inline void PrintTo(const UCOLOR& c, std::ostream* os) {
  *os << "rgba(" << int(c.r) << ", " << int(c.g) << ", " << int(c.b) << ", " << int(c.a) << ")";
}

namespace quorvel::test {

template <typename T>
std::string Show(const T& v) {
  std::ostringstream os;
  os.precision(9);
  PrintTo(v, &os);
  return os.str();
}

inline bool ComponentsNear(const float* a, const float* b, int n, float tol) {
  for (int i = 0; i < n; ++i) {
    // Written so that a NaN on either side fails.
    if (!(std::fabs(a[i] - b[i]) <= tol)) return false;
  }
  return true;
}

template <typename T, int N>
::testing::AssertionResult NearFormat(const char* a_expr, const char* b_expr, const char* tol_expr,
                                      const T& a, const T& b, float tol) {
  static_assert(sizeof(T) == N * sizeof(float), "component count");
  float fa[N];
  float fb[N];
  std::memcpy(fa, &a, sizeof(T));
  std::memcpy(fb, &b, sizeof(T));
  if (ComponentsNear(fa, fb, N, tol)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << a_expr << " = " << Show(a) << "\n"
                                       << b_expr << " = " << Show(b) << "\n"
                                       << "differ by more than " << tol_expr << " (" << tol << ")";
}

}  // namespace quorvel::test

#define EXPECT_VEC2_NEAR(a, b, tol) \
  EXPECT_PRED_FORMAT3((::quorvel::test::NearFormat<FVECTOR2, 2>), a, b, tol)
#define EXPECT_VEC3_NEAR(a, b, tol) \
  EXPECT_PRED_FORMAT3((::quorvel::test::NearFormat<FVECTOR3, 3>), a, b, tol)
#define ASSERT_VEC3_NEAR(a, b, tol) \
  ASSERT_PRED_FORMAT3((::quorvel::test::NearFormat<FVECTOR3, 3>), a, b, tol)
#define EXPECT_VEC4_NEAR(a, b, tol) \
  EXPECT_PRED_FORMAT3((::quorvel::test::NearFormat<FVECTOR4, 4>), a, b, tol)
#define EXPECT_QUAT_NEAR(a, b, tol) \
  EXPECT_PRED_FORMAT3((::quorvel::test::NearFormat<FQUAT, 4>), a, b, tol)
#define EXPECT_MAT_NEAR(a, b, tol) \
  EXPECT_PRED_FORMAT3((::quorvel::test::NearFormat<FMATRIX, 16>), a, b, tol)
