// The external loader programs: the port is handed over to them while they
// run, and taken back and restored afterwards.
#include <csignal>
#include <filesystem>

#include <QTimer>

#include "app/IniLines.h"
#include "app/UpdateMain.h"
#include "core/Infotext.h"
#include "platform/Dialogs.h"
#include "platform/ExternalProgram.h"
#include "platform/PortTable.h"
#include "platform/ProgramDir.h"

namespace {

constexpr const char* kHexLoadProgram = "HEXLoad_8N1.exe";
constexpr const char* kPic32Program = "PIC32_Serial_Bootloader.exe";
constexpr const char* kHexLoadIni = "HEXLoad_8N1.ini";
// An exit code of 1 asks for another run, up to three in all.
constexpr int kAttempts = 3;

long FileSize(const std::string& name) {
  std::error_code ec;
  auto size = std::filesystem::file_size(name, ec);
  if (ec) size = std::filesystem::file_size(ProgramFolder() + "/" + name, ec);
  return ec ? 0 : static_cast<long>(size);
}

}  // namespace

std::string UpdateMain::LoaderProgramPath() const {
  return ProgramFolder() + "/" + (loaderKind_ / 2 == 0 ? kHexLoadProgram : kPic32Program);
}

bool UpdateMain::LoaderProgramUsable() {
  const std::string path = LoaderProgramPath();
  const bool german = settings_.language == 0;
  std::string why;
  switch (CheckProgramFile(path)) {
    case ProgramProblem::None:
      return true;
    case ProgramProblem::Missing:
      why = german ? "Ladeprogramm nicht gefunden: " : "Loader program not found: ";
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
  ShowMessageBox(Caption(true), why, MsgIcon::Error);
  return false;
}

void UpdateMain::WriteHexLoadIni() {
  auto lines = LoadLines(kHexLoadIni);
  if (!lines) return;  // the program then uses whatever file it finds
  SetValue(*lines, "Port ", " " + std::to_string(comPort_));
  SetValue(*lines, "Baudrate ", record_.MainFileMarker ? " 9600" : " 38400");
  SaveLines(kHexLoadIni, *lines);
}

unsigned UpdateMain::RunHexLoad(const std::string& file) {
  SetWaitPanelVisible(false);
  if (record_.MainFile.size() < 5) return 1;
  UpdateCom.SaveLastV24Parameter();
  UpdateCom.Close();
  WriteHexLoadIni();
  wait.DelayTime(1000, true);
  expectedTicks_ = static_cast<int>(FileSize(file) / 2000 + 33);
  const std::vector<std::string> command = {ProgramFolder() + "/" + kHexLoadProgram, file,
                                            "-auto", "-exit"};
  return RunLoaderProgram(command, file, true);
}

unsigned UpdateMain::RunPic32Loader(const std::string& file) {
  SetWaitPanelVisible(false);
  if (record_.MainFile.size() < 5) return 1;
  if (comPort_ > 8) {
    // The program takes the port as one digit: COM1..COM9.
    MemoAdd("COM" + std::to_string(comPort_ + 1) + ": " + kPic32Program +
            " can only reach COM1 to COM9.\r\n");
    return 2;
  }
  UpdateCom.SaveLastV24Parameter();
  UpdateCom.Close();
  wait.DelayTime(1000, true);
  expectedTicks_ = static_cast<int>(FileSize(file) / 800);
  const std::vector<std::string> command = {ProgramFolder() + "/" + kPic32Program, "-f" + file,
                                            std::string("-c") + static_cast<char>('1' + comPort_),
                                            "-b5", "-a"};
  return RunLoaderProgram(command, file, false);
}

unsigned UpdateMain::RunLoaderProgram(const std::vector<std::string>& command, const std::string&,
                                      bool hexLoad) {
  // A loader program that hangs must not hold the run for ever.
  QTimer limit;
  limit.setSingleShot(true);
  connect(&limit, &QTimer::timeout, this, [this] {
    MemoAdd(settings_.language == 1 ? "The loader program takes too long and is stopped.\r\n"
                                    : "Das Ladeprogramm braucht zu lange und wird beendet.\r\n");
    loaderProcess_.Stop(kLoaderStopGraceMs);
  });
  unsigned exitCode = 1;
  for (int attempt = 0; attempt < kAttempts && exitCode == 1; ++attempt) {
    if (stopping_) {
      exitCode = kProgramNotStarted;
      break;
    }
    titleTicks_ = 0;
    if (hexLoad) TitleTimer.start();
    else TitleTimer.stop();
    limit.start(TimeLimit(kLoaderProgramLimitMs));
    ProgramResult result;
    {
      HoldingWait::Scope waiting(holding_);
      result = loaderProcess_.Run(command, PortTableString(UpdateCom.PortTable()));
    }
    limit.stop();
    exitCode = result.exitCode;
    // A program asked to stop has not finished its transfer, whatever it
    // reports.
    if (loaderProcess_.Stopped() && exitCode == 0) exitCode = 128u + SIGTERM;
    if (!result.error.empty()) MemoAdd(result.error + "\r\n");
    if (exitCode == 0) loaderSucceeded_ = true;
    TitleTimer.stop();
    wait.DelayTime(hexLoad ? 2000 : 1500, true);
  }
  UpdateCom.Open(this, comPort_, true);
  if (hexLoad && startCommandIndex_ == 2 && exitCode == 0)
    UpdateCom.ChangeV24Parameter(B__9600, S_2, NoParity, true);
  else
    UpdateCom.LoadLastV24Parameter();
  wait.DelayTime(hexLoad ? 500 : 200, true);
  SetTitleProgress("", -1);
  return exitCode;
}
