// The weight and bone tools under Wine as a person reaches them: the items of
// the weight pen panel's vertex menus, the move panel's menu and the pose
// list's menu, the tools' dialogs filled in and answered, the blur switch of
// the weight pen; and what each did to the sample arm.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "main/dlmain.h"
#include "rig/host_records.h"
#include "rig/id_table.h"
#include "rig/pose_list.h"
#include "rig/rig_access.h"
#include "rig/weight_record.h"
#include "tests/windows/panel_fixture.h"
#include "tests/windows/ui_driver.h"
#include "ui/resources/resource.h"

namespace {

using namespace quorvel_test;
using quorvel::OPoseTSQ;
using quorvel::VWeight;

constexpr int kRigFields[] = {IDC_RIG_RESOLUTION, IDC_RIG_FALLOFF,    IDC_RIG_MAXBONES, IDC_RIG_PLUS_TO_MINUS,
                              IDC_RIG_TOLERANCE,  IDC_RIG_ITERATIONS, IDC_RIG_STRENGTH, IDC_RIG_LIMIT};

bool IsRiggingDialog(HWND window) {
  for (int id : kRigFields) {
    if (GetDlgItem(window, id) != nullptr) return true;
  }
  return false;
}

// Answers the modal windows that come up while a command runs: a tool's
// dialog (the window with the tools' fields) is handed to `act`, which must
// close it; a message box has its title and text noted and is closed with
// OK. A thread timer looks at every tick, so the windows are answered from
// inside whatever modal loop shows them. A dialog `act` left open is
// cancelled after a while, and the test learns of it.
class ModalResponder {
 public:
  using Act = std::function<void(HWND)>;
  struct Box {
    std::wstring title, text;
  };
  // `panels`: top-level dialogs of the plug-in that are no message boxes.
  ModalResponder(Act act, std::vector<HWND> panels) : act_(std::move(act)), panels_(std::move(panels)) {
    Active() = this;
    timer_ = SetTimer(nullptr, 0, 50, &Tick);
  }
  ~ModalResponder() {
    KillTimer(nullptr, timer_);
    Active() = nullptr;
  }
  ModalResponder(const ModalResponder&) = delete;
  ModalResponder& operator=(const ModalResponder&) = delete;

  int dialogs() const { return dialogs_; }
  bool forced() const { return forced_; }
  const std::vector<Box>& boxes() const { return boxes_; }
  // Runs the thread's messages (a menu's command is posted) until `done`, or
  // a generous number of rounds went by.
  void Pump(const std::function<bool()>& done) const {
    for (int round = 0; round < 400 && !done(); ++round) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
      Sleep(20);
    }
  }

 private:
  static ModalResponder*& Active() {
    static ModalResponder* active = nullptr;
    return active;
  }
  static BOOL CALLBACK Visit(HWND window, LPARAM data) {
    auto* self = reinterpret_cast<ModalResponder*>(data);
    wchar_t cls[32] = {};
    GetClassNameW(window, cls, 32);
    if (std::wstring(cls) != L"#32770" || !IsWindowVisible(window)) return TRUE;
    for (HWND panel : self->panels_) {
      if (panel == window) return TRUE;
    }
    self->found_ = window;
    return FALSE;
  }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    ModalResponder* self = Active();
    if (self == nullptr || self->busy_) return;
    self->found_ = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &Visit, reinterpret_cast<LPARAM>(self));
    HWND window = self->found_;
    if (window == nullptr) return;
    self->busy_ = true;
    if (!IsRiggingDialog(window)) {
      self->boxes_.push_back(Box{TextOf(window), MessageBoxText(window)});
      ClickItem(window, IDOK);
    } else if (window != self->acted_on_) {
      self->acted_on_ = window;
      self->waited_ = 0;
      ++self->dialogs_;
      if (self->act_) self->act_(window);
    } else if (++self->waited_ > kPatience) {
      self->forced_ = true;
      ClickItem(window, IDCANCEL);
    }
    self->busy_ = false;
  }
  static constexpr int kPatience = 20;
  Act act_;
  std::vector<HWND> panels_;
  HWND found_ = nullptr;
  HWND acted_on_ = nullptr;
  int dialogs_ = 0;
  int waited_ = 0;
  bool busy_ = false;
  bool forced_ = false;
  std::vector<Box> boxes_;
  UINT_PTR timer_ = 0;
};

