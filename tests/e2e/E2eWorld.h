#pragma once
// One test's world for whole runs of the tool: a folder with the settings
// files, firmware files and the stand-in loader programs, simulators on
// pseudo-terminals, and the tool run headless against them.
#include <csignal>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"

struct DeviceBlockSpec {
  std::string startCmd = "1";
  std::string deviceNrDef = "50000";
  std::string deviceNr = "12345";
  std::string deviceName = "Test Meter";
  std::string progFile1;
  std::string progFile2 = "meter.mot";
  std::string progFile3;
  std::string swKenn2;  // empty: the key of the generated firmware file
  std::string swKenn3;
  std::string extra;  // further key=value lines
};

struct ToolResult {
  int exitCode = -1;
  std::string output;
  bool timedOut = false;
  double seconds = 0;  // from start to exit
};

// How a headless run is started and, optionally, signalled.
struct RunOptions {
  int timeoutSeconds = 120;
  int signal = SIGINT;
  std::string signalAtOutput;  // sent once the output holds this text
  std::string signalAtFile;    // ... or once this file exists in the folder
  std::vector<std::pair<std::string, std::string>> environment;
  bool withStandardError = false;  // standard error into the output as well
  bool headless = true;            // false: without --headless (the window's start)
  std::vector<std::string> unset;  // environment variables the program must not see
  std::string workingFolder;       // empty: the world's folder
};

class E2eWorld {
 public:
  E2eWorld();

  const std::string& Folder() const { return dir_.path(); }
  TempDir& Dir() { return dir_; }

  void WriteUpdateIni(int language, const std::string& baud = "2");
  void WriteProgDeviceIni(const std::vector<DeviceBlockSpec>& devices);
  // Settings for one MSP430 meter (device number 52000) with main.txt and
  // sensor.txt, both versions read behind "@1000\r\n".
  void WriteMsp430Settings(int language);
  // An S-record firmware file with the version text; returns its key.
  std::string WriteFirmware(const std::string& name, const std::string& version,
                            std::size_t size = 4096);
  // hexload-sim under both loader names, and its settings file.
  void InstallLoaders();
  // The usual delivery for an S-record meter: settings with one device,
  // "meter.mot" at version 1.30 and the stand-in loaders.
  void PrepareExternalDelivery(int language = 0, const std::string& baud = "2");

  // A simulator on a new pseudo-terminal; its slave becomes the next port.
  SimProcess& AddSim(const std::string& profile, const std::string& extraArgs = "");
  // A port entry that leads nowhere (a pty nobody answers on).
  void AddSilentPort();
  std::string Ports() const;

  // With interruptAt, SIGINT is sent once the output holds that text.
  ToolResult RunHeadless(const std::vector<std::string>& args, int timeoutSeconds = 120,
                         const std::string& interruptAt = "");
  ToolResult RunHeadless(const std::vector<std::string>& args, const RunOptions& options);

 private:
  TempDir dir_;
  std::vector<std::unique_ptr<SimProcess>> sims_;
  std::vector<std::string> ports_;
};

// A simulator profile of an S-record instrument with an external loader.
std::string ExternalProfile(const std::string& version = "1.23", const std::string& more = "");
// A simulator profile of an MSP430 instrument (main 1.05, sensor 1.00) whose
// processors both have a bootstrap loader.
std::string Msp430Profile(const std::string& more = "");
