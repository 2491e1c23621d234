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
#include "app/ProgramVersion.h"
#include "app/RunLog.h"
#include "app/TranslatorRun.h"
#include "app/UpdateForm.h"

namespace {

constexpr const char* kUsage =
    "usage: update [--delivery DIR] [--port DEVICE] [--run-log FILE]\n"
    "                              the window\n"
    "       update --headless [--all-ports] [--answer yes|no] [--trace]\n"
    "              [--delay-divisor N] [--retries N] [--menu lab|model=N]\n"
    "              [--delivery DIR] [--port DEVICE] [--run-log FILE]\n"
    "                              the same run without a display\n"
    "       update --translate     the window with the translation editor for the\n"
    "                              language of Update.ini (Update.Deu or Update.Eng\n"
    "                              in the current folder)\n"
    "       update --list-ports    the serial ports and whether they are free\n"
    "       update --version       the program's version\n"
    "       update --help          this text\n"
    "\n"
    "  --delivery DIR     the delivery folder (settings, firmware, loader programs,\n"
    "                     BSL430.ini); default: the working folder\n"
    "  --port DEVICE      use only this port (as COM1): a device path, a name under\n"
    "                     /dev/serial/by-id or by-path, or a USB serial number\n"
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
    "Every option also takes the form --option=value.\n"
    "\n"
    "Exit status (headless): 0 success, 1 the run ended otherwise, 2 the program\n"
    "ended on its own (missing settings file, no meter found, no display for the\n"
    "window), 64 bad argument, 70 internal error.\n"
    "Environment: UPDATE_PORTS (the port table), UPDATE_PROGRAM_DIR (the folder of\n"
    "the firmware files and loader programs, default the working folder).\n";

constexpr int kBadArgument = 64;  // EX_USAGE
constexpr int kProgramEnds = 2;

int BadArgument(const std::string& error) {
  std::fprintf(stderr, "update: %s (see update --help)\n", error.c_str());
  return kBadArgument;
}

// Qt aborts when it cannot reach a display; say what to do instead.
bool DisplayAvailable() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
    if (const char* value = std::getenv(name); value && *value) return true;
  return false;
}

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
  std::vector<std::string> args = SplitOptionValues({argv + 1, argv + argc});
  ProductionOptions production;
  HeadlessOptions options;
  std::string error;
  if (!TakeProductionOptions(args, production, error) || !ParseArguments(args, options, error))
    return BadArgument(error);
  if (options.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (production.version) {
    std::printf("update %s\n", ProgramVersion().c_str());
    return 0;
  }
  if (production.allPorts && !options.headless) return BadArgument("--all-ports needs --headless");
  if (!ApplyProductionOptions(production, error)) return BadArgument(error);
  // A service command of its own: no settings files, no window.
  if (production.listPorts) {
    const bool onlyHeadless = args.empty() || (args.size() == 1 && args.front() == "--headless");
    if (production.allPorts || !onlyHeadless)
      return BadArgument("--list-ports takes only --headless and --port");
    return ListPorts();
  }
  ProcessRunLogOptions().path = production.runLog;
  ProcessRunLogOptions().headless = options.headless;
  if (production.allPorts) return RunAllPorts(argc, argv, args, production.runLog);
  if (options.headless) return RunHeadless(argc, argv, options);
  if (!DisplayAvailable()) {
    std::fprintf(stderr,
                 "update: keine Anzeige (DISPLAY/WAYLAND_DISPLAY nicht gesetzt): --headless "
                 "verwenden oder eine Anzeige setzen\n"
                 "update: no display (DISPLAY/WAYLAND_DISPLAY not set): use --headless or set "
                 "a display\n");
    return kProgramEnds;
  }
  if (options.translate) return RunTranslator(argc, argv);
  return RunWindow(argc, argv, production.delivery.has_value());
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
