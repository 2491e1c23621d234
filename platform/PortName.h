#pragma once
// A port named on the command line (--port): what a technician can read
// off the machine, turned into the one device of the port table.
#include <string>

// name is a device path, a name under /dev/serial/by-id or by-path (with or
// without that folder), a name under /dev, or the USB serial number that
// --list-ports shows. True with the device path to open; false with the
// reason.
bool ResolvePortName(const std::string& name, std::string& device, std::string& error);
