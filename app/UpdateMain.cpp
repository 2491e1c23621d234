#include "app/UpdateMain.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>

#include "core/Infotext.h"
#include "core/Placeholders.h"
#include "core/PortTexts.h"
#include "platform/BoundedFile.h"
#include "platform/PortHolder.h"
#include "platform/Dialogs.h"
#include "serial/ComMessages.h"

namespace {

constexpr const char* kUpdateIni = "Update.ini";
constexpr const char* kProgDeviceIni = "ProgDevice.ini";
// Shown in both languages, untranslated.
constexpr const char* kMissingUpdateIni =
    "Konfigurationsdatei 1 nicht vorhanden!!Programm wird beendet";
constexpr const char* kMissingProgDeviceIni =
    "Konfigurationsdatei 2 nicht vorhanden!!Programm wird beendet";

// A settings file that is there but refused (a directory, a FIFO, too
// large) is named with the reason in both languages; the ending is that of
// a missing file, and so is what follows.
std::string SettingsFileMessage(const char* missingText, int number, const char* name,
                                const FileCheck& check) {
  if (check.fault == FileFault::Missing) return missingText;
  const std::string n = std::to_string(number);
  return "Konfigurationsdatei " + n + " (" + name + ") " +
         FileFaultReason(check, kSettingsFileLimit, 0) + "\r\nConfiguration file " + n + " (" +
         name + ") " + FileFaultReason(check, kSettingsFileLimit, 1) + "!!Programm wird beendet";
}

}  // namespace

UpdateMain::UpdateMain(UpdateView* view, QObject* parent)
    : QObject(parent), window_(view), view_(&window_.View()) {
  for (std::size_t i = 0; i < clock_.poolTimers.size(); ++i) {
    clock_.poolTimers[i].setObjectName(QString("Timer%1").arg(i + 1));
    const int tag = static_cast<int>(i + 1);
    connect(&clock_.poolTimers[i], &QTimer::timeout, this, [this, tag] { TimerIntervall(tag); });
  }
  clock_.SecTimer.setObjectName("SecTimer");
  clock_.SecTimer.setInterval(500);
  connect(&clock_.SecTimer, &QTimer::timeout, this, &UpdateMain::SecTimerTimer);
  // Simulator runs may shorten every time-out; the instruments' own
  // figures are the defaults.
  if (const char* divisor = std::getenv("UPDATE_TIMEOUT_DIVISOR")) {
    const long n = std::strtol(divisor, nullptr, 10);
    if (n >= 1 && n <= 1000) clock_.timers.SetDivisor(static_cast<int>(n));
  }
  clock_.replyWatchdog.setInterval(clock_.TimeLimit(kReplyTimeoutMs));
  connect(&clock_.replyWatchdog, &QTimer::timeout, this, &UpdateMain::ReplyWatchdogExpired);
  clock_.loaderSilence.setSingleShot(true);
  clock_.loaderSilence.setInterval(clock_.TimeLimit(kLoaderRestartMs));
  connect(&clock_.loaderSilence, &QTimer::timeout, this, &UpdateMain::LoaderSilenceExpired);
  labStart_.setSingleShot(true);
  labStart_.setInterval(clock_.TimeLimit(kLabStartMs));
  connect(&labStart_, &QTimer::timeout, this, &UpdateMain::SearchAfterLabImage);
  methods_.SetTimeLimit(clock_.TimeLimit(kLoaderProgramLimitMs));
  // After a success the Basic-Loader's silence ends the run.
  methods_.basicLoader.OnQuietEnd([this](bool whole) {
    if (whole) {
      // The last blocks' progress came after the loader's success line.
      SetTitleProgress("", -1000);
      EndRun(RunOutcome::Success);
      return;
    }
    // The loader's own success line came while part of the file had not
    // reached it: the window must not end on that line.
    MemoClear();
    MemoAdd(settings_.language == 1
                ? "Not every byte of the sensor firmware reached the instrument.\r\n"
                : "Nicht alle Bytes der Sensor-Firmware haben das Ger\xE4t erreicht.\r\n");
    MemoAdd(FillPlaceholders(table_.texts.Abbruchtext(settings_.language).view()));
    SetOkEnabled(true);
    EndRun(RunOutcome::Failed);
  });
  // What a waiting window holds back: the serial notifications and the
  // workflow's timers (the progress timers keep running).
  holding_.HoldEventsOf(this);
  for (auto& t : clock_.poolTimers) holding_.HoldEventsOf(&t);
  for (QTimer* t : {&clock_.replyWatchdog, &clock_.loaderSilence, &labStart_,
                    methods_.basicLoader.QuietTimer()})
    holding_.HoldEventsOf(t);

  // The port as the form configures it: 8 data bits, 2 stop bits, 4800 baud,
  // NUL bytes discarded, a long write time-out for slow instruments.
  V24ParameterTag* rec = UpdateCom.GetV24Parameter();
  rec->DatenBits = D_8;
  rec->StopBits = S_2;
  rec->Baudrate = B__4800;
  rec->TXTimeOut = 10'000;  // ms
  rec->KeinNullZeichen = true;
  UpdateCom.SetDatei("ComData.cfg");
  wait.SetEnable(true);
  wait.SetDividend(1);
  ConnectSearch();
  identification_.hooks.send = [this](const std::string& command) { SendCommand(command); };
  identification_.hooks.log = [this](const std::string& line) { LogLine(line); };
}

