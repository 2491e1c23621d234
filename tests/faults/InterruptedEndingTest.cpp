// Interruptions that come after the meter confirmed its firmware: the run
// ends with a failing status, but its last text says that the transfer
// completed instead of claiming an abort.
#include <gtest/gtest.h>

#include <signal.h>

#include "tests/faults/FaultRun.h"
#include "tests/faults/FaultWorlds.h"

namespace {

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

struct Case {
  int language;
  const char* completed;  // the ending, UTF-8 as the console writes it
  const char* abortText;
};

const Case kCases[] = {
    {0,
     "Die \xC3\x9C"
     "bertragung von main.txt ist abgeschlossen; der Lauf wurde danach unterbrochen.",
     "Abbruch "},
    {1, "The transfer of main.txt has completed; the run was interrupted after it.", "Aborted "},
};

}  // namespace

// SIGTERM after load PC, while the new firmware starts: the firmware is in
// the meter, so nothing was aborted.
TEST(InterruptedEnding, SigtermAfterLoadPcSaysTheTransferCompleted) {
  for (const Case& c : kCases) {
    E2eWorld w;
    PrepareWorld(w, Method::Msp430);
    w.WriteUpdateIni(c.language);
    // The firmware greets late: the signal comes while the tool waits for it.
    SimProcess& meter = w.AddSim(MeterProfile(Method::Msp430, "AppStartMs = 4000\n"));
    ToolResult r =
        RunTool(w, {"--delay-divisor", "20", "--trace"}, {SIGTERM, "load PC acknowledged", ""});
    const QJsonObject report = meter.Stop();
    ASSERT_FALSE(r.timedOut) << r.output;
    EXPECT_EQ(r.exitCode, 1) << r.output;
    EXPECT_TRUE(MeterHoldsFirmware(w, Method::Msp430, report));
    EXPECT_TRUE(Has(r.output, c.completed)) << r.output;
    EXPECT_EQ(LastEnding(r.output, c.abortText), Ending::Neither) << r.output;
  }
}
