#include "loaders/ExternalLoader.h"

#include <csignal>
#include <filesystem>

#include "core/DeviceRecord.h"
#include "core/IniLines.h"
#include "core/Infotext.h"
#include "core/LoaderHost.h"
#include "core/WorkflowCodes.h"
#include "platform/PortTable.h"
#include "platform/ProgramDir.h"
#include "serial/ComPort.h"
#include "serial/Delay.h"
#include "serial/HoldingWait.h"

namespace {

long FileSize(const std::string& name) {
  std::error_code ec;
  auto size = std::filesystem::file_size(name, ec);
  if (ec) size = std::filesystem::file_size(ProgramFolder() + "/" + name, ec);
  return ec ? 0 : static_cast<long>(size);
}

}  // namespace

ExternalLoader::ExternalLoader(LoaderHost& host, Program program) : host_(host), program_(program) {
  titleTimer_.setObjectName("TitleTimer");
  titleTimer_.setInterval(kTitleTickMs);
  QObject::connect(&titleTimer_, &QTimer::timeout, &titleTimer_, [this] { TitleTick(); });
}

std::string ExternalLoader::Name() const {
  return program_ == Program::HexLoad ? "external loader, S-record" : "external loader, Intel-hex";
}

int32_t ExternalLoader::StartEvent() const {
  return program_ == Program::HexLoad ? Event::kBootCommand : Event::kIntelHex;
}

int32_t ExternalLoader::RetryEvent() const { return Event::kRetryAck; }

std::string ExternalLoader::ProgramName() const {
  return program_ == Program::HexLoad ? "HEXLoad_8N1" : "PIC32_Serial_Bootloader";
}

std::string ExternalLoader::ProgramPath() const {
  return FirmwarePath(program_ == Program::HexLoad ? kHexLoadProgram : kPic32Program);
}

bool ExternalLoader::Ready() {
  const std::string path = ProgramPath();
  const bool german = host_.Language() == 0;
  std::string why;
  switch (CheckProgramFile(path)) {
    case ProgramProblem::None: return true;
    case ProgramProblem::Missing:
      why = german ? "Ladeprogramm nicht gefunden: " : "Loader program not found: ";
      break;
    case ProgramProblem::Directory:
      why = german ? "Ladeprogramm ist ein Verzeichnis: " : "Loader program is a directory: ";
      break;
    case ProgramProblem::NotExecutable:
      why = german ? "Ladeprogramm nicht ausf\xFChrbar: " : "Loader program cannot be executed: ";
      break;
    case ProgramProblem::NeedsWine:
      why = german ? "Ladeprogramm braucht wine, das nicht installiert ist: "
                   : "Loader program needs wine, which is not installed: ";
      break;
  }
  why += path + (german ? "\r\nDas Ger\xE4t wurde nicht in seinen Bootloader geschaltet."
                        : "\r\nThe instrument was not switched to its boot loader.");
  host_.ShowError(InfoText(InfoCaptionError, host_.Language()), why);
  return false;
}

TransferResult ExternalLoader::Run(const TransferRequest& request) {
  if (cancelled_) return TransferResult::Failure(static_cast<int>(kProgramNotStarted));
  const unsigned exitCode = program_ == Program::HexLoad
                                ? RunHexLoad(request.file, request.portIndex)
                                : RunPic32Loader(request.file, request.portIndex);
  succeeded_ = false;
  if (exitCode == 0) return TransferResult::Success();
  return TransferResult::Failure(static_cast<int>(exitCode),
                                 ProgramName() + " exit code " + std::to_string(exitCode));
}

void ExternalLoader::WriteHexLoadIni(int portIndex) {
  auto lines = LoadLines(kHexLoadIni);
  if (!lines) return;  // the program then uses whatever file it finds
  SetValue(*lines, "Port ", " " + std::to_string(portIndex));
  SetValue(*lines, "Baudrate ", host_.Record().MainFileMarker ? " 9600" : " 38400");
  SaveLines(kHexLoadIni, *lines);
}

