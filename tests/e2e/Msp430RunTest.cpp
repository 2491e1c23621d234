// Whole runs of an MSP430 instrument: main and sensor firmware through the
// bootstrap loaders of the simulated meter, checked byte for byte.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>
#include <chrono>

#include "FirmwareGen.h"
#include "tests/e2e/E2eWorld.h"
#include "tests/e2e/WindowRun.h"
#include "tests/support/BslSimImages.h"

namespace {

void WriteMsp430World(E2eWorld& w, const std::string& mainImage, const std::string& sensorImage) {
  w.WriteMsp430Settings(0);
  w.Dir().Write("main.txt", mainImage);
  w.Dir().Write("sensor.txt", sensorImage);
}

}  // namespace

TEST(Msp430Run, MainAndSensorFirmwareReachTheirProcessorsByteForByte) {
  E2eWorld w;
  const std::string mainImage = MakeTiTxtFirmware("1.30", 7000, 11);
  const std::string sensorImage = MakeTiTxtFirmware("1.10", 1500, 12);
  WriteMsp430World(w, mainImage, sensorImage);
  SimProcess& meter = w.AddSim(Msp430Profile());
  ToolResult r = w.RunHeadless({"--delay-divisor", "20"});
  QJsonObject report = meter.Stop();
  ASSERT_EQ(r.exitCode, 0) << r.output;
  EXPECT_NE(r.output.find("Download erfolgreich ausgef\xC3\xBChrt !"), std::string::npos);
  EXPECT_TRUE(report.value("violations").toArray().isEmpty());

  EXPECT_EQ(FlashOf(report), ParseTiTxt(mainImage));
  EXPECT_EQ(
      ParseIntelHex(report.value("sensor_flash").toObject().value("text").toString().toStdString()),
      ParseTiTxt(sensorImage));

  std::vector<std::string> lines;
  for (const auto& l : SimProcess::ReceivedLines(report))
    if (!l.empty()) lines.push_back(l.rfind("A.1600#", 0) == 0 ? "A.1600#" : l);
  EXPECT_EQ(lines, (std::vector<std::string>{"A.1111", "A.1000", "A.2003", "A.2000", "A.2001",
                                             "A.4001", "A.1000", "A.5577", "A.5588#QX47", "A.1000",
                                             "A.5555", "A.5566#QX47", "A.1600#", "A.1121"}))
      << SimProcess::EventLog(report);
}

TEST(Msp430Run, LoaderRefusedByTheMeterEndsWithTheAbortText) {
  E2eWorld w;
  WriteMsp430World(w, MakeTiTxtFirmware("1.30", 2000, 1), MakeTiTxtFirmware("1.10", 500, 2));
  SimProcess& meter = w.AddSim(Msp430Profile("Reject = A.5588\n"));
  ToolResult r = w.RunHeadless({"--delay-divisor", "20"});
  QJsonObject report = meter.Stop();
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_NE(r.output.find("Bootloader im Zielger\xC3\xA4t nicht verf\xC3\xBC"
                          "gbar!!"),
            std::string::npos)
      << r.output;
  EXPECT_NE(r.output.find("Abbruch MSP Meter"), std::string::npos) << r.output;
  EXPECT_TRUE(report.value("flash").isNull());
}

// Runs the event loop until the log holds the text or a run ends.
static bool WaitForLog(RecordingView& view, const std::string& text, int rounds = 600) {
  for (int i = 0; i < rounds && !view.LogHas(text); ++i)
    if (view.WaitForEnd(100)) break;
  return view.LogHas(text);
}

TEST(Msp430Run, FailedMainDownloadIsRetriedByOkInTheLoader) {
  E2eWorld w;
  const std::string mainImage = MakeTiTxtFirmware("1.30", 3000, 21);
  WriteMsp430World(w, mainImage, MakeTiTxtFirmware("1.10", 500, 22));
  // The password is refused three times: the download gives up with the
  // loader still waiting.
  SimProcess& meter = w.AddSim(Msp430Profile("Nak = 0x10:1, 0x10:2, 0x10:3\n"));
  WindowRun run(w);
  ASSERT_TRUE(run.main->Construct());
  run.main->Delay().SetDividend(20);
  run.main->OkBitBtnClick();
  ASSERT_EQ(run.view.WaitForEnd(), RunOutcome::Failed);
  ASSERT_FALSE(run.view.boxes.empty());
  EXPECT_EQ(run.view.boxes.back(),
            "Error|Fehler im Bootloader !!  Programmierung wurde abgebrochen.");
  ASSERT_TRUE(run.main->OkEnabled());

  run.main->OkBitBtnClick();  // the retry: straight into the waiting loader
  ASSERT_EQ(run.view.WaitForEnd(), RunOutcome::Success);
  run.main->Shutdown();
  QJsonObject report = meter.Stop();
  EXPECT_EQ(FlashOf(report), ParseTiTxt(mainImage));
  std::vector<std::string> lines = SimProcess::ReceivedLines(report);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "A.5588#QX47"), 1)
      << "the retry sends no command";
}

