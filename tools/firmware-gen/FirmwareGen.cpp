#include "FirmwareGen.h"

#include <cstdio>
#include <random>
#include <vector>

namespace {

std::string Record(char type, uint32_t address, const std::vector<uint8_t>& data) {
  const int count = 2 + static_cast<int>(data.size()) + 1;
  unsigned sum = static_cast<unsigned>(count) + ((address >> 8) & 0xFF) + (address & 0xFF);
  char buf[16];
  std::snprintf(buf, sizeof buf, "S%c%02X%04X", type, count, address & 0xFFFF);
  std::string line = buf;
  for (uint8_t b : data) {
    std::snprintf(buf, sizeof buf, "%02X", b);
    line += buf;
    sum += b;
  }
  std::snprintf(buf, sizeof buf, "%02X", ~sum & 0xFF);
  return line + buf + "\r\n";
}

}  // namespace

std::string SRecordVersionKey(const std::string& version) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "S0%02X0000", static_cast<int>(version.size() + 1 + 3));
  return buf;
}

std::string MakeSRecordFirmware(const std::string& version, std::size_t size, uint32_t seed) {
  std::vector<uint8_t> header(version.begin(), version.end());
  header.push_back(0);  // the version text ends with a zero byte
  std::string out = Record('0', 0, header);
  std::mt19937 rng(seed);
  for (std::size_t at = 0; at < size; at += 16) {
    std::vector<uint8_t> data;
    for (std::size_t i = at; i < size && i < at + 16; ++i) data.push_back(static_cast<uint8_t>(rng()));
    out += Record('1', static_cast<uint32_t>(0x1000 + at), data);
  }
  return out + Record('9', 0x1000, {});
}
