#include "host/gui/gui_app.h"

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "host/core/host.h"
#include "host/core/plugin_module.h"
#include "host/gui/gui_session.h"
#include "host/gui/view_navigation.h"
#include "host/render/renderer.h"

namespace mqhost {

namespace {

constexpr wchar_t kMainClass[] = L"MQHostGuiMain";
constexpr wchar_t kViewportClass[] = L"MQHostGuiViewport";
// Under Wine with no window manager (as on the test machines' Xvfb) the X
// server's stacking can put the main window back over the panels it owns,
// with no message to the program; while the program is in front, a timer
// puts the panels back on top. Windows keeps owned windows above their owner
// by itself and gets no timer.
constexpr UINT_PTR kRaiseTimer = 1;
constexpr UINT kRaiseEveryMs = 500;

bool UnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// Menu commands. The command plug-ins take kCommandFirst + their position.
enum : UINT {
  kFileNew = 100,
  kFileOpen,
  kFileSave,
  kFileSaveAs,
  kFileImport,
  kFileExport,
  kFileExit,
  kEditUndo = 200,
  kEditRedo,
  kViewProjection = 300,
  kViewFrame,
  kCommandNone = 400,
  kCommandFirst = 401,
};

// Status line parts.
enum { kStatusFile, kStatusCommand, kStatusView, kStatusFrame, kStatusParts };

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
  std::wstring text(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &text[0], n);
  text.resize(static_cast<size_t>(n - 1));
  return text;
}

std::string Utf8(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, &text[0], n, nullptr, nullptr);
  text.resize(static_cast<size_t>(n - 1));
  return text;
}

bool IsObjPath(const std::string& path) {
  return path.size() >= 4 && _stricmp(path.c_str() + path.size() - 4, ".obj") == 0;
}

std::wstring FileName(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return Wide(slash == std::string::npos ? path : path.substr(slash + 1));
}

// The modifier bits of a mouse event: the Windows key flags of the message,
// and Alt, which those flags leave out.
int ButtonFlags(WPARAM wparam) {
  int flags = static_cast<int>(wparam) & (MK_LBUTTON | MK_RBUTTON | MK_SHIFT | MK_CONTROL | MK_MBUTTON);
  if (GetKeyState(VK_MENU) < 0) flags |= kButtonAlt;
  return flags;
}

PointerInput Pointer(int x, int y, int flags, int wheel = 0) {
  PointerInput input;
  input.x = x;
  input.y = y;
  input.flags = flags;
  input.wheel = wheel;
  return input;
}

int KeyFlags() {
  int flags = 0;
  if (GetKeyState(VK_SHIFT) < 0) flags |= kButtonShift;
  if (GetKeyState(VK_CONTROL) < 0) flags |= kButtonCtrl;
  if (GetKeyState(VK_MENU) < 0) flags |= kButtonAlt;
  return flags;
}

class GuiApp {
 public:
  explicit GuiApp(const GuiOptions& options) : options_(options), host_(Host::Instance()) {}
  ~GuiApp() { Shutdown(); }
  GuiApp(const GuiApp&) = delete;
  GuiApp& operator=(const GuiApp&) = delete;

  bool Start(std::ostream& err);
  int Run();

 private:
  // One message of the loop: accelerators, the panels' keyboard, the rest.
  void Dispatch(MSG& msg);