// A person's value: the edit taken, its text selected, the value typed over
// it (not committed).
void TypeOver(HWND edit, const wchar_t* text) {
  SetFocus(edit);
  SendMessageW(edit, EM_SETSEL, 0, -1);
  TypeText(edit, text);
}
void TypeOver(HWND dialog, int id, const wchar_t* text) { TypeOver(GetDlgItem(dialog, id), text); }

bool SameWeights(const VWeight& a, const VWeight& b) {
  return quorvel::Count(a) == quorvel::Count(b) &&
         std::memcmp(a.entries, b.entries, sizeof(a.entries[0]) * quorvel::Count(a)) == 0;
}

std::string Narrow(const std::wstring& text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
  return out;
}

// The sample arm: the "arm" mesh (current), the "hand" mesh, and the chain
// shoulder (x = 0), elbow (x = 60), wrist (x = 120) with poses "bend" and
// "wave".
class RiggingUiTest : public PanelTest {
 protected:
  void StartArm(int mode) {
    LoadExample("arm_rig.mqd");
    Start(mode);
    arm_ = Named("arm");
    ASSERT_NE(arm_, nullptr);
    quorvel::SetCurrentObject(doc_, arm_);
  }
  MQObject Named(const char* name) const {
    MQObject found = nullptr;
    quorvel::host_records::ForEachObject(doc_, [&](MQObject obj, int) {
      char text[256] = {};
      HostApi().MQObj_GetName(obj, text, sizeof text);
      if (found == nullptr && std::strcmp(text, name) == 0) found = obj;
    });
    return found;
  }
  // The object whose pivot is at (x, y, 0), or null.
  MQObject PivotAt(float x, float y) const {
    MQObject found = nullptr;
    quorvel::host_records::ForEachObject(doc_, [&](MQObject obj, int) {
      const FVECTOR3 p = Pivot(obj);
      if (found == nullptr && std::fabs(p.x - x) < 1e-3f && std::fabs(p.y - y) < 1e-3f) found = obj;
    });
    return found;
  }
  std::vector<VWeight> Weights(MQObject obj) const {
    const int n = HostApi().MQObj_GetVertexCount(obj);
    std::vector<VWeight> weights(static_cast<size_t>(n));
    for (int v = 0; v < n; ++v) {
      quorvel::Init(weights[static_cast<size_t>(v)]);
      quorvel::GetVertexWeights(obj, Slots(), v, weights[static_cast<size_t>(v)]);
    }
    return weights;
  }
  // Vertices whose records differ between the two.
  static int Differing(const std::vector<VWeight>& a, const std::vector<VWeight>& b) {
    int n = 0;
    for (size_t v = 0; v < a.size() && v < b.size(); ++v) n += !SameWeights(a[v], b[v]);
    return n;
  }
  std::vector<HWND> Panels() const {
    std::vector<HWND> panels;
    for (int id = 0; id < PANEL_COUNT; ++id) {
      if (HWND w = Panel(static_cast<PANEL_ID>(id))) panels.push_back(w);
    }
    return panels;
  }
  // Sends the weight pen panel the menu item, answering its dialog with `act`.
  std::unique_ptr<ModalResponder> RunTool(int item, ModalResponder::Act act) {
    auto responder = std::make_unique<ModalResponder>(std::move(act), Panels());
    Command(PANEL_WEITPEN, item);
    return responder;
  }
  OPoseTSQ PoseOf(MQObject obj) const {
    OPoseTSQ rec;
    quorvel::GetPoseTSQ(obj, Slots(), State().current_pose_id, rec);
    return rec;
  }
  RIGGING_PARAM& Param() { return main_->GetRiggingParam(); }

  MQObject arm_ = nullptr;
};

// ------------------------------------------------------------------ menus

