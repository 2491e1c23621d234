#include "memory_image.h"

#include <cstdio>
#include <vector>

namespace sim {

void MemoryImage::erase(uint32_t from, uint32_t to) {
  bytes_.erase(bytes_.lower_bound(from), bytes_.lower_bound(to));
}

namespace {

void record(std::string& out, uint8_t type, uint16_t address, const std::vector<uint8_t>& data) {
  unsigned sum = data.size() + (address >> 8) + (address & 0xFF) + type;
  char buf[16];
  std::snprintf(buf, sizeof buf, ":%02X%04X%02X", (unsigned)data.size(), address, type);
  out += buf;
  for (uint8_t b : data) {
    std::snprintf(buf, sizeof buf, "%02X", b);
    out += buf;
    sum += b;
  }
  std::snprintf(buf, sizeof buf, "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
  out += buf;
}

}  // namespace

std::string MemoryImage::toIntelHex() const {
  std::string out;
  uint32_t upper = 0;
  auto it = bytes_.begin();
  while (it != bytes_.end()) {
    uint32_t start = it->first;
    std::vector<uint8_t> data;
    // A record holds up to 16 consecutive bytes within one 64 KiB page.
    while (it != bytes_.end() && data.size() < 16 && it->first == start + data.size() &&
           (it->first >> 16) == (start >> 16)) {
      data.push_back(it->second);
      ++it;
    }
    if ((start >> 16) != upper) {
      upper = start >> 16;
      record(out, 4, 0, {static_cast<uint8_t>(upper >> 8), static_cast<uint8_t>(upper)});
    }
    record(out, 0, static_cast<uint16_t>(start), data);
  }
  record(out, 1, 0, {});
  return out;
}

}  // namespace sim
