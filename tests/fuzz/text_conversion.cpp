// Windows-1252 <-> UTF-8: every byte string survives the round trip, every
// conversion result is well-formed, and only valid UTF-8 converts without
// a replacement when it stays within Windows-1252.
#include "platform/Text1252.h"
#include "tests/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view bytes = AsText(data, size);
  const std::string utf8 = Cp1252ToUtf8(bytes);
  FUZZ_CHECK(IsValidUtf8(utf8));
  std::size_t replaced = 0;
  FUZZ_CHECK(Utf8ToCp1252(utf8, &replaced) == bytes);
  FUZZ_CHECK(replaced == 0);

  const std::string back = Utf8ToCp1252(bytes, &replaced);
  FUZZ_CHECK(back.size() <= bytes.size());
  if (!IsValidUtf8(bytes)) FUZZ_CHECK(replaced > 0);
  if (replaced == 0) FUZZ_CHECK(Cp1252ToUtf8(back) == bytes);
  return 0;
}
