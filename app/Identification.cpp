#include "app/Identification.h"

#include "app/CommandTexts.h"
#include "app/FileVersion.h"
#include "core/DeviceRecord.h"
#include "core/Events.h"
#include "core/Stringunit.h"
#include "core/Timer.h"
#include "serial/ComPort.h"

namespace {

// The wait for each answer of the identification on the winner's line.
constexpr int kSearchTimeoutMs = 5000;

}  // namespace

void Identification::StartTimeout() {
  timeoutHandle_ = timers_.ReleaseTimeout(timeoutHandle_);
  timeoutHandle_ = timers_.AcquireTimeout(kSearchTimeoutMs);
}

void Identification::RestartTimeout() { timers_.RestartTimeout(timeoutHandle_); }

void Identification::ReleaseTimeout() { timeoutHandle_ = timers_.ReleaseTimeout(timeoutHandle_); }

bool Identification::TimeoutRunning() const {
  return timeoutHandle_ != 0 && timers_.IsBusy(timeoutHandle_);
}

void Identification::ParseReceived() {
  char buffer[ReplyParser::kReadChunk + 1];
  std::size_t room = parser_.FreeSpace();
  if (room == 0) room = ReplyParser::kReadChunk;  // the parser drops an over-long line
  int n = port_.Read(buffer, static_cast<unsigned long>(room));
  if (n < 0) return;
  TakeReceived(std::string_view(buffer, static_cast<std::size_t>(n)));
}

void Identification::TakeReceived(std::string_view bytes) {
  std::vector<ParsedReply> replies;
  std::vector<std::string> lines;
  parser_.Feed(bytes, replies, &lines);
  for (const auto& line : lines) hooks.log(line + " <-\r\n");
  for (auto& r : replies) {
    if (r.hasValue)
      queue_.PostValue(r.code, r.value);
    else
      queue_.PostEvent(r.code, r.text);
  }
}

void Identification::SendIdentificationQuery() {
  hooks.send(std::string(IdentificationQuery(step_)));
  timers_.RestartTimeout(timeoutHandle_);
}

void Identification::SendFirstQuery() {
  SendIdentificationQuery();
  step_ = 1;
}

bool Identification::Take(const WorkflowEvent& e, DeviceRecord& record, LoaderKind loaderKind) {
  switch (e.code) {
    case Reply::kPcbNumber:
    case Reply::kPcbNumber3:
    case Reply::kPcbNumber4:
      record.PcbNumber = e.text;
      timers_.RestartTimeout(timeoutHandle_);
      hooks.send(std::string(IdentificationQuery(step_)));
      step_ = 2;
      return false;
    case Reply::kDeviceNumber:
    case Reply::kDeviceNumber3:
    case Reply::kDeviceNumber4:
      record.DeviceNumber = e.text;
      hooks.send(std::string(IdentificationQuery(step_)));
      timers_.RestartTimeout(timeoutHandle_);
      step_ = 3;
      return false;
    case Reply::kBasicLoaderVariant:
      record.BasicLoaderVariant = e.text.empty() ? '\0' : e.text[0];
      hooks.send(Command::kBasicLoader);
      return false;
    case Reply::kSerialNumber:
    case Reply::kSerialNumber3:
      record.SerialNumber = e.text;
      timeoutHandle_ = timers_.ReleaseTimeout(timeoutHandle_);
      return true;
    default:  // the software version
      if (e.code == Reply::kVersion4 && loaderKind == kLoaderWinCe) {
        record.StartupVersionInstrument = VersionNumber(e.text);
        return false;
      }
      record.SoftwareVersion = e.text;
      record.SoftwareVersionNumber = VersionNumber(e.text);
      if (std::size_t comma = e.text.find(','); comma != std::string::npos)
        record.SensorVersionNumber = VersionNumber(std::string_view(e.text).substr(comma + 1));
      timers_.RestartTimeout(timeoutHandle_);
      if (record.SoftwareVersionNumber > 99 || ContainsText(e.text, "Y.YY")) {
        hooks.send(std::string(IdentificationQuery(step_)));
        step_ = 4;
        return false;
      }
      step_ = 4;
      // No serial-number query for old firmware: go on as if it were one blank.
      record.SerialNumber = " ";
      timeoutHandle_ = timers_.ReleaseTimeout(timeoutHandle_);
      return true;
  }
}
