#pragma once
// Frames of the MSP430 bootstrap loader: 0x80, command, L1, L2, L1 bytes,
// checksum (inverted XOR of the little-endian 16-bit words before it).
#include <cstdint>
#include <string>
#include <string_view>

namespace sim::bsl {

constexpr unsigned char kSync = 0x80, kAck = 0x90, kNak = 0xA0;

uint16_t checksum(std::string_view headerAndPayload);
bool checksumValid(std::string_view frame);
std::string makeDataFrame(std::string_view data);

}  // namespace sim::bsl
