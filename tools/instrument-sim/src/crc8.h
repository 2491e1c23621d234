#pragma once
// Check character of the Windows-CE data frames: CRC-8, polynomial 0x1D,
// start value 0xFF, no reflection, no final XOR; then moved off the
// characters that delimit the frame header.
#include <cstdint>
#include <string_view>

namespace sim {

uint8_t crc8(std::string_view data);
uint8_t frameCheckCharacter(std::string_view data);

}  // namespace sim
