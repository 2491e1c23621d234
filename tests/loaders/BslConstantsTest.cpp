#include <gtest/gtest.h>

#include <filesystem>

#include "loaders/BslConstants.h"
#include "tests/support/TempDir.h"

// There is no built-in password: a guessed one makes the loader erase the
// whole flash, calibration data included.
TEST(BslConstantsFile, RefusesAMissingFileOrKeyNamingTheFileAndWhy) {
  TempDir dir;
  struct Case {
    const char* text;  // nullptr: no file
    const char* says;
  } cases[] = {
      {nullptr, "BSL430.ini does not exist"},
      {"PasswordFill = a5\r\nalternativevector=0x2F0\r\n", "BSL430.ini: DefaultVector missing"},
      {"DefaultVector=0x1E5\r\nAlternativeVector=0x1E7\r\n", "BSL430.ini: PasswordFill missing"},
      {"PasswordFill=FF\r\nDefaultVector=0x1E5\r\n", "BSL430.ini: AlternativeVector missing"},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(dir.File("BSL430.ini"));
    if (c.text) dir.Write("BSL430.ini", c.text);
    const BslConstantsResult r = LoadBslConstants(dir.File("BSL430.ini"));
    EXPECT_FALSE(r.ok()) << c.says;
    const std::string english = BslConstantsRefusal(r, 1);
    EXPECT_EQ(english.rfind(c.says, 0), 0u) << english;
    EXPECT_NE(english.find("erases the whole flash"), std::string::npos);
    EXPECT_NE(BslConstantsRefusal(r, 0).find("l\xF6scht den ganzen Flash-Speicher"),
              std::string::npos);
  }

  dir.Write("BSL430.ini",
            "; meter family B\r\n[Loader]\r\nPasswordFill = a5\r\n"
            "DefaultVector=0x1E5\r\nalternativevector=0x2F0\r\n");
  const BslConstantsResult whole = LoadBslConstants(dir.File("BSL430.ini"));
  ASSERT_TRUE(whole.ok());
  EXPECT_EQ(BslConstantsRefusal(whole, 1), "");
  EXPECT_EQ(whole.constants.passwordFill, 0xA5);
  EXPECT_EQ(whole.constants.defaultVector, "0x1E5");
  EXPECT_EQ(whole.constants.alternativeVector, "0x2F0");
}

TEST(BslConstantsFile, RefusesValuesThatWouldBuildAWrongPassword) {
  EXPECT_EQ(ParseBslConstants("PasswordFill=FFF\n").badKey, "PasswordFill");
  EXPECT_EQ(ParseBslConstants("PasswordFill=\n").badKey, "PasswordFill");
  EXPECT_EQ(ParseBslConstants("DefaultVector=0x1G5\n").badKey, "DefaultVector");
  EXPECT_EQ(ParseBslConstants("AlternativeVector=0x12345\n").badKey, "AlternativeVector");
  // A vector reported by the meter is read the same way.
  EXPECT_EQ(ParseVectorText(" 0x3d1"), 0x3D1);
  EXPECT_EQ(ParseVectorText("0x"), -1);
  EXPECT_EQ(ParseVectorText("0x1E5#"), -1);
}
