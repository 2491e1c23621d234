// Whole runs of a Windows-CE instrument: identification, version check,
// the file transfer of the main file and the download list, the clock and
// the final command, with every file byte and check character checked.
#include <gtest/gtest.h>
#include <QJsonObject>
#include <QByteArray>
#include <QJsonDocument>
#include <sys/stat.h>

#include <QJsonArray>
#include <algorithm>
#include <filesystem>
#include <map>

#include "FirmwareGen.h"
#include "tests/e2e/E2eWorld.h"
#include "tests/e2e/WindowRun.h"
#include "tests/support/BslSimImages.h"
#include "tests/support/WinCeSimFiles.h"

namespace {

const std::string kSuccess = "Download erfolgreich ausgef\xC3\xBChrt !";
const std::string kAbort = "Abbruch CE Meter";

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::string WinCeProfile(const std::string& more = "") {
  return "[Identity]\nName = wince\nPcbNumber = 70000-01\nPcbCode = 2013\nDeviceNumber = 61330\n"
         "DeviceCode = 2010\nVersion = 1.10\nVersionCode = 201\nSerialNumber = 55667788\n"
         "SerialCode = 205\nStartupVersion = 1.05\n"
         "[Line]\nBaudRate = 9600\nStartCommand = A.1111\nClockReply = 31\nReplyDelayMs = 2\n"
         "[Target]\nTarget = wince\n" +
         more;
}

// The delivery: the main program, a download list whose start-up program
// group is VernixStartUp.exe and lib.dll, and a data file.
struct Delivery {
  std::string startupVersion = "1.06";
  std::size_t dataSize = 4200;
  std::map<std::string, std::string> files;  // name -> content
  std::vector<std::string> order{"app.exe", "other.exe", "VernixStartUp.exe", "lib.dll",
                                 "data.bin"};
};

void WriteWinCeWorld(E2eWorld& w, Delivery& d) {
  w.WriteUpdateIni(0, "3");
  DeviceBlockSpec spec;
  spec.deviceNr = "61330";
  spec.deviceName = "CE Meter";
  spec.progFile2 = "app.exe,other.exe,VernixStartUp.exe,lib.dll,data.bin";
  spec.swKenn2 = "FileVersion";
  w.WriteProgDeviceIni({spec});
  // Anything that ran the instrument's main program would leave RAN behind.
  std::string shebang = "#!/bin/sh\ntouch RAN\nexit 0\n";
  shebang.resize(32, '\n');
  d.files["app.exe"] = shebang + MakeWinCeProgram("1.30", 4500, 1);
  d.files["other.exe"] = MakeWinCeProgram("1.20", 2100, 2);
  d.files["VernixStartUp.exe"] = MakeWinCeProgram(d.startupVersion, 1300, 3);
  d.files["lib.dll"] = MakeWinCeProgram("1.00", 700, 4);
  d.files["data.bin"] = SeededBytes(d.dataSize, 5);
  for (const auto& [name, content] : d.files) w.Dir().Write(name, content);
  std::filesystem::permissions(w.Dir().File("app.exe"), std::filesystem::perms::owner_exec,
                               std::filesystem::perm_options::add);
}

std::vector<std::string> Commands(const QJsonObject& report) {
  std::vector<std::string> lines;
  for (const auto& l : SimProcess::ReceivedLines(report)) {
    if (l.empty()) continue;
    if (l.rfind("A.1600#", 0) == 0) {
      lines.push_back("A.1600#");
    } else if (l.rfind("A.1205#", 0) == 0 || l.rfind("A.1201#", 0) == 0) {
      lines.push_back(l.substr(0, l.find(',')));  // the time stamp is the file's
    } else {
      lines.push_back(l);
    }
  }
  return lines;
}

// Every file the instrument got, byte for byte and in frames with the
// right check characters, in the order sent.
void ExpectFilesReceived(const QJsonObject& report, const Delivery& d,
                         const std::vector<std::string>& names) {
  const auto files = FilesOf(report);
  ASSERT_EQ(files.size(), names.size());
  std::vector<std::string> frames;
  for (std::size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(files[i].name, names[i]);
    EXPECT_EQ(files[i].state, "complete") << names[i];
    EXPECT_TRUE(files[i].data == d.files.at(names[i])) << names[i] << " differs";
    const auto f = ExpectedFrames(d.files.at(names[i]));
    frames.insert(frames.end(), f.begin(), f.end());
  }
  EXPECT_EQ(DataFrames(report), frames);
}

const std::vector<std::string> kIdentification = {"A.1111", "A.1000", "A.2003", "A.2000",
                                                  "A.2001", "A.4001", "A.2100"};

class WinCeRun : public ::testing::Test {
 protected:
  // The meter with the profile's extra keys, the tool headless against it.
  void Run(const std::string& profileExtra = "", std::vector<std::string> toolArgs = {},
           const std::string& simArgs = "", const std::string& interruptAt = "") {
    SimProcess& meter = w.AddSim(WinCeProfile(profileExtra), simArgs);
    toolArgs.insert(toolArgs.begin(), {"--delay-divisor", "20"});
    r = w.RunHeadless(toolArgs, 120, interruptAt);
    report = meter.Stop();
    EXPECT_FALSE(r.timedOut) << r.output;
  }

