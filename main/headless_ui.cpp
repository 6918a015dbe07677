#include "main/headless_ui.h"

#include "main/idlmain.h"

void HEADLESS_UI::CreatePanel(PANEL_ID id, IDLMAIN* service, void* /*instance*/, void* parent) {
  if (id < 0 || id >= PANEL_COUNT) return;
  ++created_[id];
  parents_[id] = parent;
  last_service_ = service;
}

void HEADLESS_UI::LoadIcons(void* /*instance*/) { ++icons_loaded_; }

void HEADLESS_UI::ShowPanel(PANEL_ID id, bool show) {
  if (id >= 0 && id < PANEL_COUNT) shown_[id] = show;
}

void HEADLESS_UI::RefreshPanel(PANEL_ID id) {
  if (id >= 0 && id < PANEL_COUNT) ++refreshed_[id];
}

int HEADLESS_UI::ShowMessageBox(void* owner, const char* text, const char* caption, unsigned buttons) {
  int answer = buttons == kMessageBoxOkCancel ? kAnswerCancel : kAnswerOk;
  if (!answers_.empty()) {
    answer = answers_.front();
    answers_.pop_front();
  }
  message_boxes_.push_back(MessageBoxCall{owner, text != nullptr ? text : "",
                                          caption != nullptr ? caption : "", buttons, answer});
  RunModalAction();
  return answer;
}

void HEADLESS_UI::ForwardKeyToFocus(int key) {
  forwarded_keys_.push_back(key);
  forward_depths_.push_back(last_service_ != nullptr ? last_service_->GetDialogCallCount() : -1);
  RunModalAction();
}

bool HEADLESS_UI::RunBoneAlignDialog(void* /*owner*/, IDLMAIN* /*service*/,
                                     BONEALIGN_PARAM& param) {
  ++dialog_runs_;
  dialog_opened_with_ = param;
  RunModalAction();
  if (dialog_ok_) param = dialog_values_;
  return dialog_ok_;
}

bool HEADLESS_UI::AskPath(bool save, const FILE_DIALOG_PARAM& param, std::string& path) {
  std::string answer;
  if (!paths_.empty()) {
    answer = std::move(paths_.front());
    paths_.pop_front();
  }
  file_dialogs_.push_back(FileDialogCall{save, param, answer});
  RunModalAction();
  if (answer.empty()) return false;
  path = answer;
  return true;
}

bool HEADLESS_UI::AskSavePath(void* /*owner*/, const FILE_DIALOG_PARAM& param, std::string& path) {
  return AskPath(true, param, path);
}

bool HEADLESS_UI::AskOpenPath(void* /*owner*/, const FILE_DIALOG_PARAM& param, std::string& path) {
  return AskPath(false, param, path);
}

bool HEADLESS_UI::RunUnitScaleDialog(void* /*owner*/, IDLMAIN* /*service*/, const char* caption,
                                     float& unit_scale) {
  scale_dialogs_.push_back(ScaleDialogCall{caption != nullptr ? caption : "", unit_scale, scale_ok_});
  RunModalAction();
  if (!scale_ok_) return false;
  if (scale_answer_set_) unit_scale = scale_value_;
  return true;
}

bool HEADLESS_UI::RunRiggingDialog(void* /*owner*/, IDLMAIN* /*service*/, RIGGING_DIALOG kind,
                                   RIGGING_PARAM& param) {
  rigging_dialogs_.push_back(RiggingDialogCall{kind, param, rigging_ok_});
  RunModalAction();
  if (!rigging_ok_) return false;
  if (!rigging_values_set_) return true;
  // The fields the real dialog of this kind shows, and only those.
  const RIGGING_PARAM& v = rigging_values_;
  switch (kind) {
    case RIGGING_AUTO_WEIGHTS:
      param.resolution = v.resolution;
      param.falloff = v.falloff;
      param.max_bones = v.max_bones;
      break;
    case RIGGING_MIRROR_WEIGHTS:
      param.direction = v.direction;
      param.tolerance = v.tolerance;
      break;
    case RIGGING_SMOOTH_WEIGHTS:
      param.iterations = v.iterations;
      param.strength = v.strength;
      param.max_bones = v.max_bones;
      break;
    case RIGGING_LIMIT_WEIGHTS:
      param.limit = v.limit;
      break;
  }
  return true;
}
