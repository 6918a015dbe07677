// The panels' scroll bars: each request clamped to the range whose last page
// ends at the maximum, the thumb, the ends, the wheel.
#include "ui/toolkit/scroll_logic.h"

#include <gtest/gtest.h>

namespace {

TEST(ScrollLogic, RequestsMoveWithinTheRange) {
  // 50 rows, 21 on a page: positions 0 to 29.
  const SCROLL_RANGE range{0, 50, 21};
  const struct {
    int from, request, thumb, to;
  } cases[] = {
      {10, kScrollLineUp, 0, 9},       {0, kScrollLineUp, 0, 0},
      {10, kScrollLineDown, 0, 11},    {29, kScrollLineDown, 0, 29},
      {25, kScrollPageUp, 0, 4},       {10, kScrollPageUp, 0, 0},
      {5, kScrollPageDown, 0, 26},     {10, kScrollPageDown, 0, 29},
      {3, kScrollThumbTrack, 17, 17},  {3, kScrollThumbPosition, 40, 29},
      {12, kScrollTop, 0, 0},          {12, kScrollBottom, 0, 29},
      {12, kScrollEnd, 0, 12},         {12, 99, 0, 12},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.from << " request " << c.request);
    EXPECT_EQ(ScrollTo(range, c.from, c.request, c.thumb), c.to);
  }
  // A page that holds everything scrolls nothing.
  EXPECT_EQ(ScrollTo(SCROLL_RANGE{0, 10, 21}, 0, kScrollLineDown, 0), 0);
  EXPECT_EQ(ScrollTo(SCROLL_RANGE{0, 21, 21}, 0, kScrollBottom, 0), 0);
}

TEST(ScrollLogic, TheWheelMovesByItsStepPerNotch) {
  const SCROLL_RANGE range{0, 50, 21};
  EXPECT_EQ(ScrollByWheel(range, 10, -120, 3), 13) << "toward the user: down";
  EXPECT_EQ(ScrollByWheel(range, 10, 240, 3), 4) << "two notches away: up";
  EXPECT_EQ(ScrollByWheel(range, 1, 120, 3), 0);
  EXPECT_EQ(ScrollByWheel(range, 28, -120, 3), 29);
  EXPECT_EQ(ScrollByWheel(range, 10, 0, 3), 10);
  EXPECT_EQ(ScrollByWheel(SCROLL_RANGE{0, 5, 21}, 0, -120, 1), 0);
}

}  // namespace
