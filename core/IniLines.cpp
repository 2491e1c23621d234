#include "core/IniLines.h"

#include <algorithm>
#include <fstream>

#include "platform/Text1252.h"

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

std::optional<LineList> LoadLines(const std::string& fileName, LinesSource* source) {
  LinesSource local;
  LinesSource& src = source ? *source : local;
  std::string all;
  src.check = ReadBoundedFile(fileName, kSettingsFileLimit, all);
  if (!src.check.ok()) return std::nullopt;
  return SplitLines(all, &src);
}

LineList SplitLines(std::string_view all, LinesSource* source) {
  if (all.substr(0, 3) == "\xEF\xBB\xBF") all.remove_prefix(3);
  std::string converted;
  const bool nonAscii = std::any_of(all.begin(), all.end(),
                                    [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
  if (nonAscii && IsValidUtf8(all)) {
    std::size_t replaced = 0;
    converted = Utf8ToCp1252(all, &replaced);
    all = converted;
    if (source) {
      source->utf8 = true;
      source->replaced = replaced;
    }
  }
  LineList lines;
  std::size_t from = 0;
  while (from < all.size()) {
    std::size_t end = all.find_first_of("\r\n", from);
    if (end == std::string_view::npos) end = all.size();
    lines.emplace_back(all.substr(from, end - from));
    // CR CR LF is what a CR LF file becomes when written once more in text mode.
    if (all.substr(end, 3) == "\r\r\n")
      end += 3;
    else if (all.substr(end, 2) == "\r\n")
      end += 2;
    else if (end < all.size())
      end += 1;
    from = end;
  }
  return lines;
}

std::string ConversionNote(const LinesSource& source) {
  if (!source.utf8) return {};
  std::string note = "read as UTF-8 and converted to Windows-1252";
  if (source.replaced > 0)
    note +=
        "; " + std::to_string(source.replaced) + " character(s) outside Windows-1252 became '?'";
  return note;
}

long WholeNumber(std::string_view value, long max) {
  while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
  while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
  if (value.empty()) return -1;
  long n = 0;
  for (char c : value) {
    if (c < '0' || c > '9') return -1;
    n = n * 10 + (c - '0');
    if (n > max) return -1;
  }
  return n;
}

bool SaveLines(const std::string& fileName, const LineList& lines) {
  std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  for (const auto& line : lines) out << line << "\r\n";
  out.flush();
  return static_cast<bool>(out);
}

std::string ReplaceValueInText(std::string_view text, std::string_view name,
                               std::string_view value) {
  const std::size_t bom = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
  std::size_t from = bom;
  while (from < text.size()) {
    std::size_t end = text.find_first_of("\r\n", from);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(from, end - from);
    const std::size_t eq = line.find('=');
    if (eq != std::string_view::npos && EqualNoCase(line.substr(0, eq), name)) {
      std::string out(text.substr(0, from + eq + 1));
      out += value;
      out += text.substr(end);
      return out;
    }
    // The same line ends as SplitLines knows them.
    if (text.substr(end, 3) == "\r\r\n")
      end += 3;
    else if (text.substr(end, 2) == "\r\n")
      end += 2;
    else if (end < text.size())
      end += 1;
    from = end;
  }
  std::string_view ending = "\r\n";
  const std::size_t firstEnd = text.find_first_of("\r\n", bom);
  if (firstEnd != std::string_view::npos) {
    if (text.substr(firstEnd, 3) == "\r\r\n")
      ending = text.substr(firstEnd, 3);
    else if (text.substr(firstEnd, 2) == "\r\n")
      ending = text.substr(firstEnd, 2);
    else
      ending = text.substr(firstEnd, 1);
  }
  std::string out(text.substr(0, bom));
  out += name;
  out += '=';
  out += value;
  out += ending;
  out += text.substr(bom);
  return out;
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
  if (i < 0)
    lines.push_back(std::move(line));
  else
    lines[static_cast<std::size_t>(i)] = std::move(line);
}
