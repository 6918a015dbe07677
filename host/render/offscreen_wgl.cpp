// The off-screen context on Windows: a hidden window's WGL context, drawing
// into a framebuffer object, since a window that is never shown owns no
// pixels that GL must keep. Framebuffer objects come after OpenGL 1.1, so
// their functions are looked up through wglGetProcAddress (the core names
// first, then the extension's, which share the same codes).
#include <string>

#include "host/render/gl_api.h"
#include "host/render/offscreen_context.h"

namespace mqhost {

namespace {

constexpr GLenum kFramebuffer = 0x8D40;          // GL_FRAMEBUFFER
constexpr GLenum kRenderbuffer = 0x8D41;         // GL_RENDERBUFFER
constexpr GLenum kColorAttachment0 = 0x8CE0;     // GL_COLOR_ATTACHMENT0
constexpr GLenum kDepthAttachment = 0x8D00;      // GL_DEPTH_ATTACHMENT
constexpr GLenum kFramebufferComplete = 0x8CD5;  // GL_FRAMEBUFFER_COMPLETE
constexpr GLenum kRgba8 = 0x8058;                // GL_RGBA8
constexpr GLenum kDepthComponent24 = 0x81A6;     // GL_DEPTH_COMPONENT24
constexpr GLenum kMaxRenderbufferSize = 0x84E8;  // GL_MAX_RENDERBUFFER_SIZE

struct FramebufferApi {
  void(APIENTRY* GenFramebuffers)(GLsizei, GLuint*) = nullptr;
  void(APIENTRY* DeleteFramebuffers)(GLsizei, const GLuint*) = nullptr;
  void(APIENTRY* BindFramebuffer)(GLenum, GLuint) = nullptr;
  void(APIENTRY* GenRenderbuffers)(GLsizei, GLuint*) = nullptr;
  void(APIENTRY* DeleteRenderbuffers)(GLsizei, const GLuint*) = nullptr;
  void(APIENTRY* BindRenderbuffer)(GLenum, GLuint) = nullptr;
  void(APIENTRY* RenderbufferStorage)(GLenum, GLenum, GLsizei, GLsizei) = nullptr;
  void(APIENTRY* FramebufferRenderbuffer)(GLenum, GLenum, GLenum, GLuint) = nullptr;
  GLenum(APIENTRY* CheckFramebufferStatus)(GLenum) = nullptr;
};

template <typename Fn>
bool Lookup(const char* name, Fn* fn) {
  PROC proc = wglGetProcAddress(name);
  if (proc == nullptr) proc = wglGetProcAddress((std::string(name) + "EXT").c_str());
  // wglGetProcAddress may answer small integers instead of null for failure.
  const auto address = reinterpret_cast<INT_PTR>(proc);
  if (address >= -1 && address <= 3) return false;
  // Through void (*)(), which casts to any function type without a warning.
  *fn = reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(proc));
  return true;
}

bool LoadFramebufferApi(FramebufferApi* api) {
  return Lookup("glGenFramebuffers", &api->GenFramebuffers) &&
         Lookup("glDeleteFramebuffers", &api->DeleteFramebuffers) &&
         Lookup("glBindFramebuffer", &api->BindFramebuffer) &&
         Lookup("glGenRenderbuffers", &api->GenRenderbuffers) &&
         Lookup("glDeleteRenderbuffers", &api->DeleteRenderbuffers) &&
         Lookup("glBindRenderbuffer", &api->BindRenderbuffer) &&
         Lookup("glRenderbufferStorage", &api->RenderbufferStorage) &&
         Lookup("glFramebufferRenderbuffer", &api->FramebufferRenderbuffer) &&
         Lookup("glCheckFramebufferStatus", &api->CheckFramebufferStatus);
}

constexpr wchar_t kWindowClass[] = L"mqhost offscreen viewport";

std::string Failed(const char* step) {
  const DWORD code = GetLastError();
  return std::string("cannot make an OpenGL context: ") + step + " failed (error " + std::to_string(code) + ")";
}

}  // namespace

struct OffscreenContext::Impl {
  HWND window = nullptr;
  HDC dc = nullptr;
  HGLRC context = nullptr;
  FramebufferApi fb;
  GLuint framebuffer = 0;
  GLuint renderbuffers[2] = {0, 0};  // colour, depth
  int width = 0;
  int height = 0;

