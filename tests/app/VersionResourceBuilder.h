#pragma once
// Builds the bytes of a Windows program file whose version resource holds
// the given string entries, laid out as the resource compiler does.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class VersionResourceBuilder {
 public:
  // leadingBytes of filler (starting with "MZ") come before the resource.
  explicit VersionResourceBuilder(std::size_t leadingBytes = 512) {
    bytes_ = "MZ";
    bytes_.resize(leadingBytes, '\x90');
    Align4();
  }

  // Appends a String structure: wLength, wValueLength, wType 1, key,
  // padding to 32 bits, value.
  VersionResourceBuilder& String(const std::string& key, const std::string& value) {
    Align4();
    std::size_t start = bytes_.size();
    Word(0);
    Word(static_cast<uint16_t>(value.size() + 1));
    Word(1);
    Wide(key);
    Align4();
    Wide(value);
    std::size_t length = bytes_.size() - start;
    bytes_[start] = static_cast<char>(length & 0xFF);
    bytes_[start + 1] = static_cast<char>(length >> 8);
    return *this;
  }

  // A header as StringFileInfo and StringTable have it (no value).
  VersionResourceBuilder& Block(const std::string& key) {
    Align4();
    Word(0x100);
    Word(0);
    Word(1);
    Wide(key);
    return *this;
  }

  VersionResourceBuilder& Filler(std::size_t count) {
    bytes_.append(count, '\x55');
    return *this;
  }

  const std::string& bytes() const { return bytes_; }

 private:
  void Word(uint16_t w) {
    bytes_.push_back(static_cast<char>(w & 0xFF));
    bytes_.push_back(static_cast<char>(w >> 8));
  }
  void Wide(const std::string& text) {
    for (char c : text) Word(static_cast<unsigned char>(c));
    Word(0);
  }
  void Align4() {
    while (bytes_.size() % 4 != 0) bytes_.push_back('\0');
  }

  std::string bytes_;
};
