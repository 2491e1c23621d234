#pragma once
// Text helpers with 1-based positions, as the workflow code counts them.
#include <cstddef>
#include <string>
#include <string_view>

// Inserts text before the 1-based position (past the end: appended). With a
// capacity (terminator included) the result is cut to capacity - 1 bytes.
void InsertText(std::string_view text, std::string& buffer, int position,
                std::size_t capacity = std::string::npos);
// Deletes count characters from the 1-based position; out-of-range parts
// are ignored.
void DeleteText(std::string& buffer, int position, int count);
// 1-based position of pattern at or after the 1-based start (0 and 1 both
// mean the whole text); 0 when absent or when text or pattern is empty.
int FindText(std::string_view text, std::string_view pattern, int start = 0);
// Value of up to four hexadecimal digits, right-aligned, either case. The
// value ends at the first character that is not a hexadecimal digit.
int HexValue(std::string_view text);

// The substring test of the identification and version rules: an empty
// text or an empty pattern never matches.
inline bool ContainsText(std::string_view text, std::string_view pattern) {
  return FindText(text, pattern) > 0;
}
