#include <gtest/gtest.h>

#include "app/VersionCheck.h"
#include "tests/app/RecordingDialogSink.h"
#include "tests/app/VersionResourceBuilder.h"
#include "tests/support/TempDir.h"

namespace {

std::string ProgramWithVersion(const std::string& value) {
  return VersionResourceBuilder().Block("StringFileInfo").String("FileVersion", value).bytes();
}

DeviceRecord Versions(int32_t instrument, int32_t file, int32_t sensor = 0, int32_t sensorFile = 0) {
  DeviceRecord r;
  r.SoftwareVersion = "1.50";
  r.SoftwareVersionNumber = instrument;
  r.MainFileVersionNumber = file;
  r.SensorVersionNumber = sensor;
  r.SecondFileVersionNumber = sensorFile;
  return r;
}

struct Check {
  RecordingDialogSink sink;
  std::vector<std::string> memo;
  VersionCheckContext context;
  bool confirmed = false;

  Check() { context.addMemo = [this](const std::string& t) { memo.push_back(t); }; }
  bool Run(DeviceRecord& r) { return CheckVersions(r, context, confirmed); }
};

}  // namespace

TEST(ReadVersionTexts, DownloadListScanStopsBeforeANameThatIsNoProgram) {
  TempDir dir;
  RecordingDialogSink sink;
  dir.Write("main.exe", ProgramWithVersion("V1.00"));
  dir.Write("a.exe", ProgramWithVersion("V1.50"));
  dir.Write("b.dll", ProgramWithVersion("V2.10"));
  // c.txt does not exist: reading it would show an error.
  DeviceRecord r;
  r.SWKenn2 = "FileVersion";
  r.MainFile = "main.exe";
  for (const char* n : {"a.exe", "b.dll", "c.txt"}) r.DownloadList.emplace_back(n);

  VersionTexts texts = ReadVersionTexts(r, dir.path(), 0);
  EXPECT_TRUE(sink.shown.empty());
  EXPECT_EQ(texts.statusText, "Version 2.10");
  EXPECT_EQ(r.MainFileVersion, "2.10");
  EXPECT_EQ(r.MainFileVersionNumber, 210);
  EXPECT_FALSE(texts.sendStartupQuery);
}

TEST(ReadVersionTexts, StartupProgramGroupAndHighestVersionKeepsTheMainFile) {
  TempDir dir;
  RecordingDialogSink sink;
  dir.Write("main.exe", ProgramWithVersion("V3.00"));
  dir.Write("a.dll", ProgramWithVersion("V1.00"));
  dir.Write("VernixStartUp.exe", ProgramWithVersion("V1.07"));
  dir.Write("b.exe", ProgramWithVersion("V0.50"));
  DeviceRecord r;
  r.SWKenn2 = "FileVersion";
  r.MainFile = "main.exe";
  for (const char* n : {"a.dll", "VernixStartUp.exe", "b.exe", "notes.txt", "c.exe"})
    r.DownloadList.emplace_back(n);

  VersionTexts texts = ReadVersionTexts(r, dir.path(), 0);
  EXPECT_TRUE(sink.shown.empty());
  EXPECT_TRUE(texts.sendStartupQuery);
  EXPECT_EQ(texts.startupProgramIndex, 1);
  EXPECT_EQ(texts.startupGroupEnd, 2);
  EXPECT_EQ(r.StartupVersionFiles, 107);
  EXPECT_EQ(texts.statusText, "Version 3.00");
  EXPECT_EQ(r.MainFileVersionNumber, 300);
}

TEST(ReadVersionTexts, ExtraAndSensorVersionsAreAppendedAndLandInTheSecondSlot) {
  TempDir dir;
  RecordingDialogSink sink;
  dir.Write("main.mot", "S0030000FC\r\n");  // holds no version text
  dir.Write("extra.mot", "EXTRA312E303100\r\n");
  dir.Write("sensor.txt", "@1000\r\n32 2E 30 31 00\r\n");
  DeviceRecord r;
  r.SWKenn1 = "EXTRA";
  r.SWKenn2 = "S10B2000";
  r.SWKenn3 = "@1000\r\n";
  r.MainFile = "main.mot";
  r.ExtraFile = "extra.mot";
  r.SensorFile = "sensor.txt";

  VersionTexts texts = ReadVersionTexts(r, dir.path(), 0);
  EXPECT_EQ(texts.statusText, "Version  / 1.01 / 2.01");
  EXPECT_TRUE(r.MainFileVersion.empty());
  EXPECT_EQ(r.MainFileVersionNumber, 0);
  EXPECT_EQ(r.SecondFileVersionNumber, 201);
}

