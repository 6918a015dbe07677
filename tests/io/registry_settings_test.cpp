// Preferences and panel positions: value names, defaults, the enable switch's
// delayed effect, and where a restored panel lands.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "io/registry_settings.h"
#include "scratch_settings.h"

void PrintTo(const WINPOS_RECT& r, std::ostream* os) {
  *os << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}

namespace {

using quorvel_test::ScratchSettings;

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kUntouched = 0x5EED;

using Field = std::int32_t UREGPREFS::*;

struct PreferenceRow {
  const char* name;
  Field read_into;
  Field write_from;
  std::int32_t default_value;
};

const PreferenceRow kPreferenceRows[] = {
    {"enable_flg", &UREGPREFS::enable, &UREGPREFS::enable_next, 1},
    {"showhandle_flg", &UREGPREFS::show_handle, &UREGPREFS::show_handle, 0},
    {"showlocal_flg", &UREGPREFS::show_local, &UREGPREFS::show_local, 1},
    {"showbone_flg", &UREGPREFS::show_bone, &UREGPREFS::show_bone, 1},
    {"drawboneroll_flg", &UREGPREFS::draw_bone_roll, &UREGPREFS::draw_bone_roll, 1},
    {"showowcurobjbone_flg", &UREGPREFS::show_cur_obj_bone, &UREGPREFS::show_cur_obj_bone, 0},
    {"showcurobjweight_flg", &UREGPREFS::show_cur_obj_weight, &UREGPREFS::show_cur_obj_weight, 0},
    {"iktype_flg", &UREGPREFS::ik_type, &UREGPREFS::ik_type, 0},
};

const Field kAllFields[] = {
    &UREGPREFS::enable,
    &UREGPREFS::enable_next,
    &UREGPREFS::show_handle,
    &UREGPREFS::show_local,
    &UREGPREFS::show_bone,
    &UREGPREFS::draw_bone_roll,
    &UREGPREFS::show_cur_obj_bone,
    &UREGPREFS::show_cur_obj_weight,
    &UREGPREFS::ik_type,
};

std::int32_t DefaultOf(Field field) {
  if (field == &UREGPREFS::enable_next) return 1;
  for (const auto& row : kPreferenceRows) {
    if (row.read_into == field) return row.default_value;
  }
  ADD_FAILURE() << "field without a row";
  return kUntouched;
}

const char* const kPrefixes[] = {
    "command",       "align",    "select",       "cmdmove",   "cmdmake",   "cmdmot",
    "poselist",      "poseprop", "poseobj",      "posemorph", "weightpen", "objweight",
    "objweightprop", "objmorph", "objmorphprop", "objprop",
};
static_assert(sizeof(kPrefixes) / sizeof(kPrefixes[0]) == WINPOS_COUNT);

// Distinct for every record and field, so a value under the wrong name shows.
DLGWINPOS Distinct(int id) {
  DLGWINPOS record;
  record.x = 100 * id + 7;
  record.y = -(100 * id + 9);
  record.flg = id % 2;
  return record;
}

std::int32_t ReadRaw(const std::string& path, const std::string& name, bool* present = nullptr) {
  UREGKEY key;
  std::int32_t value = kUntouched;
  const bool found = key.OpenRead(path.c_str()) && key.ReadDword(name.c_str(), &value);
  if (present != nullptr) *present = found;
  return value;
}

void WriteRaw(const std::string& path,
              const std::vector<std::pair<std::string, std::int32_t>>& values) {
  UREGKEY key;
  ASSERT_TRUE(key.OpenWrite(path.c_str()));
  for (const auto& [name, value] : values) ASSERT_TRUE(key.WriteDword(name.c_str(), value)) << name;
}

// ---- the key wrapper ----

TEST(RegistryKey, OpensReadsWritesAndCloses) {
  ScratchSettings scratch;
  const std::string path = scratch.Key();
  UREGKEY key;
  EXPECT_FALSE(key.OpenRead(path.c_str())) << "first run: no key yet";
  std::int32_t value = kUntouched;
  EXPECT_FALSE(key.ReadDword("iktype_flg", &value));
  EXPECT_EQ(value, kUntouched) << "a failed read keeps the target";

  EXPECT_TRUE(key.OpenWrite(path.c_str()));
  EXPECT_TRUE(key.IsOpen());
  for (const std::int32_t stored : {kMin, -1, 0, 1, kMax}) {
    EXPECT_TRUE(key.WriteDword("iktype_flg", stored));
    EXPECT_TRUE(key.ReadDword("iktype_flg", &value));
    EXPECT_EQ(value, stored);
  }
  key.Close();
  key.Close();
  EXPECT_FALSE(key.IsOpen());
  value = kUntouched;
  EXPECT_FALSE(key.ReadDword("iktype_flg", &value));
  EXPECT_EQ(value, kUntouched);

  {
    UREGKEY scoped;
    ASSERT_TRUE(scoped.OpenWrite(path.c_str()));
    ASSERT_TRUE(scoped.WriteDword("showbone_flg", 0));
  }  // the destructor closes and stores
  bool present = false;
  EXPECT_EQ(ReadRaw(path, "showbone_flg", &present), 0);
  EXPECT_TRUE(present);
  EXPECT_EQ(ReadRaw(path, "iktype_flg"), kMax);
}

// ---- preferences ----

TEST(Preferences, FirstRunKeepsEveryDefault) {
  ScratchSettings scratch;
  UREGPREFS prefs;
  WINPOS_TABLE records;
  for (int id = 0; id < WINPOS_COUNT; ++id) records[id] = Distinct(id);
  EXPECT_FALSE(ReadRegistrySettings(prefs, records, scratch.Key().c_str()));
  for (const Field field : kAllFields) EXPECT_EQ(prefs.*field, DefaultOf(field));
  for (int id = 0; id < WINPOS_COUNT; ++id) {
    EXPECT_EQ(records[id].flg, Distinct(id).flg) << kPrefixes[id];
    EXPECT_EQ(records[id].x, Distinct(id).x) << kPrefixes[id];
    EXPECT_EQ(records[id].y, Distinct(id).y) << kPrefixes[id];
  }
}

TEST(Preferences, EachValueReachesItsOwnField) {
  for (const auto& row : kPreferenceRows) {
    ScratchSettings scratch;
    const std::string path = scratch.Key();
    const std::int32_t stored = row.default_value == 0 ? 5 : 0;
    WriteRaw(path, {{row.name, stored}});
    UREGPREFS prefs;
    WINPOS_TABLE records;
    ASSERT_TRUE(ReadRegistrySettings(prefs, records, path.c_str())) << row.name;
    for (const Field field : kAllFields) {
      EXPECT_EQ(prefs.*field, field == row.read_into ? stored : DefaultOf(field))
          << row.name << " (enable_next is only set by the caller)";
    }
  }
}

TEST(Preferences, EachFieldIsWrittenUnderItsName) {
  ScratchSettings scratch;
  const std::string path = scratch.Key();
  UREGPREFS prefs;
  std::int32_t next = 20;
  for (const Field field : kAllFields) prefs.*field = next++;
  {
    UREGKEY key;
    ASSERT_TRUE(key.OpenWrite(path.c_str()));
    WritePreferences(key, prefs);
  }
  for (const auto& row : kPreferenceRows) {
    bool present = false;
    EXPECT_EQ(ReadRaw(path, row.name, &present), prefs.*row.write_from) << row.name;
    EXPECT_TRUE(present) << row.name;
  }
}

TEST(Preferences, ReadingAnOpenKeyWithoutValuesKeepsTheFields) {
  ScratchSettings scratch;
  const std::string path = scratch.Key();
  WriteRaw(path, {{"unrelated", 3}});
  UREGKEY key;
  ASSERT_TRUE(key.OpenRead(path.c_str()));
  UREGPREFS prefs;
  std::int32_t next = -40;
  for (const Field field : kAllFields) prefs.*field = next++;
  const UREGPREFS before = prefs;
  ReadPreferences(key, prefs);
  for (const Field field : kAllFields) EXPECT_EQ(prefs.*field, before.*field);
}

TEST(Preferences, EnableSwitchTakesEffectAtTheNextStart) {
  ScratchSettings scratch;
  const std::string path = scratch.Key();
  WriteRaw(path, {{"enable_flg", 0}});

  // One run: starts disabled, the switch is used once, the host exits.
  UREGPREFS run;
  WINPOS_TABLE records;
  ASSERT_TRUE(ReadRegistrySettings(run, records, path.c_str()));
  EXPECT_EQ(run.enable, 0);
  run.enable_next = run.enable;
  run.enable_next = run.enable_next == 1 ? 0 : 1;
  EXPECT_EQ(run.enable, 0) << "the switch does not change this run";
  WriteRegistrySettings(run, records, path.c_str());
  EXPECT_EQ(ReadRaw(path, "enable_flg"), 1);

  // The next run starts enabled.
  UREGPREFS next_run;
  next_run.enable = kUntouched;
  ASSERT_TRUE(ReadRegistrySettings(next_run, records, path.c_str()));
  EXPECT_EQ(next_run.enable, 1);
}

// ---- what a run stores at exit ----

TEST(RegistrySettings, FirstExitCreatesEveryValue) {
  ScratchSettings scratch;
  const std::string path = scratch.Key();
  WriteRegistrySettings(UREGPREFS{}, WINPOS_TABLE{}, path.c_str());
  for (const auto& row : kPreferenceRows) {
    bool present = false;
    EXPECT_EQ(ReadRaw(path, row.name, &present), row.default_value) << row.name;
    EXPECT_TRUE(present) << row.name;
  }
  for (const char* prefix : kPrefixes) {
    for (const char* suffix : {"_winpos_x", "_winpos_y", "_winpos_flg"}) {
      const std::string name = std::string(prefix) + suffix;
      bool present = false;
      EXPECT_EQ(ReadRaw(path, name, &present), 0) << name;
      EXPECT_TRUE(present) << name;
    }
  }
}

TEST(RegistrySettings, ValuesWrittenAtExitAreReadAtTheNextStart) {
  ScratchSettings scratch;
  const std::string path = scratch.Key();
  UREGPREFS written;
  std::int32_t next = -3;
  for (const Field field : kAllFields) written.*field = next++;
  written.ik_type = kMax;
  WINPOS_TABLE records;
  for (int id = 0; id < WINPOS_COUNT; ++id) records[id] = Distinct(id);
  records[WINPOS_OBJPROP].x = kMin;
  WriteRegistrySettings(written, records, path.c_str());

  UREGPREFS read;
  WINPOS_TABLE loaded;
  ASSERT_TRUE(ReadRegistrySettings(read, loaded, path.c_str()));
  for (const auto& row : kPreferenceRows) {
    EXPECT_EQ(read.*row.read_into, written.*row.write_from) << row.name;
  }
  EXPECT_EQ(read.enable_next, 1) << "left to the caller";
  for (int id = 0; id < WINPOS_COUNT; ++id) {
    EXPECT_EQ(loaded[id].x, records[id].x) << kPrefixes[id];
    EXPECT_EQ(loaded[id].y, records[id].y) << kPrefixes[id];
    EXPECT_EQ(loaded[id].flg, records[id].flg) << kPrefixes[id];
  }
}

// ---- panel position records ----

TEST(WinposRecords, PrefixesInStoredOrder) {
  const std::pair<WINPOS_ID, const char*> named[] = {
      {WINPOS_COMMAND, "command"},
      {WINPOS_ALIGN, "align"},
      {WINPOS_SELECT, "select"},
      {WINPOS_CMDMOVE, "cmdmove"},
      {WINPOS_CMDMAKE, "cmdmake"},
      {WINPOS_CMDMOT, "cmdmot"},
      {WINPOS_POSELIST, "poselist"},
      {WINPOS_POSEPROP, "poseprop"},
      {WINPOS_POSEOBJ, "poseobj"},
      {WINPOS_POSEMORPH, "posemorph"},
      {WINPOS_WEIGHTPEN, "weightpen"},
      {WINPOS_OBJWEIGHT, "objweight"},
      {WINPOS_OBJWEIGHTPROP, "objweightprop"},
      {WINPOS_OBJMORPH, "objmorph"},
      {WINPOS_OBJMORPHPROP, "objmorphprop"},
      {WINPOS_OBJPROP, "objprop"},
  };
  for (int id = 0; id < WINPOS_COUNT; ++id) {
    ASSERT_NE(WinposPrefix(id), nullptr) << id;
    EXPECT_STREQ(WinposPrefix(id), kPrefixes[id]) << id;
  }
  for (const auto& [id, prefix] : named) EXPECT_STREQ(WinposPrefix(id), prefix);
  EXPECT_EQ(WinposPrefix(-1), nullptr);
  EXPECT_EQ(WinposPrefix(WINPOS_COUNT), nullptr);
}

TEST(WinposRecords, LoadAndSaveUseThePrefixedNames) {
  ScratchSettings scratch;
  const std::string path = scratch.Key();
  std::vector<std::pair<std::string, std::int32_t>> raw;
  for (int id = 0; id < WINPOS_COUNT; ++id) {
    const DLGWINPOS expected = Distinct(id);
    raw.emplace_back(std::string(kPrefixes[id]) + "_winpos_x", expected.x);
    raw.emplace_back(std::string(kPrefixes[id]) + "_winpos_y", expected.y);
    raw.emplace_back(std::string(kPrefixes[id]) + "_winpos_flg", expected.flg);
  }
  WriteRaw(path, raw);

  WINPOS_TABLE loaded;
  {
    UREGKEY key;
    ASSERT_TRUE(key.OpenRead(path.c_str()));
    LoadWinposTable(key, loaded);
  }
  for (int id = 0; id < WINPOS_COUNT; ++id) {
    const DLGWINPOS expected = Distinct(id);
    EXPECT_EQ(loaded[id].x, expected.x) << kPrefixes[id];
    EXPECT_EQ(loaded[id].y, expected.y) << kPrefixes[id];
    EXPECT_EQ(loaded[id].flg, expected.flg) << kPrefixes[id];
  }

  // Saving under another key writes the same names.
  const std::string copy = scratch.Key("copy");
  {
    UREGKEY key;
    ASSERT_TRUE(key.OpenWrite(copy.c_str()));
    SaveWinposTable(key, loaded);
  }
  for (const auto& [name, value] : raw) EXPECT_EQ(ReadRaw(copy, name), value) << name;
}

TEST(WinposRecords, MissingValuesBecomeZero) {
  ScratchSettings scratch;
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::int32_t>> stored;
    std::int32_t x, y, flg;
  };
  const Case cases[] = {
      {"none stored", {}, 0, 0, 0},
      {"x only", {{"posemorph_winpos_x", 12}}, 12, 0, 0},
      {"flag only", {{"posemorph_winpos_flg", 1}}, 0, 0, 1},
      {"all three",
       {{"posemorph_winpos_x", -5}, {"posemorph_winpos_y", 6}, {"posemorph_winpos_flg", 1}},
       -5,
       6,
       1},
      {"other prefix", {{"poseobj_winpos_x", 3}, {"poseobj_winpos_flg", 1}}, 0, 0, 0},
  };
  int n = 0;
  for (const auto& c : cases) {
    const std::string path = scratch.Key(std::to_string(n++));
    WriteRaw(path, c.stored);
    UREGKEY key;
    ASSERT_TRUE(key.OpenRead(path.c_str()));
    DLGWINPOS record;
    record.x = 7;
    record.y = 8;
    record.flg = 9;
    record.Load(key, "posemorph");
    EXPECT_EQ(record.x, c.x) << c.what;
    EXPECT_EQ(record.y, c.y) << c.what;
    EXPECT_EQ(record.flg, c.flg) << c.what;
  }

