#pragma once
// The weight brush: every vertex under the brush circle gets a copy of the
// current palette, with no falloff and no blending; with the blur pen on,
// their weights move toward their neighbours' instead. A right click without
// moving picks a vertex's weights up into the palette; Alt+click makes the
// clicked bone alone the palette.
#include <vector>

#include "math/fmath.h"
#include "rig/weight_operations.h"
#include "tools/command_framework.h"
#include "tools/picking.h"

class COMPROC_VWEIT final : public MED_COMPROC_BASE {
 public:
  int OnDraw(MED_COMPROC_CALLBACK_BASE& cb) override;
  int OnRightButtonDown(MED_COMPROC_CALLBACK_BASE& cb) override;
  int OnRightButtonUp(MED_COMPROC_CALLBACK_BASE& cb) override;
  int OnRightButtonMove(MED_COMPROC_CALLBACK_BASE& cb) override;
  int OnLeftButtonDown(MED_COMPROC_CALLBACK_BASE& cb) override;
  int OnLeftButtonMove(MED_COMPROC_CALLBACK_BASE& cb) override;
  int OnLeftButtonUp(MED_COMPROC_CALLBACK_BASE& cb) override;
  int OnMouseMove(MED_COMPROC_CALLBACK_BASE& cb) override;

  const FVECTOR2& mouse() const { return mouse_; }
  int modified() const { return modified_; }

  // One brush step at `centre`: paints the hit vertices with the current
  // palette (or blurs them). True when a vertex was written.
  bool Paint(const TOOL_CONTEXT& tool, const FVECTOR2& centre);

 private:
  bool PickUpWeights(const TOOL_CONTEXT& tool);
  void ChooseBone(const TOOL_CONTEXT& tool, MED_COMPROC_CALLBACK_BASE& cb);

  int right_click_ = 0;
  int modified_ = 0;
  // A stroke is under way: the left button went down in the view on this
  // tool. A button that went down elsewhere paints nothing as it moves.
  bool stroking_ = false;
  FVECTOR2 mouse_;
  MED_USELECT picker_;
  // Kept between steps for their memory: a stroke paints at every move.
  std::vector<HITVERT> hits_;
  std::vector<quorvel::VertexRef> painted_;
  quorvel::BlurStroke blur_;
};
