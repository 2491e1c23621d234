#pragma once
// Command-line options for production lines that are not about one run's
// dialogue: the run log and one run per port.
#include <optional>
#include <string>
#include <vector>

struct ProductionOptions {
  bool allPorts = false;
  std::optional<std::string> runLog;  // empty text: the log is off
};

// Takes these options out of args and leaves the rest for the run's own
// parser. False with a reason for a missing value.
bool TakeProductionOptions(std::vector<std::string>& args, ProductionOptions& options,
                           std::string& error);
