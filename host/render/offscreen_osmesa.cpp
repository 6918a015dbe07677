// The off-screen context natively: Mesa's OSMesa draws into memory of ours.
#include <GL/osmesa.h>

#include <cstdint>
#include <vector>

#include "host/render/offscreen_context.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace mqhost {

namespace {

// Mesa keeps part of what OSMesa allocates for a context and its buffers
// until the process ends; that memory is Mesa's to manage, not a leak of
// ours, so the leak checker of sanitizer builds is told to look away.
class MesaAllocations {
 public:
  MesaAllocations() {
#if defined(__SANITIZE_ADDRESS__)
    __lsan_disable();
#endif
  }
  ~MesaAllocations() {
#if defined(__SANITIZE_ADDRESS__)
    __lsan_enable();
#endif
  }
  MesaAllocations(const MesaAllocations&) = delete;
  MesaAllocations& operator=(const MesaAllocations&) = delete;
};

}  // namespace

struct OffscreenContext::Impl {
  OSMesaContext context = nullptr;
  std::vector<uint8_t> pixels;  // what OSMesa draws into, RGBA
  int width = 0;
  int height = 0;

  Impl() = default;
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;
  ~Impl() {
    if (context != nullptr) OSMesaDestroyContext(context);
  }
};

OffscreenContext::OffscreenContext(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
OffscreenContext::~OffscreenContext() = default;

std::unique_ptr<OffscreenContext> OffscreenContext::Create(std::string* error) {
  auto impl = std::make_unique<Impl>();
  {
    const MesaAllocations mesa;
    impl->context = OSMesaCreateContextExt(OSMESA_RGBA, 24, 0, 0, nullptr);
  }
  if (impl->context == nullptr) {
    *error = "OSMesa could not make an OpenGL context";
    return nullptr;
  }
  return std::unique_ptr<OffscreenContext>(new OffscreenContext(std::move(impl)));
}

bool OffscreenContext::Bind(int width, int height, std::string* error) {
  Impl& d = *impl_;
  if (width != d.width || height != d.height || d.pixels.empty()) {
    if (width < 1 || height < 1 || width > kMaxViewportSide || height > kMaxViewportSide) {
      *error = "cannot draw a viewport of " + std::to_string(width) + " x " + std::to_string(height) + " pixels";
      return false;
    }
    d.pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height) * 4, 0);
    d.width = width;
    d.height = height;
  }
  bool current = false;
  {
    const MesaAllocations mesa;
    current = OSMesaMakeCurrent(d.context, d.pixels.data(), GL_UNSIGNED_BYTE, width, height);
  }
  if (!current) {
    *error = "OSMesa cannot draw a viewport of " + std::to_string(width) + " x " + std::to_string(height) +
             " pixels";
    d.width = d.height = 0;
    return false;
  }
  return true;
}

}  // namespace mqhost
