#pragma once
// Memory of the simulated MSP430: RAM, the loader ROM with its
// identification bytes at 0x0FF0, and flash from 0x1000 up to 0x1FFFF
// (64 KiB plus the high 64 KiB reached through the memory offset).
#include <cstdint>
#include <vector>

namespace sim {

class Msp430Memory {
 public:
  enum class Area { Invalid, Ram, Rom, Flash };

  static constexpr uint32_t kRamStart = 0x0200, kRamEnd = 0x0A00;
  static constexpr uint32_t kRomStart = 0x0C00, kFlashStart = 0x1000, kEnd = 0x20000;

  Msp430Memory();
  void reset(bool oldFirmware, unsigned deviceId, unsigned bslVersion);

  Area area(uint32_t address) const;
  uint8_t read(uint32_t address) const { return address < kEnd ? bytes_[address] : 0xFF; }
  void write(uint32_t address, uint8_t value) { bytes_[address] = value; }
  bool erased(uint32_t address) const { return bytes_[address] == 0xFF; }

  // Erases the flash segment holding address; returns [from, to).
  std::pair<uint32_t, uint32_t> eraseSegment(uint32_t address);

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace sim
