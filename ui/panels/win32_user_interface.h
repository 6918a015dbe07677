#pragma once
// The main object's user interface in the Windows build: the tool panels as
// modeless dialogs owned by the host's main window, real message boxes, the
// modal alignment, glTF scale and weight tool dialogs, and the system's file
// dialogs.
#include <windows.h>

#include <array>
#include <memory>
#include <string>

#include "main/user_interface.h"
#include "ui/panels/panel.h"

class DLP_COMMAND;

class WIN32_UI : public MED_PLUGIN_UI {
 public:
  WIN32_UI();
  ~WIN32_UI() override;

  void CreatePanel(PANEL_ID id, IDLMAIN* service, void* instance, void* parent) override;
  void LoadIcons(void* instance) override;
  void ShowPanel(PANEL_ID id, bool show) override;
  void RefreshPanel(PANEL_ID id) override;
  int ShowMessageBox(void* owner, const char* text, const char* caption, unsigned buttons) override;
  void ForwardKeyToFocus(int key) override;
  bool RunBoneAlignDialog(void* owner, IDLMAIN* service, BONEALIGN_PARAM& param) override;
  bool AskSavePath(void* owner, const FILE_DIALOG_PARAM& param, std::string& path) override;
  bool AskOpenPath(void* owner, const FILE_DIALOG_PARAM& param, std::string& path) override;
  bool RunUnitScaleDialog(void* owner, IDLMAIN* service, const char* caption, float& unit_scale) override;
  bool RunRiggingDialog(void* owner, IDLMAIN* service, RIGGING_DIALOG kind, RIGGING_PARAM& param) override;

  // The panel's window; null when it has none (not made, given up, closed).
  HWND PanelWindow(PANEL_ID id) const;
  // The command panel, once its dialog exists.
  DLP_COMMAND* command_panel() const;

 private:
  // What each panel was first made with, to make it again after its close
  // box destroyed it.
  struct Creation {
    IDLMAIN* service = nullptr;
    void* instance = nullptr;
    void* parent = nullptr;
    bool made = false;
  };
  std::array<std::unique_ptr<DLP_PANEL>, PANEL_COUNT> panels_;
  std::array<Creation, PANEL_COUNT> creations_;
  HICON icons_[2] = {nullptr, nullptr};
};
