#include "app/ProductionOptions.h"

bool TakeProductionOptions(std::vector<std::string>& args, ProductionOptions& o,
                           std::string& error) {
  std::vector<std::string> rest;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (a == "--all-ports") {
      o.allPorts = true;
    } else if (a == "--run-log") {
      if (i + 1 >= args.size()) {
        error = "--run-log needs a file name (an empty one switches the log off)";
        return false;
      }
      o.runLog = args[++i];
    } else if (a.rfind("--run-log=", 0) == 0) {
      o.runLog = a.substr(10);
    } else {
      rest.push_back(a);
    }
  }
  args = std::move(rest);
  return true;
}

std::string UsageText() {
  return "usage: update [--run-log FILE]\n"
         "       update --headless [--all-ports] [--answer yes|no] [--trace]\n"
         "              [--delay-divisor N] [--run-log FILE]\n"
         "\n"
         "Without --headless the window opens.\n"
         "\n"
         "  --headless         run without a display: search, identify and update the\n"
         "                     meter at once, the log on standard output\n"
         "  --all-ports        one headless run per free port, all at once, each in\n"
         "                     its own folder update-ports/COMn; a summary at the end\n"
         "  --answer yes|no    the answer to every question (default no)\n"
         "  --trace            show the command traffic from the start\n"
         "  --delay-divisor N  divide the tool's waits by N (simulators, tests)\n"
         "  --run-log FILE     append one JSON line per run to FILE; an empty FILE\n"
         "                     switches the log off (default: RunLog= in Update.ini,\n"
         "                     else update-runs.jsonl in the working folder)\n"
         "  --help             this text\n"
         "\n"
         "Exit status (headless): 0 success, 1 the run ended otherwise, 2 the program\n"
         "ended on its own (missing settings file, no meter found), 64 bad argument.\n"
         "Environment: UPDATE_PORTS (the port table), UPDATE_PROGRAM_DIR (the firmware\n"
         "delivery).\n";
}