  // The window procedure of both classes: the app rides in the creation
  // parameter, and `Handler` takes the window's messages.
  template <LRESULT (GuiApp::*Handler)(HWND, UINT, WPARAM, LPARAM)>
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT OnMain(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT OnViewport(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

  void BuildMenu();
  void AddCommandsToMenu();
  void UpdateCommandMenu();
  void Layout();
  void OnCommand(UINT id);
  // Title and status line, set again only where their text changed: they
  // are brought up to date after every viewport message.
  void UpdateStatus();
  void UpdateTitle();
  void SetStatus(int part, const std::wstring& text);
  void Invalidate() { InvalidateRect(viewport_, nullptr, FALSE); }
  // Keeps the plug-ins' panels (windows the main window owns) above it.
  void RaiseOwnedWindows();
  void Paint();
  void PaintDocument(Document& document);
  void SyncViewSize();
  // The document's view changed: the plug-ins hear of it and it is drawn.
  void CameraMoved();

  // Mouse and keys in the viewport; the plug-in first.
  void Mouse(int code, LPARAM lparam, int flags);
  void ButtonDown(int code, WPARAM wparam, LPARAM lparam);
  void ButtonMove(WPARAM wparam, LPARAM lparam);
  void ButtonUp(int code, WPARAM wparam, LPARAM lparam);
  void Key(bool down, WPARAM key);

  // Files, with the usual questions.
  bool MayDiscard();
  bool SaveTo(const std::string& path);
  bool SaveAs();
  std::string AskPath(bool save, const wchar_t* filter, const wchar_t* extension);
  void Report(const std::string& text, const wchar_t* title, UINT icon = MB_ICONERROR);
  void Shutdown();

  GuiOptions options_;
  Host& host_;
  std::unique_ptr<GuiSession> session_;
  HWND main_ = nullptr;
  HWND viewport_ = nullptr;
  HWND status_ = nullptr;
  HMENU command_menu_ = nullptr;
  HACCEL accelerators_ = nullptr;
  // The frame is drawn off-screen and shown with GDI: GL drawing straight
  // into a child window does not reach the screen under every X server Wine
  // runs on, and a frame read back is there for pictures too.
  std::unique_ptr<ViewportRenderer> renderer_;
  std::vector<uint8_t> bgra_;
  std::string paint_error_;
  HFONT status_font_ = nullptr;
  std::wstring title_shown_;
  std::wstring status_shown_[kStatusParts];

  // Where the mouse was at the last button event, for the view's drags.
  POINT drag_last_{0, 0};
  std::vector<PluginModule*> commands_;

  // Frame times, for the status line and the frame log.
  // A frame is all the message loop handled since the last one (the input:
  // a pose solved, a camera moved; the plug-in's panels refreshed and
  // repainted; timers) and then the paint (the draw event with the plug-in's
  // refresh of its rendering copies, the picture). Time spent waiting for
  // messages is not part of it.
  std::ofstream frame_log_;
  double pending_ms_ = 0.0;
  double last_frame_ms_ = 0.0;
  int frames_ = 0;
};

// ---------------------------------------------------------------- start

bool GuiApp::Start(std::ostream& err) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);

