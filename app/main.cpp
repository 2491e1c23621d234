// Program entry: the window, or with --headless the console mode.
#include <cstdio>
#include <string>
#include <vector>

#include "app/HeadlessRun.h"
#include "app/PortList.h"
#include "app/UpdateForm.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  // A service command of its own: no settings files, no window.
  if (args.size() == 1 && args[0] == "--list-ports") return ListPorts();
  HeadlessOptions options;
  std::string error;
  if (!ParseArguments(args, options, error)) {
    std::fprintf(stderr, "update: %s\nusage: update [--headless [--answer yes|no] [--trace] "
                         "[--delay-divisor N]] | update --list-ports\n", error.c_str());
    return 64;
  }
  if (options.headless) return RunHeadless(argc, argv, options);
  return RunWindow(argc, argv);
}
