#pragma once
// Wrappers for the controls of the panels' dialogs. A wrapper binds to a
// dialog item when the dialog is initialised (or creates its control), keeps
// the value the panel reads and writes, and tells the dialog of a change the
// user committed with WM_COMMAND (wParam = the control's identifier, lParam
// 0). Setting a value from code never notifies.
#include <windows.h>

#include <array>
#include <string>
#include <vector>

#include "math/fmath.h"
#include "ui/toolkit/numeric_edit.h"
#include "ui/toolkit/scroll_logic.h"
#include "ui/toolkit/uwin.h"
#include "ui/toolkit/value_model.h"

// What every control wrapper has: its dialog, its identifier, whether it
// bound an existing item, and the changed flag (reading it clears it).
class UDLGCTRL : public UWIN {
 public:
  LRESULT WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) override {
    return CallOld(hwnd, message, wparam, lparam);
  }
  // The item `id` of `dialog`; false when the dialog has none.
  bool Bind(HWND dialog, int id);
  void Enable(bool on);
  bool TakeChanged() {
    const bool was = changed_;
    changed_ = false;
    return was;
  }
  HWND dialog() const { return dialog_; }
  int id() const { return id_; }
  bool bound() const { return bound_; }

 protected:
  // Sends the dialog the command message of a committed change.
  void NotifyDialog();
  // Binds and subclasses (the wrapper sees the control's messages).
  bool BindAndSubclass(HWND dialog, int id);

  HWND dialog_ = nullptr;
  int id_ = 0;
  bool bound_ = false;
  bool changed_ = false;
};

// ------------------------------------------------------------------ numeric edit

// An edit box holding a number: digits typed and committed with Enter, Tab or
// leaving it, or the value dragged with the mouse held down on it (each pixel
// downwards one step up).
class UDLGVALS : public UDLGCTRL {
 public:
  explicit UDLGVALS(UDLGVALS_PARAM_BASE& model) : model_(model), logic_(model) {}
  LRESULT WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) override;

  bool Bind(HWND dialog, int id) {
    if (!BindAndSubclass(dialog, id)) return false;
    ShowValue();
    return true;
  }
  // Makes the edit control itself (client edge; child, visible, tab stop,
  // auto-scroll, right-aligned) with the panel font.
  bool Create(HWND dialog, int id, const RECT& rect);
  // The dialog to notify when it is not the edit's parent (a spin box's
  // container sits between them).
  void SetNotifyTarget(HWND dialog) { dialog_ = dialog; }
  void SetNotifyOnlyChanges(bool on) { logic_.SetNotifyOnlyChanges(on); }
  void SetFormat(std::string format) { logic_.SetFormat(std::move(format)); }
  void ShowValue();
  void ShowDragValue();
  // The spin box moved by `delta` steps.
  void Spin(int delta);
  const NUMERIC_EDIT_LOGIC& logic() const { return logic_; }

 private:
  void Carry(HWND hwnd, const NUMERIC_EDIT_LOGIC::Reaction& r);
  std::string Text() const;

  UDLGVALS_PARAM_BASE& model_;
  NUMERIC_EDIT_LOGIC logic_;
};

// Holds the model so that it exists before the edit that refers to it: a
// base is built before the members of the class deriving from it.
template <typename MODEL>
struct UDLGVALS_MODEL_HOLDER {
  MODEL model_;
};

template <typename MODEL, typename T>
class UDLGVALS_BASE : private UDLGVALS_MODEL_HOLDER<MODEL>, public UDLGVALS {
  using UDLGVALS_MODEL_HOLDER<MODEL>::model_;

 public:
  UDLGVALS_BASE() : UDLGVALS(this->model_) {}
  T Get() const { return model_.Get(); }
  void Set(T v) {
    model_.Set(v);
    ShowValue();
  }
  void SetRange(T lo, T hi) {
    model_.SetRange(lo, hi);
    ShowValue();
  }
  void SetStep(T step) { model_.SetStep(step); }
  void SetDirection(bool reversed) { model_.SetDirection(reversed); }
  MODEL& model() { return model_; }
};

