// The object options dialog, the pose list with its property dialog and the
// pose bone panel under Wine, driven by a person's input: clicks, numbers
// typed into the edits, lines chosen in the list, menus and modal dialogs
// answered while they are open.
#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "main/idlmain.h"
#include "rig/host_records.h"
#include "rig/id_table.h"
#include "rig/pose_list.h"
#include "rig/rig_access.h"
#include "tests/windows/panel_fixture.h"
#include "tests/windows/ui_driver.h"
#include "ui/resources/resource.h"

namespace {

using quorvel::OBase;
using quorvel::OPoseTSQ;
using namespace quorvel_test;

constexpr float kPi = 3.14159265f;

// The edit inside a numeric edit with a spin box: the container took the
// dialog item's identifier and holds the edit as its item 0.
HWND EditOf(HWND dialog, int id) { return GetDlgItem(GetDlgItem(dialog, id), 0); }

// Focus coming in, which selects what is there, then the text and Enter.
void TypeInto(HWND edit, const wchar_t* text, bool enter = true) {
  if (GetFocus() == edit) SetFocus(nullptr);
  SetFocus(edit);
  TypeText(edit, text);
  if (enter) TypeChar(edit, L'\r');
}

struct DialogSearch {
  std::function<bool(HWND)> match;
  HWND found;
};
BOOL CALLBACK MatchDialog(HWND window, LPARAM data) {
  auto* s = reinterpret_cast<DialogSearch*>(data);
  wchar_t cls[32] = {};
  GetClassNameW(window, cls, 32);
  if (std::wstring(cls) == L"#32770" && s->match(window)) {
    s->found = window;
    return FALSE;
  }
  return TRUE;
}
// A modal dialog of this thread, shown or not yet: a dialog box shows itself
// only once its loop finds the queue empty, and a timer may come first. It is
// shown here, as it would be a moment later.
HWND ModalDialog(const std::function<bool(HWND)>& match) {
  DialogSearch search{match, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), &MatchDialog, reinterpret_cast<LPARAM>(&search));
  if (search.found != nullptr && !IsWindowVisible(search.found)) ShowWindow(search.found, SW_SHOWNORMAL);
  return search.found;
}
HWND ModalDialog(const std::wstring& title) {
  return ModalDialog([&](HWND window) { return TextOf(window) == title; });
}
// The dialog that `owner` opened (the colour dialog of a swatch).
HWND DialogOwnedBy(HWND owner) {
  return ModalDialog([owner](HWND window) { return GetWindow(window, GW_OWNER) == owner; });
}

bool SameColour(const UCOLOR& a, const UCOLOR& b) { return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a; }

// Rotations q and -q are the same turn.
bool SameRotation(const FQUAT& a, const FQUAT& b, float tolerance = 1e-4f) {
  const float dot = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
  return std::fabs(std::fabs(dot) - 1.0f) < tolerance;
}

class PosePanelTest : public PanelTest {
 protected:
  MQObject Named(const char* name) const {
    MQObject found = nullptr;
    quorvel::host_records::ForEachObject(doc_, [&](MQObject obj, int) {
      char text[256] = {};
      HostApi().MQObj_GetName(obj, text, sizeof text);
      if (found == nullptr && std::strcmp(text, name) == 0) found = obj;
    });
    return found;
  }
  void MakeCurrent(MQObject obj) { quorvel::SetCurrentObject(doc_, obj); }
  OBase Record(MQObject obj) const {
    OBase rec;
    EXPECT_TRUE(quorvel::GetBoneRecord(obj, Slots(), rec));
    return rec;
  }
  OPoseTSQ PoseOf(MQObject obj) const {
    OPoseTSQ rec;
    quorvel::GetPoseTSQ(obj, Slots(), State().current_pose_id, rec);
    return rec;
  }
  int32_t PoseIdNamed(const char* name) const {
    const quorvel::QuorvelPose* pose = quorvel::FindPoseByName(State(), name);
    return pose != nullptr ? pose->id : -1;
  }

  // The object options dialog opened from the command panel's option menu
  // item; `act` runs while it is open and must close it.
  bool WithObjectOptions(const std::function<void(HWND)>& act) {
    bool shown = false;
    WhileModal look([&] {
      HWND dialog = ModalDialog(Wide("オブジェオプション"));
      shown = dialog != nullptr;
      if (dialog != nullptr) act(dialog);
    });
    Command(PANEL_COMMAND, ID_OPTION_OBJECT);
    return shown;
  }

  // The pose bone panel on `bone` (its current bone), read afresh.
  HWND PoseBonePanel(MQObject bone) {
    State().current_bone = bone != nullptr ? Uid(bone) : -1;
    win32_->RefreshPanel(PANEL_POSEOBJ);
    return Panel(PANEL_POSEOBJ);
  }
  // The sample arm in pose mode at "bend", where the elbow is turned 45
  // degrees about Z: the pose bone panel showing the elbow.
  HWND ElbowAtBend(MQObject* elbow) {
    LoadExample("arm_rig.mqd");
    Start(MODE_POSE);
    *elbow = Named("elbow");
    quorvel::SetCurrentPosition(State(), 0);
    return PoseBonePanel(*elbow);
  }

