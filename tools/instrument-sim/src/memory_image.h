#pragma once
// Sparse byte image of what a loader wrote, printed as Intel-hex.
#include <cstdint>
#include <map>
#include <string>

namespace sim {

class MemoryImage {
 public:
  void set(uint32_t address, uint8_t value) { bytes_[address] = value; }
  void erase(uint32_t from, uint32_t to);  // [from, to)
  bool empty() const { return bytes_.empty(); }
  const std::map<uint32_t, uint8_t>& bytes() const { return bytes_; }
  std::string toIntelHex() const;

 private:
  std::map<uint32_t, uint8_t> bytes_;
};

}  // namespace sim
