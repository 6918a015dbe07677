// mqhost: the substitute modeller on the command line (see --help).
#include <iostream>
#include <string>
#include <vector>

#include "host/driver/driver.h"

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
    return mqhost::RunDriver(options, std::cout, std::cerr);
  } catch (const std::exception& e) {
    std::cerr << "mqhost: " << e.what() << "\n";
    return mqhost::kDriverFailed;
  }
}
