#pragma once
// The mqhost program: runs plug-ins against a document from the command line,
// as the modeller would run them, and reports what happens.
#include <array>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace mqhost {

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
  ViewOptions view;
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

}  // namespace mqhost
