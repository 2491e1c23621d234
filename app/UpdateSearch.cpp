// The search for an instrument over ports and baud rates, the reply parser
// hook-up and the identification dialogue.
#include <QCoreApplication>

#include "app/CommandTexts.h"
#include "app/FileVersion.h"
#include "app/FirmwareFiles.h"
#include "app/FirmwareSelection.h"
#include "app/UpdateMain.h"
#include "app/VersionCheck.h"
#include "core/Infotext.h"
#include "core/PortTexts.h"
#include "core/Stringunit.h"
#include "platform/Dialogs.h"
#include "platform/ProgramDir.h"

namespace {

// The wait for each answer of the identification on the winner's line.
constexpr int kSearchTimeoutMs = 5000;

// Everything up to and including the first comma goes.
template <std::size_t N>
bool DropUpToComma(FixedText<N>& field) {
  std::size_t comma = field.view().find(',');
  if (comma == std::string_view::npos) return false;
  field = std::string(field.view().substr(comma + 1));
  return true;
}

}  // namespace

void UpdateMain::ConnectSearch() {
  PortSearch::Hooks& h = search_.hooks;
  h.status = [this](int panel, const std::string& text) { SetStatusPanel(panel, text); };
  h.statusHint = [this](const std::string& paths) { view_->SetStatusHint(0, paths); };
  h.memo = [this](const std::string& text) { MemoAdd(text); };
  h.sent = [this](const std::string& command) { LogLine(command); };
  h.showBootLoaderHint = [this] {
    std::string abort = FillPlaceholders(table_.texts.Abbruchtext(settings_.language).view());
    std::size_t first = abort.find("\r\n");
    std::size_t second = first == std::string::npos ? first : abort.find("\r\n", first + 2);
    if (second == std::string::npos) return false;
    ShowMessageBox(Caption(false),
                   abort.substr(first + 2, second + 2 - (first + 2)) + InfoText(InfoConfirmOk, settings_.language),
                   MsgIcon::Info);
    return true;
  };
  h.found = [this](const std::string& answer) { SearchFound(answer); };
  h.failed = [this] {
    SearchFailed();
    PumpEvents();
  };
}

void UpdateMain::StartSearch() {
  if (stopping_) return;
  BeginRunRecord();
  replyWatchdog_.stop();
  lostDevice_.clear();
  loaderSilence_.stop();
  bootCommandPending_ = false;
  identStep_ = 0;

  // What an earlier run changed for itself.
  startCommandIndex_ = table_.StartCommandIndex;
  bslCommandIndex_ = 0;
  phase_ = startCommandIndex_ == 1 ? RunPhase::Identify : RunPhase::Open;
  bootCommand_ = Command::kBoot;
  refused_ = false;
  usbOnly_ = false;
  winCe_ = false;
  record_.Clear();
  SetOkEnabled(false);
  SecTimer.stop();
  SetProgressPosition(0);
  timeoutHandle_ = timers_.ReleaseTimeout(timeoutHandle_);
  SetWaitPanelVisible(true);

  PortSearch::Setup setup;
  setup.bauds = settings_.baudList;
  setup.fixedPort = settings_.fixedPort;
  setup.fixedPortIndex = settings_.fixedPortIndex;
  setup.startCommandIndex = startCommandIndex_;
  setup.loaderKind = loaderKind_;
  setup.language = settings_.language;
  setup.delayDivisor = wait.Dividend();
  setup.timeoutDivisor = timers_.Divisor();
  search_.Start(setup);
}

// The search's winner: the identification goes on on its line with the
// bytes it answered the probe with.
void UpdateMain::SearchFound(const std::string& answer) {
  const int port = search_.Port();
  SetStatusPanel(0, "Com" + std::to_string(port + 1));
  view_->SetStatusHint(0, UpdateCom.DevicePath(port));
  SetStatusPanel(1, search_.FoundInBootLoaderPass() ? std::string("BL-Baud") : BaudName(search_.FoundBaud()));
  timeoutHandle_ = timers_.ReleaseTimeout(timeoutHandle_);
  timeoutHandle_ = timers_.AcquireTimeout(kSearchTimeoutMs);
  parser_.Clear();
  TakeReceived(answer);
  PumpEvents();
}

