#include "bsl_frame.h"

namespace sim::bsl {

uint16_t checksum(std::string_view bytes) {
  uint16_t x = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    uint16_t b = static_cast<unsigned char>(bytes[i]);
    x ^= (i % 2 == 0) ? b : static_cast<uint16_t>(b << 8);
  }
  return static_cast<uint16_t>(x ^ 0xFFFF);
}

bool checksumValid(std::string_view frame) {
  if (frame.size() < 6) return false;
  size_t n = frame.size() - 2;
  uint16_t got = static_cast<unsigned char>(frame[n]) | static_cast<unsigned char>(frame[n + 1])
                                                            << 8;
  return checksum(frame.substr(0, n)) == got;
}

std::string makeDataFrame(std::string_view data) {
  std::string f;
  f += static_cast<char>(kSync);
  f += '\0';  // the loader's answers carry no command byte of their own
  f += static_cast<char>(data.size());
  f += static_cast<char>(data.size());
  f.append(data);
  uint16_t ck = checksum(f);
  f += static_cast<char>(ck & 0xFF);
  f += static_cast<char>(ck >> 8);
  return f;
}

}  // namespace sim::bsl
