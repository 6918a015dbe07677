// The real panels and the window toolkit under Wine, driven by the messages
// a person's input makes: the numeric edit (keys, Enter, the vertical drag,
// the spin box), scroll bars, colour swatches, the command panel with its
// menus and enable switch, the move, make and pose-tool panels, the
// alignment dialog, message boxes, and panel positions kept on the desktop.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/files/document_file.h"
#include "host/render/image.h"
#include "main/idlmain.h"
#include "platform/module.h"
#include "rig/host_records.h"
#include "tests/tools/commands/command_fixture.h"
#include "tests/windows/panel_fixture.h"
#include "tests/windows/ui_driver.h"
#include "ui/panels/win32_user_interface.h"
#include "ui/resources/resource.h"
#include "ui/toolkit/controls.h"

namespace {

using quorvel::OBase;
using namespace quorvel_test;

// ------------------------------------------------------------------ the toolkit alone

// A plain window made by the toolkit that holds controls and counts the
// command messages it is sent.
class TestWindow : public UWIN {
 public:
  LRESULT WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) override {
    if (message == WM_COMMAND && lparam == 0) commands.push_back(LOWORD(wparam));
    if (message == WM_VSCROLL || message == WM_MOUSEWHEEL) {
      if (scroll != nullptr) scroll->HandleMessage(message, wparam, lparam);
      return 0;
    }
    return CallOld(hwnd, message, wparam, lparam);
  }
  std::vector<int> commands;
  UDLGSCROLL* scroll = nullptr;
};

class ToolkitTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(window_.Create(GetModuleHandleW(nullptr), "QuorvelToolkitTest", "toolkit",
                             WS_OVERLAPPEDWINDOW, 0, 20, 20, 300, 200, nullptr, SW_SHOWNORMAL),
              nullptr);
    ASSERT_TRUE(edit_.Create(window_.hwnd(), 1200, RECT{10, 10, 110, 32}));
    ASSERT_TRUE(other_.Create(window_.hwnd(), 1201, RECT{10, 40, 110, 62}));
  }
  HWND Edit() const { return edit_.hwnd(); }
  std::wstring Shown() const { return TextOf(Edit()); }
  // Press, move by (dx, dy) in one step, and look before releasing.
  void PressAndMove(int dx, int dy) {
    MouseDown(Edit(), 20, 10);
    MouseMove(Edit(), 20 + dx, 10 + dy);
  }

  TestWindow window_;
  UDLGINTS edit_;
  UDLGINTS other_;
};

TEST_F(ToolkitTest, TheThresholdSeparatesValueDraggingFromTextSelection) {
  struct Case {
    int dx, dy;
    bool dragging, tracking;
  };
  // Beyond 8 pixels a mainly vertical move drags the value, anything else
  // gives the edit back its text selection; at 8 nothing is decided yet.
  for (const Case& c : {Case{0, 9, true, true}, Case{0, -9, true, true}, Case{9, 0, false, false},
                        Case{9, 9, false, false}, Case{0, 8, false, true}, Case{8, 8, false, true},
                        Case{-8, 0, false, true}}) {
    PressAndMove(c.dx, c.dy);
    EXPECT_EQ(edit_.logic().dragging(), c.dragging) << c.dx << "," << c.dy;
    EXPECT_EQ(edit_.logic().tracking(), c.tracking) << c.dx << "," << c.dy;
    MouseUp(Edit(), 20 + c.dx, 10 + c.dy);
    EXPECT_EQ(edit_.Get(), 0) << "deciding moves no value";
  }
  EXPECT_TRUE(window_.commands.empty());
}

TEST_F(ToolkitTest, EachPixelDownwardsIsOneStepAndTheDirectionSwitchTurnsItRound) {
  edit_.SetStep(5);
  PressAndMove(0, 9);  // dragging from here
  MouseMove(Edit(), 20, 20);
  EXPECT_EQ(Shown(), L"5") << "one pixel down, one step up";
  MouseMove(Edit(), 20, 17);
  EXPECT_EQ(Shown(), L"-10");
  EXPECT_TRUE(window_.commands.empty()) << "nothing is told before the button comes up";
  MouseUp(Edit(), 20, 17);
  EXPECT_EQ(edit_.Get(), -10);
  EXPECT_EQ(window_.commands, std::vector<int>{1200});
  EXPECT_TRUE(edit_.TakeChanged());
  EXPECT_FALSE(edit_.TakeChanged()) << "reading the flag clears it";

  edit_.SetDirection(true);
  PressAndMove(0, 9);
  MouseMove(Edit(), 20, 20);
  MouseUp(Edit(), 20, 20);
  EXPECT_EQ(edit_.Get(), -15) << "reversed: one pixel down, one step down";
}

