// Message placeholders: "text\x01name" with the first byte of the name
// choosing the capacity. The result respects the capacity.
#include "core/Placeholders.h"
#include "tests/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::string_view text, name;
  SplitInput(AsText(data, size), name, text);
  PlaceholderValues values;
  values.mainFile = std::string(name);
  values.deviceName = std::string(name.substr(0, name.size() / 2));
  values.comNumber = name.empty() ? 1 : static_cast<unsigned char>(name[0]);
  values.language = name.size() % 2;
  const std::size_t capacity = name.empty() ? 512 : static_cast<unsigned char>(name[0]) * 4 + 1;
  FUZZ_CHECK(FillPlaceholders(text, values, capacity).size() <= capacity - 1);
  (void)FillPlaceholders(text, values);
  (void)ReplaceFirstX(text, name);
  return 0;
}
