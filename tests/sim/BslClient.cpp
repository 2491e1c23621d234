#include "BslClient.h"

#include <gtest/gtest.h>
#include <sstream>

namespace simtest {

std::string bslFrame(int command, const std::string& payload) {
  std::string f =
      bytes({0x80, command, static_cast<int>(payload.size()), static_cast<int>(payload.size())}) +
      payload;
  unsigned lo = 0, hi = 0;
  for (size_t i = 0; i < f.size(); ++i) (i % 2 ? hi : lo) ^= static_cast<unsigned char>(f[i]);
  f += static_cast<char>(lo ^ 0xFF);
  f += static_cast<char>(hi ^ 0xFF);
  return f;
}

bool bslChecksumValid(const std::string& frame) {
  unsigned lo = 0, hi = 0;
  for (size_t i = 0; i + 2 < frame.size(); ++i)
    (i % 2 ? hi : lo) ^= static_cast<unsigned char>(frame[i]);
  return static_cast<unsigned char>(frame[frame.size() - 2]) == (lo ^ 0xFF) &&
         static_cast<unsigned char>(frame[frame.size() - 1]) == (hi ^ 0xFF);
}

std::string bslPassword(int fill, unsigned vector) {
  return bytes({0xFF, 0xFF, 0xFF, 0xFF}) + std::string(30, static_cast<char>(fill)) +
         bytes({static_cast<int>(vector & 0xFF), static_cast<int>(vector >> 8)});
}

std::string bslAddress(unsigned address, unsigned second) {
  return bytes({static_cast<int>(address & 0xFF), static_cast<int>((address >> 8) & 0xFF),
                static_cast<int>(second & 0xFF), static_cast<int>(second >> 8)});
}

void BslClient::sync() {
  c_.write(bytes({0x80}));
  EXPECT_EQ(hex(c_.readBytes(1)), "90") << "SYNC not acknowledged";
}

int BslClient::command(const std::string& frame) {
  sync();
  c_.write(frame);
  std::string a = c_.readBytes(1);
  return a.empty() ? -1 : static_cast<unsigned char>(a[0]);
}

std::string BslClient::dataCommand(const std::string& frame) {
  sync();
  c_.write(frame);
  std::string head = c_.readBytes(4);
  if (head.size() < 4) return head;
  return head + c_.readBytes(static_cast<unsigned char>(head[2]) + 2u);
}

std::string BslClient::read(unsigned address, unsigned count) {
  std::string f = dataCommand(bslFrame(0x14, bslAddress(address, count)));
  EXPECT_TRUE(bslChecksumValid(f));
  return f.size() > 6 ? f.substr(4, f.size() - 6) : "";
}

int BslClient::program(unsigned address, const std::string& data) {
  return command(bslFrame(0x12, bslAddress(address, static_cast<unsigned>(data.size())) + data));
}

int BslClient::erase(unsigned address) {
  return command(bslFrame(0x16, bslAddress(address, 0xA502)));
}

std::map<unsigned, unsigned char> parseIntelHex(const std::string& text) {
  std::map<unsigned, unsigned char> out;
  std::istringstream in(text);
  std::string line;
  unsigned upper = 0;
  while (std::getline(in, line)) {
    if (line.size() < 11 || line[0] != ':') continue;
    auto byteAt = [&](size_t i) {
      return static_cast<unsigned>(std::stoul(line.substr(1 + 2 * i, 2), nullptr, 16));
    };
    unsigned n = byteAt(0), address = byteAt(1) << 8 | byteAt(2), type = byteAt(3);
    if (type == 4) upper = (byteAt(4) << 8 | byteAt(5)) << 16;
    if (type == 0)
      for (unsigned i = 0; i < n; ++i)
        out[upper + address + i] = static_cast<unsigned char>(byteAt(4 + i));
  }
  return out;
}

}  // namespace simtest
