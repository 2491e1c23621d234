#include "core/Stringunit.h"

void InsertText(std::string_view text, std::string& buffer, int position, std::size_t capacity) {
  std::size_t at = position < 1 ? 0 : static_cast<std::size_t>(position - 1);
  if (at > buffer.size()) at = buffer.size();
  buffer.insert(at, text);
  if (capacity != std::string::npos && capacity > 0 && buffer.size() > capacity - 1)
    buffer.resize(capacity - 1);
}

void DeleteText(std::string& buffer, int position, int count) {
  if (position < 1 || count <= 0) return;
  std::size_t at = static_cast<std::size_t>(position - 1);
  if (at >= buffer.size()) return;
  buffer.erase(at, static_cast<std::size_t>(count));
}

int FindText(std::string_view text, std::string_view pattern, int start) {
  if (text.empty() || pattern.empty()) return 0;
  std::size_t from = start <= 1 ? 0 : static_cast<std::size_t>(start - 1);
  if (from >= text.size()) return 0;
  std::size_t at = text.find(pattern, from);
  return at == std::string_view::npos ? 0 : static_cast<int>(at + 1);
}

int HexValue(std::string_view text) {
  int value = 0;
  for (std::size_t i = 0; i < text.size() && i < 4; ++i) {
    char c = text[i];
    int digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else
      break;
    value = value * 16 + digit;
  }
  return value;
}
