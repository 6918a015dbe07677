// Pictures of the sample rig as a person sees it in the modeller: the rig
// in pose mode with its bones drawn over the skinned mesh, and in move mode
// with a bone selected and the transform handle shown. The plug-in's main
// object runs inside this program on the substitute host, and the program
// presses what a person would press in the command panel (the mode, the
// handle display) and selects what a person would click.
//
//   demo_pictures DOCUMENT OUT_DIR
//
// writes OUT_DIR/demo-pose.png and OUT_DIR/demo-move.png. Preferences go to
// the settings file the environment names (scripts/demo.sh sets one).
#include <cstdio>
#include <memory>
#include <string>

#include "host/core/api.h"
#include "host/core/host.h"
#include "host/core/plugin_module.h"
#include "host/events/events.h"
#include "host/files/document_file.h"
#include "host/render/renderer.h"
#include "examples/in_process_plugin.h"
#include "examples/viewport_picture.h"
#include "main/dlmain.h"
#include "main/headless_ui.h"
#include "rig/rig_access.h"
#include "sdk/host_api.h"
#include "tools/command_framework.h"

namespace {

using quorvel_examples::InProcessEntryPoints;
using quorvel_examples::InProcessMain;
using quorvel_examples::ViewportPicture;

int Fail(const std::string& message) {
  std::fprintf(stderr, "demo_pictures: %s\n", message.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return Fail("usage: demo_pictures DOCUMENT OUT_DIR");
  const std::string document_path = argv[1], out_dir = argv[2];
  mqhost::Host& host = mqhost::Host::Instance();
  std::string error;

  auto main_object = std::make_unique<DLMAIN>(std::make_unique<HEADLESS_UI>());
  InProcessMain() = main_object.get();
  if (host.AttachPlugin(InProcessEntryPoints(), "quorvel", &error) == nullptr) return Fail(error);

  mqhost::Document* document = host.NewDocument();
  mqhost::PluginElementMap elements;
  if (!mqhost::LoadDocumentFile(document_path, document, &elements, &error)) return Fail(error);
  host.SetPluginElements(document, std::move(elements));
  // The arm from the front and a little above, filling the view.
  mqhost::Camera& camera = document->camera;
  camera.width = 800;
  camera.height = 500;
  camera.position = FVECTOR3(60.0f, 70.0f, 230.0f);
  camera.look_at = FVECTOR3(70.0f, 15.0f, 0.0f);

  std::unique_ptr<mqhost::ViewportRenderer> renderer = mqhost::ViewportRenderer::Create(&error);
  if (!renderer) return Fail(error);

  mqhost::SendInitialize(host);
  mqhost::SendNewDocument(host, document, document_path);
  mqhost::SendActivate(host, document, true);
  IDLMAIN* service = InProcessMain()->Service();
  MQDocument doc = mqhost::ToHandle(document);

  // Pose mode: the first pose ("bend") is applied; the skinned copies show
  // instead of the objects, with the bones over them.
  service->SetMode(MODE_POSE);
  if (!ViewportPicture(host, document, *renderer, out_dir + "/demo-pose.png", &error)) return Fail(error);

  // Move mode, the handle shown at the elbow's selected pivot, seen from
  // farther off to one side through a long lens: the handle has a fixed size
  // in world units for a given lens and view width (about 60 units here,
  // some 250 at the usual 45 degrees), so a narrow view keeps it in
  // proportion to the 140-unit arm.
  camera.position = FVECTOR3(330.0f, 260.0f, 520.0f);
  camera.look_at = FVECTOR3(80.0f, 20.0f, 0.0f);
  camera.fov_degrees = 12.0f;
  service->SetMode(MODE_MOVE);
  service->SetShowHandle(1);
  MQObject elbow = HostApi().MQDoc_GetObject(doc, 3);
  SelectPart(elbow, service->GetSlots(), *service->GetEditState(), SELKIND_PIVOT);
  HandleAtSelectionCentre(service->GetHandleState(), doc, service->GetSlots(), false);
  if (!ViewportPicture(host, document, *renderer, out_dir + "/demo-move.png", &error)) return Fail(error);

  mqhost::SendActivate(host, document, false);
  mqhost::SendEndDocument(host, document);
  mqhost::SendExit(host);
  host.CloseDocument(document);
  host.UnloadPlugins();
  InProcessMain() = nullptr;
  return 0;
}
