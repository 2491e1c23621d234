#include "json_text.h"

#include <cstdio>

namespace sim {

std::string jsonString(std::string_view bytes) {
  std::string out = "\"";
  for (unsigned char c : bytes) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c >= 0x7F) {
          // Instruments speak Windows-1252; keep each byte visible as itself.
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string base64(std::string_view bytes) {
  static const char* table = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    unsigned v = (unsigned char)bytes[i] << 16 | (unsigned char)bytes[i + 1] << 8 |
                 (unsigned char)bytes[i + 2];
    for (int s = 18; s >= 0; s -= 6) out += table[(v >> s) & 63];
  }
  size_t rest = bytes.size() - i;
  if (rest) {
    unsigned v = (unsigned char)bytes[i] << 16;
    if (rest == 2) v |= (unsigned char)bytes[i + 1] << 8;
    out += table[(v >> 18) & 63];
    out += table[(v >> 12) & 63];
    out += rest == 2 ? table[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

std::string hexBytes(std::string_view bytes) {
  std::string out;
  char buf[4];
  for (unsigned char c : bytes) {
    std::snprintf(buf, sizeof buf, out.empty() ? "%02X" : " %02X", c);
    out += buf;
  }
  return out;
}

}  // namespace sim
