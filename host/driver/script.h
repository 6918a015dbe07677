#pragma once
// The driver's script: one command a line, read and checked as a whole before
// anything runs, so that a mistake on the last line stops the run before the
// first event is sent.
//
// Syntax: words separated by blanks; blank lines are ignored; a word that
// starts with '#' begins a comment that runs to the end of the line.
#include <cstdint>
#include <string>
#include <vector>

namespace mqhost {

enum class ScriptCommandKind {
  kActivate,           // activate
  kDeactivate,         // deactivate
  kDraw,               // draw [W H]
  kMouse,              // mouse down|move|up left|middle|right X Y [shift] [ctrl] [alt]
                       // move X Y [shift] [ctrl] [alt]
                       // wheel X Y DELTA [shift] [ctrl] [alt]
  kKey,                // key down|up KEY [shift] [ctrl] [alt]
  kCameraPosition,     // camera position X Y Z
  kCameraTarget,       // camera target X Y Z
  kCameraOrtho,        // camera ortho H
  kCameraPerspective,  // camera perspective FOV
  kSelect,             // select OBJECT VERTEX
  kDeselect,           // deselect OBJECT VERTEX
  kCurrent,            // current OBJECT
  kMessage,            // message PRODUCT ID DESCRIPTION [INT...]
  kUndo,               // undo
  kRedo,               // redo
  kSave,               // save FILE
  kRender,             // render FILE.png
  kEcho,               // echo TEXT
  kUserData,           // userdata OBJECT KIND
  kExportGltf,         // export-gltf FILE [SCALE]
  kImportGltf,         // import-gltf FILE [SCALE]
  kPose,               // pose N
  kPoses,              // poses
  kPosedModel,         // posed-model FILE
  kAutoWeights,        // auto-weights [object=N] [selected] [resolution=N] [falloff=F] [bones=N]
  kMirrorWeights,      // mirror-weights +x|-x [object=N] [selected] [tolerance=F]
  kSmoothWeights,      // smooth-weights [object=N] [selected] [iterations=N] [strength=F] [bones=N]
  kLimitWeights,       // limit-weights N [object=N] [selected]
  kMirrorPose,         // mirror-pose bone|+x|-x|flip [object=N] [tolerance=F]
  kMirrorBones,        // mirror-bones [object=N] [tolerance=F]
};

// Longest path the glTF commands hand the plug-in: its record holds 260
// bytes with the terminator.
constexpr int kGltfPathBytes = 259;

// Most bones a vertex's weights name in Quorvel: the weight tools' bone
// limits run from 1 to this.
constexpr int kMaxWeightBones = 4;

// What the weight and bone tools are told. Apart from the mode, a setting
// left 0 is Quorvel's default, and the script never sets one to 0.
struct RiggingSettings {
  int mode = 0;  // mirror-weights: 0 +x, 1 -x; mirror-pose: 0 bone, 1 +x, 2 -x, 3 flip
  bool selected_only = false;
  int resolution = 0;
  float falloff = 0.0f;
  int max_bones = 0;  // bones=N, and limit-weights' N
  int iterations = 0;
  float strength = 0.0f;
  float tolerance = 0.0f;
};

// Most words a message record takes (the record is a zeroed block of this
// many 32-bit words, the given ones first).
constexpr int kMessageWords = 256;

struct ScriptCommand {
  ScriptCommandKind kind = ScriptCommandKind::kEcho;
  int line = 0;            // 1-based line of the script
  int event_code = 0;      // mouse: 120 to 130; key: 140 or 141
  int x = 0, y = 0;        // mouse position in viewport pixels
  int wheel = 0;           // wheel delta
  int flags = 0;           // "button_state" bits (buttons and modifiers)
  int key = 0;             // virtual-key code
  int width = 0, height = 0;  // draw; 0: the viewport as it is
  float values[3] = {0.0f, 0.0f, 0.0f};  // camera: a point, or values[0] alone
  int object = 0, vertex = 0;            // select, deselect, current; the tools' object, -1: the current one
  int position = 0;                      // pose: the list position
  float unit_scale = 0.0f;               // glTF: metres per modeller unit; 0: the plug-in's default
  uint32_t product = 0, id = 0;          // message target
  std::string text;  // message description, a file's path, echo text, user-data kind
  std::vector<int32_t> words;  // message record
  RiggingSettings rigging;     // the weight and bone tools
};

// Parses one line. True with `*command` filled and `*is_command` set, or
// with `*is_command` false for a blank or comment line; false with the
// reason in `*error` (without file and line).
bool ParseScriptLine(const std::string& line, ScriptCommand* command, bool* is_command,
                     std::string* error);

// Parses a whole script. `name` is what errors are prefixed with:
// "NAME:LINE: reason". Nothing is added on failure.
bool ParseScript(const std::string& text, const std::string& name,
                 std::vector<ScriptCommand>* commands, std::string* error);

// Reads and parses the file at `path`.
bool LoadScript(const std::string& path, std::vector<ScriptCommand>* commands, std::string* error);

// The text of --help's script section: every command, one a line.
const char* ScriptHelp();

}  // namespace mqhost
