#include "io/registry_settings.h"

#include <algorithm>
#include <limits>
#include <string>

namespace {

std::int32_t Saturate(std::int64_t value) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

std::int64_t Width(const WINPOS_RECT& r) { return std::int64_t{r.right} - r.left; }
std::int64_t Height(const WINPOS_RECT& r) { return std::int64_t{r.bottom} - r.top; }

// Works in 64 bits so that a wanted position far outside the int32 range
// (a huge offset added to the main window's corner) is clamped, not wrapped.
WINPOS_RECT Clamp(std::int64_t left, std::int64_t top, std::int64_t width, std::int64_t height,
                  const WINPOS_RECT& desktop) {
  if (left < desktop.left) left = desktop.left;
  if (top < desktop.top) top = desktop.top;
  if (left + width > desktop.right) left = desktop.right - width;
  if (top + height > desktop.bottom) top = desktop.bottom - height;
  return {Saturate(left), Saturate(top), Saturate(left + width), Saturate(top + height)};
}

std::string ValueName(const char* prefix, const char* suffix) {
  std::string name = prefix != nullptr ? prefix : "";
  name += suffix;
  return name;
}

struct PreferenceValue {
  const char* name;
  std::int32_t UREGPREFS::*read_into;
  std::int32_t UREGPREFS::*write_from;
};

// In the order the values are read and written.
constexpr PreferenceValue kPreferenceValues[] = {
    {"enable_flg", &UREGPREFS::enable, &UREGPREFS::enable_next},
    {"showhandle_flg", &UREGPREFS::show_handle, &UREGPREFS::show_handle},
    {"showlocal_flg", &UREGPREFS::show_local, &UREGPREFS::show_local},
    {"showbone_flg", &UREGPREFS::show_bone, &UREGPREFS::show_bone},
    {"drawboneroll_flg", &UREGPREFS::draw_bone_roll, &UREGPREFS::draw_bone_roll},
    {"showowcurobjbone_flg", &UREGPREFS::show_cur_obj_bone, &UREGPREFS::show_cur_obj_bone},
    {"showcurobjweight_flg", &UREGPREFS::show_cur_obj_weight, &UREGPREFS::show_cur_obj_weight},
    {"iktype_flg", &UREGPREFS::ik_type, &UREGPREFS::ik_type},
};

constexpr const char* kWinposPrefixes[WINPOS_COUNT] = {
    "command",       "align",    "select",       "cmdmove",   "cmdmake",   "cmdmot",
    "poselist",      "poseprop", "poseobj",      "posemorph", "weightpen", "objweight",
    "objweightprop", "objmorph", "objmorphprop", "objprop",
};

}  // namespace

UREGKEY::~UREGKEY() { Close(); }

bool UREGKEY::OpenRead(const char* path) { return key_.OpenRead(path); }

bool UREGKEY::OpenWrite(const char* path) {
  key_.OpenWrite(path);
  return true;
}

bool UREGKEY::IsOpen() const { return key_.IsOpen(); }

bool UREGKEY::ReadDword(const char* name, std::int32_t* value) const {
  return key_.ReadInt32(name, value);
}

bool UREGKEY::WriteDword(const char* name, std::int32_t value) {
  return key_.WriteInt32(name, value);
}

void UREGKEY::Close() { key_.Close(); }

bool operator==(const WINPOS_RECT& a, const WINPOS_RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

bool operator!=(const WINPOS_RECT& a, const WINPOS_RECT& b) { return !(a == b); }

WINPOS_RECT ClampIntoDesktop(const WINPOS_RECT& panel, const WINPOS_RECT& desktop) {
  return Clamp(panel.left, panel.top, Width(panel), Height(panel), desktop);
}

void DLGWINPOS::Load(const UREGKEY& key, const char* prefix) {
  std::int32_t stored_x = 0;
  std::int32_t stored_y = 0;
  std::int32_t stored_flg = 0;
  key.ReadDword(ValueName(prefix, "_winpos_x").c_str(), &stored_x);
  key.ReadDword(ValueName(prefix, "_winpos_y").c_str(), &stored_y);
  key.ReadDword(ValueName(prefix, "_winpos_flg").c_str(), &stored_flg);
  x = stored_x;
  y = stored_y;
  flg = stored_flg;
}

void DLGWINPOS::Save(UREGKEY& key, const char* prefix) const {
  key.WriteDword(ValueName(prefix, "_winpos_x").c_str(), x);
  key.WriteDword(ValueName(prefix, "_winpos_y").c_str(), y);
  key.WriteDword(ValueName(prefix, "_winpos_flg").c_str(), flg);
}

void DLGWINPOS::Capture(const MED_WINDOWRECT& main_window, const MED_WINDOWRECT& panel) {
  const WINPOS_RECT main_rect = main_window.GetScreenRect();
  const WINPOS_RECT panel_rect = panel.GetScreenRect();
  flg = 1;
  x = Saturate(std::int64_t{panel_rect.left} - main_rect.left);
  y = Saturate(std::int64_t{panel_rect.top} - main_rect.top);
}

void DLGWINPOS::Apply(const MED_WINDOWRECT& main_window, MED_WINDOWRECT& panel) const {
  if (flg == 0) return;
  panel.PlaceAt(
      Placement(main_window.GetScreenRect(), panel.GetScreenRect(), panel.GetDesktopRect()), true);
}

void DLGWINPOS::ApplyOrCapture(const MED_WINDOWRECT& main_window, MED_WINDOWRECT& panel) {
  if (flg == 1) {
    Apply(main_window, panel);
  } else {
    Capture(main_window, panel);
  }
}

WINPOS_RECT DLGWINPOS::Placement(const WINPOS_RECT& main_window, const WINPOS_RECT& panel,
                                 const WINPOS_RECT& desktop) const {
  return Clamp(std::int64_t{main_window.left} + x, std::int64_t{main_window.top} + y, Width(panel),
               Height(panel), desktop);
}

const char* WinposPrefix(int id) {
  return id >= 0 && id < WINPOS_COUNT ? kWinposPrefixes[id] : nullptr;
}

void ReadPreferences(const UREGKEY& key, UREGPREFS& prefs) {
  for (const auto& value : kPreferenceValues) key.ReadDword(value.name, &(prefs.*value.read_into));
}

void WritePreferences(UREGKEY& key, const UREGPREFS& prefs) {
  for (const auto& value : kPreferenceValues) key.WriteDword(value.name, prefs.*value.write_from);
}

void LoadWinposTable(const UREGKEY& key, WINPOS_TABLE& records) {
  for (int id = 0; id < WINPOS_COUNT; ++id) records[id].Load(key, WinposPrefix(id));
}

void SaveWinposTable(UREGKEY& key, const WINPOS_TABLE& records) {
  for (int id = 0; id < WINPOS_COUNT; ++id) records[id].Save(key, WinposPrefix(id));
}

bool ReadRegistrySettings(UREGPREFS& prefs, WINPOS_TABLE& records, const char* path) {
  UREGKEY key;
  if (!key.OpenRead(path)) return false;
  ReadPreferences(key, prefs);
  LoadWinposTable(key, records);
  key.Close();
  return true;
}

void WriteRegistrySettings(const UREGPREFS& prefs, const WINPOS_TABLE& records, const char* path) {
  UREGKEY key;
  key.OpenWrite(path);
  WritePreferences(key, prefs);
  SaveWinposTable(key, records);
  key.Close();
}
