#include <gtest/gtest.h>

#include <filesystem>

#include "app/FirmwareFiles.h"
#include "app/FirmwareSelection.h"
#include "tests/support/TempDir.h"

namespace {

DeviceTable TableOf(std::initializer_list<const char*> progFile2) {
  DeviceTable table;
  for (const char* p : progFile2) table.entries.emplace_back().ProgFile2 = p;
  return table;
}

}  // namespace

TEST(ScanFirmwareFiles, ListsByExtensionInAnyCaseLeavingOutEepVersionAndHidden) {
  TempDir dir;
  for (const char* name : {"B.mot", "A.mot", "A_EEP.mot", "Version2.mot", "G.MOT", ".old.mot",
                           "B.txt", "BVersion.txt", "C.EEP.hex", "D.exe", "E.dll", "F.hex"})
    dir.Write(name, "x");
  std::filesystem::create_directory(dir.File("dir.mot"));
  FirmwareScan scan = ScanFirmwareFiles(dir.path(), DeviceTable{});
  EXPECT_EQ(scan.files, (std::vector<std::string>{"A.mot", "B.mot", "G.MOT", "Version2.mot",
                                                  "B.txt", "D.exe", "E.dll", "F.hex"}));
  EXPECT_EQ(scan.listBoxNames,
            (std::vector<std::string>{"A", "B", "G", "Version2", "B", "D", "E", "F"}));
  EXPECT_TRUE(scan.MainFileFound("F.hex"));
  EXPECT_TRUE(scan.MainFileFound("g.mot"));
}

// Deliveries come from Windows shares: PH812Q.MOT on disk is the file
// ProgDevice.ini calls ph812q.mot.
TEST(ScanFirmwareFiles, DeviceEntriesFindTheirFilesWhateverTheCaseOnDisk) {
  TempDir dir;
  dir.Write("PH812Q.MOT", "x");
  dir.Write("LAB.TXT", "x");
  FirmwareScan scan =
      ScanFirmwareFiles(dir.path(), TableOf({"x.mot", "ph812q.mot", "y", "lab.txt"}));
  EXPECT_TRUE(scan.menu.DevpH812qEnabled);
  EXPECT_TRUE(scan.menu.LabXXXEnabled);
  EXPECT_TRUE(scan.MainFileFound("ph812q.mot"));
}

TEST(FirmwareFileFault, NamesTheMissingOrAmbiguousFileAndTheFolderInBothLanguages) {
  TempDir dir;
  dir.Write("MAIN.TXT", "x");
  dir.Write("Twice.txt", "x");
  dir.Write("TWICE.TXT", "x");
  struct Case {
    const char* name;
    int language;
    std::vector<std::string> says;  // empty: no fault
  } cases[] = {
      {"main.txt", 0, {}},
      {"gone.txt",
       0,
       {"Firmware-Datei gone.txt fehlt im Ordner " + dir.path(), "nicht ver\xE4ndert"}},
      {"gone.txt", 1, {"Firmware file gone.txt is missing in folder " + dir.path(), "not changed"}},
      {"twice.txt",
       0,
       {dir.File("TWICE.TXT") + " / " + dir.File("Twice.txt"), "Gro\xDF-/Kleinschreibung"}},
      {"twice.txt",
       1,
       {dir.File("TWICE.TXT") + " / " + dir.File("Twice.txt"), "differ only in case"}},
  };
  for (const Case& c : cases) {
    const std::string text = FirmwareFileFault(dir.path(), c.name, c.language);
    EXPECT_EQ(text.empty(), c.says.empty()) << c.name << ": " << text;
    for (const std::string& part : c.says)
      EXPECT_NE(text.find(part), std::string::npos) << c.name << ": " << text;
    EXPECT_EQ(text.find("Wrong device"), std::string::npos);
  }
}

TEST(ScanFirmwareFiles, MenuStatesFollowTheFirstFourDeviceEntries) {
  TempDir dir;
  for (const char* name : {"Multi.mot", "Oxi.mot", "pH.mot", "Lab.txt"}) dir.Write(name, "x");
  // Entry 1 is empty: an empty name must not match every file.
  FirmwareScan scan = ScanFirmwareFiles(dir.path(), TableOf({"Multi.mot", "", "Oxi.mot", "C.mot"}));
  EXPECT_TRUE(scan.menu.DevMulti812qEnabled);
  EXPECT_FALSE(scan.menu.DevpH812qEnabled);
  EXPECT_TRUE(scan.menu.DevOxi812qEnabled);
  EXPECT_FALSE(scan.menu.DevCond812qEnabled);
  EXPECT_FALSE(scan.menu.TG812qProgrammingVisible);  // pH.mot, found last, decides
  EXPECT_FALSE(scan.menu.LabXXXEnabled);
  scan = ScanFirmwareFiles(dir.path(), TableOf({"pH.mot", "x", "y", "Lab.txt"}));
  EXPECT_TRUE(scan.menu.TG812qProgrammingVisible);
  EXPECT_TRUE(scan.menu.LabXXXEnabled);
}

