#pragma once
// mqhost --gui: the substitute modeller as a window a person uses (Windows
// build; under Wine on Linux). A menu bar for files, undo and the command
// plug-ins, a status line, and a viewport drawn with OpenGL whose mouse and
// keys go to the active command plug-in first, as in the modeller.
#include <iosfwd>
#include <string>
#include <vector>

namespace mqhost {

struct GuiOptions {
  std::vector<std::string> plugins;  // modules loaded at the start, in order
  std::string input;                 // opened at the start; empty: a new document
  std::string activate;              // a command plug-in taken at the start, by name
  std::string frame_log;             // each frame's time in milliseconds, one per line
  int width = 1024, height = 720;    // of the main window
};

// Runs until the main window closes; answers the process's exit code.
// Problems that stop it from starting go to `err`.
int RunGui(const GuiOptions& options, std::ostream& err);

}  // namespace mqhost