  Impl() = default;
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;
  ~Impl() {
    if (context != nullptr) {
      if (framebuffer != 0 && wglMakeCurrent(dc, context)) {
        fb.DeleteFramebuffers(1, &framebuffer);
        fb.DeleteRenderbuffers(2, renderbuffers);
      }
      wglMakeCurrent(nullptr, nullptr);
      wglDeleteContext(context);
    }
    if (dc != nullptr) ReleaseDC(window, dc);
    if (window != nullptr) DestroyWindow(window);
  }
};

OffscreenContext::OffscreenContext(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
OffscreenContext::~OffscreenContext() = default;

std::unique_ptr<OffscreenContext> OffscreenContext::Create(std::string* error) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW window_class = {};
  window_class.style = CS_OWNDC;  // the pixel format belongs to the window's own DC
  window_class.lpfnWndProc = DefWindowProcW;
  window_class.hInstance = instance;
  window_class.lpszClassName = kWindowClass;
  if (RegisterClassW(&window_class) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    *error = Failed("RegisterClass");
    return nullptr;
  }
  auto impl = std::make_unique<Impl>();
  Impl& d = *impl;
  d.window = CreateWindowExW(0, kWindowClass, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, instance, nullptr);
  if (d.window == nullptr) {
    *error = Failed("CreateWindowEx");
    return nullptr;
  }
  d.dc = GetDC(d.window);
  if (d.dc == nullptr) {
    *error = Failed("GetDC");
    return nullptr;
  }
  PIXELFORMATDESCRIPTOR format = {};
  format.nSize = sizeof format;
  format.nVersion = 1;
  format.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  format.iPixelType = PFD_TYPE_RGBA;
  format.cColorBits = 32;
  format.cDepthBits = 24;
  format.iLayerType = PFD_MAIN_PLANE;
  const int chosen = ChoosePixelFormat(d.dc, &format);
  if (chosen == 0) {
    *error = Failed("ChoosePixelFormat");
    return nullptr;
  }
  if (!SetPixelFormat(d.dc, chosen, &format)) {
    *error = Failed("SetPixelFormat");
    return nullptr;
  }
  d.context = wglCreateContext(d.dc);
  if (d.context == nullptr) {
    *error = Failed("wglCreateContext");
    return nullptr;
  }
  if (!wglMakeCurrent(d.dc, d.context)) {
    *error = Failed("wglMakeCurrent");
    return nullptr;
  }
  if (!LoadFramebufferApi(&d.fb)) {
    *error = "cannot make an OpenGL context: the OpenGL driver has no framebuffer objects";
    return nullptr;
  }
  d.fb.GenFramebuffers(1, &d.framebuffer);
  d.fb.GenRenderbuffers(2, d.renderbuffers);
  return std::unique_ptr<OffscreenContext>(new OffscreenContext(std::move(impl)));
}

bool OffscreenContext::Bind(int width, int height, std::string* error) {
  Impl& d = *impl_;
  const std::string size = std::to_string(width) + " x " + std::to_string(height) + " pixels";
  if (!wglMakeCurrent(d.dc, d.context)) {
    *error = "cannot make the OpenGL context current (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  if (width == d.width && height == d.height) {
    d.fb.BindFramebuffer(kFramebuffer, d.framebuffer);
    return true;
  }
  GLint largest = 0;
  glGetIntegerv(kMaxRenderbufferSize, &largest);
  if (width < 1 || height < 1 || width > kMaxViewportSide || height > kMaxViewportSide || width > largest ||
      height > largest) {
    *error = "cannot draw a viewport of " + size;
    return false;
  }
  d.width = d.height = 0;
  d.fb.BindFramebuffer(kFramebuffer, d.framebuffer);
  d.fb.BindRenderbuffer(kRenderbuffer, d.renderbuffers[0]);
  d.fb.RenderbufferStorage(kRenderbuffer, kRgba8, width, height);
  d.fb.FramebufferRenderbuffer(kFramebuffer, kColorAttachment0, kRenderbuffer, d.renderbuffers[0]);
  d.fb.BindRenderbuffer(kRenderbuffer, d.renderbuffers[1]);
  d.fb.RenderbufferStorage(kRenderbuffer, kDepthComponent24, width, height);
  d.fb.FramebufferRenderbuffer(kFramebuffer, kDepthAttachment, kRenderbuffer, d.renderbuffers[1]);
  d.fb.BindRenderbuffer(kRenderbuffer, 0);
  const GLenum status = d.fb.CheckFramebufferStatus(kFramebuffer);
  if (status != kFramebufferComplete || glGetError() != GL_NO_ERROR) {
    *error = "the OpenGL driver cannot draw a viewport of " + size;
    return false;
  }
  d.width = width;
  d.height = height;
  return true;
}

}  // namespace mqhost
