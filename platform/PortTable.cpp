#include "platform/PortTable.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <utility>

namespace {

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

std::vector<std::string> DevicesOfGroup(std::string_view prefix) {
  std::vector<std::pair<long, std::string>> found;
  if (DIR* dir = ::opendir("/dev")) {
    while (const dirent* entry = ::readdir(dir)) {
      const long number = SuffixNumber(entry->d_name, prefix);
      if (number >= 0) found.emplace_back(number, std::string("/dev/") + entry->d_name);
    }
    ::closedir(dir);
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> paths;
  for (auto& f : found) paths.push_back(std::move(f.second));
  return paths;
}

// The kernel creates ttyS nodes for every possible legacy port; only those
// with a UART behind them are ports. Probing the others would cost the
// search a full time-out each.
bool UartPresent(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno == EBUSY || errno == EACCES;  // there, but held or guarded
  serial_struct info{};
  const bool present = ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
  ::close(fd);
  return present;
}

std::vector<std::string> SplitTable(const std::string& value) {
  std::vector<std::string> table;
  size_t start = 0;
  for (;;) {
    const size_t colon = value.find(':', start);
    table.push_back(value.substr(start, colon == std::string::npos ? colon : colon - start));
    if (colon == std::string::npos || table.size() >= static_cast<size_t>(kMaxPorts)) break;
    start = colon + 1;
  }
  return table;
}

}  // namespace

std::vector<std::string> LoadPortTable() {
  if (const char* env = std::getenv("UPDATE_PORTS")) return SplitTable(env);
  std::vector<std::string> table;
  for (auto& path : DevicesOfGroup("ttyS"))
    if (UartPresent(path)) table.push_back(std::move(path));
  for (const char* group : {"ttyUSB", "ttyACM", "ttyAMA", "rfcomm"})
    for (auto& path : DevicesOfGroup(group)) table.push_back(std::move(path));
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
