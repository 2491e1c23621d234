// TWinCEProg: the transfer frame, the event handler and the steps of the
// conversation, each run by the instrument's confirmation of the one before.
#include "loaders/WinCEProg.h"

#include <algorithm>
#include <cstdlib>

#include "core/DeviceRecord.h"
#include "core/LoaderHost.h"
#include "core/Timer.h"
#include "loaders/DosFileTime.h"
#include "serial/ComPort.h"
#include "serial/Delay.h"

TWinCEProg::TWinCEProg(LoaderHost& h) : host(h), subscriber(this, &TWinCEProg::OnEvent) {}

TWinCEProg::~TWinCEProg() {
  // Only an interrupted Transfer can leave the handler or the timer behind.
  if (host.Events().IsSubscribed(&subscriber)) host.Events().Unsubscribe(&subscriber);
  if (timerId != 0) timerId = host.Timers().ReleaseTimeout(timerId);
}

bool TWinCEProg::Transfer(int /*mode*/, const std::string& name, bool force) {
  language = host.Language();
  host.SetProgressPosition(0);
  failed = finished = false;
  TComPort& port = host.Port();
  if (!port.IsOpen()) {
    host.LogLine("Windows CE: the port is not open\r\n");
    return false;
  }
  skipped_.clear();
  // Everything that can be refused is refused before the instrument hears a byte.
  if (!CheckEveryFile(name)) return false;
  if (const FileCheck fault = LoadFile(name); !fault.ok()) {
    ShowFileFault(name, fault);
    return false;
  }
  host.SetProgressMax(fileSize / static_cast<int32_t>(wince::kMaxFrameData));
  position = 0;
  fileCounter = 0;
  forceNewAnnounce = force;
  triedTransferSpeed = false;

  host.Events().Subscribe(&subscriber);
  port.SaveLastV24Parameter();
  // The speed in force, not the port's record: the search sets the speed
  // it found on the line only.
  savedSpeed = port.LineBaudrate();
  timerId = host.Timers().AcquireTimeout(confirmTimeoutMs_);
  host.SetTitleProgress("", -1);

  OnConfirm = &TWinCEProg::RaiseSpeed;
  if (!SendText(wince::kStart)) Fail("the port did not take the start command");
  while (!finished) {
    host.PumpEvents();
    if (!finished) host.WaitForMessages();
  }

  host.SetTitleProgress("", -1);
  host.Delay().DelayTime(kEndWaitMs, false);
  host.SetProgressPosition(0);
  host.Events().Unsubscribe(&subscriber);
  timerId = host.Timers().ReleaseTimeout(timerId);
  // The instrument is not told: after a failure it may not be listening.
  if (speedRaised) port.LoadLastV24Parameter();
  speedRaised = false;
  return !failed;
}

bool TWinCEProg::SendText(const std::string& text) {
  const int n = host.Port().Write(text.c_str(), static_cast<int>(text.size()), false);
  host.LogLine(text);
  return n == static_cast<int>(text.size());
}

bool TWinCEProg::WriteFrame() {
  const int length = static_cast<int>(lastFrameLength);
  if (host.Port().Write(lastFrame.data(), length, false) == length) return true;
  Fail("the port did not take a data frame");
  return false;
}

void TWinCEProg::Fail(const std::string& reason) {
  if (finished) return;
  failed = true;
  finished = true;
  host.LogLine("Windows CE: " + reason + "\r\n");
}

void TWinCEProg::OnEvent(EventQueue&, WorkflowEvent& e) {
  if (e.kind == EventKind::kKey || e.kind == EventKind::kKeyAlt) {
    if (finished || e.code != WinCeEvent::kEscapeKey) return;
    e.Clear();
    Fail("stopped by Escape");
    return;
  }
  if (e.kind == EventKind::kTimer) {
    if (timerId == 0 || e.code != timerId) return;
    e.Clear();
    if (!finished && OnConfirm == &TWinCEProg::RaiseSpeed && !triedTransferSpeed &&
        savedSpeed != kTransferBaud) {
      TryTransferSpeed();
      return;
    }
    Fail("no confirmation within " + std::to_string(confirmTimeoutMs_) + " ms");
    return;
  }
  if (e.kind != EventKind::kNotify) return;
  switch (e.code) {
    case WinCeEvent::kConfirmed:
    case WinCeEvent::kRejected:
    case WinCeEvent::kSkipFile:
    case WinCeEvent::kFrameFault: break;
    default: return;
  }
  // The conversation's replies are ours while subscribed, also once it has
  // ended: a late "!" must not drive the window's workflow a step on.
  const WorkflowEvent event = e;
  e.Clear();
  if (finished) return;
  if (waitingForSpeed) {
    heldBack.push_back(event);
    return;
  }
  switch (event.code) {
    case WinCeEvent::kConfirmed: Confirmed(); return;
    case WinCeEvent::kRejected:
      if (OnReject) (this->*OnReject)();
      return;
    case WinCeEvent::kSkipFile:
      skipped_.push_back(fileName);
      host.LogLine("Windows CE: the instrument skips " + fileName + "\r\n");
      host.MemoAdd((language == 0 ? "Das Ger\xE4t hat die Datei " + fileName +
                                        " \xFC"
                                        "bersprungen."
                                  : "The instrument skipped the file " + fileName + ".") +
                   std::string("\r\n"));
      NextFile();
      return;
    case WinCeEvent::kFrameFault: {
      char* end = nullptr;
      const long value = std::strtol(event.text.c_str(), &end, 10);
      if (end != event.text.c_str() && value == 2)
        ResendFrame();
      else
        Fail("the instrument reports code 261 with " + event.text);
      return;
    }
    default: return;
  }
}

