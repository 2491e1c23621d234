// The search after a framing error: the port is probed again at the same
// speed, a bounded number of times, then the search moves on. A
// pseudo-terminal reports no line errors, so the receive thread's
// notification is posted as the port would post it.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QJsonArray>
#include <algorithm>
#include <cstdlib>

#include "serial/ComMessages.h"
#include "tests/e2e/WindowRun.h"
#include "tests/faults/FaultRun.h"

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
    run.main->OkBitBtnClick();
    // The first probe of COM1 has been written: its line reports a framing error.
    ASSERT_NE(std::find(run.view.panels.begin(), run.view.panels.end(), "0:Com1"), run.view.panels.end());
    PostComMessage(run.main.get(), WM_COM_FRAMEERROR, 1);
    ASSERT_EQ(run.view.WaitForEnd(), RunOutcome::Success);
    run.main->Shutdown();
  }
  unsetenv("UPDATE_TIMEOUT_DIVISOR");
  const QJsonObject silentReport = noisy.Stop();
  meter.Stop();
  std::vector<int> bauds;
  for (const auto& v : silentReport.value("events").toArray()) {
    const QJsonObject e = v.toObject();
    if (e.value("dir").toString() == "rx" && e.value("text").toString().startsWith("A.1111"))
      bauds.push_back(e.value("baud").toInt());
  }
  // The first probe, the one the framing error asks for and two after
  // time-outs: all at the first speed of the list.
  ASSERT_EQ(bauds.size(), 4u);
  for (int b : bauds) EXPECT_EQ(b, 4800);
}
