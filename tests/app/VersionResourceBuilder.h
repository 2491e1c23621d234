#pragma once
// The bytes of a Windows program whose version resource holds the given
// String entries (the generator's layout, as the resource compiler does).
#include <string>
#include <utility>
#include <vector>

#include "FirmwareGen.h"

inline std::string ProgramWithVersionResource(
    const std::vector<std::pair<std::string, std::string>>& strings) {
  return MakeProgramWithVersionResource(strings);
}

inline std::string ProgramWithFileVersion(const std::string& value) {
  return ProgramWithVersionResource(
      {{"CompanyName", "Lab Instruments"}, {"FileVersion", value}, {"ProductVersion", "9.99"}});
}
