#pragma once
// Format conversions ("%d", "%s" …) in texts that the program fills in:
// a translation must keep the conversions of its original, in order.
#include <string>
#include <string_view>

// The letters of the conversions, left to right. "%%" is none, "%" and any
// other character is skipped, a "%" at the very end is none.
std::string ConversionLetters(std::string_view text);
bool HasConversion(std::string_view text);
// True when translation has exactly the conversions of original.
bool FormatMatches(std::string_view original, std::string_view translation);
