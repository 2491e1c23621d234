#include <gtest/gtest.h>

#include <filesystem>

#include "app/FirmwareFiles.h"
#include "app/FirmwareSelection.h"
#include "tests/support/TempDir.h"

namespace {

DeviceTable TableOf(std::initializer_list<const char*> progFile2) {
  DeviceTable table;
  for (const char* p : progFile2) {
    DeviceEntry e;
    e.ProgFile2 = p;
    table.entries.push_back(e);
  }
  return table;
}

}  // namespace

TEST(ScanFirmwareFiles, ListsByExtensionOrderLeavingOutEepVersionHiddenAndOtherCase) {
  TempDir dir;
  for (const char* name : {"B.mot", "A.mot", "A_EEP.mot", "Version2.mot", "G.MOT", ".old.mot",
                           "B.txt", "BVersion.txt", "C.EEP.hex", "D.exe", "E.dll", "F.hex",
                           "readme.pdf"})
    dir.Write(name, "x");
  std::filesystem::create_directory(dir.File("dir.mot"));

  FirmwareScan scan = ScanFirmwareFiles(dir.path(), DeviceTable{});
  EXPECT_EQ(scan.files, (std::vector<std::string>{"A.mot", "B.mot", "Version2.mot", "B.txt",
                                                  "D.exe", "E.dll", "F.hex"}));
  EXPECT_EQ(scan.listBoxNames,
            (std::vector<std::string>{"A", "B", "Version2", "B", "D", "E", "F"}));
  EXPECT_TRUE(scan.notes.empty());
  EXPECT_TRUE(scan.MainFileFound("F.hex"));
  EXPECT_FALSE(scan.MainFileFound("G.mot"));
}

TEST(ScanFirmwareFiles, MenuStatesFollowTheFirstFourDeviceEntries) {
  TempDir dir;
  for (const char* name : {"Multi.mot", "Oxi.mot", "pH.mot", "Lab.txt"}) dir.Write(name, "x");

  // Entry 1 is empty: an empty name must not match every file.
  FirmwareScan scan = ScanFirmwareFiles(dir.path(), TableOf({"Multi.mot", "", "Oxi.mot", "Cond.mot"}));
  EXPECT_TRUE(scan.menu.DevMulti812qEnabled);
  EXPECT_FALSE(scan.menu.DevpH812qEnabled);
  EXPECT_TRUE(scan.menu.DevOxi812qEnabled);
  EXPECT_FALSE(scan.menu.DevCond812qEnabled);
  // pH.mot is the last S-record file found and does not name entry 0.
  EXPECT_FALSE(scan.menu.TG812qProgrammingVisible);
  EXPECT_FALSE(scan.menu.LabXXXEnabled);

  scan = ScanFirmwareFiles(dir.path(), TableOf({"pH.mot", "x", "y", "Lab.txt"}));
  EXPECT_TRUE(scan.menu.TG812qProgrammingVisible);
  EXPECT_TRUE(scan.menu.LabXXXEnabled);
  // Fewer than four entries: the missing ones enable nothing.
  scan = ScanFirmwareFiles(dir.path(), TableOf({"Multi.mot"}));
  EXPECT_TRUE(scan.menu.DevMulti812qEnabled);
  EXPECT_FALSE(scan.menu.DevCond812qEnabled);
}

TEST(ScanFirmwareFiles, StopsAtNinetyFilesWithANote) {
  TempDir dir;
  for (int i = 0; i < 95; ++i) dir.Write("fw" + std::to_string(100 + i) + ".mot", "x");
  dir.Write("late.hex", "x");
  FirmwareScan scan = ScanFirmwareFiles(dir.path(), DeviceTable{});
  EXPECT_EQ(scan.files.size(), 90u);
  EXPECT_EQ(scan.listBoxNames.size(), 90u);
  EXPECT_EQ(scan.files.back(), "fw189.mot");
  ASSERT_EQ(scan.notes.size(), 1u);
  EXPECT_NE(scan.notes[0].find("6 firmware file"), std::string::npos);
}

TEST(TakeDeviceFiles, MainFileMarkerDownloadListWithWildcardsAndSensorFile) {
  TempDir dir;
  std::filesystem::create_directory(dir.File("sub"));
  dir.Write("sub/y.exe", "x");
  dir.Write("sub/x.dll", "x");
  DeviceTable table = TableOf({"other.mot"});
  DeviceEntry entry;
  entry.ProgFile1 = "extra.mot";
  entry.ProgFile2 = "main.exe@,a.exe,,b.dll,sub\\*.*,c.txt,";
  entry.ProgFile3 = "sensor.txt@";
  DeviceRecord record;
  record.DeviceNumber = "12345";

  EXPECT_EQ(TakeDeviceFiles(entry, table, dir.path(), record), kLoaderWinCe);
  EXPECT_EQ(record.MainFile, "main.exe");
  EXPECT_TRUE(record.MainFileMarker);
  std::vector<std::string> names;
  for (const auto& n : record.DownloadList) names.push_back(n.str());
  EXPECT_EQ(names, (std::vector<std::string>{"a.exe", "b.dll", "sub/x.dll", "sub/y.exe", "c.txt"}));
  EXPECT_EQ(record.DownloadListLength, 5);
  EXPECT_EQ(record.ExtraFile, "extra.mot");
  EXPECT_EQ(record.SensorFile, "sensor.txt");
  EXPECT_TRUE(record.SensorFileMarker);
}

TEST(TakeDeviceFiles, LoaderKindAndBasicLoaderSensorFile) {
  DeviceEntry entry;
  entry.ProgFile2 = "fw.txt";
  entry.ProgFile3 = "sensor.mot";
  DeviceRecord record;
  record.DeviceNumber = "2241582";
  EXPECT_EQ(TakeDeviceFiles(entry, TableOf({"fw.txt"}), "", record), kLoaderTiTxt);
  EXPECT_EQ(record.SensorFile, kBasicLoaderSensorFile);
  EXPECT_FALSE(record.MainFileMarker);
  EXPECT_TRUE(record.DownloadList.empty());

  // Intel-hex is decided by device entry 0, whatever the matched entry holds.
  record.DeviceNumber = "10000";
  EXPECT_EQ(TakeDeviceFiles(entry, TableOf({"pic.hex", "fw.txt"}), "", record), kLoaderIntelHex);
  EXPECT_EQ(record.SensorFile, "sensor.mot");
  entry.ProgFile2 = "fw.mot";
  EXPECT_EQ(TakeDeviceFiles(entry, TableOf({"x.mot"}), "", record), kLoaderSRecord);
}

TEST(TakeDeviceFiles, DownloadListIsBoundedInCountAndNameLength) {
  TempDir dir;
  std::filesystem::create_directory(dir.File("many"));
  for (int i = 0; i < 210; ++i) dir.Write("many/f" + std::to_string(1000 + i) + ".dll", "x");
  DeviceEntry entry;
  entry.ProgFile2 = ("m.exe," + std::string(300, 'n') + ",many/*.*").c_str();
  DeviceRecord record;
  std::vector<std::string> notes;
  TakeDeviceFiles(entry, TableOf({"m.exe"}), dir.path(), record, &notes);
  ASSERT_EQ(record.DownloadList.size(), 200u);
  EXPECT_EQ(record.DownloadListLength, 200);
  EXPECT_EQ(record.DownloadList[0].size(), 254u);
  EXPECT_EQ(record.DownloadList[199], "many/f1198.dll");
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_NE(notes[0].find("cut to 254"), std::string::npos);
  EXPECT_NE(notes[1].find("11 download-list name"), std::string::npos);
}
