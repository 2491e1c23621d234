#include "app/RunRecorder.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "app/DeviceTable.h"
#include "core/DeviceRecord.h"
#include "platform/Dialogs.h"
#include "platform/ProgramDir.h"
#include "platform/SerialById.h"
#include "platform/Text1252.h"

namespace {

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

void RunRecorder::Configure() {
  path_ = ChooseRunLogPath(ProcessRunLogOptions().path, "Update.ini");
}

void RunRecorder::Begin() {
  if (active_) return;  // a search again after the first failed one, a menu entry inside a run
  active_ = true;
  escaped_ = false;
  meterSeen_ = false;
  record_ = RunRecord{};
  record_.start = IsoTimeNow();
  start_ = std::chrono::steady_clock::now();
  SetDialogObserver([this](const std::string&, const std::string& text, MsgIcon icon) {
    if (active_ && icon == MsgIcon::Error) record_.error = text;
  });
}

void RunRecorder::NoteMeterIdentity(const DeviceRecord& record) {
  meterSeen_ = true;
  record_.pcbNumber = record.PcbNumber.str();
  record_.deviceNumber = record.DeviceNumber.str();
  record_.serialNumber = record.SerialNumber.str();
  record_.softwareVersion = record.SoftwareVersion.str();
}

void RunRecorder::NoteDeviceEntry(const DeviceEntry& entry) {
  record_.deviceEntry = entry.DeviceName.str();
  record_.deviceEntryNumber = entry.DeviceNr.str();
}

void RunRecorder::NoteTransfer(const std::string& file, const std::string& method,
                               bool transferred) {
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
  record_.files.push_back(std::move(f));
}

std::string RunRecorder::End(const RunEndFacts& facts) {
  if (!active_) return {};
  active_ = false;
  SetDialogObserver({});
  RunRecord& r = record_;
  r.end = IsoTimeNow();
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  r.host = HostName();
  r.toolVersion = facts.toolVersion;
  r.settingsVersion = facts.settingsVersion;
  r.pid = static_cast<long>(getpid());
  if (meterSeen_) {
    r.comNumber = facts.comNumber;
    r.devicePath = facts.devicePath;
    r.byIdPath = SerialByIdPath(r.devicePath);
  }
  if (!r.deviceEntry.empty()) r.fileVersion = facts.fileVersion;
  r.method = facts.method;
  if (interrupted_)
    r.outcome = "interrupted";
  else if (facts.outcome == RunOutcome::Success)
    r.outcome = "success";
  else if (facts.refused)
    r.outcome = "refused";
  else if (escaped_)
    r.outcome = "aborted";
  else
    r.outcome = "failed";
  r.message = WithoutCrLf(r.message.empty() ? r.error : r.message);
  r.error = WithoutCrLf(r.error);
  if (ProcessRunLogOptions().headless) {
    r.exitStatus = facts.outcome == RunOutcome::Success && !interrupted_ ? 0
                   : facts.outcome == RunOutcome::ProgramEnds            ? 2
                                                                         : 1;
  }
  if (path_.empty()) return {};
  const std::string reason = AppendRunLine(path_, RunRecordJson(r));
  if (reason.empty()) return {};
  // The run's outcome stands; only the record of it is missing.
  const bool english = facts.language == 1;
  const std::string warning =
      (english ? "Warning: the run log " : "Warnung: Protokolldatei ") + Utf8ToCp1252(path_) +
      (english ? " cannot be written: " : " nicht schreibbar: ") + Utf8ToCp1252(reason) + "\r\n";
  std::fprintf(stderr, "%s", Cp1252ToUtf8(warning).c_str());
  return warning;
}