TEST_F(ToolkitTest, TypingCommitsOnEnterAndOnlyRealChangesNotify) {
  SetFocus(Edit());
  TypeText(Edit(), L"4x2");
  EXPECT_EQ(Shown(), L"42") << "a letter is swallowed";
  EXPECT_TRUE(window_.commands.empty());
  TypeChar(Edit(), L'\r');
  EXPECT_EQ(Shown(), L"42") << "Enter inserts nothing";
  EXPECT_EQ(edit_.Get(), 42);
  EXPECT_EQ(window_.commands, std::vector<int>{1200});

  SetFocus(other_.hwnd());
  SetFocus(Edit());  // coming back selects the text, which typing replaces
  TypeText(Edit(), L"42\r");
  EXPECT_EQ(window_.commands.size(), 1u) << "the same value again tells nobody";

  edit_.Set(7);
  EXPECT_EQ(Shown(), L"7");
  EXPECT_EQ(window_.commands.size(), 1u) << "a value set from code never notifies";

  // What does not parse is 0, and then clamped.
  edit_.SetRange(3, 9);
  SetFocus(Edit());
  SendMessageW(Edit(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"+"));
  TypeChar(Edit(), L'\r');
  EXPECT_EQ(edit_.Get(), 3);
  EXPECT_EQ(Shown(), L"3");
}

TEST_F(ToolkitTest, TabMovesOnAndLeavingCommits) {
  SetFocus(Edit());
  TypeText(Edit(), L"12");
  PressKey(Edit(), VK_TAB);
  EXPECT_EQ(GetFocus(), other_.hwnd()) << "Tab goes to the next control";
  EXPECT_EQ(edit_.Get(), 12) << "leaving the edit commits it";
  EXPECT_EQ(window_.commands, std::vector<int>{1200});
}

TEST_F(ToolkitTest, ATextEditCommitsRealChangesOnEnterOrWhenLeft) {
  HWND edit = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL,
                              10, 120, 150, 22, window_.hwnd(), reinterpret_cast<HMENU>(1600),
                              GetModuleHandleW(nullptr), nullptr);
  UDLGTEXT text;
  ASSERT_TRUE(text.Bind(window_.hwnd(), 1600));
  text.Set("arm");
  EXPECT_EQ(TextOf(edit), L"arm");
  EXPECT_TRUE(window_.commands.empty()) << "set from code";

  SetFocus(edit);  // the text is selected: typing replaces it
  TypeText(edit, L"leg\r");
  EXPECT_EQ(text.Get(), "leg");
  EXPECT_EQ(window_.commands, std::vector<int>{1600});
  EXPECT_TRUE(text.TakeChanged());

  SetFocus(Edit());  // leaving with the same text tells nobody
  EXPECT_EQ(window_.commands.size(), 1u);

  SetFocus(edit);
  TypeText(edit, L"hand");
  PressKey(edit, VK_TAB);
  EXPECT_NE(GetFocus(), edit) << "Tab moves on";
  EXPECT_EQ(text.Get(), "hand") << "leaving commits";
  EXPECT_EQ(window_.commands.size(), 2u);
}

TEST_F(ToolkitTest, TheSpinBoxStepsByItsArrows) {
  UDLGINT spin;
  ASSERT_TRUE(spin.Create(window_.hwnd(), 1300, RECT{10, 80, 110, 102}));
  spin.SetStep(2);
  HWND updown = spin.updown();
  ASSERT_NE(updown, nullptr);
  EXPECT_EQ(GetDlgCtrlID(updown), 101);
  EXPECT_EQ(GetDlgCtrlID(spin.hwnd()), 1300) << "the container takes the identifier";
  EXPECT_EQ(GetDlgCtrlID(spin.edit().hwnd()), 0);
  RECT r;
  GetClientRect(updown, &r);
  // The upper arrow raises the value, the lower one lowers it.
  MouseDown(updown, r.right / 2, 2);
  MouseUp(updown, r.right / 2, 2);
  EXPECT_EQ(spin.Get(), 2);
  MouseDown(updown, r.right / 2, r.bottom - 2);
  MouseUp(updown, r.right / 2, r.bottom - 2);
  MouseDown(updown, r.right / 2, r.bottom - 2);
  MouseUp(updown, r.right / 2, r.bottom - 2);
  EXPECT_EQ(spin.Get(), -2);
  EXPECT_EQ(TextOf(spin.edit().hwnd()), L"-2");
  EXPECT_EQ(window_.commands, (std::vector<int>{1300, 1300, 1300}));
  EXPECT_TRUE(spin.TakeChanged());
}

