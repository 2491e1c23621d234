// Version texts inside firmware files: "key\x01file bytes". The text found
// fits the record's field and its number is defined.
#include "app/FileVersion.h"
#include "tests/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::string_view key, bytes;
  SplitInput(AsText(data, size), key, bytes);
  const std::string hex = DecodeHexVersion(bytes, key);
  const std::string resource = DecodeResourceVersion(bytes, key);
  FUZZ_CHECK(hex.size() <= 15 && resource.size() <= 15);
  (void)VersionNumber(hex);
  (void)VersionNumber(resource);
  (void)VersionNumber(bytes);
  (void)VersionModeOf(key, bytes);
  return 0;
}
