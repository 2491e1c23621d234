// The run log seen from the window's logic: what a run did is collected
// while it runs and written as one line when it ends.
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "app/FirmwareSelection.h"
#include "app/ProgramVersion.h"
#include "app/UpdateMain.h"
#include "platform/Dialogs.h"
#include "platform/ProgramDir.h"
#include "platform/SerialById.h"
#include "platform/Text1252.h"

namespace {

const char* MethodOfKind(LoaderKind kind) {
  switch (kind) {
    case kLoaderSRecord: return "external loader, S-record";
    case kLoaderTiTxt: return "MSP430 bootstrap loader";
    case kLoaderWinCe: return "Windows-CE file transfer";
    case kLoaderIntelHex: return "external loader, Intel-hex";
  }
  return "";
}

std::string HostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

std::string WithoutCrLf(std::string text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      if (i + 1 < text.size() && text[i + 1] == '\n') continue;
      out += '\n';
    } else {
      out += text[i];
    }
  }
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

}  // namespace

void UpdateMain::ConfigureRunLog() {
  runLogPath_ = ChooseRunLogPath(ProcessRunLogOptions().path, "Update.ini");
}

void UpdateMain::BeginRunRecord() {
  if (runActive_) return;  // a search again after the first failed one, a menu entry inside a run
  runActive_ = true;
  runEscaped_ = false;
  meterSeen_ = false;
  runRecord_ = RunRecord{};
  runRecord_.start = IsoTimeNow();
  runStart_ = std::chrono::steady_clock::now();
  SetDialogObserver([this](const std::string&, const std::string& text, MsgIcon icon) {
    if (runActive_ && icon == MsgIcon::Error) runRecord_.error = text;
  });
}

// What the meter reported, before the match trims pairs of values.
void UpdateMain::NoteMeterIdentity() {
  meterSeen_ = true;
  runRecord_.pcbNumber = record_.PcbNumber.str();
  runRecord_.deviceNumber = record_.DeviceNumber.str();
  runRecord_.serialNumber = record_.SerialNumber.str();
  runRecord_.softwareVersion = record_.SoftwareVersion.str();
}

void UpdateMain::NoteDeviceEntry(const DeviceEntry& entry) {
  runRecord_.deviceEntry = entry.DeviceName.str();
  runRecord_.deviceEntryNumber = entry.DeviceNr.str();
}

std::string UpdateMain::FirmwarePath(const std::string& file) const {
  return FirmwareFilePath(file);
}

void UpdateMain::NoteTransfer(const std::string& file, const char* method, bool transferred) {
  meterSeen_ = true;
  RunLogFile f;
  f.name = file;
  f.path = FirmwarePath(file);
  std::error_code ec;
  const auto absolute = std::filesystem::absolute(f.path, ec);
  if (!ec) f.path = absolute.lexically_normal().string();
  HashRunLogFile(f);
  f.method = method;
  f.transferred = transferred;
  runRecord_.files.push_back(std::move(f));
}

void UpdateMain::EndRunRecord(RunOutcome outcome, RunEnd how) {
  if (!runActive_) return;
  runActive_ = false;
  SetDialogObserver({});
  RunRecord& r = runRecord_;
  r.end = IsoTimeNow();
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - runStart_).count();
  r.host = HostName();
  r.toolVersion = ProgramVersion();
  r.settingsVersion = settings_.version;
  r.pid = static_cast<long>(getpid());
  if (meterSeen_) {
    r.comNumber = CurrentComNumber();
    r.devicePath = UpdateCom.DevicePath(comPort_);
    r.byIdPath = SerialByIdPath(r.devicePath);
  }
  if (!r.deviceEntry.empty()) r.fileVersion = record_.MainFileVersion.str();
  r.method = MethodOfKind(loaderKind_);
  if (runInterrupted_) r.outcome = "interrupted";
  else if (outcome == RunOutcome::Success) r.outcome = "success";
  else if (how == RunEnd::Refused) r.outcome = "refused";
  else if (runEscaped_) r.outcome = "aborted";
  else r.outcome = "failed";
  r.message = WithoutCrLf(r.message.empty() ? r.error : r.message);
  r.error = WithoutCrLf(r.error);
  if (ProcessRunLogOptions().headless) {
    r.exitStatus = outcome == RunOutcome::Success && !runInterrupted_ ? 0
                   : outcome == RunOutcome::ProgramEnds          ? 2
                                                                 : 1;
  }
  if (runLogPath_.empty()) return;
  const std::string reason = AppendRunLine(runLogPath_, RunRecordJson(r));
  if (reason.empty()) return;
  // The run's outcome stands; only the record of it is missing.
  const std::string warning = (settings_.language == 1 ? "Warning: the run log " : "Warnung: Protokolldatei ") +
                              Utf8ToCp1252(runLogPath_) +
                              (settings_.language == 1 ? " cannot be written: " : " nicht schreibbar: ") +
                              Utf8ToCp1252(reason) + "\r\n";
  std::fprintf(stderr, "%s", Cp1252ToUtf8(warning).c_str());
  MemoAdd(warning);
}
