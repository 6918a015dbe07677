#pragma once
// How a numeric edit box answers what the user does to it: focus, keys,
// characters, and the vertical mouse drag that changes the value. The edit
// control's window procedure (UDLGVALS) hands each message here and carries
// out the reaction; the rules themselves need no window.
#include <string>

#include "ui/toolkit/value_model.h"

class NUMERIC_EDIT_LOGIC {
 public:
  // A move of more than this many pixels decides between dragging the value
  // (mainly vertical) and selecting text (anything else).
  static constexpr int kDragThreshold = 8;

  struct Reaction {
    bool swallow = false;                // the control's own procedure never sees the message
    bool select_all = false;
    bool clear_selection = false;
    bool keep_selection_shown = false;   // the selection stays visible while the mouse is down
    bool focus_next = false;             // the focus goes to the next control of the group
    bool show_value = false;             // the text becomes the value
    bool show_drag_value = false;        // the text becomes the dragged value
    bool notify = false;                 // the dialog is told the control's value changed
  };

  explicit NUMERIC_EDIT_LOGIC(UDLGVALS_PARAM_BASE& model) : model_(model), format_(model.DefaultFormat()) {}

  Reaction FocusGained();
  // `text` is what the edit holds.
  Reaction FocusLost(const std::string& text);
  Reaction KeyDown(int key);
  Reaction Character(int ch, const std::string& text);
  // Client coordinates of the cursor.
  Reaction LeftButtonDown(int x, int y);
  Reaction MouseMove(int x, int y);
  Reaction LeftButtonUp();
  // The spin control moved by `delta` positions.
  Reaction Spin(int delta);

  // The text the edit should show for the value or the dragged value.
  std::string ValueText() const { return model_.Format(format_, false); }
  std::string DragText() const { return model_.Format(format_, true); }

  void SetFormat(std::string format) { format_ = std::move(format); }
  // Off: every commit notifies, even of an unchanged value.
  void SetNotifyOnlyChanges(bool on) { notify_only_changes_ = on; }
  // Reading the changed flag clears it.
  bool TakeChanged() {
    const bool was = changed_;
    changed_ = false;
    return was;
  }
  bool tracking() const { return tracking_; }
  bool dragging() const { return dragging_; }
  bool pending() const { return pending_; }

 private:
  // Parses `text` into the value and asks for it to be shown.
  void ParseInto(const std::string& text, Reaction& r);
  // Commits a pending edit; notifies unless nothing changed.
  void Notify(Reaction& r);

  UDLGVALS_PARAM_BASE& model_;
  std::string format_;
  bool notify_only_changes_ = true;
  bool pending_ = false;
  bool changed_ = false;
  bool tracking_ = false;
  bool dragging_ = false;
  int last_x_ = 0;
  int last_y_ = 0;
};
