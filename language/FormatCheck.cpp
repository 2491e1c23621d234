#include "language/FormatCheck.h"

namespace {

constexpr std::string_view kConversionLetters = "diouxXfegEGcsnp";

}  // namespace

std::string ConversionLetters(std::string_view text) {
  std::string letters;
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '%') continue;
    const char c = text[++i];
    if (kConversionLetters.find(c) != std::string_view::npos) letters += c;
  }
  return letters;
}

bool HasConversion(std::string_view text) { return !ConversionLetters(text).empty(); }

bool FormatMatches(std::string_view original, std::string_view translation) {
  return ConversionLetters(original) == ConversionLetters(translation);
}
