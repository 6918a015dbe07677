// The edit tools' steps as a person drives them: the plug-in's main object
// runs inside this program on the substitute host, which sends it the mouse
// and draw events, with the command taken and a mode chosen. Beside each
// step, the parts it is made of and a plain loop over arrays:
//   - a drag step of the move tool on the pivot of a bone whose object holds
//     the mesh (vertex follow "local"), beside the vertex follow alone, the
//     host's vertex writes alone and one matrix applied to arrays;
//   - a paint step of the weight brush and the frame that recolours the
//     rendering copies;
//   - a pose drag step of the pose tool on a chain of 100 bones with a
//     skinned mesh and the frame that skins the copies again.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "host/core/api.h"
#include "host/core/host.h"
#include "host/core/plugin_module.h"
#include "host/events/events.h"
#include "examples/in_process_plugin.h"
#include "main/dlmain.h"
#include "main/headless_ui.h"
#include "math/fmath.h"
#include "rig/id_table.h"
#include "rig/records.h"
#include "rig/rig_access.h"
#include "rig/vertex_follow.h"
#include "rig/weight_operations.h"
#include "rig/weight_record.h"
#include "sdk/dispatch.h"
#include "sdk/host_api.h"
#include "tools/motion_command.h"
#include "tools/picking.h"
#include "tools/screen_conversion.h"
#include "tools/selection.h"

namespace {

using quorvel_examples::InProcessEntryPoints;
using quorvel_examples::InProcessMain;

constexpr int kViewWidth = 640;
constexpr int kViewHeight = 480;
constexpr char kSettingsKey[] = "Software\\Ostrak\\QuorvelBench";

// Preferences go to a settings file of this run's own, never the user's.
class ScratchSettingsFile {
 public:
  ScratchSettingsFile() {
    std::error_code error;
    const std::filesystem::path temp = std::filesystem::temp_directory_path(error);
    if (error) return;
    std::string pattern = (temp / "quorvel-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return;
    dir_ = pattern;
    setenv("QUORVEL_SETTINGS", (dir_ / "settings").c_str(), 1);
  }
  ~ScratchSettingsFile() {
    std::error_code ignored;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
  }
  ScratchSettingsFile(const ScratchSettingsFile&) = delete;
  ScratchSettingsFile& operator=(const ScratchSettingsFile&) = delete;

  bool ok() const { return !dir_.empty(); }

 private:
  std::filesystem::path dir_;
};


// A host document with the bench's objects and, once Start is called, the
// plug-in's main object attached to the host with the document open and the
// command taken. The camera is orthographic and looks down -Z.
class ToolSession {
 public:
  ToolSession() : host_(mqhost::Host::Instance()) {
    // Benches that drive the host without the plug-in need the table too.
    ok_ = LoadHostApi(mqhost::Host::OwnModulePath().c_str(), HostApi()) == TRUE;
    if (!ok_) error_ = "substitute host not available";
    document_ = host_.NewDocument();
    doc_ = mqhost::ToHandle(document_);
  }
  virtual ~ToolSession() {
    if (plugin_ != nullptr) {
      mqhost::SendActivate(host_, document_, false, plugin_);
      mqhost::SendEndDocument(host_, document_, plugin_);
      mqhost::SendExit(host_, plugin_);
    }
    host_.CloseDocument(document_);
    if (plugin_ != nullptr) host_.UnloadPlugins();
    main_.reset();
    InProcessMain() = nullptr;
  }
  ToolSession(const ToolSession&) = delete;
  ToolSession& operator=(const ToolSession&) = delete;

  // False, with the benchmark skipped, when the session could not be made
  // as the benchmark needs it.
  bool Ready(benchmark::State& state) const {
    if (!ok_) state.SkipWithError(error_.c_str());
    return ok_;
  }

  MQDocument doc() const { return doc_; }
  DLMAIN& main() const { return *main_; }