TEST_F(ToolkitTest, ScrollBarsClampAndTheWheelStepsByNotches) {
  UDLGSCROLL bar;
  ASSERT_TRUE(bar.Create(window_.hwnd(), 1400, RECT{200, 0, 216, 150}, 1));
  window_.scroll = &bar;
  bar.SetRange(0, 100, 30);
  bar.SetWheelStep(20);
  struct Step {
    UINT message;
    WPARAM wparam;
    int expect;
  };
  const Step steps[] = {
      {WM_VSCROLL, SB_PAGEDOWN, 30},      {WM_VSCROLL, SB_PAGEDOWN, 60},
      {WM_VSCROLL, SB_PAGEDOWN, 70},  // the last page ends at the maximum
      {WM_VSCROLL, SB_LINEDOWN, 70},      {WM_VSCROLL, SB_LINEUP, 69},
      {WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 49},  // a notch away from the user: up
      {WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-240)), 70},
      {WM_VSCROLL, SB_TOP, 0},
  };
  for (const Step& s : steps) {
    SendMessageW(window_.hwnd(), s.message, s.wparam,
                 s.message == WM_VSCROLL ? reinterpret_cast<LPARAM>(bar.hwnd()) : 0);
    EXPECT_EQ(bar.GetPosition(), s.expect);
    EXPECT_EQ(GetScrollPos(bar.hwnd(), SB_CTL), s.expect) << "the bar shows it";
  }
  window_.scroll = nullptr;
}

TEST_F(ToolkitTest, AColourSwatchTakesTheDialogsColourOnlyOnOk) {
  HWND stat = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 150, 10, 30, 20, window_.hwnd(),
                              reinterpret_cast<HMENU>(1500), GetModuleHandleW(nullptr), nullptr);
  UDLGCOL swatch;
  ASSERT_TRUE(swatch.Bind(window_.hwnd(), 1500, /*clickable=*/true));
  swatch.Set(UCOLOR(10, 200, 30, 7));
  struct Answer {
    int button;
    bool notified;
  };
  for (const Answer& a : {Answer{IDCANCEL, false}, Answer{IDOK, true}}) {
    window_.commands.clear();
    WhileModal press([&] {
      HWND dialog = FindWindowW(L"#32770", nullptr);
      if (dialog != nullptr) SendMessageW(dialog, WM_COMMAND, a.button, 0);
    });
    MouseDown(stat, 5, 5);
    MouseUp(stat, 5, 5);
    ASSERT_TRUE(WhileModal::ran()) << "the colour dialog opened";
    EXPECT_EQ(window_.commands.empty(), !a.notified);
    const UCOLOR c = swatch.Get();
    EXPECT_EQ(c.r, 10);
    EXPECT_EQ(c.g, 200);
    EXPECT_EQ(c.b, 30);
    EXPECT_EQ(c.a, a.notified ? 255 : 7) << "OK stores the colour opaque; Cancel changes nothing";
  }
}

// ------------------------------------------------------------------ the panels

TEST_F(PanelTest, TheModeButtonsSwitchTheModeAndItsPanels) {
  Start(MODE_MOVE);
  HWND command = Panel(PANEL_COMMAND);
  ASSERT_NE(command, nullptr);
  EXPECT_TRUE(Visible(PANEL_COMMAND));
  EXPECT_TRUE(Visible(PANEL_CMDMOVE));
  EXPECT_TRUE(Checked(command, IDC_COMMAND_MOVE));
  EXPECT_EQ(ItemText(command, IDC_COMMAND_POSE), Wide("ポーズ"));

  ClickItem(command, IDC_COMMAND_POSE);
  EXPECT_EQ(main_->GetMode(), MODE_POSE);
  EXPECT_TRUE(Visible(PANEL_CMDMOT));
  EXPECT_FALSE(Visible(PANEL_CMDMOVE));
  EXPECT_FALSE(Visible(PANEL_CMDMAKE));

  ClickItem(command, IDC_COMMAND_MAKE);
  EXPECT_EQ(main_->GetMode(), MODE_MAKE);
  EXPECT_TRUE(Visible(PANEL_CMDMAKE));
  EXPECT_FALSE(Visible(PANEL_CMDMOT));
  EXPECT_TRUE(Checked(command, IDC_COMMAND_MAKE));
  EXPECT_FALSE(Checked(command, IDC_COMMAND_POSE));
}

