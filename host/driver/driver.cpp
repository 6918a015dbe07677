#include "host/driver/driver.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <utility>

#include "host/core/api.h"
#include "host/core/host.h"
#include "host/core/plugin_module.h"
#include "host/driver/document_io.h"
#include "host/driver/quorvel_messages.h"
#include "host/driver/script.h"
#include "host/events/events.h"
#include "host/peer/peer_client.h"
#include "host/render/renderer.h"

namespace mqhost {

namespace {

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof(text), "0x%08X", value);
  return text;
}

const char* Bool(BOOL value) { return value != FALSE ? "TRUE" : "FALSE"; }

std::string Count(size_t n, const char* noun) {
  return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

std::string Vertices(size_t n) { return std::to_string(n) + (n == 1 ? " vertex" : " vertices"); }

const char* KindName(int kind) {
  switch (kind) {
    case MQPLUGIN_TYPE_IMPORT: return "import";
    case MQPLUGIN_TYPE_EXPORT: return "export";
    case MQPLUGIN_TYPE_CREATE: return "create";
    case MQPLUGIN_TYPE_OBJECT: return "object";
    case MQPLUGIN_TYPE_SELECT: return "select";
    case MQPLUGIN_TYPE_STATION: return "station";
    case MQPLUGIN_TYPE_COMMAND: return "command";
    default: return "unknown";
  }
}

std::string Label(const PluginModule* plugin) {
  if (!plugin->enum_string().empty()) return plugin->enum_string();
  const auto slash = plugin->path().find_last_of("/\\");
  return slash == std::string::npos ? plugin->path() : plugin->path().substr(slash + 1);
}

const char* MouseEventName(int code) {
  switch (code) {
    case MQEVENT_LBUTTON_DOWN: return "left button down";
    case MQEVENT_LBUTTON_MOVE: return "left button move";
    case MQEVENT_LBUTTON_UP: return "left button up";
    case MQEVENT_MBUTTON_DOWN: return "middle button down";
    case MQEVENT_MBUTTON_MOVE: return "middle button move";
    case MQEVENT_MBUTTON_UP: return "middle button up";
    case MQEVENT_RBUTTON_DOWN: return "right button down";
    case MQEVENT_RBUTTON_MOVE: return "right button move";
    case MQEVENT_RBUTTON_UP: return "right button up";
    case MQEVENT_MOUSE_MOVE: return "mouse move";
    case MQEVENT_MOUSE_WHEEL: return "mouse wheel";
    default: return "mouse";
  }
}

// A text field of a record, up to its terminator or its end.
template <size_t N>
std::string FieldText(const char (&field)[N]) {
  return std::string(field, strnlen(field, N));
}

// A JSON string; bytes that are not UTF-8 become U+FFFD, so that a name in
// another code page still gives a file every reader takes.
void AppendJsonString(std::string* json, const std::string& text) {
  *json += '"';
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '"' || c == '\\') {
      *json += '\\';
      *json += static_cast<char>(c);
      ++i;
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      *json += escaped;
      ++i;
    } else if (c < 0x80) {
      *json += static_cast<char>(c);
      ++i;
    } else {
      // A well-formed sequence: its lead byte, its length and the continuation bytes.
      const size_t length = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
      bool good = length > 0 && i + length <= text.size();
      for (size_t k = 1; good && k < length; ++k) {
        good = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
      }
      if (good && length >= 3) {
        // No overlong forms, surrogates or code points past U+10FFFF.
        const unsigned char next = static_cast<unsigned char>(text[i + 1]);
        good = !(c == 0xE0 && next < 0xA0) && !(c == 0xED && next >= 0xA0) && !(c == 0xF0 && next < 0x90) &&
               !(c == 0xF4 && next >= 0x90);
      }
      if (good) {
        json->append(text, i, length);
        i += length;
      } else {
        *json += "\xEF\xBF\xBD";
        ++i;
      }
    }
  }
  *json += '"';
}

void AppendJsonNumber(std::string* json, float value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
  *json += text;
}

// Whether a rendering model's object was made from a document object: the
// same vertex count and the same faces (the model copies both in order).
bool SameTopology(const Object& copy, const Object& source) {
  if (copy.vertices.size() != source.vertices.size() || copy.faces.size() != source.faces.size()) return false;
  for (size_t f = 0; f < copy.faces.size(); ++f) {
    if (copy.faces[f].points != source.faces[f].points) return false;
  }
  return true;
}

// One run of plug-ins against one document. Whatever happens, the destructor
// ends the document and lets the plug-ins exit and unload.
class Session {
 public:
  Session(Host& host, std::ostream& out) : host_(host), out_(out) {}
  ~Session() { Close(); }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  bool LoadPlugins(const std::vector<std::string>& paths, std::string* error) {
    for (const std::string& path : paths) {
      PluginModule* plugin = Load(path, error);
      if (plugin == nullptr) return false;
      main_plugins_.push_back(plugin);
    }
    return true;
  }

  // A plug-in inside this program, by its entry points.
  bool Attach(const PluginEntryPoints& entry, const std::string& label, std::string* error) {
    PluginModule* plugin = host_.AttachPlugin(entry, label, error);
    if (plugin == nullptr) return false;
    out_ << "attached " << label << "\n";
    PrintIdentity(plugin);
    main_plugins_.push_back(plugin);
    return true;
  }

  Document* document() const { return document_; }

  bool LoadPeer(const std::string& path, std::string* error) {
    PluginModule* peer = PeerClient::FindPeer(host_);
    if (peer == nullptr) peer = Load(path.empty() ? PeerClient::DefaultPath() : path, error);
    if (peer == nullptr) return false;
    if (peer->product() != quorvel_peer::kProductId || peer->id() != quorvel_peer::kPluginId) {
      *error = peer->path() + " is not the peer plug-in (product " + Hex(peer->product()) + ", id " +
               Hex(peer->id()) + ")";
      return false;
    }
    peer_ = peer;
    return true;
  }

  void Initialize() {
    for (const auto& plugin : host_.plugins()) {
      out_ << "initialize " << Label(plugin.get()) << ": "
           << Bool(SendInitialize(host_, plugin.get())) << "\n";
    }
    initialized_ = true;
  }

  bool OpenDocument(const std::string& path, const ViewOptions& view, std::string* error) {
    document_ = host_.NewDocument();
    if (!path.empty()) {
      if (!mqhost::OpenDocument(host_, document_, path, error)) return false;
      int objects = 0;
      for (int i = 0; i < document_->ObjectCount(); ++i) objects += document_->ObjectAt(i) != nullptr;
      out_ << "document " << path << ": " << Count(objects, "object") << ", "
           << Count(document_->MaterialCount(), "material") << "\n";
    } else {
      out_ << "document: new and empty\n";
    }
    ApplyView(view);
    for (const auto& plugin : host_.plugins()) {
      out_ << "new document for " << Label(plugin.get()) << ": "
           << Bool(SendNewDocument(host_, document_, path, plugin.get())) << "\n";
    }
    // The state the document was opened in, as the modeller keeps it: the
    // first edit can be undone.
    host_.RecordUndo(document_);
    document_announced_ = true;
    return true;
  }

