// The morph panel and the pose morph panel under Wine, driven as a person
// would: presses, drags and double clicks on their rows, the buttons, the
// property dialog, the wheel and the scroll bar.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "rig/host_records.h"
#include "rig/morph_targets.h"
#include "rig/pose_list.h"
#include "rig/records.h"
#include "rig/rig_access.h"
#include "sdk/host_api.h"
#include "tests/windows/panel_fixture.h"
#include "tests/windows/ui_driver.h"
#include "ui/resources/resource.h"

namespace {

using namespace quorvel_test;

constexpr COLORREF kDarkBlue = RGB(0, 48, 128);
constexpr COLORREF kLightGrey = RGB(224, 224, 224);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);

class MorphPanelTest : public PanelTest {
 protected:
  // A mesh of two vertices, the document's current object.
  MQObject Body(const char* name = "body") {
    MQObject obj = AddObject(name);
    mqhost::ToObject(obj)->AddVertex(MQPoint{1, 2, 3});
    mqhost::ToObject(obj)->AddVertex(MQPoint{4, 5, 6});
    document_->current_object = document_->ObjectCount() - 1;
    return obj;
  }
  // Targets made the way a document brings them, then the panels told.
  void Targets(MQObject obj, const std::vector<std::pair<int, const char*>>& targets) {
    for (const auto& [slot, name] : targets) ASSERT_TRUE(quorvel::CreateMorphTarget(obj, Slots(), slot, name, ""));
    Service().RefreshPanels();
  }
  int CurrentTarget(MQObject obj) const { return quorvel::GetCurrentMorphIndex(obj, Slots()); }

  static HWND List(HWND panel) { return GetDlgItem(panel, IDC_MORPH_LIST); }
  // The rows a person sees, top to bottom.
  static std::vector<HWND> Rows(HWND panel) {
    std::vector<HWND> rows;
    for (HWND w = GetWindow(List(panel), GW_CHILD); w != nullptr; w = GetWindow(w, GW_HWNDNEXT)) {
      if (IsWindowVisible(w)) rows.push_back(w);
    }
    std::sort(rows.begin(), rows.end(), [](HWND a, HWND b) { return Top(a) < Top(b); });
    return rows;
  }
  static std::vector<std::wstring> RowTexts(HWND panel) {
    std::vector<std::wstring> texts;
    for (HWND row : Rows(panel)) texts.push_back(TextOf(row));
    return texts;
  }
  // A row's top in its list's client coordinates.
  static int Top(HWND row) {
    RECT r;
    GetWindowRect(row, &r);
    MapWindowPoints(nullptr, GetParent(row), reinterpret_cast<POINT*>(&r), 2);
    return r.top;
  }
  // The row that shows `text`, or null.
  static HWND RowShowing(HWND panel, const std::wstring& text) {
    for (HWND row : Rows(panel)) {
      if (TextOf(row) == text) return row;
    }
    return nullptr;
  }
  // A pixel of the row as it draws itself.
  static COLORREF Pixel(HWND row, int x, int y) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 400, 400);
    HGDIOBJ old = SelectObject(dc, bitmap);
    SendMessageW(row, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    const COLORREF c = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return c;
  }
  // The row's box colour, away from its text.
  static COLORREF Back(HWND row) { return Pixel(row, 180, 18); }
  static void Click(HWND row) {
    MouseDown(row, 100, 10);
    MouseUp(row, 100, 10);
  }
  static void DoubleClick(HWND row) {
    Click(row);
    SendMessageW(row, WM_LBUTTONDBLCLK, MK_LBUTTON, quorvel_test::At(100, 10));
    MouseUp(row, 100, 10);
  }
  static void DragBar(HWND row, int to_x) {
    MouseDown(row, 10, 10);
    MouseMove(row, (10 + to_x) / 2, 10);
    MouseMove(row, to_x, 10);
    MouseUp(row, to_x, 10);
  }
  std::string ObjectNameOfCurrent() const {
    char name[256] = {};
    MQObject obj = Service().GetCurrentObject();
    if (obj != nullptr) HostApi().MQObj_GetName(obj, name, sizeof name);
    return name;
  }
  float Weight(MQObject obj, int slot) const {
    return quorvel::GetPoseMorphWeight(obj, Slots(), State().current_pose_id, slot);
  }
};