TEST_F(PanelTest, APanelClosedWithItsCloseBoxComesBackWithItsMode) {
  Start(MODE_MOVE);
  SendMessageW(Panel(PANEL_CMDMOVE), WM_CLOSE, 0, 0);
  EXPECT_EQ(Panel(PANEL_CMDMOVE), nullptr) << "closing destroys the panel";
  ClickItem(Panel(PANEL_COMMAND), IDC_COMMAND_MAKE);
  Service().SetToolOption(2, 1);
  ClickItem(Panel(PANEL_COMMAND), IDC_COMMAND_MOVE);
  ASSERT_TRUE(Visible(PANEL_CMDMOVE));
  // The new window is a working panel: it shows the options and writes them.
  EXPECT_TRUE(Checked(Panel(PANEL_CMDMOVE), IDC_MOVE_IK));
  ClickItem(Panel(PANEL_CMDMOVE), IDC_MOVE_IK);
  EXPECT_EQ(Service().GetToolOption(2), 0);
}

TEST_F(PanelTest, ThePoseButtonHandsTheMouseToThePoseTool) {
  // upper (0, 0) → lower (100, 0) → hand (200, 0) → fingers (260, 0).
  MQObject upper = AddObject("upper", 0, {0, 0, 0});
  AddObject("lower", 1, {100, 0, 0});
  AddObject("hand", 2, {100, 0, 0});
  AddObject("fingers", 3, {60, 0, 0});
  Start(MODE_MOVE);
  ClickItem(Panel(PANEL_COMMAND), IDC_COMMAND_POSE);
  ASSERT_EQ(main_->GetMode(), MODE_POSE);
  Draw();
  Drag(At(200, 3), At(150, 103), 10);
  quorvel::OPoseTSQ rec;
  ASSERT_GE(State().current_pose_id, 0) << "the drag made a pose";
  ASSERT_TRUE(quorvel::GetPoseTSQ(upper, Slots(), State().current_pose_id, rec));
  EXPECT_LT(std::fabs(rec.rot.w), 0.9999f) << "the chain above the joint turned";
  EXPECT_EQ(Pivot(upper), FVECTOR3(0, 0, 0)) << "the rest skeleton stays";
}

TEST_F(PanelTest, ADisabledPluginGreysTheModesButKeepsTheOptionMenu) {
  StartDisabled();
  HWND command = Panel(PANEL_COMMAND);
  ASSERT_NE(command, nullptr);
  EXPECT_EQ(Panel(PANEL_CMDMOVE), nullptr) << "a disabled plug-in makes only the command panel";
  win32_->RefreshPanel(PANEL_COMMAND);
  for (int id : {IDC_COMMAND_MAKE, IDC_COMMAND_MOVE, IDC_COMMAND_POSE, IDC_COMMAND_WEIGHT,
                 IDC_COMMAND_MORPH, IDC_COMMAND_GROUP, IDC_COMMAND_DISPLAY}) {
    EXPECT_FALSE(Enabled(command, id)) << id;
  }
  ASSERT_TRUE(Enabled(command, IDC_COMMAND_OPTION));
  const MenuSeen seen =
      OpenMenu([&] { ClickItem(command, IDC_COMMAND_OPTION); }, {ID_OPTION_ENABLE, ID_OPTION_OBJECT});
  ASSERT_TRUE(seen.shown) << "the option menu opens";
  EXPECT_EQ(seen.texts[0], Wide("Quorvelの有効"));

  // Choosing it asks, and OK sets the plug-in to start enabled next time.
  const BoxSeen box = AnswerBox(Wide("Quorvelの有効"), IDOK, [&] { Command(PANEL_COMMAND, ID_OPTION_ENABLE); });
  ASSERT_TRUE(box.shown);
  EXPECT_EQ(box.text, Wide("Quorvelを有効にしますか?\nQuorvelの有効はMetaseuoiaが再立ち上げ後に反映されます。\n"));
  EXPECT_EQ(Service().GetEnableNext(), 1);
  EXPECT_EQ(Service().GetEnable(), 0) << "only at the next start";
  const MenuSeen again = OpenMenu([&] { ClickItem(command, IDC_COMMAND_OPTION); }, {ID_OPTION_ENABLE});
  EXPECT_EQ(again.texts[0], Wide("Quorvelの無効"));
}

TEST_F(PanelTest, TheEnableSwitchCancelledChangesNothing) {
  Start(MODE_MOVE);
  const BoxSeen box = AnswerBox(Wide("Quorvelの無効"), IDCANCEL, [&] { Command(PANEL_COMMAND, ID_OPTION_ENABLE); });
  ASSERT_TRUE(box.shown);
  EXPECT_EQ(box.text, Wide("Quorvelを無効にしますか?\nQuorvelの無効はMetaseuoiaが再立ち上げ後に反映されます。\n"
                            "Quorvelで編集したデータを無効にした状態で保存しないようにしてください!!\n"));
  EXPECT_EQ(Service().GetEnableNext(), 1);
}

