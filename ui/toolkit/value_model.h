#pragma once
// The value behind a numeric edit box: the value being edited, the value
// last committed (what the panel was told), its range and step, and the
// value a mouse drag works on. Kept apart from the edit control so that the
// rules (clamping, stepping, which characters are accepted, parsing) hold the
// same for every panel and can be checked without a window.
#include <cstdio>
#include <cstdlib>
#include <string>

class UDLGVALS_PARAM_BASE {
 public:
  virtual ~UDLGVALS_PARAM_BASE() = default;

  // Back to the type's defaults (value, range, step; clamping and the
  // direction switch off).
  virtual void Reset() = 0;
  // The type's display format ("%d", "%.2f").
  virtual std::string DefaultFormat() const = 0;
  // The value equals the committed one.
  virtual bool IsUnchanged() const = 0;
  virtual void Commit() = 0;
  // A drag starts from the value and ends by taking the dragged value.
  virtual void BeginDrag() = 0;
  virtual void EndDrag() = 0;
  // Characters the edit lets through: control characters, signs, digits
  // (and the decimal point for floats).
  virtual bool AcceptsCharacter(int ch) const = 0;
  // The text as a value (the C conversion rules: what does not parse is 0),
  // clamped when clamping is on.
  virtual void Parse(const char* text) = 0;
  // The value, or the drag value, as the display format shows it.
  virtual std::string Format(const std::string& format, bool drag) const = 0;
  // Adds n steps (n negative steps with the direction switch on) to the
  // value, or to the drag value while dragging, and clamps.
  virtual void Step(int n, bool drag) = 0;

 protected:
  UDLGVALS_PARAM_BASE() = default;
  UDLGVALS_PARAM_BASE(const UDLGVALS_PARAM_BASE&) = default;
  UDLGVALS_PARAM_BASE& operator=(const UDLGVALS_PARAM_BASE&) = default;
};

template <typename T>
class UDLGVALS_PARAM : public UDLGVALS_PARAM_BASE {
 public:
  // Sets value and committed value together, clamped when clamping is on.
  void Set(T v) {
    value = Clamp(v);
    committed = value;
  }
  T Get() const { return value; }
  // Sets the bounds (in either order) and turns clamping on.
  void SetRange(T lo, T hi) {
    minimum = lo < hi ? lo : hi;
    maximum = lo < hi ? hi : lo;
    clamping = true;
    value = Clamp(value);
    drag_value = Clamp(drag_value);
  }
  void SetStep(T s) { step = s; }
  void SetDirection(bool reversed) { reverse = reversed; }

  std::string Format(const std::string& format, bool drag) const override {
    char text[64];
    std::snprintf(text, sizeof text, format.c_str(), Printable(drag ? drag_value : value));
    return text;
  }
  bool IsUnchanged() const override { return value == committed; }
  void Commit() override { committed = value; }
  void BeginDrag() override { drag_value = value; }
  void EndDrag() override { value = drag_value; }
  void Step(int n, bool drag) override {
    T& target = drag ? drag_value : value;
    const T delta = static_cast<T>(reverse ? -n : n) * step;
    target = Clamp(static_cast<T>(target + delta));
  }

  T value{};
  T committed{};
  T minimum{};
  T maximum{};
  T step{};
  T drag_value{};
  bool clamping = false;
  bool reverse = false;

 protected:
  // Zero value, the range [0, hi] unclamped, the step, no reversal.
  void ResetTo(T hi, T s) {
    value = committed = drag_value = minimum = T{};
    maximum = hi;
    step = s;
    clamping = false;
    reverse = false;
  }
  static int Printable(int v) { return v; }
  static double Printable(float v) { return static_cast<double>(v); }
  T Clamp(T v) const {
    if (!clamping) return v;
    return v < minimum ? minimum : (v > maximum ? maximum : v);
  }
  static bool IsControlOrSign(int ch) { return (ch >= 0 && ch <= 31) || ch == '+' || ch == '-'; }
  static bool IsDigit(int ch) { return ch >= '0' && ch <= '9'; }
};

class UDLGVALS_INT final : public UDLGVALS_PARAM<int> {
 public:
  UDLGVALS_INT() { Reset(); }
  void Reset() override { ResetTo(65535, 1); }
  std::string DefaultFormat() const override { return "%d"; }
  bool AcceptsCharacter(int ch) const override { return IsControlOrSign(ch) || IsDigit(ch); }
  void Parse(const char* text) override { value = Clamp(text != nullptr ? std::atoi(text) : 0); }
};

class UDLGVALS_FLOAT final : public UDLGVALS_PARAM<float> {
 public:
  UDLGVALS_FLOAT() { Reset(); }
  void Reset() override { ResetTo(65535.0f, 1.0f); }
  std::string DefaultFormat() const override { return "%.2f"; }
  bool AcceptsCharacter(int ch) const override {
    return IsControlOrSign(ch) || IsDigit(ch) || ch == '.';
  }
  void Parse(const char* text) override {
    value = Clamp(text != nullptr ? static_cast<float>(std::atof(text)) : 0.0f);
  }
};
