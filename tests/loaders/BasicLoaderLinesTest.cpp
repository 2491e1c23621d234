// The Basic-Loader's text lines found in the received text, without a port.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "loaders/BasicLoaderLines.h"

namespace {

std::vector<int32_t> Scan(LoaderLineBuffer& buffer) {
  std::vector<const LoaderLine*> found;
  buffer.Scan(found);
  std::vector<int32_t> codes;
  for (const LoaderLine* line : found) codes.push_back(line->code);
  return codes;
}

std::vector<int32_t> Feed(LoaderLineBuffer& buffer, const std::string& bytes) {
  buffer.Append(bytes);
  return Scan(buffer);
}

}  // namespace

TEST(BasicLoaderLines, LineSplitOverTwoReadsIsFoundOnceComplete) {
  LoaderLineBuffer b;
  EXPECT_TRUE(Feed(b, "\r\nWaiting for S-Re").empty());
  EXPECT_EQ(Feed(b, "cord !\r\n"), std::vector<int32_t>{105});
  EXPECT_EQ(b.Text(), "\r\n\r\n");
}

TEST(BasicLoaderLines, TwoLinesInOneReadComeInTableOrderNotArrivalOrder) {
  LoaderLineBuffer b;
  // Arrival: erasing (table entry 12), then the banner (entry 1).
  EXPECT_EQ(Feed(b, "Erasing Flash-Memory (1) !\r\nBasic-Loader  |\r\n"),
            (std::vector<int32_t>{100, 112}));
}

TEST(BasicLoaderLines, OnlyTheMatchedBytesAreRemoved) {
  LoaderLineBuffer b;
  EXPECT_EQ(Feed(b,
                 "ab"
                 "Flash-Memory erased !"
                 "cd"),
            std::vector<int32_t>{102});
  EXPECT_EQ(b.Text(), "abcd");
  EXPECT_EQ(b.Fill(), 4u);
}

TEST(BasicLoaderLines, SameLineTwiceInOnePassIsFoundAgainInTheNextPass) {
  LoaderLineBuffer b;
  EXPECT_EQ(Feed(b, "Flash-Memory programmed\r\nFlash-Memory programmed\r\n"),
            std::vector<int32_t>{104});
  EXPECT_EQ(Scan(b), std::vector<int32_t>{104});
}

TEST(BasicLoaderLines, EverySixteenLinesMapsToItsCode) {
  const std::vector<std::pair<std::string, int32_t>> lines = {
      {"Basic-Loader  |", 100},
      {"Basic-Loader / 1.01", 101},
      {"Basic-Loader / 1.02", 101},
      {"Flash-Memory erased !", 102},
      {"Flash-Memory (1/2) erased !", 103},
      {"Flash-Memory programmed", 104},
      {"Waiting for S-Record !", 105},
      {"S-Record defect!", 108},
      {"Record defekt!", 108},
      {"Ready PC ?  Seg=0", 110},
      {"Ready PC ?  Seg=1", 111},
      {"Erasing Flash-Memory (1) !", 112},
      {"Erasing Flash-Memory (2) !", 112},
      {"Flash-Memory (1) programmed !", 104},
      {"Flash-Memory (2) programmed !", 104},
      {std::string("\xA1\x48\x20\x14", 4), 104}};
  for (const auto& [text, code] : lines) {
    LoaderLineBuffer b;
    EXPECT_EQ(Feed(b, text + "\r\n"), std::vector<int32_t>{code}) << text;
  }
  // One blank too few is no line.
  LoaderLineBuffer b;
  EXPECT_TRUE(Feed(b, "Basic-Loader |\r\nReady PC ? Seg=0\r\n").empty());
}

TEST(BasicLoaderLines, NoiseNeverOverflowsAndTheNewestTextSurvives) {
  LoaderLineBuffer b;
  const std::string noise(150, 'x');
  for (int i = 0; i < 100; ++i) {
    b.MakeRoom(150);
    std::copy(noise.begin(), noise.end(), b.WriteArea());
    b.Commit(150);
    ASSERT_LE(b.Fill(), LoaderLineBuffer::kTextCapacity);
  }
  EXPECT_EQ(b.Fill(), LoaderLineBuffer::kTextCapacity);
  // A line that begins in the full buffer and ends in the next read is kept.
  EXPECT_TRUE(Feed(b, "Waiting for ").empty());
  EXPECT_EQ(Feed(b, "S-Record !"), std::vector<int32_t>{105});
  // A chunk longer than the buffer keeps its end.
  EXPECT_EQ(Feed(b, std::string(5000, 'y') + "Record defekt!"), std::vector<int32_t>{108});
  EXPECT_EQ(b.Fill(), LoaderLineBuffer::kTextCapacity - 14);
}
