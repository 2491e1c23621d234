#include <gtest/gtest.h>

#include "platform/Text1252.h"

TEST(Text1252, UmlautsAreSingleBytesAndRoundTrip) {
  const std::string german = "Ger\xE4t \x80";
  EXPECT_EQ(Cp1252ToUtf8(german), "Ger\xC3\xA4t \xE2\x82\xAC");
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(german)), german);
}

TEST(Text1252, EveryByteSurvivesTheRoundTrip) {
  std::string all;
  for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
  std::size_t replaced = 99;
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all), &replaced), all);
  EXPECT_EQ(replaced, 0u);
  // The five unassigned bytes are the C1 controls of the same value.
  EXPECT_EQ(Cp1252ToUtf8("\x81\x8D\x8F\x90\x9D"), "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D");
}

TEST(Text1252, MalformedUtf8BecomesOneQuestionMarkPerByte) {
  struct Case {
    const char* utf8;
    const char* cp1252;
  };
  for (const Case& c : {
           Case{"\xC0\xAF", "??"},                     // overlong '/'
           Case{"\xE0\x80\xAF", "???"},                // overlong, three bytes
           Case{"\xC3\x28", "?("},                     // continuation byte missing
           Case{"\x80\xA4", "??"},                     // stray continuation bytes
           Case{"\xED\xA0\x80", "???"},                // a surrogate
           Case{"\xF4\x90\x80\x80", "????"},           // above U+10FFFF
           Case{"\xC3", "?"},                          // cut off at the end
           Case{"\xC3\xA4\xF0\x9F\x98\x80", "\xE4?"},  // a valid character outside Windows-1252
       }) {
    std::size_t replaced = 0;
    EXPECT_EQ(Utf8ToCp1252(c.utf8, &replaced), c.cp1252) << c.utf8;
    EXPECT_GT(replaced, 0u);
  }
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));
  EXPECT_FALSE(IsValidUtf8("\xE4t"));
  EXPECT_TRUE(IsValidUtf8("Ger\xC3\xA4t \xE2\x82\xAC"));
}
