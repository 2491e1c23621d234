#pragma once
// TWinCEProg: sends the firmware files of a Windows-CE instrument through
// its normal command interface. The line goes up to 38400 baud, each file
// is announced with name, time stamp and size and sent in data frames the
// instrument confirms one by one, the download list follows, and the
// instrument and the port go back to the speed they had. The tool only
// sends the programs; the instrument runs them.
#include <cstdint>
#include <string>
#include <vector>

#include "core/Events.h"
#include "core/WorkflowCodes.h"
#include "loaders/WinCeFrame.h"
#include "platform/BoundedFile.h"
#include "serial/V24Parameter.h"

class LoaderHost;

// Workflow events the transfer listens to while it runs.
namespace WinCeEvent {
inline constexpr int32_t kConfirmed = Event::kAcknowledge;
inline constexpr int32_t kRejected = Event::kRejected;
inline constexpr int32_t kSkipFile = Reply::kSkipFile;
inline constexpr int32_t kFrameFault = Reply::kFrameFault;
inline constexpr int32_t kEscapeKey = Key::kEscape;
}  // namespace WinCeEvent

// Where a file of the transfer is read: names are relative to the
// program's folder, where the firmware files are delivered.
std::string WinCeFilePath(const std::string& name);

class TWinCEProg {
 public:
  static constexpr int kConfirmTimeoutMs = 5000;
  static constexpr std::size_t kFileBufferSize = 3000000;
  static constexpr int kSpeedChangeWaitMs = 2000;
  static constexpr int kEndWaitMs = 500;
  static constexpr BaudTag kTransferBaud = B_38400;

  explicit TWinCEProg(LoaderHost& host);
  ~TWinCEProg();
  TWinCEProg(const TWinCEProg&) = delete;
  TWinCEProg& operator=(const TWinCEProg&) = delete;

  // The whole transfer of fileName and then the record's download list;
  // true when the instrument confirmed the whole conversation. mode is
  // accepted and not used. Names relative to the program's folder are
  // looked for there and announced as given. Every file of the transfer is
  // checked before the instrument hears a byte: one that is missing, no
  // regular file, too large or unreadable is reported in a message box
  // naming it. An instrument that does not answer the start command at the
  // line's speed is tried once at the transfer speed, where a transfer
  // that failed midway leaves it; it goes back to the line's speed at the
  // end as usual.
  bool Transfer(int mode, const std::string& fileName, bool forceNewAnnounce);
  // The files the instrument abandoned with reply 260, in order: they were
  // not transferred, although the transfer as a whole succeeds.
  const std::vector<std::string>& SkippedFiles() const { return skipped_; }
  // Writes the text to the port and the traffic log; false when the port
  // did not take it.
  bool SendText(const std::string& text);

  // A shorter confirmation time-out for tests.
  void SetConfirmTimeout(int ms) { confirmTimeoutMs_ = ms; }

 private:
  using Step = void (TWinCEProg::*)();

  // Transfer frame and event handler (WinCEProg.cpp).
  void OnEvent(EventQueue& queue, WorkflowEvent& event);
  void Confirmed();
  void Fail(const std::string& reason);
  bool WriteFrame();
  void WaitForSpeedChange();
  void ReleaseHeldBack();
  void ReportProgress();

  // The files (WinCeFiles.cpp).
  bool CheckEveryFile(const std::string& firstFile);
  FileCheck LoadFile(const std::string& name);
  void ShowFileFault(const std::string& name, const FileCheck& fault);
  void TryTransferSpeed();

  // Steps run by OnConfirm, in the order of a successful transfer.
  void RaiseSpeed();
  void Announce();
  void SendData();
  void EndOfFile();
  void NextFile();
  void EndOfTransfer();
  void RestoreSpeed();
  void Done();
  void ResendFrame();

  LoaderHost& host;
  MemberSubscriber<TWinCEProg> subscriber;
  int confirmTimeoutMs_ = kConfirmTimeoutMs;
  int language = 0;

  bool failed = false;
  bool finished = false;
  bool speedRaised = false;
  bool triedTransferSpeed = false;  // the start command went out again at 38400
  bool forceNewAnnounce = false;
  // Inside the wait after a speed command: what the instrument sends then
  // is handled once the line runs at the new speed.
  bool waitingForSpeed = false;
  std::vector<WorkflowEvent> heldBack;

  std::vector<uint8_t> fileBuffer;  // at most kFileBufferSize bytes
  int32_t timerId = 0;
  int32_t position = 0;
  int32_t fileCounter = 0;
  Step OnConfirm = nullptr;
  Step OnReject = nullptr;  // the instrument's "?" changes nothing
  int32_t fileSize = 0;
  BaudTag savedSpeed = B__4800;
  std::string fileName;
  std::vector<std::string> skipped_;

  wince::Frame lastFrame{};
  std::size_t lastFrameLength = 0;
};
