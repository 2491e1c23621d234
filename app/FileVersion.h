#pragma once
// The version text stored inside a firmware file, and its number.
#include <cstdint>
#include <string>
#include <string_view>

#include "core/DeviceRecord.h"

enum class VersionReadMode {
  HexPairs = 0,        // hex pairs behind the key in the first 1000 bytes
  HexPairsAtEnd = 1,   // the same in the last 1000 bytes (key holds "S1094000")
  VersionResource = 2  // UTF-16 strings of a Windows version resource (exe, dll)
};

// Where ReadFileVersion puts its result.
enum class VersionSlot {
  ByRule,  // main slot when its text is empty (not in mode 1), else second
  Second,  // always the second (sensor) slot
};

// The mode is taken from the file's own name, not from its folder.
VersionReadMode VersionModeOf(std::string_view key, std::string_view fileName);

// Leading decimal number of text x 100.01, truncated: "1.23" -> 123,
// "12.5" -> 1250, "1.23,2.01" -> 123, "" or "Y.YY" -> 0.
int32_t VersionNumber(std::string_view text);

// Reads the version text of fileName (a path) found by key (Windows-1252),
// stores it with its number in the record and returns it; "" when the key
// is not found. A file that cannot be read is reported in a message box and
// gives "0".
std::string ReadFileVersion(std::string_view key, const std::string& fileName, DeviceRecord& record,
                            int language = 0, VersionSlot slot = VersionSlot::ByRule);

// The format parsers behind ReadFileVersion, on bytes already read.
std::string DecodeHexVersion(std::string_view bytes, std::string_view key);
std::string DecodeResourceVersion(std::string_view bytes, std::string_view key);
