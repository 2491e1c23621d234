#pragma once
// Texts stay Windows-1252 byte strings inside the tool; they become Unicode
// only where they reach a widget or the console.
#include <string>
#include <string_view>

std::string Cp1252ToUtf8(std::string_view text);
// Characters outside Windows-1252 become '?'.
std::string Utf8ToCp1252(std::string_view text);
