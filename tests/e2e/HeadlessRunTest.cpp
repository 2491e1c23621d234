#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <QJsonArray>

#include "tests/e2e/E2eWorld.h"

namespace {

const std::string kSuccess = "Download erfolgreich ausgef\xC3\xBChrt !";

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::vector<std::string> Commands(const QJsonObject& report) {
  std::vector<std::string> lines;
  for (const auto& l : SimProcess::ReceivedLines(report))
    if (!l.empty()) lines.push_back(l.rfind("A.1600#", 0) == 0 ? "A.1600#" : l);
  return lines;
}

}  // namespace

TEST(HeadlessRun, UsualRunOfAnSRecordInstrumentOnTheSecondPort) {
  E2eWorld w;
  w.PrepareExternalDelivery(0);
  w.AddSilentPort();
  SimProcess& meter = w.AddSim(ExternalProfile());
  ASSERT_TRUE(meter.Started());

  ToolResult r = w.RunHeadless({"--delay-divisor", "20"});
  QJsonObject report = meter.Stop();
  ASSERT_FALSE(r.timedOut) << r.output;
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_TRUE(Has(r.output, kSuccess)) << r.output;
  EXPECT_TRUE(Has(r.output, "Trennen Sie das Test Meter von der Schnittstelle COM 2.")) << r.output;
  EXPECT_EQ(Commands(report),
            (std::vector<std::string>{"A.1111", "A.1000", "A.2003", "A.2000", "A.2001", "A.4001",
                                      "A.1200", "A.1600#", "A.1111"}))
      << SimProcess::EventLog(report);
  EXPECT_TRUE(report.value("violations").toArray().isEmpty());
}

TEST(HeadlessRun, NoMeterEndsAfterTheSecondFailedSearch) {
  E2eWorld w;
  w.WriteUpdateIni(0, "3,2");
  w.WriteProgDeviceIni({DeviceBlockSpec{}});
  w.WriteFirmware("meter.mot", "1.30");
  ToolResult r = w.RunHeadless({"--delay-divisor", "20"});
  EXPECT_EQ(r.exitCode, 2) << r.output;
  EXPECT_TRUE(Has(r.output, "Kein Ger\xC3\xA4t gefunden !!")) << r.output;
  EXPECT_TRUE(Has(r.output, "Programm wird abgebrochen !!")) << r.output;
}

TEST(HeadlessRun, WrongMeterIsRefusedWithTheDeviceNames) {
  E2eWorld w;
  w.WriteUpdateIni(1);
  DeviceBlockSpec a, b;
  a.deviceNr = "77777";
  a.deviceNrDef = "88888";
  a.deviceName = "Meter A";
  b.deviceNr = "66666";
  b.deviceNrDef = "99999";
  b.deviceName = "Meter B";
  w.WriteProgDeviceIni({a, b});
  w.WriteFirmware("meter.mot", "1.30");
  SimProcess& meter = w.AddSim(ExternalProfile());
  ToolResult r = w.RunHeadless({"--delay-divisor", "20"});
  meter.Stop();
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_TRUE(Has(r.output, "Wrong device connected !!")) << r.output;
  EXPECT_TRUE(Has(r.output, "Download is for an Meter A, Meter B !")) << r.output;
}

TEST(HeadlessRun, EqualVersionsAskAndNoRefuses) {
  E2eWorld w;
  w.PrepareExternalDelivery(0);
  SimProcess& meter = w.AddSim(ExternalProfile("1.30"));
  ToolResult r = w.RunHeadless({"--delay-divisor", "20", "--answer", "no"});
  meter.Stop();
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_TRUE(Has(r.output, "ist schon im Ger\xC3\xA4t")) << r.output;
  EXPECT_TRUE(Has(r.output, "-> No")) << r.output;
}

TEST(HeadlessRun, EqualVersionsDownloadWhenConfirmed) {
  E2eWorld w;
  w.PrepareExternalDelivery(0);
  SimProcess& meter = w.AddSim(ExternalProfile("1.30"));
  ToolResult r = w.RunHeadless({"--delay-divisor", "20", "--answer", "yes"});
  meter.Stop();
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_TRUE(Has(r.output, kSuccess)) << r.output;
}

