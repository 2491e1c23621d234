#pragma once
// One Motorola S-record line as the Basic-Loader checks it.
#include <cstdint>
#include <string>
#include <string_view>

namespace sim {

struct SRecord {
  char type = 0;  // '0'..'9'
  uint32_t address = 0;
  std::string data;
  bool isData() const { return type >= '1' && type <= '3'; }
  bool isEnd() const { return type >= '7' && type <= '9'; }
};

// line without its line end. False with a reason when the record is defective.
bool parseSRecord(std::string_view line, SRecord& out, std::string& error);

}  // namespace sim
