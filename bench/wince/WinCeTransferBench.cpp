// Two files of 60 KiB through the Windows-CE file transfer into the
// simulator with real wire timing (--pace): how much the tool adds to what
// the line and the protocol's prescribed waits cost.
#include <QApplication>
#include <QJsonObject>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "bench/CpuTime.h"
#include "loaders/WinCEProg.h"
#include "tests/loaders/BslTestHost.h"
#include "tests/support/Pty.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/WinCeSimFiles.h"

namespace {

constexpr std::size_t kFileBytes = 60 * 1024;
// The waits after the two speed commands and the one before the line is
// given back.
constexpr double kPrescribedWaits =
    2 * TWinCEProg::kSpeedChangeWaitMs / 1000.0 + TWinCEProg::kEndWaitMs / 1000.0;

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  TempDir dir;
  setenv("UPDATE_PROGRAM_DIR", dir.path().c_str(), 1);
  dir.Write("app.exe", SeededBytes(kFileBytes, 1));
  dir.Write("lib.dll", SeededBytes(kFileBytes, 2));
  SimProcess sim(dir.path(), "meter",
                 "BaudRate = 9600\nStartCommand = A.1000\nReplyDelayMs = 0\nTarget = wince\n",
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
  host.Port().ChangeBaudrate(B__9600);
  host.Record().SoftwareVersionNumber = 120;
  host.Record().DownloadList.emplace_back("lib.dll");
  host.Record().DownloadListLength = 1;

  TWinCEProg transfer(host);
  const double cpu0 = CpuSeconds();
  const auto t0 = std::chrono::steady_clock::now();
  const bool ok = transfer.Transfer(0, "app.exe", false);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  const double cpu = CpuSeconds() - cpu0;
  const QJsonObject report = sim.Stop();
  const double wire = report.value("wire_time_s").toDouble();
  const double budget = wire + kPrescribedWaits;
  const auto files = FilesOf(report);
  const bool complete =
      files.size() == 2 && files[0].state == "complete" && files[1].state == "complete";

  std::printf("files            2 x %zu bytes at 38400 baud, frames of 2000 bytes\n", kFileBytes);
  std::printf("result           %s, instrument has %s\n", ok ? "success" : "FAILED",
              complete ? "both files complete" : "NOT both files");
  std::printf("transfer time    %.2f s\n", seconds);
  std::printf("wire time        %.2f s (simulator, both directions)\n", wire);
  std::printf("prescribed waits %.2f s (2 x 2000 ms after the speed commands, 500 ms at the end)\n",
              kPrescribedWaits);
  std::printf("wire + waits     %.2f s\n", budget);
  std::printf("ratio            %.3f\n", seconds / budget);
  std::printf("tool CPU time    %.2f s\n", cpu);
  return ok && complete ? 0 : 1;
}