  // Runs one command; false with the reason (without file and line) when the
  // document does not allow it.
  bool Run(const ScriptCommand& command, const std::string& where, std::string* error) {
    out_ << where << ": ";
    switch (command.kind) {
      case ScriptCommandKind::kActivate:
      case ScriptCommandKind::kDeactivate: {
        const bool activate = command.kind == ScriptCommandKind::kActivate;
        out_ << (activate ? "activate" : "deactivate");
        PrintEach(main_plugins_, [&](PluginModule* p) { return SendActivate(host_, document_, activate, p); });
        return true;
      }
      case ScriptCommandKind::kDraw: {
        const int width = command.width > 0 ? command.width : document_->camera.width;
        const int height = command.height > 0 ? command.height : document_->camera.height;
        SendDraw(host_, document_, width, height);
        out_ << "draw " << width << " x " << height << ": "
             << Count(document_->drawing_objects().size(), "drawing object") << " kept\n";
        return true;
      }
      case ScriptCommandKind::kMouse: {
        PointerInput input;
        input.x = command.x;
        input.y = command.y;
        input.wheel = command.wheel;
        input.flags = command.flags;
        out_ << MouseEventName(command.event_code) << " at " << command.x << ", " << command.y;
        if (command.event_code == MQEVENT_MOUSE_WHEEL) out_ << " by " << command.wheel;
        PrintEach(CommandPlugins(),
                  [&](PluginModule* p) { return SendMouse(host_, document_, command.event_code, input, p); });
        return true;
      }
      case ScriptCommandKind::kKey: {
        const bool down = command.event_code == MQEVENT_KEY_DOWN;
        out_ << "key " << (down ? "down " : "up ") << Hex(static_cast<uint32_t>(command.key));
        PrintEach(CommandPlugins(), [&](PluginModule* p) {
          return SendKey(host_, document_, down, command.key, command.flags, p);
        });
        return true;
      }
      case ScriptCommandKind::kCameraPosition:
      case ScriptCommandKind::kCameraTarget: {
        const bool position = command.kind == ScriptCommandKind::kCameraPosition;
        FVECTOR3& point = position ? document_->camera.position : document_->camera.look_at;
        point = FVECTOR3{command.values[0], command.values[1], command.values[2]};
        out_ << "camera " << (position ? "position " : "target ") << command.values[0] << " "
             << command.values[1] << " " << command.values[2] << "\n";
        SendScene(host_, document_);
        return true;
      }
      case ScriptCommandKind::kCameraOrtho:
      case ScriptCommandKind::kCameraPerspective: {
        const bool ortho = command.kind == ScriptCommandKind::kCameraOrtho;
        document_->camera.orthographic = ortho;
        (ortho ? document_->camera.ortho_height : document_->camera.fov_degrees) = command.values[0];
        out_ << "camera " << (ortho ? "ortho " : "perspective ") << command.values[0] << "\n";
        SendScene(host_, document_);
        return true;
      }
      case ScriptCommandKind::kSelect:
      case ScriptCommandKind::kDeselect: {
        const bool select = command.kind == ScriptCommandKind::kSelect;
        if (!CheckObject(command.object, error)) return false;
        if (command.vertex >= static_cast<int>(document_->ObjectAt(command.object)->vertices.size())) {
          *error = "object " + std::to_string(command.object) + " has no vertex " +
                   std::to_string(command.vertex);
          return false;
        }
        document_->SetSelected(command.object, command.vertex, select);
        out_ << (select ? "select" : "deselect") << " vertex " << command.vertex << " of object "
             << command.object << "\n";
        SendObjectSelected(host_, document_);
        return true;
      }
      case ScriptCommandKind::kCurrent:
        if (!CheckObject(command.object, error)) return false;
        document_->current_object = command.object;
        out_ << "current object " << command.object << "\n";
        SendObjectListChanged(host_, document_);
        return true;
      case ScriptCommandKind::kMessage:
        return Message(command, error);
      case ScriptCommandKind::kUndo:
      case ScriptCommandKind::kRedo: {
        const bool undo = command.kind == ScriptCommandKind::kUndo;
        const bool done = undo ? host_.Undo(document_) : host_.Redo(document_);
        out_ << (undo ? "undo: " : "redo: ");
        if (done) {
          out_ << "state " << host_.undo_position() + 1 << " of " << host_.undo_state_count() << "\n";
        } else {
          out_ << (undo ? "nothing to undo\n" : "nothing to redo\n");
        }
        return true;
      }
      case ScriptCommandKind::kSave:
        Save(command.text);
        return true;
      case ScriptCommandKind::kRender:
        return Render(command.text, error);
      case ScriptCommandKind::kEcho:
        out_ << command.text << "\n";
        return true;
      case ScriptCommandKind::kUserData:
        if (!CheckObject(command.object, error)) return false;
        PrintUserData(command.object, command.text);
        return true;
      case ScriptCommandKind::kExportGltf:
      case ScriptCommandKind::kImportGltf: {
        // What Quorvel answers is the result, whether or not it wrote or read
        // anything: a script that checks bad files goes on after each.
        std::string failure;
        return GltfFile(command.kind == ScriptCommandKind::kExportGltf, command.text, command.unit_scale,
                        &failure, error);
      }
      case ScriptCommandKind::kPose:
      case ScriptCommandKind::kPoses:
        return Pose(command, error);
      case ScriptCommandKind::kPosedModel:
        return PosedModel(command.text, error);
      case ScriptCommandKind::kAutoWeights:
      case ScriptCommandKind::kMirrorWeights:
      case ScriptCommandKind::kSmoothWeights:
      case ScriptCommandKind::kLimitWeights:
      case ScriptCommandKind::kMirrorPose:
      case ScriptCommandKind::kMirrorBones:
        return Rigging(command, error);
    }
    return true;
  }

  void Save(const std::string& path) {
    const SaveOutcome outcome = SendSaveDocument(host_, document_, path);
    out_ << "save " << path;
    if (!host_.plugins().empty()) {
      out_ << " (event 202 answered " << Bool(outcome.answer);
      if (outcome.save_unique_ids) out_ << "; a plug-in asked to keep unique ids";
      out_ << ")";
    }
    out_ << "\n";
    outputs_.emplace_back(path, DocumentFileText(host_, document_));
  }