  void DragTo(mqhost::PointerInput at) {
    at.flags |= mqhost::kButtonLeft;
    mqhost::SendMouse(host_, document_, MQEVENT_LBUTTON_MOVE, at, plugin_);
  }
  void Draw() { mqhost::SendDraw(host_, document_, kViewWidth, kViewHeight, plugin_); }

 protected:
  void Fail(const char* why) {
    if (ok_) error_ = why;
    ok_ = false;
  }

  // `height` world units to the view's 480 pixels, `centre` in the middle.
  void UseCamera(const FVECTOR3& centre, float height) {
    mqhost::Camera& camera = document_->camera;
    camera.orthographic = true;
    camera.ortho_height = height;
    camera.width = kViewWidth;
    camera.height = kViewHeight;
    camera.position = centre + FVECTOR3(0.0f, 0.0f, 500.0f);
    camera.look_at = centre;
  }

  mqhost::Object* AddObject(int depth, const FVECTOR3& translation) {
    auto object = document_->NewObject();
    object->depth = depth;
    object->transform.translation = translation;
    mqhost::Object* raw = object.get();
    document_->AddObject(std::move(object));
    return raw;
  }

  // Attaches the main object, initialises it, opens the document, takes the
  // command and enters `mode`.
  void Start(int mode) {
    if (!ok_) return;
    main_ = std::make_unique<DLMAIN>(std::make_unique<HEADLESS_UI>());
    main_->SetSettingsKey(kSettingsKey);
    InProcessMain() = main_.get();
    std::string error;
    plugin_ = host_.AttachPlugin(InProcessEntryPoints(), "quorvel (in process)", &error);
    if (plugin_ == nullptr) return Fail("the main object could not be attached");
    if (mqhost::SendInitialize(host_, plugin_) != TRUE ||
        mqhost::SendNewDocument(host_, document_, "bench.mqd", plugin_) != TRUE ||
        mqhost::SendActivate(host_, document_, true, plugin_) != TRUE) {
      return Fail("the plug-in did not take the document");
    }
    main_->Service()->SetMode(mode);
  }

  // The pixel the mouse is on over a document point, by the host's
  // conversion, moved by (dx, dy) pixels.
  mqhost::PointerInput At(const FVECTOR3& world, int dx = 0, int dy = 0) const {
    const FVECTOR3 s = SCREENCONVMQ(HostApi().MQDoc_GetScene(doc_, 0)).WorldToScreen(world);
    mqhost::PointerInput input;
    input.x = static_cast<int>(std::lround(s.x)) + dx;
    input.y = static_cast<int>(std::lround(s.y)) + dy;
    return input;
  }
  void Press(mqhost::PointerInput at) {
    at.flags |= mqhost::kButtonLeft;
    mqhost::SendMouse(host_, document_, MQEVENT_LBUTTON_DOWN, at, plugin_);
  }

  static FVECTOR3 Pivot(MQDocument doc, MQObject obj) {
    FMATRIX m;
    HostApi().MQDoc_GetGlobalMatrix(doc, obj, m.m);
    return m.GetTranslation();
  }
  static int32_t Uid(const mqhost::Object* obj) { return static_cast<int32_t>(obj->uid); }

