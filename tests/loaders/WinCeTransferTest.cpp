// TWinCEProg against the simulated Windows-CE instrument over a
// pseudo-terminal: the conversation, every file byte and every check
// character, and the ways a transfer fails.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <QJsonArray>
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <thread>
#include <string>

#include "loaders/WinCEProg.h"
#include "tests/loaders/BslTestHost.h"
#include "tests/loaders/SimulatedMeter.h"
#include "tests/support/BslSimImages.h"
#include "tests/support/Pty.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/WinCeSimFiles.h"

namespace {

std::string Profile(const std::string& extra = "") {
  return "Name = wince-test\nBaudRate = 9600\nStartCommand = A.1000\nReplyDelayMs = 1\n"
         "Target = wince\n" +
         extra;
}

std::vector<std::string> Concat(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// Received lines with the time stamps of the announces left out.
std::vector<std::string> LinesWithoutStamps(const QJsonObject& report) {
  std::vector<std::string> lines;
  for (std::string line : SimProcess::ReceivedLines(report)) {
    if (line.rfind("A.120", 0) == 0 && line.size() > 7 && line[6] != '2' && line[6] != '3') {
      const std::size_t first = line.find(',');
      const std::size_t last = line.rfind(',');
      if (first != last) line.replace(first, last - first, ",T");
    }
    lines.push_back(line);
  }
  return lines;
}

class WinCeTransfer : public ::testing::Test {
 protected:
  void SetUp() override { setenv("UPDATE_PROGRAM_DIR", dir.path().c_str(), 1); }
  void TearDown() override {
    host.reset();
    ports.reset();
    sim.reset();
    unsetenv("UPDATE_PROGRAM_DIR");
  }

  void Start(const std::string& profile) {
    // The 2000 ms and 500 ms waits shrink to a fortieth.
    StartSimulatedMeter(dir.path(), profile, 40, sim, ports, host);
    host->Port().ChangeBaudrate(B__9600);  // the speed the search found
    host->Record().SoftwareVersionNumber = 120;
  }

  void List(const std::vector<std::string>& names) {
    DeviceRecord& r = host->Record();
    r.DownloadList.clear();
    for (const auto& n : names) r.DownloadList.emplace_back(n);
    r.DownloadListLength = static_cast<int32_t>(names.size());
  }

  std::string WriteFile(const std::string& name, std::size_t size, uint32_t seed) {
    const std::string content = SeededBytes(size, seed);
    dir.Write(name, content);
    return content;
  }

  bool Run(const std::string& file, bool force = false) {
    TWinCEProg transfer(*host);
    transfer.SetConfirmTimeout(confirmTimeoutMs);
    const bool ok = transfer.Transfer(0, file, force);
    skipped = transfer.SkippedFiles();
    lineBaudAfter = host->Port().LineBaudrate();
    report = sim->Stop();
    return ok;
  }

  TempDir dir;
  CapturedDialogs dialogs;
  std::unique_ptr<SimProcess> sim;
  std::unique_ptr<ScopedPortTable> ports;
  std::unique_ptr<BslTestHost> host;
  QJsonObject report;
  int confirmTimeoutMs = 5000;
  BaudTag lineBaudAfter = B__1200;
  std::vector<std::string> skipped;
};

}  // namespace

TEST_F(WinCeTransfer, SendsEveryFileOfTheListInFramesAndReturnsToTheFoundSpeed) {
  Start(Profile());
  const std::string app = WriteFile("app.exe", 4500, 1);
  const std::string lib = WriteFile("lib.dll", 2000, 2);
  const std::string empty = WriteFile("empty.dat", 0, 3);
  List({"lib.dll", "empty.dat"});
  ASSERT_TRUE(Run("app.exe"));

  EXPECT_EQ(LinesWithoutStamps(report),
            (std::vector<std::string>{"A.1000", "A.1300#38400", "A.1201#app.exe,T,4500", "A.1202",
                                      "A.1201#lib.dll,T,2000", "A.1202", "A.1201#empty.dat,T,0",
                                      "A.1202", "A.1203", "A.1300#9600"}));
  EXPECT_EQ(DataFrames(report),
            Concat({ExpectedFrames(app), ExpectedFrames(lib), ExpectedFrames(empty)}));
  const auto files = FilesOf(report);
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(files[0].data, app);
  EXPECT_EQ(files[1].data, lib);
  EXPECT_EQ(files[2].data, "");
  for (const auto& f : files) EXPECT_EQ(f.state, "complete") << f.name;
  EXPECT_TRUE(Violations(report).empty()) << Violations(report).front();
  EXPECT_EQ(lineBaudAfter, B__9600);
  EXPECT_FALSE(host->Events().HasPending()) << "no reply left for the workflow";
}

TEST_F(WinCeTransfer, AnnouncesWithA1205ForOldInstrumentsAndRecentFilesOrWhenForced) {
  Start(Profile());
  WriteFile("new.exe", 10, 1);
  WriteFile("old.dll", 10, 2);
  const timespec old[2] = {{631152000, 0}, {631152000, 0}};  // 1990
  ASSERT_EQ(utimensat(AT_FDCWD, dir.File("old.dll").c_str(), old, 0), 0);
  List({"old.dll"});
  host->Record().SoftwareVersionNumber = 110;
  ASSERT_TRUE(Run("new.exe"));
  auto lines = LinesWithoutStamps(report);
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(lines[2], "A.1205#new.exe,T,10");
  EXPECT_EQ(lines[4], "A.1201#old.dll,T,10") << "a file from before 2009 keeps A.1201";

  Start(Profile());
  List({"old.dll"});
  host->Record().SoftwareVersionNumber = 150;
  ASSERT_TRUE(Run("new.exe", true));
  lines = LinesWithoutStamps(report);
  EXPECT_EQ(lines[2], "A.1205#new.exe,T,10");
  EXPECT_EQ(lines[4], "A.1205#old.dll,T,10");
}

TEST_F(WinCeTransfer, ResendsTheIdenticalFrameOnCode261Value2) {
  Start(Profile("WinCeReply261AtFrame = 2\nWinCeReply261Value = 2\n"));
  const std::string app = WriteFile("app.exe", 5000, 4);
  ASSERT_TRUE(Run("app.exe"));
  std::vector<std::string> expected = ExpectedFrames(app);
  expected.insert(expected.begin() + 2, expected[1]);
  EXPECT_EQ(DataFrames(report), expected);
  ASSERT_EQ(FilesOf(report).size(), 1u);
  EXPECT_EQ(FilesOf(report)[0].data, app);
  EXPECT_EQ(FilesOf(report)[0].state, "complete");
}

TEST_F(WinCeTransfer, Code260AbandonsTheFileAndAnnouncesTheNext) {
  Start(Profile("WinCeReply260AtFrame = 2\n"));
  WriteFile("app.exe", 6000, 5);
  const std::string lib = WriteFile("lib.dll", 2500, 6);
  List({"lib.dll"});
  ASSERT_TRUE(Run("app.exe"));
  EXPECT_EQ(LinesWithoutStamps(report),
            (std::vector<std::string>{"A.1000", "A.1300#38400", "A.1201#app.exe,T,6000",
                                      "A.1201#lib.dll,T,2500", "A.1202", "A.1203", "A.1300#9600"}));
  const auto files = FilesOf(report);
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0].state, "skipped");
  EXPECT_EQ(files[1].data, lib);
  EXPECT_EQ(files[1].state, "complete");
  // The ending stays a success, but the skipped file is named and recorded.
  EXPECT_EQ(skipped, std::vector<std::string>{"app.exe"});
  EXPECT_NE(std::find(host->memo.begin(), host->memo.end(),
                      "Das Ger\xE4t hat die Datei app.exe \xFC"
                      "bersprungen.\r\n"),
            host->memo.end());
}

