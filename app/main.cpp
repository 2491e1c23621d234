// Program entry: the window, or with --headless the console mode.
#include <cstdio>
#include <string>
#include <vector>

#include "app/HeadlessRun.h"
#include "app/UpdateForm.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  for (const auto& a : args)
    if (a == "--help") {
      std::printf("usage: %s\n%s", kHeadlessUsage, kHeadlessHelp);
      return 0;
    }
  HeadlessOptions options;
  std::string error;
  if (!ParseArguments(args, options, error)) {
    std::fprintf(stderr, "update: %s\nusage: %s\n", error.c_str(), kHeadlessUsage);
    return 64;
  }
  if (options.headless) return RunHeadless(argc, argv, options);
  return RunWindow(argc, argv);
}