  mqhost::Host& host_;
  mqhost::Document* document_ = nullptr;
  MQDocument doc_ = nullptr;
  std::unique_ptr<DLMAIN> main_;
  mqhost::PluginModule* plugin_ = nullptr;
  bool ok_ = false;
  std::string error_;
};

// A document of a million vertices takes longer to build than its steps
// take to time, and Google Benchmark calls a benchmark function several
// times (to find the iteration count, and once per repetition): the last
// session is kept while the same benchmark and size ask for it again, and
// goes before another is built. Made after the host, so that it goes first
// at exit.
template <typename Session>
Session& KeptSession(const char* bench, int size) {
  struct Kept {
    ScratchSettingsFile settings;
    std::string key;
    std::unique_ptr<ToolSession> session;
  };
  mqhost::Host::Instance();
  static Kept kept;
  const std::string key = std::string(bench) + "/" + std::to_string(size);
  if (!kept.session || kept.key != key) {
    kept.session.reset();
    kept.key = key;
    kept.session = std::make_unique<Session>(size, kept.settings.ok());
  }
  return static_cast<Session&>(*kept.session);
}

// The positions of a grid of `vertices` vertices in the plane z = 0, centred
// on the origin and 300 units wide, with square cells: as many rows as the
// largest divisor of `vertices` not above its square root.
struct GridShape {
  int rows = 1;
  int columns = 1;
  float step = 1.0f;
};

GridShape ShapeOf(int vertices) {
  GridShape shape;
  for (int r = static_cast<int>(std::sqrt(static_cast<double>(vertices))); r >= 1; --r) {
    if (vertices % r == 0) {
      shape.rows = r;
      break;
    }
  }
  shape.columns = vertices / shape.rows;
  shape.step = 300.0f / static_cast<float>(shape.columns > 1 ? shape.columns - 1 : 1);
  return shape;
}

std::vector<FVECTOR3> GridPoints(int vertices) {
  const GridShape shape = ShapeOf(vertices);
  const float x0 = -0.5f * shape.step * static_cast<float>(shape.columns - 1);
  const float y0 = -0.5f * shape.step * static_cast<float>(shape.rows - 1);
  std::vector<FVECTOR3> points;
  points.reserve(static_cast<size_t>(vertices));
  for (int y = 0; y < shape.rows; ++y) {
    for (int x = 0; x < shape.columns; ++x) {
      points.emplace_back(x0 + static_cast<float>(x) * shape.step, y0 + static_cast<float>(y) * shape.step, 0.0f);
    }
  }
  return points;
}

// The grid's vertices in the object, in quads facing the camera (clockwise
// on the screen: the front).
void FillGrid(mqhost::Object* object, int vertices) {
  const GridShape shape = ShapeOf(vertices);
  object->vertices.reserve(static_cast<size_t>(vertices));
  for (const FVECTOR3& p : GridPoints(vertices)) object->AddVertex(MQPoint{p.x, p.y, p.z});
  object->faces.reserve(static_cast<size_t>(shape.rows - 1) * static_cast<size_t>(shape.columns - 1));
  for (int y = 0; y + 1 < shape.rows; ++y) {
    for (int x = 0; x + 1 < shape.columns; ++x) {
      const int a = y * shape.columns + x, b = a + 1, c = a + shape.columns, d = c + 1;
      object->AddFace({a, c, d, b});
    }
  }
}

// ---------------------------------------------------------------- the move tool

// A bone whose object holds the mesh: its pivot at the origin, one child
// 50 units up. With `attach`, the move tool with vertex follow "local" has
// the bone's pivot selected by a press just below it (away from the body),
// and a first drag step has been made; the steps alternate between 20
// pixels to the right and to the left of the press, so that every one moves.
class MoveSession : public ToolSession {
 public:
  MoveSession(int vertices, bool settings_ok, bool attach) {
    bone_ = AddObject(0, FVECTOR3());
    FillGrid(bone_, vertices);
    child_ = AddObject(1, FVECTOR3(0.0f, 50.0f, 0.0f));
    UseCamera(FVECTOR3(), 400.0f);
    if (!attach) return;
    if (!settings_ok) {
      Fail("no scratch settings file");
      return;
    }
    Start(MODE_MOVE);
    if (!ok_) return;
    main_->Service()->SetToolOption(1, quorvel::kFollowLocal);
    Draw();
    const mqhost::PointerInput press = At(FVECTOR3(), 0, 3);
    Press(press);
    const quorvel::RigEditState& state = *main_->GetEditState();
    const uint32_t flags = quorvel::GetBoneFlags(mqhost::ToHandle(bone_), main_->GetSlots());
    if (state.current_bone != Uid(bone_) || (flags & quorvel::OBase::OB_SEL_PIVOT) == 0) {
      Fail("the press did not select the bone's pivot");
      return;
    }
    targets_[0] = press;
    targets_[0].x += 20;
    targets_[1] = press;
    targets_[1].x -= 20;
    const MQPoint before = bone_->vertices.back().position;
    Step();
    if (bone_->vertices.back().position.x == before.x) Fail("a drag step did not move the mesh");
  }

