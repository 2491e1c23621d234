#include <gtest/gtest.h>

#include "app/FileVersion.h"
#include "tests/app/RecordingDialogSink.h"
#include "tests/app/VersionResourceBuilder.h"
#include "tests/support/TempDir.h"

namespace {

std::string ProgramWithVersion(const std::string& value, std::size_t leading = 512) {
  return VersionResourceBuilder(leading)
      .Block("VS_VERSION_INFO")
      .Filler(52)  // VS_FIXEDFILEINFO
      .Block("StringFileInfo")
      .Block("040704b0")
      .String("CompanyName", "Lab Instruments")
      .String("FileDescription", "Sensor firmware")
      .String("FileVersion", value)
      .String("ProductVersion", "9.99")
      .bytes();
}

}  // namespace

TEST(VersionNumber, ScalesTheLeadingDecimalNumberAndTruncates) {
  EXPECT_EQ(VersionNumber("1.23"), 123);
  EXPECT_EQ(VersionNumber("1.230"), 123);
  EXPECT_EQ(VersionNumber("1.2"), 120);
  EXPECT_EQ(VersionNumber("12.5"), 1250);
  EXPECT_EQ(VersionNumber("0.29"), 29);
  EXPECT_EQ(VersionNumber("1.23,2.01"), 123);
  EXPECT_EQ(VersionNumber(""), 0);
  EXPECT_EQ(VersionNumber("Y.YY"), 0);
  EXPECT_EQ(VersionNumber("X.XX"), 0);
  // Fifteen digits fit the version field but not an int32.
  EXPECT_EQ(VersionNumber("999999999999999"), INT32_MAX);
}

TEST(VersionReadMode, KeyAndOwnFileNameDecide) {
  EXPECT_EQ(VersionModeOf("S1094000", "fw.exe"), VersionReadMode::HexPairsAtEnd);
  EXPECT_EQ(VersionModeOf("Version", "Sensor.dll"), VersionReadMode::VersionResource);
  EXPECT_EQ(VersionModeOf("@1000\r\n", "fw.txt"), VersionReadMode::HexPairs);
  EXPECT_EQ(VersionModeOf("@1000\r\n", "/opt/exe-files/fw.txt"), VersionReadMode::HexPairs);
}

TEST(ReadFileVersion, SRecordLineInTheFirstKilobyteGoesToTheMainSlotThenTheSecond) {
  TempDir dir;
  dir.Write("fw.mot",
            "S00F000068656C6C6F202020202000003C\r\n"
            "S10B2000312E32330000AABB7F\r\n"
            "S9030000FC\r\n");
  DeviceRecord record;
  EXPECT_EQ(ReadFileVersion("S10B2000", dir.File("fw.mot"), record), "1.23");
  EXPECT_EQ(record.MainFileVersion, "1.23");
  EXPECT_EQ(record.MainFileVersionNumber, 123);
  EXPECT_EQ(ReadFileVersion("S10B2000", dir.File("fw.mot"), record), "1.23");
  EXPECT_EQ(record.SecondFileVersionNumber, 123);
  EXPECT_EQ(ReadFileVersion("S1FF", dir.File("fw.mot"), record), "");
}

TEST(ReadFileVersion, TiTxtBytesSeparatedByBlanksOnlyWithinTheFirstKilobyte) {
  TempDir dir;
  dir.Write("fw.txt", "@F000\r\n01 02 03\r\n@1000\r\n32 2E 30 35 00 FF\r\nq\r\n");
  std::string late(1200, 'F');
  dir.Write("late.txt", late + "\r\n@1000\r\n32 2E 30 35 00\r\n");
  DeviceRecord record;
  EXPECT_EQ(ReadFileVersion("@1000\r\n", dir.File("fw.txt"), record), "2.05");
  EXPECT_EQ(record.MainFileVersionNumber, 205);
  DeviceRecord other;
  EXPECT_EQ(ReadFileVersion("@1000\r\n", dir.File("late.txt"), other), "");
}