  WNDCLASSW main_class{};
  main_class.lpfnWndProc = &GuiApp::WindowProc<&GuiApp::OnMain>;
  main_class.hInstance = instance;
  main_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  main_class.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
  main_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
  main_class.lpszClassName = kMainClass;
  WNDCLASSW viewport_class{};
  viewport_class.style = CS_DBLCLKS;
  viewport_class.lpfnWndProc = &GuiApp::WindowProc<&GuiApp::OnViewport>;
  viewport_class.hInstance = instance;
  viewport_class.hCursor = LoadCursorA(nullptr, IDC_CROSS);
  viewport_class.lpszClassName = kViewportClass;
  if (!RegisterClassW(&main_class) || !RegisterClassW(&viewport_class)) {
    err << "mqhost: cannot register the window classes\n";
    return false;
  }
  main_ = CreateWindowExW(0, kMainClass, L"mqhost", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                          CW_USEDEFAULT, options_.width, options_.height, nullptr, nullptr, instance, this);
  if (main_ == nullptr) {
    err << "mqhost: cannot make the main window (is there a display?)\n";
    return false;
  }
  status_ = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, main_,
                            nullptr, instance, nullptr);
  // The status line in the Japanese desktop's TrueType face: the default
  // bitmap face of a Japanese system (under Wine) draws its underscores
  // below the line, where they are cut off.
  status_font_ = CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_TT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"MS PGothic");
  if (status_ != nullptr && status_font_ != nullptr) {
    SendMessageW(status_, WM_SETFONT, reinterpret_cast<WPARAM>(status_font_), FALSE);
  }
  viewport_ = CreateWindowExW(WS_EX_CLIENTEDGE, kViewportClass, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 0,
                              0, main_, nullptr, instance, this);
  std::string error;
  renderer_ = viewport_ != nullptr ? ViewportRenderer::Create(&error) : nullptr;
  if (!renderer_) {
    err << "mqhost: " << (error.empty() ? "cannot make the viewport window" : error) << "\n";
    return false;
  }
  if (!options_.frame_log.empty()) frame_log_.open(options_.frame_log, std::ios::trunc);

  const ACCEL keys[] = {
      {FCONTROL | FVIRTKEY, 'N', kFileNew},  {FCONTROL | FVIRTKEY, 'O', kFileOpen},
      {FCONTROL | FVIRTKEY, 'S', kFileSave}, {FCONTROL | FVIRTKEY, 'Z', kEditUndo},
      {FCONTROL | FVIRTKEY, 'Y', kEditRedo},
  };
  accelerators_ = CreateAcceleratorTableW(const_cast<ACCEL*>(keys), static_cast<int>(std::size(keys)));

  // Plug-ins own their panels by the modeller's main window: this one.
  host_.SetWindowHandle(main_);
  host_.SetViewportPainter([this](Document& document) { PaintDocument(document); });
  // The menu bar first: plug-ins place their panels from the window's client
  // area as it is when they make them.
  BuildMenu();
  session_ = std::make_unique<GuiSession>(host_);
  std::vector<std::string> problems;
  session_->LoadPlugins(options_.plugins, &problems);
  commands_ = session_->CommandPlugins();
  AddCommandsToMenu();
  Layout();
  ShowWindow(main_, SW_SHOWNORMAL);
  UpdateWindow(main_);
  for (const std::string& problem : problems) Report(problem, L"Plug-in left out", MB_ICONWARNING);

  bool opened = false;
  if (!options_.input.empty()) {
    opened = session_->Open(options_.input, &error);
    if (!opened) Report(error, L"Cannot open the file");
  }
  if (!opened) session_->NewDocument(&error);
  SyncViewSize();
  if (!options_.activate.empty()) {
    for (PluginModule* command : commands_) {
      if (command->enum_string() == options_.activate) session_->Activate(command);
    }
    if (session_->active() == nullptr) Report("No command plug-in " + options_.activate + " took the command.", L"mqhost", MB_ICONWARNING);
  }
  UpdateCommandMenu();
  UpdateTitle();
  UpdateStatus();
  SetFocus(viewport_);
  RaiseOwnedWindows();
  if (UnderWine()) SetTimer(main_, kRaiseTimer, kRaiseEveryMs, nullptr);
  Invalidate();
  return true;
}

int GuiApp::Run() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    const auto start = std::chrono::steady_clock::now();
    const int frames_before = frames_;
    Dispatch(msg);
    // A message that painted a frame was counted by Paint.
    if (frames_ == frames_before) {
      pending_ms_ += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    }
  }
  return static_cast<int>(msg.wParam);
}

void GuiApp::Dispatch(MSG& msg) {
  if (accelerators_ != nullptr && TranslateAcceleratorW(main_, accelerators_, &msg)) return;
  // Keyboard navigation inside the plug-ins' panels.
  HWND active = GetActiveWindow();
  if (active != nullptr && active != main_ && IsDialogMessageW(active, &msg)) {
    if (session_ && session_->TakeRedrawRequest()) Invalidate();
    return;
  }
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
  // A panel's button may have changed the document and asked for a redraw.
  if (session_ && session_->TakeRedrawRequest()) Invalidate();
}

