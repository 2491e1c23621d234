#include <gtest/gtest.h>

#include "app/DeviceTable.h"
#include "app/Settings.h"
#include "tests/support/TempDir.h"

namespace {

std::string DeviceBlock(const std::string& startCmd, const std::string& nr, int extraLines = 0,
                        const std::string& more = "") {
  std::string b = more + "DevStartCmd=" + startCmd + "\nDeviceNrDef=D" + nr + "\nDeviceNr=" + nr +
                  "\nDeviceName=Meter " + nr + "\nProgFile1=\nProgFile2=m" + nr +
                  ".mot\nProgFile3=\nSWKenn1=\nSWKenn2=S0\nSWKenn3=\n";
  for (int i = 0; i < extraLines; ++i) b += "Filler" + std::to_string(i) + "=x\n";
  return b;
}

int ReadBaud(TempDir& dir, const std::string& baud, UpdateSettings& s) {
  dir.Write("Update.ini", "[Update]\r\nLanguage=1\r\nVersion=V 2.0\r\nBaud=" + baud + "\r\n");
  return ReadUpdateIni(dir.File("Update.ini"), s);
}

}  // namespace

TEST(UpdateIni, BaudListParsingAndDefaultOrder) {
  TempDir dir;
  UpdateSettings s;
  ASSERT_EQ(ReadBaud(dir, "", s), 0);
  EXPECT_EQ(s.baudList, (std::vector<uint8_t>{2, 3, 4, 1, 0}));
  EXPECT_EQ(s.language, 1);
  EXPECT_EQ(s.version, "V 2.0");
  ReadBaud(dir, "3", s);
  EXPECT_EQ(s.baudList, (std::vector<uint8_t>{3}));
  ReadBaud(dir, "3,2", s);
  EXPECT_EQ(s.baudList, (std::vector<uint8_t>{3, 2}));
  EXPECT_FALSE(s.fixedPort);
}

TEST(UpdateIni, OutOfModelValuesAreReportedNotMisread) {
  TempDir dir;
  UpdateSettings s;
  std::vector<std::string> notes;
  std::string many;
  for (int i = 0; i < 25; ++i) many += (i ? "," : "") + std::to_string(i % 6);
  dir.Write("Update.ini", "Language=7\nBaud=" + many + "\nCom=2\n");
  ASSERT_EQ(ReadUpdateIni(dir.File("Update.ini"), s, &notes), 0);
  EXPECT_EQ(s.baudList.size(), UpdateSettings::kMaxBaudEntries);
  EXPECT_EQ(s.language, 0);
  EXPECT_TRUE(s.fixedPort);
  EXPECT_EQ(s.fixedPortIndex, 1);
  EXPECT_GE(notes.size(), 2u);

  notes.clear();
  dir.Write("Update.ini", "Language=0\nBaud=3,9,x,4\n");
  ReadUpdateIni(dir.File("Update.ini"), s, &notes);
  EXPECT_EQ(s.baudList, (std::vector<uint8_t>{3, 4}));
  EXPECT_EQ(notes.size(), 2u);
  EXPECT_EQ(ReadUpdateIni(dir.File("missing.ini"), s), -1);
}

TEST(UpdateIni, WriteKeepsExactlyFourLinesInOrder) {
  TempDir dir;
  dir.Write("Update.ini", "; comment\r\n[Update]\r\ncom=3\r\nBaud=3,2\r\nLanguage=0x\r\nVersion=old\r\n");
  UpdateSettings s;
  s.language = 1;
  s.version = "V 1.5";
  ASSERT_EQ(WriteUpdateIni(dir.File("Update.ini"), s), 0);
  EXPECT_EQ(dir.Read("Update.ini"), "Language=1x\r\nVersion=V 1.5\r\nBaud=3,2\r\nCom=3\r\n");
  EXPECT_EQ(WriteUpdateIni(dir.File("none.ini"), s), -1);
  EXPECT_EQ(dir.Read("none.ini"), "");
}

TEST(ProgDeviceIni, ElevenLineBlocksAreDevicesTenLineBlocksAreNot) {
  TempDir dir;
  std::string ten = DeviceBlock("1", "111");  // ten lines
  std::string eleven = DeviceBlock("1", "222", 1);
  dir.Write("ProgDevice.ini", ten + "\n" + eleven + "\n");
  DeviceTable t;
  ASSERT_EQ(ReadProgDeviceIni(dir.File("ProgDevice.ini"), t), 0);
  ASSERT_EQ(t.entries.size(), 1u);
  EXPECT_EQ(t.entries[0].DeviceNr, "222");
  EXPECT_TRUE(t.entries[0].BootLoadKenn.empty()) << "a key missing from the block is empty";
}

TEST(ProgDeviceIni, LastDevStartCmdWinsAndValuesAreConverted) {
  TempDir dir;
  std::string a = DeviceBlock("1", "111", 1, "ProzTyp=1A\nSWKenn1=Version\\r\\nrest\n");
  std::string b = DeviceBlock("3", "222", 1, "ProzTyp=\n");
  std::string texts = "StarttextD=Hallo NAME\nStarttextE=Hello NAME\nAbbruchtextD=Abbruch\nAbbruchtextE=Abort\n";
  dir.Write("ProgDevice.ini", a + "\r\n" + texts + "\n" + b);
  DeviceTable t;
  ASSERT_EQ(ReadProgDeviceIni(dir.File("ProgDevice.ini"), t), 0);
  ASSERT_EQ(t.entries.size(), 2u);
  EXPECT_EQ(t.StartCommandIndex, 2);
  EXPECT_EQ(t.entries[0].ProzTyp, 26);
  EXPECT_EQ(t.entries[1].ProzTyp, 0);
  EXPECT_EQ(t.entries[0].SWKenn1, "Version\r\n");
  EXPECT_EQ(t.texts.StarttextE, "Hello NAME");
  EXPECT_EQ(t.texts.AbbruchtextD, "Abbruch");
  EXPECT_EQ(t.loaderKind, kLoaderSRecord);
}

TEST(ProgDeviceIni, CapacitiesAreRespectedAndReported) {
  TempDir dir;
  std::string all;
  for (int i = 0; i < 22; ++i)
    all += DeviceBlock("2", std::to_string(100 + i), 1, i == 0 ? "DeviceName=" + std::string(80, 'n') + "\n" : "") + "\n";
  all += DeviceBlock("9", "999", 1);
  dir.Write("ProgDevice.ini", all);
  DeviceTable t;
  std::vector<std::string> notes;
  ASSERT_EQ(ReadProgDeviceIni(dir.File("ProgDevice.ini"), t, &notes), 0);
  EXPECT_EQ(t.entries.size(), DeviceTable::kCapacity);
  EXPECT_EQ(t.StartCommandIndex, 1) << "the ignored blocks do not set the selector";
  EXPECT_EQ(t.entries[0].DeviceName.size(), 31u) << "the first DeviceName line of the block counts";
  EXPECT_EQ(notes.size(), 4u) << "three blocks beyond the table and one cut name";
}

TEST(ProgDeviceIni, LoaderKindFollowsTheMainFileExtension) {
  EXPECT_EQ(LoaderKindOf("a.mot"), kLoaderSRecord);
  EXPECT_EQ(LoaderKindOf("a.txt"), kLoaderTiTxt);
  EXPECT_EQ(LoaderKindOf("a.exe,b.dll"), kLoaderWinCe);
  EXPECT_EQ(LoaderKindOf("a.txt,b.hex"), kLoaderIntelHex);
}