  UREGKEY closed;
  DLGWINPOS record;
  record.x = 7;
  record.y = 8;
  record.flg = 1;
  record.Load(closed, "posemorph");
  EXPECT_EQ(record.x, 0);
  EXPECT_EQ(record.y, 0);
  EXPECT_EQ(record.flg, 0);
}

// ---- clamping into the desktop ----

TEST(Clamping, PullsPanelsIntoTheDesktop) {
  const WINPOS_RECT screen{0, 0, 1920, 1080};
  const WINPOS_RECT two_monitors{-1280, -200, 1920, 1080};
  struct Case {
    const char* what;
    WINPOS_RECT panel;
    WINPOS_RECT desktop;
    WINPOS_RECT expected;
  };
  const Case cases[] = {
      {"inside", {100, 100, 400, 300}, screen, {100, 100, 400, 300}},
      {"touching every edge", {1620, 880, 1920, 1080}, screen, {1620, 880, 1920, 1080}},
      {"off the left", {-50, 100, 250, 300}, screen, {0, 100, 300, 300}},
      {"off the top", {100, -40, 400, 160}, screen, {100, 0, 400, 200}},
      {"off the right", {1800, 100, 2100, 300}, screen, {1620, 100, 1920, 300}},
      {"off the bottom", {100, 1000, 400, 1200}, screen, {100, 880, 400, 1080}},
      {"off the top-left corner", {-10, -20, 290, 180}, screen, {0, 0, 300, 200}},
      {"off the bottom-right corner", {1900, 1070, 2200, 1270}, screen, {1620, 880, 1920, 1080}},
      {"far away", {-90000, 70000, -89700, 70200}, screen, {0, 880, 300, 1080}},
      {"desktop-sized, shifted", {5, 5, 1925, 1085}, screen, {0, 0, 1920, 1080}},
      // Right and bottom are applied last, so an oversized panel sticks out
      // on the left and at the top.
      {"wider than the desktop", {100, 100, 2100, 300}, screen, {-80, 100, 1920, 300}},
      {"wider, off the left", {-500, 100, 1500, 300}, screen, {-80, 100, 1920, 300}},
      {"taller, off the top", {100, -300, 400, 1200}, screen, {100, -420, 400, 1080}},
      {"larger both ways", {3000, 3000, 5000, 4500}, screen, {-80, -420, 1920, 1080}},
      {"zero-sized, beyond the right", {2500, 10, 2500, 10}, screen, {1920, 10, 1920, 10}},
      // Negative sizes are moved by the same rules; only the corner moves.
      {"negative width, off the left", {-10, 100, -210, 300}, screen, {0, 100, -200, 300}},
      {"negative width, beyond the right", {2000, 100, 1800, 300}, screen, {2000, 100, 1800, 300}},
      {"negative height, off the top", {100, -50, 400, -250}, screen, {100, 0, 400, -200}},
      {"desktop left of and above the origin",
       {-1500, -300, -1200, -100},
       two_monitors,
       {-1280, -200, -980, 0}},
      {"second monitor, off the bottom right",
       {1800, 1000, 2000, 1100},
       two_monitors,
       {1720, 980, 1920, 1080}},
      {"extent beyond int32", {kMin, kMin, kMax, kMax}, screen, {kMin, kMin, 1920, 1080}},
      {"width beyond int32, negative",
       {kMax - 5, 0, kMin + 5, 100},
       screen,
       {kMax - 5, 0, kMin + 5, 100}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ClampIntoDesktop(c.panel, c.desktop), c.expected) << c.what;
  }
}