TEST(HeadlessRun, NewerMeterIsRefusedByTheVersionGuard) {
  E2eWorld w;
  w.PrepareExternalDelivery(0);
  SimProcess& meter = w.AddSim(ExternalProfile("2.00"));
  ToolResult r = w.RunHeadless({"--delay-divisor", "20", "--answer", "yes"});
  QJsonObject report = meter.Stop();
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_TRUE(Has(r.output, "keine g\xC3\xBCltige Software-Version !!")) << r.output;
  for (const auto& line : SimProcess::ReceivedLines(report)) EXPECT_NE(line, "A.1200");
}

TEST(HeadlessRun, LoaderFailingTwiceWithOneIsRunAgain) {
  E2eWorld w;
  w.PrepareExternalDelivery(0);
  SimProcess& meter = w.AddSim(ExternalProfile("1.23", "RejectLoaderRuns = 2\n"));
  ToolResult r = w.RunHeadless({"--delay-divisor", "20"});
  QJsonObject report = meter.Stop();
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_TRUE(Has(r.output, kSuccess)) << r.output;
  EXPECT_EQ(report.value("files").toArray().size(), 1) << "one image arrived";
}

TEST(HeadlessRun, BaudListIsTriedInOrder) {
  E2eWorld w;
  w.PrepareExternalDelivery(0, "3,2");
  SimProcess& meter = w.AddSim(ExternalProfile());
  ToolResult r = w.RunHeadless({"--delay-divisor", "20"});
  QJsonObject report = meter.Stop();
  EXPECT_EQ(r.exitCode, 0) << r.output;
  std::vector<int> startBauds;
  for (const auto& v : report.value("events").toArray()) {
    QJsonObject e = v.toObject();
    // At a speed it does not listen at, the meter ignores what it gets.
    if (e.value("dir").toString() == "rx" && e.value("text").toString().startsWith("A.1111"))
      startBauds.push_back(e.value("baud").toInt());
  }
  ASSERT_GE(startBauds.size(), 2u);
  EXPECT_EQ(startBauds[0], 9600);
  EXPECT_EQ(startBauds[1], 4800);
}

TEST(HeadlessRun, MeterUnpluggedDuringTheTransferEndsWithTheAbortText) {
  E2eWorld w;
  w.WriteUpdateIni(0);
  w.WriteProgDeviceIni({DeviceBlockSpec{}});
  w.WriteFirmware("meter.mot", "1.30", 16384);
  w.InstallLoaders();
  SimProcess& meter = w.AddSim(ExternalProfile("1.23", "UnplugAfterBytes = 3000\n"));
  ToolResult r = w.RunHeadless({"--delay-divisor", "20"});
  meter.Stop();
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_TRUE(Has(r.output, "Abbruch Test Meter")) << r.output;
  EXPECT_FALSE(Has(r.output, kSuccess));
}

namespace {

// The speed of a pseudo-terminal's line, set (speed != 0) and read through
// its slave.
speed_t LineSpeed(const std::string& slave, speed_t set = 0) {
  const int fd = open(slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return 0;
  termios t{};
  tcgetattr(fd, &t);
  if (set != 0) {
    cfsetispeed(&t, set);
    cfsetospeed(&t, set);
    tcsetattr(fd, TCSANOW, &t);
    tcgetattr(fd, &t);
  }
  close(fd);
  return cfgetospeed(&t);
}

}  // namespace

// The loader program leaves the line at its own speed; the tool puts back
// the line it found before the run, not the one it found after the program.
TEST(HeadlessRun, LineComesBackAsItWasBeforeTheRunAfterALoaderProgram) {
  E2eWorld w;
  w.PrepareExternalDelivery(0);
  SimProcess& meter = w.AddSim(ExternalProfile());
  ASSERT_EQ(LineSpeed(meter.Slave(), B1200), B1200);
  ToolResult r = w.RunHeadless({"--delay-divisor", "20"});
  const speed_t after = LineSpeed(meter.Slave());
  meter.Stop();
  ASSERT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(after, B1200) << "B38400 is " << B38400 << ", B4800 is " << B4800;
}