TEST_F(RiggingUiTest, TheMenusHoldTheToolsAfterASeparator) {
  StartArm(MODE_WEIGHT);
  struct Case {
    int mode;
    PANEL_ID panel;
    int button;
    std::vector<UINT> items;
    std::vector<const char*> texts;
  };
  const std::vector<const char*> weight_tools = {"自動ウェイト...", "ウェイトをミラー...",
                                                 "ウェイトをスムーズ...", "ボーン数を制限..."};
  const Case cases[] = {
      {MODE_WEIGHT,
       PANEL_WEITPEN,
       IDC_WEIGHTPEN_SELMENU,
       {ID_SELWEIGHT_BIND, ID_SELWEIGHT_MIRROR, ID_SELWEIGHT_SMOOTH, ID_SELWEIGHT_LIMIT},
       weight_tools},
      {MODE_WEIGHT,
       PANEL_WEITPEN,
       IDC_WEIGHTPEN_OBJMENU,
       {ID_OBJWEIGHT_BIND, ID_OBJWEIGHT_MIRROR, ID_OBJWEIGHT_SMOOTH, ID_OBJWEIGHT_LIMIT},
       weight_tools},
      {MODE_MOVE, PANEL_CMDMOVE, IDC_MOVE_MENU, {ID_MOVE_MIRROR_BONES}, {"ボーンをミラー作成"}},
      {MODE_POSE,
       PANEL_POSELIST,
       IDC_POSELIST_MENU,
       {ID_POSELIST_MIRROR_BONE, ID_POSELIST_MIRROR_PLUS, ID_POSELIST_MIRROR_MINUS, ID_POSELIST_MIRROR_FLIP},
       {"現在のボーンのポーズを反対側へ", "+X側のポーズを-X側へ", "-X側のポーズを+X側へ",
        "ポーズを左右反転"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("menu of control " + std::to_string(c.button));
    Service().SetMode(c.mode);
    bool shown = false, separator_before = false;
    std::vector<std::wstring> texts;
    std::vector<bool> grayed;
    WhileModal look([&] {
      HMENU menu = ShownPopupMenu();
      shown = menu != nullptr;
      for (int i = 1; menu != nullptr && i < GetMenuItemCount(menu); ++i) {
        // The tools follow the panel's own items after a separator.
        if (GetMenuItemID(menu, i) == c.items.front()) {
          separator_before = (GetMenuState(menu, i - 1, MF_BYPOSITION) & MF_SEPARATOR) != 0;
        }
      }
      for (UINT id : c.items) {
        texts.push_back(MenuItemText(menu, id));
        grayed.push_back(MenuItemGrayed(menu, id));
      }
      EndMenu();
    });
    ClickItem(Panel(c.panel), c.button);
    ASSERT_TRUE(shown);
    EXPECT_TRUE(separator_before);
    for (size_t i = 0; i < c.items.size(); ++i) {
      EXPECT_EQ(texts[i], Wide(c.texts[i])) << "item " << c.items[i];
      EXPECT_FALSE(grayed[i]) << "item " << c.items[i];
    }
  }
}

// Mirroring makes a pose when there is none: its items stay enabled where
// those that need the current pose are grey.
TEST_F(RiggingUiTest, ThePoseMirrorsAreEnabledWithoutAPose) {
  AddObject("upper", 0, {10, 0, 0});
  AddObject("lower", 1, {100, 0, 0});
  Start(MODE_POSE);
  ASSERT_EQ(quorvel::CurrentPose(State()), nullptr);
  const MenuSeen seen = OpenMenu([&] { ClickItem(Panel(PANEL_POSELIST), IDC_POSELIST_MENU); },
                                 {ID_POSELIST_COPY, ID_POSELIST_MIRROR_BONE, ID_POSELIST_MIRROR_PLUS,
                                  ID_POSELIST_MIRROR_MINUS, ID_POSELIST_MIRROR_FLIP});
  ASSERT_TRUE(seen.shown);
  EXPECT_EQ(seen.grayed, (std::vector<bool>{true, false, false, false, false}));
}

// ------------------------------------------------------------------ automatic weights

// Chosen from the real object menu: the dialog shows the last values, takes
// typed ones, and OK runs the tool with them on the current object.
TEST_F(RiggingUiTest, AutomaticWeightsFromTheObjectMenuRunWithTheTypedValues) {
  StartArm(MODE_WEIGHT);
  const std::vector<VWeight> before = Weights(arm_);
  std::vector<std::wstring> shown;
  bool ok_enabled = false;
  ModalResponder responder(
      [&](HWND dialog) {
        shown = {TextOf(dialog), ItemText(dialog, IDC_RIG_RESOLUTION), ItemText(dialog, IDC_RIG_FALLOFF),
                 ItemText(dialog, IDC_RIG_MAXBONES)};
        TypeOver(dialog, IDC_RIG_RESOLUTION, L"64");
        TypeOver(dialog, IDC_RIG_FALLOFF, L"2.5");
        TypeOver(dialog, IDC_RIG_MAXBONES, L"1");
        ok_enabled = Enabled(dialog, IDOK);
        ClickItem(dialog, IDOK);
      },
      Panels());
  // The menu's own loop reads the keys: down to the item, Enter.
  WhileModal choose([&] {
    HMENU menu = ShownPopupMenu();
    HWND window = FindWindowW(L"#32768", nullptr);
    if (menu == nullptr || window == nullptr) return;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
      if (!(GetMenuState(menu, i, MF_BYPOSITION) & MF_SEPARATOR))
        PostMessageW(window, WM_KEYDOWN, VK_DOWN, 1);
      if (GetMenuItemID(menu, i) == ID_OBJWEIGHT_BIND) break;
    }
    PostMessageW(window, WM_KEYDOWN, VK_RETURN, 1);
  });
  ClickItem(Panel(PANEL_WEITPEN), IDC_WEIGHTPEN_OBJMENU);
  responder.Pump(
      [&] { return responder.dialogs() > 0 && FindThreadDialog(Wide("自動ウェイト")) == nullptr; });
  ASSERT_EQ(responder.dialogs(), 1) << "the item opened the dialog";
  EXPECT_EQ(shown, (std::vector<std::wstring>{Wide("自動ウェイト"), L"128", L"1", L"4"}));
  EXPECT_TRUE(ok_enabled);
  EXPECT_FALSE(responder.forced());
  for (const auto& box : responder.boxes())
    ADD_FAILURE() << "box " << Narrow(box.title) << ": " << Narrow(box.text);

  const std::vector<VWeight> after = Weights(arm_);
  EXPECT_GT(Differing(before, after), 0) << "the arm's weights were made anew";
  for (const VWeight& rec : after) EXPECT_EQ(quorvel::Count(rec), 1) << "one bone per vertex, as typed";
  EXPECT_EQ(UndoRequests(), 1);
  EXPECT_EQ(Param().resolution, 64);
  EXPECT_EQ(Param().falloff, 2.5f);
  EXPECT_EQ(Param().max_bones, 1);
}

TEST_F(RiggingUiTest, CancelRunsNothingAndKeepsTheValues) {
  StartArm(MODE_WEIGHT);
  const std::vector<VWeight> before = Weights(arm_);
  const RIGGING_PARAM kept = Param();
  for (int item : {ID_OBJWEIGHT_BIND, ID_OBJWEIGHT_MIRROR, ID_OBJWEIGHT_SMOOTH, ID_OBJWEIGHT_LIMIT}) {
    SCOPED_TRACE(item);
    auto responder = RunTool(item, [](HWND dialog) {
      for (int id : {IDC_RIG_RESOLUTION, IDC_RIG_TOLERANCE, IDC_RIG_ITERATIONS, IDC_RIG_LIMIT}) {
        if (GetDlgItem(dialog, id) != nullptr) TypeOver(dialog, id, L"2");
      }
      if (GetDlgItem(dialog, IDC_RIG_MINUS_TO_PLUS) != nullptr) ClickItem(dialog, IDC_RIG_MINUS_TO_PLUS);
      ClickItem(dialog, IDCANCEL);
    });
    EXPECT_EQ(responder->dialogs(), 1);
    EXPECT_TRUE(responder->boxes().empty());
  }
  EXPECT_EQ(Differing(before, Weights(arm_)), 0);
  EXPECT_EQ(UndoRequests(), 0);
  EXPECT_EQ(std::memcmp(&Param(), &kept, sizeof kept), 0) << "Cancel keeps the last values";
}

// The selected-vertex menu's tool works on the selected vertices alone.
TEST_F(RiggingUiTest, TheSelectionMenusToolLeavesUnselectedVerticesAlone) {
  StartArm(MODE_WEIGHT);
  document_->SetSelected(document_->current_object, 3, true);
  const std::vector<VWeight> before = Weights(arm_);
  ASSERT_GE(quorvel::Count(before[3]), 2) << "the vertex between the bones takes both";
  auto responder = RunTool(ID_SELWEIGHT_BIND, [](HWND dialog) {
    TypeOver(dialog, IDC_RIG_MAXBONES, L"1");
    ClickItem(dialog, IDOK);
  });
  ASSERT_EQ(responder->dialogs(), 1);
  const std::vector<VWeight> after = Weights(arm_);
  ASSERT_EQ(after.size(), before.size());
  for (size_t v = 0; v < after.size(); ++v) {
    if (v == 3) {
      EXPECT_EQ(quorvel::Count(after[v]), 1);
    } else {
      EXPECT_TRUE(SameWeights(after[v], before[v]) && after[v].head == before[v].head) << v;
    }
  }
}

// ------------------------------------------------------------------ the other tools' fields

TEST_F(RiggingUiTest, EachDialogStartsFromTheLastValuesAndWritesBackItsOwn) {
  StartArm(MODE_WEIGHT);
  struct Case {
    int item;
    const char* title;
    std::map<int, std::wstring> shown;  // edit → text
    std::map<int, const wchar_t*> typed;
    int click;                                     // a radio button clicked, 0 none
    std::function<void(RIGGING_PARAM&)> expected;  // the values after OK
  };
  RIGGING_PARAM start;
  start.resolution = 200;
  start.falloff = 0.5f;
  start.max_bones = 3;
  start.iterations = 7;
  start.strength = 0.25f;
  start.direction = 1;
  start.tolerance = 0.125f;
  start.limit = 2;
  const Case cases[] = {
      {ID_OBJWEIGHT_MIRROR,
       "ウェイトのミラー",
       {{IDC_RIG_TOLERANCE, L"0.125"}},
       {{IDC_RIG_TOLERANCE, L"0.5"}},
       IDC_RIG_PLUS_TO_MINUS,
       [](RIGGING_PARAM& p) {
         p.direction = 0;
         p.tolerance = 0.5f;
       }},
      {ID_OBJWEIGHT_SMOOTH,
       "ウェイトのスムーズ",
       {{IDC_RIG_ITERATIONS, L"7"}, {IDC_RIG_STRENGTH, L"0.25"}, {IDC_RIG_MAXBONES, L"3"}},
       {{IDC_RIG_ITERATIONS, L"12"}, {IDC_RIG_STRENGTH, L"0.75"}, {IDC_RIG_MAXBONES, L"2"}},
       0,
       [](RIGGING_PARAM& p) {
         p.iterations = 12;
         p.strength = 0.75f;
         p.max_bones = 2;
       }},
      {ID_OBJWEIGHT_LIMIT,
       "ボーン数の制限",
       {{IDC_RIG_LIMIT, L"2"}},
       {{IDC_RIG_LIMIT, L"1"}},
       0,
       [](RIGGING_PARAM& p) { p.limit = 1; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    Param() = start;
    std::map<int, std::wstring> shown;
    std::wstring title;
    bool direction_shown = false;
    auto responder = RunTool(c.item, [&](HWND dialog) {
      title = TextOf(dialog);
      for (const auto& [id, text] : c.shown) shown[id] = ItemText(dialog, id);
      direction_shown = Checked(dialog, IDC_RIG_MINUS_TO_PLUS) && !Checked(dialog, IDC_RIG_PLUS_TO_MINUS);
      for (const auto& [id, text] : c.typed) TypeOver(dialog, id, text);
      if (c.click != 0) ClickItem(dialog, c.click);
      ClickItem(dialog, IDOK);
    });
    ASSERT_EQ(responder->dialogs(), 1);
    EXPECT_FALSE(responder->forced()) << "OK closed the dialog";
    EXPECT_EQ(title, Wide(c.title));
    EXPECT_EQ(shown, c.shown);
    if (c.item == ID_OBJWEIGHT_MIRROR) {
      EXPECT_TRUE(direction_shown) << "from -X to +X";
    }
    RIGGING_PARAM expected = start;
    c.expected(expected);
    EXPECT_EQ(std::memcmp(&Param(), &expected, sizeof expected), 0) << "its own fields, and only those";
  }
}

// OK is grey, and Enter leaves the dialog open, while a number typed is out
// of its range; a number left for another field is brought into it.
TEST_F(RiggingUiTest, OkTakesOnlyValuesWithinTheirRanges) {
  StartArm(MODE_WEIGHT);
  struct Case {
    int item;
    int edit;
    const wchar_t* typed;
    bool ok;
    const wchar_t* committed;  // what the edit shows once left
  };
  const Case cases[] = {
      {ID_OBJWEIGHT_BIND, IDC_RIG_RESOLUTION, L"8", false, L"16"},
      {ID_OBJWEIGHT_BIND, IDC_RIG_RESOLUTION, L"600", false, L"512"},
      {ID_OBJWEIGHT_BIND, IDC_RIG_RESOLUTION, L"512", true, L"512"},
      {ID_OBJWEIGHT_BIND, IDC_RIG_FALLOFF, L"0.01", false, L"0.05"},
      {ID_OBJWEIGHT_BIND, IDC_RIG_FALLOFF, L"4.5", false, L"4"},
      {ID_OBJWEIGHT_BIND, IDC_RIG_MAXBONES, L"0", false, L"1"},
      {ID_OBJWEIGHT_BIND, IDC_RIG_MAXBONES, L"5", false, L"4"},
      {ID_OBJWEIGHT_SMOOTH, IDC_RIG_ITERATIONS, L"1001", false, L"1000"},
      {ID_OBJWEIGHT_SMOOTH, IDC_RIG_STRENGTH, L"1.5", false, L"1"},
      {ID_OBJWEIGHT_SMOOTH, IDC_RIG_STRENGTH, L"0", true, L"0"},
      {ID_OBJWEIGHT_LIMIT, IDC_RIG_LIMIT, L"9", false, L"4"},
      {ID_OBJWEIGHT_MIRROR, IDC_RIG_TOLERANCE, L"0", false, L"0"},
      {ID_OBJWEIGHT_MIRROR, IDC_RIG_TOLERANCE, L"-1", false, L"-1"},
  };
  const RIGGING_PARAM kept = Param();
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.typed));
    bool ok = !c.ok, open_after_enter = false;
    std::wstring committed;
    auto responder = RunTool(c.item, [&](HWND dialog) {
      HWND edit = GetDlgItem(dialog, c.edit);
      TypeOver(edit, c.typed);
      ok = Enabled(dialog, IDOK);
      if (!c.ok) {
        EnterThroughDialogManager(dialog, edit);
        open_after_enter = IsWindowVisible(dialog) != FALSE;
      }
      // Tab to the next field commits the text.
      PressKey(edit, VK_TAB);
      SetFocus(GetNextDlgTabItem(dialog, edit, FALSE));
      committed = ItemText(dialog, c.edit);
      ClickItem(dialog, IDCANCEL);
    });
    ASSERT_EQ(responder->dialogs(), 1);
    EXPECT_EQ(ok, c.ok);
    if (!c.ok) {
      EXPECT_TRUE(open_after_enter);
    }
    EXPECT_EQ(committed, c.committed);
  }
  EXPECT_EQ(std::memcmp(&Param(), &kept, sizeof kept), 0);
  EXPECT_EQ(UndoRequests(), 0);
}

