#pragma once
// What every tool panel does alike: made from its dialog resource with the
// panel font, placed where it was last time when first shown, its place
// recorded when moved, refreshed when shown, destroyed when closed (or only
// hidden, for panels that say so). A click on a panel's background hands the
// keyboard back to the host's main window. Commands reach a panel only while
// the plug-in has an open document.
#include <windows.h>

#include "ui/toolkit/uwin.h"

class DLGWINPOS;

class DLP_PANEL : public UWINMQ {
 public:
  // `winpos_id`: the panel's position record, -1 for none.
  DLP_PANEL(int resource_id, int winpos_id) : resource_id_(resource_id), winpos_id_(winpos_id) {}

  // A modeless dialog owned by `owner`; false (the panel is given up) when
  // the dialog cannot be made.
  bool Create(IDLMAIN* service, HINSTANCE instance, HWND owner);
  void Show(int command);
  // Reads everything the panel shows from the plug-in again.
  void Refresh();

  LRESULT PanelProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) override;

 protected:
  // Binds the control wrappers (the dialog is being initialised).
  virtual void OnInit(HWND hwnd) = 0;
  virtual void OnRefresh() = 0;
  // A command (control or menu item) while the plug-in can take it.
  virtual void OnCommand(int id, int code) = 0;

  // The close box hides the panel instead of destroying it.
  void SetHideOnClose(bool on) { hide_on_close_ = on; }

  // The plug-in is there and has a document open.
  bool Ready() const;
  HWND HostWindow() const;
  DLGWINPOS* Winpos() const;
  // The menu `menu_id` opened at the top-right corner of control `anchor`.
  // Nothing when it cannot be loaded.
  template <typename PREPARE>
  void OpenMenu(int menu_id, int anchor, PREPARE prepare);

 private:
  int resource_id_;
  int winpos_id_;
  bool hide_on_close_ = false;
};

#include "ui/toolkit/controls.h"

template <typename PREPARE>
void DLP_PANEL::OpenMenu(int menu_id, int anchor, PREPARE prepare) {
  UDLGPOPUPMENU menu;
  if (!menu.Load(instance_, menu_id)) return;
  prepare(menu);
  menu.ShowAt(hwnd_, GetDlgItem(hwnd_, anchor));
}

// A modal dialog of the plug-in with the panel font and, when it has one, a
// position record restored as it opens and kept as it moves.
class DLP_MODAL : public UWINMQ {
 public:
  DLP_MODAL(int resource_id, int winpos_id) : resource_id_(resource_id), winpos_id_(winpos_id) {}
  // What the dialog closed with; -1 when it could not be made.
  INT_PTR Run(IDLMAIN* service, HINSTANCE instance, HWND owner);
  LRESULT PanelProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) override;

 protected:
  virtual void OnInit(HWND hwnd) = 0;
  // A control's command, OK included (the dialog closes itself with
  // EndDialog); Cancel closes the dialog with 0 before it gets here.
  virtual void OnCommand(int id, int code) = 0;

 private:
  int resource_id_;
  int winpos_id_;
  HWND owner_ = nullptr;
};
