// The workflow handler: what each event of a download run does, the retry
// and menu-programming handlers, and the endings of a run.
#include <QDateTime>
#include <algorithm>
#include <filesystem>
#include <cstdio>
#include <ctime>

#include "app/CommandTexts.h"
#include "app/DurationEstimate.h"
#include "app/UpdateMain.h"
#include "app/VersionCheck.h"
#include "core/Infotext.h"
#include "core/Placeholders.h"
#include "core/PortTexts.h"
#include "core/Stringunit.h"
#include "loaders/Bsl430.h"
#include "loaders/TermProg.h"
#include "platform/ProgramDir.h"

namespace {

// An ending after which OK starts a new search, not a retry.
constexpr int kEndedWithoutRetry = 0;

}  // namespace

bool UpdateMain::MainToBeUpdated() const {
  return MainSoftwareToBeUpdated(record_, match_.downloadConfirmed);
}
bool UpdateMain::SensorToBeUpdated() const {
  return SensorSoftwareToBeUpdated(record_, match_.downloadConfirmed);
}

void UpdateMain::WorkflowHandler(EventQueue&, WorkflowEvent& e) {
  if (e.kind == EventKind::kKey) {
    if (e.code == Key::kOk) {
      e.Clear();
      StartSearch();
    }
    return;
  }
  if (e.kind == EventKind::kTimer) {
    if (identification_.IsTimeout(e.code)) {
      e.Clear();
      ProbeAfterTimeout();
    }
    return;
  }
  if (e.kind != EventKind::kNotify) return;

  const WorkflowEvent event = e;
  e.Clear();
  switch (event.code) {
    case Event::kDataReceived: identification_.ParseReceived(); return;
    case Reply::kDeviceNumber:
    case Reply::kDeviceNumber3:
    case Reply::kDeviceNumber4:
    case Reply::kPcbNumber:
    case Reply::kPcbNumber3:
    case Reply::kPcbNumber4:
    case Reply::kVersion:
    case Reply::kVersion3:
    case Reply::kVersion4:
    case Reply::kSerialNumber:
    case Reply::kSerialNumber3:
    case Reply::kBasicLoaderVariant: Identification(event); return;
    case Event::kAcknowledge:
    case Event::kRetryAck:
      guards_.bootCommandPending = false;
      OnAcknowledge();
      return;
    case Event::kRejected:
      // A meter that refuses its boot loader is not going to take a
      // transfer: say so now instead of waiting for the watchdog.
      if (!guards_.bootCommandPending) return;
      guards_.bootCommandPending = false;
      MemoAdd(InfoText(InfoNoBootloader, settings_.language) + "\r\n");
      FinishAbort(kEndedWithoutRetry);
      return;
    case Event::kBootCommand:
    case Event::kIntelHex:
      clock_.SecTimer.stop();
      SetProgressPosition(0);
      ShowDuration(event.code == Event::kIntelHex ? 2 : 0);
      if (MainToBeUpdated()) {
        SendBootCommand(event.code == Event::kIntelHex ? std::string(Command::kBoot)
                                                       : match_.bootCommand);
      } else {
        phase_ = RunPhase::BasicLoader;
        clock_.queue.PostEvent(Event::kSensorPhase);
      }
      return;
    case Event::kMainTransfer:
      clock_.SecTimer.stop();
      SetProgressPosition(0);
      clock_.queue.PostEvent(RunExternalProgram(record_.MainFile.str()) == 0
                                 ? Event::kMainDone
                                 : Event::kTransferFailed);
      return;
    case Event::kMainDone:
      if (match_.loaderKind == kLoaderSRecord && match_.startCommandIndex == 0) {
        MemoAdd(InfoText(InfoStoring, settings_.language));
        wait.DelayTime(12000, false);
        if (guards_.stopping) return;
        SendClock(true);
      }
      return;
    case Event::kBslMain:
      phase_ = RunPhase::SensorAgain;
      ShowDuration(1);
      if (MainToBeUpdated()) {
        if (!RunBsl430(match_.bslCommandIndex, record_.MainFile.str(), true, match_.sensorPresent))
          clock_.queue.PostEvent(Event::kTransferFailed);
      } else {
        clock_.queue.PostEvent(Event::kSensorPhase);
      }
      return;
    case Event::kBslRetry:
      SetOkEnabled(false);
      record_.DirectEntry = true;
      phase_ = RunPhase::SensorAgain;
      ShowDuration(1);
      if (RunBsl430(match_.bslCommandIndex, record_.MainFile.str(), true, false)) {
        MemoAdd(InfoText(InfoStoring, settings_.language));
        clock_.SecTimer.start();
        SetProgressPosition(1);
      } else {
        clock_.queue.PostEvent(Event::kTransferFailed);
      }
      return;
    case Event::kWinCe:
      if (!WinCeTransferStep()) {
        // A late "!" of the failed conversation must not start the sensor
        // phase, which could end in the success text.
        phase_ = RunPhase::Finished;
        clock_.queue.PostEvent(Event::kTransferFailed);
      }
      return;
    case Event::kSensorPhase: SensorPhase(); return;
    case Event::kBasicLoader: methods_.basicLoader.Run({}); return;
    case Event::kSegmentProgrammed:
      guards_.confirmedFile = record_.SensorFile.str();
      methods_.basicLoader.SegmentProgrammed();
      return;
    case Event::kTransferEnded:
      methods_.basicLoader.Ended();
      EndRun(RunOutcome::Failed);
      return;
    case Reply::kStored:
      if (match_.startCommandIndex != 2) {
        MemoAdd(InfoText(InfoStoring, settings_.language));
        wait.DelayTime(1000, false);
        SendClock(true);
        return;
      }
      [[fallthrough]];
    case Reply::kClockSet:
      phase_ = RunPhase::Finished;
      FinishOk();
      return;
    case Reply::kUsbOnly: match_.usbOnly = true; return;
    case Reply::kBootAgain:
      if (ContainsText(record_.DeviceNumber.view(), "52937") &&
          record_.SoftwareVersionNumber <= 104) {
        SendCommand(Command::kSpecialStart);
      } else {
        phase_ = Next(phase_);
        clock_.queue.PostEvent(Event::kBootCommand);
        search_.ResetFailedSearches();
      }
      return;
    case Event::kTransferFailed:
    case Event::kSensorFailed: FinishAbort(event.code); return;
    case Event::kFramedRecord:
      // Only the search's probe for a waiting loader asks for it; a late
      // or stray record starts nothing.
      if (!ProbingForLoader()) return;
      identification_.ReleaseTimeout();
      record_.BootLoaderId = event.text;
      TG812qProgrammingClick(0);
      return;
    case Event::kBslAcknowledge:
      // A loader's acknowledge after an abort, a stall or an interruption
      // must not start the laboratory download.
      if (!ProbingForLoader()) return;
      identification_.ReleaseTimeout();
      guards_.labAfterProbe = true;
      LabXXXClick();
      guards_.labAfterProbe = false;
      return;
    default:
      e = event;  // not ours: pass it on unchanged
      return;
  }
}

