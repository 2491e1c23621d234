// The search for an instrument over ports and baud rates, the reply parser
// hook-up and the identification dialogue.
#include <QCoreApplication>

#include "app/CommandTexts.h"
#include "app/FileVersion.h"
#include "app/FirmwareSelection.h"
#include "app/UpdateMain.h"
#include "app/VersionCheck.h"
#include "core/Infotext.h"
#include "core/PortTexts.h"
#include "core/Stringunit.h"
#include "platform/Dialogs.h"
#include "platform/ProgramDir.h"

namespace {

constexpr int kSearchTimeoutMs = 5000;
// A port whose line keeps giving framing errors (a meter at another speed,
// noise) is probed again this often, then the search moves on.
constexpr int kMaxFramingReprobes = 3;

// Everything up to and including the first comma goes.
template <std::size_t N>
bool DropUpToComma(FixedText<N>& field) {
  std::size_t comma = field.view().find(',');
  if (comma == std::string_view::npos) return false;
  field = std::string(field.view().substr(comma + 1));
  return true;
}

}  // namespace

void UpdateMain::StartSearch() {
  if (stopping_) return;
  BeginRunRecord();
  replyWatchdog_.stop();
  lostDevice_.clear();
  loaderSilence_.stop();
  bootCommandPending_ = false;
  UpdateCom.Close();
  UpdateCom.Check_AllV24();
  portCount_ = settings_.fixedPort ? 1 : UpdateCom.GetMaxV24Useable();
  portBaud_.assign(static_cast<std::size_t>(portCount_ > 0 ? portCount_ : 1), B__2400);
  portIndex_ = -1;
  identStep_ = 0;
  V24ParameterTag* rec = UpdateCom.GetV24Parameter();
  rec->Paritaet = NoParity;
  rec->StopBits = S_2;
  UpdateCom.InitParameter(rec, false);
  baudIndex_ = 0;

  // What an earlier run changed for itself.
  startCommandIndex_ = table_.StartCommandIndex;
  bslCommandIndex_ = 0;
  step_ = startCommandIndex_ == 1 ? 1 : 0;
  bootCommand_ = Command::kBoot;
  refused_ = false;
  framingError_ = false;
  framingReprobes_ = 0;
  usbOnly_ = false;
  winCe_ = false;
  record_.Clear();
  SetOkEnabled(false);
  SecTimer.stop();
  SetProgressPosition(0);
  timeoutHandle_ = timers_.ReleaseTimeout(timeoutHandle_);
  timeoutHandle_ = timers_.AcquireTimeout(kSearchTimeoutMs);
  SetWaitPanelVisible(true);
  ProbeNextPort(true);
}

bool UpdateMain::ProbeNextPort(bool advance) {
  if (advance) {
    ++portIndex_;
    framingError_ = false;
    framingReprobes_ = 0;
  }
  if (portIndex_ < portCount_) {
    comPort_ = settings_.fixedPort ? settings_.fixedPortIndex : UpdateCom.Get_UseableV24(portIndex_);
    SetStatusPanel(0, "Com" + std::to_string(comPort_ + 1));
    view_->SetStatusHint(0, UpdateCom.DevicePath(comPort_));
    uint8_t& baud = portBaud_[static_cast<std::size_t>(portIndex_)];
    const bool bootLoaderPhase = baudIndex_ >= settings_.baudList.size();
    if (!bootLoaderPhase) {
      baud = settings_.baudList[baudIndex_];
      SetStatusPanel(1, BaudName(baud));
    } else {
      parser_.Clear();
      V24ParameterTag* rec = UpdateCom.GetV24Parameter();
      rec->StopBits = S_1;
      if (loaderKind_ == kLoaderTiTxt) {
        rec->Paritaet = Even;
        rec->Baudrate = B__9600;
        baud = B__9600;  // the bootstrap loader listens at 9600 baud
      }
      UpdateCom.InitParameter(rec, false);
      SetStatusPanel(1, "BL-Baud");
    }
    if (advance) {
      UpdateCom.Close();
      UpdateCom.Open(this, comPort_, true);
      if (UpdateCom.IsOpen() && UpdateCom.LineFault() != LineCheck::Ok)
        MemoAdd(LineFaultText(UpdateCom.DevicePath(comPort_), UpdateCom.LineFault(), UpdateCom.LineError(),
                              settings_.language));
      wait.DelayTime(200, false);
    }
    parser_.Clear();
    UpdateCom.ChangeBaudrate(static_cast<BaudTag>(baud));
    // Bytes that came at the old rate would be parsed as garbage at the new one.
    UpdateCom.PurgeInput();
    wait.DelayTime(200, false);
    if (!bootLoaderPhase) {
      UpdateCom.Write(Command::kWakeUp, -1, false);
      wait.DelayTime(500, true);
      SendCommand(std::string(StartCommand(startCommandIndex_)));
    } else {
      timeoutHandle_ = timers_.ReleaseTimeout(timeoutHandle_);
      std::string abort = FillPlaceholders(table_.texts.Abbruchtext(settings_.language).view());
      std::size_t first = abort.find("\r\n");
      std::size_t second = first == std::string::npos ? first : abort.find("\r\n", first + 2);
      if (loaderKind_ == kLoaderTiTxt && !hintShown_ && second != std::string::npos) {
        hintShown_ = true;
        std::string hint = abort.substr(first + 2, second + 2 - (first + 2)) +
                           InfoText(InfoConfirmOk, settings_.language);
        UpdateCom.Close();
        ShowMessageBox(Caption(false), hint, MsgIcon::Info);
        UpdateCom.Open(this, comPort_, true);
      }
      timeoutHandle_ = timers_.AcquireTimeout(kSearchTimeoutMs);
      std::string_view wake = WakeUpBytes(loaderKind_);
      UpdateCom.Write(wake.data(), static_cast<int>(wake.size()), false);
    }
    return true;
  }
  if (portIndex_ >= portCount_) {
    portIndex_ = -1;
    ++baudIndex_;
    if (baudIndex_ > settings_.baudList.size()) {
      SearchFailed();
      return false;
    }
    return ProbeNextPort(true);
  }
  return true;
}