  E2eWorld w;
  Delivery d;
  ToolResult r;
  QJsonObject report;
};

}  // namespace

TEST_F(WinCeRun, SendsTheMainFileAndTheDownloadListAndEndsWithTheSuccessText) {
  WriteWinCeWorld(w, d);
  Run();
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_TRUE(Has(r.output, kSuccess)) << r.output;
  EXPECT_TRUE(Violations(report).empty()) << Violations(report).front();

  std::vector<std::string> expected = kIdentification;
  expected.insert(expected.end(), {"A.1000", "A.1300#38400"});
  for (const auto& name : d.order) expected.insert(expected.end(), {"A.1205#" + name, "A.1202"});
  expected.insert(expected.end(), {"A.1203", "A.1300#9600", "A.1600#", "A.1111"});
  EXPECT_EQ(Commands(report), expected) << SimProcess::EventLog(report);
  ExpectFilesReceived(report, d, d.order);
  EXPECT_FALSE(std::filesystem::exists(w.Dir().File("RAN"))) << "the programs are sent, never run";
}

// A delivery copied from a Windows share: names on disk in another case,
// a list entry with '\\' between folders. The instrument is told the names
// as the delivery spells them.
TEST_F(WinCeRun, ListFilesAreFoundInAnyCaseAndAnnouncedAsTheDeliverySpellsThem) {
  WriteWinCeWorld(w, d);
  namespace fs = std::filesystem;
  std::string ini = w.Dir().Read("ProgDevice.ini");
  ini.replace(ini.find("data.bin"), 8, "Data\\Data.bin");
  w.Dir().Write("ProgDevice.ini", ini);
  fs::create_directory(w.Dir().File("DATA"));
  fs::rename(w.Dir().File("data.bin"), w.Dir().File("DATA/data.BIN"));
  fs::rename(w.Dir().File("other.exe"), w.Dir().File("OTHER.EXE"));
  d.files["Data\\Data.bin"] = d.files["data.bin"];
  Run();
  EXPECT_EQ(r.exitCode, 0) << r.output;
  const auto commands = Commands(report);
  for (const char* announce : {"A.1205#other.exe", "A.1205#Data\\Data.bin"})
    EXPECT_NE(std::find(commands.begin(), commands.end(), announce), commands.end())
        << announce << "\n"
        << SimProcess::EventLog(report);
  ExpectFilesReceived(report, d,
                      {"app.exe", "other.exe", "VernixStartUp.exe", "lib.dll", "Data\\Data.bin"});
}

TEST_F(WinCeRun, StartupProgramGroupIsLeftOutWhenTheInstrumentHasItsVersion) {
  d.startupVersion = "1.05";  // as in the instrument
  WriteWinCeWorld(w, d);
  Run();
  EXPECT_EQ(r.exitCode, 0) << r.output;
  ExpectFilesReceived(report, d, {"app.exe", "other.exe", "data.bin"});
}

TEST_F(WinCeRun, Code261OnAFrameGetsTheIdenticalFrameAgain) {
  WriteWinCeWorld(w, d);
  Run("WinCeReply261AtFrame = 3\nWinCeReply261Value = 2\n");
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_TRUE(Has(r.output, kSuccess)) << r.output;
  // Frame 3 is the first of other.exe; it arrives twice, unchanged.
  std::vector<std::string> frames;
  for (const auto& name : d.order) {
    const auto f = ExpectedFrames(d.files.at(name));
    frames.insert(frames.end(), f.begin(), f.end());
  }
  frames.insert(frames.begin() + 3, frames[2]);
  EXPECT_EQ(DataFrames(report), frames);
  const auto files = FilesOf(report);
  ASSERT_EQ(files.size(), d.order.size());
  for (std::size_t i = 0; i < files.size(); ++i)
    EXPECT_TRUE(files[i].data == d.files.at(d.order[i]));
}

