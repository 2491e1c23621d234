// Whole headless runs of a meter whose sensor firmware goes through its
// Basic-Loader: the bytes the simulated loader received are compared with
// the firmware file, every byte once and in order.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QJsonArray>
#include <algorithm>
#include <csignal>
#include <cstdio>

#include "FirmwareGen.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include "tests/e2e/E2eWorld.h"
#include "tests/e2e/WindowRun.h"

namespace {

const std::string kProgOkDe =
    "Programm erfolgreich \xC3\xBC"
    "berspielt !";
const std::string kProgOkEn = "Program successfully programmed !";
const std::string kAbortDe = "Programmierung abgebrochen !";
const std::string kTimeout = "  Timeout in serial Interface !!  ";

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// The delivery: the main firmware is as new as the meter's, the sensor
// firmware of both variants is newer. Returns the file of the variant.
std::string PrepareBasicLoaderDelivery(E2eWorld& w, int language, char variant,
                                       std::size_t sensorBytes = 6000) {
  w.WriteUpdateIni(language);
  DeviceBlockSpec d;
  d.deviceNr = "61329";  // its sensor firmware is l3_terml.a37
  d.deviceName = "Sensor Meter";
  d.progFile2 = "meter.mot";
  d.progFile3 = "sensor.mot";
  d.swKenn2 = SRecordVersionKey("1.23");
  w.WriteProgDeviceIni({d});
  std::string ini = w.Dir().Read("ProgDevice.ini");
  ini.replace(ini.find("SWKenn3=\r\n"), 10, "SWKenn3=" + SRecordVersionKey("2.10") + "\r\n");
  w.Dir().Write("ProgDevice.ini", ini);
  w.WriteFirmware("meter.mot", "1.23");
  // Named as delivered; the settings ask for l3_terml.a37.
  const std::string high = MakeSRecordFirmware("2.10", sensorBytes, 21);
  const std::string low = MakeSRecordFirmware("2.10", sensorBytes, 22);
  w.Dir().Write("L3_TermH.A37", high);
  w.Dir().Write("L3_TermL.A37", low);
  return variant == '0' ? high : low;
}

std::string MeterProfile(char variant, const std::string& more = "", int readRate = 0) {
  return "[Identity]\nName = sensor-meter\nPcbNumber = 50000-01\nPcbCode = 2013\n"
         "DeviceNumber = 61329\nDeviceCode = 2010\nVersion = 1.23,2.05\nVersionCode = 2011\n"
         "SerialNumber = 11223344\nSerialCode = 205\nBasicLoaderVariant = " +
         std::string(1, variant) +
         "\n[Line]\nBaudRate = 4800\nStartCommand = A.1111\nReplyDelayMs = 5\n"
         "[Target]\nTarget = basic\nBasicLoaderReadRate = " +
         std::to_string(readRate) + "\nBasicLoaderEraseMs = 50\n" + more;
}

// Each segment's bytes as the loader received them.
std::vector<std::string> Streams(const QJsonObject& report) {
  std::vector<std::string> out;
  for (const auto& f : report.value("files").toArray())
    out.push_back(QByteArray::fromBase64(f.toObject().value("data_base64").toString().toLatin1())
                      .toStdString());
  return out;
}

std::vector<std::string> Commands(const QJsonObject& report) {
  std::vector<std::string> lines;
  for (const auto& l : SimProcess::ReceivedLines(report))
    if (!l.empty()) lines.push_back(l);
  return lines;
}

}  // namespace

