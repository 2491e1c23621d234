#include "msp430_memory.h"

namespace sim {

Msp430Memory::Msp430Memory() : bytes_(kEnd, 0xFF) {}

void Msp430Memory::reset(bool oldFirmware, unsigned deviceId, unsigned bslVersion) {
  bytes_.assign(kEnd, 0xFF);
  for (uint32_t a = kRamStart; a < kRamEnd; ++a) bytes_[a] = 0;
  // The loader's identification block, laid out as its version reply.
  bytes_[0x0FF0] = static_cast<uint8_t>(deviceId >> 8);
  bytes_[0x0FF1] = static_cast<uint8_t>(deviceId);
  bytes_[0x0FFA] = static_cast<uint8_t>(bslVersion >> 8);
  bytes_[0x0FFB] = static_cast<uint8_t>(bslVersion);
  if (oldFirmware) {
    // Previous firmware in main and high flash; information memory
    // stays erased.
    for (uint32_t a = 0x1100; a < kEnd; ++a) bytes_[a] = static_cast<uint8_t>(a * 7 + (a >> 8));
  }
}

Msp430Memory::Area Msp430Memory::area(uint32_t a) const {
  if (a >= kRamStart && a < kRamEnd) return Area::Ram;
  if (a >= kRomStart && a < kFlashStart) return Area::Rom;
  if (a >= kFlashStart && a < kEnd) return Area::Flash;
  return Area::Invalid;
}

std::pair<uint32_t, uint32_t> Msp430Memory::eraseSegment(uint32_t a) {
  uint32_t from, to;
  if (a < 0x1100) {  // information memory: 128-byte segments
    from = a & ~0x7Fu;
    to = from + 0x80;
  } else if (a < 0x1200) {  // main flash starts with a half segment
    from = 0x1100;
    to = 0x1200;
  } else {
    from = a & ~0x1FFu;
    to = from + 0x200;
  }
  for (uint32_t i = from; i < to; ++i) bytes_[i] = 0xFF;
  return {from, to};
}

}  // namespace sim
