#pragma once
// The command processor of an edit mode and the event record it receives.
// The main object builds one COMPROC_CALLBACK on the stack per mouse, key or
// draw event and calls the processor of the current mode with it.
#include "math/fmath.h"
#include "rig/edit_state.h"
#include "rig/slot_table.h"
#include "sdk/mq_types.h"
#include "sdk/named_args.h"
#include "tools/picking.h"
#include "tools/selection.h"
#include "tools/tool_service.h"

class IDLMAIN;

// The abstract event record.
class MED_COMPROC_CALLBACK_BASE {
 public:
  virtual ~MED_COMPROC_CALLBACK_BASE() = default;
  // The picker's parameters over the event's scene.
  virtual MED_USELECT_PARA_BASE& GetSelectPara() = 0;
  virtual FVECTOR2 GetMousePos() const = 0;
  virtual bool GetShift() const = 0;
  virtual bool GetCtrl() const = 0;
  virtual bool GetAlt() const = 0;
  virtual int GetKey() const = 0;
  virtual IDLMAIN* GetService() const = 0;
  // The same object, as the viewport tools see it.
  virtual MED_TOOL_SERVICE* GetToolService() const = 0;

 protected:
  MED_COMPROC_CALLBACK_BASE() = default;
  MED_COMPROC_CALLBACK_BASE(const MED_COMPROC_CALLBACK_BASE&) = default;
  MED_COMPROC_CALLBACK_BASE& operator=(const MED_COMPROC_CALLBACK_BASE&) = default;
};

class COMPROC_CALLBACK final : public MED_COMPROC_CALLBACK_BASE {
 public:
  // `state` is copied; draw events pass a zeroed one. `service` and `tools`
  // are the main object's service object seen two ways.
  COMPROC_CALLBACK(IDLMAIN* service, MED_TOOL_SERVICE* tools, MQDocument doc, MQScene scene,
                   const BUTTON_STATE& state, int key = 0)
      : service_(service), tools_(tools), doc_(doc), scene_(scene), para_(tools, scene),
        state_(state), key_(key) {}

  MED_USELECT_PARA_BASE& GetSelectPara() override { return para_; }
  FVECTOR2 GetMousePos() const override {
    return FVECTOR2{static_cast<float>(state_.x), static_cast<float>(state_.y)};
  }
  bool GetShift() const override { return state_.shift != 0; }
  bool GetCtrl() const override { return state_.ctrl != 0; }
  bool GetAlt() const override { return state_.alt != 0; }
  int GetKey() const override { return key_; }
  IDLMAIN* GetService() const override { return service_; }
  MED_TOOL_SERVICE* GetToolService() const override { return tools_; }

  MQDocument GetDocument() const { return doc_; }
  MQScene GetScene() const { return scene_; }
  const BUTTON_STATE& GetButtonState() const { return state_; }

 private:
  IDLMAIN* service_;
  MED_TOOL_SERVICE* tools_;
  MQDocument doc_;
  MQScene scene_;
  USELECT_PARA para_;
  BUTTON_STATE state_;
  int key_;
};

// The processor of one edit mode. Every operation answers an int; only the
// key operation's answer matters (non-zero: the key was consumed).
class MED_COMPROC_BASE {
 public:
  virtual int OnDraw(MED_COMPROC_CALLBACK_BASE& cb) { return 0; }
  virtual int OnRightButtonDown(MED_COMPROC_CALLBACK_BASE& cb) { return 0; }
  virtual int OnRightButtonUp(MED_COMPROC_CALLBACK_BASE& cb) { return 0; }
  virtual int OnRightButtonMove(MED_COMPROC_CALLBACK_BASE& cb) { return 0; }
  virtual int OnLeftButtonDown(MED_COMPROC_CALLBACK_BASE& cb) { return 0; }
  virtual int OnLeftButtonMove(MED_COMPROC_CALLBACK_BASE& cb) { return 0; }
  virtual int OnLeftButtonUp(MED_COMPROC_CALLBACK_BASE& cb) { return 0; }
  virtual int OnMouseMove(MED_COMPROC_CALLBACK_BASE& cb) { return 0; }
  virtual int OnMouseWheel(MED_COMPROC_CALLBACK_BASE& cb) { return 0; }
  virtual int OnKeyDown(MED_COMPROC_CALLBACK_BASE& cb) { return 0; }
  virtual ~MED_COMPROC_BASE() = default;

 protected:
  MED_COMPROC_BASE() = default;
  MED_COMPROC_BASE(const MED_COMPROC_BASE&) = default;
  MED_COMPROC_BASE& operator=(const MED_COMPROC_BASE&) = default;
};

// ---------------------------------------------------------------- shared helpers
// Used by the move and motion processors (hover also by the make processor).

// The kinds a hover test picks: pivots, roll points and bodies while roll
// parts are shown, else pivots and bodies. The make tool hovers pivots only.
int HoverKinds(const quorvel::RigEditState& state);

// Clears every object's hover bits, picks under the mouse, marks the picked
// part hovered (a roll point only while roll parts are shown) and stores the
// result in `hover`. Answers 1 when the display must be redrawn: a bone part
// other than the stored one is hovered, or nothing is where something was;
// 0 when the hovered part stays the same or a handle part is hovered.
int Hover(MED_USELECT_PARA_BASE& para, MQDocument doc, const quorvel::RigSlotTable& slots,
          const quorvel::RigEditState* state, bool pose_mode, int handle_type, const FVECTOR2& mouse,
          MED_USELECT& picker, MED_SELECTITEM& hover, int kinds);

// Selects a part of the object (OB_SEL_PIVOT, OB_SEL_ROLL or OB_SEL_BODY for
// SELKIND_PIVOT, SELKIND_ROLL, SELKIND_BODY) when that part may be picked.
void SelectPart(MQObject obj, const quorvel::RigSlotTable& slots, const quorvel::RigEditState& state,
                int32_t kind);
// The part's selection bit.
bool PartSelected(MQObject obj, const quorvel::RigSlotTable& slots, int32_t kind);

// 0 for the centre kinds, 1 for X, 2 for Y, 3 for Z (and 0 for a kind that
// is no handle part).
int HandleAxisOfKind(int32_t kind);

// The handle at the centre of the selection (hidden when nothing is
// selected); posed: the parts taken through their pose matrices.
void HandleAtSelectionCentre(HANDLE_STATE& handle, MQDocument doc, const quorvel::RigSlotTable& slots,
                             bool posed);
// The handle at a part: the pivot, or for a body its tail (the origin when
// the object has no child); other kinds leave the handle as it is.
void HandleAtPart(HANDLE_STATE& handle, MQDocument doc, MQObject obj, const quorvel::RigSlotTable& slots,
                  int32_t kind, bool posed);
// A pivot shows the handle unless the object is its parent's first child
// (it cannot move on its own); roll points and bodies hide it.
bool HandleVisibleForKind(MQDocument doc, MQObject obj, int32_t kind);