  // A picture of the view now: a draw event for the frame, and the picture
  // painted when the plug-ins have drawn, before their instant drawing
  // objects go. Kept as PNG and written at the end, like every output.
  bool Render(const std::string& path, std::string* error) {
    std::string reason;
    if (!renderer_) renderer_ = ViewportRenderer::Create(&reason);
    if (!renderer_) {
      *error = "cannot take a picture: " + reason;
      return false;
    }
    Image picture;
    bool painted = false;
    size_t drawing_objects = 0;
    reason = "the draw event did not reach the view";
    {
      const PainterScope scope(host_, [&](Document& document) {
        if (&document != document_) return;
        drawing_objects = document.drawing_objects().size();
        painted = renderer_->Render(document, &picture, &reason);
      });
      SendDraw(host_, document_, document_->camera.width, document_->camera.height);
    }
    std::string png;
    if (painted && !EncodePng(picture, &png)) {
      painted = false;
      reason = "it could not be encoded as PNG";
    }
    if (!painted) {
      *error = "cannot take a picture: " + reason;
      return false;
    }
    out_ << "render " << path << ": " << picture.width() << " x " << picture.height() << ", "
         << Count(drawing_objects, "drawing object") << " of plug-ins\n";
    outputs_.emplace_back(path, std::move(png));
    return true;
  }

  void ExportObj(const std::string& path) {
    out_ << "export " << path << " as OBJ\n";
    outputs_.emplace_back(path, ObjFileText(*document_));
  }

  // The last rendering model the peer received and still holds, as OBJ.
  bool ExportModel(const std::string& path, std::string* error) {
    quorvel_peer::PeerReceivedRecord last;
    const quorvel_peer::RenderingModelView* model = nullptr;
    if (peer_ != nullptr) {
      PeerClient peer(host_, peer_);
      for (int i = peer.ReceivedCount(document_) - 1; i >= 0 && model == nullptr; --i) {
        if (peer.Received(document_, i, &last) && last.message != nullptr) {
          model = static_cast<const quorvel_peer::RenderingModelView*>(last.message);
        }
      }
    }
    if (model == nullptr) {
      *error = "--export-model: the peer holds no rendering model (ask for one with "
               "\"message PRODUCT ID GetRenderingModel\")";
      return false;
    }
    Document copies;
    for (int i = 0; i < model->object_count; ++i) {
      const Object* object = model->objects != nullptr ? ToObject(model->objects[i]) : nullptr;
      if (object == nullptr) continue;
      std::unique_ptr<Object> copy = object->Clone();
      if (copy->name.empty()) copy->name = "model" + std::to_string(i);
      copies.AddObject(std::move(copy));
    }
    out_ << "export the rendering model from " << Hex(last.src_product) << ":" << Hex(last.src_id)
         << " (" << Count(static_cast<size_t>(std::max(model->object_count, 0)), "object") << ") to " << path << " as OBJ\n";
    outputs_.emplace_back(path, ObjFileText(copies));
    return true;
  }

  // Quorvel among the plug-ins: loaded from beside the host module when no
  // --plugin was it.
  bool LoadQuorvel(std::string* error) {
    if (host_.FindPlugin(quorvel_plugin::kProductId, quorvel_plugin::kPluginId) != nullptr) return true;
    const std::string host_path = Host::OwnModulePath();
    const auto slash = host_path.find_last_of("/\\");
    const std::string folder = slash == std::string::npos ? std::string() : host_path.substr(0, slash + 1);
    PluginModule* plugin = Load(folder + QUORVEL_PLUGIN_FILE_NAME, error);
    if (plugin == nullptr) return false;
    if (plugin->product() != quorvel_plugin::kProductId || plugin->id() != quorvel_plugin::kPluginId) {
      *error = plugin->path() + " is not Quorvel (product " + Hex(plugin->product()) + ", id " +
               Hex(plugin->id()) + ")";
      return false;
    }
    main_plugins_.push_back(plugin);
    return true;
  }

  // "export-gltf" and "import-gltf" (and --export-gltf): one line with what
  // Quorvel wrote or read, or why it did nothing; that reason is also left
  // in *failure (empty when it did its work). False only when Quorvel could
  // not be asked.
  bool GltfFile(bool exporting, const std::string& path, float unit_scale, std::string* failure,
                std::string* error) {
    quorvel_plugin::GltfFileRecord record{};
    if (path.size() >= sizeof record.path) {
      *error = path + ": the path is longer than the " + std::to_string(sizeof record.path - 1) +
               " bytes Quorvel takes";
      return false;
    }
    std::memcpy(record.path, path.c_str(), path.size() + 1);
    record.unit_scale = unit_scale;
    int answer = 0;
    const char* command = exporting ? "export-gltf " : "import-gltf ";
    if (!AskQuorvel(exporting ? quorvel_plugin::kExportGltf : quorvel_plugin::kImportGltf, &record, &answer,
                    error)) {
      return false;
    }
    const std::string message = FieldText(record.message);
    out_ << command << path << ": ";
    if (answer == 0) {
      *failure = message.empty() ? std::string("Quorvel did nothing and gave no reason") : message;
      out_ << "failed: " << *failure << "\n";
      return true;
    }
    failure->clear();
    out_ << Count(static_cast<size_t>(std::max(record.objects, 0)), "object") << ", "
         << Count(static_cast<size_t>(std::max(record.joints, 0)), "joint") << ", "
         << Vertices(static_cast<size_t>(std::max(record.vertices, 0))) << ", "
         << Count(static_cast<size_t>(std::max(record.targets, 0)), "morph target") << ", "
         << Count(static_cast<size_t>(std::max(record.animations, 0)), exporting ? "animation" : "pose")
         << "\n";
    // After an import, what was read with a loss.
    PrintIndented(message);
    return true;
  }

