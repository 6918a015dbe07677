#pragma once
// The document's poses, one line each: choosing a line makes that pose
// current; buttons make, delete and rename poses, and a menu copies the
// current pose, puts every bone back to rest in it or mirrors it across
// X = 0. The panel grows and shrinks in height only, and its close box hides
// it.
#include "ui/panels/panel.h"
#include "ui/toolkit/controls.h"

class DLP_POSELIST : public DLP_PANEL {
 public:
  // The lowest the panel can be made, in pixels.
  static constexpr int kMinHeight = 96;
  // Where the list starts, below the buttons, in pixels.
  static constexpr int kListTop = 20;

  DLP_POSELIST();
  LRESULT PanelProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) override;

 protected:
  void OnInit(HWND hwnd) override;
  void OnRefresh() override;
  void OnCommand(int id, int code) override;

 private:
  // The command `id`; true when it changed the pose list or a pose.
  bool Execute(int id, int code);
  void OpenOtherMenu();
  void FitList(int client_width, int client_height);
  UDLGLIST list_;
  int width_ = 0;  // as created; the panel keeps it
};