void UpdateMain::SearchFailed() {
  // The pre-loader flag stays: once a pre-loader ran it counts until the end.
  downloadConfirmed_ = false;
  sensorPresent_ = false;
  identStep_ = 0;
  timeoutHandle_ = timers_.ReleaseTimeout(timeoutHandle_);
  view_->SetMenuEnabled("TG812qProgramming", true);
  SetWaitPanelVisible(false);
  search_.ResetHint();
  UpdateCom.Close();
  ReportSkippedPorts();
  if (search_.FailedSearches() == 0) {
    ShowMessageBox(Caption(true), FillPlaceholders(InfoText(InfoNoDevice, settings_.language)),
                   MsgIcon::Error);
    queue_.PostKey(Key::kOk);
    search_.CountFailedSearch();
  } else {
    ShowMessageBox(Caption(true), FillPlaceholders(InfoText(InfoNoNameAbort, settings_.language)),
                   MsgIcon::Error);
    ClearIdentity();
    EndRun(RunOutcome::ProgramEnds);
    return;
  }
  ClearIdentity();
}

void UpdateMain::ReportSkippedPorts() {
  if (settings_.fixedPort) return;
  for (int i = 0; i < UpdateCom.GetMaxV24Devices(); ++i) {
    const PortFailure reason = UpdateCom.SkipReason(UpdateCom.Get_DeviceV24(i));
    if (reason.error != 0) MemoAdd(PortFailureText(reason, settings_.language) + "\r\n");
  }
}

void UpdateMain::ParseReceived() {
  char buffer[ReplyParser::kReadChunk + 1];
  std::size_t room = parser_.FreeSpace();
  if (room == 0) room = ReplyParser::kReadChunk;  // the parser drops an over-long line
  int n = UpdateCom.Read(buffer, static_cast<unsigned long>(room));
  if (n < 0) return;
  TakeReceived(std::string_view(buffer, static_cast<std::size_t>(n)));
}

void UpdateMain::TakeReceived(std::string_view bytes) {
  std::vector<ParsedReply> replies;
  std::vector<std::string> lines;
  parser_.Feed(bytes, replies, &lines);
  for (const auto& line : lines) LogLine(line + " <-\r\n");
  for (auto& r : replies) {
    if (r.hasValue) queue_.PostValue(r.code, r.value);
    else queue_.PostEvent(r.code, r.text);
  }
}

// The winner fell silent during the identification.
void UpdateMain::ProbeAfterTimeout() { ResumeSearch(false); }

void UpdateMain::OnFramingError(unsigned comNumber) {
  if (search_.OnFramingError(comNumber)) return;
  // The winner's line while the identification runs: probed again as in
  // the search.
  if (search_.Handed() && comNumber == static_cast<unsigned>(CurrentComNumber()) &&
      timeoutHandle_ != 0 && timers_.IsBusy(timeoutHandle_))
    ResumeSearch(true);
}

void UpdateMain::ResumeSearch(bool framingError) {
  timeoutHandle_ = timers_.ReleaseTimeout(timeoutHandle_);
  // Whatever the lost meter said must not carry over to the next one: its
  // acknowledgement would otherwise count as a later step of the run.
  phase_ = startCommandIndex_ == 1 ? RunPhase::Identify : RunPhase::Open;
  identStep_ = 0;
  record_.Clear();
  parser_.Clear();
  search_.Resume(framingError);
}

void UpdateMain::SendIdentificationQuery() {
  SendCommand(std::string(IdentificationQuery(identStep_)));
  timers_.RestartTimeout(timeoutHandle_);
}