TEST_F(PanelTest, TheDisplayMenuChecksExactlyTheOverlaysThatAreOn) {
  Start(MODE_MOVE);
  const std::vector<UINT> items = {ID_DISPLAY_LOCAL, ID_DISPLAY_BONE, ID_DISPLAY_ROLL, ID_DISPLAY_HANDLE,
                                   ID_DISPLAY_CUROBJWEIGHT};
  auto overlays = [&] {
    return std::vector<bool>{Service().GetShowLocal() != 0, Service().GetShowBone() != 0,
                             Service().GetDrawBoneRoll() != 0, Service().GetShowHandle() != 0,
                             Service().GetShowCurObjWeight()};
  };
  HWND command = Panel(PANEL_COMMAND);
  for (UINT toggled : items) {
    Command(PANEL_COMMAND, static_cast<int>(toggled));
    const MenuSeen seen = OpenMenu([&] { ClickItem(command, IDC_COMMAND_DISPLAY); }, items);
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(seen.checked, overlays()) << "after toggling " << toggled;
  }
  // Every overlay flipped once from the defaults.
  EXPECT_EQ(overlays(), (std::vector<bool>{false, false, false, true, true}));
  EXPECT_FALSE(Service().GetModel()->IsShowBone()) << "the rig's display follows";
}

TEST_F(PanelTest, TheMovePanelWritesTheToolOptionsAndIkBringsTheFollowDownToLocal) {
  Start(MODE_MOVE);
  HWND move = Panel(PANEL_CMDMOVE);
  ClickItem(move, IDC_MOVE_ROTATE);
  EXPECT_EQ(Service().GetToolOption(4), 1);
  ClickItem(move, IDC_MOVE_MASK_BODY);
  EXPECT_TRUE(Service().GetModelOption(MQEXPDOC::kLockBody));
  EXPECT_NE(State().pick_masks & quorvel::RigEditState::kPickMaskBody, 0u);

  ClickItem(move, IDC_MOVE_VERTEX_ZSCALE);
  EXPECT_EQ(Service().GetToolOption(1), 3);
  ClickItem(move, IDC_MOVE_IK);
  EXPECT_EQ(Service().GetToolOption(2), 1);
  EXPECT_EQ(Service().GetToolOption(1), 1) << "Zスケール became ローカル";
  EXPECT_TRUE(Checked(move, IDC_MOVE_VERTEX_LOCAL));
  EXPECT_FALSE(Checked(move, IDC_MOVE_VERTEX_ZSCALE));

  // A radio group with nothing checked reads as its first button.
  for (int id = IDC_MOVE_VERTEX_NONE; id <= IDC_MOVE_VERTEX_SCALE; ++id) CheckDlgButton(move, id, BST_UNCHECKED);
  ClickItem(move, IDC_MOVE_MASK_PIVOT);
  EXPECT_EQ(Service().GetToolOption(1), 0);

  // Shown again, the panel reads the plug-in.
  Service().SetToolOption(4, 2);
  win32_->RefreshPanel(PANEL_CMDMOVE);
  EXPECT_TRUE(Checked(move, IDC_MOVE_SCALE));
  EXPECT_TRUE(Checked(move, IDC_MOVE_MASK_PIVOT));
}

// Counts the main object's questions about one document while it is ended.
namespace ended_document {
MQDocument g_watched = nullptr;
int g_questions = 0;
int(MQAPICALL* g_current_index)(MQDocument) = nullptr;
int MQAPICALL CurrentIndex(MQDocument doc) {
  if (doc == g_watched) ++g_questions;
  return g_current_index(doc);
}
}  // namespace ended_document

