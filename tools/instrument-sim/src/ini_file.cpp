#include "ini_file.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace sim {

std::string trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::optional<long> parseNumber(const std::string& text) {
  std::string t = trim(text);
  if (t.empty()) return std::nullopt;
  int base = 10;
  if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) base = 16;
  char* end = nullptr;
  long v = std::strtol(t.c_str(), &end, base);
  if (end == t.c_str() || *end != '\0') return std::nullopt;
  return v;
}

bool parseBool(const std::string& text, bool fallback) {
  std::string t = lower(trim(text));
  if (t == "1" || t == "yes" || t == "true" || t == "on") return true;
  if (t == "0" || t == "no" || t == "false" || t == "off") return false;
  return fallback;
}

bool IniFile::load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::stringstream ss;
  ss << in.rdbuf();
  parse(ss.str());
  return true;
}

void IniFile::parse(const std::string& text) {
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    std::string t = trim(line);
    if (t.empty() || t[0] == ';' || t[0] == '#' || t[0] == '[') continue;
    size_t eq = t.find('=');
    if (eq == std::string::npos) continue;
    entries_[lower(trim(t.substr(0, eq)))] = trim(t.substr(eq + 1));
  }
}

std::optional<std::string> IniFile::get(const std::string& key) const {
  auto it = entries_.find(lower(trim(key)));
  if (it == entries_.end()) return std::nullopt;
  return it->second;
}

std::string IniFile::get(const std::string& key, const std::string& fallback) const {
  auto v = get(key);
  return v ? *v : fallback;
}

}  // namespace sim
