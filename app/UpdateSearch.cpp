// The search hook-up, what follows a complete identification, and the
// match of the identified instrument against the device table.
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
                   abort.substr(first + 2, second + 2 - (first + 2)) +
                       InfoText(InfoConfirmOk, settings_.language),
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
  if (guards_.stopping) return;
  BeginRunRecord();
  clock_.replyWatchdog.stop();
  guards_.lostDevice.clear();
  clock_.loaderSilence.stop();
  guards_.bootCommandPending = false;
  identification_.Restart();

  // What an earlier run changed for itself.
  match_.BeginRun(table_);
  phase_ = match_.startCommandIndex == 1 ? RunPhase::Identify : RunPhase::Open;
  record_.Clear();
  SetOkEnabled(false);
  clock_.SecTimer.stop();
  SetProgressPosition(0);
  identification_.ReleaseTimeout();
  SetWaitPanelVisible(true);

  PortSearch::Setup setup;
  setup.bauds = settings_.baudList;
  setup.fixedPort = settings_.fixedPort;
  setup.fixedPortIndex = settings_.fixedPortIndex;
  setup.startCommandIndex = match_.startCommandIndex;
  setup.loaderKind = match_.loaderKind;
  setup.language = settings_.language;
  setup.delayDivisor = wait.Dividend();
  setup.timeoutDivisor = clock_.timers.Divisor();
  search_.Start(setup);
}

// The search's winner: the identification goes on on its line with the
// bytes it answered the probe with.
void UpdateMain::SearchFound(const std::string& answer) {
  const int port = search_.Port();
  SetStatusPanel(0, "Com" + std::to_string(port + 1));
  view_->SetStatusHint(0, UpdateCom.DevicePath(port));
  SetStatusPanel(
      1, search_.FoundInBootLoaderPass() ? std::string("BL-Baud") : BaudName(search_.FoundBaud()));
  identification_.StartTimeout();
  identification_.Parser().Clear();
  identification_.TakeReceived(answer);
  PumpEvents();
}

void UpdateMain::SearchFailed() {
  // The pre-loader flag stays: once a pre-loader ran it counts until the end.
  match_.downloadConfirmed = false;
  match_.sensorPresent = false;
  identification_.Restart();
  identification_.ReleaseTimeout();
  view_->SetMenuEnabled("TG812qProgramming", true);
  SetWaitPanelVisible(false);
  search_.ResetHint();
  UpdateCom.Close();
  ReportSkippedPorts();
  if (search_.FailedSearches() == 0) {
    ShowMessageBox(Caption(true), FillPlaceholders(InfoText(InfoNoDevice, settings_.language)),
                   MsgIcon::Error);
    clock_.queue.PostKey(Key::kOk);
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

// The winner fell silent during the identification.
void UpdateMain::ProbeAfterTimeout() { ResumeSearch(false); }

void UpdateMain::OnFramingError(unsigned comNumber) {
  if (search_.OnFramingError(comNumber)) return;
  // The winner's line while the identification runs: probed again as in
  // the search.
  if (search_.Handed() && comNumber == static_cast<unsigned>(CurrentComNumber()) &&
      identification_.TimeoutRunning())
    ResumeSearch(true);
}

void UpdateMain::ResumeSearch(bool framingError) {
  identification_.ReleaseTimeout();
  // Whatever the lost meter said must not carry over to the next one: its
  // acknowledgement would otherwise count as a later step of the run.
  phase_ = match_.startCommandIndex == 1 ? RunPhase::Identify : RunPhase::Open;
  identification_.Restart();
  record_.Clear();
  identification_.Parser().Clear();
  search_.Resume(framingError);
}

void UpdateMain::Identification(const WorkflowEvent& e) {
  if (!identification_.Take(e, record_, match_.loaderKind)) return;

  recorder_.NoteMeterIdentity(record_);
  if (MatchDevice()) {
    ArmReplyWatchdog();
    clock_.queue.PostEvent(MainMethod().StartEvent());
    return;
  }
  ClearIdentity();
  match_.refused = true;
  SetOkEnabled(true);
  SendCommand(std::string(FinalCommand(match_.loaderKind)));
  identification_.Restart();
  EndRun(RunOutcome::Failed, RunEnd::Refused);
}

bool UpdateMain::MatchDevice() {
  SetWaitPanelVisible(false);
  match_.downloadConfirmed = false;
  match_.sensorPresent = true;

  const DeviceEntry* entry = match_.FindEntry(table_, record_);
  bool refuse = entry == nullptr;
  if (entry) {
    TakeDeviceEntry(*entry);
    if (!match_.BootLoaderMatches(record_))
      refuse = true;
    else if (ShowMissingFirmware(record_, ProgramFolder(), settings_.language, Caption(true)) ||
             ShowLoaderNotReady(match_.loaderKind, settings_.language, Caption(true)))
      return false;
    else if (!match_.MainFileFound(record_))
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

  if (match_.ReportsPairs()) {
    if (!match_.TakeSensorHalves(record_)) {
      // This question exists in German only.
      if (ShowMessageBox("Info",
                         "kein digitaler Sensor angeschlossen ?\r\n\r\nTrotzdem fortfahren ?",
                         MsgIcon::Question, MsgButtons::YesNo) != MsgResult::Yes)
        return false;
      match_.TakeNoSensor(*entry, record_);
    }
    match_.FinishPairs(record_);
  }

  SetIdentity(IdentityField::Name,
              record_.DeviceNumber.str() + "  [" + entry->DeviceName.str() + "]");
  SetIdentity(IdentityField::Serial, record_.SerialNumber.str());
  SetIdentity(IdentityField::Pcb, record_.PcbNumber.str());
  SetIdentity(IdentityField::Software, record_.SoftwareVersion.str());
  record_.DeviceName = entry->DeviceName.view();

  VersionTexts texts = ReadVersionTexts(record_, ProgramFolder(), settings_.language);
  match_.startupGroupBegin = texts.startupProgramIndex;
  match_.startupGroupEnd = texts.startupGroupEnd;
  if (texts.sendStartupQuery) {
    SendCommand(kStartupVersionQuery);
    wait.DelayTime(3000, true);
  }
  SetStatusPanel(2, texts.statusText);

  VersionCheckContext context;
  context.language = settings_.language;
  context.versionGuard = versionGuard_;
  context.usbOnly = match_.usbOnly;
  context.addMemo = [this](const std::string& text) { MemoAdd(text); };
  return CheckVersions(record_, context, match_.downloadConfirmed);
}

void UpdateMain::TakeDeviceEntry(const DeviceEntry& entry) {
  recorder_.NoteDeviceEntry(entry);
  std::vector<std::string> notes;
  match_.TakeDeviceEntry(entry, table_, record_, &notes);
  for (const auto& note : notes) MemoAdd(note + "\r\n");
}
