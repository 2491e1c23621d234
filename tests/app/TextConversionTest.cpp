#include <gtest/gtest.h>

#include "platform/Text1252.h"

TEST(Text1252, UmlautsAreSingleBytesAndRoundTrip) {
  const std::string german = "Ger\xE4t \x80";
  EXPECT_EQ(Cp1252ToUtf8(german), "Ger\xC3\xA4t \xE2\x82\xAC");
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(german)), german);
}
