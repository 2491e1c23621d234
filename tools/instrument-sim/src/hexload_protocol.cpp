#include "hexload_protocol.h"

namespace sim::hexload {

uint16_t crc16(std::string_view bytes) {
  uint16_t crc = 0xFFFF;
  for (unsigned char c : bytes) {
    crc ^= static_cast<uint16_t>(c << 8);
    for (int i = 0; i < 8; ++i)
      crc = (crc & 0x8000) ? static_cast<uint16_t>((crc << 1) ^ 0x1021)
                           : static_cast<uint16_t>(crc << 1);
  }
  return crc;
}

std::string u32(uint32_t v) {
  std::string s;
  for (int i = 0; i < 4; ++i) s += static_cast<char>(v >> (8 * i));
  return s;
}

uint32_t readU32(std::string_view b, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(b[at + i]);
  return v;
}

std::string makeFrame(char type, std::string_view payload) {
  std::string body;
  body += type;
  body += static_cast<char>(payload.size() & 0xFF);
  body += static_cast<char>(payload.size() >> 8);
  body.append(payload);
  uint16_t crc = crc16(body);
  std::string f(1, static_cast<char>(kStx));
  f += body;
  f += static_cast<char>(crc & 0xFF);
  f += static_cast<char>(crc >> 8);
  return f;
}

Take takeFrame(std::string& buffer, char& type, std::string& payload) {
  size_t stx = buffer.find(static_cast<char>(kStx));
  if (stx == std::string::npos) {
    buffer.clear();
    return Take::Incomplete;
  }
  buffer.erase(0, stx);
  if (buffer.size() < 4) return Take::Incomplete;
  size_t length = static_cast<unsigned char>(buffer[2]) | static_cast<unsigned char>(buffer[3])
                                                              << 8;
  if (length > kMaxData + 4 + 256) {
    buffer.erase(0, 1);
    return Take::Damaged;
  }
  size_t total = 4 + length + 2;
  if (buffer.size() < total) return Take::Incomplete;
  std::string_view body(buffer.data() + 1, 3 + length);
  uint16_t got = static_cast<unsigned char>(buffer[total - 2]) |
                 static_cast<unsigned char>(buffer[total - 1]) << 8;
  bool ok = crc16(body) == got;
  type = buffer[1];
  payload = buffer.substr(4, length);
  buffer.erase(0, total);
  return ok ? Take::Frame : Take::Damaged;
}

}  // namespace sim::hexload