  std::vector<std::wstring> ListLines() const {
    HWND list = GetDlgItem(Panel(PANEL_POSELIST), IDC_POSELIST_LIST);
    std::vector<std::wstring> lines;
    const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      wchar_t text[300] = {};
      SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
      lines.push_back(text);
    }
    return lines;
  }
  int ListSelection() const {
    return static_cast<int>(SendDlgItemMessageW(Panel(PANEL_POSELIST), IDC_POSELIST_LIST, LB_GETCURSEL, 0, 0));
  }
  void ClickLine(int line) {
    HWND list = GetDlgItem(Panel(PANEL_POSELIST), IDC_POSELIST_LIST);
    RECT r{};
    SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(&r));
    MouseDown(list, r.left + 5, (r.top + r.bottom) / 2);
    MouseUp(list, r.left + 5, (r.top + r.bottom) / 2);
  }
};

// ------------------------------------------------------------------ object options

TEST_F(PosePanelTest, TheOptionMenuOpensTheObjectOptionsOnTheCurrentObjectWhileADocumentIsOpen) {
  AddObject("upper", 0, {0, 0, 0});
  MQObject lower = AddObject("lower", 1, {100, 0, 0});
  Start(MODE_MOVE);
  MakeCurrent(lower);
  HWND command = Panel(PANEL_COMMAND);
  const MenuSeen seen = OpenMenu([&] { ClickItem(command, IDC_COMMAND_OPTION); }, {ID_OPTION_OBJECT});
  ASSERT_TRUE(seen.shown);
  EXPECT_FALSE(seen.grayed[0]) << "a document rig exists";
  EXPECT_EQ(seen.texts[0], Wide("オブジェクトオプション"));

  std::wstring name;
  HWND owner = nullptr;
  ASSERT_TRUE(WithObjectOptions([&](HWND dialog) {
    name = ItemText(dialog, IDC_OBJPROP_NAME);
    owner = GetWindow(dialog, GW_OWNER);
    ClickItem(dialog, IDCANCEL);
  }));
  EXPECT_EQ(name, L"lower");
  EXPECT_EQ(owner, static_cast<HWND>(host_.WindowHandle())) << "owned by the host's main window";

}

TEST_F(PosePanelTest, ADisabledPluginHasNoRigForTheObjectOptions) {
  AddObject("upper", 0, {0, 0, 0});
  StartDisabled();
  HWND command = Panel(PANEL_COMMAND);
  const MenuSeen seen = OpenMenu([&] { ClickItem(command, IDC_COMMAND_OPTION); }, {ID_OPTION_OBJECT});
  ASSERT_TRUE(seen.shown);
  EXPECT_TRUE(seen.grayed[0]);
  EXPECT_FALSE(WithObjectOptions([](HWND dialog) { ClickItem(dialog, IDCANCEL); })) << "the item does nothing";
}

TEST_F(PosePanelTest, LimitRowsAndTypedLimitsReachTheRecordOnlyOnOk) {
  MQObject bone = AddObject("bone", 0, {0, 0, 0});
  AddObject("tip", 1, {100, 0, 0});
  Start(MODE_MOVE);
  MakeCurrent(bone);
  const FVECTOR3 stored_min(-0.5f, -0.5f, -0.5f), stored_max(0.5f, 0.5f, 0.5f);
  struct Case {
    const char* what;
    std::function<void(HWND)> act;
    FVECTOR3 min, max;
    bool by_keyboard = false;
  };
  const Case cases[] = {
      {"N on the Y row: the axis cannot turn", [](HWND d) { ClickItem(d, IDC_OBJPROP_YNONE); },
       {-0.5f, 0.0f, -0.5f}, {0.5f, 0.0f, 0.5f}},
      {"A on the Y row: all the way round", [](HWND d) { ClickItem(d, IDC_OBJPROP_YALL); },
       {-0.5f, -kPi, -0.5f}, {0.5f, kPi, 0.5f}},
      {"N then A on the Z row", [](HWND d) {
         ClickItem(d, IDC_OBJPROP_ZNONE);
         ClickItem(d, IDC_OBJPROP_ZALL);
       },
       {-0.5f, -0.5f, -kPi}, {0.5f, 0.5f, kPi}},
      {"200 typed is clamped to 180", [](HWND d) { TypeInto(EditOf(d, IDC_OBJPROP_XMAX), L"200"); },
       {-0.5f, -0.5f, -0.5f}, {kPi, 0.5f, 0.5f}},
      {"-200 typed, then Enter or Esc closes the dialog", [](HWND d) {
         TypeInto(EditOf(d, IDC_OBJPROP_XMIN), L"-200", /*enter=*/false);
       },
       {-kPi, -0.5f, -0.5f}, {0.5f, 0.5f, 0.5f}, /*by_keyboard=*/true},
      {"45 degrees", [](HWND d) { TypeInto(EditOf(d, IDC_OBJPROP_ZMAX), L"45"); },
       {-0.5f, -0.5f, -0.5f}, {0.5f, 0.5f, kPi / 4}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (bool ok : {false, true}) {
      ASSERT_TRUE(quorvel::SetRotationLimits(bone, Slots(), stored_min, stored_max));
      std::wstring shown_before;
      ASSERT_TRUE(WithObjectOptions([&](HWND dialog) {
        shown_before = TextOf(EditOf(dialog, IDC_OBJPROP_YMIN));
        c.act(dialog);
        if (c.by_keyboard) {
          // The dialog manager's Enter or Esc: the button's command, the
          // number not yet committed.
          SendMessageW(dialog, WM_COMMAND, ok ? IDOK : IDCANCEL, 0);
        } else {
          ClickItem(dialog, ok ? IDOK : IDCANCEL);
        }
      }));
      EXPECT_EQ(shown_before, L"-28.65") << "shown in degrees";
      FVECTOR3 min, max;
      ASSERT_TRUE(quorvel::GetRotationLimits(bone, Slots(), min, max));
      const FVECTOR3 want_min = ok ? c.min : stored_min, want_max = ok ? c.max : stored_max;
      for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR((&min.x)[i], (&want_min.x)[i], 1e-5f) << (ok ? "OK" : "Cancel") << " min " << i;
        EXPECT_NEAR((&max.x)[i], (&want_max.x)[i], 1e-5f) << (ok ? "OK" : "Cancel") << " max " << i;
      }
    }
  }
}

