#pragma once
// Pictures of the viewport: what the modeller's view shows of a document
// through its camera (the camera's width × height pixels), drawn off-screen.
#include <memory>
#include <string>
#include <vector>

#include "host/core/document.h"
#include "host/render/gl_viewport.h"
#include "host/render/image.h"
#include "host/render/offscreen_context.h"
#include "host/render/viewport_mesh.h"

namespace mqhost {

class ViewportRenderer {
 public:
  // Null, with the reason, when no OpenGL context can be had: a picture is
  // never made up without one.
  static std::unique_ptr<ViewportRenderer> Create(std::string* error);

  // Draws the document and its drawing objects as they are now into
  // `picture`. False, with the reason, when it cannot be drawn.
  bool Render(const Document& document, Image* picture, std::string* error);
  // The same frame in the layout a screen takes (ReadViewportBgra): what the
  // interactive viewport shows, without turning it into a picture first.
  bool RenderForScreen(const Document& document, std::vector<uint8_t>* bgra, std::string* error);

  PaintStyle& style() { return style_; }

 private:
  explicit ViewportRenderer(std::unique_ptr<OffscreenContext> context) : context_(std::move(context)) {}
  // The frame into the context's framebuffer, sized to the camera.
  bool Paint(const Document& document, std::string* error);

  std::unique_ptr<OffscreenContext> context_;
  ViewportMesh mesh_;  // kept so that its storage serves the next picture
  PaintStyle style_;
};

}  // namespace mqhost
