#pragma once
// Fills the placeholders of a message: "DATEI", "NAME", "COM X" and the
// two characters backslash and r (a line break in texts from the settings).
#include <cstddef>
#include <string>
#include <string_view>

struct PlaceholderValues {
  std::string mainFile;    // DATEI
  std::string deviceName;  // NAME; empty: the default name of the language
  int comNumber = 1;       // COM X: one-based
  int language = 0;
};

// Each placeholder is replaced in one left-to-right pass, so a replacement
// that contains its own placeholder is not filled again. With a capacity
// (terminator included) the result is cut to capacity - 1 bytes.
std::string FillPlaceholders(std::string_view text, const PlaceholderValues& values,
                             std::size_t capacity = std::string::npos);

// Replaces the first "X" of text by the given value (minutes, a version).
std::string ReplaceFirstX(std::string_view text, std::string_view value);