  void Step() { DragTo(targets_[next_++ & 1]); }

  mqhost::Object* bone() const { return bone_; }
  mqhost::Object* child() const { return child_; }

 private:
  mqhost::Object* bone_ = nullptr;
  mqhost::Object* child_ = nullptr;
  mqhost::PointerInput targets_[2];
  int64_t next_ = 0;
};

struct AttachedMoveSession : MoveSession {
  AttachedMoveSession(int vertices, bool settings_ok) : MoveSession(vertices, settings_ok, true) {}
};
struct HostMoveSession : MoveSession {
  HostMoveSession(int vertices, bool settings_ok) : MoveSession(vertices, settings_ok, false) {}
};

// One MQEVENT_LBUTTON_MOVE of the drag, from the host's event to the mesh
// written back.
void MoveDragStep(benchmark::State& state) {
  AttachedMoveSession& session = KeptSession<AttachedMoveSession>("MoveDragStep", static_cast<int>(state.range(0)));
  if (!session.Ready(state)) return;
  for (auto _ : state) session.Step();
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The bone's object moved and its mesh carried along as the move tool's
// step does it, without the event, the pick record or the handle: the
// same list of changes as the tool's record (the bone and its child).
void MoveVertexFollowOnly(benchmark::State& state) {
  HostMoveSession& session = KeptSession<HostMoveSession>("MoveVertexFollowOnly", static_cast<int>(state.range(0)));
  if (!session.Ready(state)) return;
  MQDocument doc = session.doc();
  std::vector<FVECTOR3> recorded;
  recorded.reserve(session.bone()->vertices.size());
  for (const mqhost::Vertex& v : session.bone()->vertices) {
    recorded.emplace_back(v.position.x, v.position.y, v.position.z);
  }
  const std::vector<FVECTOR3> none;
  std::vector<quorvel::GlobalMatrixChange> changes(2);
  mqhost::Object* objects[2] = {session.bone(), session.child()};
  for (size_t i = 0; i < 2; ++i) {
    quorvel::GlobalMatrixChange& change = changes[i];
    change.object = mqhost::ToHandle(objects[i]);
    HostApi().MQDoc_GetGlobalMatrix(doc, change.object, change.old_global.m);
    change.new_global = change.old_global;
    change.vertices = i == 0 ? &recorded : &none;
  }
  const FMATRIX moves[2] = {changes[0].old_global * FMATRIX::Translation(FVECTOR3(16.7f, 0.0f, 0.0f)),
                            changes[0].old_global * FMATRIX::Translation(FVECTOR3(-16.7f, 0.0f, 0.0f))};
  int64_t step = 0;
  for (auto _ : state) {
    changes[0].new_global = moves[step++ & 1];
    quorvel::SetGlobalMatricesWithVertexFollow(doc, changes, quorvel::kFollowLocal);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Only the host's vertex writes of one step: MQObj_SetVertex once per
// vertex, through the host API table, with positions worked out beforehand.
void MoveHostSetVertexOnly(benchmark::State& state) {
  HostMoveSession& session = KeptSession<HostMoveSession>("MoveHostSetVertexOnly", static_cast<int>(state.range(0)));
  if (!session.Ready(state)) return;
  MQObject obj = mqhost::ToHandle(session.bone());
  const FMATRIX m = FMATRIX::Translation(FVECTOR3(16.7f, 0.0f, 0.0f));
  std::vector<MQPoint> points;
  for (const mqhost::Vertex& v : session.bone()->vertices) {
    const FVECTOR3 p = m.TransformPoint(FVECTOR3(v.position.x, v.position.y, v.position.z));
    points.push_back(MQPoint{p.x, p.y, p.z});
  }
  const MQHostApi& api = HostApi();
  const int count = static_cast<int>(points.size());
  for (auto _ : state) {
    for (int j = 0; j < count; ++j) api.MQObj_SetVertex(obj, j, &points[static_cast<size_t>(j)]);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The follow's arithmetic written straight into the host's vertex array, as
// the host's own code could: what the step would cost without a call per
// vertex, with the host's vertex layout.
void MoveHostVerticesInPlace(benchmark::State& state) {
  HostMoveSession& session = KeptSession<HostMoveSession>("MoveHostVerticesInPlace", static_cast<int>(state.range(0)));
  if (!session.Ready(state)) return;
  std::vector<mqhost::Vertex>& vertices = session.bone()->vertices;
  std::vector<FVECTOR3> recorded;
  for (const mqhost::Vertex& v : vertices) recorded.emplace_back(v.position.x, v.position.y, v.position.z);
  const FMATRIX moves[2] = {FMATRIX::Translation(FVECTOR3(16.7f, 0.0f, 0.0f)),
                            FMATRIX::Translation(FVECTOR3(-16.7f, 0.0f, 0.0f))};
  int64_t step = 0;
  for (auto _ : state) {
    const FMATRIX& m = moves[step++ & 1];
    const size_t n = recorded.size();
    for (size_t j = 0; j < n; ++j) {
      const FVECTOR3 p = m.TransformPoint(recorded[j]);
      vertices[j].position = MQPoint{p.x, p.y, p.z};
    }
    benchmark::DoNotOptimize(vertices.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The reference: one matrix applied to the same positions held in arrays.
void PlainTransformLoop(benchmark::State& state) {
  const std::vector<FVECTOR3> in = GridPoints(static_cast<int>(state.range(0)));
  std::vector<FVECTOR3> out(in.size());
  const FMATRIX moves[2] = {FMATRIX::Translation(FVECTOR3(16.7f, 0.0f, 0.0f)),
                            FMATRIX::Translation(FVECTOR3(-16.7f, 0.0f, 0.0f))};
  int64_t step = 0;
  for (auto _ : state) {
    const FMATRIX& m = moves[step++ & 1];
    const size_t n = in.size();
    for (size_t j = 0; j < n; ++j) out[j] = m.TransformPoint(in[j]);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// ---------------------------------------------------------------- the weight brush

// The grid facing the camera (1.2 pixels to a unit), a bone off its lower
// left corner whose own weight is the current palette, and the weight tool
// with a brush of 20 pixels' radius. A press in the middle has painted once and a frame has
// drawn the copies; the steps alternate between two points 8 units either
// side of the middle.
class PaintSession : public ToolSession {
 public:
  PaintSession(int vertices, bool settings_ok) {
    mesh_ = AddObject(0, FVECTOR3());
    FillGrid(mesh_, vertices);
    mqhost::Object* bone = AddObject(0, FVECTOR3(-180.0f, -180.0f, 0.0f));
    AddObject(1, FVECTOR3(0.0f, 30.0f, 0.0f));
    UseCamera(FVECTOR3(), 400.0f);
    if (!settings_ok) {
      Fail("no scratch settings file");
      return;
    }
    Start(MODE_WEIGHT);
    if (!ok_) return;
    quorvel::RigEditState& state = *main_->GetEditState();
    quorvel::SetCurrentObject(doc_, mqhost::ToHandle(bone));
    quorvel::PaletteFromCurrentObject(doc_, main_->GetSlots(), state);
    quorvel::SetCurrentPenIndex(state, 0);
    quorvel::SetPenSize(state, 0, 20.0f);
    Draw();
    Press(At(FVECTOR3()));
    if (!quorvel::HasWeights(mqhost::ToHandle(mesh_), main_->GetSlots())) {
      Fail("the press painted nothing");
      return;
    }
    targets_[0] = At(FVECTOR3(-8.0f, 0.0f, 0.0f));
    targets_[1] = At(FVECTOR3(8.0f, 0.0f, 0.0f));
    MED_USELECT brush;
    std::vector<HITVERT> hits;
    HITVERT nearest;
    brush.PickVertices(doc_, FVECTOR2(static_cast<float>(targets_[0].x), static_cast<float>(targets_[0].y)),
                       20.0f, hits, nearest);
    hits_ = static_cast<int>(hits.size());
    Draw();
  }

  void Move() { DragTo(targets_[next_++ & 1]); }
  int hits() const { return hits_; }

 private:
  mqhost::Object* mesh_ = nullptr;
  mqhost::PointerInput targets_[2];
  int64_t next_ = 0;
  int hits_ = 0;
};

// One MQEVENT_LBUTTON_MOVE of a stroke and the frame after it: the brush
// test, the palette written into the vertices under it, and the copies
// recoloured by the draw event.
void PaintStep(benchmark::State& state) {
  PaintSession& session = KeptSession<PaintSession>("PaintStep", static_cast<int>(state.range(0)));
  if (!session.Ready(state)) return;
  for (auto _ : state) {
    session.Move();
    session.Draw();
  }
  state.counters["hits"] = static_cast<double>(session.hits());
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The mouse event alone: brush test and painting, no frame.
void PaintMoveOnly(benchmark::State& state) {
  PaintSession& session = KeptSession<PaintSession>("PaintMoveOnly", static_cast<int>(state.range(0)));
  if (!session.Ready(state)) return;
  for (auto _ : state) session.Move();
  state.counters["hits"] = static_cast<double>(session.hits());
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The frame alone, with the copies marked for recolouring as a paint step
// marks them.
void PaintRecolourFrame(benchmark::State& state) {
  PaintSession& session = KeptSession<PaintSession>("PaintRecolourFrame", static_cast<int>(state.range(0)));
  if (!session.Ready(state)) return;
  for (auto _ : state) {
    session.main().MarkRenderingRecolour();
    session.Draw();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// ---------------------------------------------------------------- the pose tool

// The rig of ik_bench's pose drag: a chain of `bones` bones (plus the tip
// that gives the last one its tail) in a gentle zig-zag one unit a step up,
// each limited on one axis, and a mesh of 100 000 vertices each weighted to
// 4 of the bones. The pose tool with a new pose, children following as the
// solver there is asked; a press just beyond the tip has taken the joint at
// the last bone's tip (so each step bends the whole chain), and the steps
// alternate between two points 24 units either side of the chain, 80 up.
class PoseSession : public ToolSession {
 public:
  static constexpr int kMeshVertices = 100000;

  PoseSession(int bones, bool settings_ok) {
    std::vector<mqhost::Object*> chain;
    for (int i = 0; i <= bones; ++i) {
      const FVECTOR3 offset = i == 0 ? FVECTOR3() : FVECTOR3(i % 2 ? 0.2f : -0.2f, 1.0f, 0.0f);
      chain.push_back(AddObject(i, offset));
    }
    mqhost::Object* mesh = AddObject(0, FVECTOR3());
    for (int v = 0; v < kMeshVertices; ++v) {
      mesh->AddVertex(MQPoint{0.01f * static_cast<float>(v % 100), 0.001f * static_cast<float>(v), 0.0f});
    }
    for (int v = 0; v + 2 < kMeshVertices; v += 3) mesh->AddFace({v, v + 1, v + 2});
    UseCamera(FVECTOR3(0.0f, 50.0f, 0.0f), 120.0f);
    if (!settings_ok) {
      Fail("no scratch settings file");
      return;
    }
    Start(MODE_MOVE);
    if (!ok_) return;

    const quorvel::RigSlotTable& slots = main_->GetSlots();
    for (mqhost::Object* bone : chain) {
      MQObject obj = mqhost::ToHandle(bone);
      quorvel::SetBoneRecord(obj, slots, quorvel::OBase());
      quorvel::SetRotationLimits(obj, slots, FVECTOR3(-3.2f, -3.2f, -1.0f), FVECTOR3(3.2f, 3.2f, 1.0f));
    }
    std::vector<quorvel::VWeight> records(static_cast<size_t>(kMeshVertices));
    for (int v = 0; v < kMeshVertices; ++v) {
      quorvel::VWeight& rec = records[static_cast<size_t>(v)];
      quorvel::Init(rec);
      for (int j = 0; j < 4; ++j) {
        rec.entries[j] = quorvel::VWeightEntry{Uid(chain[static_cast<size_t>((v / 1000 + j) % bones)]), 0.25f};
      }
      rec.head = static_cast<uint8_t>(quorvel::VWeight::kValidBit | 4 << 1);
    }
    MQObject mesh_handle = mqhost::ToHandle(mesh);
    HostApi().MQObj_AllocVertexUserData(mesh_handle, slots.VWeight());
    HostApi().MQObj_SetVertexUserData(mesh_handle, slots.VWeight(), 0, kMeshVertices, 0,
                                      static_cast<int>(sizeof(quorvel::VWeight)), records.data());

    IDLMAIN& service = *main_->Service();
    service.SetIkType(1);
    service.SetMode(MODE_POSE);
    service.NewPose();
    Draw();
    mqhost::Object* tip = chain.back();
    Press(At(Pivot(doc_, mqhost::ToHandle(tip)), 0, -3));
    const quorvel::RigEditState& state = *main_->GetEditState();
    if (state.current_bone != Uid(tip) || state.current_part_kind != SELKIND_PIVOT) {
      Fail("the press did not take the joint at the chain's tip");
      return;
    }
    targets_[0] = At(FVECTOR3(-24.0f, 80.0f, 0.0f));
    targets_[1] = At(FVECTOR3(24.0f, 80.0f, 0.0f));
    Move();
    Draw();
    const auto* motion = dynamic_cast<const COMPROC_MOTION*>(main_->Processor());
    if (motion == nullptr || motion->modified() == 0) Fail("a drag step did not change the pose");
  }

  void Move() { DragTo(targets_[next_++ & 1]); }

 private:
  mqhost::PointerInput targets_[2];
  int64_t next_ = 0;
};

// One MQEVENT_LBUTTON_MOVE of a pose drag and the frame after it: from the
// mouse event through the solve, the pose written back and evaluated, to the
// rendering copies skinned again by the draw event.
void PoseDragStep(benchmark::State& state) {
  PoseSession& session = KeptSession<PoseSession>("PoseDragStep", static_cast<int>(state.range(0)));
  if (!session.Ready(state)) return;
  for (auto _ : state) {
    session.Move();
    session.Draw();
  }
}

// The mouse event alone: what ik_bench's solver path does, through the tool.
void PoseDragMoveOnly(benchmark::State& state) {
  PoseSession& session = KeptSession<PoseSession>("PoseDragMoveOnly", static_cast<int>(state.range(0)));
  if (!session.Ready(state)) return;
  for (auto _ : state) session.Move();
}

// The frame alone, with the copies marked for skinning as a drag step marks
// them.
void PoseReskinFrame(benchmark::State& state) {
  PoseSession& session = KeptSession<PoseSession>("PoseReskinFrame", static_cast<int>(state.range(0)));
  if (!session.Ready(state)) return;
  for (auto _ : state) {
    session.main().MarkRenderingDeform();
    session.Draw();
  }
}

BENCHMARK(MoveDragStep)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(MoveVertexFollowOnly)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(MoveHostSetVertexOnly)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(MoveHostVerticesInPlace)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(PlainTransformLoop)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(PaintStep)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(PaintMoveOnly)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(PaintRecolourFrame)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(PoseDragStep)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(PoseDragMoveOnly)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(PoseReskinFrame)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace
