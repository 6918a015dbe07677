// The command panel's glTF items under Wine as a person uses them: chosen
// from the real "その他" menu, the system's file dialog filled in, the unit
// scale typed into the plug-in's dialog, the report box read and closed; a
// .glb file written, and its model added to the document again.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/windows/panel_fixture.h"
#include "tests/windows/ui_driver.h"
#include "ui/resources/resource.h"

namespace {

namespace fs = std::filesystem;
using namespace quorvel_test;

BOOL CALLBACK CloseDialog(HWND window, LPARAM) {
  wchar_t cls[32] = {};
  GetClassNameW(window, cls, 32);
  if (std::wstring(cls) == L"#32770" && IsWindowVisible(window)) PostMessageW(window, WM_CLOSE, 0, 0);
  return TRUE;
}

// What a person does on the modal windows that come up, in order: a thread
// timer tries the current step at every tick until it finds its window and
// acts (a step answers whether it did). A step that finds nothing for many
// ticks ends the steps: every menu and dialog of the thread is closed, so a
// window that is not there fails the test instead of leaving it waiting.
class ModalSteps {
 public:
  using Step = std::function<bool()>;
  explicit ModalSteps(std::vector<Step> steps) : steps_(std::move(steps)) {
    Active() = this;
    timer_ = SetTimer(nullptr, 0, 50, &Tick);
  }
  ~ModalSteps() {
    KillTimer(nullptr, timer_);
    Active() = nullptr;
  }
  ModalSteps(const ModalSteps&) = delete;
  ModalSteps& operator=(const ModalSteps&) = delete;

  size_t done() const { return next_; }
  bool finished() const { return next_ == steps_.size(); }
  bool given_up() const { return given_up_; }
  // Runs the thread's messages (the menu's command is posted) until every
  // step was taken, or a generous number of rounds went by.
  void Pump() const {
    for (int round = 0; round < 600 && !finished() && !given_up_; ++round) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
      Sleep(20);
    }
  }

 private:
  static ModalSteps*& Active() {
    static ModalSteps* active = nullptr;
    return active;
  }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    ModalSteps* s = Active();
    // A step's click may open a modal loop of its own, which ticks again.
    if (s == nullptr || s->busy_ || s->finished()) return;
    if (s->given_up_ || ++s->ticks_ > kPatience) {
      s->given_up_ = true;
      EndMenu();
      EnumThreadWindows(GetCurrentThreadId(), &CloseDialog, 0);
      return;
    }
    s->busy_ = true;
    if (s->steps_[s->next_]()) {
      ++s->next_;
      s->ticks_ = 0;
    }
    s->busy_ = false;
  }
  static constexpr int kPatience = 200;
  std::vector<Step> steps_;
  size_t next_ = 0;
  bool busy_ = false;
  bool given_up_ = false;
  int ticks_ = 0;
  UINT_PTR timer_ = 0;
};

// A visible dialog of this thread with this title for which `match` holds.
struct DialogSearch {
  const std::wstring* title;
  const std::function<bool(HWND)>* match;
  HWND found;
};
BOOL CALLBACK MatchDialog(HWND window, LPARAM data) {
  auto* s = reinterpret_cast<DialogSearch*>(data);
  wchar_t cls[32] = {};
  GetClassNameW(window, cls, 32);
  if (std::wstring(cls) == L"#32770" && IsWindowVisible(window) && TextOf(window) == *s->title &&
      (*s->match)(window)) {
    s->found = window;
    return FALSE;
  }
  return TRUE;
}
HWND FindDialog(const std::wstring& title, const std::function<bool(HWND)>& match) {
  DialogSearch search{&title, &match, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), &MatchDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}
// The three windows that share the item's title: the file dialog, the
// plug-in's scale dialog and the report box.
bool IsScaleDialog(HWND dialog) { return GetDlgItem(dialog, IDC_GLTF_SCALE) != nullptr; }
bool IsMessageBox(HWND dialog) { return GetDlgItem(dialog, 0xFFFF) != nullptr && !IsScaleDialog(dialog); }
bool IsFileDialog(HWND dialog) { return !IsScaleDialog(dialog) && !IsMessageBox(dialog); }

BOOL CALLBACK FirstEdit(HWND window, LPARAM data) {
  wchar_t cls[16] = {};
  GetClassNameW(window, cls, 16);
  if (lstrcmpiW(cls, L"Edit") != 0 || !IsWindowVisible(window)) return TRUE;
  *reinterpret_cast<HWND*>(data) = window;
  return FALSE;
}
// The file name box of the system's file dialog: the "edt1" edit, or the
// edit of the "cmb13" combo box, or the first edit the dialog shows.
HWND FileNameEdit(HWND dialog) {
  HWND edit = GetDlgItem(dialog, 0x480);
  if (edit == nullptr) {
    HWND combo = GetDlgItem(dialog, 0x47C);
    if (combo != nullptr) edit = FindWindowExW(combo, nullptr, L"Edit", nullptr);
  }
  if (edit == nullptr) EnumChildWindows(dialog, &FirstEdit, reinterpret_cast<LPARAM>(&edit));
  return edit;
}

// The edit inside the spin box that the plug-in makes of the scale's item.
HWND ScaleEdit(HWND dialog) {
  HWND item = GetDlgItem(dialog, IDC_GLTF_SCALE);
  HWND edit = FindWindowExW(item, nullptr, L"Edit", nullptr);
  return edit != nullptr ? edit : item;
}
void TypeOver(HWND edit, const wchar_t* text) {
  SetFocus(edit);
  SendMessageW(edit, EM_SETSEL, 0, -1);
  TypeText(edit, text);
}

std::string Narrow(const std::wstring& text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
  return out;
}

// The JSON chunk of a .glb file; null when the file is no glTF binary.
nlohmann::json GlbJson(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  uint32_t length = 0;
  if (bytes.size() < 20 || bytes.compare(0, 4, "glTF") != 0 || bytes.compare(16, 4, "JSON") != 0)
    return nullptr;
  std::memcpy(&length, bytes.data() + 12, 4);
  if (bytes.size() < 20u + length) return nullptr;
  return nlohmann::json::parse(bytes.substr(20, length), nullptr,
                               /*allow_exceptions=*/false);
}

class GltfMenuTest : public PanelTest {
 protected:
  void SetUp() override {
    PanelTest::SetUp();
    // A folder of Windows' own temporary folder: the file dialog takes
    // Windows paths.
    wchar_t temp[MAX_PATH] = {};
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    folder_ = fs::path(temp) / (L"quorvel-gltf-" + std::to_wstring(GetCurrentProcessId()));
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
    ASSERT_TRUE(fs::create_directories(folder_));
    LoadExample("arm_rig.mqd");
    Start(MODE_MOVE);
  }
  void TearDown() override {
    PanelTest::TearDown();
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  // A step on the shown "その他" menu: its texts and grey states noted, then
  // `item` chosen with the keyboard, as the menu's own loop reads it.
  ModalSteps::Step ChooseFromMenu(UINT item) {
    return [this, item] {
      HMENU menu = ShownPopupMenu();
      HWND window = FindWindowW(L"#32768", nullptr);
      if (menu == nullptr || window == nullptr) return false;
      menu_texts_ = {MenuItemText(menu, ID_OPTION_GLTF_EXPORT), MenuItemText(menu, ID_OPTION_GLTF_IMPORT)};
      menu_grayed_ =
          MenuItemGrayed(menu, ID_OPTION_GLTF_EXPORT) || MenuItemGrayed(menu, ID_OPTION_GLTF_IMPORT);
      int downs = 0;
      for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        if (GetMenuState(menu, i, MF_BYPOSITION) & MF_SEPARATOR) continue;
        ++downs;
        if (GetMenuItemID(menu, i) == item) break;
      }
      for (int i = 0; i < downs; ++i) PostMessageW(window, WM_KEYDOWN, VK_DOWN, 1);
      PostMessageW(window, WM_KEYDOWN, VK_RETURN, 1);
      return true;
    };
  }
  // A step on the file dialog titled `title`: `path` typed as the name, OK.
  ModalSteps::Step FillFileDialog(const std::wstring& title, const fs::path& path) {
    return [this, title, path] {
      HWND dialog = FindDialog(title, &IsFileDialog);
      if (dialog == nullptr) return false;
      HWND edit = FileNameEdit(dialog);
      file_dialog_seen_ = edit != nullptr;
      if (edit == nullptr) {
        ClickItem(dialog, IDCANCEL);
        return true;
      }
      SetWindowTextW(edit, path.wstring().c_str());
      ClickItem(dialog, IDOK);
      return true;
    };
  }
  // A step on the scale dialog titled `title`: what it opened with noted,
  // `scale` typed over it, OK.
  ModalSteps::Step FillScaleDialog(const std::wstring& title, const wchar_t* scale) {
    return [this, title, scale] {
      HWND dialog = FindDialog(title, &IsScaleDialog);
      if (dialog == nullptr) return false;
      scale_opened_with_ = TextOf(ScaleEdit(dialog));
      TypeOver(ScaleEdit(dialog), scale);
      ClickItem(dialog, IDOK);
      return true;
    };
  }
  // A step on the report box titled `title`: its text noted, closed.
  ModalSteps::Step ReadReport(const std::wstring& title) {
    return [this, title] {
      HWND box = FindDialog(title, &IsMessageBox);
      if (box == nullptr) return false;
      report_ = MessageBoxText(box);
      ClickButton(GetDlgItem(box, IDOK));
      return true;
    };
  }
  void OpenOptionMenu() { ClickItem(Panel(PANEL_COMMAND), IDC_COMMAND_OPTION); }

  fs::path folder_;
  std::vector<std::wstring> menu_texts_;
  bool menu_grayed_ = true;
  bool file_dialog_seen_ = false;
  std::wstring scale_opened_with_;
  std::wstring report_;
};

TEST_F(GltfMenuTest, TheOptionMenuExportsAGlbFileAndImportsItAgain) {
  const std::wstring export_title = Wide("glTF書き出し"), import_title = Wide("glTF読み込み");
  const fs::path file = folder_ / L"arm.glb";
  {
    ModalSteps steps({ChooseFromMenu(ID_OPTION_GLTF_EXPORT), FillFileDialog(export_title, file),
                      FillScaleDialog(export_title, L"0.02"), ReadReport(export_title)});
    OpenOptionMenu();
    steps.Pump();
    ASSERT_TRUE(steps.finished()) << "steps taken: " << steps.done();
  }
  EXPECT_EQ(menu_texts_, (std::vector<std::wstring>{Wide("glTF書き出し..."), Wide("glTF読み込み...")}));
  EXPECT_FALSE(menu_grayed_);
  EXPECT_TRUE(file_dialog_seen_) << "the file dialog has a name box";
  EXPECT_EQ(scale_opened_with_, L"0.01") << "one modeller unit is a centimetre at first";
  EXPECT_EQ(report_.find(file.wstring()), 0u) << "the report names the file";
  EXPECT_NE(report_.find(Wide("オブジェクト ")), std::wstring::npos);
  EXPECT_NE(report_.find(Wide("アニメーション ")), std::wstring::npos);
  const nlohmann::json gltf = GlbJson(file);
  ASSERT_TRUE(gltf.is_object()) << "a glTF binary where the file dialog said";
  EXPECT_NEAR(gltf["asset"]["extras"]["quorvel"]["unitScale"].get<double>(), 0.02, 1e-7)
      << "written at the scale typed into the dialog";

  const int objects = document_->ObjectCount();
  {
    ModalSteps steps({ChooseFromMenu(ID_OPTION_GLTF_IMPORT), FillFileDialog(import_title, file),
                      FillScaleDialog(import_title, L"0.02"), ReadReport(import_title)});
    OpenOptionMenu();
    steps.Pump();
    ASSERT_TRUE(steps.finished()) << "steps taken: " << steps.done();
  }
  EXPECT_EQ(scale_opened_with_, L"0.02") << "the length confirmed last";
  EXPECT_NE(report_.find(Wide("ポーズ ")), std::wstring::npos) << Narrow(report_);
  EXPECT_GT(document_->ObjectCount(), objects) << "the file's model was added";
}

// OK stays grey, and Enter leaves the dialog open, while the edit holds no
// length: zero, a negative number, a number too large for a float. A length
// typed and entered is what the file is written at.
TEST_F(GltfMenuTest, TheScaleDialogTakesOnlyALength) {
  const std::wstring title = Wide("glTF書き出し");
  const fs::path file = folder_ / L"scaled.glb";
  struct Seen {
    std::wstring typed;
    bool ok_enabled;
    bool still_open;
  };
  std::vector<Seen> seen;
  const std::vector<const wchar_t*> no_lengths = {L"0", L"-1",
                                                  L"1000000000000000000000000000000000000000000"};
  ModalSteps steps({FillFileDialog(title, file),
                    [&] {
                      HWND dialog = FindDialog(title, &IsScaleDialog);
                      if (dialog == nullptr) return false;
                      HWND edit = ScaleEdit(dialog);
                      for (const wchar_t* text : no_lengths) {
                        TypeOver(edit, text);
                        EnterThroughDialogManager(dialog, edit);
                        seen.push_back({text, Enabled(dialog, IDOK), IsWindowVisible(dialog) != FALSE});
                      }
                      TypeOver(edit, L"0.0254");
                      EnterThroughDialogManager(dialog, edit);
                      return true;
                    },
                    ReadReport(title)});
  Command(PANEL_COMMAND, ID_OPTION_GLTF_EXPORT);
  steps.Pump();
  ASSERT_TRUE(steps.finished()) << "steps taken: " << steps.done();
  ASSERT_EQ(seen.size(), no_lengths.size());
  for (const Seen& s : seen) {
    SCOPED_TRACE(Narrow(s.typed));
    EXPECT_FALSE(s.ok_enabled);
    EXPECT_TRUE(s.still_open);
  }
  const nlohmann::json gltf = GlbJson(file);
  ASSERT_TRUE(gltf.is_object());
  EXPECT_NEAR(gltf["asset"]["extras"]["quorvel"]["unitScale"].get<double>(), 0.0254, 1e-7);
}

// The option menu with the new items and the scale dialog, saved under the
// build tree (pictures/) for people to look at.
TEST_F(GltfMenuTest, PicturesOfTheGltfItems) {
  bool menu_captured = false;
  WhileModal shoot_menu([&] {
    HWND window = FindWindowW(L"#32768", nullptr);
    if (window != nullptr) {
      const std::string pictures = QUORVEL_PICTURES_DIR;
      CreateDirectoryA(pictures.c_str(), nullptr);
      // The panel it opened from out of the way: without a window manager the
      // display may stack the panel over it.
      HWND panel = Panel(PANEL_COMMAND);
      RECT place{};
      GetWindowRect(panel, &place);
      SetWindowPos(panel, nullptr, place.left, place.top + 400, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      menu_captured = DarkPixels(Capture(window, pictures + "/menu-option.png")) > 0;
      SetWindowPos(panel, nullptr, place.left, place.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    EndMenu();
  });
  OpenOptionMenu();
  EXPECT_TRUE(menu_captured);

  const std::wstring title = Wide("glTF書き出し");
  bool dialog_captured = false;
  ModalSteps steps({FillFileDialog(title, folder_ / L"picture.glb"), [&] {
                      HWND dialog = FindDialog(title, &IsScaleDialog);
                      if (dialog == nullptr) return false;
                      dialog_captured = SavePicture(dialog, 300, "dialog-gltf-scale") > 50;
                      ClickItem(dialog, IDCANCEL);
                      return true;
                    }});
  Command(PANEL_COMMAND, ID_OPTION_GLTF_EXPORT);
  steps.Pump();
  ASSERT_TRUE(steps.finished()) << "steps taken: " << steps.done();
  EXPECT_TRUE(dialog_captured) << "captions and frames are drawn";
  EXPECT_FALSE(fs::exists(folder_ / L"picture.glb")) << "cancelled: nothing written";
}

}  // namespace