void TWinCEProg::Confirmed() {
  host.Timers().RestartTimeout(timerId);
  if (OnConfirm) (this->*OnConfirm)();
  host.SetProgressPosition(host.ProgressPosition() + 1);
  ReportProgress();
}

void TWinCEProg::ReportProgress() {
  // Files below one frame have a maximum of 0.
  const int max = host.ProgressMax() > 0 ? host.ProgressMax() : 1;
  host.SetTitleProgress("", static_cast<double>(host.ProgressPosition()) / max * 100.0);
}

// The instrument confirms a speed command at the new speed only, after the
// wait; whatever arrives during the wait is handled once it is over.
void TWinCEProg::WaitForSpeedChange() {
  waitingForSpeed = true;
  host.Delay().DelayTime(kSpeedChangeWaitMs, true);
  waitingForSpeed = false;
}

void TWinCEProg::ReleaseHeldBack() {
  for (const WorkflowEvent& event : heldBack)
    host.Events().PostEvent(event.code, event.text, event.aux);
  heldBack.clear();
}

// ------------------------------------------------------------------ steps

// A transfer that failed midway leaves the instrument at the transfer
// speed while the port went back: an OK retry finds it only there.
void TWinCEProg::TryTransferSpeed() {
  triedTransferSpeed = true;
  host.LogLine("Windows CE: no answer at " + std::to_string(BaudRateOf(savedSpeed)) +
               " baud, trying " + std::to_string(BaudRateOf(kTransferBaud)) + "\r\n");
  host.Port().ChangeV24Parameter(kTransferBaud, S_2, NoParity, false);
  speedRaised = true;  // the port goes back at the end, whatever happens
  host.Timers().RestartTimeout(timerId);
  if (!SendText(wince::kStart)) Fail("the port did not take the start command");
}

void TWinCEProg::RaiseSpeed() {
  if (!SendText(wince::SpeedCommand(BaudRateOf(kTransferBaud)))) {
    Fail("the port did not take the speed command");
    return;
  }
  WaitForSpeedChange();
  if (finished) return;
  host.Port().ChangeV24Parameter(kTransferBaud, S_2, NoParity, false);
  OnConfirm = &TWinCEProg::Announce;
  speedRaised = true;
  ReleaseHeldBack();
}

void TWinCEProg::Announce() {
  OnConfirm = &TWinCEProg::SendData;
  lastFrameLength = 0;  // a 261 now has no frame of this file to repeat
  const uint32_t stamp = DosFileTime(WinCeFilePath(fileName));
  const bool newAnnounce =
      wince::UseNewAnnounce(forceNewAnnounce, host.Record().SoftwareVersionNumber, stamp);
  if (!SendText(
          wince::AnnounceCommand(newAnnounce, fileName, stamp, static_cast<uint32_t>(fileSize))))
    Fail("the port did not take the announce of " + fileName);
}

void TWinCEProg::SendData() {
  const int32_t start = position;
  position += static_cast<int32_t>(wince::kMaxFrameData);
  if (position >= fileSize) {
    position = fileSize;
    OnConfirm = &TWinCEProg::EndOfFile;
  }
  lastFrameLength = wince::BuildDataFrame(fileBuffer.data() + start,
                                          static_cast<std::size_t>(position - start), lastFrame);
  WriteFrame();
}

void TWinCEProg::ResendFrame() {
  if (lastFrameLength == 0) {
    Fail("the instrument asks again for a frame that was not sent");
    return;
  }
  WriteFrame();
}

void TWinCEProg::EndOfFile() {
  OnConfirm = &TWinCEProg::NextFile;
  if (!SendText(wince::kEndOfFile)) Fail("the port did not take the end of " + fileName);
}

void TWinCEProg::NextFile() {
  const DeviceRecord& record = host.Record();
  const int32_t listLength = std::min<int32_t>(record.DownloadListLength,
                                               static_cast<int32_t>(record.DownloadList.size()));
  if (fileCounter >= listLength) {
    EndOfTransfer();
    return;
  }
  host.Timers().RestartTimeout(timerId);
  const std::string next = record.DownloadList[static_cast<std::size_t>(fileCounter)].str();
  ++fileCounter;
  if (const FileCheck fault = LoadFile(next); !fault.ok()) {
    Fail("cannot send " + next);
    ShowFileFault(next, fault);
    return;
  }
  host.SetProgressMax(fileSize / static_cast<int32_t>(wince::kMaxFrameData) + 1);
  host.SetProgressPosition(0);
  position = 0;
  Announce();
}

void TWinCEProg::EndOfTransfer() {
  OnConfirm = &TWinCEProg::RestoreSpeed;
  if (!SendText(wince::kEndOfTransfer)) Fail("the port did not take the end of the transfer");
}

void TWinCEProg::RestoreSpeed() {
  if (!SendText(wince::SpeedCommand(BaudRateOf(savedSpeed)))) {
    Fail("the port did not take the speed command");
    return;
  }
  WaitForSpeedChange();
  if (finished) return;
  host.Port().LoadLastV24Parameter();
  OnConfirm = &TWinCEProg::Done;
  speedRaised = false;
  ReleaseHeldBack();
}

void TWinCEProg::Done() { finished = true; }
