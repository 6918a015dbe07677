// The modeller's main window: plug-ins parent their panels to it. On Windows
// it is a real top-level window of the host process that stays hidden; the
// native build has no window system and answers null.
#include "host/core/host.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace mqhost {

#if defined(_WIN32)

namespace {

constexpr char kWindowClass[] = "MQHostMainWindow";

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace

void* Host::WindowHandle() {
  if (window_ != nullptr) return window_;
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA window_class{};
  if (!GetClassInfoA(instance, kWindowClass, &window_class)) {
    window_class.lpfnWndProc = &MainWindowProc;
    window_class.hInstance = instance;
    window_class.lpszClassName = kWindowClass;
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
    RegisterClassA(&window_class);
  }
  window_ = CreateWindowExA(0, kWindowClass, "mqhost", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                            CW_USEDEFAULT, 1024, 768, nullptr, nullptr, instance, nullptr);
  own_window_ = window_ != nullptr;
  return window_;
}

void Host::SetWindowHandle(void* window) {
  ReleaseWindow();
  window_ = window;
  own_window_ = false;
}

void Host::ReleaseWindow() {
  if (window_ != nullptr && own_window_) DestroyWindow(static_cast<HWND>(window_));
  window_ = nullptr;
  own_window_ = false;
}

#else

void* Host::WindowHandle() { return window_; }
void Host::SetWindowHandle(void* window) { window_ = window; }
void Host::ReleaseWindow() { window_ = nullptr; }

#endif

}  // namespace mqhost
