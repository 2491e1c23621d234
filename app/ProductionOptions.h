#pragma once
// Command-line options for production lines that are not about one run's
// dialogue: where the delivery is, which port, the run log, one run per
// port, and the service entries (--version, --list-ports).
#include <optional>
#include <string>
#include <vector>

struct ProductionOptions {
  bool allPorts = false;
  bool listPorts = false;
  bool version = false;
  std::optional<std::string> runLog;    // empty text: the log is off
  std::optional<std::string> port;      // --port: the one port of the table
  std::optional<std::string> delivery;  // --delivery: the working folder
};

// "--opt=value" as "--opt" "value" for every option that takes a value;
// other arguments stay as they are.
std::vector<std::string> SplitOptionValues(const std::vector<std::string>& args);

// Takes these options out of args and leaves the rest for the run's own
// parser. False with a reason for a missing value.
bool TakeProductionOptions(std::vector<std::string>& args, ProductionOptions& options,
                           std::string& error);

// Makes the options take effect for this process and the programs it
// starts: the working folder and the port table. False with a reason.
bool ApplyProductionOptions(const ProductionOptions& options, std::string& error);