void UpdateMain::Identification(const WorkflowEvent& e) {
  switch (e.code) {
    case Reply::kPcbNumber: case Reply::kPcbNumber3: case Reply::kPcbNumber4:
      record_.PcbNumber = e.text;
      timers_.RestartTimeout(timeoutHandle_);
      SendCommand(std::string(IdentificationQuery(identStep_)));
      identStep_ = 2;
      return;
    case Reply::kDeviceNumber: case Reply::kDeviceNumber3: case Reply::kDeviceNumber4:
      record_.DeviceNumber = e.text;
      SendCommand(std::string(IdentificationQuery(identStep_)));
      timers_.RestartTimeout(timeoutHandle_);
      identStep_ = 3;
      return;
    case Reply::kBasicLoaderVariant:
      record_.BasicLoaderVariant = e.text.empty() ? '\0' : e.text[0];
      SendCommand(Command::kBasicLoader);
      return;
    case Reply::kSerialNumber: case Reply::kSerialNumber3:
      record_.SerialNumber = e.text;
      timeoutHandle_ = timers_.ReleaseTimeout(timeoutHandle_);
      break;
    default:  // the software version
      if (e.code == Reply::kVersion4 && loaderKind_ == kLoaderWinCe) {
        record_.StartupVersionInstrument = VersionNumber(e.text);
        return;
      }
      record_.SoftwareVersion = e.text;
      record_.SoftwareVersionNumber = VersionNumber(e.text);
      if (std::size_t comma = e.text.find(','); comma != std::string::npos)
        record_.SensorVersionNumber = VersionNumber(std::string_view(e.text).substr(comma + 1));
      timers_.RestartTimeout(timeoutHandle_);
      if (record_.SoftwareVersionNumber > 99 || ContainsText(e.text, "Y.YY")) {
        SendCommand(std::string(IdentificationQuery(identStep_)));
        identStep_ = 4;
        return;
      }
      identStep_ = 4;
      // No serial-number query for old firmware: go on as if it were one blank.
      record_.SerialNumber = " ";
      timeoutHandle_ = timers_.ReleaseTimeout(timeoutHandle_);
      break;
  }

  recorder_.NoteMeterIdentity(record_);
  if (MatchDevice()) {
    ArmReplyWatchdog();
    queue_.PostEvent(MainMethod().StartEvent());
    return;
  }
  ClearIdentity();
  refused_ = true;
  SetOkEnabled(true);
  SendCommand(std::string(FinalCommand(loaderKind_)));
  identStep_ = 0;
  EndRun(RunOutcome::Failed, RunEnd::Refused);
}

