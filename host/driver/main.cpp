// mqhost: the substitute modeller on the command line (see --help).
#include <iostream>
#include <string>
#include <vector>

#include "host/driver/driver.h"
#if defined(_WIN32)
#include "host/gui/gui_app.h"
#endif

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  mqhost::DriverOptions options;
  std::string error;
  if (!mqhost::ParseDriverOptions(args, &options, &error)) {
    std::cerr << "mqhost: " << error << "\n(mqhost --help explains the options)\n";
    return mqhost::kDriverUsage;
  }
  if (options.help) {
    std::cout << mqhost::DriverHelp();
    return mqhost::kDriverOk;
  }
  try {
    if (options.gui) {
#if defined(_WIN32)
      mqhost::GuiOptions gui;
      gui.plugins = options.plugins;
      gui.input = options.input;
      gui.activate = options.activate;
      gui.frame_log = options.frame_log;
      if (options.view.width > 0) gui.width = options.view.width, gui.height = options.view.height;
      return mqhost::RunGui(gui, std::cerr);
#else
      std::cerr << "mqhost: --gui needs the Windows build (on Linux: scripts/gui.sh runs it under Wine)\n";
      return mqhost::kDriverUsage;
#endif
    }
    return mqhost::RunDriver(options, std::cout, std::cerr);
  } catch (const std::exception& e) {
    std::cerr << "mqhost: " << e.what() << "\n";
    return mqhost::kDriverFailed;
  }
}