void UpdateMain::OnAcknowledge() {
  if (phase_ == RunPhase::Open) {
    SendCommand(Command::kOpen);
    identification_.RestartTimeout();
  } else if (phase_ == RunPhase::Identify) {
    identification_.SendFirstQuery();
  } else if (phase_ == RunPhase::ExtraFile && !match_.refused) {
    if (record_.ExtraFile.size() < 4) {
      phase_ = RunPhase::MainTransfer;
    } else {
      MemoAdd(FillPlaceholders(InfoText(InfoProgramming, settings_.language)));
      if (RunExternalProgram(record_.ExtraFile.str()) != 0) {
        clock_.queue.PostEvent(Event::kTransferFailed);
      } else {
        match_.preLoader = true;
        clock_.SecTimer.start();
        MemoAdd(InfoText(InfoStoring, settings_.language));
        SetProgressPosition(1);
      }
    }
  }
  if (!match_.refused) clock_.queue.PostEvent(EventOfPhase(phase_));  // nothing for 0
  phase_ = Next(phase_);
}

void UpdateMain::SensorPhase() {
  const int s = record_.SensorVersionNumber;
  const int g = record_.SecondFileVersionNumber;
  if (SensorToBeUpdated() && s > 200) {
    SetStatusPanel(1, "19200");
    SetStatusPanel(2, "Version " + record_.SecondFileVersion.str());
    wait.DelayTime(2000, false);
    SendCommand(Command::kSensorQuery);
    return;
  }
  if (match_.usbOnly || s > g ||
      (s == g && (!match_.downloadConfirmed || record_.SensorFile.size() < 5))) {
    FinishOk();
    return;
  }
  if (ContainsText(record_.PcbNumber.view(), "44943") && MainToBeUpdated()) {
    // These instruments store the new main firmware before they answer again.
    SetProgressMax(100);
    SetProgressPosition(0);
    clock_.SecTimer.start();
    wait.DelayTime(32000, false);
    clock_.SecTimer.stop();
    SetProgressPosition(0);
  }
  record_.DirectEntry = false;
  if (record_.SensorVersionNumber == 0 && !identification_.Parser().FramedRecordSeen())
    record_.NoSensor = true;
  wait.DelayTime(3000, false);
  if (!RunBsl430(1, record_.SensorFile.str(), true, match_.winCe || !record_.NoSensor))
    clock_.queue.PostEvent(Event::kSensorFailed);
}

