// Headless recovery of meters left in their loaders, and the workflow
// paths that only such meters take: the retry into a loader that runs at
// its raised speed, the Lab XXX and model menu entries, the search meeting
// a waiting loader, the PIC32 loader and the USB-only reply.
#include <gtest/gtest.h>

#include <signal.h>

#include <QJsonArray>
#include <cstdio>

#include "FirmwareGen.h"
#include "tests/faults/FaultRun.h"
#include "tests/faults/FaultWorlds.h"

namespace {

const std::string kSuccess = "Download erfolgreich ausgef\xC3\xBChrt !";

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

int Count(const std::vector<std::string>& texts, const std::string& prefix) {
  int n = 0;
  for (const auto& t : texts)
    if (t.rfind(prefix, 0) == 0) ++n;
  return n;
}

// A laboratory image that keeps out of 0x1000..0x107F: no download erases
// that segment, and the main firmware's version text goes there next.
std::string LabImage() {
  auto section = [](const std::string& address, std::vector<int> bytes) {
    std::string text = "@" + address + "\n";
    char hex[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      std::snprintf(hex, sizeof hex, "%02X", bytes[i]);
      text += hex;
      text += (i % 16 == 15 || i + 1 == bytes.size()) ? "\n" : " ";
    }
    return text;
  };
  std::vector<int> code(600, 0xA5);
  code[0] = 0x31;
  std::vector<int> vectors(32, 0xFF);
  vectors[30] = 0x00;  // reset vector 0x1100
  vectors[31] = 0x11;
  return section("1080", std::vector<int>(16, 0x5A)) + section("1100", code) +
         section("FFE0", vectors) + "q\n";
}

void SetBootLoadKenn(E2eWorld& w, const std::string& kenn) {
  std::string ini = w.Dir().Read("ProgDevice.ini");
  ini.replace(ini.find("BootLoadKenn=\r\n"), 15, "BootLoadKenn=" + kenn + "\r\n");
  w.Dir().Write("ProgDevice.ini", ini);
}

}  // namespace

// The first download fails after the loader went to 38400 baud; the retry
// finds it there, although a loader starts at 9600.
TEST(Recovery, RetryReachesALoaderLeftAtItsRaisedSpeed) {
  E2eWorld w;
  PrepareWorld(w, Method::Msp430);
  SimProcess& meter = w.AddSim(MeterProfile(Method::Msp430, "Nak = 0x12:1, 0x12:2, 0x12:3\n"));
  ToolResult r = RunTool(w, {"--delay-divisor", "20", "--retries", "1"});
  const QJsonObject report = meter.Stop();
  ASSERT_FALSE(r.timedOut) << r.output;
  EXPECT_EQ(r.exitCode, 0) << r.output << SimProcess::EventLog(report, 30);
  EXPECT_TRUE(Has(r.output, "Fehler im Bootloader")) << r.output;
  EXPECT_TRUE(Has(r.output, "retry 1 of 1")) << r.output;
  EXPECT_EQ(LastEnding(r.output, kAbortText), Ending::Success);
  EXPECT_TRUE(MeterHoldsFirmware(w, Method::Msp430, report));
  EXPECT_EQ(Count(SimProcess::ReceivedLines(report), "A.5588"), 1) << "the retry sends no command";
}

// As above, and the loader left at 38400 puts 0x90 noise on the line when
// the tool's end goes to 9600: the noise came before the retry's SYNC and
// is no answer to it, so the retry still goes on to 38400.
TEST(Recovery, NoiseBeforeTheRetrysSyncIsNotItsAcknowledgement) {
  E2eWorld w;
  PrepareWorld(w, Method::Msp430);
  SimProcess& meter =
      w.AddSim(MeterProfile(Method::Msp430, "Nak = 0x12:1, 0x12:2, 0x12:3\nLoaderNoise = 90 90\n"));
  ToolResult r = RunTool(w, {"--delay-divisor", "20", "--retries", "1"});
  const QJsonObject report = meter.Stop();
  ASSERT_FALSE(r.timedOut) << r.output;
  EXPECT_EQ(r.exitCode, 0) << r.output << SimProcess::EventLog(report, 40);
  EXPECT_TRUE(Has(r.output, "retry 1 of 1")) << r.output;
  EXPECT_TRUE(MeterHoldsFirmware(w, Method::Msp430, report));
  EXPECT_GE(Count(EventTexts(report, "tx", "noise"), "90 90"), 1)
      << SimProcess::EventLog(report, 40);
}

