#include "app/PortList.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/PortHolder.h"
#include "platform/PortTable.h"
#include "platform/SerialDevice.h"

namespace {

// free, held (by whom, when /proc tells), refused (permission) or absent.
std::string StateOf(const std::string& path) {
  const PortProbe probe = SerialDevice::Probe(path);
  if (probe.status == PortOpenStatus::Ok) return "free";
  if (probe.status == PortOpenStatus::Missing)
    return "absent (" + std::string(std::strerror(probe.error)) + ")";
  if (probe.error == EACCES || probe.error == EPERM)
    return "refused (permission denied: group dialout)";
  const std::string holder = PortHolderName(path);
  return holder.empty() ? "held" : "held by " + holder;
}

}  // namespace

int ListPorts() {
  const auto table = LoadPortTable();
  if (table.empty()) std::printf("no serial ports\n");
  for (size_t i = 0; i < table.size(); ++i) {
    if (table[i].empty()) continue;
    const PortDescription d = DescribePort(table[i]);
    std::string line = "COM" + std::to_string(i + 1) + "\t" + table[i];
    line += "\t" + (d.driver.empty() ? std::string("-") : d.driver);
    if (!d.vendor.empty()) {
      line += "\tUSB " + d.vendor + ":" + d.product;
      if (!d.serial.empty()) line += " serial " + d.serial;
    }
    line += "\t" + StateOf(table[i]);
    std::printf("%s\n", line.c_str());
  }
  std::fflush(stdout);
  return 0;
}
