#pragma once
// The bootstrap-loader constants that must match the instruments' firmware:
// the fill byte of the password and the two password vector texts. They
// come from BSL430.ini in the working folder. There is no built-in value:
// a wrong password makes the loader erase the whole flash, calibration data
// included, so a missing file or key stops the download before it starts.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/BoundedFile.h"

struct BslConstants {
  uint8_t passwordFill = 0;
  std::string defaultVector;
  std::string alternativeVector;
};

inline constexpr const char* kBslConstantsFile = "BSL430.ini";

struct BslConstantsResult {
  BslConstants constants;
  // Names the key whose value cannot be read; empty when all is well. A
  // wrong password makes the loader erase the whole flash, information
  // segments included, so a bad value is refused rather than replaced.
  std::string badKey;
  // The first key the file does not give; empty when all three are there.
  std::string missingKey;
  // A file that is missing or refused (not a regular file, too large): its
  // constants are unknown, which is as bad as a wrong value.
  FileCheck file;

  bool ok() const { return badKey.empty() && missingKey.empty() && file.ok(); }
};

// Why a download with these constants is refused, in the language (0
// German, 1 English), naming the file; empty when they are usable.
std::string BslConstantsRefusal(const BslConstantsResult& result, int language);

BslConstantsResult LoadBslConstants(const std::string& fileName = kBslConstantsFile);
BslConstantsResult ParseBslConstants(std::string_view text);

// A vector text: "0x" (optional) and one to four hexadecimal digits.
// Returns -1 for anything else.
int32_t ParseVectorText(std::string_view text);
