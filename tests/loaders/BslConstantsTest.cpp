#include <gtest/gtest.h>

#include "loaders/BslConstants.h"
#include "tests/support/TempDir.h"

TEST(BslConstantsFile, GivesBuiltInValuesWhenFileOrKeyIsMissing) {
  TempDir dir;
  const BslConstantsResult missing = LoadBslConstants(dir.File("BSL430.ini"));
  ASSERT_TRUE(missing.ok());
  EXPECT_EQ(missing.constants.passwordFill, 0xFF);
  EXPECT_EQ(missing.constants.defaultVector, "0x1E5");
  EXPECT_EQ(missing.constants.alternativeVector, "0x1E7");

  dir.Write("BSL430.ini", "; meter family B\r\n[Loader]\r\nPasswordFill = a5\r\nalternativevector=0x2F0\r\n");
  const BslConstantsResult partial = LoadBslConstants(dir.File("BSL430.ini"));
  ASSERT_TRUE(partial.ok());
  EXPECT_EQ(partial.constants.passwordFill, 0xA5);
  EXPECT_EQ(partial.constants.defaultVector, "0x1E5");
  EXPECT_EQ(partial.constants.alternativeVector, "0x2F0");
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
