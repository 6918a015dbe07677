#pragma once
// The main object with its real Win32 panels in the test program, and what
// the panel tests share: menus and message boxes seen while they are open,
// wide texts, and pictures of windows as they are on the screen.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/files/document_file.h"
#include "host/render/image.h"
#include "main/idlmain.h"
#include "platform/module.h"
#include "tests/tools/commands/command_fixture.h"
#include "tests/windows/ui_driver.h"
#include "ui/panels/win32_user_interface.h"

namespace quorvel_test {

// The main object with its real panels, in the test program: the dialogs
// come from the program's own resources.
class PanelTest : public CommandTest {
 protected:
  std::unique_ptr<MED_PLUGIN_UI> MakeUserInterface() override {
    auto ui = std::make_unique<WIN32_UI>();
    win32_ = ui.get();
    return ui;
  }
  void SetUp() override {
    quorvel::platform::SetPluginModuleInstance(GetModuleHandleW(nullptr));
    CommandTest::SetUp();
  }
  HWND Panel(PANEL_ID id) const { return win32_->PanelWindow(id); }
  bool Visible(PANEL_ID id) const { return Panel(id) != nullptr && IsWindowVisible(Panel(id)); }
  IDLMAIN& Service() const { return *main_->Service(); }
  // A document of examples/ in place of the empty one (before Start).
  void LoadExample(const char* file) {
    mqhost::PluginElementMap elements;
    std::string error;
    ASSERT_TRUE(mqhost::LoadDocumentFile(std::string(QUORVEL_EXAMPLES_DIR) + "/" + file, document_,
                                         &elements, &error))
        << error;
    host_.SetPluginElements(document_, std::move(elements));
  }
  // The plug-in set to start disabled, then initialised, a document opened
  // and the command taken: only the command panel exists.
  void StartDisabled() {
    {
      UREGKEY key;
      ASSERT_TRUE(key.OpenWrite(settings_key_.c_str()));
      ASSERT_TRUE(key.WriteDword("enable_flg", 0));
    }
    ASSERT_EQ(mqhost::SendInitialize(host_, plugin_), TRUE);
    ASSERT_EQ(mqhost::SendNewDocument(host_, document_, "test.mqd", plugin_), TRUE);
    ASSERT_EQ(mqhost::SendActivate(host_, document_, true, plugin_), TRUE);
  }
  void Command(PANEL_ID id, int item) { SendMessageW(Panel(id), WM_COMMAND, MAKEWPARAM(item, 0), 0); }

  // What a pop-up menu showed when `open` opened it; it is closed unchosen.
  struct MenuSeen {
    bool shown = false;
    std::vector<std::wstring> texts;
    std::vector<bool> checked, grayed;
  };
  MenuSeen OpenMenu(const std::function<void()>& open, const std::vector<UINT>& items) {
    MenuSeen seen;
    WhileModal look([&] {
      HMENU menu = ShownPopupMenu();
      seen.shown = menu != nullptr;
      for (UINT id : items) {
        seen.texts.push_back(MenuItemText(menu, id));
        seen.checked.push_back(MenuItemChecked(menu, id));
        seen.grayed.push_back(MenuItemGrayed(menu, id));
      }
      EndMenu();
    });
    open();
    return seen;
  }
  // The message box `open` brought up, answered with `answer`.
  struct BoxSeen {
    bool shown = false;
    std::wstring text;
  };
  BoxSeen AnswerBox(const std::wstring& title, int answer, const std::function<void()>& open) {
    BoxSeen seen;
    WhileModal reply([&] {
      HWND box = FindThreadDialog(title);
      seen.shown = box != nullptr;
      if (box == nullptr) return;
      seen.text = MessageBoxText(box);
      ClickButton(GetDlgItem(box, answer));
    });
    open();
    return seen;
  }

  WIN32_UI* win32_ = nullptr;
};

inline std::wstring Wide(const char* utf8) {
  wchar_t text[512] = {};
  MultiByteToWideChar(CP_UTF8, 0, utf8, -1, text, 512);
  return text;
}

// The window as it is on the screen, as a PNG file; the picture for checks.
inline mqhost::Image Capture(HWND window, const std::string& path) {
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
  MSG msg;
  for (int i = 0; i < 50 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) DispatchMessageW(&msg);
  GdiFlush();
  RECT r;
  GetWindowRect(window, &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  mqhost::Image image(w, h);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  const auto* bgra = static_cast<const uint8_t*>(bits);
  for (int i = 0; i < w * h; ++i) {
    image.data()[i * 4 + 0] = bgra[i * 4 + 2];
    image.data()[i * 4 + 1] = bgra[i * 4 + 1];
    image.data()[i * 4 + 2] = bgra[i * 4 + 0];
    image.data()[i * 4 + 3] = 255;
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  std::string png;
  if (mqhost::EncodePng(image, &png)) std::ofstream(path, std::ios::binary) << png;
  return image;
}

// Dark pixels (text, frames) inside the client area: a panel drawn at all.
inline int DarkPixels(const mqhost::Image& image) {
  int dark = 0;
  for (int y = 30; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const mqhost::Rgba p = image.At(x, y);
      dark += p.r + p.g + p.b < 200;
    }
  }
  return dark;
}

// The window put at (x, 10) above every other and saved as
// pictures/NAME.png under the build tree, for people to look at; answers the
// dark pixels in it (more than a few: the window was drawn at all).
inline int SavePicture(HWND window, int x, const std::string& name) {
  const std::string pictures = QUORVEL_PICTURES_DIR;
  CreateDirectoryA(pictures.c_str(), nullptr);
  SetWindowPos(window, HWND_TOPMOST, x, 10, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
  const int dark = DarkPixels(Capture(window, pictures + "/" + name + ".png"));
  SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
  return dark;
}

}  // namespace quorvel_test