// Lab XXX programs the laboratory image into the waiting loader; the
// image's firmware reports 30, the search follows and the main firmware
// replaces it.
TEST(Recovery, MenuLabRecoversAMeterWaitingInItsLoader) {
  E2eWorld w;
  PrepareWorld(w, Method::Msp430);
  w.Dir().Write("LabXXX.txt", LabImage());
  SimProcess& meter =
      w.AddSim(MeterProfile(Method::Msp430, "StartInLoader = yes\nAppStartReplies = I.30# | !\n"));
  ToolResult r = RunTool(w, {"--delay-divisor", "20", "--menu", "lab"});
  const QJsonObject report = meter.Stop();
  ASSERT_FALSE(r.timedOut) << r.output;
  EXPECT_EQ(r.exitCode, 0) << r.output << SimProcess::EventLog(report, 30);
  EXPECT_TRUE(MeterHoldsFirmware(w, Method::Msp430, report));
  EXPECT_EQ(Count(EventTexts(report, "rx", "bsl"), "80 10 24 24"), 2)
      << "lab image, then main firmware";
}

// The laboratory firmware greets with "!" (no reply 30), at 4800 where the
// tool listens after the image, or at 19200, a speed of the settings: the
// search finds it either way, and the main firmware goes through the usual
// enter-loader commands.
TEST(Recovery, MenuLabFindsAFirmwareThatGreetsWithAnAcknowledgeAtASpeedOfTheSettings) {
  for (const char* baud : {"4800", "19200"}) {
    E2eWorld w;
    PrepareWorld(w, Method::Msp430);
    w.WriteUpdateIni(0, "2,4");
    w.Dir().Write("LabXXX.txt", LabImage());
    SimProcess& meter = w.AddSim(MeterProfile(
        Method::Msp430, "StartInLoader = yes\nBaudRate = " + std::string(baud) + "\n"));
    ToolResult r = RunTool(w, {"--delay-divisor", "20", "--menu", "lab"});
    const QJsonObject report = meter.Stop();
    ASSERT_FALSE(r.timedOut) << baud << r.output;
    EXPECT_EQ(r.exitCode, 0) << baud << r.output << SimProcess::EventLog(report, 30);
    EXPECT_TRUE(MeterHoldsFirmware(w, Method::Msp430, report)) << baud;
    EXPECT_EQ(Count(SimProcess::ReceivedLines(report), "A.5588"), 1)
        << baud << ": enters its loader";
    EXPECT_EQ(Count(EventTexts(report, "rx", "bsl"), "80 10 24 24"), 2)
        << baud << ": lab image, then main";
  }
}

TEST(Recovery, MenuEntryWithoutItsFileIsRefused) {
  E2eWorld w;
  PrepareWorld(w, Method::Msp430);  // no S-record file: the model entries are disabled
  w.AddSilentPort();
  ToolResult r = RunTool(w, {"--menu", "model=0"});
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_TRUE(Has(r.output, "DevMulti812q: menu entry not available")) << r.output;
}

// A meter waiting in its boot loader, run with the profile lines and the
// arguments: it must get TestDevice.mot, then (after a search) the main file.
void ExpectTestDeviceThenMainFirmware(E2eWorld& w, const std::string& profile,
                                      const std::vector<std::string>& args) {
  w.WriteFirmware("TestDevice.mot", "0.01", 1024);
  SimProcess& meter = w.AddSim(MeterProfile(Method::External, "StartInLoader = yes\n" + profile));
  ToolResult r = RunTool(w, args);
  const QJsonObject report = meter.Stop();
  ASSERT_FALSE(r.timedOut) << r.output;
  EXPECT_EQ(r.exitCode, 0) << r.output << SimProcess::EventLog(report, 30);
  EXPECT_EQ(CompleteFiles(report, "TestDevice.mot"), 1);
  EXPECT_TRUE(MeterHoldsFirmware(w, Method::External, report));
}

