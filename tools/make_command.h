#pragma once
// The make tool: bones are clicked into existence, head first, then tail.
// In the make-child mode the tail just placed is the head of the next bone,
// so clicking on grows a chain; in the make-sibling mode each bone takes two
// clicks. A right click drops the bone being made.
#include "math/fmath.h"
#include "tools/command_framework.h"
#include "tools/picking.h"

class COMPROC_MAKE final : public MED_COMPROC_BASE {
 public:
  enum State : int {
    kIdle = 0,
    kHeadPlaced = 1,  // waiting for the tail
  };

  int OnDraw(MED_COMPROC_CALLBACK_BASE& cb) override;
  int OnRightButtonDown(MED_COMPROC_CALLBACK_BASE& cb) override;
  int OnLeftButtonDown(MED_COMPROC_CALLBACK_BASE& cb) override;
  int OnMouseMove(MED_COMPROC_CALLBACK_BASE& cb) override;

  int state() const { return state_; }
  const FVECTOR3& head() const { return head_; }
  const FVECTOR3& tail() const { return tail_; }
  int click_count() const { return click_count_; }

 private:
  int PlaceHead(const TOOL_CONTEXT& tool, MED_COMPROC_CALLBACK_BASE& cb);
  int PlaceTail(const TOOL_CONTEXT& tool, MED_COMPROC_CALLBACK_BASE& cb);

  int state_ = kIdle;
  int redraw_ = 0;
  int click_count_ = 0;
  FVECTOR3 head_;
  FVECTOR3 tail_;
  MED_SELECTITEM hover_;
  MED_USELECT picker_;
  int32_t start_kind_ = SELKIND_NONE;
};
