// A 50 KB S-record file through the Basic-Loader of the simulator with real
// wire timing (--pace): how much the tool adds to what the line and the
// loader's own waits cost, and how much CPU it spends meanwhile.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonObject>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "FirmwareGen.h"
#include "bench/CpuTime.h"
#include "loaders/TermProg.h"
#include "tests/loaders/BslTestHost.h"
#include "tests/support/Pty.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"

namespace {

constexpr double kBitsPerByte = 11.0;  // as the simulator counts: start, 8 data, 2 stop
constexpr double kLoaderBaud = 19200.0;
// The loader's own waits after the tool switched the line: its start-up
// (300 ms in the simulator) and the erase time of the profile.
constexpr int kEraseMs = 200;
constexpr double kLoaderWaits = 0.300 + kEraseMs / 1000.0;
// Lines the loader sends after the switch: banner, version, erasing,
// erased, waiting, programmed.
constexpr double kLoaderLineBytes = 17 + 21 + 28 + 23 + 24 + 25;

class Outcome : public EventSubscriber {
 public:
  void OnEvent(EventQueue&, WorkflowEvent& e) override {
    if (e.kind != EventKind::kNotify) return;
    if (e.code == TermProgEvent::kSegmentProgrammed) done = ok = true;
    if (e.code == TermProgEvent::kTransferEnded) done = true;
  }
  bool done = false;
  bool ok = false;
};

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  TempDir dir;
  dir.Enter();
  std::size_t dataBytes = 18000;
  std::string file = MakeSRecordFirmware("2.10", dataBytes, 3);
  while (file.size() < 50 * 1024) file = MakeSRecordFirmware("2.10", dataBytes += 256, 3);
  dir.Write("L3_TermL.A37", file);

  SimProcess sim(dir.path(), "meter",
                 "BaudRate = 4800\nReplyDelayMs = 0\nTarget = basic\nBasicLoaderReadRate = 0\n"
                 "BasicLoaderEraseMs = " +
                     std::to_string(kEraseMs) + "\n",
                 "--pace");
  if (!sim.Started()) {
    std::fprintf(stderr, "simulator did not start\n");
    return 1;
  }
  ScopedPortTable ports(sim.Slave());
  BslTestHost host;
  V24ParameterTag* rec = host.Port().GetV24Parameter();
  rec->Baudrate = B__4800;
  rec->KeinNullZeichen = true;
  rec->TXTimeOut = 10000;  // as the window configures the port
  if (!host.OpenPort()) {
    std::fprintf(stderr, "cannot open %s\n", sim.Slave().c_str());
    return 1;
  }
  QTimer tick;  // wakes the waits below so that their deadline is noticed
  tick.start(100);
  auto waitFor = [&](auto done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
  };
  for (const char* command : {"A.1111\r\n", "A.1220\r\n"}) {
    const std::size_t before = host.replyLines.size();
    host.Port().Write(command, -1, false);
    if (!waitFor([&] { return host.replyLines.size() > before; }, 5000)) {
      std::fprintf(stderr, "the meter did not answer %s", command);
      return 1;
    }
  }

  Outcome outcome;
  host.Events().Subscribe(&outcome);
  host.Record().BasicLoaderVariant = '1';
  TermProg loader(host);
  loader.SetFolder(dir.path());
  const double cpu0 = CpuSeconds();
  const auto t0 = std::chrono::steady_clock::now();
  loader.Init();
  waitFor([&] { return outcome.done; }, 600000);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  const double cpu = CpuSeconds() - cpu0;
  const bool whole = loader.EveryByteSent();
  loader.ReleaseLine();
  const QJsonObject report = sim.Stop();

  const double wire =
      (static_cast<double>(file.size()) + kLoaderLineBytes) * kBitsPerByte / kLoaderBaud;
  const double budget = wire + kLoaderWaits;
  std::printf("file             %zu bytes of S-records (%zu blocks of up to 2000 bytes)\n",
              file.size(), (file.size() + 1999) / 2000);
  std::printf("result           %s\n", outcome.ok && whole ? "success, every byte sent" : "FAILED");
  std::printf("transfer time    %.2f s (line switched to 19200 .. success line read)\n", seconds);
  std::printf("wire time        %.2f s (file and loader lines at 19200 baud, 11 bits a byte)\n",
              wire);
  std::printf("loader waits     %.2f s (start-up and erase)\n", kLoaderWaits);
  std::printf("wire + waits     %.2f s\n", budget);
  std::printf("ratio            %.3f\n", seconds / budget);
  std::printf("tool CPU time    %.2f s\n", cpu);
  std::printf("simulator        %.2f s wire time received\n",
              report.value("wire_time_rx_s").toDouble());
  return outcome.ok && whole ? 0 : 1;
}
