// Program entry: the window, or with --headless the console mode.
#include <cstdio>
#include <string>
#include <vector>

#include "app/AllPortsRun.h"
#include "app/HeadlessRun.h"
#include "app/ProductionOptions.h"
#include "app/RunLog.h"
#include "app/UpdateForm.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  ProductionOptions production;
  HeadlessOptions options;
  std::string error;
  if (TakeProductionOptions(args, production, error) && production.help) {
    std::fputs(UsageText().c_str(), stdout);
    return 0;
  }
  if (!error.empty() || !ParseArguments(args, options, error)) {
    std::fprintf(stderr, "update: %s\n%s", error.c_str(), UsageText().c_str());
    return 64;
  }
  if (production.allPorts && !options.headless) {
    std::fprintf(stderr, "update: --all-ports needs --headless\n%s", UsageText().c_str());
    return 64;
  }
  ProcessRunLogOptions().path = production.runLog;
  ProcessRunLogOptions().headless = options.headless;
  if (production.allPorts) return RunAllPorts(argc, argv, args, production.runLog);
  if (options.headless) return RunHeadless(argc, argv, options);
  return RunWindow(argc, argv);
}
