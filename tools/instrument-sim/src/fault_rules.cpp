#include "fault_rules.h"

#include <cstdio>
#include <sstream>

#include "ini_file.h"

namespace sim {

std::string selectorForByte(unsigned char command) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "0x%02x", command);
  return buf;
}

std::string normaliseSelector(const std::string& what) {
  std::string t = lower(trim(what));
  // "0x2" and "0x02" name the same bootstrap command.
  if (t.size() > 2 && t[0] == '0' && t[1] == 'x') {
    if (auto v = parseNumber(t)) return selectorForByte(static_cast<unsigned char>(*v));
  }
  return t;
}

FaultRule FaultRule::parse(const std::string& text) {
  FaultRule rule;
  std::istringstream in(text);
  std::string item;
  while (std::getline(in, item, ',')) {
    item = trim(item);
    if (item.empty()) continue;
    Entry e{item, 0};
    size_t colon = item.rfind(':');
    if (colon != std::string::npos) {
      e.what = item.substr(0, colon);
      auto n = parseNumber(item.substr(colon + 1));
      e.occurrence = n && *n > 0 ? static_cast<unsigned>(*n) : 0;
    }
    e.what = normaliseSelector(e.what);
    rule.entries_.push_back(e);
  }
  return rule;
}

bool FaultRule::matches(const std::string& what, unsigned occurrence) const {
  std::string w = normaliseSelector(what);
  for (const Entry& e : entries_)
    if (e.what == w && (e.occurrence == 0 || e.occurrence == occurrence)) return true;
  return false;
}

}  // namespace sim
