#pragma once
// Texts stay Windows-1252 byte strings inside the tool; they become Unicode
// only where they reach a widget or the console.
#include <cstddef>
#include <string>
#include <string_view>

// Lossless: the five bytes Windows-1252 leaves unassigned (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) become U+0081 ... as the usual decoders have them.
std::string Cp1252ToUtf8(std::string_view text);
// Strict: every byte of a malformed sequence (overlong form, surrogate,
// missing or stray continuation byte, above U+10FFFF) and every character
// outside Windows-1252 becomes '?'; `replaced` (when given) counts them.
// Cp1252ToUtf8 followed by Utf8ToCp1252 gives back every byte string.
std::string Utf8ToCp1252(std::string_view text, std::size_t* replaced = nullptr);
// True when text is well-formed UTF-8 (by the same rules).
bool IsValidUtf8(std::string_view text);
