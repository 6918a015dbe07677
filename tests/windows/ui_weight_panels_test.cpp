// The weight pen panel, its palette rows and the weight property dialog on
// the sample arm, driven by a person's input as messages: clicks on the pen
// and palette buttons, weights typed into the rows and the pen edits, rows
// pressed and double-clicked, the weight menus.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "deform/rendering_copies.h"
#include "main/dlmain.h"
#include "rig/rig_access.h"
#include "rig/rig_document.h"
#include "rig/weight_operations.h"
#include "rig/weight_record.h"
#include "tests/windows/panel_fixture.h"
#include "tests/windows/ui_driver.h"
#include "ui/resources/resource.h"

namespace {

using namespace quorvel_test;
using quorvel::OBase;
using Entries = std::vector<std::pair<int32_t, float>>;

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kHighlight = RGB(0, 48, 128);
constexpr int32_t kNoSuchBone = 9999;
// The colour dialog's red, green and blue edits.
constexpr int kRedEdit = 706, kGreenEdit = 707, kBlueEdit = 708;

// What a window shows at (x, y) of its client area, painted afresh.
COLORREF PixelAt(HWND window, int x, int y) {
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  HDC dc = GetDC(window);
  const COLORREF c = GetPixel(dc, x, y);
  ReleaseDC(window, dc);
  return c;
}

COLORREF Centre(HWND window) {
  RECT r;
  GetClientRect(window, &r);
  return PixelAt(window, r.right / 2, r.bottom / 2);
}

HWND EditIn(HWND container) { return FindWindowExW(container, nullptr, L"Edit", nullptr); }

// A person's value: the edit taken, its text selected, the value typed over
// it, Enter.
void TypeInto(HWND edit, const wchar_t* text) {
  SetFocus(edit);
  SendMessageW(edit, EM_SETSEL, 0, -1);
  TypeText(edit, text);
  TypeChar(edit, L'\r');
}

// The colour dialog of this thread (it has the red edit), or null.
BOOL CALLBACK MatchColourDialog(HWND window, LPARAM data) {
  if (IsWindowVisible(window) && GetDlgItem(window, kRedEdit) != nullptr) {
    *reinterpret_cast<HWND*>(data) = window;
    return FALSE;
  }
  return TRUE;
}
HWND FindColourDialog() {
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), &MatchColourDialog, reinterpret_cast<LPARAM>(&found));
  return found;
}

// Clicks a colour swatch and answers the colour dialog with (r, g, b).
void ChooseColour(HWND swatch, int r, int g, int b) {
  WhileModal pick([&] {
    HWND dialog = FindColourDialog();
    if (dialog == nullptr) return;
    const std::pair<int, int> channels[] = {{kRedEdit, r}, {kGreenEdit, g}, {kBlueEdit, b}};
    for (const auto& [id, value] : channels) {
      HWND edit = GetDlgItem(dialog, id);
      SetWindowTextW(edit, std::to_wstring(value).c_str());
      SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, EN_UPDATE), reinterpret_cast<LPARAM>(edit));
    }
    ClickItem(dialog, IDOK);
  });
  MouseDown(swatch, 3, 3);
  MouseUp(swatch, 3, 3);
  EXPECT_TRUE(WhileModal::ran()) << "the colour dialog opened";
}

class WeightPanelTest : public PanelTest {
 protected:
  void StartArm(int mode = MODE_WEIGHT) {
    LoadExample("arm_rig.mqd");
    Start(mode);
    pen_ = Panel(PANEL_WEITPEN);
    ASSERT_NE(pen_, nullptr);
    shoulder_ = UidOf("shoulder");
    elbow_ = UidOf("elbow");
    wrist_ = UidOf("wrist");
  }
  int IndexNamed(const char* name) const {
    for (int i = 0; i < ObjectCount(); ++i) {
      if (document_->ObjectAt(i) != nullptr && document_->ObjectAt(i)->name == name) return i;
    }
    return -1;
  }
  int32_t UidOf(const char* name) const { return Uid(Object(IndexNamed(name))); }