UpdateMain::~UpdateMain() { Shutdown(); }

void UpdateMain::Shutdown() {
  guards_.stopping = true;
  methods_.CancelPrograms();
  // A run still going when the program ends was cut off.
  if (recorder_.Active()) {
    recorder_.NoteInterrupted();
    EndRunRecord(RunOutcome::Failed, RunEnd::Failed);
  }
  clock_.StopAll();
  methods_.basicLoader.Stop();
  clock_.loaderSilence.stop();
  methods_.KillPrograms();
  search_.Stop();
  UpdateCom.Close();
}

bool UpdateMain::Construct() {
  match_.firmwareFiles.clear();
  match_.firmwareFiles.reserve(kFirmwareListCapacity);
  clock_.RegisterPool();

  std::vector<std::string> notes;
  FileCheck refusal;
  if (ReadUpdateIni(kUpdateIni, settings_, &notes, &refusal) != 0) {
    ShowMessageBox("Error", SettingsFileMessage(kMissingUpdateIni, 1, kUpdateIni, refusal),
                   MsgIcon::Error);
    view_->RunEnded(RunOutcome::ProgramEnds);
    return false;
  }
  recorder_.Configure();
  view_->SetMenuChecked("Deutsch", settings_.language == 0);
  view_->SetMenuChecked("Englisch", settings_.language == 1);
  if (ReadProgDeviceIni(kProgDeviceIni, table_, &notes, &refusal) != 0) {
    ShowMessageBox("Error", SettingsFileMessage(kMissingProgDeviceIni, 2, kProgDeviceIni, refusal),
                   MsgIcon::Error);
    view_->RunEnded(RunOutcome::ProgramEnds);
    return false;
  }
  match_.startCommandIndex = table_.StartCommandIndex;
  match_.loaderKind = table_.loaderKind;
  UpdateCom.SetLanguage(settings_.language);
  UpdateCom.SetFailureText(PortFailureText);

  versionGuard_ = true;
  clock_.queue.Subscribe(&workflowHandler_);

  UpdateCom.Check_AllV24();
  const int firstPort =
      settings_.fixedPort ? settings_.fixedPortIndex : UpdateCom.Get_UseableV24(0);
  if (settings_.fixedPort || UpdateCom.GetMaxV24Useable() > 0) {
    SetStatusPanel(0, "Com" + std::to_string(firstPort + 1));
    view_->SetStatusHint(0, UpdateCom.DevicePath(firstPort));
  } else {
    SetStatusPanel(0, InfoText(InfoNoPort, settings_.language));
  }

  identification_.Parser().ResetFramedRecordSeen();
  match_.usbOnly = false;
  clock_.pumpReentry = 0;

  ApplyFirmwareScan();
  ShowStartText();
  for (const auto& note : notes) MemoAdd(note + "\r\n");
  view_->TranslateWindow(InfoText(InfoLanguageFile, settings_.language));
  if (ProcessRunning("ModemManager")) MemoAdd(ModemManagerHintText(settings_.language));
  return true;
}

void UpdateMain::ShowStartText() {
  MemoAdd(FillPlaceholders(table_.texts.Starttext(settings_.language).view()));
}

// --- event plumbing -------------------------------------------------------

