// Program entry: the window, or with --headless the console mode, or with
// --translate the window with the translation editor.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "app/AllPortsRun.h"
#include "app/HeadlessRun.h"
#include "app/PortList.h"
#include "app/ProductionOptions.h"
#include "app/RunLog.h"
#include "app/TranslatorRun.h"
#include "app/UpdateForm.h"

namespace {

constexpr const char* kUsage =
    "usage: update [--run-log FILE]\n"
    "                              the window\n"
    "       update --headless [--all-ports] [--answer yes|no] [--trace]\n"
    "              [--delay-divisor N] [--retries N] [--menu lab|model=N]\n"
    "              [--run-log FILE]\n"
    "                              the same run without a display\n"
    "       update --translate     the window with the translation editor for the\n"
    "                              language of Update.ini (Update.Deu or Update.Eng\n"
    "                              in the current folder)\n"
    "       update --list-ports    the serial ports and whether they are free\n"
    "       update --help          this text\n"
    "\n"
    "  --all-ports        one headless run per free port, all at once, each in\n"
    "                     its own folder update-ports/COMn; a summary at the end\n"
    "  --answer yes|no    the answer to every question (default no)\n"
    "  --trace            show the command traffic from the start\n"
    "  --delay-divisor N  divide the tool's waits by N (simulators, tests)\n"
    "  --retries N        after a failed transfer that offers a retry, press OK again\n"
    "                     up to N times (default 0); the last attempt gives the status\n"
    "  --menu lab         run the Lab XXX entry instead of the search (a meter that\n"
    "                     waits in its bootstrap loader gets the laboratory image)\n"
    "  --menu model=N     run the model entry with tag N (0..3) instead of the search\n"
    "                     (a meter that waits in its boot loader gets TestDevice.mot)\n"
    "  --run-log FILE     append one JSON line per run to FILE; an empty FILE\n"
    "                     switches the log off (default: RunLog= in Update.ini,\n"
    "                     else update-runs.jsonl in the working folder)\n"
    "\n"
    "Exit status (headless): 0 success, 1 the run ended otherwise, 2 the program\n"
    "ended on its own (missing settings file, no meter found), 64 bad argument,\n"
    "70 internal error.\n"
    "Environment: UPDATE_PORTS (the port table), UPDATE_PROGRAM_DIR (the firmware\n"
    "delivery).\n";

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
  // A service command of its own: no settings files, no window.
  if (args.size() == 1 && args[0] == "--list-ports") return ListPorts();
  ProductionOptions production;
  HeadlessOptions options;
  std::string error;
  if (!TakeProductionOptions(args, production, error) || !ParseArguments(args, options, error)) {
    std::fprintf(stderr, "update: %s\n%s", error.c_str(), kUsage);
    return 64;
  }
  if (options.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (production.allPorts && !options.headless) {
    std::fprintf(stderr, "update: --all-ports needs --headless\n%s", kUsage);
    return 64;
  }
  ProcessRunLogOptions().path = production.runLog;
  ProcessRunLogOptions().headless = options.headless;
  if (production.allPorts) return RunAllPorts(argc, argv, args, production.runLog);
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