// A transfer that failed midway left the instrument at 38400 while the
// port went back to 9600: the retry finds it there, and both end at 9600.
TEST_F(WinCeTransfer, RetryReachesAnInstrumentLeftAtTheTransferSpeed) {
  Start(Profile("BaudRate = 38400\n"));
  const std::string app = WriteFile("app.exe", 3000, 11);
  List({});
  confirmTimeoutMs = 1000;
  ASSERT_TRUE(Run("app.exe"));
  const auto lines = LinesWithoutStamps(report);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "A.1300#9600") << "the instrument is told to go back";
  EXPECT_EQ(FilesOf(report).at(0).data, app);
  EXPECT_EQ(lineBaudAfter, B__9600);
  EXPECT_TRUE(skipped.empty());
}

TEST_F(WinCeTransfer, FailuresMidFileRestoreTheLineWithoutTellingTheInstrument) {
  // Code 261 with any other value than 2.
  Start(Profile("WinCeReply261AtFrame = 2\nWinCeReply261Value = 5\n"));
  WriteFile("app.exe", 6000, 7);
  EXPECT_FALSE(Run("app.exe"));
  EXPECT_EQ(lineBaudAfter, B__9600);
  EXPECT_EQ(DataFrames(report).size(), 2u) << "nothing after the fault";
  auto lines = SimProcess::ReceivedLines(report);
  EXPECT_EQ(lines.back().rfind("A.1201#", 0), 0u) << lines.back();

  // Silence: no confirmation within the time-out.
  Start(Profile("WinCeSilentFromFrame = 2\n"));
  confirmTimeoutMs = 300;
  EXPECT_FALSE(Run("app.exe"));
  EXPECT_EQ(lineBaudAfter, B__9600);
  EXPECT_EQ(DataFrames(report).size(), 2u);
  EXPECT_TRUE(dialogs.shown.empty()) << "the window reports the failure";
}

