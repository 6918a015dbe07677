#include "host/render/renderer.h"

namespace mqhost {

std::unique_ptr<ViewportRenderer> ViewportRenderer::Create(std::string* error) {
  std::unique_ptr<OffscreenContext> context = OffscreenContext::Create(error);
  if (!context) return nullptr;
  return std::unique_ptr<ViewportRenderer>(new ViewportRenderer(std::move(context)));
}

bool ViewportRenderer::Paint(const Document& document, std::string* error) {
  const Camera& camera = document.camera;
  if (!context_->Bind(camera.width, camera.height, error)) return false;
  BuildViewportMesh(document, &mesh_);
  return PaintViewport(mesh_, camera, style_, error);
}

bool ViewportRenderer::Render(const Document& document, Image* picture, std::string* error) {
  const Camera& camera = document.camera;
  return Paint(document, error) && ReadViewport(camera.width, camera.height, picture, error);
}

bool ViewportRenderer::RenderForScreen(const Document& document, std::vector<uint8_t>* bgra, std::string* error) {
  const Camera& camera = document.camera;
  return Paint(document, error) && ReadViewportBgra(camera.width, camera.height, bgra, error);
}

}  // namespace mqhost
