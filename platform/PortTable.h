#pragma once
// The port table: index n (0-based) is COM(n+1) and maps to a device path.
// UPDATE_PORTS, when set, is the whole table (paths separated by ':', an
// empty entry is a number without a port); otherwise it is the machine's
// serial devices, found in sysfs without opening any of them.
#include <string>
#include <vector>

inline constexpr int kMaxPorts = 256;

// At most kMaxPorts entries; an empty path means "no port at this number".
std::vector<std::string> LoadPortTable();
// The machine's serial devices from sysfs, whatever UPDATE_PORTS says.
std::vector<std::string> MachinePortTable();
// An UPDATE_PORTS value as a table. A ':' separates entries only where the
// next entry is empty or an absolute path, so names under /dev/serial/by-path
// (which hold ':' themselves) stay whole.
std::vector<std::string> SplitPortTable(const std::string& value);
// Device path of port index `index`, empty when there is none.
std::string PortDevicePath(int index);
// The table as one UPDATE_PORTS value, for child processes.
std::string PortTableString();
std::string PortTableString(const std::vector<std::string>& table);

// What sysfs tells about the device behind a path (links such as
// /dev/serial/by-id/... are followed); empty fields are unknown.
struct PortDescription {
  std::string device;   // kernel name, e.g. ttyUSB0
  std::string driver;   // e.g. ftdi_sio, cdc_acm, serial8250
  std::string vendor;   // USB idVendor, 4 hex digits
  std::string product;  // USB idProduct
  std::string serial;   // USB serial number
};
PortDescription DescribePort(const std::string& path);