unsigned ExternalLoader::RunHexLoad(const std::string& file, int portIndex) {
  if (host_.Record().MainFile.size() < 5) return 1;
  TComPort& port = host_.Port();
  port.SaveLastV24Parameter();
  port.Close();
  WriteHexLoadIni(portIndex);
  host_.Delay().DelayTime(1000, true);
  // The program gets the file as it is on disk, by a path it can open
  // from any working folder.
  const std::string path = FirmwarePath(file);
  expectedTicks_ = static_cast<int>(FileSize(path) / 2000 + 33);
  const std::vector<std::string> command = {ProgramPath(), path, "-auto", "-exit"};
  return RunProgram(command, portIndex, true);
}

unsigned ExternalLoader::RunPic32Loader(const std::string& file, int portIndex) {
  if (host_.Record().MainFile.size() < 5) return 1;
  TComPort& port = host_.Port();
  if (portIndex > 8) {
    // The program takes the port as one digit: COM1..COM9.
    host_.MemoAdd("COM" + std::to_string(portIndex + 1) + ": " + kPic32Program +
                  " can only reach COM1 to COM9.\r\n");
    return 2;
  }
  port.SaveLastV24Parameter();
  port.Close();
  host_.Delay().DelayTime(1000, true);
  const std::string path = FirmwarePath(file);
  expectedTicks_ = static_cast<int>(FileSize(path) / 800);
  const std::vector<std::string> command = {ProgramPath(), "-f" + path,
                                            std::string("-c") + static_cast<char>('1' + portIndex),
                                            "-b5", "-a"};
  return RunProgram(command, portIndex, false);
}

unsigned ExternalLoader::RunProgram(const std::vector<std::string>& command, int portIndex,
                                    bool hexLoad) {
  TComPort& port = host_.Port();
  // A loader program that hangs must not hold the run for ever.
  QTimer limit;
  limit.setSingleShot(true);
  QObject::connect(&limit, &QTimer::timeout, &limit, [this] {
    host_.MemoAdd(host_.Language() == 1
                      ? "The loader program takes too long and is stopped.\r\n"
                      : "Das Ladeprogramm braucht zu lange und wird beendet.\r\n");
    process_.Stop(kStopGraceMs);
  });
  unsigned exitCode = 1;
  for (int attempt = 0; attempt < kAttempts && exitCode == 1; ++attempt) {
    if (cancelled_) {
      exitCode = kProgramNotStarted;
      break;
    }
    titleTicks_ = 0;
    if (hexLoad)
      titleTimer_.start();
    else
      titleTimer_.stop();
    limit.start(timeLimitMs_);
    ProgramResult result;
    {
      // The window shows that it waits; the program's wait keeps it painting.
      HoldingWait::Scope waiting(host_.Delay().Holding());
      result = process_.Run(command, PortTableString(port.PortTable()));
    }
    limit.stop();
    exitCode = result.exitCode;
    // A program asked to stop has not finished its transfer, whatever it
    // reports.
    if (process_.Stopped() && exitCode == 0) exitCode = 128u + SIGTERM;
    if (!result.error.empty()) host_.MemoAdd(result.error + "\r\n");
    if (exitCode == 0) succeeded_ = true;
    titleTimer_.stop();
    host_.Delay().DelayTime(hexLoad ? 2000 : 1500, true);
  }
  host_.ReopenPort(portIndex);
  if (hexLoad && host_.StartCommandIndex() == 2 && exitCode == 0)
    port.ChangeV24Parameter(B__9600, S_2, NoParity, true);
  else
    port.LoadLastV24Parameter();
  host_.Delay().DelayTime(hexLoad ? 500 : 200, true);
  host_.SetTitleProgress("", -1);
  return exitCode;
}

void ExternalLoader::TitleTick() {
  ++titleTicks_;
  host_.SetTitleProgress(
      "", static_cast<double>(titleTicks_) / (expectedTicks_ > 0 ? expectedTicks_ : 1) * 100.0);
}