  // The current palette becomes these entries (coloured as a palette), and
  // the plug-in refreshes the panel.
  void ShowPalette(const Entries& entries) {
    quorvel::VWeight rec;
    quorvel::Init(rec);
    for (const auto& [bone, w] : entries) quorvel::SetWeight(rec, bone, w);
    quorvel::UpdateColour(rec, doc_, Slots());
    quorvel::StorePalette(State(), rec);
    win32_->RefreshPanel(PANEL_WEITPEN);
  }
  Entries Palette() const {
    const quorvel::VWeight rec = quorvel::CurrentPalette(State());
    Entries entries;
    for (int i = 0; i < quorvel::Count(rec); ++i) entries.emplace_back(rec.entries[i].bone, rec.entries[i].weight);
    return entries;
  }

  HWND ListWindow() const { return GetWindow(GetDlgItem(pen_, IDC_WEIGHTPEN_LIST), GW_CHILD); }
  HWND Content() const { return FindWindowExW(ListWindow(), nullptr, L"Static", nullptr); }
  // Every row made so far, shown or not.
  std::vector<HWND> AllRows() const {
    std::vector<HWND> rows;
    for (HWND w = GetWindow(Content(), GW_CHILD); w != nullptr; w = GetWindow(w, GW_HWNDNEXT)) rows.push_back(w);
    return rows;
  }
  // The shown rows, top to bottom.
  std::vector<HWND> Rows() const {
    std::vector<HWND> rows;
    for (HWND w : AllRows()) {
      if (IsWindowVisible(w)) rows.push_back(w);
    }
    std::sort(rows.begin(), rows.end(), [](HWND a, HWND b) { return Top(a) < Top(b); });
    return rows;
  }
  static int Top(HWND row) {
    RECT r;
    GetWindowRect(row, &r);
    MapWindowPoints(nullptr, GetParent(row), reinterpret_cast<POINT*>(&r), 2);
    return r.top;
  }
  HWND RowEdit(HWND row) const { return EditIn(GetDlgItem(row, IDC_PALROW_WEIGHT)); }
  std::vector<std::wstring> RowWeights() const {
    std::vector<std::wstring> shown;
    for (HWND row : Rows()) shown.push_back(TextOf(RowEdit(row)));
    return shown;
  }
  // A row's background, left of the swatch.
  static COLORREF Background(HWND row) { return PixelAt(row, 1, 10); }
  // Pixels of the name's place that are not the background: text was drawn.
  static int NameInk(HWND row) {
    const COLORREF back = Background(row);
    HDC dc = GetDC(row);
    int ink = 0;
    for (int y = 2; y < 18; ++y) {
      for (int x = 20; x < 60; ++x) ink += GetPixel(dc, x, y) != back;
    }
    ReleaseDC(row, dc);
    return ink;
  }
  // Double-clicks the row and acts on the weight property dialog that opens;
  // false when none opened.
  static bool OnPropertyDialog(HWND row, const std::function<void(HWND)>& act) {
    bool opened = false;
    WhileModal answer([&] {
      HWND dialog = FindThreadDialog(Wide("頂点ウェイトプロパティ"));
      opened = dialog != nullptr;
      if (opened) act(dialog);
    });
    SendMessageW(row, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(150, 10));
    return opened;
  }
  HWND PenEdit(int id) const { return EditIn(GetDlgItem(pen_, id)); }
  quorvel::WeightPen Pen(int i) const { return State().pens[static_cast<size_t>(i)]; }

  HWND pen_ = nullptr;
  int32_t shoulder_ = -1, elbow_ = -1, wrist_ = -1;
};

// ------------------------------------------------------------------ rows

TEST_F(WeightPanelTest, RowsShowNearestPercentsAndTypedWeightsAreStoredAsFractions) {
  StartArm();
  ShowPalette({{shoulder_, 0.5f}});
  ASSERT_EQ(Rows().size(), 1u);
  EXPECT_EQ(RowWeights(), std::vector<std::wstring>{L"50"});

  struct Case {
    const wchar_t* typed;
    float stored;
    const wchar_t* shown;
  };
  // 0.29f and 0.53f lie just below 0.29 and 0.53: the rows still read 29
  // and 53, where w × 100 truncated would read 28 or 52.
  for (const Case& c : {Case{L"29", 0.29f, L"29"}, Case{L"53", 0.53f, L"53"}, Case{L"7", 0.07f, L"7"},
                        Case{L"100", 1.0f, L"100"}, Case{L"150", 1.0f, L"100"}}) {
    const int redraws = host_.redraw_requests();
    TypeInto(RowEdit(Rows()[0]), c.typed);
    ASSERT_EQ(Palette().size(), 1u) << c.typed;
    EXPECT_EQ(Palette()[0].second, c.stored) << c.typed;
    EXPECT_EQ(RowWeights(), std::vector<std::wstring>{c.shown}) << c.typed;
    EXPECT_EQ(host_.redraw_requests(), redraws) << c.typed << ": a palette edit redraws nothing";
  }
  EXPECT_EQ(UndoRequests(), 0) << "nor is it an undo step";
}

