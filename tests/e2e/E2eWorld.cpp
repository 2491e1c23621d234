#include "tests/e2e/E2eWorld.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "FirmwareGen.h"
#include "tests/support/BslSimImages.h"

E2eWorld::E2eWorld() { WriteBslConstants(Folder()); }

void E2eWorld::WriteUpdateIni(int language, const std::string& baud) {
  dir_.Write("Update.ini", "[Update]\r\nLanguage=" + std::to_string(language) +
                               "\r\nVersion=V 1.00\r\nBaud=" + baud + "\r\nCom=\r\n");
}

void E2eWorld::WriteMsp430Settings(int language) {
  WriteUpdateIni(language);
  DeviceBlockSpec d;
  d.deviceNr = "52000";
  d.deviceName = "MSP Meter";
  d.progFile2 = "main.txt";
  d.progFile3 = "sensor.txt";
  d.swKenn2 = "@1000\\r\\n";
  d.swKenn3 = "@1000\\r\\n";
  WriteProgDeviceIni({d});
}

void E2eWorld::WriteProgDeviceIni(const std::vector<DeviceBlockSpec>& devices) {
  std::string text;
  for (const auto& d : devices) {
    text += "DevStartCmd=" + d.startCmd + "\r\nDeviceNrDef=" + d.deviceNrDef +
            "\r\nDeviceNr=" + d.deviceNr + "\r\nDeviceName=" + d.deviceName +
            "\r\nProgFile1=" + d.progFile1 + "\r\nProgFile2=" + d.progFile2 +
            "\r\nProgFile3=" + d.progFile3 + "\r\nSWKenn1=\r\nSWKenn2=" +
            (d.swKenn2.empty() ? SRecordVersionKey("1.30") : d.swKenn2) +
            "\r\nSWKenn3=" + d.swKenn3 +
            "\r\nBootLoadKenn=\r\nFlashErase1=0\r\nFlashErase2=0\r\nFlashErase3=0\r\n"
            "ProgDefFile=\r\nProzTyp=0\r\n" +
            d.extra + "\r\n";
  }
  text +=
      "StarttextD=Start NAME\r\nStarttextE=Start NAME\r\n"
      "AbbruchtextD=Abbruch NAME\\rZweite Zeile\\rDritte Zeile\r\n"
      "AbbruchtextE=Aborted NAME\\rSecond line\\rThird line\r\n";
  dir_.Write("ProgDevice.ini", text);
}

std::string E2eWorld::WriteFirmware(const std::string& name, const std::string& version,
                                    std::size_t size) {
  dir_.Write(name, MakeSRecordFirmware(version, size, 7));
  return SRecordVersionKey(version);
}

void E2eWorld::InstallLoaders() {
  namespace fs = std::filesystem;
  const fs::path sim = fs::path(UPDATE_BINARY_DIR) / "hexload-sim";
  for (const char* name : {"HEXLoad_8N1.exe", "PIC32_Serial_Bootloader.exe"})
    fs::create_symlink(sim, fs::path(Folder()) / name);
  dir_.Write("HEXLoad_8N1.ini", "[HEXLoad]\r\nPort = 0\r\nBaudrate = 38400\r\nAutoExit = 1\r\n");
}

void E2eWorld::PrepareExternalDelivery(int language, const std::string& baud) {
  WriteUpdateIni(language, baud);
  WriteProgDeviceIni({DeviceBlockSpec{}});
  WriteFirmware("meter.mot", "1.30");
  InstallLoaders();
}

SimProcess& E2eWorld::AddSim(const std::string& profile, const std::string& extraArgs) {
  sims_.push_back(std::make_unique<SimProcess>(Folder(), "sim" + std::to_string(sims_.size()),
                                               profile, extraArgs));
  ports_.push_back(sims_.back()->Slave());
  return *sims_.back();
}