  // The weight and bone tools: one line with what Quorvel did, or why it
  // did nothing, and what it left undone below. Quorvel's refusal is the
  // result, not a failure of the script; an object the document does not
  // have is the script's mistake, as for every other command.
  bool Rigging(const ScriptCommand& command, std::string* error) {
    const RiggingSettings& settings = command.rigging;
    const char* const kMirrorWeightsModes[] = {"+x", "-x"};
    const char* const kMirrorPoseModes[] = {"bone", "+x", "-x", "flip"};
    const char* description = nullptr;
    std::string title;
    const char* const* modes = nullptr;  // the words of the modes the tool has, in order
    int mode_count = 0;
    bool bones = false;  // what `changed` counts
    const char* done = "written";
    switch (command.kind) {
      case ScriptCommandKind::kAutoWeights:
        description = quorvel_plugin::kAutoWeights;
        title = "auto-weights";
        break;
      case ScriptCommandKind::kMirrorWeights:
        description = quorvel_plugin::kMirrorWeights;
        title = "mirror-weights";
        modes = kMirrorWeightsModes;
        mode_count = 2;
        break;
      case ScriptCommandKind::kSmoothWeights:
        description = quorvel_plugin::kSmoothWeights;
        title = "smooth-weights";
        done = "changed";
        break;
      case ScriptCommandKind::kLimitWeights:
        description = quorvel_plugin::kLimitWeights;
        title = "limit-weights " + std::to_string(settings.max_bones);
        done = "changed";
        break;
      case ScriptCommandKind::kMirrorPose:
        description = quorvel_plugin::kMirrorPose;
        title = "mirror-pose";
        modes = kMirrorPoseModes;
        mode_count = 4;
        bones = true;
        done = "posed";
        break;
      case ScriptCommandKind::kMirrorBones:
        description = quorvel_plugin::kMirrorBones;
        title = "mirror-bones";
        bones = true;
        done = "made";
        break;
      default:
        *error = "not a weight or bone tool";
        return false;
    }
    if (settings.mode != 0 && (settings.mode < 0 || settings.mode >= mode_count)) {
      *error = title + " has no mode " + std::to_string(settings.mode);
      return false;
    }
    if (modes != nullptr) title += std::string(" ") + modes[settings.mode];

    quorvel_plugin::RiggingRecord record{};
    if (command.object >= 0) {
      if (!CheckObject(command.object, error)) return false;
      // 0 and -1 would name the current object.
      const uint32_t uid = document_->ObjectAt(command.object)->uid;
      if (uid == 0 || uid == UINT32_MAX) {
        *error = "object " + std::to_string(command.object) + " has no unique id";
        return false;
      }
      record.object = static_cast<int32_t>(uid);
    }
    record.selected_only = settings.selected_only ? 1 : 0;
    record.mode = settings.mode;
    record.resolution = settings.resolution;
    record.falloff = settings.falloff;
    record.max_bones = settings.max_bones;
    record.iterations = settings.iterations;
    record.strength = settings.strength;
    record.tolerance = settings.tolerance;
    int answer = 0;
    if (!AskQuorvel(description, &record, &answer, error)) return false;
    const std::string message = FieldText(record.message);
    out_ << title << ": ";
    if (answer == 0) {
      out_ << "failed: " << (message.empty() ? "Quorvel did nothing and gave no reason" : message) << "\n";
      return true;
    }
    const size_t changed = static_cast<size_t>(std::max(record.changed, 0));
    out_ << (bones ? Count(changed, "bone") : Vertices(changed)) << " " << done;
    if (record.unmatched > 0) out_ << ", " << record.unmatched << " without a mirror";
    out_ << "\n";
    PrintIndented(message);
    return true;
  }

  // "pose N" and "poses": the pose list as Quorvel holds it. A position the
  // list does not have is the script's mistake.
  bool Pose(const ScriptCommand& command, std::string* error) {
    const bool set = command.kind == ScriptCommandKind::kPose;
    quorvel_plugin::PoseRecord record{};
    record.position = set ? command.position : -1;
    int answer = 0;
    if (!AskQuorvel(set ? quorvel_plugin::kSetCurrentPose : quorvel_plugin::kGetPoseCount, &record, &answer,
                    error)) {
      return false;
    }
    if (set && (answer == 0 || record.position != command.position)) {
      // The list's length as Quorvel tells it, apart from the refused record.
      quorvel_plugin::PoseRecord list{};
      list.position = -1;
      int listed = 0;
      const bool told = AskQuorvel(quorvel_plugin::kGetPoseCount, &list, &listed, error) && listed != 0;
      *error = "Quorvel has no pose " + std::to_string(command.position) +
               (told ? " (its list holds " + Count(static_cast<size_t>(std::max(list.count, 0)), "pose") + ")" : "");
      return false;
    }
    if (!set && answer == 0) {
      *error = "Quorvel did not tell its poses";
      return false;
    }
    const std::string name = FieldText(record.name);
    if (set) {
      out_ << "pose " << record.position << ": \"" << name << "\" is current (the list holds "
           << Count(static_cast<size_t>(std::max(record.count, 0)), "pose") << ")\n";
    } else {
      out_ << "poses: " << record.count << "; current: ";
      if (record.position < 0) {
        out_ << "none\n";
      } else {
        out_ << record.position << " \"" << name << "\"\n";
      }
    }
    return true;
  }

  // "posed-model FILE": the model Quorvel lends another plug-in, as JSON
  // kept until the end, then handed back. Each of its objects is named after
  // the document object it was made from: the model holds the shown objects
  // in document order, with their vertices and faces as they are.
  bool PosedModel(const std::string& path, std::string* error) {
    if (!QuorvelReachable(error)) return false;
    PeerClient peer(host_, peer_);
    const int before = peer.ReceivedCount(document_);
    int answer = 0;
    if (!AskQuorvel(quorvel_plugin::kGetRenderingModel, nullptr, &answer, error)) return false;
    const quorvel_peer::RenderingModelView* model = nullptr;
    const int after = peer.ReceivedCount(document_);
    for (int i = before; i < after && model == nullptr; ++i) {
      quorvel_peer::PeerReceivedRecord received;
      if (peer.Received(document_, i, &received) && received.message != nullptr) {
        model = static_cast<const quorvel_peer::RenderingModelView*>(received.message);
      }
    }
    if (model == nullptr) {
      *error = "Quorvel sent no posed model (it answered " + std::to_string(answer) + ")";
      return false;
    }
    std::string json = "{\"objects\": [";
    size_t vertices = 0;
    int objects = 0;
    int next_source = 0;
    for (int i = 0; i < model->object_count; ++i) {
      const Object* copy = model->objects != nullptr ? ToObject(model->objects[i]) : nullptr;
      if (copy == nullptr) continue;
      int index = -1;
      for (int d = next_source; d < document_->ObjectCount() && index < 0; ++d) {
        const Object* source = document_->ObjectAt(d);
        if (source != nullptr && SameTopology(*copy, *source)) index = d;
      }
      const Object* source = index >= 0 ? document_->ObjectAt(index) : nullptr;
      if (index >= 0) next_source = index + 1;
      json += objects++ == 0 ? "\n  {\"name\": " : ",\n  {\"name\": ";
      AppendJsonString(&json, source != nullptr ? source->name : std::string());
      json += ", \"index\": " + std::to_string(index) + ",\n   \"rest\": [";
      for (size_t v = 0; source != nullptr && v < source->vertices.size(); ++v) {
        const MQPoint& p = source->vertices[v].position;
        if (v > 0) json += ", ";
        AppendJsonNumber(&json, p.x);
        json += ", ";
        AppendJsonNumber(&json, p.y);
        json += ", ";
        AppendJsonNumber(&json, p.z);
      }
      json += "],\n   \"vertices\": [";
      for (size_t v = 0; v < copy->vertices.size(); ++v) {
        const MQPoint& p = copy->vertices[v].position;
        if (v > 0) json += ", ";
        AppendJsonNumber(&json, p.x);
        json += ", ";
        AppendJsonNumber(&json, p.y);
        json += ", ";
        AppendJsonNumber(&json, p.z);
      }
      vertices += copy->vertices.size();
      json += "],\n   \"faces\": [";
      for (size_t f = 0; f < copy->faces.size(); ++f) {
        json += f > 0 ? ", [" : "[";
        for (size_t k = 0; k < copy->faces[f].points.size(); ++k) {
          if (k > 0) json += ", ";
          json += std::to_string(copy->faces[f].points[k]);
        }
        json += "]";
      }
      json += "]}";
    }
    json += "\n]}\n";
    const int returned = peer.ReturnModels(document_);
    out_ << "posed-model " << path << ": " << Count(static_cast<size_t>(objects), "object") << ", "
         << Vertices(vertices) << "; " << Count(static_cast<size_t>(returned), "model")
         << " handed back\n";
    outputs_.emplace_back(path, std::move(json));
    return true;
  }

