#pragma once
// Per-user preferences and panel positions, kept under one key of the current
// user's registry (natively the settings file of platform/settings_store.h).
// They are read once when the plug-in initialises and written once when it
// exits; in between they live in the main object.

#include <array>
#include <cstdint>

#include "platform/settings_store.h"

// The plug-in's key below HKEY_CURRENT_USER. Tests pass a scratch key instead.
inline constexpr char kQuorvelSettingsKey[] = "Software\\Ostrak\\Quorvel";

// One open key; all values are REG_DWORD (int32). Closing is idempotent and
// the destructor closes.
class UREGKEY {
 public:
  UREGKEY() = default;
  ~UREGKEY();
  UREGKEY(const UREGKEY&) = delete;
  UREGKEY& operator=(const UREGKEY&) = delete;

  // False when the key does not exist.
  bool OpenRead(const char* path = kQuorvelSettingsKey);
  // Creates the key when missing. Always true: settings that cannot be stored
  // are simply lost, nobody is told.
  bool OpenWrite(const char* path = kQuorvelSettingsKey);
  bool IsOpen() const;
  // False when the key is not open or the value is missing; `value` then
  // keeps what it held, which is how every reader supplies its default.
  bool ReadDword(const char* name, std::int32_t* value) const;
  bool WriteDword(const char* name, std::int32_t value);
  void Close();

 private:
  quorvel::platform::SettingsKey key_;
};

// A window rectangle in screen pixels, right and bottom exclusive.
struct WINPOS_RECT {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
};

bool operator==(const WINPOS_RECT& a, const WINPOS_RECT& b);
bool operator!=(const WINPOS_RECT& a, const WINPOS_RECT& b);

// Moves `panel`, keeping its width and height, first so that its left and top
// edges are not before the desktop's, then so that its right and bottom edges
// are not past it. The second pair wins: a panel larger than the desktop
// sticks out on the left or at the top. Coordinates saturate at the int32
// limits instead of wrapping.
WINPOS_RECT ClampIntoDesktop(const WINPOS_RECT& panel, const WINPOS_RECT& desktop);

// What a panel position needs of a window: its rectangle on the screen, the
// desktop window's rectangle, and a way to move it. The panels realise it for
// their Win32 windows; tests with a fake.
class MED_WINDOWRECT {
 public:
  virtual ~MED_WINDOWRECT() = default;
  virtual WINPOS_RECT GetScreenRect() const = 0;
  virtual WINPOS_RECT GetDesktopRect() const = 0;
  virtual void PlaceAt(const WINPOS_RECT& rect, bool repaint) = 0;
};

// Where a panel sits relative to the host's main window. Stored as the values
// "<prefix>_winpos_x", "<prefix>_winpos_y" and "<prefix>_winpos_flg".
class DLGWINPOS {
 public:
  DLGWINPOS() = default;
  DLGWINPOS(const DLGWINPOS&) = default;
  DLGWINPOS& operator=(const DLGWINPOS&) = default;
  virtual ~DLGWINPOS() = default;

  // A missing value becomes 0, so a record without "_flg" is not valid.
  void Load(const UREGKEY& key, const char* prefix);
  void Save(UREGKEY& key, const char* prefix) const;

  // Records the panel's top-left corner relative to the main window's and
  // marks the record valid.
  void Capture(const MED_WINDOWRECT& main_window, const MED_WINDOWRECT& panel);
  // Unless `flg` is 0, moves the panel to `Placement` and repaints it.
  void Apply(const MED_WINDOWRECT& main_window, MED_WINDOWRECT& panel) const;
  // A panel shown for the first time: restore when `flg` is 1, else record.
  void ApplyOrCapture(const MED_WINDOWRECT& main_window, MED_WINDOWRECT& panel);

  // The panel's rectangle moved to the main window's top-left plus (x, y),
  // clamped into the desktop.
  WINPOS_RECT Placement(const WINPOS_RECT& main_window, const WINPOS_RECT& panel,
                        const WINPOS_RECT& desktop) const;

  std::int32_t flg = 0;  // 1 once a position is known
  std::int32_t x = 0;
  std::int32_t y = 0;
};

// The records the main object keeps, in the order they are read and written.
enum WINPOS_ID {
  WINPOS_COMMAND,
  WINPOS_ALIGN,
  WINPOS_SELECT,  // read and written back, no panel uses it
  WINPOS_CMDMOVE,
  WINPOS_CMDMAKE,
  WINPOS_CMDMOT,
  WINPOS_POSELIST,
  WINPOS_POSEPROP,
  WINPOS_POSEOBJ,
  WINPOS_POSEMORPH,
  WINPOS_WEIGHTPEN,
  WINPOS_OBJWEIGHT,  // read and written back, no panel uses it
  WINPOS_OBJWEIGHTPROP,
  WINPOS_OBJMORPH,
  WINPOS_OBJMORPHPROP,
  WINPOS_OBJPROP,
  WINPOS_COUNT
};

using WINPOS_TABLE = std::array<DLGWINPOS, WINPOS_COUNT>;

// The value-name prefix of a record ("command", "align", ...); null for an
// identifier out of range.
const char* WinposPrefix(int id);

// The eight preference values. "enable_flg" is read into `enable` and
// written from `enable_next`, so the enable switch takes effect at the next
// start; the caller sets `enable_next` from `enable` once the settings are read.
struct UREGPREFS {
  std::int32_t enable = 1;               // "enable_flg"
  std::int32_t enable_next = 1;          // "enable_flg" at exit
  std::int32_t show_handle = 0;          // "showhandle_flg"
  std::int32_t show_local = 1;           // "showlocal_flg"
  std::int32_t show_bone = 1;            // "showbone_flg"
  std::int32_t draw_bone_roll = 1;       // "drawboneroll_flg"
  std::int32_t show_cur_obj_bone = 0;    // "showowcurobjbone_flg"
  std::int32_t show_cur_obj_weight = 0;  // "showcurobjweight_flg"
  std::int32_t ik_type = 0;              // "iktype_flg"
};

// A missing value leaves its field as it was (the default).
void ReadPreferences(const UREGKEY& key, UREGPREFS& prefs);
void WritePreferences(UREGKEY& key, const UREGPREFS& prefs);
void LoadWinposTable(const UREGKEY& key, WINPOS_TABLE& records);
void SaveWinposTable(UREGKEY& key, const WINPOS_TABLE& records);

// At start: when the key exists, read the preferences and then load the
// records; false, with everything untouched, when it does not.
bool ReadRegistrySettings(UREGPREFS& prefs, WINPOS_TABLE& records,
                          const char* path = kQuorvelSettingsKey);
// At exit: create the key when missing, write the preferences and then save
// the records. Failures go unreported.
void WriteRegistrySettings(const UREGPREFS& prefs, const WINPOS_TABLE& records,
                           const char* path = kQuorvelSettingsKey);
