#pragma once
// The morph mode's panel: the current object's morph targets as rows under
// the base row. A click makes a row's target the one the object shows and
// the modeller edits; the buttons make and delete targets and open a
// target's properties.
#include "ui/panels/morph_rows.h"

class DLP_OBJMORPH : public DLP_MORPHROWS {
 public:
  DLP_OBJMORPH();
  LRESULT PanelProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) override;

 protected:
  void OnInit(HWND hwnd) override;
  void OnRefresh() override;
  void OnCommand(int id, int code) override;

 private:
  static constexpr int kBarWidth = 14;
  static constexpr int kListTop = 40;
  static constexpr int kMinHeight = 96;

  Look RowLook(int slot) override;
  void RowPressed(int slot, POINT at) override;
  void RowDoubleClicked(int slot) override;

  // The list fills the panel below the buttons.
  void LayOut();
  // The shown target (-1 the base); -1 without a current object.
  int CurrentTarget() const;
  void OpenProperties(int slot);
  void NewTarget();
  void DeleteCurrentTarget();
  // After an edit of the object's targets: an undo state, the panels and
  // the view.
  void Edited();

  int width_ = 0;  // the width the panel was made with, kept
};