  // Ends the document, lets every plug-in exit and unloads them.
  void Close() {
    if (document_ != nullptr) {
      if (document_announced_) {
        if (peer_ != nullptr) {
          // Models handed to the peer go back while their sender still has
          // its document.
          const int returned = PeerClient(host_, peer_).ReturnModels(document_);
          if (returned > 0) out_ << "the peer handed back " << Count(returned, "model") << "\n";
        }
        const BOOL answer = SendEndDocument(host_, document_);
        if (!host_.plugins().empty()) out_ << "end document: " << Bool(answer) << "\n";
      }
      host_.CloseDocument(document_);
      document_ = nullptr;
    }
    if (initialized_) {
      for (const auto& plugin : host_.plugins()) {
        out_ << "exit " << Label(plugin.get()) << ": " << Bool(SendExit(host_, plugin.get())) << "\n";
      }
      initialized_ = false;
    }
    if (!host_.plugins().empty()) {
      out_ << "unloaded " << Count(host_.plugins().size(), "plug-in module") << "\n";
      host_.UnloadPlugins();
    }
    main_plugins_.clear();
    peer_ = nullptr;
  }

  bool WriteOutputs(std::string* error) {
    // A folder that is not there fails every file before any is written.
    for (const auto& output : outputs_) {
      const std::filesystem::path folder = std::filesystem::path(output.first).parent_path();
      std::error_code ignored;
      if (!folder.empty() && !std::filesystem::is_directory(folder, ignored)) {
        *error = output.first + ": cannot write (there is no folder " + folder.string() + ")";
        return false;
      }
    }
    for (const auto& [path, text] : outputs_) {
      if (!WriteOutputFile(path, text, error)) return false;
      out_ << "wrote " << path << "\n";
    }
    return true;
  }

 private:
  PluginModule* Load(const std::string& path, std::string* error) {
    std::string reason;
    PluginModule* plugin = host_.LoadPlugin(path, &reason);
    if (plugin == nullptr) {
      // The host's reasons name the module already.
      *error = reason.find(path) != std::string::npos ? reason : path + ": " + reason;
      return nullptr;
    }
    for (const auto& other : host_.plugins()) {
      if (other.get() != plugin && other->product() == plugin->product() && other->id() == plugin->id()) {
        *error = path + ": a plug-in with product " + Hex(plugin->product()) + " and id " +
                 Hex(plugin->id()) + " is already loaded from " + other->path();
        return nullptr;
      }
    }
    out_ << "loaded " << path << "\n";
    PrintIdentity(plugin);
    return plugin;
  }

  void PrintIdentity(const PluginModule* plugin) {
    out_ << "  name \"" << plugin->name() << "\", command \"" << plugin->enum_string() << "\", "
         << KindName(plugin->type()) << " plug-in (kind " << plugin->type() << "), product "
         << Hex(plugin->product()) << ", id " << Hex(plugin->id()) << ", interface " << Hex(plugin->version())
         << "\n";
  }

  // Mouse and key events go only to command plug-ins, as the modeller sends
  // them to the command in use.
  std::vector<PluginModule*> CommandPlugins() const {
    std::vector<PluginModule*> plugins;
    for (PluginModule* plugin : main_plugins_) {
      if (plugin->type() == MQPLUGIN_TYPE_COMMAND) plugins.push_back(plugin);
    }
    return plugins;
  }

  template <typename Send>
  void PrintEach(const std::vector<PluginModule*>& plugins, Send send) {
    if (plugins.empty()) {
      out_ << ": no plug-in takes it\n";
      return;
    }
    const char* separator = ": ";
    for (PluginModule* plugin : plugins) {
      out_ << separator << Label(plugin) << " " << Bool(send(plugin));
      separator = ", ";
    }
    out_ << "\n";
  }

  // Sets the painter for the life of the object.
  class PainterScope {
   public:
    PainterScope(Host& host, Host::ViewportPainter painter) : host_(host) {
      host_.SetViewportPainter(std::move(painter));
    }
    ~PainterScope() { host_.SetViewportPainter(nullptr); }
    PainterScope(const PainterScope&) = delete;
    PainterScope& operator=(const PainterScope&) = delete;

   private:
    Host& host_;
  };

  // The command line's view, before the plug-ins see the document.
  void ApplyView(const ViewOptions& view) {
    if (view.empty()) return;
    Camera& camera = document_->camera;
    if (view.width > 0) {
      camera.width = view.width;
      camera.height = view.height;
    }
    if (view.position) camera.position = FVECTOR3((*view.position)[0], (*view.position)[1], (*view.position)[2]);
    if (view.target) camera.look_at = FVECTOR3((*view.target)[0], (*view.target)[1], (*view.target)[2]);
    if (view.perspective_fov) {
      camera.orthographic = false;
      camera.fov_degrees = *view.perspective_fov;
    }
    if (view.ortho_height) {
      camera.orthographic = true;
      camera.ortho_height = *view.ortho_height;
    }
    out_ << "view " << camera.width << " x " << camera.height << ", camera at " << camera.position.x << " "
         << camera.position.y << " " << camera.position.z << " looking at " << camera.look_at.x << " "
         << camera.look_at.y << " " << camera.look_at.z << ", ";
    if (camera.orthographic) {
      out_ << "orthographic " << camera.ortho_height << " high\n";
    } else {
      out_ << "perspective " << camera.fov_degrees << " degrees\n";
    }
  }

