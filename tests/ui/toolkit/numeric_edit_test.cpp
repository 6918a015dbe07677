// The numeric edit's rules: the value model (defaults, range, steps, the
// characters it takes, parsing) and how the edit answers focus, keys and the
// vertical mouse drag.
#include "ui/toolkit/numeric_edit.h"

#include <gtest/gtest.h>

namespace {

TEST(ValueModel, DefaultsRangeStepsAndParsing) {
  UDLGVALS_INT i;
  EXPECT_EQ(i.value, 0);
  EXPECT_EQ(i.maximum, 65535);
  EXPECT_EQ(i.step, 1);
  EXPECT_EQ(i.DefaultFormat(), "%d");
  i.Set(-5);
  EXPECT_EQ(i.Get(), -5) << "no clamping before a range is set";
  i.SetRange(100, 1);
  EXPECT_EQ(i.minimum, 1);
  EXPECT_EQ(i.Get(), 1) << "setting the range clamps";
  i.Set(250);
  EXPECT_EQ(i.Get(), 100);
  EXPECT_TRUE(i.IsUnchanged()) << "Set commits";
  i.Parse("abc");
  EXPECT_EQ(i.Get(), 1) << "text that does not parse is 0, then clamped";
  i.Parse("42x");
  EXPECT_EQ(i.Get(), 42);
  i.SetStep(5);
  i.Step(3, false);
  EXPECT_EQ(i.Get(), 57);
  i.SetDirection(true);
  i.Step(3, false);
  EXPECT_EQ(i.Get(), 42) << "the direction switch negates the steps";

  UDLGVALS_FLOAT f;
  EXPECT_EQ(f.DefaultFormat(), "%.2f");
  f.Set(1.5f);
  EXPECT_EQ(f.Format(f.DefaultFormat(), false), "1.50");
  f.SetRange(-180.0f, 180.0f);
  f.Parse("-500.5");
  EXPECT_FLOAT_EQ(f.Get(), -180.0f);

  const struct {
    int ch;
    bool as_int, as_float;
  } chars[] = {{'7', true, true}, {'-', true, true}, {'+', true, true}, {'.', false, true},
               {'a', false, false}, {'e', false, false}, {' ', false, false}, {8, true, true},
               {13, true, true}};
  for (const auto& c : chars) {
    SCOPED_TRACE(c.ch);
    EXPECT_EQ(i.AcceptsCharacter(c.ch), c.as_int);
    EXPECT_EQ(f.AcceptsCharacter(c.ch), c.as_float);
  }
}

class NumericEditTest : public testing::Test {
 protected:
  NumericEditTest() : edit_(model_) {
    model_.SetRange(0, 1000);
    model_.Set(500);
  }
  UDLGVALS_INT model_;
  NUMERIC_EDIT_LOGIC edit_;
};

TEST_F(NumericEditTest, MovesPastEightPixelsDecideBetweenDraggingAndSelecting) {
  const struct {
    const char* what;
    int dx, dy;
    bool tracking, dragging;
  } moves[] = {
      {"9 down: value dragging", 0, 9, true, true},
      {"9 up: value dragging", 0, -9, true, true},
      {"9 sideways: text selection", 9, 0, false, false},
      {"9 diagonally: text selection", 9, 9, false, false},
      {"exactly 8 down: neither yet", 0, 8, true, false},
      {"exactly 8 sideways: neither yet", 8, 0, true, false},
  };
  for (const auto& m : moves) {
    SCOPED_TRACE(m.what);
    edit_.LeftButtonDown(20, 10);
    const NUMERIC_EDIT_LOGIC::Reaction r = edit_.MouseMove(20 + m.dx, 10 + m.dy);
    EXPECT_EQ(edit_.tracking(), m.tracking);
    EXPECT_EQ(edit_.dragging(), m.dragging);
    EXPECT_FALSE(r.show_drag_value) << "the deciding move changes no value";
    edit_.LeftButtonUp();
    EXPECT_EQ(model_.Get(), 500);
  }
}

TEST_F(NumericEditTest, EachPixelOfADragIsOneStep) {
  edit_.LeftButtonDown(20, 10);
  edit_.MouseMove(20, 20);  // starts the drag
  NUMERIC_EDIT_LOGIC::Reaction r = edit_.MouseMove(20, 21);
  EXPECT_TRUE(r.show_drag_value);
  EXPECT_EQ(edit_.DragText(), "501");
  EXPECT_EQ(model_.Get(), 500) << "the value waits for the release";
  edit_.MouseMove(25, 18);  // three up
  EXPECT_EQ(edit_.DragText(), "498");
  r = edit_.LeftButtonUp();
  EXPECT_TRUE(r.notify);
  EXPECT_EQ(model_.Get(), 498);
  EXPECT_TRUE(edit_.TakeChanged());
  EXPECT_FALSE(edit_.TakeChanged()) << "reading clears the flag";

  model_.SetDirection(true);
  edit_.LeftButtonDown(20, 10);
  edit_.MouseMove(20, 20);
  edit_.MouseMove(20, 21);
  EXPECT_EQ(edit_.DragText(), "497") << "reversed: one pixel down subtracts a step";
  edit_.LeftButtonUp();

  // A drag that comes back to where it began changes nothing: no notification.
  edit_.LeftButtonDown(20, 10);
  edit_.MouseMove(20, 20);
  edit_.MouseMove(20, 24);
  edit_.MouseMove(20, 20);
  EXPECT_FALSE(edit_.LeftButtonUp().notify);
}

TEST_F(NumericEditTest, TypingLettersEnterAndUnchangedValues) {
  EXPECT_TRUE(edit_.FocusGained().select_all);
  EXPECT_TRUE(edit_.Character('x', "500").swallow) << "a letter goes nowhere";
  EXPECT_FALSE(edit_.Character('7', "500").swallow) << "a digit goes into the edit";
  NUMERIC_EDIT_LOGIC::Reaction r = edit_.Character(13, "5007");
  EXPECT_TRUE(r.swallow) << "Enter commits without a character";
  EXPECT_TRUE(r.notify);
  EXPECT_EQ(model_.Get(), 1000) << "clamped";
  r = edit_.Character(13, "1000");
  EXPECT_FALSE(r.notify) << "the same value again";
  EXPECT_TRUE(edit_.KeyDown(9).focus_next);

  // A value set from code is committed with it: leaving the edit with that
  // text tells the dialog nothing.
  model_.Set(250);
  edit_.Character('0', "250");
  r = edit_.FocusLost("250");
  EXPECT_FALSE(r.notify);
  EXPECT_TRUE(r.clear_selection);
  // Leaving with a new value does.
  edit_.Character('1', "251");
  EXPECT_TRUE(edit_.FocusLost("251").notify);
  EXPECT_EQ(model_.Get(), 251);
}

// A click inside the edit while a typed value waits (no drag) leaves it
// waiting: leaving the edit then stores what it shows.
TEST_F(NumericEditTest, AClickInsideTheEditKeepsATypedValuePending) {
  edit_.FocusGained();
  edit_.Character('7', "7");
  edit_.Character('5', "75");
  edit_.LeftButtonDown(20, 10);
  edit_.MouseMove(22, 11);
  EXPECT_FALSE(edit_.LeftButtonUp().notify) << "a click is no commit";
  EXPECT_TRUE(edit_.pending());
  const NUMERIC_EDIT_LOGIC::Reaction r = edit_.FocusLost("75");
  EXPECT_TRUE(r.notify);
  EXPECT_EQ(model_.Get(), 75);
  EXPECT_EQ(edit_.ValueText(), "75");
}

TEST_F(NumericEditTest, TheSpinControlStepsAndNotifies) {
  model_.SetStep(10);
  NUMERIC_EDIT_LOGIC::Reaction r = edit_.Spin(2);
  EXPECT_TRUE(r.notify);
  EXPECT_EQ(model_.Get(), 520);
  EXPECT_EQ(edit_.ValueText(), "520");
  model_.Set(1000);
  EXPECT_FALSE(edit_.Spin(1).notify) << "at the top: no change";
}

}  // namespace
