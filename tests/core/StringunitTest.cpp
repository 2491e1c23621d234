#include <gtest/gtest.h>

#include "core/Stringunit.h"

TEST(Stringunit, FindTextCountsFromOneAndTreatsZeroAsWholeText) {
  EXPECT_EQ(FindText("xxAByyAB", "AB", 4), 7);
  EXPECT_EQ(FindText("xxAByyAB", "AB", 0), 3);
  EXPECT_EQ(FindText("xxAByyAB", "AB", 1), 3);
  EXPECT_EQ(FindText("xxAByyAB", "AB", 9), 0);
  EXPECT_EQ(FindText("", "AB", 0), 0);
  EXPECT_EQ(FindText("xxAB", "", 0), 0);
  EXPECT_EQ(FindText("xxAB", "ZZ", 0), 0);
}

TEST(Stringunit, HexValueReadsUpToFourDigitsEitherCase) {
  EXPECT_EQ(HexValue("1a"), 26);
  EXPECT_EQ(HexValue("0090"), 144);
  EXPECT_EQ(HexValue("FFFF"), 0xFFFF);
  EXPECT_EQ(HexValue("12345"), 0x1234);
  EXPECT_EQ(HexValue("1g"), 1);
  EXPECT_EQ(HexValue(""), 0);
}

TEST(Stringunit, InsertAndDeleteUseOneBasedPositionsAndStayInBounds) {
  std::string b = "abcdef";
  InsertText("XY", b, 3);
  EXPECT_EQ(b, "abXYcdef");
  InsertText("!", b, 100);
  EXPECT_EQ(b, "abXYcdef!");
  DeleteText(b, 3, 2);
  EXPECT_EQ(b, "abcdef!");
  DeleteText(b, 6, 100);
  EXPECT_EQ(b, "abcde");
  DeleteText(b, 0, 3);
  DeleteText(b, 50, 3);
  EXPECT_EQ(b, "abcde");
  std::string small = "abc";
  InsertText("12345", small, 2, 6);  // room for 5 bytes and the terminator
  EXPECT_EQ(small, "a1234");
}
