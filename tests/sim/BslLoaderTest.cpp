#include <gtest/gtest.h>

#include "BslClient.h"

using namespace simtest;

namespace {

constexpr int ACK = 0x90, NAK = 0xA0;
const char* kProfile =
    "Target = bsl\nBaudRate = 4800\nReplyDelayMs = 1\nOldFirmware = yes\nAppStartMs = 50\n";

std::string pattern(size_t n, int seed) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s += static_cast<char>((i * 13 + seed) & 0xFF);
  return s;
}

// Through the firmware's commands into the loader, then unlocked at 9600.
void enterAndUnlock(Client& c, BslClient& bsl, int fill = 0xFF, unsigned vector = 0x1E5) {
  identify(c);
  c.write("A.5588#QX47\r\n");
  EXPECT_EQ(c.readLine(), "A.5588#QX47");
  c.setBaud(9600);
  EXPECT_EQ(bsl.command(bslFrame(0x10, bslPassword(fill, vector))), ACK);
}

}  // namespace

TEST(BslFrames, TestClientBuildsTheDocumentedBytes) {
  EXPECT_EQ(hex(bslFrame(0x1E, "XXXX")), "80 1E 04 04 58 58 58 58 7B E5");
  EXPECT_EQ(hex(bslFrame(0x20, bytes({0x00, 0xC8, 0x02, 0x58}))), "80 20 04 04 00 C8 02 58 79 4B");
  EXPECT_EQ(hex(bslFrame(0x16, bslAddress(0xFC00, 0xA502))), "80 16 04 04 00 FC 02 A5 79 B4");
  EXPECT_EQ(hex(bslFrame(0x16, bslAddress(0xFFFF, 0xA502))), "80 16 04 04 FF FF 02 A5 86 B7");
  EXPECT_EQ(hex(bslFrame(0x14, bslAddress(0x1000, 16))), "80 14 04 04 00 10 10 00 6B FF");
  EXPECT_EQ(hex(bslFrame(0x14, bslAddress(0x1100, 0xF0))), "80 14 04 04 00 11 F0 00 8B FE");
}

// The whole typical conversation: erase from 0xFC00 down, program, read
// back, start; the report's flash image equals what was sent.
TEST(BslLoader, TypicalConversationDownloadsAnImageThatReadsBackFromTheReport) {
  RunningSim sim(kProfile);
  Client c(sim.path(), 4800);
  BslClient bsl(c);
  enterAndUnlock(c, bsl);

  std::string version =
      bsl.dataCommand(bytes({0x80, 0x1E, 0x04, 0x04, 0x58, 0x58, 0x58, 0x58, 0x7B, 0xE5}));
  ASSERT_EQ(version.size(), 22u);
  EXPECT_TRUE(bslChecksumValid(version));
  EXPECT_EQ(hex(version.substr(4, 2)), "F1 49");
  EXPECT_EQ(hex(version.substr(14, 2)), "01 61");

  EXPECT_EQ(bsl.command(bytes({0x80, 0x20, 0x04, 0x04, 0x00, 0xC8, 0x02, 0x58, 0x79, 0x4B})), ACK);
  c.setBaud(38400);

  EXPECT_EQ(bsl.command(bytes({0x80, 0x16, 0x04, 0x04, 0x00, 0xFC, 0x02, 0xA5, 0x79, 0xB4})), ACK);
  EXPECT_EQ(bsl.read(0xFC00, 16), std::string(16, '\xFF'));
  EXPECT_NE(bsl.read(0xFBF0, 16), std::string(16, '\xFF')) << "erase reached below its segment";
  for (unsigned a = 0xFA00; a >= 0x1200; a -= 0x200) ASSERT_EQ(bsl.erase(a), ACK) << std::hex << a;
  EXPECT_EQ(bsl.erase(0x1100), ACK);
  EXPECT_EQ(bsl.erase(0x1080), ACK);

  std::map<unsigned, std::string> image{{0x1000, pattern(16, 1)},
                                        {0x1100, pattern(240, 2)},
                                        {0x11F0, pattern(240, 3)},
                                        {0x12E0, pattern(240, 4)}};
  std::string vectors = pattern(32, 5);
  vectors[28] = 0x00;  // start address 0x1100 in the word the tool starts at
  vectors[29] = 0x11;
  vectors[30] = 0x00;
  vectors[31] = 0x11;
  for (auto& [address, data] : image)
    ASSERT_EQ(bsl.program(address, data), ACK) << std::hex << address;
  EXPECT_EQ(bsl.command(bytes({0x80, 0x16, 0x04, 0x04, 0xFF, 0xFF, 0x02, 0xA5, 0x86, 0xB7})), ACK);
  EXPECT_EQ(bsl.program(0xFFE0, vectors), ACK);
  image[0xFFE0] = vectors;

  std::string first =
      bsl.dataCommand(bytes({0x80, 0x14, 0x04, 0x04, 0x00, 0x10, 0x10, 0x00, 0x6B, 0xFF}));
  ASSERT_EQ(first.size(), 22u);
  EXPECT_EQ(first.substr(4, 16), image[0x1000]);
  std::string second =
      bsl.dataCommand(bytes({0x80, 0x14, 0x04, 0x04, 0x00, 0x11, 0xF0, 0x00, 0x8B, 0xFE}));
  EXPECT_EQ(second.substr(4, 240), image[0x1100]);

  EXPECT_EQ(bsl.command(bslFrame(0x1A, bslAddress(0x1100, 0x5858))), ACK);
  ASSERT_TRUE(sim.waitForEvent("state", "new firmware started at 0x1100"));
  c.setBaud(4800);
  EXPECT_EQ(c.readLine(), "!");

  sim.finish();
  EXPECT_TRUE(sim.report().violations().empty()) << sim.report().violations().front();
  auto flash = parseIntelHex(sim.report().flash().toIntelHex());
  size_t total = 0;
  for (auto& [address, data] : image) {
    for (size_t i = 0; i < data.size(); ++i)
      ASSERT_EQ(flash[address + i], static_cast<unsigned char>(data[i]));
    total += data.size();
  }
  EXPECT_EQ(flash.size(), total);
}

