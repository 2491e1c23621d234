// The search probes every port of a pass at once: the lowest port that
// answered wins once every port below it has answered or timed out, and
// the other ports hear nothing after their own probe.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <algorithm>
#include <memory>
#include <vector>

#include "tests/e2e/E2eWorld.h"
#include "tests/e2e/WindowRun.h"

namespace {

const std::string kSuccess = "Download erfolgreich ausgef\xC3\xBChrt !";

std::vector<std::string> Commands(const QJsonObject& report) {
  std::vector<std::string> lines;
  for (const auto& l : SimProcess::ReceivedLines(report))
    if (!l.empty()) lines.push_back(l.rfind("A.1600#", 0) == 0 ? "A.1600#" : l);
  return lines;
}

const std::vector<std::string> kUsualRun = {"A.1111", "A.1000", "A.2003",  "A.2000", "A.2001",
                                            "A.4001", "A.1200", "A.1600#", "A.1111"};

}  // namespace

TEST(ParallelSearch, LowerOfTwoMetersWinsAndTheHigherHearsOnlyItsProbe) {
  E2eWorld w;
  w.PrepareExternalDelivery(0);
  std::vector<SimProcess*> silent;
  silent.push_back(&w.AddSim("[Line]\nSilent = yes\n"));
  silent.push_back(&w.AddSim("[Line]\nSilent = yes\n"));
  SimProcess& third = w.AddSim(ExternalProfile());
  silent.push_back(&w.AddSim("[Line]\nSilent = yes\n"));
  silent.push_back(&w.AddSim("[Line]\nSilent = yes\n"));
  SimProcess& sixth = w.AddSim(ExternalProfile());

  ToolResult r = w.RunHeadless({"--delay-divisor", "20"});
  const QJsonObject thirdReport = third.Stop();
  const QJsonObject sixthReport = sixth.Stop();
  ASSERT_FALSE(r.timedOut) << r.output;
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_NE(r.output.find(kSuccess), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("von der Schnittstelle COM 3."), std::string::npos) << r.output;
  EXPECT_EQ(Commands(thirdReport), kUsualRun) << SimProcess::EventLog(thirdReport);
  // Port 6 answered its probe too, but heard nothing after it: no A.1000,
  // no boot command.
  EXPECT_EQ(Commands(sixthReport), std::vector<std::string>{"A.1111"})
      << SimProcess::EventLog(sixthReport);
  for (SimProcess* s : silent) {
    const QJsonObject report = s->Stop();
    EXPECT_EQ(Commands(report), std::vector<std::string>{"A.1111"}) << SimProcess::EventLog(report);
  }
}

// The pass shows all its ports; the meter on the last of eight is found in
// the first pass, and each silent port heard its probe once and no more.
TEST(ParallelSearch, MeterBehindSevenSilentPortsIsFoundInTheFirstPass) {
  E2eWorld w;
  w.PrepareExternalDelivery(0, "2,3");
  std::vector<SimProcess*> silent;
  for (int i = 0; i < 7; ++i) silent.push_back(&w.AddSim("[Line]\nSilent = yes\n"));
  SimProcess& meter = w.AddSim(ExternalProfile());
  {
    WindowRun run(w);
    ASSERT_TRUE(run.main->Construct());
    run.main->Delay().SetDividend(20);
    run.main->OkBitBtnClick();
    ASSERT_EQ(run.view.WaitForEnd(), RunOutcome::Success);
    run.main->Shutdown();
    const auto& panels = run.view.panels;
    EXPECT_NE(std::find(panels.begin(), panels.end(), "0:Com1-Com8"), panels.end());
    EXPECT_NE(std::find(panels.begin(), panels.end(), "0:Com8"), panels.end());
    // The second speed of the list was never tried.
    EXPECT_EQ(std::find(panels.begin(), panels.end(), "1:9600"), panels.end());
  }
  const QJsonObject report = meter.Stop();
  EXPECT_EQ(Commands(report), kUsualRun) << SimProcess::EventLog(report);
  for (SimProcess* s : silent) {
    const QJsonObject r = s->Stop();
    EXPECT_EQ(Commands(r), std::vector<std::string>{"A.1111"}) << SimProcess::EventLog(r);
  }
}

// A meter that acknowledges the probe and then falls silent in the
// identification hands the search on to the ports after it; the next
// meter's acknowledgement starts its own identification, never a transfer.
TEST(ParallelSearch, MeterSilentInTheIdentificationHandsTheSearchToTheNextPort) {
  E2eWorld w;
  w.PrepareExternalDelivery(0);
  SimProcess& mute = w.AddSim(ExternalProfile("1.23", "NoAnswer = A.2003\n"));
  SimProcess& meter = w.AddSim(ExternalProfile());
  RunOptions options;
  options.environment = {{"UPDATE_TIMEOUT_DIVISOR", "5"}};
  ToolResult r = w.RunHeadless({"--delay-divisor", "20"}, options);
  const QJsonObject muteReport = mute.Stop();
  const QJsonObject meterReport = meter.Stop();
  ASSERT_FALSE(r.timedOut) << r.output;
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_NE(r.output.find("von der Schnittstelle COM 2."), std::string::npos) << r.output;
  EXPECT_EQ(Commands(muteReport), (std::vector<std::string>{"A.1111", "A.1000", "A.2003"}))
      << SimProcess::EventLog(muteReport);
  // Its first probe was closed when COM1 won (before or after its start
  // command went out); the search probes it again.
  std::vector<std::string> commands = Commands(meterReport);
  if (commands.size() > 1 && commands[0] == "A.1111" && commands[1] == "A.1111")
    commands.erase(commands.begin());
  EXPECT_EQ(commands, kUsualRun) << SimProcess::EventLog(meterReport);
}