TEST_F(WeightPanelTest, TypingZeroRemovesTheEntryAndTheLaterOnesMoveUp) {
  StartArm();
  ShowPalette({{shoulder_, 0.5f}, {elbow_, 0.3f}, {wrist_, 0.2f}});
  ASSERT_EQ(RowWeights(), (std::vector<std::wstring>{L"50", L"30", L"20"}));
  TypeInto(RowEdit(Rows()[1]), L"0");
  EXPECT_EQ(Palette(), (Entries{{shoulder_, 0.5f}, {wrist_, 0.2f}}));
  EXPECT_EQ(RowWeights(), (std::vector<std::wstring>{L"50", L"20"})) << "the wrist moved up";
  EXPECT_EQ(AllRows().size(), 3u) << "the third row is kept, hidden";

  // The palette's colour follows its entries: the wrist's part alone remains
  // besides the shoulder's.
  quorvel::VWeight expected;
  quorvel::Init(expected);
  quorvel::SetWeight(expected, shoulder_, 0.5f);
  quorvel::SetWeight(expected, wrist_, 0.2f);
  quorvel::UpdateColour(expected, doc_, Slots());
  const quorvel::VWeight now = quorvel::CurrentPalette(State());
  EXPECT_TRUE(std::equal(now.colour, now.colour + 3, expected.colour));
}

TEST_F(WeightPanelTest, RowsAreMadeOnDemandKeptAndPlacedTwentyPixelsApart) {
  StartArm();
  ShowPalette({{shoulder_, 1.0f}});
  EXPECT_EQ(AllRows().size(), 1u);
  ShowPalette({{shoulder_, 0.4f}, {elbow_, 0.3f}, {wrist_, 0.2f}, {kNoSuchBone, 0.1f}});
  ASSERT_EQ(Rows().size(), 4u);
  RECT content;
  GetClientRect(Content(), &content);
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(Top(Rows()[k]), k * 20) << k;
    RECT row;
    GetClientRect(Rows()[k], &row);
    EXPECT_EQ(row.right, content.right) << "as wide as the content";
    EXPECT_EQ(row.bottom, 20);
  }
  RECT list;
  GetClientRect(ListWindow(), &list);
  EXPECT_EQ(content.right, list.right - 12) << "room for the scroll bar";
  EXPECT_EQ(RowWeights(), (std::vector<std::wstring>{L"40", L"30", L"20", L"10"}));

  ShowPalette({});
  EXPECT_EQ(AllRows().size(), 4u);
  EXPECT_TRUE(Rows().empty());
  EXPECT_EQ(PixelAt(Content(), 5, 5), kWhite) << "an empty list is white";
}

TEST_F(WeightPanelTest, PressingARowMakesItTheCurrentEntryAndHighlightsItAlone) {
  StartArm();
  ShowPalette({{shoulder_, 0.5f}, {elbow_, 0.3f}, {wrist_, 0.2f}});
  for (int pressed : {2, 0, 1}) {
    MouseDown(Rows()[static_cast<size_t>(pressed)], 150, 10);
    EXPECT_EQ(quorvel::PaletteEntry(State()), pressed);
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(Background(Rows()[static_cast<size_t>(k)]), k == pressed ? kHighlight : kWhite)
          << "pressed " << pressed << ", row " << k;
    }
  }
}

