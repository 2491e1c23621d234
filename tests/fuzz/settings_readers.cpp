// Update.ini, ProgDevice.ini and BSL430.ini from any text: the tables stay
// within their capacities and nothing throws.
#include "app/DeviceTable.h"
#include "core/IniLines.h"
#include "app/Settings.h"
#include "loaders/BslConstants.h"
#include "tests/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view text = AsText(data, size);
  LinesSource source;
  const LineList lines = SplitLines(text, &source);
  for (const std::string& line : lines) FUZZ_CHECK(line.find_first_of("\r\n") == std::string::npos);

  UpdateSettings settings;
  std::vector<std::string> notes;
  ReadUpdateLines(lines, settings, &notes);
  FUZZ_CHECK(settings.language == 0 || settings.language == 1);
  FUZZ_CHECK(!settings.baudList.empty() &&
             settings.baudList.size() <= UpdateSettings::kMaxBaudEntries);
  for (uint8_t tag : settings.baudList) FUZZ_CHECK(tag <= UpdateSettings::kMaxBaudTag);
  FUZZ_CHECK(settings.version.size() <= 255);
  FUZZ_CHECK(!settings.fixedPort ||
             (settings.fixedPortIndex >= 0 && settings.fixedPortIndex < 256));

  DeviceTable table;
  ReadProgDeviceLines(lines, table, &notes);
  FUZZ_CHECK(table.entries.size() <= DeviceTable::kCapacity);
  FUZZ_CHECK(table.StartCommandIndex >= 0 && table.StartCommandIndex <= 3);
  for (const DeviceEntry& e : table.entries)
    FUZZ_CHECK(LoaderKindOf(e.ProgFile2.view()) >= kLoaderSRecord);

  const BslConstantsResult constants = ParseBslConstants(text);
  if (constants.ok()) {
    FUZZ_CHECK(ParseVectorText(constants.constants.defaultVector) >= 0);
    FUZZ_CHECK(ParseVectorText(constants.constants.alternativeVector) >= 0);
  }
  return 0;
}
