#pragma once
// ExternalLoader: the transfer by a loader program delivered beside the
// tool ("HEXLoad_8N1.exe" for S-records, "PIC32_Serial_Bootloader.exe"
// for Intel-hex). The port is handed over to the program while it runs,
// and taken back and restored afterwards.
#include <QTimer>
#include <string>
#include <vector>

#include "loaders/TransferMethod.h"
#include "platform/ExternalProgram.h"

class LoaderHost;

class ExternalLoader : public TransferMethod {
 public:
  enum class Program { HexLoad, Pic32 };

  static constexpr const char* kHexLoadProgram = "HEXLoad_8N1.exe";
  static constexpr const char* kPic32Program = "PIC32_Serial_Bootloader.exe";
  static constexpr const char* kHexLoadIni = "HEXLoad_8N1.ini";
  // An exit code of 1 asks for another run, up to three in all.
  static constexpr int kAttempts = 3;
  static constexpr int kTitleTickMs = 300;
  // From SIGTERM to SIGKILL when a program is asked to stop.
  static constexpr int kStopGraceMs = 5000;

  ExternalLoader(LoaderHost& host, Program program);
  ExternalLoader(const ExternalLoader&) = delete;
  ExternalLoader& operator=(const ExternalLoader&) = delete;

  // The longest one run of the program may take before it is stopped.
  void SetTimeLimit(int ms) { timeLimitMs_ = ms; }

  std::string Name() const override;
  // S-record firmware: the boot command; Intel-hex: its own start.
  int32_t StartEvent() const override;
  int32_t RetryEvent() const override;
  // The program as the run log names the files it took.
  std::string ProgramName() const;
  // The program file is there and can be started.
  bool Ready() override;
  // The program's exit code is the failure code.
  TransferResult Run(const TransferRequest& request) override;

  // The program's file, in the program's folder.
  std::string ProgramPath() const;

  // SIGINT/SIGTERM and the window closing.
  bool ProgramRunning() const { return process_.IsRunning(); }
  void StopProgram(int graceMs) { process_.Stop(graceMs); }
  void KillProgram() {
    titleTimer_.stop();
    process_.Kill();
  }
  // Asked to stop: no further run of the program starts.
  void Cancel() { cancelled_ = true; }
  // Inside Run, after the program has ended with 0: the image is in the meter.
  bool ProgramSucceeded() const { return succeeded_; }

 private:
  unsigned RunHexLoad(const std::string& file, int portIndex);
  unsigned RunPic32Loader(const std::string& file, int portIndex);
  void WriteHexLoadIni(int portIndex);
  unsigned RunProgram(const std::vector<std::string>& command, int portIndex, bool hexLoad);
  void TitleTick();

  LoaderHost& host_;
  const Program program_;
  ExternalProgram process_;
  QTimer titleTimer_;  // the title's progress while the program runs
  int titleTicks_ = 0;
  int expectedTicks_ = 1;
  int timeLimitMs_ = 60 * 60 * 1000;
  bool cancelled_ = false;
  bool succeeded_ = false;
};
