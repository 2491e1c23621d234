// Four simulated MSP430 meters updated at once (update --headless
// --all-ports) against one meter alone, every byte at its wire time
// (--pace): running side by side should cost at most 1.2 times one run.
#include <QCoreApplication>
#include <QJsonObject>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "FirmwareGen.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"

namespace {

constexpr int kMeters = 4;
constexpr double kTarget = 1.2;

const char* kProfile =
    "PcbNumber = 50000-01\nPcbCode = 203\nDeviceNumber = 52000\nDeviceCode = 200\n"
    "Version = 1.05\nVersionCode = 201\nSerialNumber = 1000\nSerialCode = 25\n"
    "BaudRate = 4800\nReplyDelayMs = 5\nTarget = bsl\nBslVersion = 1.61\nOldFirmware = yes\n"
    "AppStartMs = 200\nAppStartReplies = ! | I.31#\n";

void WriteDelivery(TempDir& dir) {
  dir.Write("Update.ini", "[Update]\r\nLanguage=1\r\nVersion=V bench\r\nBaud=2\r\nCom=\r\n");
  dir.Write("ProgDevice.ini",
            "DevStartCmd=1\r\nDeviceNrDef=50000\r\nDeviceNr=52000\r\nDeviceName=Bench Meter\r\n"
            "ProgFile1=\r\nProgFile2=main.txt\r\nProgFile3=\r\nSWKenn1=\r\nSWKenn2=@1000\\r\\n\r\n"
            "SWKenn3=\r\nBootLoadKenn=\r\nFlashErase1=0\r\nFlashErase2=0\r\nFlashErase3=0\r\n"
            "ProgDefFile=\r\nProzTyp=0\r\n\r\nStarttextD=S\r\nStarttextE=S\r\n"
            "AbbruchtextD=A\r\nAbbruchtextE=A\r\n");
  // The simulated meters' loader constants; the tool has none of its own.
  dir.Write("BSL430.ini", "PasswordFill=FF\r\nDefaultVector=0x1E5\r\nAlternativeVector=0x1E7\r\n");
  dir.Write("main.txt", MakeTiTxtFirmware("1.30", 8192, 7));
}

// Seconds for one --all-ports run over `meters` simulated meters; -1 on failure.
double TimeRun(TempDir& dir, int meters) {
  std::vector<std::unique_ptr<SimProcess>> sims;
  std::string ports;
  for (int i = 0; i < meters; ++i) {
    sims.push_back(
        std::make_unique<SimProcess>(dir.path(), "meter" + std::to_string(i), kProfile, "--pace"));
    if (!sims.back()->Started()) return -1;
    ports += (i ? ":" : "") + sims.back()->Slave();
  }
  const std::string command =
      "cd '" + dir.path() + "' && UPDATE_PORTS='" + ports + "' UPDATE_PROGRAM_DIR='" + dir.path() +
      "' '" UPDATE_BINARY_DIR "/update' --headless --all-ports --delay-divisor 10 > run-" +
      std::to_string(meters) + ".out 2>&1";
  const auto t0 = std::chrono::steady_clock::now();
  const int status = std::system(command.c_str());
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  for (auto& sim : sims) sim->Stop();
  return status == 0 ? seconds : -1;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  TempDir dir;
  WriteDelivery(dir);
  const double one = TimeRun(dir, 1);
  const double four = TimeRun(dir, kMeters);
  if (one <= 0 || four <= 0) {
    std::fprintf(stderr, "a run failed; see run-1.out / run-%d.out in %s\n", kMeters,
                 dir.path().c_str());
    std::fprintf(stderr, "%s\n", dir.Read(one <= 0 ? "run-1.out" : "run-4.out").c_str());
    return 1;
  }
  const double ratio = four / one;
  std::printf("image              8 KiB TI-TXT, wire timing (--pace), waits divided by 10\n");
  std::printf("one meter          %.2f s\n", one);
  std::printf("%d meters at once   %.2f s\n", kMeters, four);
  std::printf("ratio              %.3f (target <= %.1f: %s)\n", ratio, kTarget,
              ratio <= kTarget ? "met" : "NOT met");
  const std::string out = dir.Read("run-4.out");
  std::printf("\nsummary of the four-meter run:%s", out.substr(out.rfind("\nPort ")).c_str());
  return 0;
}