TEST(ReadFileVersion, S1094000ReadsTheLastKilobyteIntoTheSecondSlot) {
  TempDir dir;
  std::string data;
  data += "S1094000302E393900008D\r\n";  // an older header far from the end
  for (int i = 0; i < 60; ++i) data += "S1130000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFEC\r\n";
  data += "S1094000312E343500008A\r\nS9030000FC\r\n";
  dir.Write("long.mot", data);
  dir.Write("short.mot", "S1094000322E303000008D\r\n");
  DeviceRecord record;
  EXPECT_EQ(ReadFileVersion("S1094000", dir.File("long.mot"), record), "1.45");
  EXPECT_TRUE(record.MainFileVersion.empty());
  EXPECT_EQ(record.SecondFileVersionNumber, 145);
  // Shorter than the window: read from its start.
  EXPECT_EQ(ReadFileVersion("S1094000", dir.File("short.mot"), record), "2.00");
}

TEST(ReadFileVersion, HexTextIsBoundedToItsFieldAndEndsAtANonHexCharacter) {
  TempDir dir;
  dir.Write("a.mot", "KEY" + std::string(80, '4') + "\r\n");
  dir.Write("b.mot", "KEY3132Z3334");
  DeviceRecord record;
  EXPECT_EQ(ReadFileVersion("KEY", dir.File("a.mot"), record), std::string(15, 'D'));
  EXPECT_EQ(ReadFileVersion("KEY", dir.File("b.mot"), record), "12");
}

TEST(ReadFileVersion, UnreadableFileIsReportedAndGivesZero) {
  TempDir dir;
  RecordingDialogSink sink;
  DeviceRecord record;
  EXPECT_EQ(ReadFileVersion("S10B2000", dir.File("missing.mot"), record, 1), "0");
  EXPECT_EQ(record.MainFileVersion, "0");
  ASSERT_EQ(sink.shown.size(), 1u);
  EXPECT_EQ(sink.shown[0].caption, "Error");
  EXPECT_EQ(sink.shown[0].icon, MsgIcon::Error);
  EXPECT_NE(sink.shown[0].text.find("missing.mot"), std::string::npos);
}

TEST(ReadFileVersion, VersionResourceEntryInTheLast64000Bytes) {
  TempDir dir;
  // A decoy entry more than 64,000 bytes before the end is out of reach.
  std::string decoy = ProgramWithVersion("V0.10");
  std::string file = decoy + std::string(70000, '\x11') + ProgramWithVersion("V1.23").substr(512);
  dir.Write("Sensor.dll", file);
  DeviceRecord record;
  EXPECT_EQ(ReadFileVersion("FileVersion", dir.File("Sensor.dll"), record), "1.23");
  EXPECT_EQ(record.MainFileVersionNumber, 123);

  // An odd file length must not shift the UTF-16 units by one byte.
  dir.Write("Odd.exe", file + "\x01");
  DeviceRecord odd;
  EXPECT_EQ(ReadFileVersion("FileVersion", dir.File("Odd.exe"), odd), "1.23");
}

TEST(ReadFileVersion, VersionResourceWalkCases) {
  // Whole file shorter than the window.
  EXPECT_EQ(DecodeResourceVersion(ProgramWithVersion("V2.10"), "FileVersion"), "2.10");
  // A string holding a blank gives what follows the blank.
  EXPECT_EQ(DecodeResourceVersion(VersionResourceBuilder().Block("FileVersion 3.04").bytes(),
                                  "FileVersion"),
            "3.04");
  EXPECT_EQ(DecodeResourceVersion(ProgramWithVersion("V2.10"), "OriginalFilename"), "");
  // Matched entry at the very end, value missing: nothing, no overrun.
  std::string cut = ProgramWithVersion("V2.10");
  cut.resize(cut.find(std::string("V\0002\000.", 6)) - 4);
  EXPECT_EQ(DecodeResourceVersion(cut, "FileVersion"), "");
  // Bounded to the version field.
  EXPECT_EQ(DecodeResourceVersion(ProgramWithVersion("V" + std::string(40, '7')), "FileVersion"),
            std::string(15, '7'));
}
