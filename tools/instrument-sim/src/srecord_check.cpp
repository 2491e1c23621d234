#include "srecord_check.h"

#include <cctype>

namespace sim {
namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool parseSRecord(std::string_view line, SRecord& out, std::string& error) {
  if (line.size() < 4 || line[0] != 'S' || line[1] < '0' || line[1] > '9' || line[1] == '4') {
    error = "not an S-record";
    return false;
  }
  std::string bytes;
  for (size_t i = 2; i + 1 < line.size(); i += 2) {
    int hi = hexValue(line[i]), lo = hexValue(line[i + 1]);
    if (hi < 0 || lo < 0) {
      error = "not a hexadecimal digit";
      return false;
    }
    bytes += static_cast<char>(hi << 4 | lo);
  }
  if (line.size() % 2 != 0) {
    error = "odd number of digits";
    return false;
  }
  size_t count = static_cast<unsigned char>(bytes[0]);
  if (count + 1 != bytes.size()) {
    error = "byte count " + std::to_string(count) + " does not match the record";
    return false;
  }
  unsigned sum = 0;
  for (size_t i = 0; i + 1 < bytes.size(); ++i) sum += static_cast<unsigned char>(bytes[i]);
  if (static_cast<unsigned char>(~sum) != static_cast<unsigned char>(bytes.back())) {
    error = "checksum wrong";
    return false;
  }
  out.type = line[1];
  size_t addressLength = 2;
  if (out.type == '2' || out.type == '8' || out.type == '6') addressLength = 3;
  if (out.type == '3' || out.type == '7') addressLength = 4;
  if (count < addressLength + 1) {
    error = "record shorter than its address";
    return false;
  }
  out.address = 0;
  for (size_t i = 0; i < addressLength; ++i)
    out.address = out.address << 8 | static_cast<unsigned char>(bytes[1 + i]);
  out.data = bytes.substr(1 + addressLength, count - addressLength - 1);
  return true;
}

}  // namespace sim