void GuiApp::Shutdown() {
  // The plug-ins go first: their panels are owned by the main window.
  session_.reset();
  host_.SetViewportPainter(nullptr);
  renderer_.reset();
  if (main_ != nullptr) {
    host_.SetWindowHandle(nullptr);
    DestroyWindow(main_);
    main_ = nullptr;
  }
  if (accelerators_ != nullptr) DestroyAcceleratorTable(accelerators_);
  accelerators_ = nullptr;
  if (status_font_ != nullptr) DeleteObject(status_font_);
  status_font_ = nullptr;
}

// ---------------------------------------------------------------- menus and layout

BOOL CALLBACK RaiseIfOwned(HWND window, LPARAM owner) {
  if (GetWindow(window, GW_OWNER) == reinterpret_cast<HWND>(owner) && IsWindowVisible(window)) {
    // Through the top-most band and back: a plain move to the top is taken
    // as no change when the window system believes it is there already.
    constexpr UINT kKeep = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, kKeep);
    SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, kKeep);
  }
  return TRUE;
}

void GuiApp::RaiseOwnedWindows() {
  if (main_ != nullptr) EnumThreadWindows(GetCurrentThreadId(), &RaiseIfOwned, reinterpret_cast<LPARAM>(main_));
}

void GuiApp::BuildMenu() {
  HMENU bar = CreateMenu();
  HMENU file = CreatePopupMenu();
  AppendMenuW(file, MF_STRING, kFileNew, L"&New\tCtrl+N");
  AppendMenuW(file, MF_STRING, kFileOpen, L"&Open...\tCtrl+O");
  AppendMenuW(file, MF_STRING, kFileSave, L"&Save\tCtrl+S");
  AppendMenuW(file, MF_STRING, kFileSaveAs, L"Save &As...");
  AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(file, MF_STRING, kFileImport, L"&Import OBJ...");
  AppendMenuW(file, MF_STRING, kFileExport, L"&Export OBJ...");
  AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(file, MF_STRING, kFileExit, L"E&xit");
  HMENU edit = CreatePopupMenu();
  AppendMenuW(edit, MF_STRING, kEditUndo, L"&Undo\tCtrl+Z");
  AppendMenuW(edit, MF_STRING, kEditRedo, L"&Redo\tCtrl+Y");
  HMENU view = CreatePopupMenu();
  AppendMenuW(view, MF_STRING, kViewProjection, L"&Perspective / Orthographic\tP");
  AppendMenuW(view, MF_STRING, kViewFrame, L"&Frame All\tF");
  command_menu_ = CreatePopupMenu();
  AppendMenuW(command_menu_, MF_STRING, kCommandNone, L"(&None)");
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"&File");
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(edit), L"&Edit");
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(view), L"&View");
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(command_menu_), L"&Command");
  SetMenu(main_, bar);
}

void GuiApp::AddCommandsToMenu() {
  for (size_t i = 0; i < commands_.size(); ++i) {
    const std::string& name = commands_[i]->enum_string().empty() ? commands_[i]->name() : commands_[i]->enum_string();
    // The first nine are chosen with their digit.
    const std::wstring key = i < 9 ? L"&" + std::to_wstring(i + 1) + L" " : std::wstring();
    AppendMenuW(command_menu_, MF_STRING, kCommandFirst + static_cast<UINT>(i), (key + Wide(name)).c_str());
  }
}

void GuiApp::UpdateCommandMenu() {
  PluginModule* active = session_ ? session_->active() : nullptr;
  UINT checked = kCommandNone;
  for (size_t i = 0; i < commands_.size(); ++i) {
    if (commands_[i] == active) checked = kCommandFirst + static_cast<UINT>(i);
  }
  CheckMenuRadioItem(command_menu_, kCommandNone, kCommandFirst + static_cast<UINT>(commands_.size()), checked,
                     MF_BYCOMMAND);
}

