#include "language/LineReader.h"

#include <fstream>
#include <iterator>

namespace {

constexpr int kCtrlZ = 26;

}  // namespace

bool readString(std::FILE* file, char* buffer, int size) {
  buffer[0] = '\0';
  bool result = false;
  int pos = 0;
  for (;;) {
    const int c = std::fgetc(file);
    if (c == EOF) break;
    if (c == kCtrlZ) {
      // Text mode ends the file at a Ctrl-Z: nothing after it is ever read.
      std::fseek(file, 0, SEEK_END);
      break;
    }
    result = true;
    if (c == '\r') continue;
    buffer[pos] = static_cast<char>(c);
    // Full buffer: the byte just read stays, the rest of the line waits.
    if (size != 0 && pos >= size - 2) {
      ++pos;
      break;
    }
    if (c == '\n') {
      buffer[pos] = '\0';
      return true;
    }
    ++pos;
  }
  buffer[pos] = '\0';
  return result;
}

std::vector<std::string> LoadWholeFile(const std::string& fileName) {
  std::vector<std::string> lines;
  std::ifstream in(fileName, std::ios::binary);
  if (!in) return lines;
  const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string line;
  bool open = false;  // a line has begun and not yet ended
  for (std::size_t i = 0; i < data.size(); ++i) {
    const char c = data[i];
    if (c == '\0') break;
    if (c == '\r' || c == '\n') {
      lines.push_back(line);
      line.clear();
      open = false;
      if (c == '\r' && i + 1 < data.size() && data[i + 1] == '\n') ++i;
      continue;
    }
    line += c;
    open = true;
  }
  if (open) lines.push_back(line);
  return lines;
}

bool SaveWholeFile(const std::string& fileName, const std::vector<std::string>& lines) {
  std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  for (const auto& line : lines) out << line << "\r\n";
  return static_cast<bool>(out);
}
