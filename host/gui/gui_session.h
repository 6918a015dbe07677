#pragma once
// The document a person works on in the interactive host, and the plug-ins
// around it: opening, saving, importing and exporting with nothing lost when
// a file fails, undo and redo, which command plug-in is active, and the
// user's events delivered to it. No window here: the main window asks the
// questions and shows the messages; this decides what happens.
#include <memory>
#include <string>
#include <vector>

#include "host/core/host.h"
#include "host/events/events.h"
#include "math/fmath.h"

namespace mqhost {

class PluginModule;

class GuiSession {
 public:
  explicit GuiSession(Host& host);
  // Ends the document, lets the plug-ins exit and unloads them.
  ~GuiSession();
  GuiSession(const GuiSession&) = delete;
  GuiSession& operator=(const GuiSession&) = delete;

  // Loads and initialises each module. One that cannot be loaded, or whose
  // initialisation fails, is left out; the reason is added to `problems`.
  void LoadPlugins(const std::vector<std::string>& paths, std::vector<std::string>* problems);

  // ---------------------------------------------------------------- files
  // Each replaces the document only once the new one is there; on failure
  // the open document stays as it was and `error` says why.
  bool NewDocument(std::string* error);
  // A document file, or an OBJ file as a new document.
  bool Open(const std::string& path, std::string* error);
  // Written through a temporary file; the path becomes the document's.
  bool Save(const std::string& path, std::string* error);
  // Adds the OBJ file's objects to the document, as one undoable step.
  bool ImportObj(const std::string& path, std::string* error);
  bool ExportObj(const std::string& path, std::string* error) const;

  Document* document() const { return document_; }
  // The file the document was opened from or last saved to; empty for new.
  const std::string& path() const { return path_; }
  // Changed since it was opened or saved: the document is in another undo
  // state than then (a plug-in recorded one, objects were imported, an undo
  // or redo moved away from it).
  bool modified() const;

  // ---------------------------------------------------------------- undo
  bool Undo();
  bool Redo();
  bool CanUndo() const;
  bool CanRedo() const;

  // ---------------------------------------------------------------- plug-ins
  // The loaded command plug-ins, in loading order.
  std::vector<PluginModule*> CommandPlugins() const;
  PluginModule* active() const { return active_; }
  // Deactivates the active command plug-in and activates `plugin` (null:
  // none). Answers what the plug-in answered to its activation.
  bool Activate(PluginModule* plugin);

  // ---------------------------------------------------------------- events
  // The active command plug-in's answer: true when it took the event, and
  // the host then leaves it alone. Nothing is sent without an active one.
  bool Mouse(int code, const PointerInput& input);
  bool Key(bool down, int key, int flags);
  // The draw event at this viewport size; the host paints once it is over.
  void Draw(int width, int height);
  // The camera changed.
  void SceneChanged();
  // A plug-in asked for the view to be drawn again since the last call.
  bool TakeRedrawRequest();

  // The box around every vertex of the document's visible objects; false
  // when there is none.
  bool VisibleBox(FVECTOR3* lo, FVECTOR3* hi) const;

 private:
  // Swaps `fresh` in for the document: the old one ended and closed, the
  // plug-ins told of the new one, the command taken again, a first undo
  // state recorded.
  void Replace(Document* fresh, const std::string& path);
  void EndDocument();

  Host& host_;
  Document* document_ = nullptr;
  std::string path_;
  PluginModule* active_ = nullptr;
  int saved_undo_number_ = 0;
  int seen_refreshes_ = 0;
  int seen_redraws_ = 0;
};

}  // namespace mqhost
