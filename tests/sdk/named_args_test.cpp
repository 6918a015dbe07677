#include "sdk/named_args.h"

#include <gtest/gtest.h>

namespace {

TEST(FindNamedArg, MatchesFirstPairWithExactName) {
  int first = 1, second = 2, other = 3;
  NAMED_ARG list[] = {
      {"scene", &other}, {"width", &first}, {"width", &second}, {nullptr, nullptr}};
  EXPECT_EQ(FindNamedArg(list, "width"), &first);
  EXPECT_EQ(FindNamedArg(list, "scene"), &other);
  // Case matters and prefixes do not match.
  EXPECT_EQ(FindNamedArg(list, "Scene"), nullptr);
  EXPECT_EQ(FindNamedArg(list, "widt"), nullptr);
  EXPECT_EQ(FindNamedArg(list, "widths"), nullptr);
  EXPECT_EQ(FindNamedArg(nullptr, "width"), nullptr);
  EXPECT_EQ(FindNamedArg(list, nullptr), nullptr);
}

TEST(FindNamedArg, StopsAtTheTerminatingPair) {
  int hidden = 5;
  NAMED_ARG list[] = {{nullptr, nullptr}, {"key", &hidden}};
  EXPECT_EQ(FindNamedArg(list, "key"), nullptr);
}

TEST(FindNamedInt, ReadsThePointedIntegerOrTheDefault) {
  int width = -640;
  NAMED_ARG list[] = {{"width", &width}, {nullptr, nullptr}};
  EXPECT_EQ(FindNamedInt(list, "width", 1), -640);
  EXPECT_EQ(FindNamedInt(list, "height", 1), 1);
  EXPECT_EQ(FindNamedInt(nullptr, "width", 7), 7);
}

struct FlagCase {
  int flags;
  int left, middle, right, shift, ctrl, alt;
};

class ButtonFlags : public testing::TestWithParam<FlagCase> {};

TEST_P(ButtonFlags, DecodeEachBit) {
  const FlagCase& c = GetParam();
  const BUTTON_STATE s = DecodeButtonFlags(c.flags);
  EXPECT_EQ(s.left, c.left);
  EXPECT_EQ(s.middle, c.middle);
  EXPECT_EQ(s.right, c.right);
  EXPECT_EQ(s.shift, c.shift);
  EXPECT_EQ(s.ctrl, c.ctrl);
  EXPECT_EQ(s.alt, c.alt);
  EXPECT_EQ(s.x, 0);
  EXPECT_EQ(s.y, 0);
  EXPECT_EQ(s.wheel, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ButtonFlags,
    testing::Values(FlagCase{0x00, 0, 0, 0, 0, 0, 0}, FlagCase{0x3F, 1, 1, 1, 1, 1, 1},
                    FlagCase{0x01, 1, 0, 0, 0, 0, 0}, FlagCase{0x02, 0, 0, 1, 0, 0, 0},
                    FlagCase{0x04, 0, 0, 0, 1, 0, 0}, FlagCase{0x08, 0, 0, 0, 0, 1, 0},
                    FlagCase{0x10, 0, 1, 0, 0, 0, 0}, FlagCase{0x20, 0, 0, 0, 0, 0, 1},
                    // Bits outside the six flags are ignored.
                    FlagCase{0x40 | 0x80 | 0x100, 0, 0, 0, 0, 0, 0},
                    FlagCase{0x12, 0, 1, 1, 0, 0, 0}));

TEST(DecodeMouseState, ReadsPositionWheelAndFlags) {
  int flags = 0x05, x = 320, y = -12, wheel = -120;
  NAMED_ARG list[] = {{"button_state", &flags},
                      {"mouse_pos_x", &x},
                      {"mouse_pos_y", &y},
                      {"mouse_wheel", &wheel},
                      {nullptr, nullptr}};
  const BUTTON_STATE s = DecodeMouseState(list);
  EXPECT_EQ(s.x, 320);
  EXPECT_EQ(s.y, -12);
  EXPECT_EQ(s.wheel, -120);
  EXPECT_EQ(s.left, 1);
  EXPECT_EQ(s.shift, 1);
  EXPECT_EQ(s.right, 0);
}

TEST(DecodeMouseState, MissingArgumentsReadAsZero) {
  const BUTTON_STATE s = DecodeMouseState(nullptr);
  EXPECT_EQ(s.x, 0);
  EXPECT_EQ(s.y, 0);
  EXPECT_EQ(s.wheel, 0);
  EXPECT_EQ(s.left + s.middle + s.right + s.shift + s.ctrl + s.alt, 0);
}

TEST(DecodeKeyState, KeepsOnlyTheFlags) {
  int flags = 0x28, x = 5, y = 6, wheel = 7;
  NAMED_ARG list[] = {{"button_state", &flags},
                      {"mouse_pos_x", &x},
                      {"mouse_pos_y", &y},
                      {"mouse_wheel", &wheel},
                      {nullptr, nullptr}};
  const BUTTON_STATE s = DecodeKeyState(list);
  EXPECT_EQ(s.x, 0);
  EXPECT_EQ(s.y, 0);
  EXPECT_EQ(s.wheel, 0);
  EXPECT_EQ(s.ctrl, 1);
  EXPECT_EQ(s.alt, 1);
  EXPECT_EQ(s.left, 0);
}

}  // namespace
