#pragma once
// The pose mode's morph panel: each morph target of the current object with
// its weight in the current pose as a red bar that the mouse drags, under
// the base row and its base weight.
#include "ui/panels/morph_rows.h"

class DLP_POSEMORPH : public DLP_MORPHROWS {
 public:
  DLP_POSEMORPH();

 protected:
  void OnInit(HWND hwnd) override;
  void OnRefresh() override;
  void OnCommand(int id, int code) override;

 private:
  // A full weight's bar, in pixels, and where bars start.
  static constexpr int kFullBar = 48;
  static constexpr int kBarLeft = 2;

  Look RowLook(int slot) override;
  void RowDragged(int slot, POINT at) override;

  // The weight a row shows: the base weight for -1; without a current pose
  // the base is 1 and every target 0.
  float Weight(int slot) const;
  void ShowWeights();
};
