#pragma once
// The bytes of a Windows program whose version resource holds the given
// String entries, laid out as the resource compiler does: wLength,
// wValueLength, wType, the UTF-16 key, padding to 32 bits, the value.
#include <string>
#include <utility>
#include <vector>

inline std::string ProgramWithVersionResource(
    const std::vector<std::pair<std::string, std::string>>& strings) {
  std::string b = "MZ";
  b.resize(512, '\x90');
  auto word = [&](unsigned w) { b += static_cast<char>(w & 0xFF); b += static_cast<char>(w >> 8); };
  auto wide = [&](const std::string& s) { for (char c : s) word(static_cast<unsigned char>(c)); word(0); };
  auto align = [&] { while (b.size() % 4) b += '\0'; };
  for (const char* block : {"VS_VERSION_INFO", "StringFileInfo", "040704b0"}) {
    align();
    word(0x100), word(0), word(1), wide(block);
  }
  for (const auto& [key, value] : strings) {
    align();
    std::size_t start = b.size();
    word(0), word(static_cast<unsigned>(value.size() + 1)), word(1), wide(key);
    align();
    wide(value);
    b[start] = static_cast<char>(b.size() - start);  // entries here stay below 256 bytes
  }
  return b;
}

inline std::string ProgramWithFileVersion(const std::string& value) {
  return ProgramWithVersionResource({{"CompanyName", "Lab Instruments"},
                                     {"FileVersion", value},
                                     {"ProductVersion", "9.99"}});
}