void UpdateMain::PumpEvents() {
  // A loader's own timer during a wait: the pump follows the held events.
  if (holding_.Holding()) {
    holding_.Defer([this] { PumpEvents(); });
    return;
  }
  for (;;) {
    WorkflowEvent e = clock_.queue.FetchEvent();
    if (e.IsEmpty()) break;
    clock_.queue.DispatchEvent(std::move(e));
    e = clock_.queue.FetchEvent();
    if (e.IsEmpty()) break;
    clock_.queue.DispatchEvent(std::move(e));
    if (clock_.insidePump) {
      if (++clock_.pumpReentry >= 10) clock_.pumpReentry = 0;
    } else {
      clock_.insidePump = true;
      QCoreApplication::processEvents();
      clock_.insidePump = false;
    }
  }
}

void UpdateMain::WaitForMessages() {
  QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void UpdateMain::customEvent(QEvent* event) {
  const auto* msg = AsComMessage(event);
  if (!msg) return;
  if (msg->message == WM_COM_RXDATA) {
    if (clock_.replyWatchdog.isActive()) clock_.replyWatchdog.start();
    if (clock_.loaderSilence.isActive()) {
      clock_.loaderSilence.stop();  // the meter is back after its loader program
      guards_.confirmedFile = guards_.programFile;
    }
    clock_.queue.PostEvent(Event::kDataReceived);
    PumpEvents();
  } else if (msg->message == WM_COM_FRAMEERROR) {
    OnFramingError(msg->wParam);
  } else if (msg->message == WM_COM_DISCONNECT) {
    OnPortDisconnected();
  }
}

void UpdateMain::TimerIntervall(int tag) {
  if (tag < 1 || tag > static_cast<int>(clock_.poolTimers.size())) return;
  if (!clock_.poolTimers[tag - 1].isActive()) return;
  clock_.queue.PostTimer(tag);
  PumpEvents();
}

void UpdateMain::OkBitBtnClick() {
  clock_.queue.PostKey(Key::kOk);
  PumpEvents();
}

void UpdateMain::EscapeKey() {
  // Escape stops a transfer: during a wait it comes after what the wait holds.
  if (holding_.Holding()) {
    holding_.Defer([this] { EscapeKey(); });
    return;
  }
  recorder_.NoteEscape();
  clock_.queue.PostKey(Key::kEscape);
  PumpEvents();
}

void UpdateMain::SecTimerTimer() { SetProgressPosition(window_.ProgressPosition() + 1); }

// --- window state ---------------------------------------------------------

void UpdateMain::MemoAdd(const std::string& text) {
  if (!insideLogLine_) recorder_.NoteMessage(text);
  window_.MemoAdd(text);
}

void UpdateMain::MemoClear() { window_.MemoClear(); }

void UpdateMain::LogLine(const std::string& text) {
  if (!trafficLog_) return;
  insideLogLine_ = true;
  MemoAdd(FillPlaceholders(text));
  insideLogLine_ = false;
}

std::string UpdateMain::FillPlaceholders(std::string_view text) {
  PlaceholderValues v;
  v.mainFile = record_.MainFile.str();
  v.deviceName = record_.DeviceName.str();
  v.comNumber = CurrentComNumber();
  v.language = settings_.language;
  return ::FillPlaceholders(text, v);
}

void UpdateMain::SetStatusPanel(int index, const std::string& text) {
  window_.SetStatusPanel(index, text);
}

void UpdateMain::SetProgressPosition(int position) { window_.SetProgressPosition(position); }

void UpdateMain::SetProgressMax(int max) { window_.SetProgressMax(max); }

void UpdateMain::SetOkEnabled(bool enabled) { window_.SetOkEnabled(enabled); }

void UpdateMain::SetWaitPanelVisible(bool visible) { view_->SetWaitPanelVisible(visible); }

void UpdateMain::SetIdentity(IdentityField field, const std::string& text) {
  view_->SetIdentity(field, text);
}

void UpdateMain::ClearIdentity() {
  for (auto f :
       {IdentityField::Name, IdentityField::Serial, IdentityField::Pcb, IdentityField::Software})
    SetIdentity(f, "");
}

std::string UpdateMain::Caption(bool error) const {
  return InfoText(error ? InfoCaptionError : InfoCaptionInfo, settings_.language);
}

void UpdateMain::SetTitleProgress(const std::string& prefix, double percent) {
  window_.SetTitleProgress(prefix, percent, InfoText(InfoTitleDone, settings_.language));
}

bool UpdateMain::SendCommand(const std::string& command) {
  int n = UpdateCom.Write(command.c_str(), -1, false);
  LogLine(command);
  return n >= 0;
}