TEST_F(PosePanelTest, OkWritesTheSwitchesColourAndIkChoicesAndCancelWritesNothing) {
  LoadExample("arm_rig.mqd");
  Start(MODE_MOVE);
  MQObject shoulder = Named("shoulder"), elbow = Named("elbow"), arm = Named("arm");
  ASSERT_NE(shoulder, nullptr);
  MakeCurrent(shoulder);
  // A vertex weighted to the shoulder alone shows the shoulder's colour.
  int shoulder_vertex = -1;
  const auto& vertices = mqhost::ToObject(arm)->vertices;
  for (size_t v = 0; v < vertices.size() && shoulder_vertex < 0; ++v) {
    if (vertices[v].position.x < 20.0f) shoulder_vertex = static_cast<int>(v);
  }
  ASSERT_GE(shoulder_vertex, 0);
  const OBase before = Record(shoulder);

  for (bool ok : {false, true}) {
    SCOPED_TRACE(ok ? "OK" : "Cancel");
    bool colour_dialog = false;
    ASSERT_TRUE(WithObjectOptions([&](HWND dialog) {
      ClickItem(dialog, IDC_OBJPROP_USETRS);      // off
      ClickItem(dialog, IDC_OBJPROP_BONESHOW);    // off
      ClickItem(dialog, IDC_OBJPROP_USESCL);      // off
      ClickItem(dialog, IDC_OBJPROP_WEIGHTSHOW);  // off
      ClickItem(dialog, IDC_OBJPROP_WEIGHTSHOW);  // on again
      SendDlgItemMessageW(dialog, IDC_OBJPROP_IKTYPE, CB_SETCURSEL, 1, 0);
      const LRESULT elbow_item = SendDlgItemMessageW(dialog, IDC_OBJPROP_IKTARGET, CB_FINDSTRINGEXACT,
                                                     static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"elbow"));
      SendDlgItemMessageW(dialog, IDC_OBJPROP_IKTARGET, CB_SETCURSEL, static_cast<WPARAM>(elbow_item), 0);
      // The swatch's colour dialog, answered with red 10, green 20, blue 30.
      WhileModal choose([&] {
        HWND colours = DialogOwnedBy(dialog);
        colour_dialog = colours != nullptr;
        if (colours == nullptr) return;
        SetDlgItemTextW(colours, 706, L"10");
        SetDlgItemTextW(colours, 707, L"20");
        SetDlgItemTextW(colours, 708, L"30");
        SendMessageW(colours, WM_COMMAND, IDOK, 0);
      });
      HWND swatch = GetDlgItem(dialog, IDC_OBJPROP_WEIGHTCOLOR);
      MouseDown(swatch, 3, 3);
      MouseUp(swatch, 3, 3);
      ClickItem(dialog, ok ? IDOK : IDCANCEL);
    }));
    EXPECT_TRUE(colour_dialog);
    const OBase after = Record(shoulder);
    quorvel::VWeight weight;
    ASSERT_TRUE(quorvel::GetVertexWeights(arm, Slots(), shoulder_vertex, weight));
    if (!ok) {
      EXPECT_EQ(std::memcmp(&after, &before, sizeof after), 0) << "Cancel writes nothing";
      EXPECT_EQ(UndoRequests(), 0);
      continue;
    }
    const uint32_t cleared = OBase::usetrs | OBase::usescl | OBase::OB_BONE;
    EXPECT_EQ(after.flags, before.flags & ~cleared);
    EXPECT_TRUE(SameColour(after.weight_colour, UCOLOR(10, 20, 30, 255)));
    EXPECT_EQ(after.ik_type, 1);
    EXPECT_EQ(after.ik_target, Uid(elbow));
    EXPECT_EQ(std::memcmp(&after.limit_min, &before.limit_min, sizeof after.limit_min), 0);
    EXPECT_EQ(weight.colour[0], 10) << "the vertex colours follow the bone's colour";
    EXPECT_EQ(weight.colour[1], 20);
    EXPECT_EQ(weight.colour[2], 30);
    EXPECT_EQ(UndoRequests(), 1);
  }
}