void UpdateMain::SearchFailed() {
  // The pre-loader flag stays: once a pre-loader ran it counts until the end.
  downloadConfirmed_ = false;
  sensorPresent_ = false;
  identStep_ = 0;
  timeoutHandle_ = timers_.ReleaseTimeout(timeoutHandle_);
  view_->SetMenuEnabled("TG812qProgramming", true);
  SetWaitPanelVisible(false);
  hintShown_ = false;
  UpdateCom.Close();
  ReportSkippedPorts();
  if (failedSearches_ == 0) {
    ShowMessageBox(Caption(true), FillPlaceholders(InfoText(InfoNoDevice, settings_.language)),
                   MsgIcon::Error);
    queue_.PostKey(kKeyOk);
    failedSearches_ = 1;
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
  std::vector<ParsedReply> replies;
  std::vector<std::string> lines;
  parser_.Feed(std::string_view(buffer, static_cast<std::size_t>(n)), replies, &lines);
  for (const auto& line : lines) LogLine(line + " <-\r\n");
  for (auto& r : replies) {
    if (r.hasValue) queue_.PostValue(r.code, r.value);
    else queue_.PostEvent(r.code, r.text);
  }
}

void UpdateMain::ProbeAfterTimeout() {
  const bool again = framingError_ && framingReprobes_ < kMaxFramingReprobes;
  if (again) ++framingReprobes_;
  ProbeNextPort(!again);
}

void UpdateMain::OnFramingError() {
  framingError_ = true;
  char discard[ReplyParser::kReadChunk + 1];
  UpdateCom.Read(discard, ReplyParser::kReadChunk);
  if (timeoutHandle_ != 0 && timers_.IsBusy(timeoutHandle_) &&
      framingReprobes_ < kMaxFramingReprobes) {
    ++framingReprobes_;
    timers_.RestartTimeout(timeoutHandle_);
    wait.DelayTime(500, true);
    ProbeNextPort(false);
  }
}

void UpdateMain::SendIdentificationQuery() {
  SendCommand(std::string(IdentificationQuery(identStep_)));
  timers_.RestartTimeout(timeoutHandle_);
}

void UpdateMain::Identification(const WorkflowEvent& e) {
  switch (e.code) {
    case 23: case 203: case 2013:
      record_.PcbNumber = e.text;
      timers_.RestartTimeout(timeoutHandle_);
      SendCommand(std::string(IdentificationQuery(identStep_)));
      identStep_ = 2;
      return;
    case 20: case 200: case 2010:
      record_.DeviceNumber = e.text;
      SendCommand(std::string(IdentificationQuery(identStep_)));
      timers_.RestartTimeout(timeoutHandle_);
      identStep_ = 3;
      return;
    case 208:
      record_.BasicLoaderVariant = e.text.empty() ? '\0' : e.text[0];
      SendCommand(Command::kBasicLoader);
      return;
    case 25: case 205:
      record_.SerialNumber = e.text;
      timeoutHandle_ = timers_.ReleaseTimeout(timeoutHandle_);
      break;
    default:  // 21, 201, 2011
      if (e.code == 2011 && loaderKind_ == kLoaderWinCe) {
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

  NoteMeterIdentity();
  if (MatchDevice()) {
    ArmReplyWatchdog();
    static constexpr int kEventOfKind[] = {10023, 10043, 10050, 10051};
    queue_.PostEvent(kEventOfKind[loaderKind_]);
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
    bool fileFound = false;
    for (const auto& f : firmwareFiles_)
      if (ContainsText(record_.MainFile.view(), f)) fileFound = true;
    if (!fileFound) refuse = true;
    if (!record_.BootLoaderId.empty() &&
        !ContainsText(record_.BootLoaderId.view(), record_.BootLoadKenn.view()))
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
  NoteDeviceEntry(entry);
  record_.ProzTyp = entry.ProzTyp;
  record_.SWKenn1 = entry.SWKenn1.view();
  record_.SWKenn2 = entry.SWKenn2.view();
  record_.SWKenn3 = entry.SWKenn3.view();
  record_.BootLoadKenn = entry.BootLoadKenn.view();
  record_.FlashErase1 = entry.FlashEraseNumber[0];
  record_.FlashErase2 = entry.FlashEraseNumber[1];
  record_.FlashErase3 = entry.FlashEraseNumber[2];
  record_.ProgDefFile = entry.ProgDefFile.view();
  std::vector<std::string> notes;
  loaderKind_ = TakeDeviceFiles(entry, table_, ProgramFolder(), record_, &notes);
  for (const auto& note : notes) MemoAdd(note + "\r\n");
}