void UpdateMain::RetryHandler(EventQueue& queue, WorkflowEvent& e) {
  if (!(e.kind == EventKind::kKey && e.code == Key::kOk)) return;
  e.Clear();
  queue.Unsubscribe(&retryHandler_);
  BeginRunRecord();
  ArmReplyWatchdog();
  if (match_.preLoader) {
    clock_.queue.PostEvent(Event::kMainTransfer);
  } else {
    phase_ = RunPhase::ExtraFile;
    clock_.queue.PostEvent(MainMethod().RetryEvent());
  }
  SetOkEnabled(false);
  MemoClear();
  clock_.SecTimer.stop();
  SetProgressPosition(0);
}

void UpdateMain::MenuProgrammingHandler(EventQueue& queue, WorkflowEvent& e) {
  if (e.kind != EventKind::kNotify) return;
  switch (e.code) {
    case Reply::kStored:
      e.Clear();
      labStart_.stop();
      queue.Unsubscribe(&menuHandler_);
      clock_.queue.PostKey(Key::kOk);
      MemoClear();
      return;
    case Event::kAcknowledge:
      // The laboratory firmware's greeting: it runs, and may greet with "!"
      // as well as with reply 30. Its "!" must not count as a step of a run.
      if (!labStart_.isActive()) return;
      e.Clear();
      SearchAfterLabImage();
      return;
    case Event::kTransferFailed:
    case Event::kSensorFailed: {
      int code = e.code;
      e.Clear();
      FinishAbort(code);
      return;
    }
    case Event::kRetryAck:
      e.Clear();
      MemoAdd(FillPlaceholders(InfoText(InfoProgramming, settings_.language)));
      SetOkEnabled(false);
      if (RunExternalProgram("TestDevice.mot") != 0) {
        clock_.queue.PostEvent(Event::kTransferFailed);
        return;
      }
      MemoAdd(InfoText(InfoStoring, settings_.language));
      clock_.SecTimer.start();
      SetProgressPosition(1);
      UpdateCom.Close();
      wait.DelayTime(3000, false);
      clock_.queue.PostKey(Key::kOk);
      MemoClear();
      match_.preLoader = true;
      queue.Unsubscribe(&menuHandler_);
      return;
    case Event::kLabDownload: {
      e.Clear();
      SetOkEnabled(false);
      std::string file = record_.ProgDefFile.size() > 4 ? record_.ProgDefFile.str() : "LabXXX.txt";
      // From the menu the loader has not been woken yet: it needs its SYNC.
      if (RunBsl430(match_.bslCommandIndex, file, !guards_.labAfterProbe, false)) {
        MemoAdd(InfoText(InfoStoring, settings_.language));
        SetProgressPosition(1);
        UpdateCom.ChangeV24Parameter(B__4800, S_2, NoParity, true);
        // A greeting at 4800 starts the search at once; a firmware that
        // runs at another speed, and is not heard here, is found by the
        // search at the speeds of the settings once it had time to start.
        labStart_.start();
      } else {
        clock_.queue.PostEvent(Event::kTransferFailed);
      }
      return;
    }
    default: return;
  }
}

void UpdateMain::SearchAfterLabImage() {
  labStart_.stop();
  if (guards_.stopping || !clock_.queue.IsSubscribed(&menuHandler_)) return;
  clock_.queue.Unsubscribe(&menuHandler_);
  MemoClear();
  clock_.queue.PostKey(Key::kOk);
  PumpEvents();
}

namespace {

// Size of a delivered file; 0 when it cannot be told.
std::uintmax_t FileBytes(const std::string& folder, const std::string& name) {
  if (name.empty()) return 0;
  std::error_code error;
  const std::filesystem::path path =
      folder.empty() ? std::filesystem::path(name) : std::filesystem::path(folder) / name;
  if (!std::filesystem::is_regular_file(path, error)) return 0;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  return error ? 0 : size;
}

}  // namespace