void GuiApp::Layout() {
  RECT client;
  GetClientRect(main_, &client);
  SendMessageW(status_, WM_SIZE, 0, 0);
  RECT bar;
  GetWindowRect(status_, &bar);
  const int status_height = bar.bottom - bar.top;
  const int width = client.right;
  MoveWindow(viewport_, 0, 0, width, client.bottom - status_height, TRUE);
  const int parts[kStatusParts] = {width * 45 / 100, width * 70 / 100, width * 85 / 100, -1};
  SendMessageW(status_, SB_SETPARTS, kStatusParts, reinterpret_cast<LPARAM>(parts));
  SyncViewSize();
}

// The camera's viewport is the viewport window's client area.
void GuiApp::SyncViewSize() {
  if (!session_ || session_->document() == nullptr || viewport_ == nullptr) return;
  RECT r;
  GetClientRect(viewport_, &r);
  Camera& camera = session_->document()->camera;
  const int width = std::max<int>(r.right, 1), height = std::max<int>(r.bottom, 1);
  if (camera.width == width && camera.height == height) return;
  camera.width = width;
  camera.height = height;
  session_->SceneChanged();
  Invalidate();
}

void GuiApp::UpdateTitle() {
  std::wstring title = L"mqhost - ";
  title += session_->path().empty() ? std::wstring(L"(new document)") : FileName(session_->path());
  if (session_->modified()) title += L" *";
  if (title == title_shown_) return;
  title_shown_ = title;
  SetWindowTextW(main_, title.c_str());
}

void GuiApp::SetStatus(int part, const std::wstring& text) {
  if (status_shown_[part] == text) return;
  status_shown_[part] = text;
  SendMessageW(status_, SB_SETTEXTW, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(text.c_str()));
}

void GuiApp::UpdateStatus() {
  if (!session_) return;
  std::wstring file = session_->path().empty() ? L"New document" : Wide(session_->path());
  if (session_->modified()) file += L" (modified)";
  PluginModule* active = session_->active();
  const std::wstring command = active == nullptr ? L"No command" : L"Command: " + Wide(active->enum_string());
  const Document* document = session_->document();
  const std::wstring view =
      document == nullptr ? L"" : (document->camera.orthographic ? L"Orthographic" : L"Perspective");
  wchar_t frame[64] = {};
  if (frames_ > 0) swprintf(frame, 64, L"%.1f ms / frame", last_frame_ms_);
  SetStatus(kStatusFile, file);
  SetStatus(kStatusCommand, command);
  SetStatus(kStatusView, view);
  SetStatus(kStatusFrame, frame);
}

void GuiApp::Report(const std::string& text, const wchar_t* title, UINT icon) {
  MessageBoxW(main_, Wide(text).c_str(), title, MB_OK | icon);
}

// ---------------------------------------------------------------- commands

