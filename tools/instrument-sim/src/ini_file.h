#pragma once
// Minimal reader for the simulator's INI files: "key = value" lines,
// ';' or '#' comments, [sections] only for the reader's eye.
#include <map>
#include <optional>
#include <string>

namespace sim {

class IniFile {
 public:
  bool load(const std::string& path);
  void parse(const std::string& text);

  // Keys are matched without regard to case or surrounding blanks.
  std::optional<std::string> get(const std::string& key) const;
  std::string get(const std::string& key, const std::string& fallback) const;
  const std::map<std::string, std::string>& entries() const { return entries_; }

 private:
  std::map<std::string, std::string> entries_;  // lower-case key -> value
};

std::string trim(const std::string& s);
std::string lower(std::string s);
// Accepts decimal, or hexadecimal with a leading "0x".
std::optional<long> parseNumber(const std::string& text);
bool parseBool(const std::string& text, bool fallback);

}  // namespace sim
