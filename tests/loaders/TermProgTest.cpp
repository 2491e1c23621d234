// TermProg against the simulated Basic-Loader over a pseudo-terminal: the
// bytes the loader received are compared with the firmware file.
#include <gtest/gtest.h>

#include <functional>

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "FirmwareGen.h"
#include "loaders/TermProg.h"
#include "platform/Beep.h"
#include "tests/loaders/BslTestHost.h"
#include "tests/support/Pty.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"

namespace {

const std::string kProgOk =
    "--------------------\r\nProgramm erfolgreich \xFC"
    "berspielt !";
const std::string kAbort = "Programmierung abgebrochen !";

// Answers the time-out question as told and counts the questions.
class RetryAnswers : public DialogSink {
 public:
  RetryAnswers() : previous_(SetDialogSink(this)) {}
  ~RetryAnswers() override { SetDialogSink(previous_); }
  MsgResult Show(const std::string& caption, const std::string& text, MsgIcon,
                 MsgButtons) override {
    boxes.push_back(caption + "|" + text);
    return MsgResult::Ok;
  }
  MsgResult ShowRetry(const std::string& caption, const std::string& text, MsgIcon,
                      int attempt) override {
    boxes.push_back(caption + "|" + text);
    attempts.push_back(attempt);
    if (onQuestion) onQuestion();
    return retry && attempt <= retryLimit ? MsgResult::Retry : MsgResult::Abort;
  }
  bool retry = true;
  int retryLimit = 1000;
  std::function<void()> onQuestion;
  std::vector<std::string> boxes;
  std::vector<int> attempts;

 private:
  DialogSink* previous_;
};

// What the loader tells the window.
class WindowSide : public EventSubscriber {
 public:
  void OnEvent(EventQueue&, WorkflowEvent& e) override {
    if (e.kind == EventKind::kNotify &&
        (e.code == TermProgEvent::kSegmentProgrammed || e.code == TermProgEvent::kTransferEnded))
      told.push_back(e.code);
  }
  std::vector<int32_t> told;
};

class TermProgRun : public ::testing::Test {
 protected:
  // A file of S-records with `dataBytes` bytes of data, as the loader's
  // variant names it.
  std::string WriteFirmware(std::size_t dataBytes, const std::string& name = "L3_TermH.A37") {
    const std::string text = MakeSRecordFirmware("2.10", dataBytes, 5);
    dir.Write(name, text);
    return text;
  }

  void Start(const std::string& profile, long txTimeOutMs = 10000) {
    dir.Enter();
    sim = std::make_unique<SimProcess>(
        dir.path(), "meter",
        "BaudRate = 4800\nReplyDelayMs = 1\nTarget = basic\nBasicLoaderReadRate = 0\n"
        "BasicLoaderEraseMs = 20\n" +
            profile);
    ASSERT_TRUE(sim->Started());
    ports = std::make_unique<ScopedPortTable>(sim->Slave());
    host = std::make_unique<BslTestHost>();
    V24ParameterTag* rec = host->Port().GetV24Parameter();
    rec->Baudrate = B__4800;
    rec->KeinNullZeichen = true;
    rec->TXTimeOut = txTimeOutMs;
    ASSERT_TRUE(host->OpenPort());
    host->Events().Subscribe(&window);
    host->Record().BasicLoaderVariant = '0';
    // The meter's firmware hands the line to its Basic-Loader.
    for (const char* command : {"A.1111\r\n", "A.1220\r\n"}) {
      const std::size_t before = host->replyLines.size();
      host->Port().Write(command, -1, false);
      ASSERT_TRUE(WaitUntil([&] { return host->replyLines.size() > before; }, 5000));
    }
    loader = std::make_unique<TermProg>(*host);
    loader->SetFolder(dir.path());
    loader->Init();
  }