void GuiApp::OnCommand(UINT id) {
  std::string error;
  switch (id) {
    case kFileNew:
      if (MayDiscard()) session_->NewDocument(&error);
      break;
    case kFileOpen: {
      if (!MayDiscard()) break;
      const std::string path = AskPath(false, L"Documents (*.mqd)\0*.mqd\0OBJ files (*.obj)\0*.obj\0All files\0*.*\0", L"mqd");
      if (!path.empty() && !session_->Open(path, &error)) Report(error, L"Cannot open the file");
      break;
    }
    case kFileSave:
      // An imported OBJ file is not overwritten with a document.
      if (session_->path().empty() || IsObjPath(session_->path())) {
        SaveAs();
      } else {
        SaveTo(session_->path());
      }
      break;
    case kFileSaveAs:
      SaveAs();
      break;
    case kFileImport: {
      const std::string path = AskPath(false, L"OBJ files (*.obj)\0*.obj\0All files\0*.*\0", L"obj");
      if (!path.empty() && !session_->ImportObj(path, &error)) Report(error, L"Cannot import the file");
      break;
    }
    case kFileExport: {
      const std::string path = AskPath(true, L"OBJ files (*.obj)\0*.obj\0", L"obj");
      if (!path.empty() && !session_->ExportObj(path, &error)) Report(error, L"Cannot export the file");
      break;
    }
    case kFileExit:
      PostMessageW(main_, WM_CLOSE, 0, 0);
      break;
    case kEditUndo:
      session_->Undo();
      break;
    case kEditRedo:
      session_->Redo();
      break;
    case kViewProjection:
      if (session_->document() != nullptr) {
        ToggleProjection(session_->document()->camera);
        CameraMoved();
      }
      break;
    case kViewFrame: {
      FVECTOR3 lo, hi;
      if (session_->VisibleBox(&lo, &hi)) {
        FrameBox(session_->document()->camera, lo, hi);
        CameraMoved();
      }
      break;
    }
    default:
      if (id == kCommandNone) {
        session_->Activate(nullptr);
      } else if (id >= kCommandFirst && id < kCommandFirst + commands_.size()) {
        PluginModule* chosen = commands_[id - kCommandFirst];
        if (session_->active() != chosen && !session_->Activate(chosen)) {
          Report(chosen->enum_string() + " did not take the command.", L"mqhost", MB_ICONWARNING);
        }
      }
      UpdateCommandMenu();
      RaiseOwnedWindows();
      break;
  }
  SyncViewSize();
  UpdateTitle();
  UpdateStatus();
  Invalidate();
}

bool GuiApp::MayDiscard() {
  if (!session_->modified()) return true;
  const std::wstring name = session_->path().empty() ? L"the new document" : FileName(session_->path());
  const std::wstring question = L"Save the changes to " + name + L"?";
  switch (MessageBoxW(main_, question.c_str(), L"mqhost", MB_YESNOCANCEL | MB_ICONQUESTION)) {
    case IDYES:
      return session_->path().empty() ? SaveAs() : SaveTo(session_->path());
    case IDNO:
      return true;
    default:
      return false;
  }
}

bool GuiApp::SaveTo(const std::string& path) {
  std::string error;
  if (session_->Save(path, &error)) return true;
  Report(error, L"Cannot save the file");
  return false;
}

bool GuiApp::SaveAs() {
  const std::string path = AskPath(true, L"Documents (*.mqd)\0*.mqd\0", L"mqd");
  return !path.empty() && SaveTo(path);
}

std::string GuiApp::AskPath(bool save, const wchar_t* filter, const wchar_t* extension) {
  wchar_t path[MAX_PATH] = {};
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = main_;
  dialog.lpstrFilter = filter;
  dialog.lpstrFile = path;
  dialog.nMaxFile = MAX_PATH;
  dialog.lpstrDefExt = extension;
  dialog.Flags = OFN_NOCHANGEDIR | (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST);
  const BOOL chosen = save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
  return chosen ? Utf8(path) : std::string();
}

// ---------------------------------------------------------------- drawing

void GuiApp::Paint() {
  PAINTSTRUCT ps;
  BeginPaint(viewport_, &ps);
  EndPaint(viewport_, &ps);
  if (!session_ || session_->document() == nullptr) return;
  SyncViewSize();
  const auto start = std::chrono::steady_clock::now();
  // The draw event first, so that the plug-ins' drawing objects and
  // rendering copies are in this frame; the host then paints (PaintDocument).
  const Camera& camera = session_->document()->camera;
  session_->Draw(camera.width, camera.height);
  last_frame_ms_ =
      pending_ms_ + std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  pending_ms_ = 0.0;
  ++frames_;
  if (frame_log_.is_open()) frame_log_ << last_frame_ms_ << "\n" << std::flush;
  // The draw event's own redraw requests are answered by this frame.
  session_->TakeRedrawRequest();
  UpdateStatus();
}

