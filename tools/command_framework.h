#pragma once
// The command processor of an edit mode and the event record it receives.
// The main object builds one COMPROC_CALLBACK on the stack per mouse, key or
// draw event and calls the processor of the current mode with it.
#include "math/fmath.h"
#include "rig/edit_state.h"
#include "rig/slot_table.h"
#include "sdk/mq_types.h"
#include "sdk/named_args.h"
#include "tools/handle.h"
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

// What every processor operation starts from: the service, its document, the
// rig's edit state and the slot table. Open answers false (and the operation
// does nothing) when any of them is missing.
struct TOOL_CONTEXT {
  MED_TOOL_SERVICE* service = nullptr;
  MQDocument doc = nullptr;
  quorvel::RigEditState* state = nullptr;
  const quorvel::RigSlotTable* slots = nullptr;

  bool Open(const MED_COMPROC_CALLBACK_BASE& cb);
};

// The rubber-band rectangle a click into empty space starts.
struct RUBBER_BAND {
  bool active = false;
  FVECTOR2 start;
  FVECTOR2 corner;

  void Start(const FVECTOR2& at) {
    active = true;
    start = corner = at;
  }
};

// A drag's last screen and world points, and whether it changed anything.
struct DRAG_RECORD {
  HANDLE_DRAG drag;
  bool moved = false;
};

// Starts the record at the mouse: the screen point at the depth of the last
// pick and the world point there.
void StartDragRecord(DRAG_RECORD& record, const MED_USELECT_PARA_BASE& para, const FVECTOR2& mouse);
// One drag step to the mouse turned into the transform the handle asks for
// (HandleDragToMatrix). False when the handle type gives none.
bool DragStepMatrix(DRAG_RECORD& record, const MED_USELECT_PARA_BASE& para, const FVECTOR2& mouse,
                    const HANDLE_STATE& handle, int handle_type, FMATRIX& step);

// What a left press of the move and pose tools does first: picks `kinds`,
// starts the drag record at the depth that pick found (so the first step
// does not jump between the depths of two picks), and handles a press that
// finds nothing (pick depth 0, a rubber band started, and unless Ctrl is
// held no current bone and no selection; the handle hidden) or a handle
// part (its axis stored). Answers the picked bone's object, null otherwise;
// `picked` is what was picked (empty for nothing).
MQObject PressPick(const TOOL_CONTEXT& tool, MED_COMPROC_CALLBACK_BASE& cb, MED_USELECT& picker,
                   int kinds, bool pose_mode, DRAG_RECORD& drag, RUBBER_BAND& rectangle,
                   MED_SELECTITEM& picked);

// Makes the picked part of `obj` the only selected part, its bone the
// current bone and the host's current object, and puts the handle at the
// part (through the pose when `posed`), shown when the part can move alone.
void MakeCurrentPart(const TOOL_CONTEXT& tool, MQObject obj, const MED_SELECTITEM& picked, bool posed);

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

// Hover under the event's mouse with the tool's services, and a redraw when
// it asks for one.
void HoverAndRedraw(const TOOL_CONTEXT& tool, MED_COMPROC_CALLBACK_BASE& cb, MED_USELECT& picker,
                    MED_SELECTITEM& hover, bool pose_mode, int kinds);

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
