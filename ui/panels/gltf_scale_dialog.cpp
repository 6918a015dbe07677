#include "ui/panels/gltf_scale_dialog.h"

#include <cmath>
#include <utility>

#include "ui/resources/resource.h"

namespace {

bool IsLength(float metres) { return std::isfinite(metres) && metres > 0.0f; }

// A drag on the edit steps by a tenth of a millimetre per pixel: enough to
// reach the common lengths (0.01, 0.0254, 0.1) by hand.
constexpr float kDragStep = 0.0001f;

}  // namespace

DLP_GLTFSCALE::DLP_GLTFSCALE(std::string caption, float& unit_scale)
    : DLP_MODAL(IDD_GLTFSCALE, -1), caption_(std::move(caption)), unit_scale_(unit_scale) {}

bool DLP_GLTFSCALE::Run(IDLMAIN* service, HINSTANCE instance, HWND owner) {
  return DLP_MODAL::Run(service, instance, owner) == 1;
}

void DLP_GLTFSCALE::OnInit(HWND hwnd) {
  if (!caption_.empty()) SetWindowTextA(hwnd, caption_.c_str());
  // Lengths such as 0.0254 need more than the usual two decimals.
  scale_.SetFormat("%g");
  scale_.Bind(hwnd, IDC_GLTF_SCALE);
  scale_.SetStep(kDragStep);
  scale_.Set(unit_scale_);
  EnableOk();
}

void DLP_GLTFSCALE::EnableOk() {
  char text[64] = {};
  GetDlgItemTextA(hwnd_, IDC_GLTF_SCALE, text, sizeof text);
  // Read as the edit reads it when committed.
  UDLGVALS_FLOAT typed;
  typed.Parse(text);
  EnableWindow(GetDlgItem(hwnd_, IDOK), IsLength(typed.Get()) ? TRUE : FALSE);
}

void DLP_GLTFSCALE::OnCommand(int id, int /*code*/) {
  switch (id) {
    case IDC_GLTF_SCALE:
      // Every change of the text, typed or shown after a commit.
      EnableOk();
      return;
    case IDOK:
      // The edit was committed on the way here; a value that is no length
      // leaves the dialog open.
      if (!IsLength(scale_.Get())) {
        EnableOk();
        return;
      }
      unit_scale_ = scale_.Get();
      EndDialog(hwnd_, 1);
      return;
    default: return;
  }
}
