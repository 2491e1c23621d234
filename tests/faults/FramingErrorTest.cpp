// The search after a framing error: the port is probed again at the same
// speed, a bounded number of times, then it counts as silent, while the
// other ports of the pass wait with their answers. A pseudo-terminal
// reports no line errors, so the receive thread's notification is posted
// as the port would post it.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QJsonArray>
#include <QTimer>
#include <algorithm>
#include <cstdlib>

#include "serial/ComMessages.h"
#include "tests/e2e/WindowRun.h"
#include "tests/faults/FaultRun.h"

namespace {

// Runs the event loop until the traffic log shows `count` start commands:
// every probe of the pass has been written.
bool WaitForStartCommands(const RecordingView& view, long count) {
  QTimer tick;
  tick.start(50);
  const QDeadlineTimer deadline(60000);
  while (!deadline.hasExpired()) {
    if (std::count(view.log.begin(), view.log.end(), std::string("A.1111\r\n")) >= count)
      return true;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return false;
}

// The speeds at which a simulator heard the start command.
std::vector<int> StartCommandBauds(const QJsonObject& report) {
  std::vector<int> bauds;
  for (const auto& v : report.value("events").toArray()) {
    const QJsonObject e = v.toObject();
    if (e.value("dir").toString() == "rx" && e.value("text").toString().startsWith("A.1111"))
      bauds.push_back(e.value("baud").toInt());
  }
  return bauds;
}

}  // namespace

TEST(FramingError, SamePortIsProbedAgainThenTheSearchMovesOn) {
  E2eWorld w;
  w.PrepareExternalDelivery(0);
  SimProcess& noisy = w.AddSim("[Line]\nSilent = yes\n");
  SimProcess& meter = w.AddSim(ExternalProfile());
  setenv("UPDATE_TIMEOUT_DIVISOR", std::to_string(kFaultTimeoutDivisor).c_str(), 1);
  {
    WindowRun run(w);
    ASSERT_TRUE(run.main->Construct());
    run.main->Delay().SetDividend(20);
    run.main->CtrlF1();  // the traffic log shows when the probes are written
    run.main->OkBitBtnClick();
    // The first probe of COM1 has been written: its line reports a framing error.
    ASSERT_TRUE(WaitForStartCommands(run.view, 2));
    PostComMessage(run.main.get(), WM_COM_FRAMEERROR, 1);
    ASSERT_EQ(run.view.WaitForEnd(), RunOutcome::Success);
    run.main->Shutdown();
  }
  unsetenv("UPDATE_TIMEOUT_DIVISOR");
  const QJsonObject silentReport = noisy.Stop();
  meter.Stop();
  // The first probe, the one the framing error asks for and two after
  // time-outs: all at the first speed of the list.
  EXPECT_EQ(StartCommandBauds(silentReport), (std::vector<int>{4800, 4800, 4800, 4800}))
      << SimProcess::EventLog(silentReport);
}

// COM1 is silent, COM2's line gives a framing error, COM3 answers at once:
// COM2 is probed again on its own while COM3's answer waits, and COM3 wins
// once COM2 has given up; its meter heard one probe before A.1000.
TEST(FramingError, ReprobesOfALowerPortHoldTheAnswerOfAHigherOne) {
  E2eWorld w;
  w.PrepareExternalDelivery(0);
  SimProcess& silent = w.AddSim("[Line]\nSilent = yes\n");
  SimProcess& noisy = w.AddSim("[Line]\nSilent = yes\n");
  SimProcess& meter = w.AddSim(ExternalProfile());
  setenv("UPDATE_TIMEOUT_DIVISOR", std::to_string(kFaultTimeoutDivisor).c_str(), 1);
  {
    WindowRun run(w);
    ASSERT_TRUE(run.main->Construct());
    run.main->Delay().SetDividend(20);
    run.main->CtrlF1();
    run.main->OkBitBtnClick();
    ASSERT_TRUE(WaitForStartCommands(run.view, 3));
    PostComMessage(run.main.get(), WM_COM_FRAMEERROR, 2);
    ASSERT_EQ(run.view.WaitForEnd(), RunOutcome::Success);
    EXPECT_TRUE(run.view.LogHas("Schnittstelle COM 3.")) << run.view.log.back();
    run.main->Shutdown();
  }
  unsetenv("UPDATE_TIMEOUT_DIVISOR");
  const QJsonObject silentReport = silent.Stop();
  const QJsonObject noisyReport = noisy.Stop();
  const QJsonObject meterReport = meter.Stop();
  EXPECT_EQ(StartCommandBauds(silentReport), std::vector<int>{4800})
      << SimProcess::EventLog(silentReport);
  EXPECT_EQ(StartCommandBauds(noisyReport), (std::vector<int>{4800, 4800, 4800, 4800}))
      << SimProcess::EventLog(noisyReport);
  const std::vector<std::string> lines = SimProcess::ReceivedLines(meterReport);
  ASSERT_GE(lines.size(), 2u) << SimProcess::EventLog(meterReport);
  EXPECT_EQ(lines[0], "A.1111");
  EXPECT_EQ(lines[1], "A.1000");
}
