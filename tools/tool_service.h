#pragma once
// What the viewport tools (picking, drawing, the command framework) need of
// the plug-in's main object. The main object's service object realises it;
// the tools never see the main object itself.
#include "math/fmath.h"
#include "rig/edit_state.h"
#include "rig/slot_table.h"
#include "sdk/mq_types.h"

class MQEXPDOC;
class MED_SCREENCONVBASE;
class MEDUDRAW_BASE;

// The transform handle of the move and pose tools, kept between frames.
struct HANDLE_STATE {
  bool active = false;  // shown at `matrix` (something is selected)
  int axis = 0;         // the part picked when a drag began: 0 centre or free, 1 X, 2 Y, 3 Z
  FMATRIX matrix;       // where the handle stands, before its scale for the view
};

// Handle types (the move panel's choice).
enum : int {
  HANDLE_MOVE = 0,
  HANDLE_ROTATE = 1,
  HANDLE_SCALE = 2,
};

// The depth a pick starts from: the largest finite float.
constexpr float kNoPickDepth = 3.4028235e38f;

class MED_TOOL_SERVICE {
 public:
  // ---------------------------------------------------------------- the rig
  virtual MQDocument GetDocument() const = 0;
  // Null without a document model.
  virtual quorvel::RigEditState* GetEditState() const = 0;
  virtual const quorvel::RigSlotTable& GetSlots() const = 0;
  // The rendering copies show the posed rig (pose mode).
  virtual bool IsPoseMode() const = 0;
  virtual int GetMode() const = 0;

  // ---------------------------------------------------------------- the view
  // The size the last draw event reported (640 x 480 before the first).
  virtual void GetViewSize(int& width, int& height) const = 0;
  // The screen depth of what was picked last, kept for the drag that follows.
  virtual float GetPickDepth() const = 0;
  virtual void SetPickDepth(float depth) = 0;
  virtual HANDLE_STATE& GetHandleState() = 0;
  // HANDLE_MOVE, HANDLE_ROTATE or HANDLE_SCALE.
  virtual int GetHandleType() const = 0;
  virtual int GetShowHandle() const = 0;
  virtual void Redraw() = 0;

  // ---------------------------------------------------------------- the edit tools
  // The document model; null while no document is open.
  virtual MQEXPDOC* GetModel() const = 0;
  // The converter rectangle selection projects through; null without a model.
  virtual MED_SCREENCONVBASE* GetScreenConverter() const = 0;
  // n = 1..5 (1 vertex follow, 2 IK while moving, 3 make mode, 4 handle type).
  virtual int GetToolOption(int n) const = 0;
  // Children follow a posing drag.
  virtual int GetIkType() const = 0;
  virtual void RefreshPanels() = 0;
  // Asks the host for an undo state.
  virtual void UpdateUndo() = 0;
  // The viewport's copies: skin again, or only colour again.
  virtual void MarkRenderingDeform() = 0;
  virtual void MarkRenderingRecolour() = 0;
  // The move tool's key commands on the selected bones; each redraws,
  // refreshes the panels and asks for an undo state.
  virtual void DeleteSelectedBones() = 0;
  virtual void SelectAllBones() = 0;
  virtual void ClearBoneSelection() = 0;
  // Where the tools draw their overlays during a draw event.
  virtual MEDUDRAW_BASE& GetDrawer() const = 0;

  // ---------------------------------------------------------------- drawing objects
  // The host's drawing objects of the open document (the frame's requests):
  // `flags` low three bits are points, lines, faces.
  virtual MQObject CreateDrawingObject(int flags, BOOL instant = TRUE) = 0;
  virtual MQMaterial CreateDrawingMaterial(int& index, BOOL instant = TRUE) = 0;

 protected:
  MED_TOOL_SERVICE() = default;
  MED_TOOL_SERVICE(const MED_TOOL_SERVICE&) = default;
  MED_TOOL_SERVICE& operator=(const MED_TOOL_SERVICE&) = default;
  ~MED_TOOL_SERVICE() = default;
};