TEST(BslLoader, ProgrammingANonErasedByteIsRefusedAndReported) {
  RunningSim sim(kProfile);
  Client c(sim.path(), 4800);
  BslClient bsl(c);
  enterAndUnlock(c, bsl);
  std::string before = bsl.read(0x2000, 16);
  EXPECT_EQ(bsl.program(0x2000, pattern(16, 9)), NAK);
  EXPECT_EQ(bsl.read(0x2000, 16), before);
  ASSERT_EQ(sim.report().violations().size(), 1u);
  EXPECT_NE(sim.report().violations()[0].find("not erased at 0x2000"), std::string::npos);
  EXPECT_EQ(bsl.erase(0x2000), ACK);
  EXPECT_EQ(bsl.program(0x2000, pattern(16, 9)), ACK);
}

TEST(BslLoader, StaysLockedWithoutTheRightPasswordAndNaksBadFrames) {
  sim::Bsl430Settings settings;
  settings.passwordFill = 0x3C;
  settings.defaultVector = 0x1F0;
  RunningSim sim(kProfile, settings);
  Client c(sim.path(), 4800);
  BslClient bsl(c);
  identify(c);
  c.write("A.5577\r\n");
  EXPECT_EQ(c.readLine(), "I.80#0x1F0");
  c.write("A.5588#QX48\r\n");
  EXPECT_EQ(c.readLine(), "?");
  c.write("A.5588#QX47\r\n");
  EXPECT_EQ(c.readLine(), "A.5588#QX47");
  c.setBaud(9600);
  EXPECT_EQ(bsl.command(bslFrame(0x10, bslPassword(0xFF, 0x1F0))), NAK);
  EXPECT_EQ(bsl.erase(0x2000), NAK);
  std::string damaged = bslFrame(0x10, bslPassword(0x3C, 0x1F0));
  damaged.back() ^= 1;
  EXPECT_EQ(bsl.command(damaged), NAK);
  EXPECT_EQ(bsl.command(bslFrame(0x10, bslPassword(0x3C, 0x1F0))), ACK);
  EXPECT_EQ(bsl.erase(0x2000), ACK);
  auto v = sim.report().violations();
  ASSERT_EQ(v.size(), 4u);
  EXPECT_NE(v[0].find("wrong key"), std::string::npos);
  EXPECT_NE(v[1].find("wrong password"), std::string::npos);
  EXPECT_NE(v[2].find("locked"), std::string::npos);
  EXPECT_NE(v[3].find("wrong checksum"), std::string::npos);
}

TEST(BslLoader, MemoryOffsetReachesTheHigh64KiB) {
  RunningSim sim(kProfile);
  Client c(sim.path(), 4800);
  BslClient bsl(c);
  enterAndUnlock(c, bsl);
  EXPECT_EQ(bsl.command(bslFrame(0x21, bytes({0, 0, 1, 0x58}))), ACK);
  EXPECT_EQ(bsl.erase(0x0000), ACK);
  EXPECT_EQ(bsl.program(0x0000, pattern(32, 7)), ACK);
  EXPECT_EQ(bsl.read(0x0000, 32), pattern(32, 7));
  EXPECT_EQ(bsl.command(bslFrame(0x21, bytes({0, 0, 0, 0x58}))), ACK);
  EXPECT_NE(bsl.read(0x1100, 32), pattern(32, 7));
  sim.finish();
  auto flash = parseIntelHex(sim.report().flash().toIntelHex());
  EXPECT_EQ(flash.begin()->first, 0x10000u);
  EXPECT_EQ(flash.size(), 32u);
}