bool UpdateMain::MatchDevice() {
  SetWaitPanelVisible(false);
  downloadConfirmed_ = false;
  sensorPresent_ = true;

  const DeviceEntry* entry = nullptr;
  for (const auto& e : table_.entries)
    if (ContainsText(record_.DeviceNumber.view(), e.DeviceNr.view())) {
      entry = &e;
      break;
    }
  if (!entry && (ContainsText(record_.PcbNumber.view(), record_.DeviceNumber.view()) ||
                 startCommandIndex_ == 3)) {
    for (const auto& e : table_.entries)
      if (ContainsText(record_.PcbNumber.view(), e.DeviceNrDef.view())) {
        entry = &e;
        break;
      }
  }

  bool refuse = entry == nullptr;
  if (entry) {
    TakeDeviceEntry(*entry);
    if (!record_.BootLoaderId.empty() &&
        !ContainsText(record_.BootLoaderId.view(), record_.BootLoadKenn.view()))
      refuse = true;
    else if (ShowMissingFirmware(record_, ProgramFolder(), settings_.language, Caption(true)) ||
             ShowLoaderNotReady(loaderKind_, settings_.language, Caption(true)))
      return false;
    else if (!MainFileInScan(record_.MainFile.view(), firmwareFiles_))
      refuse = true;
  }
  if (refuse) {
    ShowMessageBox(Caption(true), InfoText(InfoWrongDevice, settings_.language), MsgIcon::Error);
    std::string names;
    for (const auto& e : table_.entries) {
      if (!names.empty()) names += ", ";
      names += e.DeviceName.str();
    }
    record_.DeviceName = names;
    MemoAdd(FillPlaceholders(InfoText(InfoWrongDownload, settings_.language)));
    return false;
  }

  if (startCommandIndex_ == 2 || startCommandIndex_ == 3) {
    // These instruments report pairs: instrument value, sensor value.
    record_.SoftwareVersionNumber = record_.SensorVersionNumber;
    record_.SensorVersionNumber = 0;
    DropUpToComma(record_.SoftwareVersion);
    bool devicePair = DropUpToComma(record_.DeviceNumber);
    DropUpToComma(record_.PcbNumber);
    DropUpToComma(record_.SerialNumber);
    if (!devicePair) {
      // This question exists in German only.
      if (ShowMessageBox("Info", "kein digitaler Sensor angeschlossen ?\r\n\r\nTrotzdem fortfahren ?",
                         MsgIcon::Question, MsgButtons::YesNo) != MsgResult::Yes)
        return false;
      record_.NoSensor = true;
      sensorPresent_ = false;
      record_.SoftwareVersion = "X.XX";
      record_.DeviceNumber = entry->DeviceNr.view();
      record_.SerialNumber = "XXXXXXXX";
    }
    record_.SensorFileMarker = record_.MainFileMarker;
    if (startCommandIndex_ == 3) {
      startCommandIndex_ = 2;
      bslCommandIndex_ = 1;
      bootCommand_ = record_.NoSensor ? Command::kBootNoSensor : Command::kBootSensor;
    }
  }

  SetIdentity(IdentityField::Name,
              record_.DeviceNumber.str() + "  [" + entry->DeviceName.str() + "]");
  SetIdentity(IdentityField::Serial, record_.SerialNumber.str());
  SetIdentity(IdentityField::Pcb, record_.PcbNumber.str());
  SetIdentity(IdentityField::Software, record_.SoftwareVersion.str());
  record_.DeviceName = entry->DeviceName.view();

  VersionTexts texts = ReadVersionTexts(record_, ProgramFolder(), settings_.language);
  startupGroupBegin_ = texts.startupProgramIndex;
  startupGroupEnd_ = texts.startupGroupEnd;
  if (texts.sendStartupQuery) {
    SendCommand(kStartupVersionQuery);
    wait.DelayTime(3000, true);
  }
  SetStatusPanel(2, texts.statusText);

  VersionCheckContext context;
  context.language = settings_.language;
  context.versionGuard = versionGuard_;
  context.usbOnly = usbOnly_;
  context.addMemo = [this](const std::string& text) { MemoAdd(text); };
  return CheckVersions(record_, context, downloadConfirmed_);
}

void UpdateMain::TakeDeviceEntry(const DeviceEntry& entry) {
  recorder_.NoteDeviceEntry(entry);
  record_.ProzTyp = entry.ProzTyp;
  record_.SWKenn1 = entry.SWKenn1.view();
  record_.SWKenn2 = entry.SWKenn2.view();
  record_.SWKenn3 = entry.SWKenn3.view();
  record_.BootLoadKenn = entry.BootLoadKenn.view();
  record_.FlashErase1 = std::atoi(entry.FlashErase1.c_str());
  record_.FlashErase2 = std::atoi(entry.FlashErase2.c_str());
  record_.FlashErase3 = std::atoi(entry.FlashErase3.c_str());
  record_.ProgDefFile = entry.ProgDefFile.view();
  std::vector<std::string> notes;
  loaderKind_ = TakeDeviceFiles(entry, table_, ProgramFolder(), record_, &notes);
  for (const auto& note : notes) MemoAdd(note + "\r\n");
}