// A document opened while the move panel stays up: the panel shows the new
// document's masks, and a click on it writes nothing of the old one's. While
// no document is open the panels show their empty state and ask nothing
// about the ended document.
TEST_F(PanelTest, PanelsShowTheDocumentThatIsOpenAndNothingOfAnEndedOne) {
  Start(MODE_MOVE);
  HWND move = Panel(PANEL_CMDMOVE);
  ClickItem(move, IDC_MOVE_MASK_PIVOT);
  ASSERT_TRUE(Checked(move, IDC_MOVE_MASK_PIVOT));

  namespace ed = ended_document;
  ed::g_watched = doc_;
  ed::g_questions = 0;
  ed::g_current_index = HostApi().MQDoc_GetCurrentObjectIndex;
  HostApi().MQDoc_GetCurrentObjectIndex = &ed::CurrentIndex;
  ASSERT_EQ(mqhost::SendEndDocument(host_, document_, plugin_), TRUE);
  for (PANEL_ID id : {PANEL_CMDMOVE, PANEL_POSELIST, PANEL_POSEOBJ, PANEL_OBJMORPH, PANEL_WEITPEN}) {
    win32_->RefreshPanel(id);
  }
  HostApi().MQDoc_GetCurrentObjectIndex = ed::g_current_index;
  EXPECT_EQ(ed::g_questions, 0) << "the ended document was asked for its current object";
  EXPECT_FALSE(Checked(move, IDC_MOVE_MASK_PIVOT)) << "no document, no masks";

  // The next document opens while the command and the move panel stay.
  mqhost::Document* next = host_.NewDocument();
  ASSERT_EQ(mqhost::SendNewDocument(host_, next, "next.mqd", plugin_), TRUE);
  EXPECT_FALSE(Checked(move, IDC_MOVE_MASK_PIVOT));
  ClickItem(move, IDC_MOVE_IK);
  EXPECT_EQ(State().pick_masks, 0u) << "the old document's masks were not written into this one";
  EXPECT_FALSE(Service().GetModelOption(MQEXPDOC::kLockPivot));
  ClickItem(move, IDC_MOVE_IK);
  ASSERT_EQ(mqhost::SendEndDocument(host_, next, plugin_), TRUE);
  host_.CloseDocument(next);
}

TEST_F(PanelTest, TheMakeAndPoseToolPanelsWriteTheirOptions) {
  Start(MODE_MAKE);
  ClickItem(Panel(PANEL_CMDMAKE), IDC_MAKE_SIBLING);
  EXPECT_EQ(Service().GetToolOption(3), 1);
  ClickItem(Panel(PANEL_COMMAND), IDC_COMMAND_POSE);
  HWND mot = Panel(PANEL_CMDMOT);
  ClickItem(mot, IDC_MOT_IKCHILD);
  EXPECT_EQ(Service().GetIkType(), 1);
  ClickItem(mot, IDC_MOT_MASK_ROLL);
  EXPECT_TRUE(Service().GetModelOption(MQEXPDOC::kLockRoll));
  // The move panel shows the same masks.
  ClickItem(Panel(PANEL_COMMAND), IDC_COMMAND_MOVE);
  EXPECT_TRUE(Checked(Panel(PANEL_CMDMOVE), IDC_MOVE_MASK_ROLL));
}

TEST_F(PanelTest, TheAlignmentWithoutASelectionSaysSoAndChangesNothing) {
  AddObject("upper", 0, {0, 0, 0});
  AddObject("lower", 1, {100, 0, 0});
  Start(MODE_MOVE);
  const int undo = host_.undo_state_count();
  const BoxSeen box = AnswerBox(Wide("エラー"), IDOK, [&] { Command(PANEL_CMDMOVE, ID_MOVE_ALIGN); });
  ASSERT_TRUE(box.shown);
  EXPECT_EQ(box.text, Wide("ボーンを選択してください"));
  EXPECT_EQ(host_.undo_state_count(), undo);
}

// Two bones, upper (0, 0) and lower (100, 20), with both pivots selected, in
// move mode: what the alignment dialog works on.
class AlignTest : public PanelTest {
 protected:
  void StartWithTwoPivotsSelected() {
    upper_ = AddObject("upper", 0, {0, 0, 0});
    lower_ = AddObject("lower", 1, {100, 20, 0});
    AddObject("tip", 2, {100, 0, 0});
    Start(MODE_MOVE);
    SetFlag(upper_, OBase::OB_SEL_PIVOT, true);
    SetFlag(lower_, OBase::OB_SEL_PIVOT, true);
  }
  MQObject upper_ = nullptr, lower_ = nullptr;
};

