#include "platform/PortName.h"

#include <sys/stat.h>

#include <vector>

#include "platform/PortTable.h"

namespace {

bool Exists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

}  // namespace

bool ResolvePortName(const std::string& name, std::string& device, std::string& error) {
  if (name.empty()) {
    error = "--port needs a device";
    return false;
  }
  if (name.find('/') != std::string::npos) {
    if (Exists(name)) {
      device = name;
      return true;
    }
    error = "--port " + name + ": no such device";
    return false;
  }
  for (const char* folder : {"/dev/serial/by-id/", "/dev/serial/by-path/", "/dev/"}) {
    if (Exists(folder + name)) {
      device = folder + name;
      return true;
    }
  }
  std::vector<std::string> matches;
  for (const std::string& path : MachinePortTable())
    if (DescribePort(path).serial == name) matches.push_back(path);
  if (matches.size() == 1) {
    device = matches.front();
    return true;
  }
  if (matches.size() > 1) {
    error = "--port " + name + ": USB serial number of more than one port (" + matches[0] + ", " +
            matches[1] + ")";
    return false;
  }
  error = "--port " + name + ": no such device, by-id/by-path name or USB serial number";
  return false;
}
