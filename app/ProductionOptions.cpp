#include "app/ProductionOptions.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/PortName.h"

namespace {

// The options that take a value, here and in the run's own parser.
constexpr const char* kValueOptions[] = {"--answer",  "--delay-divisor", "--retries", "--menu",
                                         "--run-log", "--port",          "--delivery"};

}  // namespace

std::vector<std::string> SplitOptionValues(const std::vector<std::string>& args) {
  std::vector<std::string> out;
  for (const std::string& a : args) {
    const std::size_t eq = a.find('=');
    bool split = false;
    if (a.rfind("--", 0) == 0 && eq != std::string::npos) {
      for (const char* option : kValueOptions)
        if (a.compare(0, eq, option) == 0) split = true;
    }
    if (split) {
      out.push_back(a.substr(0, eq));
      out.push_back(a.substr(eq + 1));
    } else {
      out.push_back(a);
    }
  }
  return out;
}

bool TakeProductionOptions(std::vector<std::string>& args, ProductionOptions& o,
                           std::string& error) {
  std::vector<std::string> rest;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::optional<std::string>& target, const char* what) {
      if (i + 1 >= args.size()) {
        error = a + " needs " + what;
        return false;
      }
      target = args[++i];
      return true;
    };
    if (a == "--all-ports") {
      o.allPorts = true;
    } else if (a == "--list-ports") {
      o.listPorts = true;
    } else if (a == "--version") {
      o.version = true;
    } else if (a == "--run-log") {
      if (!value(o.runLog, "a file name (an empty one switches the log off)")) return false;
    } else if (a == "--port") {
      if (!value(o.port, "a device")) return false;
    } else if (a == "--delivery") {
      if (!value(o.delivery, "a folder")) return false;
    } else {
      rest.push_back(a);
    }
  }
  args = std::move(rest);
  return true;
}

bool ApplyProductionOptions(const ProductionOptions& o, std::string& error) {
  // The port first: a relative path is meant from where the program was
  // started, before --delivery changes the folder.
  std::string device;
  if (o.port && !ResolvePortName(*o.port, device, error)) return false;
  if (o.port && device.front() != '/') {
    if (char* cwd = ::getcwd(nullptr, 0)) {
      device = std::string(cwd) + "/" + device;
      std::free(cwd);
    }
  }
  if (o.delivery && ::chdir(o.delivery->c_str()) != 0) {
    error = "--delivery " + *o.delivery + ": " + std::strerror(errno);
    return false;
  }
  // The one port is COM1; loader programs inherit the same table.
  if (o.port) ::setenv("UPDATE_PORTS", device.c_str(), 1);
  return true;
}