void GuiApp::PaintDocument(Document& document) {
  std::string error;
  if (!renderer_->RenderForScreen(document, &bgra_, &error)) {
    // Said once on the status line, not on every frame.
    if (paint_error_.empty()) {
      paint_error_ = error;
      SetStatus(kStatusFile, Wide(error));
    }
    return;
  }
  paint_error_.clear();
  const int width = document.camera.width, height = document.camera.height;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom row first, as GL reads it
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  HDC dc = GetDC(viewport_);
  SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(width), static_cast<DWORD>(height), 0, 0, 0,
                    static_cast<UINT>(height), bgra_.data(), &info, DIB_RGB_COLORS);
  ReleaseDC(viewport_, dc);
}

void GuiApp::CameraMoved() {
  session_->SceneChanged();
  UpdateStatus();
  Invalidate();
}

// ---------------------------------------------------------------- input

void GuiApp::Mouse(int code, LPARAM lparam, int flags) {
  if (session_->Mouse(code, Pointer(static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam)), flags))) {
    Invalidate();
  }
}

void GuiApp::ButtonDown(int code, WPARAM wparam, LPARAM lparam) {
  SetFocus(viewport_);
  SetCapture(viewport_);
  drag_last_ = POINT{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
  Mouse(code, lparam, ButtonFlags(wparam));
}

// The plug-in hears of every move with the button held (left first, as the
// modeller reports one button per move). A right or middle drag it does not
// take (it answers FALSE) moves the view: right turns it, Shift+right or
// middle pans it.
void GuiApp::ButtonMove(WPARAM wparam, LPARAM lparam) {
  const POINT at{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
  const int flags = ButtonFlags(wparam);
  const int dx = at.x - drag_last_.x, dy = at.y - drag_last_.y;
  drag_last_ = at;
  const PointerInput input = Pointer(at.x, at.y, flags);
  if ((flags & MK_LBUTTON) != 0) {
    if (session_->Mouse(MQEVENT_LBUTTON_MOVE, input)) Invalidate();
    return;
  }
  const bool right = (flags & MK_RBUTTON) != 0, middle = (flags & MK_MBUTTON) != 0;
  if (!right && !middle) {
    if (session_->Mouse(MQEVENT_MOUSE_MOVE, input)) Invalidate();
    return;
  }
  if (session_->Mouse(right ? MQEVENT_RBUTTON_MOVE : MQEVENT_MBUTTON_MOVE, input)) {
    Invalidate();
    return;
  }
  if (session_->document() == nullptr || (dx == 0 && dy == 0)) return;
  Camera& camera = session_->document()->camera;
  if (right && (flags & MK_SHIFT) == 0) {
    OrbitView(camera, dx, dy);
  } else {
    PanView(camera, dx, dy);
  }
  CameraMoved();
}

void GuiApp::ButtonUp(int code, WPARAM wparam, LPARAM lparam) {
  Mouse(code, lparam, ButtonFlags(wparam));
  if ((static_cast<int>(wparam) & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) == 0) ReleaseCapture();
}

void GuiApp::Key(bool down, WPARAM key) {
  if (session_->Key(down, static_cast<int>(key), KeyFlags())) {
    Invalidate();
    return;
  }
  if (!down || session_->document() == nullptr) return;
  switch (key) {
    case 'P':
    case VK_NUMPAD5:
      OnCommand(kViewProjection);
      break;
    case 'F':
    case VK_HOME:
      OnCommand(kViewFrame);
      break;
    default:
      break;
  }
}

// ---------------------------------------------------------------- window procedures

template <LRESULT (GuiApp::*Handler)(HWND, UINT, WPARAM, LPARAM)>
LRESULT CALLBACK GuiApp::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams));
  }
  auto* app = reinterpret_cast<GuiApp*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  return app != nullptr ? (app->*Handler)(hwnd, message, wparam, lparam) : DefWindowProcW(hwnd, message, wparam, lparam);
}

