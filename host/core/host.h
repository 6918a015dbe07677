#pragma once
// The substitute modeller itself: its documents, the objects that plug-ins
// create outside any document, the loaded plug-ins, and the requests, events,
// callbacks and undo states that pass between them. One per process, as the
// real modeller is; the exported host API reaches it through Instance().
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/core/document.h"
#include "host/files/xml_tree.h"
#include "sdk/mq_types.h"

namespace mqhost {

class PluginModule;
struct PluginEntryPoints;

// One queued MQ_StationCallback: run right after the event in progress.
struct StationCallback {
  MQStationCallbackProc proc = nullptr;
  void* option = nullptr;
  Document* document = nullptr;
};

class Host {
 public:
  static Host& Instance();

  Host();
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // ---------------------------------------------------------------- documents
  // The document that events are delivered for; the host keeps it.
  Document* NewDocument();
  void CloseDocument(Document* document);
  // Null for a handle that is no open document of this host.
  Document* FindDocument(MQDocument handle) const {
    for (const auto& document : documents_) {
      if (reinterpret_cast<MQDocument>(document.get()) == handle) return document.get();
    }
    return nullptr;
  }
  const std::vector<std::unique_ptr<Document>>& documents() const { return documents_; }

  // Each plug-in's XML element of a document, made on first use.
  XmlElement* PluginElement(Document* document, uint32_t product, uint32_t id);
  // Replaces every plug-in element of the document (after loading a file).
  void SetPluginElements(Document* document,
                         std::map<std::pair<uint32_t, uint32_t>, std::unique_ptr<XmlElement>> elements);
  const std::map<std::pair<uint32_t, uint32_t>, std::unique_ptr<XmlElement>>& PluginElements(
      Document* document);

  // ---------------------------------------------------------------- free objects
  // MQ_CreateObject: owned here until a document takes it or MQObj_Delete.
  Object* CreateFreeObject();
  std::unique_ptr<Object> TakeFreeObject(Object* object);
  // Destroys a free object; an object in a document, or a pointer the host
  // never handed out, is left alone and answers false.
  bool DeleteFreeObject(Object* object);
  bool IsFreeObject(const Object* object) const;
  // MQ_CreateMaterial: the same for materials, until MQDoc_AddMaterial takes
  // one or MQMat_Delete destroys it.
  Material* CreateFreeMaterial();
  std::unique_ptr<Material> TakeFreeMaterial(Material* material);
  bool DeleteFreeMaterial(Material* material);
  bool IsFreeMaterial(const Material* material) const;

  // Finds the document that holds an object handle (listed or drawing object).
  Document* DocumentOf(const Object* object) const;

  // ---------------------------------------------------------------- plug-ins
  // Loads a module: MQCheckVersion, MQInit with the host's own module path,
  // identification. Null and a message on failure.
  PluginModule* LoadPlugin(const std::string& path, std::string* error);
  // A plug-in inside this program, given by its entry points (see
  // PluginEntryPoints); the same steps as loading a module.
  PluginModule* AttachPlugin(const PluginEntryPoints& entry, const std::string& label,
                             std::string* error);
  void UnloadPlugins();
  // Unloads one module (one that failed to initialise); false when it is not
  // one of this host's.
  bool UnloadPlugin(PluginModule* plugin);
  const std::vector<std::unique_ptr<PluginModule>>& plugins() const { return plugins_; }
  PluginModule* FindPlugin(uint32_t product, uint32_t id) const;

  // Delivers an event to every plug-in (or one), then runs the queued
  // station callbacks and, after a draw event, paints the viewport (below)
  // and discards instant drawing. Answers the last plug-in's result.
  BOOL SendEvent(Document* document, int code, void* option, PluginModule* only = nullptr);

  // What paints the viewport of a document when a draw event is over: after
  // the station callbacks, so edits made there show, and before the frame's
  // instant drawing objects go, so what the plug-ins drew shows too. Empty:
  // nothing is painted (the host then has no picture to keep up to date).
  using ViewportPainter = std::function<void(Document& document)>;
  void SetViewportPainter(ViewportPainter painter) { viewport_painter_ = std::move(painter); }

  // Path of the module that exports the host API (what MQInit receives).
  static std::string OwnModulePath();

  // ---------------------------------------------------------------- requests
  BOOL HandleRequest(int code, HOST_REQUEST_INFO* info);
  BOOL QueueCallback(MQStationCallbackProc proc, void* option);
  void RunCallbacks(Document* document);
  void RefreshView() { ++refresh_count_; }
  void* WindowHandle();
  // The interactive host's own main window, which plug-ins then own their
  // panels by; null goes back to the hidden window made on first use.
  void SetWindowHandle(void* window);
  int refresh_count() const { return refresh_count_; }
  int redraw_requests() const { return redraw_requests_; }

  // ---------------------------------------------------------------- undo
  // Records the document and tells the plug-ins (event 212).
  int RecordUndo(Document* document);
  bool Undo(Document* document);
  bool Redo(Document* document);
  int undo_position() const { return undo_position_; }
  int undo_state_count() const { return static_cast<int>(undo_states_.size()); }
  // The number of the state the document is in now; 0 before the first.
  int current_undo_number() const {
    return undo_position_ >= 0 ? undo_states_[static_cast<size_t>(undo_position_)].number : 0;
  }

 private:
  void ReleaseWindow();

  std::vector<std::unique_ptr<Document>> documents_;
  std::map<Document*, std::map<std::pair<uint32_t, uint32_t>, std::unique_ptr<XmlElement>>>
      plugin_elements_;
  std::map<const Object*, std::unique_ptr<Object>> free_objects_;
  std::map<const Material*, std::unique_ptr<Material>> free_materials_;
  std::vector<std::unique_ptr<PluginModule>> plugins_;
  std::deque<StationCallback> callbacks_;
  Document* event_document_ = nullptr;
  int event_depth_ = 0;
  int refresh_count_ = 0;
  int redraw_requests_ = 0;
  void* window_ = nullptr;
  bool own_window_ = false;  // window_ was made here, and is destroyed here
  ViewportPainter viewport_painter_;

  struct UndoState {
    int number = 0;
    Document* document = nullptr;
    Document::State state;
  };
  std::vector<UndoState> undo_states_;
  int undo_position_ = -1;
  int next_undo_number_ = 1;
};

}  // namespace mqhost
