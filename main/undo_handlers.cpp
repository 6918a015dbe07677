#include "main/undo_handlers.h"

#include <cstdint>
#include <new>
#include <string>

#include "math/log.h"
#include "platform/codepage.h"
#include "rig/document_model.h"

namespace {

// Undo and redo differ only in their log texts.
struct StepTexts {
  const char* entry;    // printf format: document, state
  const char* failure;  // UTF-8; logged in the system code page with "(state)"
};

constexpr StepTexts kUndoTexts = {"DLMAIN::OnUndo(%08x):state(%d)",
                                  "\xE3\x82\xA2\xE3\x83\xB3\xE3\x83\x89\xE3\x82\xA5"
                                  "\xE5\xA4\xB1\xE6\x95\x97!!"};  // アンドゥ失敗!!
constexpr StepTexts kRedoTexts = {"DLMAIN::OnRedo(%08x):state(%d)",
                                  "\xE3\x83\xAA\xE3\x83\x89\xE3\x82\xA5"
                                  "\xE5\xA4\xB1\xE6\x95\x97!!"};  // リドゥ失敗!!

BOOL RunStep(const StepTexts& texts, MED_UNDO_HOOKS& hooks, UNDOBUFF2& buffer, MQEXPDOC* model,
             MQDocument doc, int state) {
  quorvel::LogPrintf(texts.entry, quorvel::LogAddress(doc), state);
  if (!hooks.IsEnabled() || model == nullptr) return FALSE;
  hooks.StoreDocument(doc);
  if (!buffer.RestoreState(state, model)) {
    const std::string failure = quorvel::platform::Utf8ToAnsi(texts.failure);
    quorvel::LogPrintf("%s(%d)", failure.c_str(), state);
  }
  // Whether or not the snapshot came back, the host has changed its objects:
  // copies, selection, model and panels follow it.
  hooks.MarkRenderingCopies();
  hooks.ClearSelection();
  const bool active = hooks.IsActive();
  model->SetActive(active);
  if (active) {
    model->Refresh();
  } else {
    hooks.DeleteRenderingCopies();
  }
  hooks.Redraw();
  hooks.RefreshPanels();
  return FALSE;
}

}  // namespace

void UndoResetBuffer(UNDOBUFF2& buffer, MQEXPDOC* model) {
  buffer.Clear();
  if (model == nullptr) return;
  try {
    buffer.Push(0, 1, std::make_unique<UNDOSUB>(model));
  } catch (const std::bad_alloc&) {
    quorvel::LogPrintf("UndoResetBuffer:out of memory");
  }
}

void UndoOnUpdateUndo(MED_UNDO_HOOKS& hooks, UNDOBUFF2& buffer, MQEXPDOC* model, MQDocument doc,
                      int state, int size) {
  quorvel::LogPrintf("DLMAIN::OnUpdateUndo(%08x):state(%d),size(%d)", quorvel::LogAddress(doc), state, size);
  if (!hooks.IsEnabled() || model == nullptr) return;
  hooks.StoreDocument(doc);
  try {
    // Pushed even when the capture failed: the pruning still has to drop the
    // replaced redo branch, and the failed record refuses to restore.
    buffer.Push(state, size, std::make_unique<UNDOSUB>(model));
  } catch (const std::bad_alloc&) {
    quorvel::LogPrintf("DLMAIN::OnUpdateUndo:out of memory");
  }
}

BOOL UndoOnUndo(MED_UNDO_HOOKS& hooks, UNDOBUFF2& buffer, MQEXPDOC* model, MQDocument doc,
                int state) {
  return RunStep(kUndoTexts, hooks, buffer, model, doc, state);
}

BOOL UndoOnRedo(MED_UNDO_HOOKS& hooks, UNDOBUFF2& buffer, MQEXPDOC* model, MQDocument doc,
                int state) {
  return RunStep(kRedoTexts, hooks, buffer, model, doc, state);
}
