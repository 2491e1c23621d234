#include <gtest/gtest.h>

#include "app/VersionCheck.h"
#include "tests/app/RecordingDialogSink.h"
#include "tests/app/VersionResourceBuilder.h"
#include "tests/support/TempDir.h"

namespace {

DeviceRecord Versions(int32_t instrument, int32_t file, int32_t sensor = 0,
                      int32_t sensorFile = 0) {
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
  VersionCheckContext context{0, true, false, [this](const std::string& t) { memo.push_back(t); }};
  bool confirmed = false;
  bool Run(DeviceRecord r) {
    record = r;
    return CheckVersions(record, context, confirmed);
  }
  DeviceRecord record;
};

DeviceRecord WithPrograms(const TempDir& dir,
                          std::initializer_list<std::pair<const char*, const char*>> files,
                          std::initializer_list<const char*> list) {
  for (const auto& [name, version] : files) dir.Write(name, ProgramWithFileVersion(version));
  DeviceRecord r;
  r.SWKenn2 = "FileVersion";
  r.MainFile = "main.exe";
  for (const char* n : list) r.DownloadList.emplace_back(n);
  return r;
}

}  // namespace

TEST(ReadVersionTexts, DownloadListScanStopsBeforeANameThatIsNoProgram) {
  TempDir dir;
  RecordingDialogSink sink;  // c.txt does not exist: reading it would show an error
  DeviceRecord r =
      WithPrograms(dir, {{"main.exe", "V1.00"}, {"a.exe", "V1.50"}, {"b.dll", "V2.10"}},
                   {"a.exe", "b.dll", "c.txt"});
  VersionTexts texts = ReadVersionTexts(r, dir.path(), 0);
  EXPECT_TRUE(sink.shown.empty());
  EXPECT_EQ(texts.statusText, "Version 2.10");
  EXPECT_EQ(r.MainFileVersionNumber, 210);
  EXPECT_FALSE(texts.sendStartupQuery);
}

TEST(ReadVersionTexts, StartupProgramGroupAndTheMainFileStayingHighest) {
  TempDir dir;
  RecordingDialogSink sink;
  DeviceRecord r = WithPrograms(dir,
                                {{"main.exe", "V3.00"},
                                 {"a.dll", "V1.00"},
                                 {"VernixStartUp.exe", "V1.07"},
                                 {"b.exe", "V0.50"}},
                                {"a.dll", "VernixStartUp.exe", "b.exe", "notes.txt", "c.exe"});
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
  EXPECT_EQ(ReadVersionTexts(r, dir.path(), 0).statusText, "Version  / 1.01 / 2.01");
  EXPECT_EQ(r.MainFileVersionNumber, 0);
  EXPECT_EQ(r.SecondFileVersionNumber, 201);
}

TEST(CheckVersions, EqualVersionsAskAndTheAnswerDecides) {
  Check no;
  EXPECT_FALSE(no.Run(Versions(150, 150, 120, 120)));
  EXPECT_FALSE(no.confirmed);
  ASSERT_EQ(no.sink.shown.size(), 1u);
  EXPECT_EQ(no.sink.shown[0].text,
            "Die aktuelle Software-Version1.50 ist schon im Ger\xE4t.\r\n"
            "Wollen Sie trotzdem den Download fortsetzen ?");
  EXPECT_EQ(no.sink.shown[0].buttons, MsgButtons::YesNo);

  Check yes;
  yes.sink.answers = {MsgResult::Yes};
  EXPECT_TRUE(yes.Run(Versions(150, 150, 120, 120)));
  EXPECT_TRUE(yes.confirmed);
  EXPECT_TRUE(MainSoftwareToBeUpdated(yes.record, yes.confirmed));
  EXPECT_TRUE(SensorSoftwareToBeUpdated(yes.record, yes.confirmed));
}

TEST(CheckVersions, InstrumentNewerIsRefusedWithTheGuardAndDowngradedWithout) {
  Check guarded;
  EXPECT_FALSE(guarded.Run(Versions(160, 150)));
  ASSERT_EQ(guarded.sink.shown.size(), 1u);
  EXPECT_EQ(guarded.sink.shown[0].text, "keine g\xFCltige Software-Version !!");
  EXPECT_EQ(guarded.sink.shown[0].caption, "Fehler");
  ASSERT_EQ(guarded.memo.size(), 1u);
  EXPECT_EQ(guarded.memo[0].find("Die Software-Version1.50 in Ihrem Ger\xE4t ist aktueller"), 0u);

  Check unguarded;
  unguarded.context.versionGuard = false;
  EXPECT_TRUE(unguarded.Run(Versions(160, 150)));
  EXPECT_EQ(unguarded.sink.shown.size(), 1u);  // the message, no question
  EXPECT_TRUE(unguarded.memo.empty());
  EXPECT_EQ(unguarded.record.SoftwareVersionNumber, 150);
  EXPECT_TRUE(MainSoftwareToBeUpdated(unguarded.record, unguarded.confirmed));

  Check newerSensorFile;  // then it is no downgrade as a whole
  EXPECT_TRUE(newerSensorFile.Run(Versions(160, 150, 100, 110)));
  EXPECT_TRUE(newerSensorFile.sink.shown.empty());
  EXPECT_FALSE(MainSoftwareToBeUpdated(newerSensorFile.record, false));
  EXPECT_TRUE(SensorSoftwareToBeUpdated(newerSensorFile.record, false));
}

TEST(CheckVersions, NewerFilesGoAheadUnlessTheSensorCanOnlyBeUpdatedOverUsb) {
  Check newer;
  EXPECT_TRUE(newer.Run(Versions(140, 150, 120, 130)));
  EXPECT_TRUE(newer.sink.shown.empty());

  Check usb;
  usb.context.usbOnly = true;
  EXPECT_FALSE(usb.Run(Versions(140, 150, 120, 130)));
  ASSERT_EQ(usb.sink.shown.size(), 1u);
  EXPECT_EQ(usb.sink.shown[0].text.find("Die Software f\xFCr die Sensoridentifizierung"), 0u);

  Check sameThenUsb;  // confirmed, then the USB question has the last word
  sameThenUsb.context.usbOnly = true;
  sameThenUsb.sink.answers = {MsgResult::Yes, MsgResult::Yes};
  EXPECT_TRUE(sameThenUsb.Run(Versions(150, 150)));
  EXPECT_EQ(sameThenUsb.sink.shown.size(), 2u);
}