// ---- restoring and recording through a window ----

class FakeWindow : public MED_WINDOWRECT {
 public:
  FakeWindow(WINPOS_RECT rect, WINPOS_RECT desktop) : rect(rect), desktop(desktop) {}
  WINPOS_RECT GetScreenRect() const override { return rect; }
  WINPOS_RECT GetDesktopRect() const override { return desktop; }
  void PlaceAt(const WINPOS_RECT& placed, bool repaint_now) override {
    rect = placed;
    ++moves;
    repaint = repaint_now;
  }

  WINPOS_RECT rect;
  WINPOS_RECT desktop;
  int moves = 0;
  bool repaint = false;
};

constexpr WINPOS_RECT kScreen{0, 0, 1920, 1080};

DLGWINPOS Record(std::int32_t flg, std::int32_t x, std::int32_t y) {
  DLGWINPOS record;
  record.flg = flg;
  record.x = x;
  record.y = y;
  return record;
}

TEST(PanelPosition, CaptureRecordsTheOffsetFromTheMainWindow) {
  struct Case {
    const char* what;
    WINPOS_RECT main_window;
    WINPOS_RECT panel;
    std::int32_t x, y;
  };
  const Case cases[] = {
      {"right of and below", {200, 100, 1000, 700}, {350, 400, 650, 600}, 150, 300},
      {"left of and above", {200, 100, 1000, 700}, {20, 30, 320, 230}, -180, -70},
      {"same corner", {200, 100, 1000, 700}, {200, 100, 300, 200}, 0, 0},
      {"main window on a monitor left of the origin",
       {-1000, -50, -200, 550},
       {-900, 20, -600, 220},
       100,
       70},
      {"offsets beyond int32", {kMin, kMax, 0, kMax}, {kMax, kMin, kMax, 0}, kMax, kMin},
  };
  for (const auto& c : cases) {
    FakeWindow main_window(c.main_window, kScreen);
    FakeWindow panel(c.panel, kScreen);
    DLGWINPOS record;
    record.Capture(main_window, panel);
    EXPECT_EQ(record.flg, 1) << c.what;
    EXPECT_EQ(record.x, c.x) << c.what;
    EXPECT_EQ(record.y, c.y) << c.what;
    EXPECT_EQ(panel.moves, 0) << c.what;
    EXPECT_EQ(panel.rect, c.panel) << c.what;
  }
}

