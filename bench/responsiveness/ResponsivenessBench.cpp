// How long the window's thread goes without handling its events during whole
// runs in the window (offscreen platform, the instruments' real waits): a
// 20 ms heartbeat timer on that thread, and the longest gap between two of
// its ticks from OK to the end of the run.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "FirmwareGen.h"
#include "app/UpdateForm.h"
#include "app/UpdateMain.h"
#include "tests/e2e/E2eWorld.h"

namespace {

constexpr int kHeartbeatMs = 20;
constexpr int kRunLimitMs = 300000;
// --trace: the traffic log is on, so the longest gap names the command or
// reply it followed.
bool trace = false;

struct Figures {
  std::string ending = "no ending";
  double runSeconds = 0;
  double longestGapMs = 0;
  std::string longestDuring;  // the last log line when the longest gap ended
  double longestAt = 0;       // seconds after OK
  int gapsOver100 = 0;
};

bool MemoHas(const UpdateMain& main, const char* part) {
  for (const auto& line : main.Memo())
    if (line.find(part) != std::string::npos) return true;
  return false;
}

std::string OneLine(std::string text) {
  // Log texts are Windows-1252: anything beyond ASCII is shown as '?'.
  for (char& c : text)
    if (c == '\r' || c == '\n')
      c = ' ';
    else if (static_cast<unsigned char>(c) >= 0x80)
      c = '?';
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text.size() > 60 ? text.substr(0, 60) + "..." : text;
}

Figures RunInWindow(E2eWorld& w) {
  setenv("UPDATE_PORTS", w.Ports().c_str(), 1);
  setenv("UPDATE_PROGRAM_DIR", w.Folder().c_str(), 1);
  w.Dir().Enter();
  Figures f;
  TUpdateForm form;
  if (!form.Construct()) return f;
  form.show();
  UpdateMain& main = form.Main();
  if (trace) main.CtrlF1();

  QEventLoop loop;
  QElapsedTimer clock;
  qint64 last = 0;
  QTimer heartbeat;
  heartbeat.setTimerType(Qt::PreciseTimer);
  heartbeat.setInterval(kHeartbeatMs);
  QObject::connect(&heartbeat, &QTimer::timeout, [&] {
    const qint64 now = clock.nsecsElapsed();
    const double gapMs = static_cast<double>(now - last) / 1e6;
    last = now;
    if (gapMs > 100) ++f.gapsOver100;
    if (gapMs > f.longestGapMs) {
      f.longestGapMs = gapMs;
      f.longestDuring = main.Memo().empty() ? "" : OneLine(main.Memo().back());
      f.longestAt = static_cast<double>(now) / 1e9;
    }
    if (MemoHas(main, "Download erfolgreich"))
      f.ending = "success";
    else if (MemoHas(main, "Abbruch"))
      f.ending = "abort text";
    else if (now / 1000000 < kRunLimitMs)
      return;
    f.runSeconds = static_cast<double>(now) / 1e9;
    heartbeat.stop();
    loop.quit();
  });
  QTimer::singleShot(0, &form, [&] {
    clock.start();
    heartbeat.start();
    main.OkBitBtnClick();
  });
  loop.exec();
  main.Shutdown();
  unsetenv("UPDATE_PORTS");
  unsetenv("UPDATE_PROGRAM_DIR");
  return f;
}

// The same heartbeat with nothing running: what the machine's load alone
// costs, to read the figures of the runs against.
double IdleLongestGapMs(int seconds) {
  QEventLoop loop;
  QElapsedTimer clock;
  clock.start();
  qint64 last = 0;
  double longest = 0;
  QTimer heartbeat;
  heartbeat.setTimerType(Qt::PreciseTimer);
  heartbeat.setInterval(kHeartbeatMs);
  QObject::connect(&heartbeat, &QTimer::timeout, [&] {
    const qint64 now = clock.nsecsElapsed();
    longest = std::max(longest, static_cast<double>(now - last) / 1e6);
    last = now;
    if (now >= static_cast<qint64>(seconds) * 1000000000) loop.quit();
  });
  heartbeat.start();
  loop.exec();
  return longest;
}

void Print(const char* name, const Figures& f) {
  std::printf("%s\n", name);
  std::printf("  ending              %s\n", f.ending.c_str());
  std::printf("  run time            %.1f s\n", f.runSeconds);
  std::printf("  longest gap         %.0f ms (goal <= 100 ms)\n", f.longestGapMs);
  std::printf("  ... ended at        %.1f s, after \"%s\"\n", f.longestAt, f.longestDuring.c_str());
  std::printf("  gaps over 100 ms    %d\n", f.gapsOver100);
}

// An S-record meter with the first start command: after the loader program
// the workflow waits 12 s for the meter to store its firmware.
Figures ExternalLoaderRun() {
  E2eWorld w;
  w.PrepareExternalDelivery(0);
  w.AddSim(ExternalProfile());
  return RunInWindow(w);
}

// An MSP430 meter whose circuit board stores the new main firmware for 32 s
// before the sensor's bootstrap loader is reached.
Figures Msp430RunWithSensorPhase() {
  E2eWorld w;
  w.WriteMsp430Settings(0);
  w.Dir().Write("main.txt", MakeTiTxtFirmware("1.30", 7000, 11));
  w.Dir().Write("sensor.txt", MakeTiTxtFirmware("1.10", 1500, 12));
  std::string profile = Msp430Profile();
  profile.replace(profile.find("PcbNumber = 50000-01"), 20, "PcbNumber = 44943-01");
  w.AddSim(profile);
  return RunInWindow(w);
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  for (int i = 1; i < argc; ++i) trace = trace || std::string(argv[i]) == "--trace";
  std::printf("idle heartbeat, 10 s\n  longest gap         %.0f ms (the machine's load alone)\n",
              IdleLongestGapMs(10));
  const bool onlyMsp430 = argc > 1 && std::string(argv[argc - 1]) == "msp430";
  const bool onlyExternal = argc > 1 && std::string(argv[argc - 1]) == "external";
  if (onlyMsp430 || onlyExternal) {
    const Figures one = onlyMsp430 ? Msp430RunWithSensorPhase() : ExternalLoaderRun();
    Print(onlyMsp430 ? "MSP430 run with sensor phase" : "external loader run", one);
    return one.ending == "success" ? 0 : 1;
  }
  const Figures external = ExternalLoaderRun();
  Print("external loader run (12 s store wait)", external);
  const Figures msp430 = Msp430RunWithSensorPhase();
  Print("MSP430 run with sensor phase (32 s store wait)", msp430);
  const bool ok = external.ending == "success" && msp430.ending == "success";
  return ok ? 0 : 1;
}