LRESULT GuiApp::OnMain(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_SIZE:
      if (status_ != nullptr && viewport_ != nullptr) Layout();
      return 0;
    case WM_SETFOCUS:
      if (viewport_ != nullptr) SetFocus(viewport_);
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wparam) != WA_INACTIVE) RaiseOwnedWindows();
      return DefWindowProcW(hwnd, message, wparam, lparam);
    case WM_TIMER:
      if (wparam == kRaiseTimer) {
        HWND front = GetForegroundWindow();
        if (front == hwnd || (front != nullptr && GetWindow(front, GW_OWNER) == hwnd)) RaiseOwnedWindows();
      }
      return 0;
    case WM_INITMENUPOPUP:
      if (session_) {
        HMENU menu = GetMenu(hwnd);
        EnableMenuItem(menu, kEditUndo, MF_BYCOMMAND | (session_->CanUndo() ? MF_ENABLED : MF_GRAYED));
        EnableMenuItem(menu, kEditRedo, MF_BYCOMMAND | (session_->CanRedo() ? MF_ENABLED : MF_GRAYED));
      }
      return 0;
    case WM_COMMAND:
      if (session_) OnCommand(LOWORD(wparam));
      return 0;
    case WM_CLOSE:
      if (session_ && !MayDiscard()) return 0;
      Shutdown();
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wparam, lparam);
  }
}

LRESULT GuiApp::OnViewport(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (!session_) return DefWindowProcW(hwnd, message, wparam, lparam);
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // GL paints every pixel
    case WM_SIZE:
      SyncViewSize();
      return 0;
    case WM_LBUTTONDOWN:
      ButtonDown(MQEVENT_LBUTTON_DOWN, wparam, lparam);
      break;
    case WM_RBUTTONDOWN:
      ButtonDown(MQEVENT_RBUTTON_DOWN, wparam, lparam);
      break;
    case WM_MBUTTONDOWN:
      ButtonDown(MQEVENT_MBUTTON_DOWN, wparam, lparam);
      break;
    case WM_MOUSEMOVE:
      ButtonMove(wparam, lparam);
      break;
    case WM_LBUTTONUP:
      ButtonUp(MQEVENT_LBUTTON_UP, wparam, lparam);
      break;
    case WM_RBUTTONUP:
      ButtonUp(MQEVENT_RBUTTON_UP, wparam, lparam);
      break;
    case WM_MBUTTONUP:
      ButtonUp(MQEVENT_MBUTTON_UP, wparam, lparam);
      break;
    case WM_MOUSEWHEEL: {
      POINT at{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
      ScreenToClient(hwnd, &at);
      const int wheel = GET_WHEEL_DELTA_WPARAM(wparam);
      if (session_->Mouse(MQEVENT_MOUSE_WHEEL, Pointer(at.x, at.y, ButtonFlags(GET_KEYSTATE_WPARAM(wparam)), wheel))) {
        Invalidate();
      } else if (session_->document() != nullptr) {
        ZoomView(session_->document()->camera, wheel);
        CameraMoved();
      }
      return 0;
    }
    case WM_KEYDOWN:
      Key(true, wparam);
      break;
    case WM_KEYUP:
      Key(false, wparam);
      break;
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
      // With Alt held: the plug-in hears of it, the system keeps the menu
      // keys and Alt+F4.
      Key(message == WM_SYSKEYDOWN, wparam);
      return DefWindowProcW(hwnd, message, wparam, lparam);
    case WM_GETDLGCODE:
      return DLGC_WANTALLKEYS;
    default:
      return DefWindowProcW(hwnd, message, wparam, lparam);
  }
  UpdateTitle();
  UpdateStatus();
  return 0;
}

}  // namespace

int RunGui(const GuiOptions& options, std::ostream& err) {
  GuiApp app(options);
  if (!app.Start(err)) return 1;
  return app.Run();
}

}  // namespace mqhost