TEST_F(WeightPanelTest, ADeletedBonesEntryHasNoNameABlackSwatchAndStaysEditable) {
  StartArm();
  ShowPalette({{shoulder_, 0.5f}, {kNoSuchBone, 0.5f}});
  ASSERT_EQ(Rows().size(), 2u);
  EXPECT_GT(NameInk(Rows()[0]), 0) << "the shoulder's name is written";
  EXPECT_EQ(NameInk(Rows()[1]), 0) << "no name for a missing bone";
  EXPECT_EQ(Centre(GetDlgItem(Rows()[1], IDC_PALROW_COLOR)), RGB(0, 0, 0));
  const UCOLOR shoulder = quorvel::GetWeightColour(Object(IndexNamed("shoulder")), Slots());
  EXPECT_EQ(Centre(GetDlgItem(Rows()[0], IDC_PALROW_COLOR)), RGB(shoulder.r, shoulder.g, shoulder.b));

  TypeInto(RowEdit(Rows()[1]), L"40");
  EXPECT_EQ(Palette(), (Entries{{shoulder_, 0.5f}, {kNoSuchBone, 0.4f}}));

  // Its property dialog shows nothing and its OK writes nothing.
  std::wstring name = L"?";
  bool checked = true;
  ASSERT_TRUE(OnPropertyDialog(Rows()[1], [&](HWND dialog) {
    name = ItemText(dialog, IDC_WEIGHTPROP_NAME);
    checked = Checked(dialog, IDC_WEIGHTPROP_SHOW);
    ClickItem(dialog, IDOK);
  }));
  EXPECT_EQ(name, L"");
  EXPECT_FALSE(checked);
  EXPECT_EQ(Palette(), (Entries{{shoulder_, 0.5f}, {kNoSuchBone, 0.4f}}));
}

TEST_F(WeightPanelTest, AfterTheDocumentEndsThePanelAndItsRowsDoNothing) {
  StartArm();
  ShowPalette({{shoulder_, 0.5f}, {elbow_, 0.5f}});
  const std::vector<HWND> rows = Rows();
  ASSERT_EQ(rows.size(), 2u);
  ASSERT_EQ(mqhost::SendEndDocument(host_, document_, plugin_), TRUE);
  ASSERT_EQ(Service().GetEditState(), nullptr);
  const int redraws = host_.redraw_requests();
  win32_->RefreshPanel(PANEL_WEITPEN);
  for (int id : {IDC_WEIGHTPEN_PEN2, IDC_WEIGHTPEN_PAL3, IDC_WEIGHTPEN_ADD, IDC_WEIGHTPEN_DEL, IDC_WEIGHTPEN_NORM}) {
    ClickItem(pen_, id);
  }
  Command(PANEL_WEITPEN, ID_OBJWEIGHT_FILL);
  TypeInto(PenEdit(IDC_WEIGHTPEN_SIZE), L"77");
  MouseDown(rows[1], 150, 10);
  TypeInto(RowEdit(rows[0]), L"0");
  EXPECT_FALSE(OnPropertyDialog(rows[0], [](HWND dialog) { ClickItem(dialog, IDCANCEL); }));
  EXPECT_EQ(host_.redraw_requests(), redraws);
  EXPECT_EQ(UndoRequests(), 0);
}

TEST_F(WeightPanelTest, ClosingThePanelDestroysItsWindowAndRows) {
  StartArm();
  ShowPalette({{shoulder_, 0.5f}, {elbow_, 0.5f}});
  const std::vector<HWND> rows = AllRows();
  SendMessageW(pen_, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(pen_));
  for (HWND row : rows) EXPECT_FALSE(IsWindow(row));
  EXPECT_EQ(Panel(PANEL_WEITPEN), nullptr);
  // The plug-in goes on without it.
  ClickItem(Panel(PANEL_COMMAND), IDC_COMMAND_MOVE);
  ClickItem(Panel(PANEL_COMMAND), IDC_COMMAND_WEIGHT);
  win32_->RefreshPanel(PANEL_WEITPEN);
  EXPECT_EQ(main_->GetMode(), MODE_WEIGHT);
}

// ------------------------------------------------------------------ pens and palettes