// The model entry sends TestDevice.mot through the loader program to a
// meter waiting in its boot loader; a search and the main download follow.
TEST(Recovery, MenuModelProgramsTheTestDeviceThenTheMainFirmware) {
  E2eWorld w;
  PrepareWorld(w, Method::External);
  ExpectTestDeviceThenMainFirmware(w, "", {"--delay-divisor", "20", "--menu", "model=0"});
}

// The search's boot-loader phase wakes a meter in its boot loader, whose
// identification record stands in for the model entry with tag 0.
TEST(Recovery, SearchMeetsABootLoaderRecordAndLoadsTheTestDevice) {
  E2eWorld w;
  PrepareWorld(w, Method::External);
  SetBootLoadKenn(w, "BL812");
  ExpectTestDeviceThenMainFirmware(w, "BootRecord = BL812 V1.0\n", {"--delay-divisor", "20"});
}

// An Intel-hex meter: the PIC32 loader program gets the file; the restarted
// firmware's acknowledgement leads to the end.
TEST(Recovery, IntelHexMeterIsLoadedByThePic32Loader) {
  E2eWorld w;
  w.WriteUpdateIni(0);
  DeviceBlockSpec d;
  d.progFile2 = "meter.hex";
  w.WriteProgDeviceIni({d});
  w.WriteFirmware("meter.hex", "1.30");
  w.InstallLoaders();
  SimProcess& meter = w.AddSim(ExternalProfile("1.23", "LoaderDoneReply = !\nAppStartMs = 1000\n"));
  ToolResult r = RunTool(w, {"--delay-divisor", "20", "--trace"});
  const QJsonObject report = meter.Stop();
  ASSERT_FALSE(r.timedOut) << r.output;
  EXPECT_EQ(r.exitCode, 0) << r.output << SimProcess::EventLog(report, 30);
  EXPECT_TRUE(Has(r.output, "15 Minuten")) << r.output;
  EXPECT_EQ(CompleteFiles(report, "meter.hex"), 1) << SimProcess::EventLog(report, 30);
  EXPECT_EQ(w.Dir().Read("meter.hex").size(),
            static_cast<std::size_t>(
                report.value("files").toArray().at(0).toObject().value("size").toInt()));
}

// A delivery whose first entry is an Intel-hex meter: an S-record meter of
// the second entry still goes to its own loader program, with its own
// duration. The PIC32 loader is not even delivered.
TEST(Recovery, MixedDeliverySendsEachMeterToItsOwnLoader) {
  E2eWorld w;
  w.WriteUpdateIni(0);
  DeviceBlockSpec pic;
  pic.deviceNr = "77777";
  pic.deviceNrDef = "77000";
  pic.deviceName = "Pic Meter";
  pic.progFile2 = "pic.hex";
  w.WriteProgDeviceIni({pic, DeviceBlockSpec{}});
  w.WriteFirmware("pic.hex", "1.30");
  w.WriteFirmware("meter.mot", "1.30");
  w.InstallLoaders();
  std::remove((w.Folder() + "/PIC32_Serial_Bootloader.exe").c_str());
  SimProcess& meter = w.AddSim(MeterProfile(Method::External, ""));
  ToolResult r = RunTool(w, {"--delay-divisor", "20"});
  const QJsonObject report = meter.Stop();
  ASSERT_FALSE(r.timedOut) << r.output;
  EXPECT_EQ(r.exitCode, 0) << r.output << SimProcess::EventLog(report, 30);
  EXPECT_TRUE(Has(r.output, "bis zu 2 Minuten")) << r.output;
  EXPECT_TRUE(MeterHoldsFirmware(w, Method::External, report));
}

// The meter in its loader answers the search's probe; the interruption
// comes while the laboratory download runs and ends it as interrupted.
TEST(Recovery, InterruptionDuringTheLaboratoryDownloadEndsIt) {
  E2eWorld w;
  PrepareWorld(w, Method::Msp430);
  w.Dir().Write("LabXXX.txt", MakeTiTxtFirmware("9.99", 3000, 77));
  SimProcess& meter = w.AddSim(MeterProfile(Method::Msp430, "StartInLoader = yes\n"), "--pace");
  ToolResult r = RunTool(w, {"--delay-divisor", "20"}, {SIGTERM, "progress: 20 %", ""});
  const QJsonObject report = meter.Stop();
  ASSERT_FALSE(r.timedOut) << r.output;
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_TRUE(Has(r.output, "Das Programm f\xC3\xA4hrt danach selbst fort.")) << r.output;
  EXPECT_EQ(LastEnding(r.output, kAbortText), Ending::Abort) << r.output;
  EXPECT_EQ(Count(EventTexts(report, "rx", "bsl"), "80 10 24 24"), 1);
}

