#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "math/fmath.h"
#include "tests/support/float_checks.h"

namespace {

TEST(Color, DefaultsToOpaque) {
  EXPECT_EQ(UCOLOR(), UCOLOR(0, 0, 0, 255));
  EXPECT_EQ(UCOLOR(1, 2, 3).a, 255);
  EXPECT_EQ(UCOLOR::Clamped(1, 2, 3).a, 255);
}

struct ClampCase {
  int r, g, b, a;
  UCOLOR expected;
};

class ColorClampTest : public ::testing::TestWithParam<ClampCase> {};

TEST_P(ColorClampTest, EachChannelIsClampedTo0Through255) {
  const ClampCase& c = GetParam();
  EXPECT_EQ(UCOLOR::Clamped(c.r, c.g, c.b, c.a), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Channels, ColorClampTest,
                         ::testing::Values(ClampCase{-5, 300, 128, 255, {0, 255, 128, 255}},
                                           ClampCase{256, 255, 0, -1, {255, 255, 0, 0}},
                                           ClampCase{-1000000, 1000000, 254, 1, {0, 255, 254, 1}}));

struct SumCase {
  UCOLOR p, q, expected;
};

class ColorSumTest : public ::testing::TestWithParam<SumCase> {};

TEST_P(ColorSumTest, AddsPerChannelAndSaturates) {
  const SumCase& c = GetParam();
  EXPECT_EQ(c.p + c.q, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Channels, ColorSumTest,
                         ::testing::Values(SumCase{{200, 10, 0, 255}, {100, 10, 5, 255}, {255, 20, 5, 255}},
                                           SumCase{{0, 0, 0, 0}, {1, 2, 3, 4}, {1, 2, 3, 4}},
                                           SumCase{{128, 127, 255, 100}, {127, 128, 1, 100}, {255, 255, 255, 200}}));

struct ScaleCase {
  UCOLOR c;
  float f;
  UCOLOR expected;
};

class ColorScaleTest : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(ColorScaleTest, TruncatesTowardZeroThenClamps) {
  const ScaleCase& c = GetParam();
  EXPECT_EQ(c.c * c.f, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Channels, ColorScaleTest,
    ::testing::Values(ScaleCase{{100, 255, 3, 255}, 0.5f, {50, 127, 1, 127}},
                      // 5.25, 7.5, 150, 191.25: fractions are dropped, never rounded up.
                      ScaleCase{{7, 10, 200, 255}, 0.75f, {5, 7, 150, 191}},
                      ScaleCase{{100, 200, 0, 255}, 2.0f, {200, 255, 0, 255}},
                      ScaleCase{{100, 200, 1, 255}, -0.5f, {0, 0, 0, 0}},
                      ScaleCase{{1, 2, 3, 4}, 1e30f, {255, 255, 255, 255}},
                      ScaleCase{{9, 99, 199, 255}, 0.0f, {0, 0, 0, 0}}));

TEST(RandomInt, SwappedBoundsDrawFromTheOrderedRange) {
  constexpr int kDraws = 4000;
  std::srand(12345);
  std::vector<int> swapped;
  for (int i = 0; i < kDraws; ++i) swapped.push_back(RandomInt(255, 128));

  bool saw_lo = false, saw_hi = false;
  for (int v : swapped) {
    ASSERT_GE(v, 128);
    ASSERT_LE(v, 255);
    saw_lo |= v == 128;
    saw_hi |= v == 255;
  }
  EXPECT_TRUE(saw_lo);
  EXPECT_TRUE(saw_hi);

  // Same seed, ordered bounds: the same sequence, and each value is
  // lo + rand() mod (hi - lo + 1).
  std::srand(12345);
  for (int i = 0; i < kDraws; ++i) ASSERT_EQ(RandomInt(128, 255), swapped[i]) << "draw " << i;
  std::srand(12345);
  for (int i = 0; i < kDraws; ++i) ASSERT_EQ(128 + std::rand() % 128, swapped[i]) << "draw " << i;
}

TEST(RandomInt, SingleValueAndNegativeRanges) {
  std::srand(7);
  for (int i = 0; i < 100; ++i) {
    EXPECT_EQ(RandomInt(5, 5), 5);
    const int v = RandomInt(-3, -10);
    EXPECT_GE(v, -10);
    EXPECT_LE(v, -3);
  }
}

}  // namespace