void UpdateMain::ShowDuration(int mode) {
  const std::string folder = ProgramFolder();
  std::vector<DurationPart> parts;
  if (mode == 2) {
    // Windows-CE programs (with their list) or an Intel-hex image.
    DurationPart part{DurationMethod::LoaderProgram, FileBytes(folder, record_.MainFile.str()),
                      38400, 15};
    if (match_.loaderKind == kLoaderWinCe) {
      part.method = DurationMethod::WinCe;
      for (const auto& name : record_.DownloadList) part.bytes += FileBytes(folder, name.str());
    }
    parts.push_back(part);
  } else if (MainToBeUpdated()) {
    const std::uintmax_t bytes = FileBytes(folder, record_.MainFile.str());
    if (mode == 1)
      parts.push_back({DurationMethod::Msp430, bytes, 9600, 2});
    else
      parts.push_back(
          {DurationMethod::LoaderProgram, bytes, record_.MainFileMarker ? 9600 : 38400, 2});
  }
  if (SensorToBeUpdated()) {
    if (record_.SensorVersionNumber > 200) {
      // The Basic-Loader's image: which variant is told only later.
      const std::uintmax_t bytes =
          std::max(FileBytes("", TermProg::kFileVariant0), FileBytes("", TermProg::kFileOther));
      parts.push_back({DurationMethod::BasicLoader, bytes, 19200, 1});
    } else {
      parts.push_back(
          {DurationMethod::Msp430, FileBytes(folder, record_.SensorFile.str()), 9600, 1});
    }
  }
  if (record_.ExtraFile.size() > 3)
    parts.push_back(
        {DurationMethod::LoaderProgram, FileBytes(folder, record_.ExtraFile.str()), 38400, 2});
  MemoClear();
  MemoAdd(ReplaceFirstX(InfoText(InfoDuration, settings_.language),
                        std::to_string(EstimateMinutes(parts))));
}

void UpdateMain::SendClock(bool seconds) {
  std::string command = Command::kClock;
  if (seconds) {
    // Whole seconds since 31 December 2002, 00:00 local time.
    std::tm epoch{};
    epoch.tm_year = 2002 - 1900;
    epoch.tm_mon = 11;
    epoch.tm_mday = 31;
    epoch.tm_isdst = -1;
    const std::time_t base = std::mktime(&epoch);
    const std::time_t now = std::time(nullptr);
    command += std::to_string(static_cast<unsigned long>(now > base ? now - base : 0));
  } else {
    // Local date and time as days since 30 December 1899 with the day's fraction.
    const QDateTime now = QDateTime::currentDateTime();
    const QDate base(1899, 12, 30);
    const double days = static_cast<double>(base.daysTo(now.date())) +
                        now.time().msecsSinceStartOfDay() / 86400000.0;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6f", days);
    command += buf;
  }
  command += "\r\n";
  if (match_.startCommandIndex == 2) {
    UpdateCom.LoadLastV24Parameter();
    wait.DelayTime(500, false);
  }
  SendCommand(command);
}

void UpdateMain::FinishOk() {
  if (guards_.endedAfterStop) return;
  wait.DelayTime(3000, true);
  if (guards_.stopping) {
    // Interrupted while the meter finishes: the ending must say so.
    FinishAbort(kEndedWithoutRetry);
    return;
  }
  if (match_.startCommandIndex == 2) UpdateCom.LoadLastV24Parameter();
  SendCommand(std::string(FinalCommand(match_.loaderKind)));
  MemoAdd(FillPlaceholders(InfoText(InfoDownloadOk, settings_.language)));
  SetIdentity(IdentityField::Software, record_.MainFileVersion.str());
  SetOkEnabled(false);
  clock_.SecTimer.stop();
  SetProgressPosition(0);
  SetTitleProgress("", -1000);
  // Only failed searches in a row end the program: a bench that updates
  // meter after meter must not quit when one is not plugged in yet.
  search_.ResetFailedSearches();
  EndRun(RunOutcome::Success);
}

void UpdateMain::FinishAbort(int code) {
  if (guards_.endedAfterStop) return;
  clock_.replyWatchdog.stop();
  clock_.loaderSilence.stop();
  guards_.bootCommandPending = false;
  MemoClear();
  // A loader can meet the hang-up before its notice is delivered: the lost
  // line is taken from the port now, so that the cause still comes first
  // (the notice then finds it told).
  if (guards_.lostDevice.empty()) guards_.lostDevice = UpdateCom.TakeLostDevice();
  // The cause first: the abort text tells what to do about it.
  if (!guards_.lostDevice.empty())
    MemoAdd(PortDisconnectedText(guards_.lostDevice, settings_.language));
  if ((guards_.stopping || !guards_.lostDevice.empty()) && !guards_.confirmedFile.empty()) {
    // Interrupted or unplugged after the meter confirmed its firmware: the
    // transfer is done, only the run's end is missing.
    const std::string& file = guards_.confirmedFile;
    MemoAdd(settings_.language == 1
                ? "The transfer of " + file +
                      " has completed; the run was interrupted after it.\r\n"
                : "Die \xDC"
                  "bertragung von " +
                      file + " ist abgeschlossen; der Lauf wurde danach unterbrochen.\r\n");
  } else {
    MemoAdd(FillPlaceholders(table_.texts.Abbruchtext(settings_.language).view()));
  }
  SetOkEnabled(true);
  // After an unplug the next OK searches again: the meter may come back on
  // another port.
  if (guards_.lostDevice.empty() && code == Event::kTransferFailed && !guards_.stopping &&
      !clock_.queue.IsSubscribed(&retryHandler_))
    clock_.queue.Subscribe(&retryHandler_);
  EndRun(RunOutcome::Failed);
}

