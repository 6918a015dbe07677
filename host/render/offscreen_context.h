#pragma once
// An OpenGL context that draws into an off-screen framebuffer of a chosen
// size, for pictures of the viewport: OSMesa natively; on Windows a hidden
// window's WGL context drawing into a framebuffer object (a hidden window
// owns no pixels of its own to draw into).
#include <memory>
#include <string>

namespace mqhost {

// The longest side of a viewport that pictures are drawn of (what Mesa's
// software renderers draw at most).
constexpr int kMaxViewportSide = 16384;

class OffscreenContext {
 public:
  // Null, with the reason, when the platform gives no OpenGL context.
  static std::unique_ptr<OffscreenContext> Create(std::string* error);
  ~OffscreenContext();
  OffscreenContext(const OffscreenContext&) = delete;
  OffscreenContext& operator=(const OffscreenContext&) = delete;

  // Makes the context current on the calling thread, drawing into a
  // framebuffer of width × height pixels (made anew when the size changes).
  // False, with the reason, for a size the platform cannot draw.
  bool Bind(int width, int height, std::string* error);

 private:
  struct Impl;
  explicit OffscreenContext(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace mqhost