TEST_F(WeightPanelTest, PenSizeAndDepthAreKeptInRangeAndStoredAsFloats) {
  StartArm();
  ClickItem(pen_, IDC_WEIGHTPEN_PEN1);
  struct Case {
    int edit;
    const wchar_t* typed;
    float size, depth;
  };
  // Pen 1 starts at size 20, depth 50.
  for (const Case& c : {Case{IDC_WEIGHTPEN_SIZE, L"150", 100.0f, 50.0f}, Case{IDC_WEIGHTPEN_SIZE, L"0", 1.0f, 50.0f},
                        Case{IDC_WEIGHTPEN_DEPTH, L"37", 1.0f, 37.0f}, Case{IDC_WEIGHTPEN_DEPTH, L"-5", 1.0f, 1.0f}}) {
    const int redraws = host_.redraw_requests();
    TypeInto(PenEdit(c.edit), c.typed);
    EXPECT_EQ(Pen(1).size, c.size) << c.typed;
    EXPECT_EQ(Pen(1).depth, c.depth) << c.typed;
    EXPECT_EQ(host_.redraw_requests(), redraws + 1) << c.typed << ": the brush is drawn anew";
  }
  EXPECT_EQ(Pen(0).size, 10.0f) << "only the current pen changes";
  EXPECT_EQ(TextOf(PenEdit(IDC_WEIGHTPEN_SIZE)), L"1");
}

// A value typed, a click inside the same edit, then Tab: what the edit shows
// is what the pen holds, also after switching pens and back.
TEST_F(WeightPanelTest, AValueTypedThenClickedIntoIsStoredWhenTheEditIsLeft) {
  StartArm();
  HWND size = PenEdit(IDC_WEIGHTPEN_SIZE);
  ASSERT_EQ(TextOf(size), L"10");
  SetFocus(size);
  SendMessageW(size, EM_SETSEL, 0, -1);
  TypeText(size, L"150");
  MouseDown(size, 10, 5);
  MouseUp(size, 12, 6);
  PressKey(size, VK_TAB);
  SetFocus(GetDlgItem(pen_, IDC_WEIGHTPEN_PEN1));  // the focus leaves, as Tab takes it on
  EXPECT_EQ(TextOf(size), L"100");
  EXPECT_EQ(Pen(0).size, 100.0f) << "the value shown is the value held";
  ClickItem(pen_, IDC_WEIGHTPEN_PEN1);
  ClickItem(pen_, IDC_WEIGHTPEN_PEN0);
  EXPECT_EQ(TextOf(size), L"100");
}

// Enter through the dialog manager, as the interactive host's loop passes
// keys on, commits the edit it is typed in.
TEST_F(WeightPanelTest, EnterThroughTheDialogManagerCommitsTheEdit) {
  StartArm();
  HWND size = PenEdit(IDC_WEIGHTPEN_SIZE);
  SetFocus(size);
  SendMessageW(size, EM_SETSEL, 0, -1);
  TypeText(size, L"150");
  ASSERT_TRUE(EnterThroughDialogManager(pen_, size));
  EXPECT_EQ(Pen(0).size, 100.0f);
  EXPECT_EQ(TextOf(size), L"100");
  EXPECT_EQ(GetFocus(), size) << "Enter leaves the focus where it is";
}

TEST_F(WeightPanelTest, AnotherPaletteChangesListAndSwatchWithoutRedrawingAnotherPenRedraws) {
  StartArm();
  ShowPalette({{shoulder_, 0.5f}, {elbow_, 0.3f}, {wrist_, 0.2f}});
  const COLORREF mixed = Centre(GetDlgItem(pen_, IDC_WEIGHTPEN_PALCOLOR));
  ClickItem(pen_, IDC_WEIGHTPEN_PAL5);
  ShowPalette({{wrist_, 1.0f}});
  ClickItem(pen_, IDC_WEIGHTPEN_PAL0);
  ASSERT_EQ(Rows().size(), 3u);

  const int redraws = host_.redraw_requests();
  ClickItem(pen_, IDC_WEIGHTPEN_PAL5);
  EXPECT_EQ(quorvel::CurrentPaletteIndex(State()), 5);
  EXPECT_EQ(RowWeights(), std::vector<std::wstring>{L"100"});
  const UCOLOR wrist = quorvel::GetWeightColour(Object(IndexNamed("wrist")), Slots());
  EXPECT_EQ(Centre(GetDlgItem(pen_, IDC_WEIGHTPEN_PALCOLOR)), RGB(wrist.r, wrist.g, wrist.b));
  EXPECT_NE(Centre(GetDlgItem(pen_, IDC_WEIGHTPEN_PALCOLOR)), mixed);
  EXPECT_EQ(host_.redraw_requests(), redraws) << "a palette is not drawn in the view";

  ClickItem(pen_, IDC_WEIGHTPEN_PEN3);
  EXPECT_EQ(quorvel::PenIndex(State()), 3);
  EXPECT_EQ(TextOf(PenEdit(IDC_WEIGHTPEN_SIZE)), L"50") << "pen 3's size";
  EXPECT_EQ(host_.redraw_requests(), redraws + 1) << "the brush's size shows in the view";
}