TEST(PanelPosition, ApplyPlacesThePanelRelativeToTheMainWindow) {
  const WINPOS_RECT main_at_home{200, 100, 1000, 700};
  const WINPOS_RECT panel_anywhere{0, 0, 300, 200};
  struct Case {
    const char* what;
    WINPOS_RECT main_window;
    DLGWINPOS record;
    WINPOS_RECT expected;
  };
  const Case cases[] = {
      {"offset inside", main_at_home, Record(1, 50, 60), {250, 160, 550, 360}},
      {"negative offset", main_at_home, Record(1, -150, -20), {50, 80, 350, 280}},
      {"main window moved: the panel follows",
       {600, 300, 1400, 900},
       Record(1, 50, 60),
       {650, 360, 950, 560}},
      {"pulled back from the left", main_at_home, Record(1, -400, 60), {0, 160, 300, 360}},
      {"pulled back from the right", main_at_home, Record(1, 1800, 60), {1620, 160, 1920, 360}},
      {"pulled back from the bottom", main_at_home, Record(1, 50, 1000), {250, 880, 550, 1080}},
      {"offset beyond int32 after adding",
       main_at_home,
       Record(1, kMax, kMax),
       {1620, 880, 1920, 1080}},
      {"any flag but 0 counts", main_at_home, Record(2, 50, 60), {250, 160, 550, 360}},
  };
  for (const auto& c : cases) {
    FakeWindow main_window(c.main_window, kScreen);
    FakeWindow panel(panel_anywhere, kScreen);
    EXPECT_EQ(c.record.Placement(c.main_window, panel_anywhere, kScreen), c.expected) << c.what;
    c.record.Apply(main_window, panel);
    EXPECT_EQ(panel.moves, 1) << c.what;
    EXPECT_TRUE(panel.repaint) << c.what;
    EXPECT_EQ(panel.rect, c.expected) << c.what;
    EXPECT_EQ(main_window.moves, 0) << c.what;
  }

  FakeWindow main_window(main_at_home, kScreen);
  FakeWindow panel(panel_anywhere, kScreen);
  Record(0, 50, 60).Apply(main_window, panel);
  EXPECT_EQ(panel.moves, 0) << "no known position: the panel stays";
}