// Reply 262 (USB only): the sensor firmware is left alone.
TEST(Recovery, UsbOnlyMeterSkipsTheSensorFirmware) {
  E2eWorld w;
  PrepareWorld(w, Method::Msp430);
  std::string ini = w.Dir().Read("ProgDevice.ini");
  ini.replace(ini.find("ProgFile3=\r\n"), 12, "ProgFile3=sensor.txt\r\n");
  ini.replace(ini.find("SWKenn3=\r\n"), 10, "SWKenn3=@1000\\r\\n\r\n");
  w.Dir().Write("ProgDevice.ini", ini);
  w.Dir().Write("sensor.txt", MakeTiTxtFirmware("1.10", 500, 6));
  SimProcess& meter = w.AddSim(MeterProfile(Method::Msp430, "UsbOnly = yes\n")
                                   .replace(MeterProfile(Method::Msp430, "").find("Version = 1.05"),
                                            14, "Version = 1.05,1.00"));
  ToolResult r = RunTool(w, {"--delay-divisor", "20"});
  const QJsonObject report = meter.Stop();
  ASSERT_FALSE(r.timedOut) << r.output;
  EXPECT_EQ(r.exitCode, 0) << r.output << SimProcess::EventLog(report, 30);
  EXPECT_TRUE(MeterHoldsFirmware(w, Method::Msp430, report));
  EXPECT_TRUE(report.value("sensor_flash").isNull());
}

// Reply 920 to the boot command: the workflow counts its step on and sends
// the boot command again; the meter first confirms without entering its
// loader, then enters it on the third command and gets its firmware.
TEST(Recovery, Reply920ToTheBootCommandLeadsToTheBootCommandAgain) {
  E2eWorld w;
  PrepareWorld(w, Method::External);
  SimProcess& meter =
      w.AddSim(MeterProfile(Method::External, "Reply.A.1200:1 = I.920#\nReply.A.1200:2 = !\n"));
  ToolResult r = RunTool(w, {"--trace", "--delay-divisor", "20"});
  const QJsonObject report = meter.Stop();
  ASSERT_FALSE(r.timedOut) << r.output;
  EXPECT_EQ(Count(EventTexts(report, "rx", "line"), "A.1200"), 3)
      << SimProcess::EventLog(report, 40);
  EXPECT_EQ(r.exitCode, 0) << r.output << SimProcess::EventLog(report, 40);
  EXPECT_TRUE(MeterHoldsFirmware(w, Method::External, report));
}

// Reply 920 from an early 52937 meter (software 1.04 or older): it gets the
// special start command instead. This simulator does not enter its loader
// on it, so the transfer that follows fails, and says so.
TEST(Recovery, Reply920FromAnEarly52937MeterSendsTheSpecialStart) {
  E2eWorld w;
  PrepareWorld(w, Method::External);
  std::string profile = MeterProfile(Method::External, "Reply.A.1200:1 = I.920#\n");
  profile.replace(profile.find("DeviceNumber = 12345"), 20, "DeviceNumber = 1234552937");
  profile.replace(profile.find("Version = 1.23"), 14, "Version = 1.04");
  SimProcess& meter = w.AddSim(profile);
  ToolResult r = RunTool(w, {"--trace", "--delay-divisor", "20"});
  const QJsonObject report = meter.Stop();
  ASSERT_FALSE(r.timedOut) << r.output;
  const std::vector<std::string> received = EventTexts(report, "rx", "line");
  EXPECT_EQ(Count(received, "A.1500"), 1) << SimProcess::EventLog(report, 40);
  EXPECT_EQ(Count(received, "A.1200"), 1);
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_EQ(LastEnding(r.output, kAbortText), Ending::Abort) << r.output;
}