// ------------------------------------------------------------------ the blur pen

TEST_F(RiggingUiTest, TheBlurCheckBoxSwitchesTheBlurPen) {
  StartArm(MODE_WEIGHT);
  HWND pen = Panel(PANEL_WEITPEN);
  ASSERT_FALSE(Service().GetBlurPen());
  EXPECT_FALSE(Checked(pen, IDC_WEIGHTPEN_BLUR));
  ClickItem(pen, IDC_WEIGHTPEN_BLUR);
  EXPECT_TRUE(Service().GetBlurPen());
  ClickItem(pen, IDC_WEIGHTPEN_BLUR);
  EXPECT_FALSE(Service().GetBlurPen());
  // Switched elsewhere (a script), the panel shows it when refreshed.
  Service().SetBlurPen(true);
  win32_->RefreshPanel(PANEL_WEITPEN);
  EXPECT_TRUE(Checked(pen, IDC_WEIGHTPEN_BLUR));
  EXPECT_EQ(UndoRequests(), 0) << "a pen is no part of the document";

  ASSERT_EQ(mqhost::SendEndDocument(host_, document_, plugin_), TRUE);
  win32_->RefreshPanel(PANEL_WEITPEN);
  EXPECT_FALSE(Checked(pen, IDC_WEIGHTPEN_BLUR));
  EXPECT_FALSE(Enabled(pen, IDC_WEIGHTPEN_BLUR)) << "no document, no pen";
}