TEST(BasicLoaderRun, SensorFirmwareOfTheLowVariantReachesTheLoader) {
  E2eWorld w;
  const std::string file = PrepareBasicLoaderDelivery(w, 1, '1');
  SimProcess& meter = w.AddSim(MeterProfile('1'));
  ToolResult r = w.RunHeadless({"--delay-divisor", "20", "--trace"});
  const QJsonObject report = meter.Stop();
  ASSERT_FALSE(r.timedOut) << r.output;
  EXPECT_EQ(r.exitCode, 0) << r.output;
  // A few kilobytes at 19200 baud: minutes, not the half hour of old.
  EXPECT_TRUE(Has(r.output, "The download may last up to 2 minutes !")) << r.output;
  EXPECT_TRUE(Has(r.output, "Preparing program !!")) << r.output;
  EXPECT_TRUE(Has(r.output, "Programming Sensor Meter !!")) << r.output;
  EXPECT_TRUE(Has(r.output, kProgOkEn)) << r.output;
  EXPECT_TRUE(Has(r.output, "Disconnect the Sensor Meter from power supply unit and COM 1."))
      << r.output;
  EXPECT_TRUE(Has(r.output, "Waiting for S-Record ! <-")) << r.output;
  EXPECT_EQ(Commands(report), (std::vector<std::string>{"A.1111", "A.1000", "A.2003", "A.2000",
                                                        "A.2001", "A.4001", "A.2005", "A.1220"}))
      << SimProcess::EventLog(report);
  EXPECT_EQ(Streams(report), std::vector<std::string>{file});
  EXPECT_TRUE(report.value("violations").toArray().isEmpty()) << SimProcess::EventLog(report);
}

TEST(BasicLoaderRun, TwoFlashSegmentsEachGetTheWholeHighVariantFile) {
  E2eWorld w;
  const std::string file = PrepareBasicLoaderDelivery(w, 0, '0');
  SimProcess& meter = w.AddSim(MeterProfile('0', "BasicLoaderSegments = 2\n"));
  ToolResult r = w.RunHeadless({"--delay-divisor", "20"});
  const QJsonObject report = meter.Stop();
  ASSERT_FALSE(r.timedOut) << r.output;
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(Count(r.output, kProgOkDe), 2u) << r.output;
  EXPECT_EQ(Count(r.output, "Programm wird vorbereitet !!"), 2u) << r.output;
  EXPECT_EQ(Streams(report), (std::vector<std::string>{file, file}));
  EXPECT_TRUE(report.value("violations").toArray().isEmpty()) << SimProcess::EventLog(report);
}

TEST(BasicLoaderRun, DefectiveRecordEndsTheRunWithStatusOne) {
  E2eWorld w;
  const std::string file = PrepareBasicLoaderDelivery(w, 0, '0');
  SimProcess& meter = w.AddSim(MeterProfile('0', "BasicLoaderDefectAtRecord = 30\n"));
  ToolResult r = w.RunHeadless({"--delay-divisor", "20"});
  const QJsonObject report = meter.Stop();
  ASSERT_FALSE(r.timedOut) << r.output;
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_TRUE(Has(r.output,
                  "Fehler in der Daten\xC3\xBC"
                  "bertragung !!"))
      << r.output;
  EXPECT_TRUE(Has(r.output, kAbortDe)) << r.output;
  EXPECT_FALSE(Has(r.output, kProgOkDe)) << r.output;
  const std::vector<std::string> streams = Streams(report);
  ASSERT_EQ(streams.size(), 1u);
  EXPECT_EQ(streams[0], file.substr(0, streams[0].size()));
}

// A pseudo-terminal has no CTS: the simulator holds the tool off by not
// reading. Once the pty's buffer is full the tool's block cannot go out,
// and the write time-out (2000 bytes + 10 s) ends it short.
TEST(BasicLoaderRun, CtsHeldOffPastTheWriteTimeOutIsRetriedWithEveryByteOnce) {
  E2eWorld w;
  const std::string file = PrepareBasicLoaderDelivery(w, 0, '0', 40000);  // ~110 KB
  // Held off past one write time-out (12 s), well before a second one.
  SimProcess& meter = w.AddSim(MeterProfile('0', "StallAfterBytes = 3000\nStallMs = 14000\n"));
  ToolResult r = w.RunHeadless({"--delay-divisor", "20", "--answer", "yes"});
  const QJsonObject report = meter.Stop();
  ASSERT_FALSE(r.timedOut) << r.output;
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(Count(r.output, kTimeout), 1u) << r.output;
  EXPECT_TRUE(Has(r.output, "[Warnung]\n" + kTimeout + "\n\n\n-> Retry")) << r.output;
  EXPECT_TRUE(Has(r.output, kProgOkDe)) << r.output;
  const std::vector<std::string> streams = Streams(report);
  ASSERT_EQ(streams.size(), 1u);
  EXPECT_EQ(streams[0].size(), file.size());
  EXPECT_TRUE(streams[0] == file) << "the loader received other bytes than the file holds";
  EXPECT_TRUE(report.value("violations").toArray().isEmpty()) << SimProcess::EventLog(report);
}