using UDLGINTS = UDLGVALS_BASE<UDLGVALS_INT, int>;
using UDLGFLOATS = UDLGVALS_BASE<UDLGVALS_FLOAT, float>;

// A numeric edit with a spin box: a static container takes the edit's place
// and identifier, the edit becomes its child (identifier 0) and an up-down
// control (identifier 101) sits at its right.
template <typename EDIT, typename T>
class UDLGSPIN : public UDLGCTRL {
 public:
  static constexpr int kUpDownId = 101;
  LRESULT WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) override;
  bool Bind(HWND dialog, int id);
  bool Create(HWND dialog, int id, const RECT& rect);
  T Get() const { return edit_.Get(); }
  void Set(T v) { edit_.Set(v); }
  void SetRange(T lo, T hi) { edit_.SetRange(lo, hi); }
  void SetStep(T step) { edit_.SetStep(step); }
  void SetDirection(bool reversed) { edit_.SetDirection(reversed); }
  bool TakeChanged() { return edit_.TakeChanged(); }
  EDIT& edit() { return edit_; }
  HWND updown() const { return updown_; }

 private:
  bool Wrap(HWND dialog, int id, HWND edit);
  EDIT edit_;
  HWND updown_ = nullptr;
};

using UDLGINT = UDLGSPIN<UDLGINTS, int>;
using UDLGFLOAT = UDLGSPIN<UDLGFLOATS, float>;

// N float edits read and written as one vector.
template <int N>
class UDLGFVEC {
 public:
  bool Bind(HWND dialog, const std::array<int, N>& ids) {
    bool all = true;
    for (int i = 0; i < N; ++i) all = edits_[i].Bind(dialog, ids[i]) && all;
    return all;
  }
  float Get(int i) const { return edits_[i].Get(); }
  void Set(int i, float v) { edits_[i].Set(v); }
  void SetRange(float lo, float hi) {
    for (auto& e : edits_) e.SetRange(lo, hi);
  }
  void SetStep(float step) {
    for (auto& e : edits_) e.SetStep(step);
  }
  void Enable(bool on) {
    for (auto& e : edits_) e.Enable(on);
  }
  // Changed when any of the edits changed; every flag is cleared.
  bool TakeChanged() {
    bool any = false;
    for (auto& e : edits_) any = e.TakeChanged() || any;
    return any;
  }
  UDLGFLOAT& edit(int i) { return edits_[i]; }

 private:
  std::array<UDLGFLOAT, N> edits_;
};

class UDLGFVEC2 : public UDLGFVEC<2> {
 public:
  FVECTOR2 GetVector() const { return {Get(0), Get(1)}; }
  void SetVector(const FVECTOR2& v) { Set(0, v.x), Set(1, v.y); }
};
class UDLGFVEC3 : public UDLGFVEC<3> {
 public:
  FVECTOR3 GetVector() const { return {Get(0), Get(1), Get(2)}; }
  void SetVector(const FVECTOR3& v) { Set(0, v.x), Set(1, v.y), Set(2, v.z); }
};
class UDLGFVEC4 : public UDLGFVEC<4> {
 public:
  FVECTOR4 GetVector() const { return {Get(0), Get(1), Get(2), Get(3)}; }
  void SetVector(const FVECTOR4& v) { Set(0, v.x), Set(1, v.y), Set(2, v.z), Set(3, v.w); }
};

// ------------------------------------------------------------------ buttons and lists

class UDLGCHECK : public UDLGCTRL {
 public:
  bool Get() const { return IsDlgButtonChecked(dialog_, id_) == BST_CHECKED; }
  void Set(bool on) { CheckDlgButton(dialog_, id_, on ? BST_CHECKED : BST_UNCHECKED); }
};

// Radio buttons given in list order; the index is a position in that list.
class UDLGRADIO {
 public:
  bool Bind(HWND dialog, std::vector<int> ids);
  // Checks button i (within the range of the group's identifiers).
  void Set(int index);
  // The first checked button in list order; 0 when none is checked.
  int Get() const;
  void Enable(bool on);

 private:
  HWND dialog_ = nullptr;
  std::vector<int> ids_;
};

