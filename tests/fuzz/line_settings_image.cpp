// The 20-byte line-settings image: whatever it decodes to encodes back to
// the same record, and a refused image leaves the record untouched.
#include <cstring>

#include "serial/V24Parameter.h"
#include "tests/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  V24ParameterTag record{};
  record.Baudrate = B__4800;
  const V24ParameterTag before = record;
  if (!DecodeV24Image(data, size, record)) {
    FUZZ_CHECK(std::memcmp(&before, &record, sizeof record) == 0);
    return 0;
  }
  FUZZ_CHECK(record.Baudrate < kBaudCount && record.Paritaet < kParitaetCount);
  const V24Image image = EncodeV24Image(record);
  V24ParameterTag again{};
  FUZZ_CHECK(DecodeV24Image(image.data(), image.size(), again));
  FUZZ_CHECK(EncodeV24Image(again) == image);
  (void)BaudRateOf(record.Baudrate);
  return 0;
}
