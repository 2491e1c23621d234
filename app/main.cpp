// Program entry: the window, or with --headless the console mode, or with
// --translate the window with the translation editor.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "app/HeadlessRun.h"
#include "app/TranslatorRun.h"
#include "app/UpdateForm.h"

namespace {

constexpr const char* kUsage =
    "usage: update                 the window\n"
    "       update --headless [--answer yes|no] [--trace] [--delay-divisor N]\n"
    "                              the same run without a display\n"
    "       update --translate     the window with the translation editor for the\n"
    "                              language of Update.ini (Update.Deu or Update.Eng\n"
    "                              in the current folder)\n"
    "       update --help          this text\n";

// Exit status when an exception reaches the entry (EX_SOFTWARE): the run
// is over, whatever it had reached, and it is no success.
constexpr int kInternalError = 70;

void Report(const char* what) {
  std::fprintf(stderr, "update: interner Fehler / internal error%s%s\n", what ? ": " : "",
               what ? what : "");
}

// An exception that cannot unwind to main (through the event loop's C
// code, or in another thread) ends here, with the same report and status.
[[noreturn]] void OnTerminate() {
  const char* what = nullptr;
  try {
    if (auto current = std::current_exception()) std::rethrow_exception(current);
  } catch (const std::exception& e) {
    what = e.what();
  } catch (...) {
  }
  Report(what);
  std::_Exit(kInternalError);
}

int Run(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  HeadlessOptions options;
  std::string error;
  if (!ParseArguments(args, options, error)) {
    std::fprintf(stderr, "update: %s\n%s", error.c_str(), kUsage);
    return 64;
  }
  if (options.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (options.headless) return RunHeadless(argc, argv, options);
  if (options.translate) return RunTranslator(argc, argv);
  return RunWindow(argc, argv);
}

}  // namespace

int main(int argc, char** argv) {
  std::set_terminate(OnTerminate);
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    Report(e.what());
  } catch (...) {
    Report(nullptr);
  }
  return kInternalError;
}
