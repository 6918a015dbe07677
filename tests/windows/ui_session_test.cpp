// A person's session with the built plug-in module in the substitute host:
// the sample arm opened, the command taken, "ポーズ" chosen on the command
// panel, a pose picked in the pose list, the bulge's weight bar dragged, the
// elbow clicked in the view and turned in the pose bone panel, and the
// document saved. A second process, a fresh host with a freshly loaded
// module, opens the saved file and finds every change.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "host/core/api.h"
#include "host/core/host.h"
#include "host/core/plugin_module.h"
#include "host/events/events.h"
#include "host/files/document_file.h"
#include "rig/pose_list.h"
#include "rig/rig_access.h"
#include "rig/slot_table.h"
#include "sdk/host_api.h"
#include "tests/io/scratch_settings.h"
#include "tests/windows/ui_driver.h"
#include "tools/screen_conversion.h"
#include "ui/resources/resource.h"

namespace {

using mqhost::ToHandle;
using namespace quorvel_test;

constexpr char kSavedVariable[] = "QUORVEL_SESSION_DOCUMENT";
// Object positions of the sample arm.
constexpr int kArm = 0, kElbow = 3;
constexpr int kViewWidth = 640, kViewHeight = 480;
// The sample's poses: "bend" (id 0, current when opened) and "wave" (id 1,
// second in the list, the bulge at 1.0).
constexpr int kBendId = 0, kWaveId = 1;

std::wstring Wide(const char* utf8) {
  wchar_t text[256] = {};
  MultiByteToWideChar(CP_UTF8, 0, utf8, -1, text, 256);
  return text;
}

// A top-level window of this thread with this title that holds the control
// `item` (two panels may share a title).
struct PanelSearch {
  std::wstring title;
  int item;
  HWND found;
};
BOOL CALLBACK MatchPanel(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<PanelSearch*>(data);
  if (TextOf(window) == search->title && GetDlgItem(window, search->item) != nullptr) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}
HWND FindPanel(const char* title, int item) {
  PanelSearch search{Wide(title), item, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), &MatchPanel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The visible row of a self-drawn list whose text starts with `prefix` (a
// row's window text is what it draws).
struct RowSearch {
  std::wstring prefix;
  HWND found;
};
BOOL CALLBACK MatchRow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<RowSearch*>(data);
  if (IsWindowVisible(window) && TextOf(window).rfind(search->prefix, 0) == 0) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}
HWND RowOf(HWND panel, const wchar_t* prefix) {
  RowSearch search{prefix, nullptr};
  EnumChildWindows(panel, &MatchRow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The angle a quaternion turns by, in degrees, and whether it turns about Z.
float TurnDegrees(const FQUAT& q) { return 2.0f * std::acos(std::min(1.0f, std::fabs(q.w))) * 57.29578f; }
bool AboutZ(const FQUAT& q) { return std::fabs(q.x) < 1e-4f && std::fabs(q.y) < 1e-4f; }

class PanelSession : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(LoadHostApi(mqhost::Host::OwnModulePath().c_str(), HostApi()), TRUE);
  }
  void SetUp() override {
    std::string error;
    plugin_ = host_.LoadPlugin(QUORVEL_PLUGIN_PATH, &error);
    ASSERT_NE(plugin_, nullptr) << error;
    document_ = host_.NewDocument();
  }
  void TearDown() override {
    if (document_ != nullptr) {
      mqhost::SendEndDocument(host_, document_, plugin_);
      mqhost::SendExit(host_, plugin_);
      host_.CloseDocument(document_);
    }
    host_.UnloadPlugins();
  }

  // Opens `path` as the modeller does: the plug-in starts, gets the document
  // and the command, and draws once (it learns the view).
  void Open(const std::string& path) {
    mqhost::PluginElementMap elements;
    std::string error;
    ASSERT_TRUE(mqhost::LoadDocumentFile(path, document_, &elements, &error)) << error;
    host_.SetPluginElements(document_, std::move(elements));
    document_->camera.width = kViewWidth;
    document_->camera.height = kViewHeight;
    ASSERT_EQ(mqhost::SendInitialize(host_, plugin_), TRUE);
    ASSERT_EQ(mqhost::SendNewDocument(host_, document_, path, plugin_), TRUE);
    ASSERT_EQ(mqhost::SendActivate(host_, document_, true, plugin_), TRUE);
    Draw();
    ASSERT_TRUE(quorvel::RegisterRigSlots(ToHandle(document_), slots_));
  }
  void Draw() { ASSERT_EQ(mqhost::SendDraw(host_, document_, kViewWidth, kViewHeight, plugin_), TRUE); }

  // A left click in the view at a document point, where the host shows it.
  void ClickInView(const FVECTOR3& world) {
    const FVECTOR3 s = SCREENCONVMQ(HostApi().MQDoc_GetScene(ToHandle(document_), 0)).WorldToScreen(world);
    mqhost::PointerInput input;
    input.x = static_cast<int>(std::lround(s.x));
    input.y = static_cast<int>(std::lround(s.y));
    input.flags = mqhost::kButtonLeft;
    mqhost::SendMouse(host_, document_, MQEVENT_LBUTTON_DOWN, input, plugin_);
    input.flags = 0;
    mqhost::SendMouse(host_, document_, MQEVENT_LBUTTON_UP, input, plugin_);
  }

  MQObject Object(int index) const { return ToHandle(document_->ObjectAt(index)); }

  mqhost::Host& host_ = mqhost::Host::Instance();
  quorvel_test::ScratchSettings settings_;
  mqhost::PluginModule* plugin_ = nullptr;
  mqhost::Document* document_ = nullptr;
  quorvel::RigSlotTable slots_;
};

// Runs this program again with only `test` (disabled tests included), the
// variable `name` set to `value`; its exit code, -1 when it did not run.
int RunChild(const std::string& test, const char* name, const std::string& value, std::string* output) {
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string log = std::string(temp) + "quorvel-session-child.log";
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE out = CreateFileA(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE) return -1;
  SetEnvironmentVariableA(name, value.c_str());
  std::string command = "\"" + std::string(self) + "\" --gtest_also_run_disabled_tests --gtest_filter=" + test;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = out;
  startup.hStdError = out;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION process{};
  const BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                      &startup, &process);
  SetEnvironmentVariableA(name, nullptr);
  CloseHandle(out);
  if (!started) return -1;
  WaitForSingleObject(process.hProcess, 120000);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  std::ifstream in(log, std::ios::binary);
  output->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return static_cast<int>(code);
}

TEST_F(PanelSession, ChangesMadeInThePanelsAreInTheSavedDocument) {
  Open(QUORVEL_EXAMPLES_DIR "/arm_rig.mqd");
  HWND command = FindPanel("Quorvelコマンド", IDC_COMMAND_POSE);
  ASSERT_NE(command, nullptr) << "the command panel is up once the command is taken";
  ClickItem(command, IDC_COMMAND_POSE);

  // "wave", the second line of the pose list, is picked with the mouse.
  HWND pose_list = FindPanel("ポーズリスト", IDC_POSELIST_LIST);
  ASSERT_NE(pose_list, nullptr);
  ASSERT_TRUE(IsWindowVisible(pose_list));
  HWND list = GetDlgItem(pose_list, IDC_POSELIST_LIST);
  ASSERT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 2);
  RECT line;
  SendMessageW(list, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&line));
  MouseDown(list, line.left + 5, line.top + 2);
  MouseUp(list, line.left + 5, line.top + 2);
  ASSERT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 1);

  // The arm, the document's current object, shows its morph target in the
  // pose morph panel: the bulge's weight bar is dragged from full to half.
  HWND morphing = FindPanel("モーフィング", IDC_POSEMORPH_LIST);
  ASSERT_NE(morphing, nullptr);
  ASSERT_TRUE(IsWindowVisible(morphing));
  HWND bulge = RowOf(morphing, L"bulge(100)");
  ASSERT_NE(bulge, nullptr) << "the bulge's row, at its full weight in \"wave\"";
  MouseDown(bulge, 50, 10);
  MouseMove(bulge, 40, 10);
  MouseMove(bulge, 26, 10);
  MouseUp(bulge, 26, 10);
  EXPECT_FLOAT_EQ(quorvel::GetPoseMorphWeight(Object(kArm), slots_, kWaveId, 0), 0.5f);
  EXPECT_EQ(TextOf(bulge), L"bulge( 50)");

  // The elbow is clicked in the view, half way along its posed body, and
  // turned 30 degrees about Z in the pose bone panel.
  Draw();
  const FVECTOR3 middle = quorvel::GetWorldMatrix(Object(kElbow), slots_).TransformPoint(FVECTOR3{90.0f, 0.0f, 0.0f});
  ClickInView(middle);
  HWND bone_panel = FindPanel("ポーズ", IDC_POSEOBJ_ROTZ);
  ASSERT_NE(bone_panel, nullptr);
  ASSERT_TRUE(IsWindowVisible(bone_panel));
  EXPECT_EQ(ItemText(bone_panel, IDC_POSEOBJ_NAME), L"elbow");
  HWND rot_z = GetDlgItem(GetDlgItem(bone_panel, IDC_POSEOBJ_ROTZ), 0);
  ASSERT_NE(rot_z, nullptr);
  SetFocus(rot_z);
  SendMessageW(rot_z, EM_SETSEL, 0, -1);
  TypeText(rot_z, L"30\r");
  quorvel::OPoseTSQ elbow;
  ASSERT_TRUE(quorvel::GetPoseTSQ(Object(kElbow), slots_, kWaveId, elbow));
  EXPECT_NEAR(TurnDegrees(elbow.rot), 30.0f, 0.01f);
  EXPECT_TRUE(AboutZ(elbow.rot));

  // Saved as the modeller saves: the plug-in writes its element, the host
  // the file.
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string saved = std::string(temp) + "quorvel-session.mqd";
  ASSERT_EQ(mqhost::SendSaveDocument(host_, document_, saved, plugin_).answer, TRUE);
  std::string error;
  ASSERT_TRUE(mqhost::SaveDocumentFile(saved, *document_, host_.PluginElements(document_), &error)) << error;

  std::string output;
  EXPECT_EQ(RunChild("PanelSession.DISABLED_TheSavedDocumentInAFreshHost", kSavedVariable, saved, &output), 0)
      << output;
  EXPECT_NE(output.find("[  PASSED  ] 1 test."), std::string::npos) << "the check ran: " << output;
  DeleteFileA(saved.c_str());
}

// The second half, run by the test above in a process of its own.
TEST_F(PanelSession, DISABLED_TheSavedDocumentInAFreshHost) {
  const char* saved = std::getenv(kSavedVariable);
  ASSERT_NE(saved, nullptr) << "run by ChangesMadeInThePanelsAreInTheSavedDocument";
  Open(saved);
  quorvel::OPoseTSQ elbow;
  ASSERT_TRUE(quorvel::GetPoseTSQ(Object(kElbow), slots_, kWaveId, elbow));
  EXPECT_NEAR(TurnDegrees(elbow.rot), 30.0f, 0.01f);
  EXPECT_TRUE(AboutZ(elbow.rot));
  EXPECT_FLOAT_EQ(quorvel::GetPoseMorphWeight(Object(kArm), slots_, kWaveId, 0), 0.5f);
  ASSERT_TRUE(quorvel::GetPoseTSQ(Object(kElbow), slots_, kBendId, elbow));
  EXPECT_NEAR(TurnDegrees(elbow.rot), 45.0f, 0.01f) << "the other pose is as it was";
}

}  // namespace
