#include "host/gui/gui_session.h"

#include <algorithm>
#include <limits>

#include "host/core/plugin_module.h"
#include "host/driver/document_io.h"
#include "host/files/document_file.h"

namespace mqhost {

GuiSession::GuiSession(Host& host) : host_(host) {}

GuiSession::~GuiSession() {
  EndDocument();
  SendExit(host_);
  host_.UnloadPlugins();
}

void GuiSession::LoadPlugins(const std::vector<std::string>& paths, std::vector<std::string>* problems) {
  for (const std::string& path : paths) {
    std::string error;
    PluginModule* plugin = host_.LoadPlugin(path, &error);
    if (plugin == nullptr) {
      problems->push_back(error);
      continue;
    }
    if (SendInitialize(host_, plugin) == FALSE) {
      problems->push_back(plugin->path() + ": the plug-in did not initialise and is left out");
      host_.UnloadPlugin(plugin);
    }
  }
}

// ---------------------------------------------------------------- files

void GuiSession::EndDocument() {
  if (document_ == nullptr) return;
  if (active_ != nullptr) SendActivate(host_, document_, false, active_);
  SendEndDocument(host_, document_);
  host_.CloseDocument(document_);
  document_ = nullptr;
}

void GuiSession::Replace(Document* fresh, const std::string& path) {
  PluginModule* command = active_;
  EndDocument();
  document_ = fresh;
  path_ = path;
  SendNewDocument(host_, document_, path);
  // The state the document was opened in, so that the first edit can be
  // undone.
  host_.RecordUndo(document_);
  saved_undo_number_ = host_.current_undo_number();
  active_ = nullptr;
  if (command != nullptr) Activate(command);
}

bool GuiSession::NewDocument(std::string* /*error*/) {
  Replace(host_.NewDocument(), std::string());
  return true;
}

bool GuiSession::Open(const std::string& path, std::string* error) {
  Document* fresh = host_.NewDocument();
  if (!OpenDocument(host_, fresh, path, error)) {
    host_.CloseDocument(fresh);
    return false;
  }
  // The view keeps its size; the file decides where it looks.
  if (document_ != nullptr) {
    fresh->camera.width = document_->camera.width;
    fresh->camera.height = document_->camera.height;
  }
  Replace(fresh, path);
  return true;
}

bool GuiSession::Save(const std::string& path, std::string* error) {
  if (document_ == nullptr) {
    *error = "there is no document to save";
    return false;
  }
  SendSaveDocument(host_, document_, path);
  if (!WriteOutputFile(path, DocumentFileText(host_, document_), error)) return false;
  path_ = path;
  saved_undo_number_ = host_.current_undo_number();
  return true;
}

bool GuiSession::ImportObj(const std::string& path, std::string* error) {
  if (document_ == nullptr) {
    *error = "there is no document to import into";
    return false;
  }
  if (!ImportObjFile(path, document_, error)) return false;
  SendObjectListChanged(host_, document_);
  SendMaterialListChanged(host_, document_);
  host_.RecordUndo(document_);
  return true;
}

bool GuiSession::ExportObj(const std::string& path, std::string* error) const {
  if (document_ == nullptr) {
    *error = "there is no document to export";
    return false;
  }
  return WriteOutputFile(path, ObjFileText(*document_), error);
}

bool GuiSession::modified() const {
  return document_ != nullptr && host_.current_undo_number() != saved_undo_number_;
}

// ---------------------------------------------------------------- undo

bool GuiSession::Undo() { return document_ != nullptr && host_.Undo(document_); }
bool GuiSession::Redo() { return document_ != nullptr && host_.Redo(document_); }
bool GuiSession::CanUndo() const { return document_ != nullptr && host_.undo_position() > 0; }
bool GuiSession::CanRedo() const {
  return document_ != nullptr && host_.undo_position() + 1 < host_.undo_state_count();
}

// ---------------------------------------------------------------- plug-ins

std::vector<PluginModule*> GuiSession::CommandPlugins() const {
  std::vector<PluginModule*> commands;
  for (const auto& plugin : host_.plugins()) {
    if (plugin->type() == MQPLUGIN_TYPE_COMMAND) commands.push_back(plugin.get());
  }
  return commands;
}

bool GuiSession::Activate(PluginModule* plugin) {
  if (document_ == nullptr) return false;
  if (active_ != nullptr) SendActivate(host_, document_, false, active_);
  active_ = nullptr;
  if (plugin == nullptr) return true;
  const bool taken = SendActivate(host_, document_, true, plugin) != FALSE;
  // A command that refuses stays inactive, as the modeller's button pops up.
  if (taken) active_ = plugin;
  return taken;
}

// ---------------------------------------------------------------- events

bool GuiSession::Mouse(int code, const PointerInput& input) {
  if (document_ == nullptr || active_ == nullptr) return false;
  return SendMouse(host_, document_, code, input, active_) != FALSE;
}

bool GuiSession::Key(bool down, int key, int flags) {
  if (document_ == nullptr || active_ == nullptr) return false;
  return SendKey(host_, document_, down, key, flags, active_) != FALSE;
}

void GuiSession::Draw(int width, int height) {
  if (document_ != nullptr) SendDraw(host_, document_, width, height);
}

void GuiSession::SceneChanged() {
  if (document_ != nullptr) SendScene(host_, document_);
}

bool GuiSession::TakeRedrawRequest() {
  const bool asked = host_.refresh_count() != seen_refreshes_ || host_.redraw_requests() != seen_redraws_;
  seen_refreshes_ = host_.refresh_count();
  seen_redraws_ = host_.redraw_requests();
  return asked;
}

bool GuiSession::VisibleBox(FVECTOR3* lo, FVECTOR3* hi) const {
  if (document_ == nullptr) return false;
  constexpr float kBig = std::numeric_limits<float>::max();
  FVECTOR3 low{kBig, kBig, kBig}, high{-kBig, -kBig, -kBig};
  bool any = false;
  for (int i = 0; i < document_->ObjectCount(); ++i) {
    const Object* object = document_->ObjectAt(i);
    if (object == nullptr || object->visible == 0) continue;
    for (const Vertex& v : object->vertices) {
      const FVECTOR3 p{v.position.x, v.position.y, v.position.z};
      low = FVECTOR3{std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
      high = FVECTOR3{std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
      any = true;
    }
  }
  if (any) *lo = low, *hi = high;
  return any;
}

}  // namespace mqhost