void E2eWorld::AddSilentPort() { AddSim("[Line]\nSilent = yes\n"); }

std::string E2eWorld::Ports() const {
  std::string s;
  for (std::size_t i = 0; i < ports_.size(); ++i) s += (i ? ":" : "") + ports_[i];
  return s;
}

ToolResult E2eWorld::RunHeadless(const std::vector<std::string>& args, int timeoutSeconds,
                                 const std::string& interruptAt) {
  RunOptions options;
  options.timeoutSeconds = timeoutSeconds;
  options.signalAtOutput = interruptAt;
  return RunHeadless(args, options);
}

ToolResult E2eWorld::RunHeadless(const std::vector<std::string>& args, const RunOptions& options) {
  const std::string marker =
      options.signalAtFile.empty() ? "" : Folder() + "/" + options.signalAtFile;
  bool signalled = options.signalAtOutput.empty() && marker.empty();
  ToolResult result;
  int out[2];
  if (pipe(out) != 0) return result;
  const std::string ports = Ports();
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    if (options.withStandardError) dup2(out[1], 2);
    close(out[0]);
    close(out[1]);
    const std::string& cwd = options.workingFolder.empty() ? Folder() : options.workingFolder;
    if (chdir(cwd.c_str()) != 0) _exit(126);
    setenv("UPDATE_PORTS", ports.c_str(), 1);
    setenv("UPDATE_PROGRAM_DIR", Folder().c_str(), 1);
    for (const auto& [name, value] : options.environment) setenv(name.c_str(), value.c_str(), 1);
    for (const auto& name : options.unset) unsetenv(name.c_str());
    std::vector<std::string> all = {std::string(UPDATE_BINARY_DIR) + "/update"};
    if (options.headless) all.push_back("--headless");
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out[1]);
  const auto deadline = start + std::chrono::seconds(options.timeoutSeconds);
  pollfd p{out[0], POLLIN, 0};
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) {
      result.timedOut = true;
      kill(pid, SIGKILL);
      break;
    }
    // A marker file is looked for often; output wakes the poll at once.
    const int wait = !signalled && !marker.empty() ? 20 : static_cast<int>(left);
    if (poll(&p, 1, wait) > 0) {
      char buf[4096];
      ssize_t n = read(out[0], buf, sizeof buf);
      if (n <= 0) break;
      result.output.append(buf, static_cast<std::size_t>(n));
    }
    if (!signalled && ((!options.signalAtOutput.empty() &&
                        result.output.find(options.signalAtOutput) != std::string::npos) ||
                       (!marker.empty() && access(marker.c_str(), F_OK) == 0))) {
      signalled = true;
      kill(pid, options.signal);
    }
  }
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return result;
}

std::string ExternalProfile(const std::string& version, const std::string& more) {
  return "[Identity]\nName = external\nPcbNumber = 50000-01\nPcbCode = 2013\n"
         "DeviceNumber = 12345\nDeviceCode = 2010\nVersion = " +
         version +
         "\nVersionCode = 2011\nSerialNumber = 11223344\nSerialCode = 205\n"
         "[Line]\nBaudRate = 4800\nStartCommand = A.1111\nClockReply = 31\nReplyDelayMs = 5\n"
         "[Target]\nTarget = external\nLoaderBaud = 38400\n" +
         more;
}

std::string Msp430Profile(const std::string& more) {
  return "[Identity]\nPcbNumber = 50000-01\nPcbCode = 203\nDeviceNumber = 52000\nDeviceCode = 200\n"
         "Version = 1.05,1.00\nVersionCode = 201\nSerialNumber = 87654321\nSerialCode = 25\n"
         "[Line]\nBaudRate = 4800\nReplyDelayMs = 5\n"
         "[Target]\nTarget = bsl\nBslVersion = 1.61\nAppStartMs = 200\n"
         "AppStartReplies = ! | I.30#\nOldFirmware = yes\n" +
         more;
}