// ------------------------------------------------------------------ rows

TEST_F(MorphPanelTest, BothMorphPanelsListTheBaseThenTheUsedSlotsInOrder) {
  MQObject obj = Body();
  struct Case {
    PANEL_ID panel;
    int mode;
    std::vector<const char*> rows;
    std::vector<const char*> after_delete;
  };
  const Case cases[] = {
      {PANEL_OBJMORPH, MODE_MORPH, {"Base Vertex", "zero", "three", "seven"}, {"Base Vertex", "zero", "seven"}},
      {PANEL_POSEMORPH,
       MODE_POSE,
       {"Base Vertex(100)", "zero(  0)", "three(  0)", "seven(  0)"},
       {"Base Vertex(100)", "zero(  0)", "seven(  0)"}},
  };
  Start(MODE_MORPH);
  Targets(obj, {{7, "seven"}, {0, "zero"}, {3, "three"}});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.panel);
    Service().SetMode(c.mode);
    ASSERT_TRUE(Visible(c.panel));
    std::vector<std::wstring> want;
    for (const char* text : c.rows) want.push_back(Wide(text));
    EXPECT_EQ(RowTexts(Panel(c.panel)), want);
    std::vector<HWND> rows = Rows(Panel(c.panel));
    for (size_t k = 0; k < rows.size(); ++k) EXPECT_EQ(Top(rows[k]), static_cast<int>(k) * 20) << k;
  }
  EXPECT_EQ(ItemText(Panel(PANEL_OBJMORPH), IDC_MORPH_HEADER), L"body(3)");
  EXPECT_EQ(ItemText(Panel(PANEL_POSEMORPH), IDC_POSEMORPH_HEADER), L"body");

  // A deleted slot has no row.
  ASSERT_TRUE(quorvel::DeleteMorphTarget(obj, Slots(), 3));
  for (const Case& c : cases) {
    Service().SetMode(c.mode);
    std::vector<std::wstring> want;
    for (const char* text : c.after_delete) want.push_back(Wide(text));
    EXPECT_EQ(RowTexts(Panel(c.panel)), want) << c.panel;
  }
}

TEST_F(MorphPanelTest, WithoutACurrentObjectTheMorphPanelsShowNothingToWorkOn) {
  Body();
  document_->current_object = -1;
  Start(MODE_MORPH);
  HWND morph = Panel(PANEL_OBJMORPH);
  EXPECT_EQ(ItemText(morph, IDC_MORPH_HEADER), L"");
  EXPECT_EQ(RowTexts(morph), std::vector<std::wstring>{L"Base Vertex"});
  for (int id : {IDC_MORPH_NEW, IDC_MORPH_DELETE, IDC_MORPH_PROP, IDC_MORPH_MENU}) EXPECT_FALSE(Enabled(morph, id)) << id;
  // Commands reaching the panel anyway do nothing.
  Command(PANEL_OBJMORPH, IDC_MORPH_NEW);
  Command(PANEL_OBJMORPH, ID_MORPH_STORE_SHAPE);
  Click(Rows(morph)[0]);
  EXPECT_EQ(quorvel::CountMorphTargets(Object(0), Slots()), 0);
  EXPECT_EQ(UndoRequests(), 0);

  Service().SetMode(MODE_POSE);
  HWND pose = Panel(PANEL_POSEMORPH);
  EXPECT_EQ(ItemText(pose, IDC_POSEMORPH_HEADER), L"");
  EXPECT_TRUE(Rows(pose).empty());
}

// ------------------------------------------------------------------ the morph panel