  bool CheckObject(int index, std::string* error) const {
    if (index >= document_->ObjectCount() || document_->ObjectAt(index) == nullptr) {
      *error = "the document has no object " + std::to_string(index);
      return false;
    }
    return true;
  }

  // "userdata OBJECT KIND": the record as floats, four a line; a kind
  // nobody registered or an object without the record is reported, not an
  // error, since plug-ins decide what they store.
  void PrintUserData(int index, const std::string& kind_name) {
    const Object* object = document_->ObjectAt(index);
    out_ << "userdata " << object->name << " " << kind_name << ":";
    int slot = 0;
    for (size_t i = 0; i < document_->kinds().size() && slot == 0; ++i) {
      if (document_->kinds()[i].name == kind_name) slot = static_cast<int>(i) + 1;
    }
    const auto record = slot != 0 ? object->object_data.find(slot) : object->object_data.end();
    if (slot == 0) {
      out_ << " no such kind\n";
      return;
    }
    if (record == object->object_data.end()) {
      out_ << " no record\n";
      return;
    }
    const std::vector<uint8_t>& bytes = record->second;
    const size_t count = bytes.size() / sizeof(float);
    for (size_t i = 0; i < count; ++i) {
      float value = 0.0f;
      std::memcpy(&value, bytes.data() + i * sizeof(float), sizeof value);
      char text[32];
      std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
      out_ << (i % 4 == 0 ? "\n  " : " ") << text;
    }
    out_ << "\n";
  }

  // A text of Quorvel's below the line that reported it, a line each.
  void PrintIndented(const std::string& text) {
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      if (end > start) out_ << "  " << text.substr(start, end - start) << "\n";
      start = end + 1;
    }
  }

  bool QuorvelReachable(std::string* error) const {
    if (host_.FindPlugin(quorvel_plugin::kProductId, quorvel_plugin::kPluginId) == nullptr) {
      *error = "Quorvel is not loaded (product " + Hex(quorvel_plugin::kProductId) + ", id " +
               Hex(quorvel_plugin::kPluginId) + ")";
      return false;
    }
    if (peer_ == nullptr) {
      *error = "the peer plug-in that sends Quorvel its messages is not loaded";
      return false;
    }
    return true;
  }

  // Has the peer send Quorvel a user message; false when Quorvel or the
  // peer is not there to take it.
  bool AskQuorvel(const char* description, void* record, int* answer, std::string* error) {
    if (!QuorvelReachable(error)) return false;
    int result = 0;
    if (!PeerClient(host_, peer_).Send(document_, quorvel_plugin::kProductId, quorvel_plugin::kPluginId,
                                       description, record, &result)) {
      *error = "the peer plug-in did not take the message";
      return false;
    }
    if (answer != nullptr) *answer = result;
    return true;
  }

  bool Message(const ScriptCommand& command, std::string* error) {
    std::vector<int32_t> record(kMessageWords, 0);
    std::copy(command.words.begin(), command.words.end(), record.begin());
    const std::vector<int32_t> before = record;
    out_ << "message " << command.text << " to " << Hex(command.product) << ":" << Hex(command.id);
    if (host_.FindPlugin(command.product, command.id) == nullptr) {
      out_ << " (no such plug-in is loaded: the host delivers nothing)";
    }
    PeerClient peer(host_, peer_);
    const int received_before = peer.ReceivedCount(document_);
    int answer = 0;
    if (!peer.Send(document_, command.product, command.id, command.text.c_str(), record.data(), &answer)) {
      *error = "the peer plug-in did not take the message";
      return false;
    }
    out_ << ": answer " << answer << "\n";
    for (size_t i = 0; i < record.size(); ++i) {
      if (record[i] != before[i]) out_ << "  record word " << i << " is now " << record[i] << "\n";
    }
    const int received_after = peer.ReceivedCount(document_);
    for (int i = received_before; i < received_after; ++i) {
      quorvel_peer::PeerReceivedRecord received;
      if (!peer.Received(document_, i, &received)) continue;
      out_ << "  the peer received \"" << received.description << "\" from "
           << Hex(received.src_product) << ":" << Hex(received.src_id) << ", answered "
           << received.answer << (received.message != nullptr ? ", and holds the model\n" : "\n");
    }
    return true;
  }

  Host& host_;
  std::ostream& out_;
  std::vector<PluginModule*> main_plugins_;  // the --plugin modules
  PluginModule* peer_ = nullptr;
  Document* document_ = nullptr;
  bool initialized_ = false;
  bool document_announced_ = false;
  std::vector<std::pair<std::string, std::string>> outputs_;  // path, contents
  std::unique_ptr<ViewportRenderer> renderer_;                // made for the first picture
};

}  // namespace

namespace {

// A command-line value checked as the script command that does the same:
// one set of rules and messages for both.
bool ParseAsScript(const std::string& option, const std::string& line, ScriptCommand* command,
                   std::string* error) {
  bool is_command = false;
  std::string reason;
  if (ParseScriptLine(line, command, &is_command, &reason) && is_command) return true;
  *error = option + ": " + reason;
  return false;
}

// "X,Y,Z" as "camera position|target X Y Z".
bool ParseCameraPoint(const std::string& option, const std::string& value, const char* setting,
                      std::optional<std::array<float, 3>>* point, std::string* error) {
  if (value.empty()) return true;
  if (std::count(value.begin(), value.end(), ',') != 2) {
    *error = option + " '" + value + "' is not X,Y,Z";
    return false;
  }
  std::string words = value;
  std::replace(words.begin(), words.end(), ',', ' ');
  ScriptCommand command;
  if (!ParseAsScript(option, std::string("camera ") + setting + " " + words, &command, error)) return false;
  *point = std::array<float, 3>{command.values[0], command.values[1], command.values[2]};
  return true;
}

bool ParseViewOptions(const std::string& size, const std::string& position, const std::string& target,
                      const std::string& perspective, const std::string& ortho, ViewOptions* view,
                      std::string* error) {
  ScriptCommand command;
  if (!size.empty()) {
    const size_t x = size.find_first_of("xX");
    if (x == std::string::npos || !ParseAsScript("--size", "draw " + size.substr(0, x) + " " + size.substr(x + 1),
                                                 &command, error) ||
        command.width > kMaxViewportSide || command.height > kMaxViewportSide) {
      *error = "--size '" + size + "' is not WxH (two whole numbers from 1 to " +
               std::to_string(kMaxViewportSide) + ", such as 800x600)";
      return false;
    }
    view->width = command.width;
    view->height = command.height;
  }
  if (!ParseCameraPoint("--camera-position", position, "position", &view->position, error) ||
      !ParseCameraPoint("--camera-target", target, "target", &view->target, error)) {
    return false;
  }
  if (!perspective.empty() && !ortho.empty()) {
    *error = "--perspective and --ortho exclude each other";
    return false;
  }
  if (!perspective.empty()) {
    if (!ParseAsScript("--perspective", "camera perspective " + perspective, &command, error)) return false;
    view->perspective_fov = command.values[0];
  }
  if (!ortho.empty()) {
    if (!ParseAsScript("--ortho", "camera ortho " + ortho, &command, error)) return false;
    view->ortho_height = command.values[0];
  }
  return true;
}

}  // namespace

