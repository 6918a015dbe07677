#include "ui/panels/rigging_dialog.h"

#include <cmath>
#include <limits>

#include "ui/resources/resource.h"

namespace {

// The ranges the tools take (RIGGING_PARAM).
constexpr int kResolutionMin = 16, kResolutionMax = 512;
constexpr float kFalloffMin = 0.05f, kFalloffMax = 4.0f;
constexpr int kBonesMin = 1, kBonesMax = 4;
constexpr int kIterationsMin = 1, kIterationsMax = 1000;
constexpr float kStrengthMin = 0.0f, kStrengthMax = 1.0f;

bool Within(float v, float lowest, float highest, bool open_below) {
  if (!std::isfinite(v) || v > highest) return false;
  return open_below ? v > lowest : v >= lowest;
}

}  // namespace

DLP_RIGGING::DLP_RIGGING(RIGGING_DIALOG kind, RIGGING_PARAM& param)
    : DLP_MODAL(TemplateOf(kind), -1), kind_(kind), param_(param) {}

int DLP_RIGGING::TemplateOf(RIGGING_DIALOG kind) {
  switch (kind) {
    case RIGGING_AUTO_WEIGHTS:
      return IDD_RIGAUTO;
    case RIGGING_MIRROR_WEIGHTS:
      return IDD_RIGMIRROR;
    case RIGGING_SMOOTH_WEIGHTS:
      return IDD_RIGSMOOTH;
    case RIGGING_LIMIT_WEIGHTS:
      return IDD_RIGLIMIT;
  }
  return -1;
}

bool DLP_RIGGING::Run(IDLMAIN* service, HINSTANCE instance, HWND owner) {
  if (TemplateOf(kind_) < 0) return false;
  return DLP_MODAL::Run(service, instance, owner) == 1;
}

void DLP_RIGGING::AddInt(UDLGINTS& edit, int id, int value, int lowest, int highest) {
  if (!edit.Bind(hwnd_, id)) {
    complete_ = false;
    return;
  }
  // Dragged and committed values stay within the range; what is being typed
  // is checked by EnableOk.
  edit.SetRange(lowest, highest);
  edit.SetStep(1);
  edit.Set(value);
  fields_.push_back(
      Field{&edit, nullptr, id, static_cast<float>(lowest), static_cast<float>(highest), false});
}

void DLP_RIGGING::AddFloat(UDLGFLOATS& edit, int id, float value, float lowest, float highest,
                           bool open_below, float step) {
  edit.SetFormat("%g");
  if (!edit.Bind(hwnd_, id)) {
    complete_ = false;
    return;
  }
  // A range with an open end cannot clamp: the value is only checked.
  if (!open_below) edit.SetRange(lowest, highest);
  edit.SetStep(step);
  edit.Set(value);
  fields_.push_back(Field{nullptr, &edit, id, lowest, highest, open_below});
}

void DLP_RIGGING::OnInit(HWND hwnd) {
  fields_.clear();
  complete_ = true;
  switch (kind_) {
    case RIGGING_AUTO_WEIGHTS:
      AddInt(resolution_, IDC_RIG_RESOLUTION, param_.resolution, kResolutionMin, kResolutionMax);
      AddFloat(falloff_, IDC_RIG_FALLOFF, param_.falloff, kFalloffMin, kFalloffMax, /*open_below=*/false,
               0.01f);
      AddInt(max_bones_, IDC_RIG_MAXBONES, param_.max_bones, kBonesMin, kBonesMax);
      break;
    case RIGGING_MIRROR_WEIGHTS:
      if (!direction_.Bind(hwnd, {IDC_RIG_PLUS_TO_MINUS, IDC_RIG_MINUS_TO_PLUS})) complete_ = false;
      direction_.Set(param_.direction == 1 ? 1 : 0);
      AddFloat(tolerance_, IDC_RIG_TOLERANCE, param_.tolerance, 0.0f, std::numeric_limits<float>::infinity(),
               /*open_below=*/true, 0.001f);
      break;
    case RIGGING_SMOOTH_WEIGHTS:
      AddInt(iterations_, IDC_RIG_ITERATIONS, param_.iterations, kIterationsMin, kIterationsMax);
      AddFloat(strength_, IDC_RIG_STRENGTH, param_.strength, kStrengthMin, kStrengthMax, /*open_below=*/false,
               0.01f);
      AddInt(max_bones_, IDC_RIG_MAXBONES, param_.max_bones, kBonesMin, kBonesMax);
      break;
    case RIGGING_LIMIT_WEIGHTS:
      AddInt(limit_, IDC_RIG_LIMIT, param_.limit, kBonesMin, kBonesMax);
      break;
  }
  EnableOk();
}

void DLP_RIGGING::EnableOk() {
  bool valid = complete_;
  for (const Field& field : fields_) {
    char text[64] = {};
    GetDlgItemTextA(hwnd_, field.id, text, sizeof text);
    // Read as the edit reads it when committed, before any clamping.
    float typed = 0.0f;
    if (field.ints != nullptr) {
      UDLGVALS_INT value;
      value.Parse(text);
      typed = static_cast<float>(value.Get());
    } else {
      UDLGVALS_FLOAT value;
      value.Parse(text);
      typed = value.Get();
    }
    valid = valid && Within(typed, field.lowest, field.highest, field.open_below);
  }
  EnableWindow(GetDlgItem(hwnd_, IDOK), valid ? TRUE : FALSE);
}

bool DLP_RIGGING::AllValid() const {
  if (!complete_) return false;
  for (const Field& field : fields_) {
    if (!Within(field.Value(), field.lowest, field.highest, field.open_below)) return false;
  }
  return true;
}

void DLP_RIGGING::WriteBack() {
  switch (kind_) {
    case RIGGING_AUTO_WEIGHTS:
      param_.resolution = resolution_.Get();
      param_.falloff = falloff_.Get();
      param_.max_bones = max_bones_.Get();
      return;
    case RIGGING_MIRROR_WEIGHTS:
      param_.direction = direction_.Get();
      param_.tolerance = tolerance_.Get();
      return;
    case RIGGING_SMOOTH_WEIGHTS:
      param_.iterations = iterations_.Get();
      param_.strength = strength_.Get();
      param_.max_bones = max_bones_.Get();
      return;
    case RIGGING_LIMIT_WEIGHTS:
      param_.limit = limit_.Get();
      return;
  }
}

void DLP_RIGGING::OnCommand(int id, int /*code*/) {
  if (id == IDOK) {
    // The edits were committed on the way here; a value out of range leaves
    // the dialog open.
    if (!AllValid()) {
      EnableOk();
      return;
    }
    WriteBack();
    EndDialog(hwnd_, 1);
    return;
  }
  // Every change of a text, typed or shown after a commit.
  for (const Field& field : fields_) {
    if (field.id == id) {
      EnableOk();
      return;
    }
  }
}
