#pragma once
// The port table: index n (0-based) is COM(n+1) and maps to a device path.
// UPDATE_PORTS, when set, is the whole table (paths separated by ':', an
// empty entry is a number without a port); otherwise it is the machine's
// serial devices.
#include <string>
#include <vector>

inline constexpr int kMaxPorts = 256;

// At most kMaxPorts entries; an empty path means "no port at this number".
std::vector<std::string> LoadPortTable();
// Device path of port index `index`, empty when there is none.
std::string PortDevicePath(int index);
// The table as one UPDATE_PORTS value, for child processes.
std::string PortTableString();
std::string PortTableString(const std::vector<std::string>& table);