TEST_F(AlignTest, TheAlignmentDialogSwitchesItsSourceAndAlignsOnOk) {
  StartWithTwoPivotsSelected();
  MQObject upper = upper_, lower = lower_;
  SetFlag(lower, OBase::OB_SEL_BODY, true);
  struct Seen {
    bool shown = false;
    bool edits_before = false, list_before = true, edits_after = true, list_after = false;
    int bones = 0;
  } seen;
  WhileModal act([&] {
    HWND dialog = FindThreadDialog(Wide("整列"));
    seen.shown = dialog != nullptr;
    if (dialog == nullptr) return;
    seen.edits_before = Enabled(dialog, IDC_ALIGN_POSX);
    seen.list_before = Enabled(dialog, IDC_ALIGN_BONE);
    seen.bones = static_cast<int>(SendDlgItemMessageW(dialog, IDC_ALIGN_BONE, CB_GETCOUNT, 0, 0));
    ClickItem(dialog, IDC_ALIGN_FROMBONE);
    seen.edits_after = Enabled(dialog, IDC_ALIGN_POSX) || Enabled(dialog, IDC_ALIGN_POSY) ||
                       Enabled(dialog, IDC_ALIGN_POSZ);
    seen.list_after = Enabled(dialog, IDC_ALIGN_BONE);
    ClickItem(dialog, IDC_ALIGN_FROMBONE);  // back to the position
    ClickItem(dialog, IDC_ALIGN_Y);
    ClickItem(dialog, IDOK);
  });
  Command(PANEL_CMDMOVE, ID_MOVE_ALIGN);
  ASSERT_TRUE(seen.shown);
  EXPECT_TRUE(seen.edits_before);
  EXPECT_FALSE(seen.list_before);
  EXPECT_FALSE(seen.edits_after) << "ボーンを参照 greys X, Y, Z";
  EXPECT_TRUE(seen.list_after) << "... and enables the bone list";
  EXPECT_EQ(seen.bones, 1) << "bones with a child and a selected body";
  // Along Y through the selection's centre, which the dialog showed: the
  // selected pivots move there, nothing else.
  EXPECT_EQ(main_->GetAlignParam().axis, 1);
  const float centre = main_->GetAlignParam().position.y;
  EXPECT_GT(centre, 0.0f);
  EXPECT_NEAR(Pivot(upper).y, centre, 1e-4f);
  EXPECT_NEAR(Pivot(lower).y, centre, 1e-4f);
  EXPECT_NEAR(Pivot(lower).x, 100.0f, 1e-4f);
  EXPECT_EQ(UndoRequests(), 1);
}

// A value typed into the dialog and Enter, as the dialog manager passes it:
// the pivots are aligned at the typed value, not at what the dialog opened
// with.
TEST_F(AlignTest, EnterInTheAlignmentDialogAlignsAtTheTypedValue) {
  StartWithTwoPivotsSelected();
  MQObject upper = upper_, lower = lower_;
  bool entered = false;
  WhileModal act([&] {
    HWND dialog = FindThreadDialog(Wide("整列"));
    if (dialog == nullptr) return;
    ClickItem(dialog, IDC_ALIGN_Y);
    HWND y = FindWindowExW(GetDlgItem(dialog, IDC_ALIGN_POSY), nullptr, L"Edit", nullptr);
    if (y == nullptr) y = GetDlgItem(dialog, IDC_ALIGN_POSY);
    SetFocus(y);
    SendMessageW(y, EM_SETSEL, 0, -1);
    TypeText(y, L"42");
    entered = EnterThroughDialogManager(dialog, y);
  });
  Command(PANEL_CMDMOVE, ID_MOVE_ALIGN);
  ASSERT_TRUE(entered);
  EXPECT_FLOAT_EQ(main_->GetAlignParam().position.y, 42.0f);
  EXPECT_NEAR(Pivot(upper).y, 42.0f, 1e-4f);
  EXPECT_NEAR(Pivot(lower).y, 42.0f, 1e-4f);
  EXPECT_EQ(UndoRequests(), 1);
}

// The pivots are all the dialog aligns: with their box unticked OK is grey
// and does nothing; ticked again it aligns.
TEST_F(AlignTest, TheAlignmentDialogOffersOkOnlyWhilePivotsAreToBeAligned) {
  StartWithTwoPivotsSelected();
  struct Seen {
    bool enabled_at_first = false, enabled_unticked = true, open_after_ok = false, enabled_ticked = false;
  } seen;
  WhileModal act([&] {
    HWND dialog = FindThreadDialog(Wide("整列"));
    if (dialog == nullptr) return;
    seen.enabled_at_first = Enabled(dialog, IDOK);
    ClickItem(dialog, IDC_ALIGN_PIVOT);
    seen.enabled_unticked = Enabled(dialog, IDOK);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    seen.open_after_ok = IsWindow(dialog) && IsWindowVisible(dialog);
    ClickItem(dialog, IDC_ALIGN_PIVOT);
    seen.enabled_ticked = Enabled(dialog, IDOK);
    ClickItem(dialog, IDCANCEL);
  });
  Command(PANEL_CMDMOVE, ID_MOVE_ALIGN);
  EXPECT_TRUE(seen.enabled_at_first);
  EXPECT_FALSE(seen.enabled_unticked);
  EXPECT_TRUE(seen.open_after_ok) << "OK with nothing to align does not close the dialog";
  EXPECT_TRUE(seen.enabled_ticked);
  EXPECT_EQ(UndoRequests(), 0);
}

