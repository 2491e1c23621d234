// Download of a 48 KiB image into the simulator with real wire timing
// (--pace): how much the tool adds to what the line and the protocol's
// prescribed waits cost.
#include <QApplication>
#include <QJsonObject>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "bench/CpuTime.h"
#include "loaders/Bsl430.h"
#include "tests/loaders/BslTestHost.h"
#include "tests/support/BslSimImages.h"
#include "tests/support/Pty.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"

namespace {

// Waits the protocol prescribes on this path: the dialogue's 1 s, the
// loader start's 4 s, 1 s before and after the speed change, 1 s before
// load PC and 1.5 s before the line is restored.
constexpr double kPrescribedWaits = 1.0 + 4.0 + 1.0 + 1.0 + 1.0 + 1.5;

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  TempDir dir;
  dir.Enter();
  WriteBslConstants(dir.path());
  ImageLayout layout;
  layout.mainBytes = 48 * 1024;
  if (WriteTiTxtImage(dir.File("fw.txt"), layout).empty()) {
    std::fprintf(stderr, "srec_cat failed\n");
    return 1;
  }
  SimProcess sim(dir.path(), "meter",
                 "BaudRate = 4800\nStartCommand = A.1000\nReplyDelayMs = 0\nTarget = bsl\n"
                 "BslVersion = 1.61\nOldFirmware = yes\n",
                 "--pace");
  if (!sim.Started()) {
    std::fprintf(stderr, "simulator did not start\n");
    return 1;
  }
  ScopedPortTable ports(sim.Slave());
  BslTestHost host;
  if (!host.OpenPort()) {
    std::fprintf(stderr, "cannot open %s\n", sim.Slave().c_str());
    return 1;
  }

  T_BSL430 loader(host);
  const double cpu0 = CpuSeconds();
  const auto t0 = std::chrono::steady_clock::now();
  const bool ok = loader.Download(0, dir.File("fw.txt"), true, false);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  const double cpu = CpuSeconds() - cpu0;
  const QJsonObject report = sim.Stop();
  const double wire = report.value("wire_time_s").toDouble();
  const double budget = wire + kPrescribedWaits;

  std::printf("image            48 KiB (%zu blocks of up to 240 bytes)\n",
              (layout.mainBytes + 239) / 240 + 2);
  std::printf("result           %s (code %d)\n", ok ? "success" : "FAILED", loader.GetErrorCode());
  std::printf("download time    %.2f s\n", seconds);
  std::printf("wire time        %.2f s (simulator, both directions)\n", wire);
  std::printf("prescribed waits %.2f s\n", kPrescribedWaits);
  std::printf("wire + waits     %.2f s\n", budget);
  std::printf("ratio            %.3f\n", seconds / budget);
  std::printf("tool CPU time    %.2f s\n", cpu);
  return ok ? 0 : 1;
}
