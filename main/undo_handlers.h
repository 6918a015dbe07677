#pragma once
// The main object's undo events: the host reports each new undo state (a
// snapshot of the edit state is stored under its number) and each undo or
// redo (the snapshot of the reached state is put back). The main object
// forwards its OnUpdateUndo, OnUndo and OnRedo here with its own undo buffer,
// document model and the few services below.
#include <memory>

#include "main/undo.h"
#include "sdk/mq_types.h"

class MQEXPDOC;

// What the undo handlers ask of the main object.
class MED_UNDO_HOOKS {
 public:
  // The plug-in's enable switch.
  virtual bool IsEnabled() const = 0;
  // The host has activated the command.
  virtual bool IsActive() const = 0;
  // The handled event's document becomes the current one.
  virtual void StoreDocument(MQDocument doc) = 0;
  // The viewport's rendering copies are re-deformed at the next draw.
  virtual void MarkRenderingCopies() = 0;
  virtual void DeleteRenderingCopies() = 0;
  // Empties the picked selection.
  virtual void ClearSelection() = 0;
  virtual void Redraw() = 0;
  virtual void RefreshPanels() = 0;

 protected:
  MED_UNDO_HOOKS() = default;
  MED_UNDO_HOOKS(const MED_UNDO_HOOKS&) = default;
  MED_UNDO_HOOKS& operator=(const MED_UNDO_HOOKS&) = default;
  ~MED_UNDO_HOOKS() = default;
};

// A new document: the buffer restarts with a snapshot for state 0, the one
// undoing to the document's first state restores. Nothing is pushed without
// a model.
void UndoResetBuffer(UNDOBUFF2& buffer, MQEXPDOC* model);

// The host recorded undo state `state` and keeps `size` states: when enabled
// with a model, a snapshot of the edit state is pushed under that number.
void UndoOnUpdateUndo(MED_UNDO_HOOKS& hooks, UNDOBUFF2& buffer, MQEXPDOC* model, MQDocument doc,
                      int state, int size);
// The host undid or redid to `state`: the snapshot for it is restored (a
// missing or unreadable one is logged and the rig stays as it is), then the
// view and panels are brought up to date in every case. The host's answer is
// always FALSE.
BOOL UndoOnUndo(MED_UNDO_HOOKS& hooks, UNDOBUFF2& buffer, MQEXPDOC* model, MQDocument doc,
                int state);
BOOL UndoOnRedo(MED_UNDO_HOOKS& hooks, UNDOBUFF2& buffer, MQEXPDOC* model, MQDocument doc,
                int state);
