#include "language/TextCase.h"

namespace {

unsigned char AnsiUpperChar(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
  // à..þ except ÷ lie 32 above their capitals.
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 32);
  switch (c) {
    case 0x9A: return 0x8A;  // š
    case 0x9C: return 0x8C;  // œ
    case 0x9E: return 0x8E;  // ž
    case 0xFF: return 0x9F;  // ÿ
    default: return c;
  }
}

}  // namespace

std::string CharUpper(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return out;
}

std::string AnsiUpper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(AnsiUpperChar(static_cast<unsigned char>(c)));
  return out;
}

std::string WithoutChars(std::string_view text, std::string_view remove) {
  std::string out;
  out.reserve(text.size());
  for (char c : text)
    if (remove.find(c) == std::string_view::npos) out += c;
  return out;
}
