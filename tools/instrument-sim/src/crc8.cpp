#include "crc8.h"

namespace sim {

uint8_t crc8(std::string_view data) {
  uint8_t crc = 0xFF;
  for (unsigned char c : data) {
    crc ^= c;
    for (int i = 0; i < 8; ++i)
      crc = (crc & 0x80) ? static_cast<uint8_t>((crc << 1) ^ 0x1D) : static_cast<uint8_t>(crc << 1);
  }
  return crc;
}

uint8_t frameCheckCharacter(std::string_view data) {
  uint8_t c = crc8(data);
  if (c == 0x00) return 0x01;
  if (c == 'D' || c == ',' || c == '#') return static_cast<uint8_t>(c + 1);
  return c;
}

}  // namespace sim