TEST_F(PosePanelTest, TheIkCombosListTypesAndTheOtherObjectsAndKeepValuesTheyDoNotList) {
  MQObject upper = AddObject("upper", 0, {0, 0, 0});
  MQObject lower = AddObject("lower", 1, {100, 0, 0});
  AddObject("tip", 2, {100, 0, 0});
  Start(MODE_MOVE);
  MakeCurrent(upper);
  auto items = [](HWND dialog, int id) {
    std::vector<std::wstring> texts;
    const int count = static_cast<int>(SendDlgItemMessageW(dialog, id, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      wchar_t text[300] = {};
      SendDlgItemMessageW(dialog, id, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
      texts.push_back(text);
    }
    return texts;
  };
  struct Case {
    const char* what;
    int32_t type, target;
    std::wstring type_shown, target_shown;
    std::vector<std::wstring> types, targets;
  };
  const std::wstring none = Wide("なし"), standard = Wide("標準"), target = Wide("ターゲット");
  const Case cases[] = {
      {"listed values", 1, Uid(lower), target, L"lower", {standard, target}, {none, L"lower", L"tip"}},
      {"none", 0, -1, standard, none, {standard, target}, {none, L"lower", L"tip"}},
      {"values no item stands for", 7, 99999, L"7", L"99999",
       {standard, target, L"7"}, {none, L"lower", L"tip", L"99999"}},
      {"the object itself is no target", 0, Uid(upper), standard, std::to_wstring(Uid(upper)),
       {standard, target}, {none, L"lower", L"tip", std::to_wstring(Uid(upper))}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(quorvel::SetIkType(upper, Slots(), c.type));
    ASSERT_TRUE(quorvel::SetIkTarget(upper, Slots(), c.target));
    std::vector<std::wstring> types, targets;
    std::wstring type_shown, target_shown;
    ASSERT_TRUE(WithObjectOptions([&](HWND dialog) {
      types = items(dialog, IDC_OBJPROP_IKTYPE);
      targets = items(dialog, IDC_OBJPROP_IKTARGET);
      type_shown = ItemText(dialog, IDC_OBJPROP_IKTYPE);
      target_shown = ItemText(dialog, IDC_OBJPROP_IKTARGET);
      ClickItem(dialog, IDOK);
    }));
    EXPECT_EQ(types, c.types);
    EXPECT_EQ(targets, c.targets);
    EXPECT_EQ(type_shown, c.type_shown);
    EXPECT_EQ(target_shown, c.target_shown);
    EXPECT_EQ(quorvel::GetIkType(upper, Slots()), c.type) << "OK keeps what was not changed";
    EXPECT_EQ(quorvel::GetIkTarget(upper, Slots()), c.target);
  }
}

TEST_F(PosePanelTest, WithoutABoneRecordTheObjectOptionsAreEmptyAndDisabled) {
  MQObject bare = AddObject("bare", 0, {0, 0, 0});
  Start(MODE_MOVE);
  MakeCurrent(bare);
  quorvel::host_records::FreeObject(bare, Slots().OBase());
  ASSERT_FALSE(quorvel::HasBoneRecord(bare, Slots()));
  struct Seen {
    std::wstring name, min, max;
    bool checks_off = false, weight_show = false, any_enabled = true, cancel_enabled = false, open_after_ok = false;
  } seen;
  ASSERT_TRUE(WithObjectOptions([&](HWND dialog) {
    seen.name = ItemText(dialog, IDC_OBJPROP_NAME);
    seen.min = TextOf(EditOf(dialog, IDC_OBJPROP_XMIN));
    seen.max = TextOf(EditOf(dialog, IDC_OBJPROP_ZMAX));
    seen.checks_off = !Checked(dialog, IDC_OBJPROP_USETRS) && !Checked(dialog, IDC_OBJPROP_USEROT) &&
                      !Checked(dialog, IDC_OBJPROP_USESCL) && !Checked(dialog, IDC_OBJPROP_BONESHOW);
    seen.weight_show = Checked(dialog, IDC_OBJPROP_WEIGHTSHOW);
    seen.any_enabled = false;
    for (int id : {IDC_OBJPROP_IKTYPE, IDC_OBJPROP_IKTARGET, IDC_OBJPROP_USETRS, IDC_OBJPROP_USEROT,
                   IDC_OBJPROP_USESCL, IDC_OBJPROP_BONESHOW, IDC_OBJPROP_XMIN, IDC_OBJPROP_YMAX,
                   IDC_OBJPROP_XNONE, IDC_OBJPROP_ZALL, IDC_OBJPROP_WEIGHTSHOW, IDC_OBJPROP_WEIGHTCOLOR, IDOK}) {
      seen.any_enabled = seen.any_enabled || Enabled(dialog, id);
    }
    seen.any_enabled = seen.any_enabled || IsWindowEnabled(EditOf(dialog, IDC_OBJPROP_XMIN));
    seen.cancel_enabled = Enabled(dialog, IDCANCEL);
    SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    seen.open_after_ok = IsWindow(dialog) && IsWindowVisible(dialog);
    ClickItem(dialog, IDCANCEL);
  }));
  EXPECT_EQ(seen.name, L"");
  EXPECT_EQ(seen.min, L"-180.00");
  EXPECT_EQ(seen.max, L"180.00");
  EXPECT_TRUE(seen.checks_off);
  EXPECT_TRUE(seen.weight_show);
  EXPECT_FALSE(seen.any_enabled);
  EXPECT_TRUE(seen.cancel_enabled);
  EXPECT_TRUE(seen.open_after_ok) << "OK has nothing to write";
  EXPECT_FALSE(quorvel::HasBoneRecord(bare, Slots())) << "no record is made";
  EXPECT_EQ(UndoRequests(), 0);
}

// ------------------------------------------------------------------ pose bone panel

TEST_F(PosePanelTest, ThePoseBonePanelShowsScaleInPercentAndStoresTypedScaleAsAFraction) {
  LoadExample("arm_rig.mqd");
  Start(MODE_POSE);
  ASSERT_TRUE(Visible(PANEL_POSEOBJ));
  MQObject wrist = Named("wrist");
  quorvel::SetCurrentPosition(State(), 0);  // "bend", where the wrist has no record
  HWND panel = PoseBonePanel(wrist);
  EXPECT_EQ(ItemText(panel, IDC_POSEOBJ_NAME), L"wrist");
  for (int id : {IDC_POSEOBJ_SCLX, IDC_POSEOBJ_SCLY, IDC_POSEOBJ_SCLZ}) {
    EXPECT_EQ(TextOf(EditOf(panel, id)), L"100.00") << "an untouched bone is at 100 percent";
  }
  EXPECT_EQ(TextOf(EditOf(panel, IDC_POSEOBJ_ROTZ)), L"0.00");

  TypeInto(EditOf(panel, IDC_POSEOBJ_SCLX), L"50");
  const OPoseTSQ pose = PoseOf(wrist);
  EXPECT_FLOAT_EQ(pose.scl.x, 0.5f);
  EXPECT_FLOAT_EQ(pose.scl.y, 1.0f);
  EXPECT_FLOAT_EQ(pose.scl.z, 1.0f);
  EXPECT_TRUE(SameRotation(pose.rot, FQUAT()));
  EXPECT_EQ(pose.trs, FVECTOR3(0, 0, 0));
  EXPECT_EQ(UndoRequests(), 1) << "an edit can be undone";
}

TEST_F(PosePanelTest, RotationTypedAsAnglesIsStoredAsItsQuaternionAndShownBack) {
  MQObject elbow = nullptr;
  HWND panel = ElbowAtBend(&elbow);
  EXPECT_EQ(TextOf(EditOf(panel, IDC_POSEOBJ_ROTZ)), L"45.00");
  EXPECT_EQ(TextOf(EditOf(panel, IDC_POSEOBJ_ROTX)), L"0.00");
  EXPECT_EQ(TextOf(EditOf(panel, IDC_POSEOBJ_ROTY)), L"0.00") << "no rounding noise shown as -0.00";
  const FVECTOR3 kept_trs(1.25f, 2.5f, -3.75f);
  {
    OPoseTSQ pose = PoseOf(elbow);
    pose.trs = kept_trs;
    ASSERT_TRUE(quorvel::SetPoseTSQ(elbow, Slots(), State().current_pose_id, pose));
  }
  struct Case {
    int edit;
    const wchar_t* typed;
    FQUAT expected;
  };
  // The host's angles turn about X, then Y, then Z; one angle at a time is a
  // turn about that axis (right-handed).
  const Case cases[] = {
      {IDC_POSEOBJ_ROTZ, L"90", FQUAT::FromAxisAngle({0, 0, 1}, kPi / 2)},
      {IDC_POSEOBJ_ROTZ, L"0", FQUAT()},
      {IDC_POSEOBJ_ROTX, L"30", FQUAT::FromAxisAngle({1, 0, 0}, kPi / 6)},
      {IDC_POSEOBJ_ROTX, L"0", FQUAT()},
      {IDC_POSEOBJ_ROTY, L"-60", FQUAT::FromAxisAngle({0, 1, 0}, -kPi / 3)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.edit << " " << static_cast<char>(c.typed[0]));
    TypeInto(EditOf(panel, c.edit), c.typed);
    const OPoseTSQ pose = PoseOf(elbow);
    EXPECT_TRUE(SameRotation(pose.rot, c.expected))
        << pose.rot.x << " " << pose.rot.y << " " << pose.rot.z << " " << pose.rot.w;
    EXPECT_EQ(pose.trs, kept_trs) << "the translation is not rewritten from its rounded display";
    wchar_t shown[32];
    swprintf(shown, 32, L"%.2f", _wtof(c.typed));
    EXPECT_EQ(TextOf(EditOf(panel, c.edit)), shown) << "shown back";
  }
  EXPECT_EQ(UndoRequests(), static_cast<int>(std::size(cases)));
}

TEST_F(PosePanelTest, ARefreshRewritesOnlyTheValuesThatChanged) {
  MQObject elbow = nullptr;
  HWND panel = ElbowAtBend(&elbow);
  // A person has part of two values selected while a drag elsewhere
  // refreshes the panel on every step.
  HWND z = EditOf(panel, IDC_POSEOBJ_ROTZ), x = EditOf(panel, IDC_POSEOBJ_SCLX);
  SendMessageW(z, EM_SETSEL, 1, 3);
  SendMessageW(x, EM_SETSEL, 0, 2);
  OPoseTSQ pose = PoseOf(elbow);
  pose.scl.x = 0.25f;
  ASSERT_TRUE(quorvel::SetPoseTSQ(elbow, Slots(), State().current_pose_id, pose));
  Service().RefreshPanels();
  DWORD from = 0, to = 0;
  SendMessageW(z, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
  EXPECT_EQ(TextOf(z), L"45.00");
  EXPECT_EQ(from, 1u) << "an unchanged value keeps its selection";
  EXPECT_EQ(to, 3u);
  EXPECT_EQ(TextOf(x), L"25.00") << "a changed value is shown";
}

TEST_F(PosePanelTest, AnEditWithoutAPoseMakesTheFirstPose) {
  MQObject upper = AddObject("upper", 0, {0, 0, 0});
  AddObject("lower", 1, {100, 0, 0});
  Start(MODE_POSE);
  ASSERT_EQ(quorvel::PoseCount(State()), 0);
  HWND panel = PoseBonePanel(upper);
  EXPECT_TRUE(IsWindowEnabled(EditOf(panel, IDC_POSEOBJ_TRSX))) << "an edit can make the first pose";
  EXPECT_FALSE(Enabled(panel, IDC_POSEOBJ_TRS_RESET)) << "there is nothing to reset";
  TypeInto(EditOf(panel, IDC_POSEOBJ_TRSX), L"5");
  ASSERT_EQ(quorvel::PoseCount(State()), 1);
  ASSERT_NE(quorvel::CurrentPose(State()), nullptr);
  EXPECT_EQ(PoseOf(upper).trs, FVECTOR3(5, 0, 0));
  EXPECT_TRUE(Enabled(panel, IDC_POSEOBJ_TRS_RESET));
  EXPECT_EQ(ListLines(), std::vector<std::wstring>{L"pose1"}) << "the pose list shows it";
}

TEST_F(PosePanelTest, TheBonePickedInTheViewportIsTheOneThePoseBonePanelShows) {
  AddObject("upper", 0, {0, 0, 0});
  AddObject("lower", 1, {100, 0, 0});
  AddObject("tip", 2, {100, 0, 0});
  Start(MODE_POSE);
  HWND panel = Panel(PANEL_POSEOBJ);
  EXPECT_EQ(ItemText(panel, IDC_POSEOBJ_NAME), L"") << "no bone yet";
  Click(At(150, 0));  // the lower bone's body
  EXPECT_EQ(ItemText(panel, IDC_POSEOBJ_NAME), L"lower");
  EXPECT_TRUE(IsWindowEnabled(EditOf(panel, IDC_POSEOBJ_ROTZ)));
}

TEST_F(PosePanelTest, EachResetPutsOneGroupBackToRest) {
  LoadExample("arm_rig.mqd");
  Start(MODE_POSE);
  MQObject elbow = Named("elbow");
  struct Case {
    int button;
    bool rot_rest, trs_rest, scl_rest;
  };
  for (const Case& c : {Case{IDC_POSEOBJ_ROT_RESET, true, false, false},
                        Case{IDC_POSEOBJ_TRS_RESET, false, true, false},
                        Case{IDC_POSEOBJ_SCL_RESET, false, false, true}}) {
    SCOPED_TRACE(c.button);
    OPoseTSQ posed;
    posed.rot = FQUAT::FromAxisAngle({0, 0, 1}, 0.5f);
    posed.trs = FVECTOR3(1, 2, 3);
    posed.scl = FVECTOR3(2, 2, 2);
    ASSERT_TRUE(quorvel::SetPoseTSQ(elbow, Slots(), State().current_pose_id, posed));
    HWND panel = PoseBonePanel(elbow);
    const int undo = UndoRequests();
    ClickItem(panel, c.button);
    const OPoseTSQ pose = PoseOf(elbow);
    EXPECT_TRUE(SameRotation(pose.rot, c.rot_rest ? FQUAT() : posed.rot));
    EXPECT_EQ(pose.trs, c.trs_rest ? FVECTOR3() : posed.trs);
    EXPECT_EQ(pose.scl, c.scl_rest ? FVECTOR3(1, 1, 1) : posed.scl);
    EXPECT_EQ(UndoRequests(), undo + 1);
    if (c.scl_rest) {
      EXPECT_EQ(TextOf(EditOf(panel, IDC_POSEOBJ_SCLY)), L"100.00") << "the panel shows it";
    }
  }
}

TEST_F(PosePanelTest, EachGroupIsEditableOnlyWhereTheBoneMayBePosedSo) {
  LoadExample("arm_rig.mqd");
  Start(MODE_POSE);
  MQObject elbow = Named("elbow");
  struct Case {
    uint32_t cleared;
    bool rot, trs, scl;
  };
  const Case cases[] = {
      {0, true, true, true},
      {OBase::userot, false, true, true},
      {OBase::usetrs, true, false, true},
      {OBase::usescl, true, true, false},
      {OBase::userot | OBase::usetrs | OBase::usescl, false, false, false},
  };
  const OBase rec = Record(elbow);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cleared);
    ASSERT_TRUE(quorvel::SetBoneFlags(elbow, Slots(), rec.flags & ~c.cleared));
    HWND panel = PoseBonePanel(elbow);
    const struct {
      bool want;
      std::vector<int> ids;
    } groups[] = {{c.rot, {IDC_POSEOBJ_ROTX, IDC_POSEOBJ_ROTY, IDC_POSEOBJ_ROTZ, IDC_POSEOBJ_ROT_RESET}},
                  {c.trs, {IDC_POSEOBJ_TRSX, IDC_POSEOBJ_TRSY, IDC_POSEOBJ_TRSZ, IDC_POSEOBJ_TRS_RESET}},
                  {c.scl, {IDC_POSEOBJ_SCLX, IDC_POSEOBJ_SCLY, IDC_POSEOBJ_SCLZ, IDC_POSEOBJ_SCL_RESET}}};
    for (const auto& g : groups) {
      for (int id : g.ids) EXPECT_EQ(Enabled(panel, id), g.want) << id;
      EXPECT_EQ(IsWindowEnabled(EditOf(panel, g.ids[0])) != FALSE, g.want) << "the edit inside";
    }
  }
}

TEST_F(PosePanelTest, WithoutACurrentBoneThePoseBonePanelIsEmptyAndIgnoresCommands) {
  LoadExample("arm_rig.mqd");
  Start(MODE_POSE);
  MQObject elbow = Named("elbow");
  const OPoseTSQ before = PoseOf(elbow);
  HWND panel = PoseBonePanel(nullptr);
  EXPECT_EQ(ItemText(panel, IDC_POSEOBJ_NAME), L"");
  for (int id : {IDC_POSEOBJ_ROTX, IDC_POSEOBJ_TRSY, IDC_POSEOBJ_SCLZ, IDC_POSEOBJ_ROT_RESET,
                 IDC_POSEOBJ_TRS_RESET, IDC_POSEOBJ_SCL_RESET}) {
    EXPECT_FALSE(Enabled(panel, id)) << id;
  }
  EXPECT_EQ(TextOf(EditOf(panel, IDC_POSEOBJ_SCLX)), L"100.00");
  for (int id : {IDC_POSEOBJ_ROT_RESET, IDC_POSEOBJ_TRS_RESET, IDC_POSEOBJ_SCL_RESET, IDC_POSEOBJ_SCLX}) {
    Command(PANEL_POSEOBJ, id);
  }
  const OPoseTSQ after = PoseOf(elbow);
  EXPECT_EQ(std::memcmp(&after, &before, sizeof after), 0);
  EXPECT_EQ(UndoRequests(), 0);
}

// ------------------------------------------------------------------ pose list

TEST_F(PosePanelTest, ThePoseListKeepsItsWidthStaysAtLeast96HighAndFitsItsList) {
  LoadExample("arm_rig.mqd");
  Start(MODE_POSE);
  ASSERT_TRUE(Visible(PANEL_POSELIST));
  HWND panel = Panel(PANEL_POSELIST);
  RECT start;
  GetWindowRect(panel, &start);
  const int width = start.right - start.left;
  DLGWINPOS* record = main_->GetWinpos(WINPOS_POSELIST);
  struct Case {
    int width, height;
    int want_height;
  };
  for (const Case& c : {Case{width + 80, 300, 300}, Case{width - 40, 40, 96}, Case{width, 150, 150}}) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
    record->x = -12345;
    SetWindowPos(panel, nullptr, 0, 0, c.width, c.height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT r;
    GetWindowRect(panel, &r);
    EXPECT_EQ(r.right - r.left, width) << "the width stays";
    EXPECT_EQ(r.bottom - r.top, c.want_height);
    RECT client, list;
    GetClientRect(panel, &client);
    HWND list_box = GetDlgItem(panel, IDC_POSELIST_LIST);
    GetWindowRect(list_box, &list);
    MapWindowPoints(nullptr, panel, reinterpret_cast<POINT*>(&list), 2);
    EXPECT_EQ(list.left, 0);
    EXPECT_EQ(list.top, 20);
    EXPECT_EQ(list.right, client.right);
    EXPECT_EQ(list.bottom, client.bottom);
    EXPECT_NE(record->x, -12345) << "the position is recorded again";
  }
}

TEST_F(PosePanelTest, ChoosingALineMakesItsPoseCurrent) {
  LoadExample("arm_rig.mqd");
  Start(MODE_POSE);
  EXPECT_EQ(ListLines(), (std::vector<std::wstring>{L"bend", L"wave"}));
  EXPECT_TRUE(Enabled(Panel(PANEL_POSELIST), IDC_POSELIST_LIST));
  EXPECT_EQ(ListSelection(), 0);
  MQObject wrist = Named("wrist");
  HWND bone_panel = PoseBonePanel(wrist);
  EXPECT_EQ(TextOf(EditOf(bone_panel, IDC_POSEOBJ_ROTZ)), L"0.00");

  ClickLine(1);
  EXPECT_EQ(State().current_pose_id, PoseIdNamed("wave"));
  EXPECT_EQ(ListSelection(), 1);
  EXPECT_EQ(TextOf(EditOf(bone_panel, IDC_POSEOBJ_ROTZ)), L"-30.00") << "the pose panels follow";
  EXPECT_EQ(UndoRequests(), 1);
  ClickLine(1);
  EXPECT_EQ(UndoRequests(), 1) << "the current pose again changes nothing";
}

TEST_F(PosePanelTest, NewDeleteAndTheRenameDialogEditTheList) {
  LoadExample("arm_rig.mqd");
  Start(MODE_POSE);
  HWND panel = Panel(PANEL_POSELIST);
  ClickItem(panel, IDC_POSELIST_NEW);
  EXPECT_EQ(ListLines(), (std::vector<std::wstring>{L"bend", L"wave", L"pose1"}));
  EXPECT_EQ(ListSelection(), 2) << "the new pose is current";
  EXPECT_EQ(UndoRequests(), 1);

  struct Case {
    const char* what;
    const wchar_t* typed;
    bool ok, enter;
    std::wstring line;
  };
  const Case cases[] = {
      {"OK renames", L"lift", true, false, L"lift"},
      {"Cancel keeps the name", L"drop", false, false, L"lift"},
      {"Enter: OK before the edit committed its text", L"raise", true, true, L"raise"},
      {"names in Japanese", L"曲げ", true, false, Wide("曲げ")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    bool enabled = false;
    WhileModal rename([&] {
      HWND dialog = ModalDialog(Wide("ポーズプロパティ"));
      if (dialog == nullptr) return;
      HWND edit = GetDlgItem(dialog, IDC_POSEPROP_NAME);
      enabled = IsWindowEnabled(edit) != FALSE;
      // A whole text at once, as an input method hands over Japanese.
      SetFocus(edit);
      SetWindowTextW(edit, c.typed);
      if (c.enter) {
        // What the dialog manager makes of Enter: the default button's command.
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
      } else {
        ClickItem(dialog, c.ok ? IDOK : IDCANCEL);
      }
    });
    ClickItem(panel, IDC_POSELIST_PROP);
    ASSERT_TRUE(WhileModal::ran()) << "the dialog opened";
    EXPECT_TRUE(enabled);
    EXPECT_EQ(ListLines()[2], c.line);
  }

  const int undo = UndoRequests();
  ClickItem(panel, IDC_POSELIST_DELETE);
  EXPECT_EQ(ListLines(), (std::vector<std::wstring>{L"bend", L"wave"}));
  EXPECT_EQ(State().current_pose_id, PoseIdNamed("wave")) << "the last pose moves into its place";
  EXPECT_EQ(UndoRequests(), undo + 1);
}

TEST_F(PosePanelTest, ThePropertyDialogShowsTheCurrentName) {
  LoadExample("arm_rig.mqd");
  Start(MODE_POSE);
  std::wstring shown;
  WhileModal look([&] {
    HWND dialog = ModalDialog(Wide("ポーズプロパティ"));
    if (dialog == nullptr) return;
    shown = ItemText(dialog, IDC_POSEPROP_NAME);
    ClickItem(dialog, IDCANCEL);
  });
  ClickItem(Panel(PANEL_POSELIST), IDC_POSELIST_PROP);
  EXPECT_EQ(shown, L"bend");
  EXPECT_EQ(UndoRequests(), 0) << "cancelled";
}

TEST_F(PosePanelTest, TheOtherMenuCopiesTheCurrentPoseAndResetsEveryBone) {
  LoadExample("arm_rig.mqd");
  Start(MODE_POSE);
  HWND panel = Panel(PANEL_POSELIST);
  const MenuSeen seen = OpenMenu([&] { ClickItem(panel, IDC_POSELIST_MENU); },
                                 {ID_POSELIST_COPY, ID_POSELIST_RESET_ALL});
  ASSERT_TRUE(seen.shown);
  EXPECT_EQ(seen.texts, (std::vector<std::wstring>{Wide("現在のポーズをコピー"), Wide("全てのボーンのポーズリセット")}));
  EXPECT_EQ(seen.grayed, (std::vector<bool>{false, false}));

  MQObject elbow = Named("elbow");
  const OPoseTSQ bent = PoseOf(elbow);
  Command(PANEL_POSELIST, ID_POSELIST_COPY);
  EXPECT_EQ(ListLines(), (std::vector<std::wstring>{L"bend", L"wave", L"bend_copy"}));
  EXPECT_EQ(State().current_pose_id, PoseIdNamed("bend_copy"));
  const OPoseTSQ copied = PoseOf(elbow);
  EXPECT_EQ(std::memcmp(&copied, &bent, sizeof copied), 0);
  EXPECT_EQ(UndoRequests(), 1);

  Command(PANEL_POSELIST, ID_POSELIST_RESET_ALL);
  EXPECT_TRUE(SameRotation(PoseOf(elbow).rot, FQUAT()));
  EXPECT_EQ(UndoRequests(), 2) << "one undo state for the reset";
  quorvel::SetCurrentPosition(State(), 0);
  const OPoseTSQ first = PoseOf(elbow);
  EXPECT_EQ(std::memcmp(&first, &bent, sizeof bent), 0) << "only the current pose";
}

TEST_F(PosePanelTest, WithoutPosesTheListIsEmptyAndItsCommandsChangeNothing) {
  AddObject("upper", 0, {0, 0, 0});
  AddObject("lower", 1, {100, 0, 0});
  Start(MODE_POSE);
  HWND panel = Panel(PANEL_POSELIST);
  EXPECT_TRUE(ListLines().empty());
  EXPECT_FALSE(Enabled(panel, IDC_POSELIST_LIST));
  const MenuSeen seen = OpenMenu([&] { ClickItem(panel, IDC_POSELIST_MENU); },
                                 {ID_POSELIST_COPY, ID_POSELIST_RESET_ALL});
  EXPECT_EQ(seen.grayed, (std::vector<bool>{true, true}));
  {
    WhileModal none([] {
      HWND dialog = ModalDialog(Wide("ポーズプロパティ"));
      if (dialog != nullptr) ClickItem(dialog, IDCANCEL);
    });
    ClickItem(panel, IDC_POSELIST_PROP);
    ClickItem(panel, IDC_POSELIST_DELETE);
    Command(PANEL_POSELIST, ID_POSELIST_COPY);
    Command(PANEL_POSELIST, ID_POSELIST_RESET_ALL);
    EXPECT_FALSE(WhileModal::ran()) << "no property dialog without a pose";
  }
  EXPECT_EQ(quorvel::PoseCount(State()), 0);
  EXPECT_EQ(UndoRequests(), 0);
}

TEST_F(PosePanelTest, TheCloseBoxHidesThePoseList) {
  Start(MODE_POSE);
  HWND panel = Panel(PANEL_POSELIST);
  ASSERT_TRUE(Visible(PANEL_POSELIST));
  SendMessageW(panel, WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(panel)) << "kept";
  EXPECT_FALSE(IsWindowVisible(panel));
  EXPECT_EQ(Panel(PANEL_POSELIST), panel);
  ClickItem(Panel(PANEL_COMMAND), IDC_COMMAND_MOVE);
  ClickItem(Panel(PANEL_COMMAND), IDC_COMMAND_POSE);
  EXPECT_TRUE(Visible(PANEL_POSELIST)) << "shown again with its mode";
}

// ------------------------------------------------------------------ pictures

TEST_F(PosePanelTest, PicturesOfThePosePanels) {
  LoadExample("arm_rig.mqd");
  Start(MODE_POSE);
  ASSERT_EQ(ListLines(), (std::vector<std::wstring>{L"bend", L"wave"}));
  ASSERT_EQ(State().current_pose_id, PoseIdNamed("bend"));
  MQObject elbow = Named("elbow");
  MakeCurrent(elbow);
  PoseBonePanel(elbow);
  struct Shot {
    PANEL_ID panel;
    const char* name;
    int x;
  };
  for (const Shot& shot : {Shot{PANEL_POSELIST, "panel-poselist", 10}, Shot{PANEL_POSEOBJ, "panel-posebone", 260}}) {
    ASSERT_TRUE(Visible(shot.panel)) << shot.name;
    EXPECT_GT(SavePicture(Panel(shot.panel), shot.x, shot.name), 50) << shot.name;
  }
  bool captured = false;
  ASSERT_TRUE(WithObjectOptions([&](HWND dialog) {
    captured = SavePicture(dialog, 520, "panel-objprop") > 50;
    ClickItem(dialog, IDCANCEL);
  }));
  EXPECT_TRUE(captured);
}

}  // namespace
