#pragma once
// The mqhost program: runs plug-ins against a document from the command line,
// as the modeller would run them, and reports what happens.
#include <array>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace mqhost {

class Document;
struct PluginEntryPoints;
struct ScriptCommand;

// The view as the command line sets it up, before the document is given to
// the plug-ins; what is not given stays as the document has it.
struct ViewOptions {
  int width = 0, height = 0;                     // --size WxH; 0: not given
  std::optional<std::array<float, 3>> position;  // --camera-position X,Y,Z
  std::optional<std::array<float, 3>> target;    // --camera-target X,Y,Z
  std::optional<float> perspective_fov;          // --perspective FOV (degrees, vertical)
  std::optional<float> ortho_height;             // --ortho H (world units)

  bool empty() const {
    return width == 0 && !position && !target && !perspective_fov && !ortho_height;
  }
};

struct DriverOptions {
  std::vector<std::string> plugins;  // --plugin PATH, in order of loading
  std::string peer;                  // --peer PATH; empty: beside the host module
  std::string input;                 // FILE; empty: a new document
  std::string script;                // --script FILE
  std::string save;                  // --save FILE
  std::string export_obj;            // --export-obj FILE
  std::string export_model;          // --export-model FILE
  std::string render;                // --render FILE.png
  std::string export_gltf;           // --export-gltf FILE.glb|FILE.gltf
  float unit_scale = 0.0f;           // --unit-scale S (metres per unit); 0: Quorvel's default
  ViewOptions view;
  bool gui = false;                  // --gui: the interactive modeller window
  std::string activate;              // --activate NAME (with --gui)
  std::string frame_log;             // --frame-log FILE (with --gui)
  bool help = false;
};

enum DriverExit : int {
  kDriverOk = 0,
  kDriverFailed = 1,  // a plug-in, file or script failed; no output was written
  kDriverUsage = 2,   // the command line is wrong
};

// Parses the arguments after the program name.
bool ParseDriverOptions(const std::vector<std::string>& args, DriverOptions* options,
                        std::string* error);

// The text of --help: every option and every script command.
std::string DriverHelp();

// Runs the whole session: check the script, load and initialise the
// plug-ins, open the document and set up the view, run the script, take the
// picture, save and export, end the document, exit and unload the plug-ins,
// and only then write the output files. Progress goes to `out`, errors to
// `err`; answers a DriverExit.
int RunDriver(const DriverOptions& options, std::ostream& out, std::ostream& err);

// The session RunDriver runs a script in, for a program that drives it one
// command at a time and does between commands what no script command can
// (such as pressing a plug-in's panel buttons through the plug-in itself).
// Its plug-ins live in the program and are attached by their entry points.
// Progress goes to `out`, as mqhost prints it.
class ScriptSession {
 public:
  explicit ScriptSession(std::ostream& out);
  // Without Close: the document ends and the plug-ins exit and unload, and
  // nothing the commands produced is written.
  ~ScriptSession();
  ScriptSession(const ScriptSession&) = delete;
  ScriptSession& operator=(const ScriptSession&) = delete;

  // A plug-in inside this program, taken as mqhost takes a --plugin module
  // (it receives the mouse and key events when it is a command plug-in).
  bool AttachPlugin(const PluginEntryPoints& entry, const std::string& label, std::string* error);
  // Initialises the plug-ins, then opens the document as mqhost opens FILE
  // (an empty path: a new document) with the view set up first.
  bool Open(const std::string& path, const ViewOptions& view, std::string* error);
  // One command; `where` ("FILE:LINE") starts its line of progress. False
  // with the reason when the document does not allow it.
  bool Run(const ScriptCommand& command, const std::string& where, std::string* error);
  // The open document; null before Open and after Close.
  Document* document() const;
  // Ends the document, lets the plug-ins exit and unloads them, then writes
  // what the save and render commands produced.
  bool Close(std::string* error);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace mqhost
