// A loader's late acknowledge bytes after an abort: the window waits for
// the technician, the port is still open, and the bytes must not start the
// laboratory download that a probe for a waiting loader would start.
#include <gtest/gtest.h>

#include <QTimer>
#include <cstdlib>

#include "FirmwareGen.h"
#include "tests/e2e/WindowRun.h"
#include "tests/faults/FaultRun.h"
#include "tests/faults/FaultWorlds.h"

TEST(StrayLoaderBytes, AcknowledgesAfterAnEscapeStartNothing) {
  E2eWorld w;
  PrepareWorld(w, Method::Msp430);
  w.Dir().Write("LabXXX.txt", MakeTiTxtFirmware("9.99", 600, 77));
  // Paced at the wire speed, the loader's answer to the frame in flight
  // arrives after the download has been stopped.
  SimProcess& meter = w.AddSim(MeterProfile(Method::Msp430, ""), "--pace");
  setenv("UPDATE_TIMEOUT_DIVISOR", std::to_string(kFaultTimeoutDivisor).c_str(), 1);
  {
    WindowRun run(w);
    ASSERT_TRUE(run.main->Construct());
    run.main->Delay().SetDividend(20);
    // Escape once the transfer is under way: the title shows its percentage
    // and the loader has acknowledged SYNC and password, so the meter holds
    // the one password frame of this download whatever happens next.
    QTimer escape;
    QObject::connect(&escape, &QTimer::timeout, [&] {
      if (run.main->Title().find('%') == std::string::npos) return;
      if (run.main->ProgressPosition() < 3) return;
      escape.stop();
      run.main->EscapeKey();
    });
    escape.start(20);
    run.main->OkBitBtnClick();
    ASSERT_EQ(run.view.WaitForEnd(), RunOutcome::Failed);
    // Whatever late bytes start runs inside this loop.
    run.view.WaitForEnd(1000);
    EXPECT_EQ(run.view.outcomes.size(), 1u);
    EXPECT_FALSE(run.view.LogHas("Neue Daten werden gespeichert"));
    run.main->Shutdown();
  }
  unsetenv("UPDATE_TIMEOUT_DIVISOR");
  EXPECT_EQ(PasswordFrames(meter.Stop()), 1) << "no laboratory download";
}
