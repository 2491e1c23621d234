// Whole runs through the window's logic in this process: what the window
// shows, and what the OK button does after an ending.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/UpdateMain.h"
#include "tests/e2e/E2eWorld.h"
#include "tests/e2e/RecordingView.h"
#include "tests/e2e/WindowRun.h"

TEST(WindowLogic, FailedTransferIsRetriedByOkWithoutANewSearch) {
  E2eWorld w;
  w.PrepareExternalDelivery(0);
  // The loader fails with 2 on its first run, then hands over to the stand-in.
  std::filesystem::remove(w.Folder() + "/HEXLoad_8N1.exe");
  w.Dir().Write("HEXLoad_8N1.exe",
                "#!/bin/sh\nif [ ! -e failed-once ]; then touch failed-once; exit 2; fi\nexec " +
                    std::string(UPDATE_BINARY_DIR) + "/hexload-sim \"$@\"\n");
  std::filesystem::permissions(w.Folder() + "/HEXLoad_8N1.exe", std::filesystem::perms::owner_all);
  SimProcess& meter = w.AddSim(ExternalProfile());

  WindowRun run(w);
  ASSERT_TRUE(run.main->Construct());
  run.main->Delay().SetDividend(20);
  run.main->OkBitBtnClick();
  ASSERT_EQ(run.view.WaitForEnd(), RunOutcome::Failed);
  ASSERT_FALSE(run.view.memo.empty());
  EXPECT_EQ(run.view.memo.front().rfind("Abbruch Test Meter", 0), 0u) << run.view.memo.front();
  EXPECT_TRUE(run.main->OkEnabled());

  run.main->OkBitBtnClick();
  ASSERT_EQ(run.view.WaitForEnd(), RunOutcome::Success);
  EXPECT_TRUE(run.view.LogHas("Download erfolgreich ausgef\xFChrt !"));
  run.main->Shutdown();
  std::vector<std::string> lines = SimProcess::ReceivedLines(meter.Stop());
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "A.2003"), 1) << "no second identification";
}

TEST(WindowLogic, GuardSwitchedOffDowngradesANewerMeter) {
  E2eWorld w;
  w.PrepareExternalDelivery(1);
  w.AddSim(ExternalProfile("2.00"));

  WindowRun run(w);
  ASSERT_TRUE(run.main->Construct());
  run.main->Delay().SetDividend(20);
  run.main->CtrlAltF10();
  EXPECT_FALSE(run.main->VersionGuard());
  run.main->OkBitBtnClick();
  ASSERT_EQ(run.view.WaitForEnd(), RunOutcome::Success);
  ASSERT_EQ(run.view.boxes.size(), 1u);
  EXPECT_EQ(run.view.boxes[0], "Error|No valid software version !!");
  EXPECT_EQ(run.view.identity[static_cast<int>(IdentityField::Software)], "1.30");
}

TEST(WindowLogic, PairedRepliesKeepTheSensorValue) {
  E2eWorld w;
  w.WriteUpdateIni(0);
  DeviceBlockSpec d;
  d.startCmd = "3";
  d.swKenn2 = w.WriteFirmware("meter.mot", "2.50");
  w.WriteProgDeviceIni({d});
  w.InstallLoaders();
  w.AddSim(ExternalProfile("1.23,2.01",
                           "[Identity]\nDeviceNumber = 61000,12345\nPcbNumber = 50000-01,7\n"
                           "SerialNumber = 1,998877\n"));

  WindowRun run(w);
  ASSERT_TRUE(run.main->Construct());
  run.main->Delay().SetDividend(20);
  run.main->OkBitBtnClick();
  // The run goes on to the boot command; the identity is what matters here.
  for (int i = 0; i < 200 && !run.view.LogHas("Der Download kann bis zu"); ++i)
    run.view.WaitForEnd(50);
  EXPECT_EQ(run.view.identity[static_cast<int>(IdentityField::Name)], "12345  [Test Meter]");
  EXPECT_EQ(run.view.identity[static_cast<int>(IdentityField::Software)], "2.01");
  EXPECT_EQ(run.view.identity[static_cast<int>(IdentityField::Serial)], "998877");
  EXPECT_EQ(run.main->StartCommandIndex(), 2);
  EXPECT_TRUE(run.view.LogHas("Der Download kann bis zu 2 Minuten dauern!"));
  run.main->Shutdown();
}

TEST(WindowLogic, MeterFallingSilentAfterIdentificationEndsTheRun) {
  E2eWorld w;
  w.PrepareExternalDelivery(0);
  w.AddSim(ExternalProfile("1.23", "NoAnswer = A.1200\n"));

  WindowRun run(w);
  ASSERT_TRUE(run.main->Construct());
  run.main->Delay().SetDividend(20);
  run.main->SetReplyTimeout(1500);
  run.main->OkBitBtnClick();
  ASSERT_EQ(run.view.WaitForEnd(), RunOutcome::Failed);
  EXPECT_TRUE(run.view.LogHas("Das Ger\xE4t antwortet nicht."));
  EXPECT_TRUE(run.main->OkEnabled()) << "OK retries the transfer";
}

// A failed search after a successful download is the first of its kind
// again: it gets "No device found" and a second search, and only the second
// failure in a row ends the program.
TEST(WindowLogic, FailedSearchAfterASuccessIsNotTheSecondInARow) {
  E2eWorld w;
  w.PrepareExternalDelivery(0);
  // The meter sleeps through the first search; after its update it is unplugged.
  SimProcess& meter = w.AddSim(ExternalProfile("1.23", "NoAnswer = A.1111:1\n"));
  setenv("UPDATE_TIMEOUT_DIVISOR", "5", 1);
  WindowRun run(w);
  ASSERT_TRUE(run.main->Construct());
  run.main->Delay().SetDividend(20);
  run.main->OkBitBtnClick();
  ASSERT_EQ(run.view.WaitForEnd(), RunOutcome::Success);
  meter.Stop();
  run.main->OkBitBtnClick();
  const auto ending = run.view.WaitForEnd();
  unsetenv("UPDATE_TIMEOUT_DIVISOR");
  ASSERT_EQ(ending, RunOutcome::ProgramEnds);
  auto boxes = [&](const std::string& part) {
    return std::count_if(run.view.boxes.begin(), run.view.boxes.end(),
                         [&](const std::string& b) { return b.find(part) != std::string::npos; });
  };
  // The first search, then the two after the update; only the last ends.
  EXPECT_EQ(boxes("Fehler|Kein Ger\xE4t gefunden !!\r\nIst das Ger\xE4t"), 2);
  EXPECT_EQ(boxes("Programm wird abgebrochen"), 1);
  EXPECT_EQ(run.view.boxes.size(), 3u);
}
