#include <gtest/gtest.h>

#include "app/FileVersion.h"
#include "tests/app/RecordingDialogSink.h"
#include "tests/app/VersionResourceBuilder.h"
#include "tests/support/TempDir.h"

TEST(VersionNumber, ScalesTheLeadingDecimalNumberAndTruncates) {
  EXPECT_EQ(VersionNumber("1.23"), 123);
  EXPECT_EQ(VersionNumber("1.230"), 123);
  EXPECT_EQ(VersionNumber("1.2"), 120);
  EXPECT_EQ(VersionNumber("12.5"), 1250);
  EXPECT_EQ(VersionNumber("1.23,2.01"), 123);
  EXPECT_EQ(VersionNumber(""), 0);
  EXPECT_EQ(VersionNumber("Y.YY"), 0);
  // Fifteen digits fit the version field but not an int32.
  EXPECT_EQ(VersionNumber("999999999999999"), INT32_MAX);
}

TEST(ReadFileVersion, HexPairsBehindTheKeyInTheFirstKilobyteThenTheSecondSlot) {
  TempDir dir;
  dir.Write("fw.mot", "S00F000068656C6C6F202020202000003C\r\nS10B2000312E32330000AABB7F\r\n");
  dir.Write("fw.txt", "@F000\r\n01 02\r\n@1000\r\n32 2E 30 35 00 FF\r\nq\r\n");
  dir.Write("late.txt", std::string(1200, 'F') + "\r\n@1000\r\n32 2E 30 35 00\r\n");
  dir.Write("long.mot", "KEY" + std::string(80, '4') + "\r\n");
  DeviceRecord r;
  EXPECT_EQ(ReadFileVersion("S10B2000", dir.File("fw.mot"), r), "1.23");
  EXPECT_EQ(r.MainFileVersionNumber, 123);
  EXPECT_EQ(ReadFileVersion("@1000\r\n", dir.File("fw.txt"), r), "2.05");
  EXPECT_EQ(r.MainFileVersion, "1.23");
  EXPECT_EQ(r.SecondFileVersionNumber, 205);
  EXPECT_EQ(ReadFileVersion("@1000\r\n", dir.File("late.txt"), r), "");
  EXPECT_EQ(ReadFileVersion("KEY", dir.File("long.mot"), r), std::string(15, 'D'));
}

TEST(ReadFileVersion, S1094000ReadsTheLastKilobyteIntoTheSecondSlot) {
  TempDir dir;
  std::string data = "S1094000302E393900008D\r\n";  // an older header far from the end
  for (int i = 0; i < 60; ++i) data += "S1130000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFEC\r\n";
  dir.Write("long.mot", data + "S1094000312E343500008A\r\nS9030000FC\r\n");
  dir.Write("short.mot", "S1094000322E303000008D\r\n");
  DeviceRecord r;
  EXPECT_EQ(ReadFileVersion("S1094000", dir.File("long.mot"), r), "1.45");
  EXPECT_TRUE(r.MainFileVersion.empty());
  EXPECT_EQ(r.SecondFileVersionNumber, 145);
  // Shorter than the window: read from its start.
  EXPECT_EQ(ReadFileVersion("S1094000", dir.File("short.mot"), r), "2.00");
}

TEST(ReadFileVersion, UnreadableFileIsReportedAndGivesZero) {
  TempDir dir;
  RecordingDialogSink sink;
  DeviceRecord r;
  EXPECT_EQ(ReadFileVersion("S10B2000", dir.File("missing.mot"), r, 1), "0");
  EXPECT_EQ(r.MainFileVersion, "0");
  ASSERT_EQ(sink.shown.size(), 1u);
  EXPECT_EQ(sink.shown[0].caption, "Error");
  EXPECT_NE(sink.shown[0].text.find("missing.mot"), std::string::npos);
}

TEST(ReadFileVersion, VersionResourceEntryInTheLast64000Bytes) {
  TempDir dir;
  // The decoy more than 64,000 bytes before the end is out of reach.
  std::string file = ProgramWithFileVersion("V0.10") + std::string(70000, '\x11') +
                     ProgramWithFileVersion("V1.23");
  dir.Write("Sensor.dll", file);
  dir.Write("Odd.exe", file + "\x01");  // must not shift the UTF-16 units
  DeviceRecord r;
  EXPECT_EQ(ReadFileVersion("FileVersion", dir.File("Sensor.dll"), r), "1.23");
  EXPECT_EQ(r.MainFileVersionNumber, 123);
  EXPECT_EQ(ReadFileVersion("FileVersion", dir.File("Odd.exe"), r), "1.23");
  EXPECT_EQ(r.SecondFileVersionNumber, 123);
}

TEST(ReadFileVersion, VersionResourceWalkCases) {
  EXPECT_EQ(DecodeResourceVersion(ProgramWithFileVersion("V2.10"), "OriginalFilename"), "");
  // A matched string holding a blank gives what follows the blank.
  EXPECT_EQ(
      DecodeResourceVersion(ProgramWithVersionResource({{"FileVersion 3.04", ""}}), "FileVersion"),
      "3.04");
  EXPECT_EQ(
      DecodeResourceVersion(ProgramWithFileVersion("V" + std::string(40, '7')), "FileVersion"),
      std::string(15, '7'));
  // The matched entry at the very end without its value: nothing, no overrun.
  std::string cut = ProgramWithFileVersion("V2.10");
  cut.resize(cut.find(std::string("V\0002\000.", 6)) - 4);
  EXPECT_EQ(DecodeResourceVersion(cut, "FileVersion"), "");
}
