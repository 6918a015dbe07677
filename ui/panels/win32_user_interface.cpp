#include "ui/panels/win32_user_interface.h"

#include <commdlg.h>

#include "main/idlmain.h"
#include "ui/panels/bone_align_dialog.h"
#include "ui/panels/command_panel.h"
#include "ui/panels/gltf_scale_dialog.h"
#include "ui/panels/make_panel.h"
#include "ui/panels/morph_panel.h"
#include "ui/panels/motion_panel.h"
#include "ui/panels/move_panel.h"
#include "ui/panels/pose_bone_panel.h"
#include "ui/panels/pose_list_panel.h"
#include "ui/panels/pose_morph_panel.h"
#include "ui/panels/rigging_dialog.h"
#include "ui/panels/weight_pen_panel.h"
#include "ui/resources/resource.h"

namespace {

// The common dialog's type list: pairs of texts, each ending in a zero, and
// one more zero at the end.
std::string FilterList(const FILE_DIALOG_PARAM& param) {
  std::string list;
  for (const auto& [name, patterns] : param.filters) {
    list += name;
    list += '\0';
    list += patterns;
    list += '\0';
  }
  list += '\0';
  return list;
}

bool AskPath(void* owner, const FILE_DIALOG_PARAM& param, bool save, std::string& path) {
  const std::string filters = FilterList(param);
  // A path the plug-in passes on must fit a Windows path.
  char file[MAX_PATH] = {};
  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = static_cast<HWND>(owner);
  dialog.lpstrFilter = filters.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file;
  dialog.nMaxFile = sizeof file;
  dialog.lpstrTitle = param.title.empty() ? nullptr : param.title.c_str();
  dialog.lpstrDefExt = param.default_extension.empty() ? nullptr : param.default_extension.c_str();
  // The modeller's current folder stays where it was.
  dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST |
                 (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
  // Cancelled, or failed (a name too long for the buffer): nothing chosen.
  const BOOL chosen = save ? GetSaveFileNameA(&dialog) : GetOpenFileNameA(&dialog);
  if (!chosen || file[0] == '\0') return false;
  path = file;
  return true;
}

}  // namespace

WIN32_UI::WIN32_UI() {
  panels_[PANEL_COMMAND] = std::make_unique<DLP_COMMAND>();
  panels_[PANEL_CMDMOVE] = std::make_unique<DLP_CMDMOVE>();
  panels_[PANEL_CMDMAKE] = std::make_unique<DLP_CMDMAKE>();
  panels_[PANEL_CMDMOT] = std::make_unique<DLP_CMDMOT>();
  panels_[PANEL_POSELIST] = std::make_unique<DLP_POSELIST>();
  panels_[PANEL_POSEOBJ] = std::make_unique<DLP_POSEOBJ>();
  panels_[PANEL_POSEMORPH] = std::make_unique<DLP_POSEMORPH>();
  panels_[PANEL_WEITPEN] = std::make_unique<DLP_WEITPEN>();
  panels_[PANEL_OBJMORPH] = std::make_unique<DLP_OBJMORPH>();
}

WIN32_UI::~WIN32_UI() {
  // Panels go first: their windows may still want the icons' owner.
  for (auto& panel : panels_) panel.reset();
  for (HICON& icon : icons_) {
    if (icon != nullptr) DestroyIcon(icon);
    icon = nullptr;
  }
}

void WIN32_UI::CreatePanel(PANEL_ID id, IDLMAIN* service, void* instance, void* parent) {
  if (id < 0 || id >= PANEL_COUNT || !panels_[id]) return;
  DLP_PANEL& panel = *panels_[id];
  if (panel.hwnd() != nullptr) return;
  creations_[id] = Creation{service, instance, parent, true};
  // A panel that cannot be made is given up; the plug-in goes on without it.
  panel.Create(service, static_cast<HINSTANCE>(instance), static_cast<HWND>(parent));
}

void WIN32_UI::LoadIcons(void* instance) {
  const int ids[2] = {IDI_QUORVEL, IDI_QUORVEL_POSE};
  for (int i = 0; i < 2; ++i) {
    if (icons_[i] == nullptr) {
      icons_[i] = static_cast<HICON>(LoadImageA(static_cast<HINSTANCE>(instance), MAKEINTRESOURCEA(ids[i]),
                                                IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    }
  }
}

void WIN32_UI::ShowPanel(PANEL_ID id, bool show) {
  HWND window = PanelWindow(id);
  // A panel its close box destroyed comes back the next time it is wanted,
  // rather than staying lost until the module is loaded again.
  if (window == nullptr && show && id >= 0 && id < PANEL_COUNT && panels_[id] && creations_[id].made) {
    const Creation& c = creations_[id];
    if (panels_[id]->Create(c.service, static_cast<HINSTANCE>(c.instance), static_cast<HWND>(c.parent))) {
      window = PanelWindow(id);
    }
  }
  if (window == nullptr) return;
  // Shown without taking the focus from the viewport.
  ShowWindow(window, show ? SW_SHOWNOACTIVATE : SW_HIDE);
}

void WIN32_UI::RefreshPanel(PANEL_ID id) {
  if (id >= 0 && id < PANEL_COUNT && panels_[id]) panels_[id]->Refresh();
}

HWND WIN32_UI::PanelWindow(PANEL_ID id) const {
  if (id < 0 || id >= PANEL_COUNT || !panels_[id]) return nullptr;
  return panels_[id]->hwnd();
}

DLP_COMMAND* WIN32_UI::command_panel() const {
  return PanelWindow(PANEL_COMMAND) != nullptr ? static_cast<DLP_COMMAND*>(panels_[PANEL_COMMAND].get())
                                               : nullptr;
}

int WIN32_UI::ShowMessageBox(void* owner, const char* text, const char* caption, unsigned buttons) {
  const int answer = ::MessageBoxA(static_cast<HWND>(owner), text, caption, buttons);
  // A box that could not be shown counts as cancelled.
  return answer == IDOK ? kAnswerOk : kAnswerCancel;
}

void WIN32_UI::ForwardKeyToFocus(int key) {
  HWND focus = GetFocus();
  if (focus != nullptr) SendMessageA(focus, WM_KEYDOWN, static_cast<WPARAM>(key), 0);
}

bool WIN32_UI::RunBoneAlignDialog(void* owner, IDLMAIN* service, BONEALIGN_PARAM& param) {
  HINSTANCE instance = service != nullptr ? static_cast<HINSTANCE>(service->GetInstance()) : nullptr;
  DLP_BONEALIGN dialog(param);
  return dialog.Run(service, instance, static_cast<HWND>(owner));
}

bool WIN32_UI::AskSavePath(void* owner, const FILE_DIALOG_PARAM& param, std::string& path) {
  return AskPath(owner, param, /*save=*/true, path);
}

bool WIN32_UI::AskOpenPath(void* owner, const FILE_DIALOG_PARAM& param, std::string& path) {
  return AskPath(owner, param, /*save=*/false, path);
}

bool WIN32_UI::RunUnitScaleDialog(void* owner, IDLMAIN* service, const char* caption, float& unit_scale) {
  HINSTANCE instance = service != nullptr ? static_cast<HINSTANCE>(service->GetInstance()) : nullptr;
  DLP_GLTFSCALE dialog(caption != nullptr ? caption : "", unit_scale);
  return dialog.Run(service, instance, static_cast<HWND>(owner));
}

bool WIN32_UI::RunRiggingDialog(void* owner, IDLMAIN* service, RIGGING_DIALOG kind, RIGGING_PARAM& param) {
  HINSTANCE instance = service != nullptr ? static_cast<HINSTANCE>(service->GetInstance()) : nullptr;
  DLP_RIGGING dialog(kind, param);
  return dialog.Run(service, instance, static_cast<HWND>(owner));
}
