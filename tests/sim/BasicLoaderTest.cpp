#include <gtest/gtest.h>

#include <cstdio>

#include "BslClient.h"
#include "SimHarness.h"

using namespace simtest;

namespace {

std::string sRecord(char type, unsigned address, const std::string& data) {
  std::string raw = bytes({static_cast<int>(data.size() + 3), static_cast<int>(address >> 8),
                           static_cast<int>(address & 0xFF)}) +
                    data;
  unsigned sum = 0;
  for (unsigned char b : raw) sum += b;
  raw += static_cast<char>(~sum & 0xFF);
  std::string line = std::string("S") + type;
  char buf[4];
  for (unsigned char b : raw) {
    std::snprintf(buf, sizeof buf, "%02X", b);
    line += buf;
  }
  return line + "\r\n";
}

void startLoader(RunningSim& sim, Client& c) {
  identify(c);
  c.write("A.2005\r\n");
  EXPECT_EQ(c.readLine(), "I.208#0");
  c.write("A.1220\r\n");
  EXPECT_EQ(c.readLine(), "!");
  c.setBaud(19200);
  EXPECT_EQ(c.readLine(), "Basic-Loader  |");
  EXPECT_EQ(c.readLine(), "Basic-Loader / 1.02");
  EXPECT_EQ(c.readLine(), "Erasing Flash-Memory (1) !");
  EXPECT_EQ(c.readLine(), "Flash-Memory erased !");
  EXPECT_EQ(c.readLine(), "Waiting for S-Record !");
  (void)sim;
}

}  // namespace

TEST(BasicLoader, ProgramsCheckedSRecordsThatReadBackFromTheReport) {
  RunningSim sim(
      "Target = basic\nBasicLoaderVariant = 0\nReplyDelayMs = 1\nBasicLoaderReadRate = "
      "0\nBasicLoaderEraseMs = 10\n");
  Client c(sim.path(), 4800);
  startLoader(sim, c);
  std::string file = sRecord('0', 0, "HDR");
  std::map<unsigned, unsigned char> expected;
  for (unsigned a = 0x8000; a < 0x8000 + 64 * 32; a += 32) {
    std::string data;
    for (unsigned i = 0; i < 32; ++i) {
      data += static_cast<char>((a + i * 5) & 0xFF);
      expected[a + i] = static_cast<unsigned char>((a + i * 5) & 0xFF);
    }
    file += sRecord('1', a, data);
  }
  file += sRecord('9', 0x8000, "");
  c.write(file);
  EXPECT_EQ(c.readLine(), "Flash-Memory programmed");
  sim.finish();
  EXPECT_EQ(parseIntelHex(sim.report().flash().toIntelHex()), expected);
  EXPECT_TRUE(sim.report().violations().empty());
}

TEST(BasicLoader, DefectiveRecordStopsTheLoader) {
  RunningSim sim(
      "Target = basic\nBasicLoaderVariant = 0\nReplyDelayMs = 1\nBasicLoaderReadRate = "
      "0\nBasicLoaderEraseMs = 10\n");
  Client c(sim.path(), 4800);
  startLoader(sim, c);
  std::string bad = sRecord('1', 0x8000, "ABCD");
  bad[bad.size() - 3] = bad[bad.size() - 3] == '0' ? '1' : '0';  // checksum digit
  c.write(sRecord('1', 0x7000, "OK") + bad + sRecord('9', 0, ""));
  EXPECT_EQ(c.readLine(), "S-Record defect!");
  ASSERT_EQ(sim.report().violations().size(), 1u);
  EXPECT_NE(sim.report().violations()[0].find("S-record 2 defective (checksum wrong)"),
            std::string::npos);
}

TEST(BasicLoader, WithoutAVariantTheSensorQueryIsRejected) {
  RunningSim sim("Target = basic\n");
  Client c(sim.path(), 4800);
  identify(c);
  c.write("A.2005\r\n");
  EXPECT_EQ(c.readLine(), "?");
}

TEST(BasicLoader, TwoSegmentsAskForTheRecordsTwiceAndKeepEachSegmentsBytes) {
  RunningSim sim(
      "Target = basic\nBasicLoaderVariant = 0\nReplyDelayMs = 1\nBasicLoaderReadRate = 0\n"
      "BasicLoaderEraseMs = 10\nBasicLoaderSegments = 2\n");
  Client c(sim.path(), 4800);
  startLoader(sim, c);
  const std::string file =
      sRecord('0', 0, "HDR") + sRecord('1', 0x8000, "ABCD") + sRecord('9', 0x8000, "");
  c.write(file);
  EXPECT_EQ(c.readLine(), "Flash-Memory (1) programmed !");
  EXPECT_EQ(c.readLine(), "Erasing Flash-Memory (2) !");
  EXPECT_EQ(c.readLine(), "Flash-Memory erased !");
  EXPECT_EQ(c.readLine(), "Waiting for S-Record !");
  c.write(file);
  EXPECT_EQ(c.readLine(), "Flash-Memory (2) programmed !");
  sim.finish();
  const auto& files = sim.report().files();
  ASSERT_EQ(files.size(), 2u);
  for (const auto& f : files) {
    EXPECT_EQ(f.data, file);
    EXPECT_EQ(f.state, "complete");
  }
}

TEST(BasicLoader, InjectedDefectIsReportedAtTheNthRecordInTheChosenWords) {
  RunningSim sim(
      "Target = basic\nBasicLoaderVariant = 0\nReplyDelayMs = 1\nBasicLoaderReadRate = 0\n"
      "BasicLoaderEraseMs = 10\nBasicLoaderDefectAtRecord = 3\nBasicLoaderDefectText = Record "
      "defekt!\n");
  Client c(sim.path(), 4800);
  startLoader(sim, c);
  std::string file;
  for (unsigned a = 0; a < 5; ++a) file += sRecord('1', 0x8000 + a * 4, "WXYZ");
  c.write(file + sRecord('9', 0x8000, ""));
  EXPECT_EQ(c.readLine(), "Record defekt!");
  sim.finish();
  ASSERT_EQ(sim.report().files().size(), 1u);
  EXPECT_EQ(sim.report().files()[0].state, "defect: injected at record 3");
  EXPECT_TRUE(sim.report().violations().empty());
}
