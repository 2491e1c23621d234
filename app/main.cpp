// Program entry: the window, or with --headless the console mode.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "app/HeadlessRun.h"
#include "app/UpdateForm.h"

namespace {

// Exit status when an exception reaches the entry (EX_SOFTWARE): the run
// is over, whatever it had reached, and it is no success.
constexpr int kInternalError = 70;

int Run(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  HeadlessOptions options;
  std::string error;
  if (!ParseArguments(args, options, error)) {
    std::fprintf(stderr, "update: %s\nusage: update [--headless [--answer yes|no] [--trace] "
                         "[--delay-divisor N]]\n", error.c_str());
    return 64;
  }
  if (options.headless) return RunHeadless(argc, argv, options);
  return RunWindow(argc, argv);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "update: interner Fehler / internal error: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "update: interner Fehler / internal error\n");
  }
  return kInternalError;
}