TEST(PanelPosition, FirstShowRestoresOnlyAValidRecord) {
  const WINPOS_RECT main_rect{200, 100, 1000, 700};
  const WINPOS_RECT panel_rect{900, 500, 1200, 700};
  struct Case {
    std::int32_t flg;
    bool restores;
  };
  const Case cases[] = {{1, true}, {0, false}, {2, false}, {-1, false}};
  for (const auto& c : cases) {
    FakeWindow main_window(main_rect, kScreen);
    FakeWindow panel(panel_rect, kScreen);
    DLGWINPOS record = Record(c.flg, 30, 40);
    record.ApplyOrCapture(main_window, panel);
    if (c.restores) {
      EXPECT_EQ(panel.moves, 1) << c.flg;
      EXPECT_EQ(panel.rect, (WINPOS_RECT{230, 140, 530, 340})) << c.flg;
      EXPECT_EQ(record.x, 30) << c.flg;
      EXPECT_EQ(record.y, 40) << c.flg;
      EXPECT_EQ(record.flg, c.flg) << c.flg;
    } else {
      EXPECT_EQ(panel.moves, 0) << c.flg;
      EXPECT_EQ(record.flg, 1) << c.flg;
      EXPECT_EQ(record.x, 700) << c.flg;
      EXPECT_EQ(record.y, 400) << c.flg;
    }
  }
}

