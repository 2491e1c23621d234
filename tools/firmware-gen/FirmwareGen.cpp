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
    for (std::size_t i = at; i < size && i < at + 16; ++i)
      data.push_back(static_cast<uint8_t>(rng()));
    out += Record('1', static_cast<uint32_t>(0x1000 + at), data);
  }
  return out + Record('9', 0x1000, {});
}

namespace {

void AppendTiTxtSection(std::string& out, uint32_t address, const std::vector<uint8_t>& data) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "@%04X\r\n", address);
  out += buf;
  for (std::size_t i = 0; i < data.size(); ++i) {
    std::snprintf(buf, sizeof buf, "%02X", data[i]);
    out += buf;
    out += (i % 16 == 15 || i + 1 == data.size()) ? "\r\n" : " ";
  }
}

}  // namespace

std::string MakeTiTxtFirmware(const std::string& version, std::size_t size, uint32_t seed) {
  std::string out;
  std::vector<uint8_t> text(version.begin(), version.end());
  text.push_back(0);
  if (text.size() % 2) text.push_back(0);
  AppendTiTxtSection(out, 0x1000, text);
  std::mt19937 rng(seed);
  std::vector<uint8_t> code(size);
  for (auto& b : code) b = static_cast<uint8_t>(rng());
  AppendTiTxtSection(out, 0x1100, code);
  std::vector<uint8_t> vectors(32, 0xFF);
  // The loader starts the firmware at the word of 0xFFFC; the processor's
  // reset vector at 0xFFFE points at the same code.
  vectors[28] = vectors[30] = 0x00;
  vectors[29] = vectors[31] = 0x11;
  AppendTiTxtSection(out, 0xFFE0, vectors);
  return out + "q\r\n";
}

std::string MakeProgramWithVersionResource(
    const std::vector<std::pair<std::string, std::string>>& strings) {
  std::string b = "MZ";
  b.resize(512, '\x90');
  auto word = [&](unsigned w) {
    b += static_cast<char>(w & 0xFF);
    b += static_cast<char>(w >> 8);
  };
  auto wide = [&](const std::string& s) {
    for (char c : s) word(static_cast<unsigned char>(c));
    word(0);
  };
  auto align = [&] {
    while (b.size() % 4) b += '\0';
  };
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

std::string MakeWinCeProgram(const std::string& version, std::size_t size, uint32_t seed) {
  std::string out = MakeProgramWithVersionResource({{"CompanyName", "Lab Instruments"},
                                                    {"FileVersion", "V" + version},
                                                    {"ProductVersion", "9.99"}});
  std::mt19937 rng(seed);
  for (std::size_t i = 0; i < size; ++i) out += static_cast<char>(rng());
  return out;
}
