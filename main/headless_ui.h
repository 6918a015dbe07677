#pragma once
// The user interface without windows: it remembers what the main object asked
// (panels created, shown and refreshed, message boxes, forwarded keys, dialog
// runs, file dialogs) and answers message boxes, dialogs and file dialogs as
// it is told.
#include <array>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "main/user_interface.h"

class HEADLESS_UI : public MED_PLUGIN_UI {
 public:
  struct MessageBoxCall {
    void* owner;
    std::string text;     // system code page, as given
    std::string caption;
    unsigned buttons;
    int answer;
  };

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

  struct FileDialogCall {
    bool save;
    FILE_DIALOG_PARAM param;
    std::string answer;  // empty: cancelled
  };
  struct ScaleDialogCall {
    std::string caption;
    float opened_with;
    bool ok;
  };
  struct RiggingDialogCall {
    RIGGING_DIALOG kind;
    RIGGING_PARAM opened_with;
    bool ok;
  };

  // ---------------------------------------------------------------- answers
  // Message boxes take the queued answers in order; with none queued an
  // OK/Cancel box is cancelled and an OK box answers OK.
  void QueueAnswer(int answer) { answers_.push_back(answer); }
  // The dialog closes with OK (after `on_ok` values are copied in) or Cancel.
  void SetDialogAnswer(bool ok, const BONEALIGN_PARAM& on_ok = {}) {
    dialog_ok_ = ok;
    dialog_values_ = on_ok;
  }
  // File dialogs take the queued paths in order; an empty path, or none
  // queued, is Cancel.
  void QueuePath(std::string path) { paths_.push_back(std::move(path)); }
  // The unit scale dialog closes with OK and `value` (whatever it is: the
  // main object is not to trust it), or with Cancel; OK with the value it
  // opened with until told.
  void SetUnitScaleAnswer(bool ok, float value) {
    scale_ok_ = ok;
    scale_value_ = value;
    scale_answer_set_ = true;
  }
  // The weight tools' dialogs close with OK and the values they opened with,
  // until told: then with OK and the fields of their kind taken from
  // `on_ok` (as given: the main object is not to trust them), or with Cancel.
  void SetRiggingAnswer(bool ok) {
    rigging_ok_ = ok;
    rigging_values_set_ = false;
  }
  void SetRiggingAnswer(bool ok, const RIGGING_PARAM& on_ok) {
    rigging_ok_ = ok;
    rigging_values_ = on_ok;
    rigging_values_set_ = true;
  }

  // ---------------------------------------------------------------- record
  int created(PANEL_ID id) const { return created_[id]; }
  // The owner window each panel was created with (the last one).
  void* parent(PANEL_ID id) const { return parents_[id]; }
  bool shown(PANEL_ID id) const { return shown_[id]; }
  int refreshed(PANEL_ID id) const { return refreshed_[id]; }
  int icons_loaded() const { return icons_loaded_; }
  const std::vector<MessageBoxCall>& message_boxes() const { return message_boxes_; }
  const std::vector<int>& forwarded_keys() const { return forwarded_keys_; }
  // The service's dialog depth while each key was being forwarded.
  const std::vector<int>& forward_depths() const { return forward_depths_; }
  int dialog_runs() const { return dialog_runs_; }
  // The values the dialog was opened with, last run.
  const BONEALIGN_PARAM& dialog_opened_with() const { return dialog_opened_with_; }
  const std::vector<FileDialogCall>& file_dialogs() const { return file_dialogs_; }
  const std::vector<ScaleDialogCall>& scale_dialogs() const { return scale_dialogs_; }
  const std::vector<RiggingDialogCall>& rigging_dialogs() const { return rigging_dialogs_; }

  void ResetRefreshCounts() { refreshed_.fill(0); }

  // What happens while a message box or the dialog is open, or while the
  // focused panel handles a forwarded key (a panel's own message loop may
  // call back into the plug-in, or the host may send an event).
  void SetModalAction(std::function<void()> action) { modal_action_ = std::move(action); }

 private:
  std::array<int, PANEL_COUNT> created_{};
  std::array<void*, PANEL_COUNT> parents_{};
  std::array<bool, PANEL_COUNT> shown_{};
  std::array<int, PANEL_COUNT> refreshed_{};
  int icons_loaded_ = 0;
  std::vector<MessageBoxCall> message_boxes_;
  std::deque<int> answers_;
  std::vector<int> forwarded_keys_;
  std::vector<int> forward_depths_;
  IDLMAIN* last_service_ = nullptr;
  bool dialog_ok_ = false;
  BONEALIGN_PARAM dialog_values_;
  BONEALIGN_PARAM dialog_opened_with_;
  int dialog_runs_ = 0;
  std::deque<std::string> paths_;
  std::vector<FileDialogCall> file_dialogs_;
  bool scale_ok_ = true;
  bool scale_answer_set_ = false;
  float scale_value_ = 0.0f;
  std::vector<ScaleDialogCall> scale_dialogs_;
  bool rigging_ok_ = true;
  bool rigging_values_set_ = false;
  RIGGING_PARAM rigging_values_;
  std::vector<RiggingDialogCall> rigging_dialogs_;
  std::function<void()> modal_action_;

  void RunModalAction() {
    if (modal_action_) modal_action_();
  }
  bool AskPath(bool save, const FILE_DIALOG_PARAM& param, std::string& path);
};
