#pragma once
// udev's stable names for serial adapters (/dev/serial/by-id/...): they
// survive re-plugging, where ttyUSB numbers do not.
#include <string>

// The /dev/serial/by-id link that leads to the device, or empty.
std::string SerialByIdPath(const std::string& devicePath);
