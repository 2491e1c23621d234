#include "platform/Text1252.h"

#include <cstdint>

namespace {

// 0x80..0x9F of Windows-1252; the five unassigned positions map to the
// C1 control of the same value.
constexpr char16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t ToUnicode(unsigned char c) { return c >= 0x80 && c < 0xA0 ? kHigh[c - 0x80] : c; }

void AppendUtf8(std::string& out, char32_t u) {
  if (u < 0x80) {
    out += static_cast<char>(u);
  } else if (u < 0x800) {
    out += static_cast<char>(0xC0 | (u >> 6));
    out += static_cast<char>(0x80 | (u & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (u >> 12));
    out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (u & 0x3F));
  }
}

// Decodes one character at text[i]; returns its length, or 0 when the
// bytes there are not a well-formed sequence.
std::size_t DecodeOne(std::string_view text, std::size_t i, char32_t& u) {
  const auto c = static_cast<unsigned char>(text[i]);
  std::size_t len;
  char32_t min;
  if (c < 0x80) {
    u = c;
    return 1;
  } else if (c >= 0xC2 && c <= 0xDF) {
    u = c & 0x1F, len = 2, min = 0x80;
  } else if (c >= 0xE0 && c <= 0xEF) {
    u = c & 0x0F, len = 3, min = 0x800;
  } else if (c >= 0xF0 && c <= 0xF4) {
    u = c & 0x07, len = 4, min = 0x10000;
  } else {
    return 0;  // a stray continuation byte, C0/C1 (overlong) or F5..FF
  }
  if (i + len > text.size()) return 0;
  for (std::size_t k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(text[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    u = (u << 6) | (b & 0x3F);
  }
  if (u < min || u > 0x10FFFF || (u >= 0xD800 && u <= 0xDFFF)) return 0;
  return len;
}

}  // namespace

std::string Cp1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (unsigned char c : text) AppendUtf8(out, ToUnicode(c));
  return out;
}

std::string Utf8ToCp1252(std::string_view text, std::size_t* replaced) {
  std::string out;
  out.reserve(text.size());
  std::size_t lost = 0;
  for (std::size_t i = 0; i < text.size();) {
    char32_t u = 0;
    const std::size_t len = DecodeOne(text, i, u);
    if (len == 0) {
      // One '?' per byte: the next byte may start a good sequence.
      out += '?';
      ++lost;
      ++i;
      continue;
    }
    i += len;
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
      out += static_cast<char>(u);
      continue;
    }
    char mapped = '?';
    for (int k = 0; k < 32; ++k)
      if (kHigh[k] == u) mapped = static_cast<char>(0x80 + k);
    if (mapped == '?') ++lost;
    out += mapped;
  }
  if (replaced) *replaced = lost;
  return out;
}

bool IsValidUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    char32_t u = 0;
    const std::size_t len = DecodeOne(text, i, u);
    if (len == 0) return false;
    i += len;
  }
  return true;
}