TEST(ScanFirmwareFiles, StopsAtNinetyFilesWithANote) {
  TempDir dir;
  for (int i = 0; i < 95; ++i) dir.Write("fw" + std::to_string(100 + i) + ".mot", "x");
  dir.Write("late.hex", "x");
  FirmwareScan scan = ScanFirmwareFiles(dir.path(), DeviceTable{});
  EXPECT_EQ(scan.files.size(), 90u);
  EXPECT_EQ(scan.listBoxNames.size(), 90u);
  ASSERT_EQ(scan.notes.size(), 1u);
  EXPECT_NE(scan.notes[0].find("6 firmware file"), std::string::npos);
}

TEST(TakeDeviceFiles, MarkersDownloadListWithWildcardsAndLoaderKind) {
  TempDir dir;
  std::filesystem::create_directory(dir.File("Sub"));
  dir.Write("Sub/y.exe", "x");
  dir.Write("Sub/x.dll", "x");
  DeviceEntry entry;
  entry.ProgFile1 = "extra.mot";
  entry.ProgFile2 = "main.exe@,a.exe,,b.dll,sub\\*.*,c.txt,";
  entry.ProgFile3 = "sensor.txt@";
  DeviceRecord r;
  EXPECT_EQ(TakeDeviceFiles(entry, TableOf({"other.mot"}), dir.path(), r), kLoaderWinCe);
  EXPECT_EQ(r.MainFile, "main.exe");
  EXPECT_TRUE(r.MainFileMarker);
  std::vector<std::string> names;
  for (const auto& n : r.DownloadList) names.push_back(n.str());
  // The folder is found whatever its case; the names keep the delivery's
  // spelling, '\\' included, as the instrument is told them.
  EXPECT_EQ(names,
            (std::vector<std::string>{"a.exe", "b.dll", "sub\\x.dll", "sub\\y.exe", "c.txt"}));
  EXPECT_EQ(r.DownloadListLength, 5);
  EXPECT_EQ(r.ExtraFile, "extra.mot");
  EXPECT_EQ(r.SensorFile, "sensor.txt");
  EXPECT_TRUE(r.SensorFileMarker);

  // The matched entry's main file decides, whatever device entry 0 holds.
  entry.ProgFile2 = "fw.txt";
  EXPECT_EQ(TakeDeviceFiles(entry, TableOf({"pic.hex"}), "", r), kLoaderTiTxt);
  EXPECT_EQ(TakeDeviceFiles(entry, TableOf({"x.mot"}), "", r), kLoaderTiTxt);
  entry.ProgFile2 = "fw.hex";
  EXPECT_EQ(TakeDeviceFiles(entry, TableOf({"x.mot"}), "", r), kLoaderIntelHex);
  entry.ProgFile2 = "fw.txt";
  EXPECT_TRUE(r.DownloadList.empty());
  r.DeviceNumber = "2241582";
  TakeDeviceFiles(entry, TableOf({"x.mot"}), "", r);
  EXPECT_EQ(r.SensorFile, kBasicLoaderSensorFile);
}

TEST(TakeDeviceFiles, DownloadListIsBoundedInCountAndNameLength) {
  TempDir dir;
  std::filesystem::create_directory(dir.File("many"));
  for (int i = 0; i < 210; ++i) dir.Write("many/f" + std::to_string(1000 + i) + ".dll", "x");
  DeviceEntry entry;
  entry.ProgFile2 = "m.exe," + std::string(300, 'n') + ",many/*.*";
  DeviceRecord r;
  std::vector<std::string> notes;
  TakeDeviceFiles(entry, TableOf({"m.exe"}), dir.path(), r, &notes);
  ASSERT_EQ(r.DownloadList.size(), 200u);
  EXPECT_EQ(r.DownloadList[0].size(), 254u);
  EXPECT_EQ(r.DownloadList[199], "many/f1198.dll");
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_NE(notes[0].find("cut to 254"), std::string::npos);
  EXPECT_NE(notes[1].find("11 download-list name"), std::string::npos);
}
