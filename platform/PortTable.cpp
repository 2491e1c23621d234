#include "platform/PortTable.h"

#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string_view>
#include <utility>

namespace {

const std::string kSysTty = "/sys/class/tty/";

std::string ReadLine(const std::string& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  while (!line.empty() && (line.back() == '\n' || line.back() == ' ')) line.pop_back();
  return line;
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string RealPath(const std::string& path) {
  char resolved[PATH_MAX];
  return ::realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

// Numeric suffix of a device name after its group prefix, or -1.
long SuffixNumber(std::string_view name, std::string_view prefix) {
  if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) return -1;
  long value = 0;
  for (char c : name.substr(prefix.size())) {
    if (c < '0' || c > '9' || value > 1000000) return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

// Kernel names of the group in numeric order, from sysfs.
std::vector<std::string> DevicesOfGroup(std::string_view prefix) {
  std::vector<std::pair<long, std::string>> found;
  if (DIR* dir = ::opendir(kSysTty.c_str())) {
    while (const dirent* entry = ::readdir(dir)) {
      const long number = SuffixNumber(entry->d_name, prefix);
      if (number >= 0) found.emplace_back(number, entry->d_name);
    }
    ::closedir(dir);
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> names;
  for (auto& f : found) names.push_back(std::move(f.second));
  return names;
}

// The kernel creates ttyS nodes for every possible legacy port; only those
// with a UART behind them (type not 0, "unknown") are ports. Probing the
// others would cost the search a full time-out each.
bool UartPresent(const std::string& name) {
  const std::string type = ReadLine(kSysTty + name + "/type");
  return !type.empty() && type != "0";
}

// The kernel console may run on a serial line; the tool keeps off it.
bool IsConsole(const std::string& name) {
  const std::string active = " " + ReadLine(kSysTty + "console/active") + " ";
  return active.find(" " + name + " ") != std::string::npos;
}

}  // namespace

std::vector<std::string> SplitPortTable(const std::string& value) {
  std::vector<std::string> table;
  size_t start = 0;
  size_t from = 0;
  for (;;) {
    size_t colon = value.find(':', from);
    // A ':' inside a name (by-path names) is followed by neither a path nor
    // another separator.
    while (colon != std::string::npos && colon + 1 < value.size() && value[colon + 1] != '/' &&
           value[colon + 1] != ':')
      colon = value.find(':', colon + 1);
    table.push_back(value.substr(start, colon == std::string::npos ? colon : colon - start));
    if (colon == std::string::npos || table.size() >= static_cast<size_t>(kMaxPorts)) break;
    start = from = colon + 1;
  }
  return table;
}

std::vector<std::string> LoadPortTable() {
  if (const char* env = std::getenv("UPDATE_PORTS")) return SplitPortTable(env);
  return MachinePortTable();
}

std::vector<std::string> MachinePortTable() {
  std::vector<std::string> table;
  for (const char* group : {"ttyS", "ttyUSB", "ttyACM", "ttyAMA", "rfcomm"}) {
    for (const auto& name : DevicesOfGroup(group)) {
      if (IsConsole(name)) continue;
      if (name.rfind("ttyS", 0) == 0 && !UartPresent(name)) continue;
      table.push_back("/dev/" + name);
    }
  }
  if (table.size() > static_cast<size_t>(kMaxPorts)) table.resize(kMaxPorts);
  return table;
}

std::string PortDevicePath(int index) {
  if (index < 0 || index >= kMaxPorts) return {};
  const auto table = LoadPortTable();
  return static_cast<size_t>(index) < table.size() ? table[index] : std::string();
}

std::string PortTableString(const std::vector<std::string>& table) {
  std::string value;
  for (size_t i = 0; i < table.size(); ++i) {
    if (i) value += ':';
    value += table[i];
  }
  return value;
}

std::string PortTableString() { return PortTableString(LoadPortTable()); }

PortDescription DescribePort(const std::string& path) {
  PortDescription d;
  const std::string real = RealPath(path);
  if (real.rfind("/dev/", 0) != 0) return d;
  d.device = BaseName(real);
  const std::string sys = kSysTty + d.device + "/device";
  d.driver = BaseName(RealPath(sys + "/driver"));
  // The USB device is an ancestor of the tty's device in sysfs.
  std::string dir = RealPath(sys);
  while (dir.size() > 1 && dir.rfind("/sys/devices", 0) == 0) {
    const std::string vendor = ReadLine(dir + "/idVendor");
    if (!vendor.empty()) {
      d.vendor = vendor;
      d.product = ReadLine(dir + "/idProduct");
      d.serial = ReadLine(dir + "/serial");
      break;
    }
    dir = dir.substr(0, dir.rfind('/'));
  }
  return d;
}