TEST_F(WinCeTransfer, EscapeEndsTheTransferAsFailed) {
  Start(Profile());
  WriteFile("app.exe", 20000, 8);
  // Escape once the data frames are under way.
  host->onProgress = [this](double percent) {
    if (percent > 20) host->Events().PostKey(WinCeEvent::kEscapeKey);
  };
  EXPECT_FALSE(Run("app.exe"));
  EXPECT_EQ(lineBaudAfter, B__9600);
  EXPECT_LT(DataFrames(report).size(), 10u);
  EXPECT_EQ(FilesOf(report).at(0).state, "receiving");
}

// Every file of the list is checked before the instrument hears a byte:
// once, a missing or odd list file was found only at its turn, after the
// files before it were installed.
TEST_F(WinCeTransfer, RefusesAnyUnusableFileBeforeAnythingIsSent) {
  struct Case {
    const char* what;
    std::function<void(TempDir&)> make;
    std::vector<std::string> list;
    const char* first;
    int language;
    std::string text;
  };
  const std::string aborted =
      "\r\nDie \xDC"
      "bertragung wurde abgebrochen.";
  const Case cases[] = {
      {"oversize list file",
       [](TempDir& d) { d.Write("big.dll", std::string(TWinCEProg::kFileBufferSize + 1, 'x')); },
       {"ok.dll", "big.dll"},
       "app.exe",
       0,
       "Die Datei big.dll ist gr\xF6\xDF"
       "er als 3000000 Bytes." +
           aborted},
      {"missing main file",
       [](TempDir&) {},
       {},
       "gone.exe",
       1,
       "The file gone.exe does not exist.\r\nThe transfer was aborted."},
      {"missing last list file",
       [](TempDir&) {},
       {"ok.dll", "gone.dat"},
       "app.exe",
       0,
       "Die Datei gone.dat ist nicht vorhanden." + aborted},
      {"FIFO in the list",
       [](TempDir& d) { ASSERT_EQ(mkfifo(d.File("pipe.dat").c_str(), 0644), 0); },
       {"pipe.dat", "ok.dll"},
       "app.exe",
       1,
       "The file pipe.dat is not a regular file but a FIFO.\r\nThe transfer was aborted."},
      {"folder in the list",
       [](TempDir& d) { ASSERT_EQ(mkdir(d.File("sub").c_str(), 0755), 0); },
       {"sub"},
       "app.exe",
       0,
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Start(Profile());
    WriteFile("app.exe", 100, 9);
    WriteFile("ok.dll", 100, 10);
    c.make(dir);
    host->language = c.language;
    List(c.list);
    const std::size_t before = dialogs.shown.size();
    EXPECT_FALSE(Run(c.first));
    EXPECT_TRUE(SimProcess::ReceivedLines(report).empty());
    ASSERT_EQ(dialogs.shown.size(), before + 1);
    if (!c.text.empty()) {
      EXPECT_EQ(dialogs.shown.back().text, c.text);
    }
    EXPECT_EQ(dialogs.shown.back().caption, c.language == 0 ? "Fehler" : "Error");
  }
}

// An instrument that confirms the speed commands at once, at the old speed,
// while the tool still waits: the confirmations count after the wait, once.
TEST(WinCeTransferEarlyConfirmation, CountsOnceTheSpeedWaitIsOver) {
  TempDir dir;
  setenv("UPDATE_PROGRAM_DIR", dir.path().c_str(), 1);
  dir.Write("a.exe", "abc");
  Pty pty;
  ASSERT_TRUE(pty.Valid());
  ScopedPortTable ports(pty.SlavePath());
  BslTestHost host;
  host.Delay().SetDividend(10);  // waits of 200 ms
  ASSERT_TRUE(host.OpenPort());
  host.Port().ChangeBaudrate(B__9600);

  struct Heard {
    std::string text;
    int baud;
  };
  std::vector<Heard> heard;
  std::thread instrument([&] {
    auto take = [&](std::string_view until) {
      heard.push_back({pty.ReceiveUntil(until), pty.SlaveBaud()});
      pty.Send("!\r\n");
    };
    take("A.1000\r\n");
    take("A.1300#38400\r\n");  // confirmed during the wait
    take("\r\n");              // the announce
    take("#abc");              // the frame
    take("A.1202\r\n");
    take("A.1203\r\n");
    take("A.1300#9600\r\n");  // confirmed during the wait
    heard.push_back({pty.Drain(std::chrono::milliseconds(300)), pty.SlaveBaud()});
  });
  TWinCEProg transfer(host);
  const bool ok = transfer.Transfer(0, "a.exe", false);
  instrument.join();
  unsetenv("UPDATE_PROGRAM_DIR");

  EXPECT_TRUE(ok);
  ASSERT_EQ(heard.size(), 8u);
  EXPECT_EQ(heard[2].text.rfind("A.1205#a.exe,", 0), 0u) << heard[2].text;
  EXPECT_EQ(heard[2].baud, 38400) << "the announce follows the wait and the switch";
  EXPECT_EQ(heard[3].text, "D.3,e#abc");
  EXPECT_EQ(heard[7].text, "") << "nothing sent twice";
  EXPECT_EQ(host.Port().LineBaudrate(), B__9600);
}