TEST_F(WeightPanelTest, NothingIsShownOrChangedBeforeThePanelFirstAppears) {
  StartArm(MODE_MOVE);
  ASSERT_FALSE(Visible(PANEL_WEITPEN));
  ShowPalette({{shoulder_, 0.5f}, {elbow_, 0.5f}});
  EXPECT_TRUE(AllRows().empty());
  ClickItem(pen_, IDC_WEIGHTPEN_PEN2);
  ClickItem(pen_, IDC_WEIGHTPEN_PAL3);
  EXPECT_EQ(quorvel::PenIndex(State()), 0);
  EXPECT_EQ(quorvel::CurrentPaletteIndex(State()), 0);

  ClickItem(Panel(PANEL_COMMAND), IDC_COMMAND_WEIGHT);
  ASSERT_TRUE(Visible(PANEL_WEITPEN));
  EXPECT_EQ(RowWeights(), (std::vector<std::wstring>{L"50", L"50"}));
  EXPECT_TRUE(Checked(pen_, IDC_WEIGHTPEN_PEN0)) << "the buttons show the state, not the early clicks";
  EXPECT_TRUE(Checked(pen_, IDC_WEIGHTPEN_PAL0));
}

// ------------------------------------------------------------------ the palette menu and buttons

TEST_F(WeightPanelTest, AddLeavesTheCurrentObjectAloneAtFullWeight) {
  StartArm();
  ShowPalette({{shoulder_, 0.5f}, {elbow_, 0.3f}, {wrist_, 0.2f}});
  document_->current_object = IndexNamed("elbow");
  ClickItem(pen_, IDC_WEIGHTPEN_ADD);
  EXPECT_EQ(Palette(), (Entries{{elbow_, 1.0f}}));
  EXPECT_EQ(RowWeights(), std::vector<std::wstring>{L"100"});
}

TEST_F(WeightPanelTest, DelRemovesTheHighlightedEntryAndTheHighlightStaysInRange) {
  StartArm();
  struct Case {
    int pressed;
    Entries left;
    int highlighted;
  };
  for (const Case& c : {Case{1, {{shoulder_, 0.5f}, {wrist_, 0.2f}}, 1}, Case{2, {{shoulder_, 0.5f}, {elbow_, 0.3f}}, 1},
                        Case{0, {{elbow_, 0.3f}, {wrist_, 0.2f}}, 0}}) {
    ShowPalette({{shoulder_, 0.5f}, {elbow_, 0.3f}, {wrist_, 0.2f}});
    MouseDown(Rows()[static_cast<size_t>(c.pressed)], 150, 10);
    ClickItem(pen_, IDC_WEIGHTPEN_DEL);
    EXPECT_EQ(Palette(), c.left) << "pressed " << c.pressed;
    ASSERT_EQ(Rows().size(), 2u);
    EXPECT_EQ(quorvel::PaletteEntry(State()), c.highlighted);
    for (int k = 0; k < 2; ++k) {
      EXPECT_EQ(Background(Rows()[static_cast<size_t>(k)]), k == c.highlighted ? kHighlight : kWhite)
          << "pressed " << c.pressed << ", row " << k;
    }
  }
}