TEST(CheckVersions, EqualVersionsAskAndTheAnswerDecides) {
  {
    Check check;
    check.sink.Answer({MsgResult::No});
    DeviceRecord r = Versions(150, 150, 120, 120);
    EXPECT_FALSE(check.Run(r));
    EXPECT_FALSE(check.confirmed);
    ASSERT_EQ(check.sink.shown.size(), 1u);
    EXPECT_EQ(check.sink.shown[0].text,
              "Die aktuelle Software-Version1.50 ist schon im Ger\xE4t.\r\n"
              "Wollen Sie trotzdem den Download fortsetzen ?");
    EXPECT_EQ(check.sink.shown[0].caption, "Info");
    EXPECT_EQ(check.sink.shown[0].buttons, MsgButtons::YesNo);
  }
  {
    Check check;
    check.sink.Answer({MsgResult::Yes});
    DeviceRecord r = Versions(150, 150, 120, 120);
    EXPECT_TRUE(check.Run(r));
    EXPECT_TRUE(check.confirmed);
    EXPECT_TRUE(MainSoftwareToBeUpdated(r, check.confirmed));
    EXPECT_TRUE(SensorSoftwareToBeUpdated(r, check.confirmed));
  }
}

TEST(CheckVersions, InstrumentNewerIsRefusedWithTheGuardAndDowngradedWithout) {
  {
    Check check;
    DeviceRecord r = Versions(160, 150);
    EXPECT_FALSE(check.Run(r));
    ASSERT_EQ(check.sink.shown.size(), 1u);
    EXPECT_EQ(check.sink.shown[0].text, "keine g\xFCltige Software-Version !!");
    EXPECT_EQ(check.sink.shown[0].caption, "Fehler");
    EXPECT_EQ(check.sink.shown[0].icon, MsgIcon::Error);
    ASSERT_EQ(check.memo.size(), 1u);
    EXPECT_EQ(check.memo[0].find("Die Software-Version1.50 in Ihrem Ger\xE4t ist aktueller"), 0u);
  }
  {
    Check check;
    check.context.versionGuard = false;
    check.context.language = 1;
    DeviceRecord r = Versions(160, 150);
    EXPECT_TRUE(check.Run(r));
    ASSERT_EQ(check.sink.shown.size(), 1u);  // the message, no question
    EXPECT_EQ(check.sink.shown[0].text, "No valid software version !!");
    EXPECT_TRUE(check.memo.empty());
    EXPECT_TRUE(check.confirmed);
    EXPECT_EQ(r.SoftwareVersionNumber, 150);
    EXPECT_TRUE(MainSoftwareToBeUpdated(r, check.confirmed));
  }
  {
    // A newer sensor file makes it no downgrade as a whole.
    Check check;
    DeviceRecord r = Versions(160, 150, 100, 110);
    EXPECT_TRUE(check.Run(r));
    EXPECT_TRUE(check.sink.shown.empty());
    EXPECT_FALSE(MainSoftwareToBeUpdated(r, check.confirmed));
    EXPECT_TRUE(SensorSoftwareToBeUpdated(r, check.confirmed));
  }
}

TEST(CheckVersions, NewerFilesGoAheadUnlessTheSensorCanOnlyBeUpdatedOverUsb) {
  {
    Check check;
    DeviceRecord r = Versions(140, 150, 120, 130);
    EXPECT_TRUE(check.Run(r));
    EXPECT_TRUE(check.sink.shown.empty());
  }
  {
    Check check;
    check.context.usbOnly = true;
    check.sink.Answer({MsgResult::No});
    DeviceRecord r = Versions(140, 150, 120, 130);
    EXPECT_FALSE(check.Run(r));
    ASSERT_EQ(check.sink.shown.size(), 1u);
    EXPECT_EQ(check.sink.shown[0].text.find("Die Software f\xFCr die Sensoridentifizierung"), 0u);
  }
  {
    // Start-up program differs only: go ahead without asking.
    Check check;
    DeviceRecord r = Versions(150, 150);
    r.StartupVersionInstrument = 100;
    r.StartupVersionFiles = 107;
    EXPECT_TRUE(check.Run(r));
    EXPECT_TRUE(check.sink.shown.empty());
  }
  {
    // Same versions confirmed, then the USB question has the last word.
    Check check;
    check.context.usbOnly = true;
    check.sink.Answer({MsgResult::Yes, MsgResult::Yes});
    DeviceRecord r = Versions(150, 150);
    EXPECT_TRUE(check.Run(r));
    EXPECT_EQ(check.sink.shown.size(), 2u);
    EXPECT_TRUE(check.confirmed);
  }
}