TEST(BslLoader, Version110WritesFlashOnlyWithItsPatch) {
  RunningSim sim("Target = bsl\nBslVersion = 1.10\nReplyDelayMs = 1\n");
  Client c(sim.path(), 4800);
  BslClient bsl(c);
  enterAndUnlock(c, bsl);
  EXPECT_EQ(bsl.command(bslFrame(0x1E, "XXXX")), NAK);
  std::string info = bsl.read(0x0FF0, 14);
  EXPECT_EQ(hex(info.substr(10, 2)), "01 10");
  EXPECT_EQ(bsl.program(0x1100, pattern(16, 1)), NAK);
  EXPECT_EQ(bsl.command(bslFrame(0x20, bytes({0x00, 0xC8, 0x02, 0x58}))), NAK);

  EXPECT_EQ(bsl.command(bslFrame(0x1A, bslAddress(0x0C22, 0x5858))), ACK);
  EXPECT_EQ(bsl.erase(0x1100), NAK) << "locked again after the restart";
  EXPECT_EQ(bsl.command(bslFrame(0x10, bslPassword(0xFF, 0x1E5))), ACK);
  EXPECT_EQ(bsl.program(0x0220, pattern(64, 2)), ACK);
  EXPECT_EQ(bsl.read(0x0220, 64), pattern(64, 2));
  EXPECT_EQ(bsl.command(bslFrame(0x1A, bslAddress(0x0220, 0x5858))), ACK);
  EXPECT_TRUE(sim.waitForEvent("state", "patch run"));
  EXPECT_EQ(bsl.erase(0x1100), ACK);
  EXPECT_EQ(bsl.program(0x1100, pattern(16, 1)), ACK);
  EXPECT_EQ(bsl.read(0x1100, 16), pattern(16, 1));
}

TEST(BslLoader, SitsInItsLoaderFromTheStartWhenTheProfileSaysSo) {
  RunningSim sim("Target = bsl\nStartInLoader = yes\nReplyDelayMs = 1\n");
  Client c(sim.path(), 9600);
  BslClient bsl(c);
  bsl.sync();
  EXPECT_EQ(bsl.command(bslFrame(0x10, bslPassword(0xFF, 0x1E5))), ACK);
}

TEST(BslLoader, IgnoresBytesAtAnotherSpeed) {
  RunningSim sim("Target = bsl\nStartInLoader = yes\nReplyDelayMs = 1\n");
  Client c(sim.path(), 4800);
  c.write(bytes({0x80}));
  ASSERT_TRUE(sim.waitForEvent("ignored", "loader listens at 9600"));
  EXPECT_TRUE(c.nothingPending());
}

TEST(BslLoaderFaults, NakCorruptChecksumAndDroppedAckHitTheirOccurrence) {
  RunningSim sim(std::string(kProfile) +
                 "Nak = 0x16:2\nCorruptChecksum = 0x14:2\nDropReply = sync:5\n");
  Client c(sim.path(), 4800);
  BslClient bsl(c);
  enterAndUnlock(c, bsl);             // sync 1
  EXPECT_EQ(bsl.erase(0x2000), ACK);  // sync 2
  EXPECT_EQ(bsl.erase(0x2200), NAK);  // sync 3
  EXPECT_NE(bsl.read(0x2200, 16), std::string(16, '\xFF'))
      << "a NAKed erase must not erase";  // sync 4
  ASSERT_EQ(sim.report().violations().size(), 0u);

  c.write(bytes({0x80}));  // sync 5: its ACK is lost
  ASSERT_TRUE(sim.waitForEvent("fault", "ACK to SYNC dropped"));
  EXPECT_TRUE(c.nothingPending());
  bsl.sync();  // the tool repeats its SYNC after a lost ACK
  c.write(bslFrame(0x14, bslAddress(0x2000, 16)));
  std::string corrupt = c.readBytes(22);
  EXPECT_FALSE(bslChecksumValid(corrupt));
  EXPECT_EQ(bsl.erase(0x2200), ACK);
}

TEST(BslLoaderFaults, DroppedReplyStillExecutesTheFrame) {
  RunningSim sim(std::string(kProfile) + "DropReply = 0x16:1\n");
  Client c(sim.path(), 4800);
  BslClient bsl(c);
  enterAndUnlock(c, bsl);
  bsl.sync();
  c.write(bslFrame(0x16, bslAddress(0x3000, 0xA502)));
  ASSERT_TRUE(sim.waitForEvent("fault", "reply to frame 0x16 #1 dropped"));
  EXPECT_TRUE(c.nothingPending());
  EXPECT_EQ(bsl.read(0x3000, 16), std::string(16, '\xFF'));
}
