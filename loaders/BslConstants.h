#pragma once
// The bootstrap-loader constants that must match the instruments' firmware:
// the fill byte of the password and the two password vector texts. They
// come from an optional BSL430.ini in the current directory; a missing file
// or key gives the built-in value.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/BoundedFile.h"

struct BslConstants {
  uint8_t passwordFill = 0xFF;
  std::string defaultVector = "0x1E5";
  std::string alternativeVector = "0x1E7";
};

inline constexpr const char* kBslConstantsFile = "BSL430.ini";

struct BslConstantsResult {
  BslConstants constants;
  // Names the key whose value cannot be read; empty when all is well. A
  // wrong password makes the loader erase the whole flash, information
  // segments included, so a bad value is refused rather than replaced.
  std::string badKey;
  // A file that is there but refused (not a regular file, too large):
  // its constants are unknown, which is as bad as a wrong value.
  FileCheck file;

  bool ok() const { return badKey.empty() && file.fault != FileFault::NotRegular &&
                           file.fault != FileFault::TooLarge && file.fault != FileFault::Unreadable; }
};

BslConstantsResult LoadBslConstants(const std::string& fileName = kBslConstantsFile);
BslConstantsResult ParseBslConstants(std::string_view text);

// A vector text: "0x" (optional) and one to four hexadecimal digits.
// Returns -1 for anything else.
int32_t ParseVectorText(std::string_view text);
