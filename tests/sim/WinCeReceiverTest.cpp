#include <gtest/gtest.h>

#include "SimHarness.h"

using namespace simtest;

namespace {

// The test's own check character: CRC-8 polynomial 0x1D from 0xFF, kept
// off the header's delimiters.
unsigned char checkCharacter(const std::string& data) {
  unsigned crc = 0xFF;
  for (unsigned char b : data) {
    crc ^= b;
    for (int i = 0; i < 8; ++i) crc = (crc & 0x80) ? ((crc << 1) ^ 0x1D) & 0xFF : (crc << 1) & 0xFF;
  }
  if (crc == 0) return 1;
  if (crc == 'D' || crc == ',' || crc == '#') return static_cast<unsigned char>(crc + 1);
  return static_cast<unsigned char>(crc);
}

std::string dataFrame(const std::string& data, int damage = 0) {
  return "D." + std::to_string(data.size()) + "," +
         static_cast<char>(checkCharacter(data) ^ damage) + "#" + data;
}

std::string file(size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s += static_cast<char>((i * 7 + i / 256) & 0xFF);
  return s;
}

void raiseSpeed(RunningSim& sim, Client& c) {
  identify(c);
  c.write("A.1300#38400\r\n");
  ASSERT_TRUE(sim.waitForEvent("line", "rx A.1300#38400"));
  c.setBaud(38400);
  EXPECT_EQ(c.readLine(), "!") << "confirmed at the new speed";
}

}  // namespace

TEST(WinCeReceiver, CheckCharacterMatchesTheKnownValues) {
  EXPECT_EQ(checkCharacter("abc"), 0x65);
  EXPECT_EQ(checkCharacter(""), 0xFF);
}

TEST(WinCeReceiver, ReceivesAnnouncedFilesFrameByFrame) {
  RunningSim sim("Target = wince\nBaudRate = 9600\nReplyDelayMs = 1\n");
  Client c(sim.path(), 9600);
  raiseSpeed(sim, c);
  std::string content = file(4500);
  c.write("A.1201#app.exe,1234567,4500\r\n");
  EXPECT_EQ(c.readLine(), "!");
  for (size_t at = 0; at < content.size(); at += 2000) {
    c.write(dataFrame(content.substr(at, 2000)));
    EXPECT_EQ(c.readLine(), "!");
  }
  c.write("A.1202\r\nA.1205#empty.dat,4294967295,0\r\n");
  EXPECT_EQ(c.readLine(), "!");
  EXPECT_EQ(c.readLine(), "!");
  c.write(dataFrame(""));
  EXPECT_EQ(c.readLine(), "!");
  c.write("A.1202\r\nA.1203\r\nA.1300#9600\r\n");
  EXPECT_EQ(c.readLine(), "!");
  EXPECT_EQ(c.readLine(), "!");
  ASSERT_TRUE(sim.waitForEvent("line", "rx A.1300#9600"));
  c.setBaud(9600);
  EXPECT_EQ(c.readLine(), "!");
  c.write("A.1600#12345.678901\r\n");
  EXPECT_EQ(c.readLine(), "I.31");

  sim.finish();
  auto& files = sim.report().files();
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0].name, "app.exe");
  EXPECT_EQ(files[0].timestamp, "1234567");
  EXPECT_EQ(files[0].state, "complete");
  EXPECT_EQ(files[0].data, content);
  EXPECT_EQ(files[1].state, "complete");
  EXPECT_TRUE(files[1].data.empty());
  EXPECT_TRUE(sim.report().violations().empty());
}

TEST(WinCeReceiver, WrongCheckCharacterAsksForTheFrameAgain) {
  RunningSim sim("Target = wince\nBaudRate = 9600\nReplyDelayMs = 1\n");
  Client c(sim.path(), 9600);
  raiseSpeed(sim, c);
  c.write("A.1201#a.bin,1,3\r\n");
  EXPECT_EQ(c.readLine(), "!");
  c.write(dataFrame("abc", 0x01));
  EXPECT_EQ(c.readLine(), "I.261#2");
  c.write(dataFrame("abc"));
  EXPECT_EQ(c.readLine(), "!");
  c.write("A.1202\r\n");
  EXPECT_EQ(c.readLine(), "!");
  EXPECT_EQ(sim.report().violations().size(), 1u);
}

TEST(WinCeReceiver, FileShorterThanAnnouncedIsRefusedAtItsEnd) {
  RunningSim sim("Target = wince\nBaudRate = 9600\nReplyDelayMs = 1\n");
  Client c(sim.path(), 9600);
  raiseSpeed(sim, c);
  c.write("A.1201#a.bin,1,10\r\n");
  EXPECT_EQ(c.readLine(), "!");
  c.write(dataFrame("abc"));
  EXPECT_EQ(c.readLine(), "!");
  c.write("A.1202\r\n");
  EXPECT_EQ(c.readLine(), "?");
}

TEST(WinCeReceiverFaults, Codes260And261ComeAtTheirFrames) {
  RunningSim sim(
      "Target = wince\nBaudRate = 9600\nReplyDelayMs = 1\nWinCeReply261AtFrame = 1\n"
      "WinCeReply261Value = 3\nWinCeReply260AtFrame = 3\n");
  Client c(sim.path(), 9600);
  raiseSpeed(sim, c);
  c.write("A.1201#a.bin,1,6\r\n");
  EXPECT_EQ(c.readLine(), "!");
  c.write(dataFrame("abc"));
  EXPECT_EQ(c.readLine(), "I.261#3");
  c.write(dataFrame("abc"));
  EXPECT_EQ(c.readLine(), "!");
  c.write(dataFrame("def"));
  EXPECT_EQ(c.readLine(), "I.260#");
  c.write("A.1201#b.bin,1,3\r\n");
  EXPECT_EQ(c.readLine(), "!");
  sim.finish();
  ASSERT_EQ(sim.report().files().size(), 2u);
  EXPECT_EQ(sim.report().files()[0].state, "skipped");
}

TEST(WinCeReceiverFaults, MeterFallsSilentFromItsFrameOn) {
  RunningSim sim("Target = wince\nBaudRate = 9600\nReplyDelayMs = 1\nWinCeSilentFromFrame = 2\n");
  Client c(sim.path(), 9600);
  raiseSpeed(sim, c);
  c.write("A.1201#a.bin,1,6\r\n");
  EXPECT_EQ(c.readLine(), "!");
  c.write(dataFrame("abc"));
  EXPECT_EQ(c.readLine(), "!");
  c.write(dataFrame("def"));
  ASSERT_TRUE(sim.waitForEvent("fault", "silent from data frame 2"));
  c.write("A.1202\r\nA.1203\r\n");
  ASSERT_TRUE(sim.waitForEvent("line", "rx A.1203"));
  // An answer is noted when the line is taken; none follows.
  EXPECT_EQ(sim.report().eventTexts("line").back(), "rx A.1203");
  EXPECT_TRUE(c.nothingPending());
}

TEST(WinCeReceiver, AnswersTheStartupProgramQueryWithItsVersion) {
  RunningSim sim("Target = wince\nBaudRate = 9600\nReplyDelayMs = 1\nStartupVersion = 1.05\n");
  Client c(sim.path(), 9600);
  identify(c);
  c.write("A.2100\r\n");
  EXPECT_EQ(c.readLine(), "I.2011#1.05");
}
