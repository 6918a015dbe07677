#include "ui/toolkit/numeric_edit.h"

#include <cstdlib>

namespace {

constexpr int kTab = 9;
constexpr int kEnter = 13;

}  // namespace

void NUMERIC_EDIT_LOGIC::ParseInto(const std::string& text, Reaction& r) {
  model_.Parse(text.c_str());
  r.show_value = true;
}

void NUMERIC_EDIT_LOGIC::Notify(Reaction& r) {
  if (!pending_) return;
  pending_ = false;
  if (notify_only_changes_ && model_.IsUnchanged()) return;
  model_.Commit();
  changed_ = true;
  r.notify = true;
}

NUMERIC_EDIT_LOGIC::Reaction NUMERIC_EDIT_LOGIC::FocusGained() {
  Reaction r;
  r.select_all = true;
  return r;
}

NUMERIC_EDIT_LOGIC::Reaction NUMERIC_EDIT_LOGIC::FocusLost(const std::string& text) {
  Reaction r;
  tracking_ = dragging_ = false;
  ParseInto(text, r);
  Notify(r);
  r.clear_selection = true;
  return r;
}

NUMERIC_EDIT_LOGIC::Reaction NUMERIC_EDIT_LOGIC::KeyDown(int key) {
  Reaction r;
  if (key == kTab) r.focus_next = true;
  return r;
}

NUMERIC_EDIT_LOGIC::Reaction NUMERIC_EDIT_LOGIC::Character(int ch, const std::string& text) {
  Reaction r;
  if (!model_.AcceptsCharacter(ch)) {
    r.swallow = true;
    return r;
  }
  pending_ = true;
  if (ch == kEnter || ch == kTab) {
    ParseInto(text, r);
    Notify(r);
    r.swallow = true;
  }
  return r;
}

NUMERIC_EDIT_LOGIC::Reaction NUMERIC_EDIT_LOGIC::LeftButtonDown(int x, int y) {
  Reaction r;
  r.keep_selection_shown = true;
  last_x_ = x;
  last_y_ = y;
  tracking_ = true;
  dragging_ = false;
  model_.BeginDrag();
  return r;
}

NUMERIC_EDIT_LOGIC::Reaction NUMERIC_EDIT_LOGIC::MouseMove(int x, int y) {
  Reaction r;
  if (!tracking_) return r;
  if (!dragging_) {
    const int dx = std::abs(x - last_x_), dy = std::abs(y - last_y_);
    if (dx <= kDragThreshold && dy <= kDragThreshold) return r;
    if (dx < dy) {
      dragging_ = true;
      last_x_ = x;
      last_y_ = y;
    } else {
      // Sideways: the edit selects text as usual.
      tracking_ = false;
    }
    return r;
  }
  const int d = y - last_y_;
  last_x_ = x;
  last_y_ = y;
  if (d != 0) {
    model_.Step(d, /*drag=*/true);
    r.show_drag_value = true;
    pending_ = true;
  }
  return r;
}

NUMERIC_EDIT_LOGIC::Reaction NUMERIC_EDIT_LOGIC::LeftButtonUp() {
  Reaction r;
  if (!tracking_) return r;
  const bool dragged = dragging_;
  tracking_ = dragging_ = false;
  model_.EndDrag();
  // Only a drag commits here. A click leaves a typed value waiting for Enter,
  // Tab or the focus to leave, which parse the text first.
  if (dragged) Notify(r);
  return r;
}

NUMERIC_EDIT_LOGIC::Reaction NUMERIC_EDIT_LOGIC::Spin(int delta) {
  Reaction r;
  model_.Step(delta, /*drag=*/false);
  model_.BeginDrag();
  pending_ = true;
  r.show_value = true;
  Notify(r);
  return r;
}
