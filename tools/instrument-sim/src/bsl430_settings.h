#pragma once
// Bootstrap-loader constants that must match the instruments' firmware,
// read from an optional BSL430.ini in the current directory.
#include <string>

namespace sim {

struct Bsl430Settings {
  unsigned char passwordFill = 0xFF;   // PasswordFill
  unsigned defaultVector = 0x1E5;      // DefaultVector
  unsigned alternativeVector = 0x1E7;  // AlternativeVector
};

// Missing file or key: the built-in default. Returns false only when a
// present value cannot be read (error names it).
bool loadBsl430Settings(const std::string& path, Bsl430Settings& out, std::string& error);

}  // namespace sim