TEST(Msp430Run, MeterWaitingInItsLoaderGetsTheLaboratoryImage) {
  E2eWorld w;
  WriteMsp430World(w, MakeTiTxtFirmware("1.30", 2000, 31), MakeTiTxtFirmware("1.10", 500, 32));
  const std::string labImage = MakeTiTxtFirmware("9.99", 1200, 33);
  w.Dir().Write("LabXXX.txt", labImage);
  SimProcess& meter = w.AddSim(Msp430Profile("StartInLoader = yes\n"));
  WindowRun run(w);
  ASSERT_TRUE(run.main->Construct());
  run.main->Delay().SetDividend(20);
  run.main->OkBitBtnClick();
  // No answer at 4800 baud; the boot-loader phase wakes the loader, whose
  // acknowledge starts the laboratory download without identification.
  ASSERT_TRUE(WaitForLog(run.view, "Neue Daten werden gespeichert"));
  ASSERT_FALSE(run.view.boxes.empty());
  EXPECT_NE(
      run.view.boxes[0].find("Zweite Zeile\r\nBest\xE4tigen Sie dies danach mit dem Ok-Button!"),
      std::string::npos)
      << run.view.boxes[0];
  run.main->Shutdown();
  QJsonObject report = meter.Stop();
  EXPECT_TRUE(report.value("violations").toArray().isEmpty());
  EXPECT_EQ(FlashOf(report), ParseTiTxt(labImage));
}

TEST(Msp430Run, SigintDuringTheDownloadEndsItAsFailed) {
  E2eWorld w;
  WriteMsp430World(w, MakeTiTxtFirmware("1.30", 20000, 41), MakeTiTxtFirmware("1.10", 500, 42));
  // Paced at the wire speed, the download runs long enough to be stopped.
  SimProcess& meter = w.AddSim(Msp430Profile(), "--pace");
  ToolResult r = w.RunHeadless({"--delay-divisor", "20", "--trace"}, 120, "A.5588#QX47 <-");
  QJsonObject report = meter.Stop();
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_NE(r.output.find("Fehler im Bootloader !!"), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find("Download erfolgreich"), std::string::npos);
  EXPECT_TRUE(report.value("sensor_flash").isNull()) << "nothing after the interruption";

  const QJsonObject line =
      QJsonDocument::fromJson(QByteArray::fromStdString(w.Dir().Read("update-runs.jsonl")))
          .object();
  EXPECT_EQ(line.value("outcome").toString(), "interrupted");
  EXPECT_EQ(line.value("exit_status").toInt(-1), 1);
  ASSERT_EQ(line.value("files").toArray().size(), 1);
  EXPECT_FALSE(line.value("files").toArray()[0].toObject().value("transferred").toBool(true));
}

// The cable pulled in the middle of the download: the run ends at once as
// failed and names the device, instead of waiting for time-outs.
TEST(Msp430Run, UnpluggedMeterEndsTheRunAsFailedNamingTheDevice) {
  E2eWorld w;
  WriteMsp430World(w, MakeTiTxtFirmware("1.30", 7000, 51), MakeTiTxtFirmware("1.10", 500, 52));
  const auto simStarting = std::chrono::steady_clock::now();
  SimProcess& meter = w.AddSim(Msp430Profile("UnplugAfterBytes = 3000\n"));
  const std::string device = meter.Slave();
  ToolResult r = w.RunHeadless({"--delay-divisor", "20"}, 60);
  const auto ended = std::chrono::steady_clock::now();
  QJsonObject report = meter.Stop();
  ASSERT_FALSE(r.timedOut) << r.output;
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_NE(r.output.find(device + " wurde getrennt"), std::string::npos) << r.output;
  EXPECT_LT(r.output.find(device + " wurde getrennt"), r.output.rfind("Abbruch MSP Meter"))
      << "the cause comes before the abort text\n"
      << r.output;
  EXPECT_EQ(r.output.find("Download erfolgreich"), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find("antwortet nicht"), std::string::npos)
      << "ended by the unplug, not a time-out";

  // The figure, not a verdict: from the unplug (simulator clock, which
  // started after simStarting) to the tool's end, an upper bound.
  for (const auto& e : report.value("events").toArray()) {
    const QJsonObject event = e.toObject();
    if (event.value("text").toString() != "meter unplugged") continue;
    const auto unplugged = simStarting + std::chrono::milliseconds(
                                             static_cast<long>(event.value("t").toDouble() * 1000));
    RecordProperty(
        "unplug_to_end_ms",
        static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(ended - unplugged).count()));
  }
}
