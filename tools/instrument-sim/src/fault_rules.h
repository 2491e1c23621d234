#pragma once
// Fault selectors of a profile: "<what>[:<n>]" separated by commas, where
// <what> is a command code ("A.2001"), a bootstrap command byte ("0x12")
// or "sync", and n picks the n-th occurrence (1-based; none = every one).
#include <map>
#include <string>
#include <vector>

namespace sim {

class FaultRule {
 public:
  static FaultRule parse(const std::string& text);
  bool matches(const std::string& what, unsigned occurrence) const;
  bool empty() const { return entries_.empty(); }

 private:
  struct Entry {
    std::string what;     // normalised (lower case)
    unsigned occurrence;  // 0 = every time
  };
  std::vector<Entry> entries_;
};

// Counts occurrences per selector so that all fault kinds see the same n.
class OccurrenceCounter {
 public:
  unsigned bump(const std::string& what) { return ++counts_[what]; }

 private:
  std::map<std::string, unsigned> counts_;
};

std::string selectorForByte(unsigned char command);
std::string normaliseSelector(const std::string& what);

}  // namespace sim
