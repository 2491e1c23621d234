#include "app/ProductionOptions.h"

bool TakeProductionOptions(std::vector<std::string>& args, ProductionOptions& o,
                           std::string& error) {
  std::vector<std::string> rest;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--all-ports") {
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