TEST(PanelPosition, RecordSurvivesARestart) {
  ScratchSettings scratch;
  const std::string path = scratch.Key();
  const WINPOS_RECT desktop{0, 0, 1600, 900};

  // First run: the panel has no record, takes its own place and records it.
  WINPOS_TABLE first;
  FakeWindow main_window({100, 50, 900, 650}, desktop);
  FakeWindow panel({700, 420, 900, 620}, desktop);
  first[WINPOS_POSELIST].ApplyOrCapture(main_window, panel);
  WriteRegistrySettings(UREGPREFS{}, first, path.c_str());

  // Next run: the host starts elsewhere; the panel keeps its offset, pulled
  // back inside the desktop.
  WINPOS_TABLE second;
  UREGPREFS prefs;
  ASSERT_TRUE(ReadRegistrySettings(prefs, second, path.c_str()));
  FakeWindow moved_main({1000, 300, 1800, 900}, desktop);
  FakeWindow new_panel({0, 0, 200, 200}, desktop);
  second[WINPOS_POSELIST].ApplyOrCapture(moved_main, new_panel);
  EXPECT_EQ(new_panel.moves, 1);
  EXPECT_EQ(new_panel.rect, (WINPOS_RECT{1400, 670, 1600, 870}));
  for (int id = 0; id < WINPOS_COUNT; ++id) {
    if (id != WINPOS_POSELIST) {
      EXPECT_EQ(second[id].flg, 0) << kPrefixes[id];
    }
  }
}

}  // namespace