TEST_F(MorphPanelTest, ARowClickedBecomesTheShownTargetAndIsHighlighted) {
  MQObject obj = Body();
  Start(MODE_MORPH);
  Targets(obj, {{3, "three"}, {7, "seven"}});
  HWND panel = Panel(PANEL_OBJMORPH);
  HWND base = RowShowing(panel, L"Base Vertex");
  HWND three = RowShowing(panel, L"three");
  HWND seven = RowShowing(panel, L"seven");
  ASSERT_TRUE(base && three && seven);
  EXPECT_EQ(Back(base), kDarkBlue) << "no target current: the base is";
  EXPECT_FALSE(Enabled(panel, IDC_MORPH_PROP));

  Click(three);
  EXPECT_EQ(CurrentTarget(obj), 3);
  EXPECT_EQ(Back(three), kDarkBlue);
  EXPECT_EQ(Back(base), kLightGrey);
  EXPECT_EQ(Back(seven), kWhite);
  EXPECT_TRUE(Enabled(panel, IDC_MORPH_PROP));
  // The person edits the target's shape in the modeller...
  const MQPoint edited{10, 20, 30};
  HostApi().MQObj_SetVertex(obj, 0, &edited);

  // ... and the base row brings the base shape back.
  Click(base);
  EXPECT_EQ(CurrentTarget(obj), -1);
  EXPECT_EQ(Back(base), kDarkBlue);
  EXPECT_EQ(Back(three), kWhite);
  EXPECT_EQ(Vertex(obj, 0), FVECTOR3(1, 2, 3));
  EXPECT_FALSE(Enabled(panel, IDC_MORPH_PROP));

  Click(three);
  EXPECT_EQ(Vertex(obj, 0), FVECTOR3(10, 20, 30)) << "the edited shape was kept";
  Click(seven);
  EXPECT_EQ(CurrentTarget(obj), 7);
  EXPECT_EQ(Vertex(obj, 0), FVECTOR3(10, 20, 30)) << "a new target starts from the shape shown";
  EXPECT_EQ(Back(three), kWhite);
  EXPECT_EQ(Back(seven), kDarkBlue);
}

TEST_F(MorphPanelTest, NewAndDeleteMakeAndRemoveTargetsWithAnUndoStateEach) {
  MQObject obj = Body();
  Start(MODE_MORPH);
  HWND panel = Panel(PANEL_OBJMORPH);
  EXPECT_TRUE(Enabled(panel, IDC_MORPH_NEW));
  EXPECT_FALSE(Enabled(panel, IDC_MORPH_DELETE)) << "nothing to delete";

  Targets(obj, {{0, "zero"}, {1, "one"}, {3, "three"}});
  ClickItem(panel, IDC_MORPH_NEW);
  quorvel::OMorphTarget rec;
  ASSERT_TRUE(quorvel::GetMorphTargetRecord(obj, Slots(), 2, rec)) << "the first free slot";
  EXPECT_EQ(quorvel::NameOf(rec.name), "morph");
  EXPECT_EQ(rec.group, quorvel::FindMorphGroup(obj, Slots(), "Base"));
  EXPECT_EQ(UndoRequests(), 1);
  EXPECT_EQ(ItemText(panel, IDC_MORPH_HEADER), L"body(4)");
  EXPECT_EQ(RowTexts(panel), (std::vector<std::wstring>{L"Base Vertex", L"zero", L"one", L"morph", L"three"}));
  EXPECT_TRUE(Enabled(panel, IDC_MORPH_DELETE));

  // Deleting the shown target puts the base shape back on the vertices.
  Click(RowShowing(panel, L"morph"));
  const MQPoint edited{7, 7, 7};
  HostApi().MQObj_SetVertex(obj, 1, &edited);
  ClickItem(panel, IDC_MORPH_DELETE);
  EXPECT_FALSE(quorvel::HasMorphTargetRecord(obj, Slots(), 2));
  EXPECT_EQ(CurrentTarget(obj), -1);
  EXPECT_EQ(Vertex(obj, 1), FVECTOR3(4, 5, 6));
  EXPECT_EQ(UndoRequests(), 2);
  EXPECT_EQ(Back(RowShowing(panel, L"Base Vertex")), kDarkBlue);
  EXPECT_EQ(ItemText(panel, IDC_MORPH_HEADER), L"body(3)");

  // With the base shown there is no current target to delete.
  ClickItem(panel, IDC_MORPH_DELETE);
  EXPECT_EQ(quorvel::CountMorphTargets(obj, Slots()), 3);
  EXPECT_EQ(UndoRequests(), 2);
  for (const wchar_t* name : {L"zero", L"one", L"three"}) {
    Click(RowShowing(panel, name));
    ClickItem(panel, IDC_MORPH_DELETE);
  }
  EXPECT_EQ(quorvel::CountMorphTargets(obj, Slots()), 0);
  EXPECT_FALSE(Enabled(panel, IDC_MORPH_DELETE)) << "greyed without targets";
  EXPECT_EQ(RowTexts(panel), std::vector<std::wstring>{L"Base Vertex"});
}