TEST_F(WinCeRun, Code260MidFileSkipsToTheNextFile) {
  WriteWinCeWorld(w, d);
  Run("WinCeReply260AtFrame = 2\n", {"--trace"});
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_TRUE(Has(r.output, "Windows CE: the instrument skips app.exe")) << r.output;
  const auto files = FilesOf(report);
  ASSERT_EQ(files.size(), d.order.size());
  EXPECT_EQ(files[0].state, "skipped");
  EXPECT_EQ(files[0].data, d.files["app.exe"].substr(0, 2000)) << "only the frame before the 260";
  for (std::size_t i = 1; i < files.size(); ++i) {
    EXPECT_EQ(files[i].state, "complete") << files[i].name;
    EXPECT_TRUE(files[i].data == d.files.at(d.order[i])) << files[i].name;
  }
  EXPECT_TRUE(Violations(report).empty()) << Violations(report).front();
  // The run log lists every file; the skipped one as not transferred.
  const QJsonObject line =
      QJsonDocument::fromJson(QByteArray::fromStdString(w.Dir().Read("update-runs.jsonl")))
          .object();
  const QJsonArray logged = line.value("files").toArray();
  ASSERT_EQ(logged.size(), static_cast<int>(d.order.size())) << w.Dir().Read("update-runs.jsonl");
  for (const auto& f : logged) {
    const QJsonObject file = f.toObject();
    EXPECT_EQ(file.value("transferred").toBool(), file.value("name").toString() != "app.exe")
        << file.value("name").toString().toStdString();
  }
}

TEST_F(WinCeRun, SilenceMidFileEndsWithTheAbortTextAfterTheTimeout) {
  WriteWinCeWorld(w, d);
  Run("WinCeSilentFromFrame = 2\n", {"--trace"});
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_TRUE(Has(r.output, "Windows CE: no confirmation within 5000 ms")) << r.output;
  EXPECT_TRUE(Has(r.output, kAbort)) << r.output;
  EXPECT_FALSE(Has(r.output, "Download erfolgreich")) << r.output;
  EXPECT_EQ(DataFrames(report).size(), 2u);
  EXPECT_EQ(Commands(report).back(), "A.1205#app.exe") << "nothing after the silence";
}

TEST_F(WinCeRun, SigintDuringTheTransferEndsItAsFailed) {
  WriteWinCeWorld(w, d);
  // Paced at the wire speed, each file takes a while; the interruption
  // comes once the second file is announced.
  Run("", {"--trace"}, "--pace", "A.1205#other.exe");
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_TRUE(Has(r.output, "Windows CE: stopped by Escape")) << r.output;
  EXPECT_TRUE(Has(r.output, kAbort)) << r.output;
  EXPECT_FALSE(Has(r.output, "Download erfolgreich")) << r.output;
  const auto files = FilesOf(report);
  ASSERT_FALSE(files.empty());
  EXPECT_TRUE(files[0].data == d.files["app.exe"]);
  EXPECT_LT(files.size(), d.order.size());
  const auto lines = Commands(report);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "A.1203"), 0)
      << "the transfer did not end normally";
}

TEST_F(WinCeRun, OversizeFileIsRefusedBeforeAnythingIsSent) {
  WriteWinCeWorld(w, d);
  w.Dir().Write("data.bin", std::string(3000001, 'x'));
  Run();
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_TRUE(Has(r.output,
                  "[Fehler]\nDie Datei data.bin ist gr\xC3\xB6\xC3\x9F"
                  "er als 3000000 Bytes."))
      << r.output;
  EXPECT_TRUE(Has(r.output, kAbort)) << r.output;
  EXPECT_EQ(Commands(report), kIdentification) << "nothing of the transfer";
}

TEST_F(WinCeRun, EachOkAfterAFailedTransferRunsExactlyOneNewAttempt) {
  WriteWinCeWorld(w, d);
  w.Dir().Write("data.bin", std::string(3000001, 'x'));
  SimProcess& meter = w.AddSim(WinCeProfile());
  WindowRun run(w);
  ASSERT_TRUE(run.main->Construct());
  run.main->Delay().SetDividend(20);
  // A refusal ends a retry inside the OK press itself.
  auto pressOk = [&run]() -> std::optional<RunOutcome> {
    const std::size_t before = run.view.outcomes.size();
    run.main->OkBitBtnClick();
    if (run.view.outcomes.size() > before) return run.view.outcomes.back();
    return run.view.WaitForEnd();
  };
  ASSERT_EQ(pressOk(), RunOutcome::Failed);
  ASSERT_TRUE(run.main->OkEnabled());
  // Left alone, the failed run stays failed: no attempt of its own.
  EXPECT_FALSE(run.view.WaitForEnd(300).has_value());

  ASSERT_EQ(pressOk(), RunOutcome::Failed) << "the file is still too large";
  EXPECT_EQ(run.view.boxes.size(), 2u);
  EXPECT_EQ(run.view.outcomes.size(), 2u);

  w.Dir().Write("data.bin", d.files["data.bin"]);
  ASSERT_EQ(pressOk(), RunOutcome::Success);
  EXPECT_EQ(run.view.outcomes.size(), 3u);
  run.main->Shutdown();
  QJsonObject report = meter.Stop();
  std::vector<std::string> lines = Commands(report);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "A.1111"), 2)
      << "no new search, one final command";
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "A.1300#38400"), 1);
  ExpectFilesReceived(report, d, d.order);
}