TEST_F(WeightPanelTest, ThePaletteMenuNormalizesCopiesPastesAndClears) {
  StartArm();
  const MenuSeen seen = OpenMenu([&] { ClickItem(pen_, IDC_WEIGHTPEN_PALMENU); },
                                 {ID_PALETTE_ADD, ID_PALETTE_REMOVE, ID_PALETTE_NORMALIZE, ID_PALETTE_COPY,
                                  ID_PALETTE_PASTE, ID_PALETTE_CLEAR});
  ASSERT_TRUE(seen.shown);
  EXPECT_EQ(seen.texts[0], Wide("現在のパレットにカレントオブジェクトを追加"));
  EXPECT_EQ(seen.texts[5], Wide("現在のパレットをクリア"));

  ShowPalette({{shoulder_, 2.0f}, {elbow_, 2.0f}});
  ClickItem(pen_, IDC_WEIGHTPEN_NORM);
  EXPECT_EQ(RowWeights(), (std::vector<std::wstring>{L"50", L"50"}));
  Command(PANEL_WEITPEN, ID_PALETTE_COPY);
  ClickItem(pen_, IDC_WEIGHTPEN_PAL3);
  EXPECT_TRUE(Rows().empty());
  Command(PANEL_WEITPEN, ID_PALETTE_PASTE);
  EXPECT_EQ(Palette(), (Entries{{shoulder_, 0.5f}, {elbow_, 0.5f}}));
  EXPECT_EQ(Rows().size(), 2u);
  Command(PANEL_WEITPEN, ID_PALETTE_CLEAR);
  EXPECT_TRUE(Palette().empty());
  EXPECT_TRUE(Rows().empty());
  EXPECT_EQ(Centre(GetDlgItem(pen_, IDC_WEIGHTPEN_PALCOLOR)), RGB(0, 0, 0)) << "an empty palette is black";
  EXPECT_EQ(UndoRequests(), 0) << "palettes are not part of the document";
}

// ------------------------------------------------------------------ vertex menus

TEST_F(WeightPanelTest, TheVertexMenusChangeWeightsRecolourRedrawAndRecordUndo) {
  StartArm();
  const MenuSeen selected = OpenMenu([&] { ClickItem(pen_, IDC_WEIGHTPEN_SELMENU); },
                                     {ID_SELWEIGHT_AUTO, ID_SELWEIGHT_FILL});
  ASSERT_TRUE(selected.shown);
  EXPECT_EQ(selected.texts[1], Wide("現在のペンで塗りつぶし"));
  const MenuSeen object = OpenMenu([&] { ClickItem(pen_, IDC_WEIGHTPEN_OBJMENU); }, {ID_OBJWEIGHT_AUTO});
  ASSERT_TRUE(object.shown);
  EXPECT_EQ(object.texts[0], Wide("ウェイトの自動適用"));

  const int arm_index = IndexNamed("arm");
  MQObject arm = Object(arm_index);
  document_->current_object = arm_index;
  document_->SetSelected(arm_index, 0, true);
  ShowPalette({{elbow_, 1.0f}});
  const auto weight_of_vertex = [&](int v) {
    quorvel::VWeight rec;
    return quorvel::GetVertexWeights(arm, Slots(), v, rec) && quorvel::Count(rec) == 1 ? rec.entries[0].bone : -1;
  };
  const auto recolour_marked = [&] {
    for (const auto& entry : main_->GetRenderingCopies()->Entries()) {
      if (entry->source == Uid(arm)) return (entry->flags & quorvel::DrawWorkObj::kRecolour) != 0;
    }
    return false;
  };
  struct Step {
    int item;
    int32_t vertex0, vertex1;  // the bone of vertex 0 and 1 afterwards, -1 none
  };
  for (const Step& s : {Step{ID_OBJWEIGHT_AUTO, Uid(arm), Uid(arm)}, Step{ID_SELWEIGHT_FILL, elbow_, Uid(arm)},
                        Step{ID_OBJWEIGHT_FILL, elbow_, elbow_}, Step{ID_SELWEIGHT_DELETE, -1, elbow_},
                        Step{ID_OBJWEIGHT_DELETE, -1, -1}}) {
    Draw();
    ASSERT_FALSE(recolour_marked()) << s.item << ": the draw recoloured";
    const int redraws = host_.redraw_requests();
    const int undo = UndoRequests();
    Command(PANEL_WEITPEN, s.item);
    EXPECT_EQ(weight_of_vertex(0), s.vertex0) << s.item;
    EXPECT_EQ(weight_of_vertex(1), s.vertex1) << s.item;
    EXPECT_TRUE(recolour_marked()) << s.item;
    EXPECT_EQ(host_.redraw_requests(), redraws + 1) << s.item;
    EXPECT_EQ(UndoRequests(), undo + 1) << s.item;
  }
}

// ------------------------------------------------------------------ the weight property dialog