TEST_F(MorphPanelTest, TheOtherMenuStoresTheShownShapeIntoTheCurrentTarget) {
  MQObject obj = Body();
  Start(MODE_MORPH);
  Targets(obj, {{4, "four"}});
  HWND panel = Panel(PANEL_OBJMORPH);
  Click(RowShowing(panel, L"four"));
  const MQPoint edited{9, 8, 7};
  HostApi().MQObj_SetVertex(obj, 0, &edited);
  const MenuSeen seen = OpenMenu([&] { ClickItem(panel, IDC_MORPH_MENU); }, {ID_MORPH_STORE_SHAPE});
  ASSERT_TRUE(seen.shown);
  EXPECT_EQ(seen.texts[0], Wide("現在のモーフターゲットに形状を保存"));
  EXPECT_FALSE(seen.grayed[0]);
  const int undo = UndoRequests();
  Command(PANEL_OBJMORPH, ID_MORPH_STORE_SHAPE);
  quorvel::VMorphTarget stored;
  ASSERT_TRUE(quorvel::host_records::ReadVertex(obj, Slots().MorphShape(4), 0, stored));
  EXPECT_EQ(stored.position, FVECTOR3(9, 8, 7));
  EXPECT_EQ(UndoRequests(), undo + 1);
}

// ------------------------------------------------------------------ the property dialog

TEST_F(MorphPanelTest, ThePropertyDialogRenamesAndRegroupsOnlyOnOk) {
  MQObject obj = Body();
  Start(MODE_MORPH);
  Targets(obj, {{5, "smile"}});
  HWND panel = Panel(PANEL_OBJMORPH);
  struct Case {
    bool from_button;  // 設定 with the target current, else a double click
    std::string name, group;
    int button;
    std::string want_name, want_group;
    bool new_group;
  };
  // 130 two-byte characters: 260 bytes, cut to 127 whole characters.
  std::string long_name, cut_name;
  for (int i = 0; i < 130; ++i) long_name += "あ";
  for (int i = 0; i < 127; ++i) cut_name += "あ";
  const Case cases[] = {
      {false, "grin", "face", IDOK, "grin", "face", true},
      {true, "frown", "Base", IDCANCEL, "grin", "face", false},
      {true, "frown", "Base", IDOK, "frown", "Base", false},
      {false, long_name, "口", IDOK, cut_name, "口", true},
  };
  std::string shown = "smile";  // the target's name on its row
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name.substr(0, 12) + " " + std::to_string(c.button));
    const int groups_before = [&] {
      int n = 0;
      std::string g;
      for (int i = 0; i < quorvel::kMaxMorphGroups; ++i) n += quorvel::GetMorphGroupName(obj, Slots(), i, g);
      return n;
    }();
    const int undo = UndoRequests();
    HWND row = RowShowing(panel, Wide(shown.c_str()));
    ASSERT_NE(row, nullptr);
    struct Seen {
      bool shown = false, index_enabled = true;
      std::wstring name, index;
    } seen;
    WhileModal act([&] {
      HWND dialog = FindThreadDialog(Wide("モーフターゲット"));
      seen.shown = dialog != nullptr;
      if (dialog == nullptr) return;
      seen.name = ItemText(dialog, IDC_MORPHPROP_NAME);
      HWND index = GetDlgItem(dialog, IDC_MORPHPROP_INDEX);
      seen.index = TextOf(GetDlgItem(index, 0));
      seen.index_enabled = IsWindowEnabled(index) != FALSE;
      // Typed over (or pasted into) the edits, OK pressed without leaving them.
      SetWindowTextW(GetDlgItem(dialog, IDC_MORPHPROP_NAME), Wide(c.name.c_str()).c_str());
      SetWindowTextW(GetDlgItem(dialog, IDC_MORPHPROP_GROUP), Wide(c.group.c_str()).c_str());
      ClickItem(dialog, c.button);
    });
    if (c.from_button) {
      Click(row);
      ClickItem(panel, IDC_MORPH_PROP);
    } else {
      DoubleClick(row);
    }
    ASSERT_TRUE(seen.shown);
    EXPECT_FALSE(seen.index_enabled) << "the index is shown, not edited";
    EXPECT_EQ(seen.index, L"5");
    quorvel::OMorphTarget rec;
    ASSERT_TRUE(quorvel::GetMorphTargetRecord(obj, Slots(), 5, rec));
    EXPECT_EQ(std::string(quorvel::NameOf(rec.name)), Ansi(c.want_name.c_str()));
    std::string group;
    ASSERT_TRUE(quorvel::GetMorphGroupName(obj, Slots(), rec.group, group));
    EXPECT_EQ(group, Ansi(c.want_group.c_str()));
    int groups_after = 0;
    std::string g;
    for (int i = 0; i < quorvel::kMaxMorphGroups; ++i) groups_after += quorvel::GetMorphGroupName(obj, Slots(), i, g);
    EXPECT_EQ(groups_after, groups_before + (c.new_group ? 1 : 0));
    EXPECT_EQ(UndoRequests(), undo + (c.button == IDOK ? 1 : 0));
    shown = c.want_name;
    EXPECT_NE(RowShowing(panel, Wide(shown.c_str())), nullptr) << "the row shows the name";
  }
}

