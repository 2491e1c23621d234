#include "language/EntryLine.h"

#include <cstdio>

std::string CompSection(std::string_view name) {
  std::string s = "[";
  s.append(name);
  s += ']';
  return s;
}

std::string HintSection(std::string_view name) {
  std::string s(kHintPrefix);
  s += CompSection(name);
  return s;
}

std::optional<EntryParts> SplitEntryLine(std::string_view line, std::string_view prefix,
                                         bool hint) {
  if (line.substr(0, prefix.size()) != prefix) return std::nullopt;
  std::size_t bracket = line.find(']');
  if (hint && bracket != std::string_view::npos) bracket = line.find(']', bracket + 1);
  if (bracket == std::string_view::npos) return std::nullopt;
  const std::size_t keyStart = bracket + 1;
  const std::size_t sep = line.find(kSeparator);
  // A line without a separator behind the key has no entry to give.
  if (sep == std::string_view::npos || sep < keyStart) return std::nullopt;
  EntryParts parts;
  parts.key = std::string(line.substr(keyStart, sep - keyStart));
  parts.translation = std::string(line.substr(sep + kSeparator.size()));
  return parts;
}

std::string FormatEntry(std::string_view prefix, std::string_view key,
                        std::string_view translation) {
  std::string s(prefix);
  s.append(key);
  s.append(kSeparator);
  s.append(translation);
  return s;
}

bool AppendEntry(std::FILE* file, std::string_view prefix, std::string_view key) {
  std::string line;
  if (std::fseek(file, -1, SEEK_END) == 0 && std::fgetc(file) != '\n') line = "\r\n";
  line += FormatEntry(prefix, key, {}) + "\r\n";
  std::fseek(file, 0, SEEK_END);
  return std::fwrite(line.data(), 1, line.size(), file) == line.size() && std::fflush(file) == 0;
}

bool AppendEntry(const std::string& fileName, std::string_view prefix, std::string_view key) {
  std::FILE* f = std::fopen(fileName.c_str(), "a+b");
  if (!f) return false;
  const bool ok = AppendEntry(f, prefix, key);
  return std::fclose(f) == 0 && ok;
}