  template <class Done>
  bool WaitUntil(Done done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    QTimer tick;  // wakes the wait so that the deadline is noticed
    tick.start(50);
    while (!done()) {
      if (clock.elapsed() > timeoutMs) return false;
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
  }

  bool WaitForTold(std::size_t count, int timeoutMs = 20000) {
    return WaitUntil([&] { return window.told.size() >= count; }, timeoutMs);
  }

  // The bytes each segment of the loader received, from the report.
  std::vector<std::string> Streams() {
    report = sim->Stop();
    std::vector<std::string> out;
    for (const auto& f : report.value("files").toArray())
      out.push_back(QByteArray::fromBase64(f.toObject().value("data_base64").toString().toLatin1())
                        .toStdString());
    return out;
  }

  bool MemoHas(const std::string& text) const {
    for (const auto& m : host->memo)
      if (m.find(text) != std::string::npos) return true;
    return false;
  }

  ~TermProgRun() override {
    loader.reset();
    host.reset();
    ports.reset();
  }

  TempDir dir;
  std::unique_ptr<SimProcess> sim;
  std::unique_ptr<ScopedPortTable> ports;
  std::unique_ptr<BslTestHost> host;
  std::unique_ptr<TermProg> loader;
  WindowSide window;
  RetryAnswers answers;
  QJsonObject report;
};

}  // namespace

TEST_F(TermProgRun, TwoFlashSegmentsGetTheWholeFileEachAndTwoSuccessReports) {
  const std::string file = WriteFirmware(9000);
  const int beeps = BeepsSoFar();
  Start("BasicLoaderSegments = 2\n");
  ASSERT_TRUE(WaitForTold(2)) << SimProcess::EventLog(sim->Stop());
  EXPECT_EQ(window.told, (std::vector<int32_t>{TermProgEvent::kSegmentProgrammed,
                                               TermProgEvent::kSegmentProgrammed}));
  EXPECT_TRUE(loader->EveryByteSent());
  EXPECT_EQ(BeepsSoFar() - beeps, 2);
  EXPECT_TRUE(MemoHas(kProgOk));
  EXPECT_EQ(host->lastPercent, -1000) << "the final mark, not a negative percent";
  EXPECT_EQ(Streams(), (std::vector<std::string>{file, file}));
  EXPECT_TRUE(answers.boxes.empty());
}

TEST_F(TermProgRun, FileOfWholeBlocksEndsAfterItsLastBlock) {
  // Trailing line ends make the file exactly three blocks long.
  std::string file = MakeSRecordFirmware("2.10", 2000, 9);
  ASSERT_LT(file.size(), 3 * TermProg::kBlockSize);
  while (file.size() < 3 * TermProg::kBlockSize) file += '\n';
  dir.Write("L3_TermH.A37", file);
  Start("");
  ASSERT_TRUE(WaitForTold(1));
  EXPECT_EQ(loader->Sent(), 3 * TermProg::kBlockSize);
  EXPECT_TRUE(loader->EveryByteSent());
  EXPECT_FALSE(loader->Sending());
  EXPECT_EQ(Streams(), std::vector<std::string>{file});
}

// A pseudo-terminal has no CTS: the simulator holds the tool off by not
// reading, so the tool's writes stop once the pty's buffer is full.
TEST_F(TermProgRun, RetryAfterTheWriteTimeOutSendsEveryByteOnceInOrder) {
  const std::string file = WriteFirmware(40000);           // ~110 KB, far more than a pty buffers
  Start("StallAfterBytes = 3000\nStallMs = 3500\n", 200);  // block time-out 2.2 s
  ASSERT_TRUE(WaitForTold(1, 30000)) << SimProcess::EventLog(sim->Stop());
  EXPECT_EQ(window.told, std::vector<int32_t>{TermProgEvent::kSegmentProgrammed});
  ASSERT_EQ(answers.attempts, std::vector<int>{1});
  EXPECT_EQ(answers.boxes[0], "Warnung|  Timeout in serial Interface !!  \r\r\r");
  EXPECT_NE(std::find(host->prefixes.begin(), host->prefixes.end(), "HT "), host->prefixes.end());
  EXPECT_TRUE(loader->EveryByteSent());
  const std::vector<std::string> streams = Streams();
  ASSERT_EQ(streams.size(), 1u);
  EXPECT_EQ(streams[0].size(), file.size());
  EXPECT_TRUE(streams[0] == file) << "the loader received other bytes than the file holds";
  EXPECT_TRUE(report.value("violations").toArray().isEmpty());
}

// A meter that holds the line off for good: each retry of the same block
// counts, so the fourth question is answered Abort (as `--answer yes`
// does), and progress never counted what the line did not take.
TEST_F(TermProgRun, LineHeldOffForGoodEndsAfterThreeRetriesOfOneBlock) {
  const std::string file = WriteFirmware(40000);
  answers.retryLimit = 3;
  std::vector<double> percentsToFirstTimeOut;
  answers.onQuestion = [&] {
    if (percentsToFirstTimeOut.empty()) percentsToFirstTimeOut = host->percents;
  };
  Start("StallAfterBytes = 3000\nStallMs = 600000\n", 200);
  ASSERT_TRUE(WaitForTold(1, 60000)) << SimProcess::EventLog(sim->Stop());
  EXPECT_EQ(window.told, std::vector<int32_t>{TermProgEvent::kTransferEnded});
  EXPECT_EQ(answers.attempts, (std::vector<int>{1, 2, 3, 4}));
  EXPECT_TRUE(MemoHas(kAbort));
  EXPECT_FALSE(loader->EveryByteSent());
  // The time-out reports what the line took; no figure before it counted
  // more (a block waiting in the transmitter is not on the line).
  ASSERT_FALSE(percentsToFirstTimeOut.empty());
  const double took = percentsToFirstTimeOut.back();
  for (double percent : percentsToFirstTimeOut) EXPECT_LE(percent, took);
}

// Escape while a block is stuck: the transmitter lets go at once instead of
// at the block's time-out, so the line settings come back within the
// restore wait.
TEST_F(TermProgRun, EscapeDuringAStuckWriteFreesTheTransmitterAtOnce) {
  WriteFirmware(40000);
  Start("StallAfterBytes = 3000\nStallMs = 600000\n", 200);
  // The first time-out proves the line is held off; its retry is stuck too.
  ASSERT_TRUE(WaitUntil([&] { return !answers.attempts.empty(); }, 30000));
  ASSERT_TRUE(WaitUntil([&] { return loader->Sent() > loader->Confirmed(); }, 5000));
  ASSERT_FALSE(host->Port().WaitWriteIdle(0)) << "the retried block is on its way";
  host->Events().PostKey(TermProgEvent::kEscapeKey);
  host->PumpEvents();
  EXPECT_TRUE(host->Port().WaitWriteIdle(0)) << "the stuck block was cut";
  EXPECT_EQ(answers.attempts, std::vector<int>{1}) << "no second time-out was waited out";
  EXPECT_EQ(window.told, std::vector<int32_t>{TermProgEvent::kTransferEnded});
  EXPECT_TRUE(MemoHas(kAbort));
}

TEST_F(TermProgRun, DefectiveRecordShowsTheTransmitErrorAndStops) {
  WriteFirmware(9000);
  Start("BasicLoaderDefectAtRecord = 20\nBasicLoaderDefectText = Record defekt!\n");
  ASSERT_TRUE(WaitForTold(1));
  EXPECT_EQ(window.told, std::vector<int32_t>{TermProgEvent::kTransferEnded});
  EXPECT_TRUE(
      MemoHas("Fehler in der Daten\xFC"
              "bertragung !!\r\n"));
  EXPECT_TRUE(MemoHas(kAbort));
  EXPECT_TRUE(loader->Stopped());
  EXPECT_FALSE(MemoHas(kProgOk));
}

TEST_F(TermProgRun, MissingFileNamesTheVariantsFileAndSendsNothing) {
  WriteFirmware(2000, "L3_TermL.A37");  // the other variant's file
  Start("");
  ASSERT_TRUE(WaitForTold(1));
  EXPECT_EQ(window.told, std::vector<int32_t>{TermProgEvent::kTransferEnded});
  ASSERT_EQ(answers.boxes.size(), 1u);
  EXPECT_EQ(answers.boxes[0],
            " Error |L3_TermH.A37 konnte nicht ge\xF6"
            "ffnet werden");
  EXPECT_FALSE(loader->Stopped());  // the loader keeps waiting
  const std::vector<std::string> streams = Streams();
  ASSERT_EQ(streams.size(), 1u);
  EXPECT_TRUE(streams[0].empty());
}

// Played by hand on a pseudo-terminal, whose settings the master reads back.
TEST(TermProgLine, RunsAt19200WithRtsCtsUntilTheTransferEnds) {
  Pty pty;
  ASSERT_TRUE(pty.Valid());
  ScopedPortTable ports(pty.SlavePath());
  BslTestHost host;
  host.Port().GetV24Parameter()->Baudrate = B__4800;
  ASSERT_TRUE(host.OpenPort());
  WindowSide window;
  host.Events().Subscribe(&window);
  RetryAnswers answers;
  ASSERT_EQ(pty.SlaveBaud(), 4800);
  ASSERT_FALSE(pty.SlaveRtsCts());
  {
    TermProg loader(host);
    loader.Init();
    EXPECT_EQ(pty.SlaveBaud(), 19200);
    EXPECT_TRUE(pty.SlaveRtsCts());
    // The loader's line arrives split over two reads.
    ASSERT_TRUE(pty.Send("S-Record de"));
    ASSERT_TRUE(pty.Send("fect!\r\n"));
    QTimer tick;
    tick.start(50);
    QElapsedTimer clock;
    clock.start();
    while (window.told.empty() && clock.elapsed() < 5000)
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    EXPECT_EQ(window.told, std::vector<int32_t>{TermProgEvent::kTransferEnded});
    EXPECT_EQ(pty.SlaveBaud(), 4800);
    EXPECT_FALSE(pty.SlaveRtsCts());
    // Escape after the end changes nothing.
    host.Events().PostKey(TermProgEvent::kEscapeKey);
    host.PumpEvents();
    EXPECT_EQ(window.told.size(), 1u);
    // The loader has let go of the line: what the meter says next reaches
    // the next identification while the loader object still exists.
    ASSERT_TRUE(pty.Send("I.208#0\r\n"));
    clock.restart();
    while (host.replyLines.empty() && clock.elapsed() < 5000)
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    EXPECT_EQ(host.replyLines, std::vector<std::string>{"I.208#0"});
  }
  EXPECT_TRUE(answers.boxes.empty());
}

TEST_F(TermProgRun, FileLargerThanTheImageIsRefusedBeforeAnythingIsSent) {
  dir.Write("L3_TermH.A37", std::string(TermProg::kImageCapacity + 1, '0'));
  Start("");
  ASSERT_TRUE(WaitForTold(1));
  EXPECT_EQ(window.told, std::vector<int32_t>{TermProgEvent::kTransferEnded});
  ASSERT_EQ(answers.boxes.size(), 1u);
  EXPECT_EQ(answers.boxes[0].rfind(" Error |L3_TermH.A37 ist gr\xF6\xDF"
                                   "er als 2500000 Bytes",
                                   0),
            0u)
      << answers.boxes[0];
  const std::vector<std::string> streams = Streams();
  ASSERT_EQ(streams.size(), 1u);
  EXPECT_TRUE(streams[0].empty());
}