bool ParseDriverOptions(const std::vector<std::string>& args, DriverOptions* options,
                        std::string* error) {
  DriverOptions parsed;
  std::string size, position, target, perspective, ortho, unit_scale;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      parsed.help = true;
      continue;
    }
    if (arg == "--gui") {
      parsed.gui = true;
      continue;
    }
    std::string* value = nullptr;
    const char* needs = "a path";
    if (arg == "--plugin") {
      parsed.plugins.emplace_back();
      value = &parsed.plugins.back();
    } else if (arg == "--peer") {
      value = &parsed.peer;
    } else if (arg == "--script") {
      value = &parsed.script;
    } else if (arg == "--save") {
      value = &parsed.save;
    } else if (arg == "--export-obj") {
      value = &parsed.export_obj;
    } else if (arg == "--export-model") {
      value = &parsed.export_model;
    } else if (arg == "--render") {
      value = &parsed.render;
    } else if (arg == "--export-gltf") {
      value = &parsed.export_gltf;
    } else if (arg == "--unit-scale") {
      value = &unit_scale;
      needs = "metres per modeller unit";
    } else if (arg == "--activate") {
      value = &parsed.activate;
      needs = "a command plug-in's name";
    } else if (arg == "--frame-log") {
      value = &parsed.frame_log;
    } else if (arg == "--size") {
      value = &size;
      needs = "WxH";
    } else if (arg == "--camera-position" || arg == "--camera-target") {
      value = arg == "--camera-position" ? &position : &target;
      needs = "X,Y,Z";
    } else if (arg == "--perspective") {
      value = &perspective;
      needs = "a field of view in degrees";
    } else if (arg == "--ortho") {
      value = &ortho;
      needs = "a height";
    } else if (arg.size() > 1 && arg[0] == '-') {
      *error = "unknown option " + arg;
      return false;
    } else if (!parsed.input.empty()) {
      *error = "only one document can be opened (" + parsed.input + " and " + arg + ")";
      return false;
    } else {
      parsed.input = arg;
      continue;
    }
    if (i + 1 >= args.size() || args[i + 1].empty()) {
      *error = arg + " needs " + needs;
      return false;
    }
    if (!value->empty()) {
      *error = arg + " given twice";
      return false;
    }
    *value = args[++i];
  }
  if (parsed.gui && (!parsed.script.empty() || !parsed.save.empty() || !parsed.export_obj.empty() ||
                     !parsed.export_model.empty() || !parsed.render.empty() || !parsed.export_gltf.empty())) {
    *error = "--gui takes no script and writes no outputs: the person at the window does";
    return false;
  }
  if (!parsed.gui && (!parsed.activate.empty() || !parsed.frame_log.empty())) {
    *error = std::string(!parsed.activate.empty() ? "--activate" : "--frame-log") + " goes with --gui";
    return false;
  }
  ScriptCommand render;
  if (!parsed.render.empty() && !ParseAsScript("--render", "render " + parsed.render, &render, error)) return false;
  if (!unit_scale.empty() && parsed.export_gltf.empty()) {
    *error = "--unit-scale goes with --export-gltf";
    return false;
  }
  if (!parsed.export_gltf.empty()) {
    // Checked as the script command takes them, the path alone first.
    ScriptCommand gltf;
    if (!ParseAsScript("--export-gltf", "export-gltf " + parsed.export_gltf, &gltf, error)) return false;
    if (gltf.text != parsed.export_gltf) {
      *error = "--export-gltf '" + parsed.export_gltf + "' is not FILE.glb or FILE.gltf";
      return false;
    }
    if (!unit_scale.empty()) {
      std::string ignored;
      if (!ParseAsScript("--unit-scale", "export-gltf x.glb " + unit_scale, &gltf, &ignored) ||
          gltf.unit_scale == 0.0f) {
        *error = "--unit-scale '" + unit_scale + "' is not a positive number of metres";
        return false;
      }
      parsed.unit_scale = gltf.unit_scale;
    }
  }
  if (!ParseViewOptions(size, position, target, perspective, ortho, &parsed.view, error)) return false;
  *options = std::move(parsed);
  return true;
}

