#include "host/core/host.h"

#include <algorithm>
#include <cstring>

#include "host/core/api.h"
#include "host/core/plugin_module.h"
#include "platform/module.h"
#include "sdk/named_args.h"

namespace mqhost {

namespace {

// Undo states kept per host; the oldest are dropped beyond this.
constexpr size_t kMaxUndoStates = 64;
// Callbacks may queue further callbacks; a plug-in that always does so must
// not hang the host.
constexpr int kMaxCallbackRounds = 64;

template <typename T>
T* ArgPointer(const NAMED_ARG* args, const char* name) {
  return static_cast<T*>(FindNamedArg(args, name));
}

// The pair named `name` itself, for the requests whose answer replaces the
// pair's value pointer; null when the list has no such pair.
NAMED_ARG* FindPair(NAMED_ARG* args, const char* name) {
  if (args == nullptr) return nullptr;
  for (NAMED_ARG* pair = args; pair->name != nullptr; ++pair) {
    if (std::strcmp(pair->name, name) == 0) return pair;
  }
  return nullptr;
}

}  // namespace

Host& Host::Instance() {
  static Host host;
  return host;
}

Host::Host() = default;

Host::~Host() {
  // Plug-ins go first: their objects may still refer to documents.
  UnloadPlugins();
  ReleaseWindow();
}

// ---------------------------------------------------------------- documents

Document* Host::NewDocument() {
  documents_.push_back(std::make_unique<Document>());
  return documents_.back().get();
}

void Host::CloseDocument(Document* document) {
  plugin_elements_.erase(document);
  undo_states_.erase(std::remove_if(undo_states_.begin(), undo_states_.end(),
                                    [document](const UndoState& s) { return s.document == document; }),
                     undo_states_.end());
  undo_position_ = static_cast<int>(undo_states_.size()) - 1;
  callbacks_.erase(std::remove_if(callbacks_.begin(), callbacks_.end(),
                                  [document](const StationCallback& c) { return c.document == document; }),
                   callbacks_.end());
  documents_.erase(std::remove_if(documents_.begin(), documents_.end(),
                                  [document](const std::unique_ptr<Document>& d) { return d.get() == document; }),
                   documents_.end());
}

XmlElement* Host::PluginElement(Document* document, uint32_t product, uint32_t id) {
  auto& element = plugin_elements_[document][{product, id}];
  if (!element) element = XmlElement::Create("Plugin");
  return element.get();
}

void Host::SetPluginElements(
    Document* document,
    std::map<std::pair<uint32_t, uint32_t>, std::unique_ptr<XmlElement>> elements) {
  plugin_elements_[document] = std::move(elements);
}

const std::map<std::pair<uint32_t, uint32_t>, std::unique_ptr<XmlElement>>& Host::PluginElements(
    Document* document) {
  return plugin_elements_[document];
}

// ---------------------------------------------------------------- free objects

Object* Host::CreateFreeObject() {
  auto object = std::make_unique<Object>();
  Object* raw = object.get();
  free_objects_[raw] = std::move(object);
  return raw;
}

std::unique_ptr<Object> Host::TakeFreeObject(Object* object) {
  auto it = free_objects_.find(object);
  if (it == free_objects_.end()) return nullptr;
  std::unique_ptr<Object> taken = std::move(it->second);
  free_objects_.erase(it);
  return taken;
}

bool Host::DeleteFreeObject(Object* object) { return free_objects_.erase(object) > 0; }

bool Host::IsFreeObject(const Object* object) const { return free_objects_.count(object) > 0; }

Material* Host::CreateFreeMaterial() {
  auto material = std::make_unique<Material>();
  Material* raw = material.get();
  free_materials_[raw] = std::move(material);
  return raw;
}

std::unique_ptr<Material> Host::TakeFreeMaterial(Material* material) {
  auto it = free_materials_.find(material);
  if (it == free_materials_.end()) return nullptr;
  std::unique_ptr<Material> taken = std::move(it->second);
  free_materials_.erase(it);
  return taken;
}

bool Host::DeleteFreeMaterial(Material* material) { return free_materials_.erase(material) > 0; }

bool Host::IsFreeMaterial(const Material* material) const {
  return free_materials_.count(material) > 0;
}

Document* Host::DocumentOf(const Object* object) const {
  if (object == nullptr) return nullptr;
  for (const auto& document : documents_) {
    if (document->IndexOf(object) >= 0) return document.get();
    for (const DrawingObject& drawing : document->drawing_objects()) {
      if (drawing.object.get() == object) return document.get();
    }
  }
  return nullptr;
}

// ---------------------------------------------------------------- plug-ins

std::string Host::OwnModulePath() {
  // The module that exports the host API: libmqhost.so natively, the
  // executable itself on Windows.
  return quorvel::platform::ModulePathOf(reinterpret_cast<const void*>(&MQDoc_GetObject));
}

PluginModule* Host::LoadPlugin(const std::string& path, std::string* error) {
  std::unique_ptr<PluginModule> plugin = PluginModule::Load(path, OwnModulePath(), error);
  if (!plugin) return nullptr;
  plugins_.push_back(std::move(plugin));
  return plugins_.back().get();
}

PluginModule* Host::AttachPlugin(const PluginEntryPoints& entry, const std::string& label,
                                 std::string* error) {
  std::unique_ptr<PluginModule> plugin = PluginModule::Attach(entry, label, OwnModulePath(), error);
  if (!plugin) return nullptr;
  plugins_.push_back(std::move(plugin));
  return plugins_.back().get();
}

void Host::UnloadPlugins() {
  callbacks_.clear();
  // In reverse order of loading, as a modeller shuts down.
  while (!plugins_.empty()) plugins_.pop_back();
}

bool Host::UnloadPlugin(PluginModule* plugin) {
  const auto it = std::find_if(plugins_.begin(), plugins_.end(),
                               [plugin](const std::unique_ptr<PluginModule>& p) { return p.get() == plugin; });
  if (it == plugins_.end()) return false;
  plugins_.erase(it);
  return true;
}

PluginModule* Host::FindPlugin(uint32_t product, uint32_t id) const {
  for (const auto& plugin : plugins_) {
    if (plugin->product() == product && plugin->id() == id) return plugin.get();
  }
  return nullptr;
}

BOOL Host::SendEvent(Document* document, int code, void* option, PluginModule* only) {
  Document* outer_document = event_document_;
  event_document_ = document;
  ++event_depth_;
  BOOL result = FALSE;
  if (only != nullptr) {
    result = only->OnEvent(ToHandle(document), code, option);
  } else {
    // A copy: a plug-in's event handler may not unload plug-ins, but keep
    // the walk independent of the list all the same.
    std::vector<PluginModule*> targets;
    for (const auto& plugin : plugins_) targets.push_back(plugin.get());
    for (PluginModule* plugin : targets) result = plugin->OnEvent(ToHandle(document), code, option);
  }
  --event_depth_;
  event_document_ = outer_document;
  if (event_depth_ == 0) {
    RunCallbacks(document);
    if (code == MQEVENT_DRAW && document != nullptr) {
      if (viewport_painter_) {
        // A copy: the painter may replace itself.
        const ViewportPainter painter = viewport_painter_;
        painter(*document);
      }
      document->DiscardInstantDrawing();
    }
  }
  return result;
}

// ---------------------------------------------------------------- requests

BOOL Host::HandleRequest(int code, HOST_REQUEST_INFO* info) {
  if (info == nullptr) return FALSE;
  NAMED_ARG* args = info->option;
  Document* document = FindDocument(static_cast<MQDocument>(FindNamedArg(args, "document")));
  switch (code) {
    case MQREQUEST_USER_MESSAGE: {
      const auto* target_product = ArgPointer<uint32_t>(args, "target_product");
      const auto* target_id = ArgPointer<uint32_t>(args, "target_id");
      if (target_product == nullptr || target_id == nullptr) return FALSE;
      PluginModule* target = FindPlugin(*target_product, *target_id);
      if (target == nullptr) return FALSE;
      int src_product = static_cast<int>(info->product);
      int src_id = static_cast<int>(info->plugin_id);
      int result = 0;
      NAMED_ARG event_args[] = {
          {"src_product", &src_product},
          {"src_id", &src_id},
          {"description", FindNamedArg(args, "description")},
          {"message", FindNamedArg(args, "message")},
          {"result", &result},
          {nullptr, nullptr},
      };
      SendEvent(document, MQEVENT_USER_MESSAGE, event_args, target);
      if (int* out = ArgPointer<int>(args, "result")) *out = result;
      return TRUE;
    }
    // The new handle replaces the value pointer of the "result" pair, which
    // the caller sends as null; without that pair nobody could ever own the
    // new object, so nothing is made.
    case MQREQUEST_NEW_DRAW_OBJECT: {
      NAMED_ARG* result = FindPair(args, "result");
      if (document == nullptr || result == nullptr) return FALSE;
      const int visibility = FindNamedInt(args, "visibility", kVisibleDefault);
      const bool instant = FindNamedInt(args, "instant", FALSE) != FALSE;
      result->value = ToHandle(document->CreateDrawingObject(visibility, instant));
      return TRUE;
    }
    case MQREQUEST_NEW_DRAW_MATERIAL: {
      NAMED_ARG* result = FindPair(args, "result");
      if (document == nullptr || result == nullptr) return FALSE;
      const bool instant = FindNamedInt(args, "instant", FALSE) != FALSE;
      int index = -1;
      Material* material = document->CreateDrawingMaterial(instant, &index);
      if (int* out = ArgPointer<int>(args, "index")) *out = index;
      result->value = ToHandle(material);
      return TRUE;
    }
    case MQREQUEST_DELETE_DRAW_OBJECT:
      return document != nullptr &&
                     document->DeleteDrawingObject(ToObject(static_cast<MQObject>(FindNamedArg(args, "object"))))
                 ? TRUE
                 : FALSE;
    case MQREQUEST_DELETE_DRAW_MATERIAL:
      return document != nullptr &&
                     document->DeleteDrawingMaterial(
                         ToMaterial(static_cast<MQMaterial>(FindNamedArg(args, "material"))))
                 ? TRUE
                 : FALSE;
    case MQREQUEST_UPDATE_UNDO: {
      Document* target = event_document_ != nullptr ? event_document_
                         : documents_.empty()        ? nullptr
                                                     : documents_.front().get();
      if (target == nullptr) return FALSE;
      RecordUndo(target);
      return TRUE;
    }
    case MQREQUEST_REDRAW_ALL_SCENE:
      ++redraw_requests_;
      return TRUE;
    default:
      return FALSE;
  }
}

BOOL Host::QueueCallback(MQStationCallbackProc proc, void* option) {
  if (proc == nullptr) return FALSE;
  callbacks_.push_back({proc, option, event_document_});
  return TRUE;
}

void Host::RunCallbacks(Document* document) {
  for (int round = 0; round < kMaxCallbackRounds && !callbacks_.empty(); ++round) {
    std::deque<StationCallback> pending;
    pending.swap(callbacks_);
    for (const StationCallback& callback : pending) {
      Document* target = callback.document != nullptr ? callback.document : document;
      ++event_depth_;
      callback.proc(ToHandle(target), callback.option);
      --event_depth_;
    }
  }
}

// ---------------------------------------------------------------- undo

int Host::RecordUndo(Document* document) {
  if (document == nullptr) return 0;
  // A new state ends the redo branch.
  if (undo_position_ + 1 < static_cast<int>(undo_states_.size())) {
    undo_states_.erase(undo_states_.begin() + (undo_position_ + 1), undo_states_.end());
  }
  UndoState state;
  state.number = next_undo_number_++;
  state.document = document;
  state.state = document->Capture();
  undo_states_.push_back(std::move(state));
  if (undo_states_.size() > kMaxUndoStates) undo_states_.erase(undo_states_.begin());
  undo_position_ = static_cast<int>(undo_states_.size()) - 1;

  int number = undo_states_.back().number;
  int count = static_cast<int>(undo_states_.size());
  NAMED_ARG args[] = {{"state", &number}, {"size", &count}, {nullptr, nullptr}};
  SendEvent(document, MQEVENT_UNDO_UPDATED, args);
  return number;
}

bool Host::Undo(Document* document) {
  if (undo_position_ <= 0 || undo_states_[static_cast<size_t>(undo_position_) - 1].document != document) {
    return false;
  }
  --undo_position_;
  const UndoState& state = undo_states_[static_cast<size_t>(undo_position_)];
  document->Restore(state.state);
  int number = state.number;
  NAMED_ARG args[] = {{"state", &number}, {nullptr, nullptr}};
  SendEvent(document, MQEVENT_UNDO, args);
  return true;
}

bool Host::Redo(Document* document) {
  if (undo_position_ + 1 >= static_cast<int>(undo_states_.size()) ||
      undo_states_[static_cast<size_t>(undo_position_) + 1].document != document) {
    return false;
  }
  ++undo_position_;
  const UndoState& state = undo_states_[static_cast<size_t>(undo_position_)];
  document->Restore(state.state);
  int number = state.number;
  NAMED_ARG args[] = {{"state", &number}, {nullptr, nullptr}};
  SendEvent(document, MQEVENT_REDO, args);
  return true;
}

}  // namespace mqhost