TEST(BasicLoaderRun, AbortAtTheWriteTimeOutEndsTheRunWithStatusOne) {
  E2eWorld w;
  const std::string file = PrepareBasicLoaderDelivery(w, 0, '0', 40000);
  SimProcess& meter = w.AddSim(MeterProfile('0', "StallAfterBytes = 3000\nStallMs = 15000\n"));
  ToolResult r = w.RunHeadless({"--delay-divisor", "20", "--answer", "no"});
  const QJsonObject report = meter.Stop();
  ASSERT_FALSE(r.timedOut) << r.output;
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_TRUE(Has(r.output, kTimeout + "\n\n\n-> Abort")) << r.output;
  EXPECT_TRUE(Has(r.output, kAbortDe)) << r.output;
  EXPECT_FALSE(Has(r.output, kProgOkDe)) << r.output;
  const std::vector<std::string> streams = Streams(report);
  ASSERT_EQ(streams.size(), 1u);
  EXPECT_LT(streams[0].size(), file.size());
  EXPECT_EQ(streams[0], file.substr(0, streams[0].size()));
}

// Held off for good: `--answer yes` retries the same block three times and
// then answers Abort. Once the retry handed to the transmitter reset the
// count, and the run never ended.
TEST(BasicLoaderRun, CtsHeldOffForGoodEndsAfterThreeRetries) {
  E2eWorld w;
  const std::string file = PrepareBasicLoaderDelivery(w, 0, '0', 40000);
  SimProcess& meter = w.AddSim(MeterProfile('0', "StallAfterBytes = 3000\nStallMs = 600000\n"));
  ToolResult r = w.RunHeadless({"--delay-divisor", "20", "--answer", "yes"}, 150);
  const QJsonObject report = meter.Stop();
  ASSERT_FALSE(r.timedOut) << r.output;
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_EQ(Count(r.output, kTimeout + "\n\n\n-> Retry"), 3u) << r.output;
  EXPECT_EQ(Count(r.output, kTimeout + "\n\n\n-> Abort"), 1u) << r.output;
  EXPECT_TRUE(Has(r.output, kAbortDe)) << r.output;
  EXPECT_FALSE(Has(r.output, kProgOkDe)) << r.output;
  const std::vector<std::string> streams = Streams(report);
  ASSERT_EQ(streams.size(), 1u);
  EXPECT_EQ(streams[0], file.substr(0, streams[0].size()));
}

// SIGTERM while a retried block is stuck: the block is cut at once, so the
// program ends within the restore wait instead of after the block's write
// time-out (another 12 s).
TEST(BasicLoaderRun, SigtermDuringAStuckWriteEndsWithoutWaitingOutTheWrite) {
  E2eWorld w;
  PrepareBasicLoaderDelivery(w, 0, '0', 40000);
  SimProcess& meter = w.AddSim(MeterProfile('0', "StallAfterBytes = 3000\nStallMs = 600000\n"));
  RunOptions options;
  options.signal = SIGTERM;
  options.signalAtOutput = kTimeout + "\n\n\n-> Retry";  // the retried block is on its way
  ToolResult r = w.RunHeadless({"--delay-divisor", "20", "--answer", "yes"}, options);
  meter.Stop();
  ASSERT_FALSE(r.timedOut) << r.output;
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_EQ(Count(r.output, kTimeout), 1u) << r.output;
  EXPECT_TRUE(Has(r.output, kAbortDe)) << r.output;
  // The first time-out takes one block time-out (12 s); a second one would
  // be waited out only if the stuck block were not cut.
  EXPECT_LT(r.seconds, 20.0) << r.output;
}

TEST(BasicLoaderRun, MissingFileShowsTheErrorBoxSendsNothingAndEndsWithStatusOne) {
  E2eWorld w;
  PrepareBasicLoaderDelivery(w, 0, '0');
  std::remove(w.Dir().File("L3_TermH.A37").c_str());
  SimProcess& meter = w.AddSim(MeterProfile('0'));
  ToolResult r = w.RunHeadless({"--delay-divisor", "20"});
  const QJsonObject report = meter.Stop();
  ASSERT_FALSE(r.timedOut) << r.output;
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_TRUE(Has(r.output,
                  "[ Error ]\nL3_TermH.A37 konnte nicht ge\xC3\xB6"
                  "ffnet werden\n"))
      << r.output;
  EXPECT_FALSE(Has(r.output, kProgOkDe)) << r.output;
  const std::vector<std::string> streams = Streams(report);
  ASSERT_EQ(streams.size(), 1u);
  EXPECT_TRUE(streams[0].empty());
}