std::string DriverHelp() {
  return std::string(
             "Usage: mqhost [--plugin PATH]... [--peer PATH] [FILE] [--script FILE]\n"
             "              [--size WxH] [--camera-position X,Y,Z] [--camera-target X,Y,Z]\n"
             "              [--perspective FOV | --ortho H] [--render FILE.png]\n"
             "              [--save FILE] [--export-obj FILE] [--export-model FILE]\n"
             "              [--export-gltf FILE.glb|FILE.gltf [--unit-scale S]]\n"
             "       mqhost --gui [--plugin PATH]... [FILE] [--activate NAME] [--frame-log FILE]\n"
             "\n"
             "Runs modeller plug-ins against a document, as the modeller would, and tells\n"
             "what happens: the plug-ins are loaded and initialised, the document is opened\n"
             "and given to them, the script's events are sent, the document is saved, ended,\n"
             "and the plug-ins exit. Output files are written only when everything succeeded.\n"
             "\n"
             "Options:\n"
             "  --plugin PATH      load the plug-in module at PATH (repeat for several; they\n"
             "                     are loaded, and receive events, in this order); when the\n"
             "                     script or --export-gltf needs Quorvel and no PATH is\n"
             "                     Quorvel, its module beside mqhost is loaded after them\n"
             "  --peer PATH        the peer plug-in module that sends the script's user\n"
             "                     messages (default: quorvel_peer beside the host module;\n"
             "                     loaded only when given or when the script sends a message)\n"
             "  FILE               the document to open: a host document file, or a\n"
             "                     Wavefront OBJ file (.obj) to import; without it the\n"
             "                     document starts empty\n"
             "  --script FILE      the events to send (below); checked as a whole first\n"
             "  --size WxH         the view's size in pixels, such as 800x600 (default: the\n"
             "                     document's; 640x480 for a new one)\n"
             "  --camera-position X,Y,Z\n"
             "                     where the camera stands (default: the document's; a new\n"
             "                     one's looks from 0,0,500 at the origin)\n"
             "  --camera-target X,Y,Z\n"
             "                     the point the camera looks at\n"
             "  --perspective FOV  a perspective view, FOV degrees high (default 45)\n"
             "  --ortho H          an orthographic view, H world units high\n"
             "                     (the view is set before the plug-ins get the document)\n"
             "  --render FILE.png  a picture of the view after the script, as the script's\n"
             "                     render command takes it (below), written at the end\n"
             "  --save FILE        save the document at the end (event 202 first)\n"
             "  --export-obj FILE  write the document's objects as OBJ at the end\n"
             "  --export-model FILE\n"
             "                     write the rendering model the peer plug-in received last\n"
             "                     (\"GetRenderingModel\" in the script) as OBJ at the end,\n"
             "                     before the peer hands it back\n"
             "  --export-gltf FILE.glb|FILE.gltf\n"
             "                     Quorvel writes the document and its rig as glTF 2.0\n"
             "                     after the script (a .gltf gets its .bin beside it);\n"
             "                     when it cannot, the exit status is 1 and its reason\n"
             "                     goes to the error output\n"
             "  --unit-scale S     with --export-gltf: S metres a modeller unit (default\n"
             "                     0.01: one unit is one centimetre)\n"
             "  --gui              the interactive modeller window (Windows build; under Wine\n"
             "                     on Linux): menus for files, undo and the command\n"
             "                     plug-ins, a viewport whose mouse and keys go to the\n"
             "                     active command first (right drag turns the view, middle\n"
             "                     or Shift+right drag pans, the wheel zooms, P switches\n"
             "                     perspective and orthographic, F frames everything)\n"
             "  --activate NAME    with --gui: take the command plug-in NAME at the start\n"
             "  --frame-log FILE   with --gui: each frame's time in milliseconds, one per\n"
             "                     line: what the window handled since the frame before\n"
             "                     (input, the plug-ins' panels), the draw event, the picture\n"
             "  --help             this text\n"
             "\n"
             "Pictures (render, --render) are PNG files of the view as the modeller shows\n"
             "it: the visible objects' faces in their material colours, lit from the\n"
             "camera, their back faces left out, and what the plug-ins drew for the frame\n"
             "(points, lines and faces), nearer things hiding farther ones. A world point\n"
             "lands on the pixel that the host's world-to-screen conversion gives for it.\n"
             "\n"
             "Exit status: 0 when everything succeeded, 1 when a plug-in, a file or the\n"
             "script failed (nothing is written then), 2 for a wrong command line.\n"
             "\n") +
         ScriptHelp();
}

int RunDriver(const DriverOptions& options, std::ostream& out, std::ostream& err) {
  std::string error;
  std::vector<ScriptCommand> script;
  if (!options.script.empty() && !LoadScript(options.script, &script, &error)) {
    err << error << "\n";
    return kDriverFailed;
  }
  // Quorvel's commands go through the peer like any message.
  bool needs_quorvel = !options.export_gltf.empty();
  bool needs_peer = !options.peer.empty() || needs_quorvel;
  for (const ScriptCommand& command : script) {
    switch (command.kind) {
      case ScriptCommandKind::kMessage:
        needs_peer = true;
        break;
      case ScriptCommandKind::kExportGltf:
      case ScriptCommandKind::kImportGltf:
      case ScriptCommandKind::kPose:
      case ScriptCommandKind::kPoses:
      case ScriptCommandKind::kPosedModel:
      case ScriptCommandKind::kAutoWeights:
      case ScriptCommandKind::kMirrorWeights:
      case ScriptCommandKind::kSmoothWeights:
      case ScriptCommandKind::kLimitWeights:
      case ScriptCommandKind::kMirrorPose:
      case ScriptCommandKind::kMirrorBones:
        needs_peer = needs_quorvel = true;
        break;
      default:
        break;
    }
  }

  Host& host = Host::Instance();
  Session session(host, out);
  if (!session.LoadPlugins(options.plugins, &error) ||
      (needs_quorvel && !session.LoadQuorvel(&error)) ||
      (needs_peer && !session.LoadPeer(options.peer, &error))) {
    err << "mqhost: " << error << "\n";
    return kDriverFailed;
  }
  session.Initialize();
  if (!session.OpenDocument(options.input, options.view, &error)) {
    err << "mqhost: " << error << "\n";
    return kDriverFailed;
  }
  for (const ScriptCommand& command : script) {
    const std::string where = options.script + ":" + std::to_string(command.line);
    if (!session.Run(command, where, &error)) {
      out << "failed\n";  // the reason goes to `err`, with file and line
      err << where << ": " << error << "\n";
      return kDriverFailed;
    }
  }
  if (!options.render.empty() && !session.Render(options.render, &error)) {
    session.Close();
    err << "mqhost: --render " << options.render << ": " << error << "\n";
    return kDriverFailed;
  }
  if (!options.export_gltf.empty()) {
    std::string failure;
    if (!session.GltfFile(true, options.export_gltf, options.unit_scale, &failure, &error) || !failure.empty()) {
      session.Close();
      err << "mqhost: --export-gltf " << options.export_gltf << ": " << (failure.empty() ? error : failure)
          << "\n";
      return kDriverFailed;
    }
  }
  if (!options.save.empty()) session.Save(options.save);
  if (!options.export_obj.empty()) session.ExportObj(options.export_obj);
  if (!options.export_model.empty() && !session.ExportModel(options.export_model, &error)) {
    session.Close();
    err << "mqhost: " << error << "\n";
    return kDriverFailed;
  }
  session.Close();
  if (!session.WriteOutputs(&error)) {
    err << "mqhost: " << error << "\n";
    return kDriverFailed;
  }
  return kDriverOk;
}

struct ScriptSession::State {
  explicit State(std::ostream& out) : session(Host::Instance(), out) {}
  Session session;
};

ScriptSession::ScriptSession(std::ostream& out) : state_(std::make_unique<State>(out)) {}

ScriptSession::~ScriptSession() = default;

bool ScriptSession::AttachPlugin(const PluginEntryPoints& entry, const std::string& label,
                                 std::string* error) {
  return state_->session.Attach(entry, label, error);
}

bool ScriptSession::Open(const std::string& path, const ViewOptions& view, std::string* error) {
  state_->session.Initialize();
  return state_->session.OpenDocument(path, view, error);
}

bool ScriptSession::Run(const ScriptCommand& command, const std::string& where, std::string* error) {
  return state_->session.Run(command, where, error);
}

Document* ScriptSession::document() const { return state_->session.document(); }

bool ScriptSession::Close(std::string* error) {
  state_->session.Close();
  return state_->session.WriteOutputs(error);
}

}  // namespace mqhost