TEST_F(WeightPanelTest, TheWeightPropertyDialogWritesFlagAndColourOnlyOnOk) {
  StartArm();
  MQObject shoulder = Object(IndexNamed("shoulder"));
  SetFlag(shoulder, OBase::OB_WEIGHTSHOW, true);
  ASSERT_TRUE(quorvel::SetWeightColour(shoulder, Slots(), UCOLOR(200, 100, 50)));
  ShowPalette({{shoulder_, 1.0f}});
  for (int button : {IDCANCEL, IDOK}) {
    std::wstring name;
    bool checked = false;
    Draw();
    ASSERT_TRUE(OnPropertyDialog(Rows()[0], [&](HWND dialog) {
      name = ItemText(dialog, IDC_WEIGHTPROP_NAME);
      checked = Checked(dialog, IDC_WEIGHTPROP_SHOW);
      EXPECT_FALSE(Enabled(dialog, IDC_WEIGHTPROP_NAME));
      ClickItem(dialog, IDC_WEIGHTPROP_SHOW);
      ChooseColour(GetDlgItem(dialog, IDC_WEIGHTPROP_COLOR), 10, 20, 30);
      ClickItem(dialog, button);
    })) << button;
    EXPECT_EQ(name, L"shoulder");
    EXPECT_TRUE(checked);
    const UCOLOR colour = quorvel::GetWeightColour(shoulder, Slots());
    if (button == IDOK) {
      EXPECT_FALSE(quorvel::GetBoneFlag(shoulder, Slots(), OBase::OB_WEIGHTSHOW));
      EXPECT_EQ(RGB(colour.r, colour.g, colour.b), RGB(10, 20, 30));
      bool marked = false;
      for (const auto& entry : main_->GetRenderingCopies()->Entries()) {
        marked = marked || (entry->flags & quorvel::DrawWorkObj::kRecolour) != 0;
      }
      EXPECT_TRUE(marked) << "the copies are recoloured";
    } else {
      EXPECT_TRUE(quorvel::GetBoneFlag(shoulder, Slots(), OBase::OB_WEIGHTSHOW)) << "Cancel writes nothing";
      EXPECT_EQ(RGB(colour.r, colour.g, colour.b), RGB(200, 100, 50));
    }
  }
}

// A colour set in the dialog shows at once: in the row's swatch, in the
// panel's swatch of the palette and, redrawn, in the view.
TEST_F(WeightPanelTest, ANewBoneColourShowsAtOnceInTheRowThePanelAndTheView) {
  StartArm();
  MQObject shoulder = Object(IndexNamed("shoulder"));
  ASSERT_TRUE(quorvel::SetWeightColour(shoulder, Slots(), UCOLOR(200, 100, 50)));
  ShowPalette({{shoulder_, 1.0f}});
  HWND row = Rows()[0];
  ASSERT_EQ(Centre(GetDlgItem(row, IDC_PALROW_COLOR)), RGB(200, 100, 50));
  const int redraws = host_.redraw_requests();
  ASSERT_TRUE(OnPropertyDialog(row, [&](HWND dialog) {
    ChooseColour(GetDlgItem(dialog, IDC_WEIGHTPROP_COLOR), 10, 20, 30);
    ClickItem(dialog, IDOK);
  }));
  EXPECT_EQ(Centre(GetDlgItem(row, IDC_PALROW_COLOR)), RGB(10, 20, 30));
  EXPECT_EQ(Centre(GetDlgItem(pen_, IDC_WEIGHTPEN_PALCOLOR)), RGB(10, 20, 30));
  EXPECT_GT(host_.redraw_requests(), redraws) << "the view is drawn anew";
}

// ------------------------------------------------------------------ pictures

TEST_F(WeightPanelTest, PicturesOfTheWeightPanels) {
  StartArm();
  ShowPalette({{shoulder_, 0.5f}, {elbow_, 0.3f}, {wrist_, 0.2f}});
  MouseDown(Rows()[1], 150, 10);
  EXPECT_GT(SavePicture(pen_, 10, "panel-weightpen"), 50);

  bool captured = false;
  OnPropertyDialog(Rows()[0], [&](HWND dialog) {
    captured = SavePicture(dialog, 300, "panel-weightprop") > 50;
    ClickItem(dialog, IDCANCEL);
  });
  EXPECT_TRUE(captured);
}

}  // namespace
