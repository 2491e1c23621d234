#pragma once
// Upper-casing of Windows-1252 texts for the editor's comparisons. Two
// kinds exist on purpose: the plain character mapping of the C runtime
// (a-z only) and the locale-aware one that also knows the accented
// letters, which the search uses for its own text and the original texts.
#include <string>
#include <string_view>

std::string CharUpper(std::string_view text);
std::string AnsiUpper(std::string_view text);
std::string WithoutChars(std::string_view text, std::string_view remove);
