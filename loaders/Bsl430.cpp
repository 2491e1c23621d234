// T_BSL430: the download frame, the event handler and the instrument
// dialogue that puts the meter into its bootstrap loader.
#include "loaders/Bsl430.h"

#include "core/DeviceRecord.h"
#include "core/Infotext.h"
#include "core/LoaderHost.h"
#include "core/Timer.h"
#include "serial/ComPort.h"
#include "serial/Delay.h"

namespace {

constexpr const char* kFirstCommand = "A.1000\r\n";

struct InstrumentCommands {
  const char* queryVector;
  const char* enterLoader;
};
// By commandIndex: main processor, sensor, sensor of a meter without sensor.
constexpr InstrumentCommands kCommands[] = {
    {"A.5577\r\n", "A.5588#QX47\r\n"},
    {"A.5555\r\n", "A.5566#QX47\r\n"},
    {"A.5555\r\n", "A.5567#QX47\r\n"},
};
constexpr int kCommandCount = 3;

// Meters whose loader expects the alternative password vector.
constexpr int32_t kAlternativeProcessor = 62007;
constexpr const char* kAlternativePcb = "50611";

constexpr int kConfirmWaitMs = 1000;
constexpr int kLoaderStartWaitMs = 4000;  // the meter restarts into its loader
constexpr int kRestoreWaitMs = 1500;

}  // namespace

T_BSL430::T_BSL430(LoaderHost& h) : host(h), subscriber(this, &T_BSL430::OnEvent) {}

T_BSL430::~T_BSL430() {
  // Only an interrupted Download can leave the handler or the timer behind.
  if (host.Events().IsSubscribed(&subscriber)) host.Events().Unsubscribe(&subscriber);
  if (timerId != 0) timerId = host.Timers().ReleaseTimeout(timerId);
}

bool T_BSL430::Refuse(const std::string& text) {
  errorCode = BslError::kRefused;
  failureText = text;
  failed = true;
  finished = true;
  ShowFailure();
  return false;
}

std::string T_BSL430::Readiness(int language) {
  return BslConstantsRefusal(LoadBslConstants(), language);
}

bool T_BSL430::Download(int index, const std::string& fileName, bool sync, bool query) {
  language = host.Language();
  commandIndex = index;
  queryVector = query;
  syncFirst = sync;
  stepFailures = 0;
  host.SetProgressPosition(0);

  // Everything that can be refused is checked before the meter hears a byte.
  if (index < 0 || index >= kCommandCount || !host.Port().IsOpen()) {
    errorCode = BslError::kOther;
    failed = finished = true;
    ShowFailure();
    return false;
  }
  const BslConstantsResult settings = LoadBslConstants();
  if (!settings.ok()) return Refuse(BslConstantsRefusal(settings, language));
  constants = settings.constants;
  const BslImageResult read = LoadBslImage(fileName, kFirmwareImageLimits, image);
  if (!read.ok()) return Refuse(BslImageFaultText(read, fileName, language));
  // Flash takes a write only where it was erased: data over old contents
  // would fail at the read-back, after the meter's firmware is gone.
  const DeviceRecord& target = host.Record();
  const int32_t unerased =
      FirstUnerasedAddress(image, index < 1 ? target.FlashErase2 : target.FlashErase3);
  if (unerased >= 0) {
    BslImageResult notErased;
    notErased.fault = BslImageFault::NotErased;
    notErased.address = unerased;
    return Refuse(BslImageFaultText(notErased, fileName, language));
  }
  lastBlock = read.lastBlock;
  progressMax = 8 + 4 * (lastBlock + 1);
  host.SetProgressMax(progressMax);

  TComPort& port = host.Port();
  host.Events().Subscribe(&subscriber);
  port.SaveLastV24Parameter();
  timerId = host.Timers().AcquireTimeout(dialogueTimeoutMs_);
  failed = false;
  finished = false;
  host.SetTitleProgress("", -1);

  DeviceRecord& record = host.Record();
  if (record.DirectEntry) {
    std::string vectorText = constants.defaultVector;
    if (image.firstHighBlock >= 0 || record.PcbNumber.Contains(kAlternativePcb) ||
        record.ProzTyp == kAlternativeProcessor)
      vectorText = constants.alternativeVector;
    passwordVector = ParseVectorText(vectorText);
    if (record.VectorRemembered) {
      passwordVector = record.RememberedVector;
      vectorKnown = true;
    }
    StartLoaderPhase(syncFirst);
  } else {
    SendText(kFirstCommand);
  }

  while (!finished) {
    host.PumpEvents();
    if (!finished) host.WaitForMessages();
  }

  host.SetTitleProgress("", -1);
  RestoreLine();
  host.Delay().DelayTime(kRestoreWaitMs, false);
  host.SetProgressPosition(0);
  host.Events().Unsubscribe(&subscriber);
  timerId = host.Timers().ReleaseTimeout(timerId);
  if (failed) ShowFailure();
  return !failed;
}