void UpdateMain::EndRun(RunOutcome outcome, RunEnd how) {
  clock_.replyWatchdog.stop();
  if (guards_.stopping) guards_.endedAfterStop = true;
  EndRunRecord(outcome, how);
  view_->RunEnded(outcome);
}

bool UpdateMain::RetryOffered() const {
  return !guards_.stopping && clock_.queue.IsSubscribed(&retryHandler_);
}

void UpdateMain::SendBootCommand(const std::string& command) {
  // Once the meter is in its boot loader only the loader program gets it
  // out again: make sure the program can run before the meter goes there.
  if (!MainMethod().Ready()) {
    FinishAbort(kEndedWithoutRetry);
    return;
  }
  guards_.bootCommandPending = true;
  SendCommand(command);
}

bool UpdateMain::ProbingForLoader() const {
  return !guards_.stopping && guards_.transferDepth == 0 && identification_.TimeoutHeld() &&
         search_.FoundInBootLoaderPass();
}

bool UpdateMain::Interrupt() {
  if (guards_.stopping) {
    // A second signal while a loader program still runs: no more grace.
    methods_.KillPrograms();
    return true;
  }
  // The loader program has reported success and the image is in the
  // meter: the run ends as it would have, with its own ending.
  if (methods_.ProgramSucceeded()) return false;
  guards_.stopping = true;
  methods_.CancelPrograms();
  identification_.ReleaseTimeout();
  search_.Stop();
  SetWaitPanelVisible(false);
  // A running loader program: its end fails the transfer, which ends the run.
  if (methods_.StopRunningProgram(ExternalLoader::kStopGraceMs)) return true;
  EscapeKey();  // a bootstrap-loader download fails on it and ends the run
  if (!TransferActive()) FinishAbort(kEndedWithoutRetry);
  return true;
}

// A loader program that reported success hands back a meter that restarts
// and answers within this time; silence means the image did not arrive.
void UpdateMain::LoaderSilenceExpired() {
  if (guards_.transferDepth > 0 || guards_.endedAfterStop) return;
  MemoAdd(settings_.language == 1
              ? "The loader program reported success, but the instrument does not answer.\r\n"
              : "Das Ladeprogramm meldete Erfolg, aber das Ger\xE4t antwortet nicht.\r\n");
  clock_.queue.PostEvent(Event::kTransferFailed);
  PumpEvents();
}

void UpdateMain::ArmReplyWatchdog() { clock_.replyWatchdog.start(); }

// Between the identification and the end of a run the instrument answers
// commands that no time-out of the search or of a loader supervises; a meter
// that falls silent there must not leave the run waiting for ever.
void UpdateMain::ReplyWatchdogExpired() {
  if (TransferActive()) return;  // the transfer supervises itself
  clock_.replyWatchdog.stop();
  MemoAdd(settings_.language == 1 ? "The instrument does not answer.\r\n"
                                  : "Das Ger\xE4t antwortet nicht.\r\n");
  clock_.queue.PostEvent(Event::kTransferFailed);
  PumpEvents();
}

void UpdateMain::OnPortDisconnected() {
  const std::string path = UpdateCom.TakeLostDevice();
  if (path.empty()) return;  // already told, or the port has been reopened since
  const bool inRun = guards_.transferDepth > 0 || clock_.replyWatchdog.isActive();
  if (!inRun) {
    // A probe of the search: its time-out moves on to the next port.
    MemoAdd(PortDisconnectedText(path, settings_.language));
    return;
  }
  guards_.lostDevice = path;
  clock_.replyWatchdog.stop();
  if (guards_.transferDepth > 0) {
    // The loader ends as on Escape; its failure ends the run.
    clock_.queue.PostKey(Key::kEscape);
  } else {
    clock_.queue.PostEvent(Event::kTransferFailed);
  }
  PumpEvents();
}
