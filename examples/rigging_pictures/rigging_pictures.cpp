// Pictures of the weight tools at work, as a person sees them in weight mode:
// the sample arm with automatic weights, and a symmetric figure whose left
// side was rigged and weighted before and after the right side is made by
// mirroring its bones and weights. The plug-in's main object runs inside this
// program on the substitute host.
//
//   rigging_pictures ARM_DOCUMENT OUT_DIR
//
// writes OUT_DIR/auto-weights-arm.png, OUT_DIR/mirror-before.png and
// OUT_DIR/mirror-after.png. Preferences go to the settings file the
// environment names (scripts/demo.sh sets one).
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "examples/in_process_plugin.h"
#include "examples/viewport_picture.h"
#include "host/core/api.h"
#include "host/core/host.h"
#include "host/events/events.h"
#include "host/files/document_file.h"
#include "host/render/renderer.h"
#include "main/dlmain.h"
#include "main/headless_ui.h"
#include "rig/rig_access.h"
#include "sdk/host_api.h"

namespace {

using quorvel_examples::InProcessEntryPoints;
using quorvel_examples::InProcessMain;
using quorvel_examples::ViewportPicture;

int Fail(const std::string& message) {
  std::fprintf(stderr, "rigging_pictures: %s\n", message.c_str());
  return 1;
}

bool Done(const quorvel::RiggingOutcome& outcome, const char* what, std::string* error) {
  if (outcome.ok) {
    std::printf("%s: %d%s%s\n", what, outcome.changed, outcome.message.empty() ? "" : "; ",
                outcome.message.c_str());
    return true;
  }
  *error = std::string(what) + ": " + outcome.message;
  return false;
}

// A closed tube of `rings` rings of `sides` vertices from `a` to `b` (along
// x or y), capped at both ends, added to `o`.
void AddTube(mqhost::Object* o, FVECTOR3 a, FVECTOR3 b, float radius, int rings, int sides) {
  const bool along_x = std::fabs(b.x - a.x) > std::fabs(b.y - a.y);
  const int first = static_cast<int>(o->vertices.size());
  for (int r = 0; r < rings; ++r) {
    const float t = static_cast<float>(r) / static_cast<float>(rings - 1);
    const FVECTOR3 centre = a + (b - a) * t;
    for (int s = 0; s < sides; ++s) {
      const float angle = 6.2831853f * static_cast<float>(s) / static_cast<float>(sides);
      const float c = radius * std::cos(angle), d = radius * std::sin(angle);
      const FVECTOR3 p = along_x ? FVECTOR3(centre.x, centre.y + c, centre.z + d)
                                 : FVECTOR3(centre.x + c, centre.y, centre.z + d);
      o->AddVertex(MQPoint{p.x, p.y, p.z});
    }
  }
  for (int r = 0; r + 1 < rings; ++r) {
    for (int s = 0; s < sides; ++s) {
      const int n = (s + 1) % sides;
      o->AddFace({first + r * sides + s, first + r * sides + n, first + (r + 1) * sides + n,
                  first + (r + 1) * sides + s});
    }
  }
  std::vector<int> cap_a, cap_b;
  for (int s = 0; s < sides; ++s) {
    cap_a.push_back(first + sides - 1 - s);
    cap_b.push_back(first + (rings - 1) * sides + s);
  }
  o->AddFace(cap_a);
  o->AddFace(cap_b);
}

MQObject AddObject(mqhost::Document* document, const char* name, int depth, FVECTOR3 pivot,
                   FVECTOR3 parent_pivot = {}) {
  auto object = document->NewObject();
  object->name = name;
  object->depth = depth;
  object->transform.translation = pivot - parent_pivot;
  mqhost::Object* raw = object.get();
  document->AddObject(std::move(object));
  return mqhost::ToHandle(raw);
}

// The figure, facing +z: a body of tubes (torso, head, both arms, both legs,
// touching but not joined) and the left side's bones only: hips, spine and
// neck in the middle, an arm chain and a leg chain at +x.
void BuildFigure(mqhost::Document* document) {
  mqhost::Object* body = mqhost::ToObject(AddObject(document, "body", 0, {}));
  AddTube(body, {0, -14, 0}, {0, 46, 0}, 12.0f, 13, 16);
  AddTube(body, {0, 48, 0}, {0, 70, 0}, 8.0f, 6, 16);
  for (float side : {1.0f, -1.0f}) {
    AddTube(body, {side * 11, 38, 0}, {side * 66, 38, 0}, 5.0f, 23, 12);
    AddTube(body, {side * 6.5f, -12, 0}, {side * 6.5f, -88, 0}, 5.5f, 31, 12);
  }
  AddObject(document, "hips", 0, {0, -12, 0});
  AddObject(document, "spine", 1, {0, 20, 0}, {0, -12, 0});
  AddObject(document, "neck", 2, {0, 46, 0}, {0, 20, 0});
  AddObject(document, "head_end", 3, {0, 72, 0}, {0, 46, 0});
  AddObject(document, "upperarm_L", 2, {12, 38, 0}, {0, 20, 0});
  AddObject(document, "forearm_L", 3, {38, 38, 0}, {12, 38, 0});
  AddObject(document, "hand_L", 4, {64, 38, 0}, {38, 38, 0});
  AddObject(document, "thigh_L", 1, {6.5f, -14, 0}, {0, -12, 0});
  AddObject(document, "shin_L", 2, {6.5f, -50, 0}, {6.5f, -14, 0});
  AddObject(document, "foot_L", 3, {6.5f, -88, 0}, {6.5f, -50, 0});
}

// The mouse at (x, y) without a button: the weight brush is drawn there.
void Hover(mqhost::Host& host, mqhost::Document* document, int x, int y) {
  mqhost::PointerInput input;
  input.x = x;
  input.y = y;
  mqhost::SendMouse(host, document, MQEVENT_MOUSE_MOVE, input);
}

MQObject FindObject(MQDocument doc, const char* name) {
  for (int i = 0; i < HostApi().MQDoc_GetObjectCount(doc); ++i) {
    MQObject obj = HostApi().MQDoc_GetObject(doc, i);
    char buffer[256] = {};
    if (obj != nullptr) HostApi().MQObj_GetName(obj, buffer, sizeof buffer);
    if (obj != nullptr && std::string(buffer) == name) return obj;
  }
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return Fail("usage: rigging_pictures ARM_DOCUMENT OUT_DIR");
  const std::string arm_path = argv[1], out_dir = argv[2];
  mqhost::Host& host = mqhost::Host::Instance();
  std::string error;

  auto main_object = std::make_unique<DLMAIN>(std::make_unique<HEADLESS_UI>());
  InProcessMain() = main_object.get();
  if (host.AttachPlugin(InProcessEntryPoints(), "quorvel", &error) == nullptr) return Fail(error);
  std::unique_ptr<mqhost::ViewportRenderer> renderer = mqhost::ViewportRenderer::Create(&error);
  if (!renderer) return Fail(error);
  mqhost::SendInitialize(host);
  DLMAIN& quorvel = *InProcessMain();

  // The sample arm: its weights made afresh for the arm and the hand.
  mqhost::Document* arm = host.NewDocument();
  mqhost::PluginElementMap elements;
  if (!mqhost::LoadDocumentFile(arm_path, arm, &elements, &error)) return Fail(error);
  host.SetPluginElements(arm, std::move(elements));
  arm->camera.width = 800;
  arm->camera.height = 400;
  arm->camera.position = FVECTOR3(72.0f, 50.0f, 170.0f);
  arm->camera.look_at = FVECTOR3(72.0f, 0.0f, 0.0f);
  mqhost::SendNewDocument(host, arm, arm_path);
  mqhost::SendActivate(host, arm, true);
  MQDocument arm_doc = mqhost::ToHandle(arm);
  for (const char* mesh : {"arm", "hand"}) {
    if (!Done(quorvel.AutoWeights(FindObject(arm_doc, mesh), false, quorvel::AutoWeightOptions()), mesh,
              &error)) {
      return Fail(error);
    }
  }
  quorvel.Service()->SetMode(MODE_WEIGHT);
  // The brush hovers over the elbow, where the two bones blend.
  Hover(host, arm, 380, 200);
  if (!ViewportPicture(host, arm, *renderer, out_dir + "/auto-weights-arm.png", &error)) return Fail(error);
  mqhost::SendActivate(host, arm, false);
  mqhost::SendEndDocument(host, arm);
  host.CloseDocument(arm);

  // The figure: the left side and the middle weighted, then the right side
  // made from them.
  mqhost::Document* figure = host.NewDocument();
  BuildFigure(figure);
  figure->camera.width = 640;
  figure->camera.height = 640;
  figure->camera.position = FVECTOR3(0.0f, -8.0f, 290.0f);
  figure->camera.look_at = FVECTOR3(0.0f, -8.0f, 0.0f);
  mqhost::SendNewDocument(host, figure, "figure.mqd");
  mqhost::SendActivate(host, figure, true);
  MQDocument doc = mqhost::ToHandle(figure);
  MQObject body = FindObject(doc, "body");
  // Colours a person would give the bones in the weight pen panel, one a bone.
  const std::pair<const char*, UCOLOR> colours[] = {
      {"hips", UCOLOR(240, 200, 60)},     {"spine", UCOLOR(240, 140, 60)},
      {"neck", UCOLOR(250, 240, 180)},    {"upperarm_L", UCOLOR(220, 70, 70)},
      {"forearm_L", UCOLOR(90, 200, 90)}, {"hand_L", UCOLOR(80, 120, 230)},
      {"thigh_L", UCOLOR(200, 90, 200)},  {"shin_L", UCOLOR(70, 200, 210)},
      {"foot_L", UCOLOR(150, 110, 240)}};
  for (const auto& [name, colour] : colours) {
    quorvel::SetWeightColour(FindObject(doc, name), quorvel.GetSlots(), colour);
  }
  for (int v = 0; v < HostApi().MQObj_GetVertexCount(body); ++v) {
    MQPoint p;
    HostApi().MQObj_GetVertex(body, v, &p);
    figure->SetSelected(0, v, p.x > -0.01f);
  }
  if (!Done(quorvel.AutoWeights(body, true, quorvel::AutoWeightOptions()), "figure, left side", &error)) {
    return Fail(error);
  }
  for (int v = 0; v < HostApi().MQObj_GetVertexCount(body); ++v) figure->SetSelected(0, v, false);
  quorvel.Service()->SetMode(MODE_WEIGHT);
  Hover(host, figure, 440, 197);
  if (!ViewportPicture(host, figure, *renderer, out_dir + "/mirror-before.png", &error)) return Fail(error);
  for (const char* chain : {"upperarm_L", "thigh_L"}) {
    if (!Done(quorvel.MirrorBones(FindObject(doc, chain), 0.01f), chain, &error)) return Fail(error);
  }
  if (!Done(quorvel.MirrorWeights(body, false, quorvel::MirrorDirection::kPlusToMinus, 0.01f),
            "mirror weights", &error)) {
    return Fail(error);
  }
  if (!ViewportPicture(host, figure, *renderer, out_dir + "/mirror-after.png", &error)) return Fail(error);

  mqhost::SendActivate(host, figure, false);
  mqhost::SendEndDocument(host, figure);
  mqhost::SendExit(host);
  host.CloseDocument(figure);
  host.UnloadPlugins();
  InProcessMain() = nullptr;
  return 0;
}