TEST_F(PanelTest, APanelStoredOffTheScreenComesBackInsideTheDesktop) {
  // Stored after the preferences were read, before the panel was first shown.
  ASSERT_EQ(mqhost::SendInitialize(host_, plugin_), TRUE);
  DLGWINPOS* record = main_->GetWinpos(WINPOS_CMDMOVE);
  record->flg = 1;
  record->x = 100000;
  record->y = -100000;
  Start(MODE_MOVE);
  HWND move = Panel(PANEL_CMDMOVE);
  ASSERT_TRUE(Visible(PANEL_CMDMOVE));
  RECT panel, desktop;
  GetWindowRect(move, &panel);
  GetWindowRect(GetDesktopWindow(), &desktop);
  EXPECT_GE(panel.left, desktop.left);
  EXPECT_GE(panel.top, desktop.top);
  EXPECT_LE(panel.right, desktop.right);
  EXPECT_LE(panel.bottom, desktop.bottom);

  // Moved by the user, the panel's offset from the host window is recorded.
  RECT host;
  GetWindowRect(static_cast<HWND>(host_.WindowHandle()), &host);
  SetWindowPos(move, nullptr, host.left + 40, host.top + 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  EXPECT_EQ(record->x, 40);
  EXPECT_EQ(record->y, 30);
}

TEST_F(PanelTest, ThePoseEditMenuResetsTheCurrentBone) {
  MQObject upper = AddObject("upper", 0, {0, 0, 0});
  AddObject("lower", 1, {100, 0, 0});
  AddObject("tip", 2, {100, 0, 0});
  Start(MODE_POSE);
  Drag(At(200, 3), At(150, 103), 10);
  ASSERT_GE(State().current_pose_id, 0);
  const MenuSeen seen = OpenMenu([&] { ClickItem(Panel(PANEL_CMDMOT), IDC_MOT_MENU); },
                                 {ID_POSE_RESET_BONE, ID_POSE_RESET_ALL, ID_POSE_RESET_MORPH,
                                  ID_POSE_RESET_OBJMORPH, ID_POSE_RESET_ALLMORPH});
  ASSERT_TRUE(seen.shown);
  EXPECT_EQ(seen.texts[1], Wide("全てのボーンのポーズリセット"));
  Command(PANEL_CMDMOT, ID_POSE_RESET_ALL);
  quorvel::OPoseTSQ rec;
  ASSERT_TRUE(quorvel::GetPoseTSQ(upper, Slots(), State().current_pose_id, rec));
  EXPECT_EQ(rec.rot.w, 1.0f) << "every bone back to rest";
}

// ------------------------------------------------------------------ pictures

// Each panel of the command family on the sample rig, saved under the
// build tree (pictures/) for people to look at.
TEST_F(PanelTest, PicturesOfThePanels) {
  LoadExample("arm_rig.mqd");
  Start(MODE_MOVE);
  struct Shot {
    PANEL_ID panel;
    int mode;
    const char* name;
  };
  int x = 10;
  for (const Shot& shot : {Shot{PANEL_COMMAND, MODE_MOVE, "panel-command"}, Shot{PANEL_CMDMOVE, MODE_MOVE, "panel-move"},
                           Shot{PANEL_CMDMAKE, MODE_MAKE, "panel-make"}, Shot{PANEL_CMDMOT, MODE_POSE, "panel-pose"}}) {
    ClickItem(Panel(PANEL_COMMAND), shot.mode == MODE_MOVE   ? IDC_COMMAND_MOVE
                                     : shot.mode == MODE_MAKE ? IDC_COMMAND_MAKE
                                                              : IDC_COMMAND_POSE);
    ASSERT_TRUE(Visible(shot.panel)) << shot.name;
    EXPECT_GT(SavePicture(Panel(shot.panel), x, shot.name), 50) << shot.name << ": captions and frames are drawn";
    x += 250;
  }

  // The alignment dialog, opened from the move panel.
  ClickItem(Panel(PANEL_COMMAND), IDC_COMMAND_MOVE);
  SetWindowPos(Panel(PANEL_CMDMOVE), nullptr, 10, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  quorvel::host_records::ForEachObject(doc_, [&](MQObject obj, int) { SetFlag(obj, OBase::OB_SEL_PIVOT, true); });
  bool captured = false;
  WhileModal shoot([&] {
    HWND dialog = FindThreadDialog(Wide("整列"));
    if (dialog == nullptr) return;
    // Beside the move panel that owns it, not over it.
    captured = SavePicture(dialog, 300, "panel-align") > 50;
    ClickItem(dialog, IDCANCEL);
  });
  Command(PANEL_CMDMOVE, ID_MOVE_ALIGN);
  EXPECT_TRUE(captured);
}

}  // namespace
