#include "app/IniLines.h"

#include <fstream>
#include <iterator>

namespace {

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

std::optional<LineList> LoadLines(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) return std::nullopt;
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  LineList lines;
  std::size_t from = 0;
  while (from < all.size()) {
    std::size_t end = all.find('\n', from);
    std::string line = all.substr(from, end == std::string::npos ? std::string::npos : end - from);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    if (end == std::string::npos) break;
    from = end + 1;
  }
  return lines;
}

bool SaveLines(const std::string& fileName, const LineList& lines) {
  std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  for (const auto& line : lines) out << line << "\r\n";
  out.flush();
  return static_cast<bool>(out);
}

int FindName(const LineList& lines, std::string_view name) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::size_t eq = lines[i].find('=');
    if (eq == std::string::npos) continue;
    if (EqualNoCase(std::string_view(lines[i]).substr(0, eq), name)) return static_cast<int>(i);
  }
  return -1;
}

std::string LookupValue(const LineList& lines, std::string_view name) {
  int i = FindName(lines, name);
  if (i < 0) return {};
  const std::string& line = lines[static_cast<std::size_t>(i)];
  return line.substr(line.find('=') + 1);
}

void SetValue(LineList& lines, std::string_view name, std::string_view value) {
  std::string line = std::string(name) + "=" + std::string(value);
  int i = FindName(lines, name);
  if (i < 0) lines.push_back(std::move(line));
  else lines[static_cast<std::size_t>(i)] = std::move(line);
}