// The window closing mid-transfer: no block follows, nothing claims success.
TEST(BasicLoaderRun, ClosingTheWindowStopsARunningTransfer) {
  E2eWorld w;
  const std::string file = PrepareBasicLoaderDelivery(w, 0, '0', 20000);
  SimProcess& meter = w.AddSim(MeterProfile('0', "", 2000));  // ~25 s of reading
  {
    WindowRun run(w);
    ASSERT_TRUE(run.main->Construct());
    run.main->Delay().SetDividend(20);
    run.main->OkBitBtnClick();
    QTimer tick;  // wakes the wait so that its deadline is noticed
    tick.start(50);
    QElapsedTimer clock;
    clock.start();
    while (!run.main->TransferActive() && clock.elapsed() < 20000)
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    ASSERT_TRUE(run.main->TransferActive());
    run.main->Shutdown();
    EXPECT_FALSE(run.main->TransferActive());
    EXPECT_TRUE(run.view.outcomes.empty());
  }
  const QJsonObject report = meter.Stop();
  const std::vector<std::string> streams = Streams(report);
  ASSERT_EQ(streams.size(), 1u);
  EXPECT_LT(streams[0].size(), file.size());
  EXPECT_EQ(streams[0], file.substr(0, streams[0].size()));
}

// The loader reports "programmed" at the file's first end record while the
// rest of the file has not reached it: the window ends on the abort text,
// not on the success text, and OK is offered again.
TEST(BasicLoaderRun, UnsentBytesAfterTheLoadersSuccessLineEndWithoutTheSuccessText) {
  E2eWorld w;
  PrepareBasicLoaderDelivery(w, 0, '0');
  // A whole image, then far more than the line takes while the meter
  // restarts after the image's end record.
  w.Dir().Write("L3_TermH.A37",
                MakeSRecordFirmware("2.10", 6000, 21) + MakeSRecordFirmware("2.10", 200000, 23));
  w.AddSim(MeterProfile('0', "BasicLoaderRestartMs = 30000\n"));
  WindowRun run(w);
  ASSERT_TRUE(run.main->Construct());
  run.main->Delay().SetDividend(20);
  run.main->OkBitBtnClick();
  ASSERT_EQ(run.view.WaitForEnd(90000), RunOutcome::Failed);
  std::string memo;
  for (const auto& t : run.view.memo) memo += t;
  EXPECT_TRUE(Has(memo, "Nicht alle Bytes der Sensor-Firmware")) << memo;
  EXPECT_FALSE(Has(memo, "Programm erfolgreich")) << memo;
  EXPECT_TRUE(Has(memo, "Abbruch Sensor Meter")) << memo;
  EXPECT_TRUE(run.main->OkEnabled());
  run.main->Shutdown();
}

// After a Basic-Loader run the next OK identifies the meter again in the
// same window session: the loader no longer takes the received data.
TEST(BasicLoaderRun, SecondSearchInTheSameSessionIdentifiesTheMeterAgain) {
  E2eWorld w;
  PrepareBasicLoaderDelivery(w, 0, '0');
  SimProcess& meter = w.AddSim(MeterProfile('0'));
  WindowRun run(w);
  ASSERT_TRUE(run.main->Construct());
  run.main->Delay().SetDividend(20);
  run.main->OkBitBtnClick();
  ASSERT_EQ(run.view.WaitForEnd(), RunOutcome::Success);
  EXPECT_EQ(run.main->Title(), "Update [beendet]");
  run.main->OkBitBtnClick();
  ASSERT_EQ(run.view.WaitForEnd(), RunOutcome::Success);
  run.main->Shutdown();
  const std::vector<std::string> lines = Commands(meter.Stop());
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "A.2003"), 2) << "identified twice";
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "A.1220"), 2) << "two Basic-Loader runs";
}