// ------------------------------------------------------------------ bones and poses

TEST_F(RiggingUiTest, TheMoveMenuMakesTheOtherSidesBones) {
  StartArm(MODE_MOVE);
  MQObject elbow = Named("elbow");
  quorvel::SetCurrentObject(doc_, elbow);
  const int objects = LiveObjectCount();
  ModalResponder responder(nullptr, Panels());
  Command(PANEL_CMDMOVE, ID_MOVE_MIRROR_BONES);
  for (const auto& box : responder.boxes())
    ADD_FAILURE() << "box " << Narrow(box.title) << ": " << Narrow(box.text);
  EXPECT_EQ(LiveObjectCount(), objects + 2) << "the elbow and the wrist below it";
  EXPECT_NE(PivotAt(-60.0f, 0.0f), nullptr);
  EXPECT_NE(PivotAt(-120.0f, 0.0f), nullptr);
  EXPECT_EQ(UndoRequests(), 1);

  // Made once: the second time a box says why nothing was made.
  ModalResponder again(nullptr, Panels());
  Command(PANEL_CMDMOVE, ID_MOVE_MIRROR_BONES);
  EXPECT_EQ(again.boxes().size(), 1u);
  EXPECT_EQ(LiveObjectCount(), objects + 2);
}

// The elbow bent at "bend" and its mirror made: each pose item moves the
// bend as its menu text says.
TEST_F(RiggingUiTest, ThePoseListsMirrorItemsMoveTheBend) {
  StartArm(MODE_MOVE);
  MQObject elbow = Named("elbow");
  quorvel::SetCurrentObject(doc_, elbow);
  {
    ModalResponder responder(nullptr, Panels());
    Command(PANEL_CMDMOVE, ID_MOVE_MIRROR_BONES);
  }
  MQObject other = PivotAt(-60.0f, 0.0f);
  ASSERT_NE(other, nullptr);
  Service().SetMode(MODE_POSE);
  ASSERT_TRUE(quorvel::SetCurrentPosition(State(), 0));
  State().current_bone = Uid(elbow);
  OPoseTSQ bend = PoseOf(elbow);
  ASSERT_GT(std::fabs(bend.rot.z), 0.1f) << "the elbow turns about Z at \"bend\"";
  const OPoseTSQ rest;
  struct Case {
    int item;
    bool elbow_bent;  // afterwards: the elbow keeps the bend (else it is at rest)
    bool other_bent;  // the mirror takes the mirrored bend (else it stays at rest)
  };
  const Case cases[] = {
      {ID_POSELIST_MIRROR_BONE, true, true},
      {ID_POSELIST_MIRROR_PLUS, true, true},
      {ID_POSELIST_MIRROR_MINUS, false, false},
      {ID_POSELIST_MIRROR_FLIP, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.item);
    ASSERT_TRUE(quorvel::SetPoseTSQ(elbow, Slots(), State().current_pose_id, bend));
    ASSERT_TRUE(quorvel::SetPoseTSQ(other, Slots(), State().current_pose_id, rest));
    const int undo = UndoRequests();
    ModalResponder responder(nullptr, Panels());
    Command(PANEL_POSELIST, c.item);
    const OPoseTSQ now = PoseOf(elbow), mirrored = PoseOf(other);
    if (c.elbow_bent) {
      EXPECT_EQ(std::memcmp(&now, &bend, sizeof now), 0);
    } else {
      EXPECT_EQ(now.rot.w, 1.0f) << "the mirror's rest came over";
    }
    if (c.other_bent) {
      EXPECT_EQ(mirrored.rot.z, -bend.rot.z);
      EXPECT_EQ(mirrored.rot.w, bend.rot.w);
    } else {
      EXPECT_EQ(mirrored.rot.w, 1.0f);
    }
    EXPECT_EQ(UndoRequests(), undo + 1);
  }
}

// ------------------------------------------------------------------ pictures

TEST_F(RiggingUiTest, PicturesOfTheToolDialogs) {
  StartArm(MODE_WEIGHT);
  const std::pair<int, const char*> dialogs[] = {{ID_OBJWEIGHT_BIND, "dialog-rig-auto"},
                                                 {ID_OBJWEIGHT_MIRROR, "dialog-rig-mirror"},
                                                 {ID_OBJWEIGHT_SMOOTH, "dialog-rig-smooth"},
                                                 {ID_OBJWEIGHT_LIMIT, "dialog-rig-limit"}};
  for (const auto& [item, name] : dialogs) {
    SCOPED_TRACE(name);
    int dark = 0;
    auto responder = RunTool(item, [&, name = name](HWND dialog) {
      dark = SavePicture(dialog, 300, name);
      ClickItem(dialog, IDCANCEL);
    });
    ASSERT_EQ(responder->dialogs(), 1);
    EXPECT_GT(dark, 50) << "captions and frames are drawn";
  }
  EXPECT_GT(SavePicture(Panel(PANEL_WEITPEN), 10, "panel-weightpen-blur"), 50);
}

}  // namespace
