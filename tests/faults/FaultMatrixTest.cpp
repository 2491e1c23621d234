// The fault matrix: whole headless runs against a simulated meter whose
// line misbehaves during the transfer. Whatever the fault, a run ends, its
// last text and exit status agree, and it never reports success while the
// meter does not hold the new firmware. The quick cases run in every test
// run; UPDATE_FAULTS_FULL=1 (make faults) runs them all.
#include <gtest/gtest.h>

#include <signal.h>

#include <QJsonArray>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "FirmwareGen.h"
#include "tests/faults/FaultRun.h"
#include "tests/faults/FaultWorlds.h"

namespace {

enum class Expect { Success, Failure, Either };

struct FaultCase {
  std::string name;
  Method method;
  std::string profile;  // fault lines of the meter's profile
  Expect expect;
  bool quick = false;
  std::function<void(E2eWorld&)> prepare = nullptr;
  SignalPlan signal = {};
  std::string simArgs = "";
  // Further checks on the output and the meter's report.
  std::function<void(const ToolResult&, const QJsonObject&)> check = nullptr;
};

// The laboratory image of the worlds: it must never reach a meter that
// was not probed for its loader.
std::string MakeLabImage() { return MakeTiTxtFirmware("9.99", 600, 77); }

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

void ExpectNoBootCommand(const ToolResult&, const QJsonObject& report) {
  for (const auto& line : SimProcess::ReceivedLines(report)) EXPECT_NE(line, "A.1200");
}

// The interruption ended the main download; the loader's late answers must
// not have started a laboratory download.
void ExpectOneDownload(const ToolResult& r, const QJsonObject& report) {
  EXPECT_LE(PasswordFrames(report), 1) << SimProcess::EventLog(report, 30);
  EXPECT_FALSE(Has(r.output, "Neue Daten werden gespeichert")) << r.output;
}

void InstallLoaderScript(E2eWorld& w, const std::string& body) {
  WriteScript(w, "HEXLoad_8N1.exe", body);
}

// A loader program that says it has started, then does the real transfer.
std::string AnnouncingLoader() {
  return "touch loader-started\nexec '" + HexLoadSim() + "' \"$@\"\n";
}

std::vector<FaultCase> Cases() {
  const auto M = Method::Msp430;
  const auto X = Method::External;
  std::vector<FaultCase> c;
  // --- MSP430 bootstrap loader -------------------------------------------
  c.push_back({"Msp430NakOnce", M, "Nak = 0x12:2\n", Expect::Success});
  c.push_back({"Msp430NakAlways", M, "Nak = 0x12\n", Expect::Failure});
  c.push_back({"Msp430ChecksumOnce", M, "CorruptChecksum = 0x14:1\n", Expect::Success});
  c.push_back({"Msp430ChecksumAlways", M, "CorruptChecksum = 0x14\n", Expect::Failure});
  c.push_back({"Msp430DroppedReply", M, "DropReply = 0x16:3\n", Expect::Success});
  // The block was written, its ACK lost: the repeated write meets flash that
  // is no longer erased, which the simulated loader refuses.
  c.push_back({"Msp430DroppedWriteReply", M, "DropReply = 0x12:2\n", Expect::Failure});
  c.push_back({"Msp430Stall",
               M,
               "StallAfterBytes = 600\nStallMs = 8000\n",
               Expect::Failure,
               false,
               [](E2eWorld& w) { w.Dir().Write("LabXXX.txt", MakeLabImage()); },
               {},
               "",
               ExpectOneDownload});
  c.push_back({"Msp430UnplugEarly", M, "UnplugAfterBytes = 30\n", Expect::Failure});
  c.push_back({"Msp430UnplugMiddle", M, "UnplugAfterBytes = 1200\n", Expect::Failure});
  c.push_back({"Msp430UnplugLate", M, "UnplugAfterBytes = 2400\n", Expect::Failure});
  c.push_back({"Msp430RejectsEnterLoader", M, "Reject = A.5588\n", Expect::Failure, true});
  c.push_back({"Msp430WrongPassword", M, "PasswordFill = AA\n", Expect::Failure});
  c.push_back({"Msp430GreetsAfter100ms", M, "AppStartMs = 100\nAppStartStrict = yes\n",
               Expect::Success, true});
  for (int sig : {SIGINT, SIGTERM}) {
    c.push_back({sig == SIGINT ? "Msp430Sigint" : "Msp430Sigterm",
                 M,
                 "",
                 Expect::Failure,
                 sig == SIGTERM,
                 [](E2eWorld& w) { w.Dir().Write("LabXXX.txt", MakeLabImage()); },
                 {sig, "progress: 20 %", ""},
                 "--pace",
                 ExpectOneDownload});
  }
  // --- external loader programs ------------------------------------------
  c.push_back({"ExternalNakOnce", X, "Nak = 0x44:2\n", Expect::Success});
  c.push_back({"ExternalNakAlways", X, "Nak = 0x44\n", Expect::Failure});
  c.push_back({"ExternalChecksumOnce", X, "CorruptChecksum = 0x44:2\n", Expect::Success});
  c.push_back({"ExternalChecksumAlways", X, "CorruptChecksum = 0x44\n", Expect::Failure});
  c.push_back({"ExternalDroppedReply", X, "DropReply = 0x44:3\n", Expect::Success});
  c.push_back({"ExternalStall", X, "StallAfterBytes = 1000\nStallMs = 8000\n", Expect::Failure});
  c.push_back({"ExternalUnplugEarly", X, "UnplugAfterBytes = 50\n", Expect::Failure});
  c.push_back({"ExternalUnplugMiddle", X, "UnplugAfterBytes = 2000\n", Expect::Failure});
  c.push_back({"ExternalUnplugLate", X, "UnplugAfterBytes = 4150\n", Expect::Failure});
  c.push_back({"ExternalRejectsBootCommand",
               X,
               "Reject = A.1200\n",
               Expect::Failure,
               true,
               nullptr,
               {},
               "",
               [](const ToolResult& r, const QJsonObject&) {
                 EXPECT_TRUE(Has(r.output,
                                 "Bootloader im Zielger\xC3\xA4t nicht verf\xC3\xBC"
                                 "gbar"))
                     << r.output;
               }});
  c.push_back({"ExternalLoaderMissing",
               X,
               "",
               Expect::Failure,
               true,
               [](E2eWorld& w) { std::filesystem::remove(w.Folder() + "/HEXLoad_8N1.exe"); },
               {},
               "",
               [](const ToolResult& r, const QJsonObject& report) {
                 EXPECT_TRUE(Has(r.output, "Ladeprogramm nicht gefunden")) << r.output;
                 ExpectNoBootCommand(r, report);
               }});
  c.push_back({"ExternalLoaderIsADirectory",
               X,
               "",
               Expect::Failure,
               true,
               [](E2eWorld& w) {
                 std::filesystem::remove(w.Folder() + "/HEXLoad_8N1.exe");
                 std::filesystem::create_directory(w.Folder() + "/HEXLoad_8N1.exe");
               },
               {},
               "",
               [](const ToolResult& r, const QJsonObject& report) {
                 EXPECT_TRUE(Has(r.output, "Ladeprogramm ist ein Verzeichnis: ")) << r.output;
                 EXPECT_FALSE(Has(r.output, "Ladeprogramm nicht gefunden")) << r.output;
                 ExpectNoBootCommand(r, report);
               }});
  c.push_back({"ExternalLoaderNotExecutable",
               X,
               "",
               Expect::Failure,
               false,
               [](E2eWorld& w) {
                 std::filesystem::remove(w.Folder() + "/HEXLoad_8N1.exe");
                 w.Dir().Write("HEXLoad_8N1.exe", "not a program\n");
               },
               {},
               "",
               ExpectNoBootCommand});
  c.push_back({"ExternalLoaderFailing", X, "", Expect::Failure, false,
               [](E2eWorld& w) { InstallLoaderScript(w, "exit 2\n"); }});
  c.push_back({"ExternalLoaderKilled", X, "", Expect::Failure, true,
               [](E2eWorld& w) { InstallLoaderScript(w, "kill -9 $$\n"); }});
  c.push_back({"ExternalLoaderSucceedsWithoutTransfer",
               X,
               "",
               Expect::Failure,
               true,
               [](E2eWorld& w) { InstallLoaderScript(w, "exit 0\n"); },
               {},
               "",
               [](const ToolResult& r, const QJsonObject&) {
                 EXPECT_TRUE(
                     Has(r.output,
                         "Das Ladeprogramm meldete Erfolg, aber das Ger\xC3\xA4t antwortet nicht."))
                     << r.output;
               }});
  for (int sig : {SIGINT, SIGTERM}) {
    c.push_back({sig == SIGINT ? "ExternalSigint" : "ExternalSigterm",
                 X,
                 "",
                 Expect::Failure,
                 sig == SIGINT,
                 [](E2eWorld& w) { InstallLoaderScript(w, AnnouncingLoader()); },
                 {sig, "", "loader-started"},
                 "--pace"});
  }
  c.push_back({"ExternalSigtermIgnoredByLoader",
               X,
               "",
               Expect::Failure,
               false,
               [](E2eWorld& w) {
                 InstallLoaderScript(w, "trap '' TERM\ntouch loader-started\nexec sleep 60\n");
               },
               {SIGTERM, "", "loader-started"}});
  c.push_back({"ExternalSignalAsTheLoaderEnds", X, "", Expect::Either, false, [](E2eWorld& w) {
                 InstallLoaderScript(
                     w, "'" + HexLoadSim() + "' \"$@\"\nrc=$?\nkill -TERM $PPID\nexit $rc\n");
               }});
  return c;
}

// Test listings name a case, not its bytes.
void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class FaultMatrix : public ::testing::TestWithParam<FaultCase> {};

const char* OutcomeName(const ToolResult& r, Ending ending) {
  if (r.timedOut) return "HANG";
  if (r.exitCode == 0 && ending == Ending::Success) return "success";
  if (ending == Ending::Abort) return "failure, abort text";
  if (ending == Ending::Success) return "success text, failing exit";
  return "failure, no abort text";
}

void RecordRow(const FaultCase& c, const ToolResult& r, Ending ending) {
  char row[256];
  std::snprintf(row, sizeof row, "| %s | %s | %d | %.1f s |\n", c.name.c_str(),
                OutcomeName(r, ending), r.exitCode, r.seconds);
  std::fputs(row, stdout);
  if (const char* table = std::getenv("UPDATE_FAULTS_TABLE")) {
    if (std::FILE* f = std::fopen(table, "a")) {
      std::fputs(row, f);
      std::fclose(f);
    }
  }
}

}  // namespace

