#pragma once
// Small helpers for writing the JSON report by hand.
#include <string>
#include <string_view>

namespace sim {

std::string jsonString(std::string_view bytes);  // quoted, bytes >= 0x80 as \u00XX
std::string base64(std::string_view bytes);
std::string hexBytes(std::string_view bytes);  // "80 1E 04 04"

}  // namespace sim
