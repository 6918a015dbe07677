#pragma once
// What the main object asks of the user interface: the tool panels, message
// boxes, the bone-align dialog, the file dialogs, the glTF scale dialog and
// the keyboard focus. The Windows build realises it with the Win32 panels;
// tests and the native build use HEADLESS_UI, which records what was asked.
// The main object keeps all the logic (which panel is shown when, what a box
// says); the interface only carries it out.
#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "math/fmath.h"

class IDLMAIN;

// The entries of the main object's panel_visible table. The two reserved
// entries follow their mode but have no window; the last is never set.
enum PANEL_ID {
  PANEL_COMMAND,        // DLP_COMMAND
  PANEL_POSE_RESERVED,  // set with pose mode
  PANEL_CMDMOVE,        // DLP_CMDMOVE
  PANEL_CMDMAKE,        // DLP_CMDMAKE
  PANEL_CMDMOT,         // DLP_CMDMOT
  PANEL_POSELIST,       // DLP_POSELIST
  PANEL_POSEOBJ,        // DLP_POSEOBJ
  PANEL_POSEMORPH,      // DLP_POSEMORPH
  PANEL_WEITPEN,        // DLP_WEITPEN
  PANEL_WEIGHT_RESERVED,  // set with weight mode
  PANEL_OBJMORPH,       // DLP_OBJMORPH
  PANEL_UNUSED,
  PANEL_COUNT
};

// Whether a panel entry has a window of its own.
constexpr bool PanelHasWindow(int id) {
  return id >= 0 && id < PANEL_COUNT && id != PANEL_POSE_RESERVED &&
         id != PANEL_WEIGHT_RESERVED && id != PANEL_UNUSED;
}

// Message box buttons and answers: the Windows values.
constexpr unsigned kMessageBoxOk = 0x0;        // MB_OK
constexpr unsigned kMessageBoxOkCancel = 0x1;  // MB_OKCANCEL
constexpr int kAnswerOk = 1;                   // IDOK
constexpr int kAnswerCancel = 2;               // IDCANCEL

// The last values of the bone-align dialog.
// Bits of BONEALIGN_PARAM::flags.
enum : int32_t {
  kAlignPivots = 1 << 0,    // the selected pivots are aligned
  kAlignFromBone = 1 << 1,  // the frame is the reference bone's, not the position
};

struct BONEALIGN_PARAM {
  int32_t axis = 0;   // 0 X, 1 Y, 2 Z
  int32_t flags = kAlignPivots;
  FVECTOR3 position{0.0f, 0.0f, 0.0f};
  int32_t bone = -1;  // unique id of the reference bone, -1 none
};

// The dialogs of the weight tools: which one RunRiggingDialog shows.
enum RIGGING_DIALOG : int {
  RIGGING_AUTO_WEIGHTS = 0,  // resolution, falloff, bones per vertex
  RIGGING_MIRROR_WEIGHTS,    // direction, tolerance
  RIGGING_SMOOTH_WEIGHTS,    // iterations, strength, bones per vertex
  RIGGING_LIMIT_WEIGHTS,     // bones per vertex (limit)
};

// The last values of the weight tools' dialogs.
struct RIGGING_PARAM {
  int32_t resolution = 128;  // voxels along the mesh's longest side, 16..512
  float falloff = 1.0f;      // 0.05..4
  int32_t max_bones = 4;     // automatic weights and smoothing, 1..4
  int32_t iterations = 3;    // 1..1000
  float strength = 0.5f;     // 0..1
  int32_t direction = 0;     // mirror: 0 from +X to -X, 1 from -X to +X
  float tolerance = 0.01f;   // mirror: how far a vertex may lie from its mirror's place
  int32_t limit = 4;         // 1..4
};

// What a save or open dialog shows. Texts in the system code page.
struct FILE_DIALOG_PARAM {
  std::string title;
  // The type list in order: what it shows and its patterns ("*.glb;*.gltf").
  std::vector<std::pair<std::string, std::string>> filters;
  // Added to a name typed without one; no dot.
  std::string default_extension;
};

class MED_PLUGIN_UI {
 public:
  virtual ~MED_PLUGIN_UI() = default;

  // Creates the panel's window with `parent` (the host's main window) as its
  // owner. The main object calls this once per panel.
  virtual void CreatePanel(PANEL_ID id, IDLMAIN* service, void* instance, void* parent) = 0;
  // Icons 123 and 124 of the module's resources.
  virtual void LoadIcons(void* instance) = 0;
  virtual void ShowPanel(PANEL_ID id, bool show) = 0;
  // The panel reads everything it shows from the service object again.
  virtual void RefreshPanel(PANEL_ID id) = 0;
  // Texts in the system code page; answers kAnswerOk or kAnswerCancel.
  virtual int ShowMessageBox(void* owner, const char* text, const char* caption, unsigned buttons) = 0;
  // A key pressed in the viewport goes to the window with the keyboard focus
  // (WM_KEYDOWN), so a panel can move its focus with Tab.
  virtual void ForwardKeyToFocus(int key) = 0;
  // The modal bone-align dialog; true when closed with OK (`param` updated).
  virtual bool RunBoneAlignDialog(void* owner, IDLMAIN* service, BONEALIGN_PARAM& param) = 0;
  // The modal save and open dialogs; true with the chosen path (system code
  // page) when closed with OK. Saving asks before a file is replaced;
  // opening takes only a file that exists.
  virtual bool AskSavePath(void* owner, const FILE_DIALOG_PARAM& param, std::string& path) = 0;
  virtual bool AskOpenPath(void* owner, const FILE_DIALOG_PARAM& param, std::string& path) = 0;
  // The modal dialog of glTF's unit scale (metres per modeller unit), titled
  // `caption`; true when closed with OK, and `unit_scale` is then finite and
  // above 0.
  virtual bool RunUnitScaleDialog(void* owner, IDLMAIN* service, const char* caption, float& unit_scale) = 0;
  // The modal dialog of a weight tool; true when closed with OK, and the
  // fields of `kind` in `param` then hold values within their ranges.
  virtual bool RunRiggingDialog(void* owner, IDLMAIN* service, RIGGING_DIALOG kind, RIGGING_PARAM& param) = 0;
};
