#pragma once
// Port failures in words a technician can act on, in German and English
// (language 0 = German, 1 = English), as Windows-1252 bytes. The port layer
// hands over the device path and the errno; the texts are made here.
#include <string>

#include "platform/SerialDevice.h"
#include "serial/ComPort.h"

// "/dev/ttyUSB0: permission denied — add your user to the group dialout and
// log in again", "...: in use by another program (minicom, pid 812)", ...
std::string PortFailureText(const PortFailure& failure, int language);
// "/dev/ttyUSB0 was disconnected", with a line end.
std::string PortDisconnectedText(const std::string& path, int language);
// The driver refused the line settings, or applied others; with a line end.
std::string LineFaultText(const std::string& path, LineCheck check, int error, int language);
// One line, shown at start while ModemManager runs.
std::string ModemManagerHintText(int language);