TEST_P(FaultMatrix, RunEndsHonestly) {
  const FaultCase& c = GetParam();
  if (!c.quick && std::getenv("UPDATE_FAULTS_FULL") == nullptr)
    GTEST_SKIP() << "part of the full matrix (make faults)";
  E2eWorld w;
  PrepareWorld(w, c.method);
  if (c.prepare) c.prepare(w);
  SimProcess& meter = w.AddSim(MeterProfile(c.method, c.profile), c.simArgs);
  ASSERT_TRUE(meter.Started());

  ToolResult r = RunTool(w, {"--delay-divisor", "20", "--trace"}, c.signal);
  const QJsonObject report = meter.Stop();
  const Ending ending = LastEnding(r.output, kAbortText);
  RecordRow(c, r, ending);

  ASSERT_FALSE(r.timedOut) << r.output;
  // The exit status says what the last text says.
  if (r.exitCode == 0) {
    EXPECT_EQ(ending, Ending::Success) << r.output;
  } else {
    EXPECT_EQ(r.exitCode, 1) << r.output;
    EXPECT_NE(ending, Ending::Success) << r.output;
  }
  // Never a success while the meter lacks the firmware.
  if (r.exitCode == 0) {
    EXPECT_TRUE(MeterHoldsFirmware(w, c.method, report)) << SimProcess::EventLog(report, 30);
  }
  if (c.expect == Expect::Success) {
    EXPECT_EQ(r.exitCode, 0) << r.output << SimProcess::EventLog(report, 30);
  } else if (c.expect == Expect::Failure) {
    EXPECT_EQ(r.exitCode, 1) << r.output;
  }
  // An interruption ends with the abort text.
  if (c.signal.signal != 0 && r.exitCode != 0) {
    EXPECT_EQ(ending, Ending::Abort) << r.output;
  }
  if (c.check) c.check(r, report);
}

INSTANTIATE_TEST_SUITE_P(Transfer, FaultMatrix, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<FaultCase>& info) {
                           return info.param.name;
                         });
