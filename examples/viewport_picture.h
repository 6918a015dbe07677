#pragma once
// One picture of the substitute host's viewport as the demo programs take
// it: a draw event sent, and what the renderer painted before the frame's
// drawing went, written as PNG.
#include <cstdio>
#include <fstream>
#include <string>

#include "host/core/host.h"
#include "host/events/events.h"
#include "host/render/renderer.h"

namespace quorvel_examples {

inline bool ViewportPicture(mqhost::Host& host, mqhost::Document* document,
                            mqhost::ViewportRenderer& renderer, const std::string& path, std::string* error) {
  mqhost::Image picture;
  bool painted = false;
  std::string reason = "the draw event did not reach the view";
  host.SetViewportPainter([&](mqhost::Document& drawn) {
    if (&drawn == document) painted = renderer.Render(drawn, &picture, &reason);
  });
  mqhost::SendDraw(host, document, document->camera.width, document->camera.height);
  host.SetViewportPainter(nullptr);
  std::string png;
  if (!painted || !mqhost::EncodePng(picture, &png)) {
    *error = path + ": " + (painted ? "cannot encode the picture" : reason);
    return false;
  }
  std::ofstream out(path, std::ios::binary);
  out.write(png.data(), static_cast<std::streamsize>(png.size()));
  if (!out.good()) {
    *error = path + ": cannot write";
    return false;
  }
  std::printf("wrote %s (%d x %d)\n", path.c_str(), picture.width(), picture.height());
  return true;
}

}  // namespace quorvel_examples