// The new firmware greets at the instrument's own speed moments after the
// load-PC acknowledgement, so the line goes back as soon as that is in.
void T_BSL430::RestoreLine() {
  if (lineRestored) return;
  lineRestored = true;
  TComPort& port = host.Port();
  if (!failed && host.StartCommandIndex() == 2)
    port.ChangeV24Parameter(B__9600, S_2, NoParity, true);
  else
    port.LoadLastV24Parameter();
}

bool T_BSL430::SendText(const char* text) {
  host.Port().Write(text, -1, false);
  host.LogLine(text);
  return true;
}

void T_BSL430::OnEvent(EventQueue&, WorkflowEvent& event) {
  if (finished) return;
  if (event.kind == EventKind::kKey || event.kind == EventKind::kKeyAlt) {
    if (event.code != BslEvent::kEscapeKey) return;
    Fail();
    event.Clear();
    return;
  }
  if (event.kind == EventKind::kTimer) {
    if (timerId == 0 || event.code != timerId) return;
    event.Clear();
    if (bslActive) {
      // Whatever is half received belongs to the answer that did not come.
      rxCount = 0;
      lastFailureNak = false;
      ApplyFailureRule();
    } else {
      Fail();
    }
    return;
  }
  if (event.kind != EventKind::kNotify) return;

  switch (event.code) {
    case BslEvent::kDataReceived:
      if (!bslActive) {
        host.Timers().RestartTimeout(timerId);
        return;  // the window's reply parser reads the line
      }
      event.Clear();
      ReceiveBytes();
      return;
    case BslEvent::kConfirmed:
      event.Clear();
      if (!bslActive && !vectorAsked) OnInstrumentConfirmed();
      return;
    case BslEvent::kEcho:
      event.Clear();
      if (!bslActive && vectorKnown) StartLoaderPhase(true);
      return;
    case BslEvent::kRejected:
      event.Clear();
      if (bslActive) return;
      errorCode = BslError::kNoBootloader;
      Fail();
      return;
    case BslEvent::kVector80:
    case BslEvent::kVector81: {
      const std::string text = event.text;
      event.Clear();
      if (!bslActive && !vectorKnown) TakeVector(text);
      return;
    }
    default: return;
  }
}

void T_BSL430::OnInstrumentConfirmed() {
  vectorAsked = true;
  DeviceRecord& record = host.Record();
  if (record.NoSensor) commandIndex = 2;
  host.Delay().DelayTime(kConfirmWaitMs, false);
  if (queryVector) {
    SendText(kCommands[commandIndex].queryVector);
    return;
  }
  const bool alternative = image.firstHighBlock >= 0 || record.ProzTyp == kAlternativeProcessor;
  TakeVector(alternative ? constants.alternativeVector : constants.defaultVector);
}

void T_BSL430::TakeVector(const std::string& text) {
  const int32_t vector = ParseVectorText(text);
  if (vector < 0) {
    // A password built from an unreadable vector would make the loader
    // erase everything, calibration included.
    errorCode = BslError::kOther;
    Fail();
    return;
  }
  passwordVector = vector;
  vectorKnown = true;
  DeviceRecord& record = host.Record();
  record.RememberedVector = vector;
  record.VectorRemembered = true;
  SendText(kCommands[commandIndex].enterLoader);
}

void T_BSL430::StartLoaderPhase(bool withSync) {
  bslActive = true;
  timerId = host.Timers().ReleaseTimeout(timerId);
  TComPort& port = host.Port();
  port.ChangeV24Parameter(B__9600, S_1, Even, false);
  port.ChangeHandShake(NoHandshake);
  host.Delay().DelayTime(kLoaderStartWaitMs, false);
  rxCount = 0;
  timerId = host.Timers().AcquireTimeout(stepTimeoutMs_);
  if (withSync)
    SyncThen(&T_BSL430::SendPassword);
  else
    SendPassword();
  // A loader left behind by a download that failed after the speed change
  // still listens at the raised speed.
  if (host.Record().DirectEntry) OnFailure = &T_BSL430::TryRaisedSpeed;
}

void T_BSL430::TryRaisedSpeed() {
  if (!lastFailureNak) host.Port().ChangeV24Parameter(B_38400, S_1, Even, false);
  SyncThen(&T_BSL430::SendPassword);
}

void T_BSL430::ShowFailure() {
  const InfoEntry entry =
      errorCode == BslError::kNoBootloader ? InfoNoBootloader : InfoBootloaderError;
  const int shown = (errorCode >= BslError::kSync && errorCode <= BslError::kNoBootloader)
                        ? errorCode
                        : BslError::kOther;
  const int com = host.Port().OpenPort() + 1;
  host.LogLine("Bootloader: code " + std::to_string(shown) + ", COM " + std::to_string(com));
  // The loader's own two messages carry the caption "Error" in both languages.
  if (failureText.empty())
    host.ShowError("Error", InfoText(entry, language));
  else
    host.ShowError(InfoText(InfoCaptionError, language), failureText);
}