// Combo boxes and list boxes: the same operations with the two controls'
// messages. Binding empties the list.
class UDLGCBOX : public UDLGCTRL {
 public:
  bool Bind(HWND dialog, int id);
  // Answers the new item's index (negative when it could not be added).
  int AddString(const char* text);
  void SetItemData(int index, LPARAM data);
  LPARAM ItemData(int index) const;
  int GetSelection() const;
  void SetSelection(int index);
  int Count() const;
  void Clear();
  // The item's text (system code page); empty out of range.
  std::string ItemText(int index) const;

 protected:
  bool list_box_ = false;
};

class UDLGLIST : public UDLGCBOX {
 public:
  UDLGLIST() { list_box_ = true; }
};

// A single-line text edit: committed with Enter or by leaving it.
class UDLGTEXT : public UDLGCTRL {
 public:
  static constexpr int kMaxText = 1023;
  LRESULT WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) override;
  bool Bind(HWND dialog, int id);
  const std::string& Get() const { return text_; }
  void Set(const std::string& text);

 private:
  void Commit();
  std::string text_;
};

// A scroll bar of a panel that scrolls its own rows.
class UDLGSCROLL : public UDLGCTRL {
 public:
  // `vertical`: 1 for a vertical bar.
  bool Bind(HWND dialog, int id, int vertical);
  bool Create(HWND dialog, int id, const RECT& rect, int vertical);
  void SetRange(int minimum, int maximum, int page);
  void SetPosition(int position);
  int GetPosition() const { return position_; }
  void SetWheelStep(int step) { wheel_step_ = step; }
  const SCROLL_RANGE& range() const { return range_; }
  // A WM_HSCROLL / WM_VSCROLL / WM_MOUSEWHEEL the panel received; true when
  // the position moved (the bar is updated and the changed flag set).
  bool HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);

 private:
  void Update();
  SCROLL_RANGE range_;
  int position_ = 0;
  int wheel_step_ = 1;
  int vertical_ = 1;
};

// A static control painted as a colour swatch; a click on a clickable one
// opens the colour dialog.
class UDLGCOL : public UDLGCTRL {
 public:
  LRESULT WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) override;
  bool Bind(HWND dialog, int id, bool clickable);
  UCOLOR Get() const { return colour_; }
  void Set(const UCOLOR& colour);
  // The 16 custom colours the colour dialog shares across the process.
  static COLORREF* CustomColours();

 private:
  void Paint(HWND hwnd);
  void Choose();
  UCOLOR colour_{0, 0, 0, 255};
  bool clickable_ = false;
};

// A pop-up menu from the module's resources.
class UDLGPOPUPMENU {
 public:
  UDLGPOPUPMENU() = default;
  UDLGPOPUPMENU(const UDLGPOPUPMENU&) = delete;
  UDLGPOPUPMENU& operator=(const UDLGPOPUPMENU&) = delete;
  ~UDLGPOPUPMENU();
  // Loads menu `resource_id` and takes its submenu; false when either fails.
  bool Load(HINSTANCE instance, int resource_id, int submenu = 0);
  void Check(int item, bool on);
  void EnableItem(int item, bool on);
  void SetText(int item, const char* text);
  // Shown at the top-right corner of `anchor`; the chosen item reaches
  // `owner` as WM_COMMAND. False when nothing is loaded.
  bool ShowAt(HWND owner, HWND anchor);
  bool ShowAtPoint(HWND owner, POINT screen);
  HMENU submenu() const { return submenu_; }

 private:
  HMENU menu_ = nullptr;
  HMENU submenu_ = nullptr;
};

// Mouse state for panels that draw and drag their own rows.
struct UMOUSE {
  POINT position{0, 0};
  POINT drag_start{0, 0};
  bool left = false;
  bool right = false;
  bool dragging = false;
  void Press(POINT p) {
    position = drag_start = p;
    left = true;
    dragging = false;
  }
  void Move(POINT p) { position = p; }
  void Release() { left = dragging = false; }
};

// Opens the colour dialog on `colour` (full open, the shared custom
// colours); false when cancelled, and `colour` stays.
bool ChooseColourDialog(HWND owner, UCOLOR& colour);