// ------------------------------------------------------------------ the pose morph panel

TEST_F(MorphPanelTest, DraggingAWeightBarStoresTheClampedWeightAndShowsIt) {
  MQObject obj = Body();
  Start(MODE_POSE);
  Targets(obj, {{2, "grin"}});
  ASSERT_TRUE(Service().NewPose());
  Service().RefreshPanels();
  HWND panel = Panel(PANEL_POSEMORPH);
  HWND grin = Rows(panel).at(1);
  HWND base = Rows(panel).at(0);
  struct Case {
    int to_x;
    float weight;
    const char* grin_text;
    const char* base_text;
  };
  const Case cases[] = {
      {400, 1.0f, "grin(100)", "Base Vertex(  0)"},   // past the right end
      {-40, 0.0f, "grin(  0)", "Base Vertex(100)"},   // past the left end
      {26, 0.5f, "grin( 50)", "Base Vertex( 50)"},
      {38, 0.75f, "grin( 75)", "Base Vertex( 25)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.to_x);
    const int undo = UndoRequests();
    DragBar(grin, c.to_x);
    EXPECT_EQ(Weight(obj, 2), c.weight);
    EXPECT_EQ(TextOf(grin), Wide(c.grin_text));
    EXPECT_EQ(TextOf(base), Wide(c.base_text));
    EXPECT_GT(UndoRequests(), undo);
    // The bar ends at x = 2 + weight * 48.
    const int end = 2 + static_cast<int>(c.weight * 48);
    // Read below the text, which is drawn over the bar.
    if (c.weight > 0) {
      EXPECT_EQ(Pixel(grin, end - 1, 15), kRed);
    }
    EXPECT_NE(Pixel(grin, end + 1, 15), kRed);
    EXPECT_EQ(Pixel(grin, 150, 12), kWhite);
    EXPECT_EQ(Pixel(base, 150, 12), kLightGrey);
  }
  EXPECT_EQ(quorvel::PoseCount(State()), 1);

  // The base row's weight follows from the others: dragging it changes nothing.
  const int undo = UndoRequests();
  DragBar(base, 400);
  EXPECT_EQ(Weight(obj, 2), 0.75f);
  EXPECT_EQ(UndoRequests(), undo);
}

TEST_F(MorphPanelTest, WeightsAboveOneInAllLeaveTheBaseAtZero) {
  MQObject obj = Body();
  Start(MODE_POSE);
  Targets(obj, {{0, "left"}, {1, "right"}});
  ASSERT_TRUE(Service().NewPose());
  ASSERT_TRUE(quorvel::SetPoseMorphWeight(obj, Slots(), State().current_pose_id, 0, 0.7f));
  ASSERT_TRUE(quorvel::SetPoseMorphWeight(obj, Slots(), State().current_pose_id, 1, 0.6f));
  Service().RefreshPanels();
  EXPECT_EQ(RowTexts(Panel(PANEL_POSEMORPH)),
            (std::vector<std::wstring>{L"Base Vertex(  0)", L"left( 70)", L"right( 60)"}));
  EXPECT_NE(Pixel(Rows(Panel(PANEL_POSEMORPH))[0], 3, 15), kRed) << "no base bar";
}

TEST_F(MorphPanelTest, ARefreshRepaintsTheBarsOfWeightsChangedElsewhere) {
  MQObject obj = Body();
  Start(MODE_POSE);
  Targets(obj, {{0, "left"}});
  ASSERT_TRUE(Service().NewPose());
  HWND panel = Panel(PANEL_POSEMORPH);
  SetWindowPos(panel, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
  // What the screen shows of a row once the panel has done its painting.
  const auto on_screen = [](HWND row, int x, int y) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    UpdateWindow(GetParent(row));
    UpdateWindow(row);
    GdiFlush();
    HDC dc = GetDC(row);
    const COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(row, dc);
    return c;
  };
  struct Case {
    float weight;
    int red_until;  // the bar's last pixel, 0 for no bar
  };
  // 0.02 → 0.021: the shown percent stays at 2 while the bar grows its first pixel.
  const Case cases[] = {{0.5f, 25}, {0.0f, 0}, {0.02f, 0}, {0.021f, 2}, {1.0f, 49}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.weight);
    ASSERT_TRUE(quorvel::SetPoseMorphWeight(obj, Slots(), State().current_pose_id, 0, c.weight));
    Service().RefreshPanels();
    HWND left = Rows(panel).at(1);
    if (c.red_until > 0) {
      EXPECT_EQ(on_screen(left, c.red_until, 15), kRed);
    }
    EXPECT_NE(on_screen(left, c.red_until + 1, 15), kRed);
  }
  SetWindowPos(panel, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
}

TEST_F(MorphPanelTest, ADragWithoutAPoseMakesTheFirstPose) {
  MQObject obj = Body();
  Start(MODE_POSE);
  Targets(obj, {{6, "wink"}});
  ASSERT_EQ(quorvel::PoseCount(State()), 0);
  HWND wink = RowShowing(Panel(PANEL_POSEMORPH), L"wink(  0)");
  ASSERT_NE(wink, nullptr);
  DragBar(wink, 14);
  ASSERT_EQ(quorvel::PoseCount(State()), 1);
  EXPECT_EQ(std::string(quorvel::NameOf(quorvel::PoseAt(State(), 0)->name)), "pose1");
  EXPECT_EQ(Weight(obj, 6), 0.25f);
  EXPECT_EQ(TextOf(wink), L"wink( 25)");
}

// ------------------------------------------------------------------ scrolling

TEST_F(MorphPanelTest, TheWheelAndTheBarScrollTheRowsByTwentyPixelsAStep) {
  MQObject obj = Body();
  Start(MODE_MORPH);
  std::vector<std::pair<int, const char*>> all;
  static const char* const kNames[] = {"t0", "t1", "t2", "t3", "t4", "t5", "t6", "t7", "t8", "t9",
                                       "t10", "t11", "t12", "t13", "t14", "t15", "t16", "t17", "t18", "t19"};
  for (int k = 0; k < 20; ++k) all.push_back({k, kNames[k]});
  Targets(obj, all);
  struct Case {
    PANEL_ID panel;
    int mode;
  };
  for (const Case& c : {Case{PANEL_OBJMORPH, MODE_MORPH}, Case{PANEL_POSEMORPH, MODE_POSE}}) {
    SCOPED_TRACE(c.panel);
    Service().SetMode(c.mode);
    HWND panel = Panel(c.panel);
    std::vector<HWND> rows = Rows(panel);
    ASSERT_EQ(rows.size(), 21u);
    HWND bar = GetDlgItem(panel, IDC_MORPH_SCROLL);
    RECT list;
    GetClientRect(List(panel), &list);
    ASSERT_LT(list.bottom, 21 * 20) << "more rows than fit";
    const auto wheel = [&](int delta) { SendMessageW(panel, WM_MOUSEWHEEL, MAKEWPARAM(0, delta), 0); };
    struct Step {
      int delta;
      int top;  // scroll position afterwards
    };
    for (const Step& s : {Step{-120, 20}, Step{-120, 40}, Step{-240, 80}, Step{120, 60}, Step{360, 0}, Step{120, 0}}) {
      wheel(s.delta);
      for (int k : {0, 1, 20}) EXPECT_EQ(Top(rows[k]), k * 20 - s.top) << "delta " << s.delta << " row " << k;
    }
    // The bar's bottom shows the last row whole at the bottom of the list.
    SendMessageW(panel, WM_VSCROLL, MAKEWPARAM(SB_BOTTOM, 0), reinterpret_cast<LPARAM>(bar));
    EXPECT_EQ(Top(rows[20]) + 20, list.bottom);
    SendMessageW(panel, WM_VSCROLL, MAKEWPARAM(SB_LINEUP, 0), reinterpret_cast<LPARAM>(bar));
    EXPECT_EQ(Top(rows[20]) + 20, list.bottom + 1);
    SendMessageW(panel, WM_VSCROLL, MAKEWPARAM(SB_TOP, 0), reinterpret_cast<LPARAM>(bar));
    EXPECT_EQ(Top(rows[0]), 0);
  }
}

TEST_F(MorphPanelTest, TheMorphPanelKeepsItsWidthAndAMinimumHeight) {
  Body();
  Start(MODE_MORPH);
  HWND panel = Panel(PANEL_OBJMORPH);
  RECT before;
  GetWindowRect(panel, &before);
  MINMAXINFO info{};
  info.ptMaxTrackSize = {2000, 2000};
  SendMessageW(panel, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.ptMinTrackSize.x, before.right - before.left);
  EXPECT_EQ(info.ptMaxTrackSize.x, before.right - before.left);
  EXPECT_EQ(info.ptMinTrackSize.y, 96);

  // Made taller, the list follows: 40 pixels down, the bar's 14 at the right.
  SetWindowPos(panel, nullptr, 0, 0, before.right - before.left, 400, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  RECT client, list, bar;
  GetClientRect(panel, &client);
  GetWindowRect(List(panel), &list);
  GetWindowRect(GetDlgItem(panel, IDC_MORPH_SCROLL), &bar);
  MapWindowPoints(nullptr, panel, reinterpret_cast<POINT*>(&list), 2);
  MapWindowPoints(nullptr, panel, reinterpret_cast<POINT*>(&bar), 2);
  EXPECT_EQ(list.top, 40);
  EXPECT_EQ(list.bottom, client.bottom);
  EXPECT_EQ(list.right, client.right - 14);
  EXPECT_EQ(bar.left, client.right - 14);
  EXPECT_EQ(bar.right, client.right);
  // Below the base row, the list is white.
  HWND area = List(panel);
  EXPECT_EQ(MorphPanelTest::Pixel(area, 20, 100), kWhite);

  // The close box only hides it.
  SendMessageW(panel, WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(panel));
  EXPECT_FALSE(IsWindowVisible(panel));
}

// ------------------------------------------------------------------ pictures

TEST_F(MorphPanelTest, PicturesOfTheMorphPanels) {
  LoadExample("arm_rig.mqd");
  Start(MODE_MORPH);
  ASSERT_EQ(ObjectNameOfCurrent(), "arm");
  struct Shot {
    PANEL_ID panel;
    int mode;
    const char* name;
  };
  int x = 10;
  for (const Shot& shot : {Shot{PANEL_OBJMORPH, MODE_MORPH, "panel-morph"}, Shot{PANEL_POSEMORPH, MODE_POSE, "panel-posemorph"}}) {
    Service().SetMode(shot.mode);
    if (shot.mode == MODE_POSE) {
      const quorvel::QuorvelPose* wave = quorvel::FindPoseByName(State(), "wave");
      ASSERT_NE(wave, nullptr);
      ASSERT_TRUE(Service().SelectPose(quorvel::PositionOf(State(), wave)));
      Service().RefreshPanels();
      EXPECT_EQ(RowTexts(Panel(shot.panel)), (std::vector<std::wstring>{L"Base Vertex(  0)", L"bulge(100)"}));
    } else {
      EXPECT_EQ(RowTexts(Panel(shot.panel)), (std::vector<std::wstring>{L"Base Vertex", L"bulge"}));
    }
    ASSERT_TRUE(Visible(shot.panel)) << shot.name;
    EXPECT_GT(SavePicture(Panel(shot.panel), x, shot.name), 50) << shot.name << ": captions and frames are drawn";
    x += 250;
  }
}

}  // namespace
