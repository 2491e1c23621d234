#pragma once
// TermProg: the transfer of sensor firmware to the instrument's text-mode
// Basic-Loader. The loader announces itself in fixed text lines; when it
// asks for S-records the firmware file is streamed to it unchanged in
// 2000-byte background blocks, paced by RTS/CTS at 19200 baud. Everything
// is driven by events of the window's queue; the object is subscribed from
// Init until its transfer ends (Stop or ReleaseLine): after that the bytes
// the meter sends belong to whoever talks to it next.
#include <QTimer>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/Events.h"
#include "core/WorkflowCodes.h"
#include "loaders/BasicLoaderLines.h"

class LoaderHost;

namespace TermProgEvent {
inline constexpr int32_t kAbortRequest = LoaderLineCode::kAbortRequest;
inline constexpr int32_t kDataReceived = Event::kDataReceived;
inline constexpr int32_t kSendBlock = LoaderLineCode::kSendBlock;
inline constexpr int32_t kEscapeKey = Key::kEscape;
// Told to the window; the loader leaves them in the queue for it.
inline constexpr int32_t kSegmentProgrammed = Event::kSegmentProgrammed;
inline constexpr int32_t kTransferEnded = Event::kTransferEnded;
}  // namespace TermProgEvent

class TermProg {
 public:
  static constexpr std::size_t kImageCapacity = 2500000;
  static constexpr std::size_t kBlockSize = 2000;
  static constexpr std::size_t kReadChunk = 150;
  // How soon a block refused by the busy transmitter is offered again.
  static constexpr int kBusyRetryMs = 2;
  static constexpr const char* kFileVariant0 = "L3_TermH.A37";
  static constexpr const char* kFileOther = "L3_TermL.A37";

  explicit TermProg(LoaderHost& host);
  ~TermProg();
  TermProg(const TermProg&) = delete;
  TermProg& operator=(const TermProg&) = delete;

  // Subscribes to the queue (once), saves the line settings, switches the
  // port to RTS/CTS and 19200 baud and resets the transfer.
  void Init();
  void Reset();
  // Sends no further block (a block the line does not take is cut at once)
  // and puts the saved line settings back.
  void Stop();
  // Puts the line settings back that Init found (once per Init) and leaves
  // the queue.
  void ReleaseLine();

  // The folder the firmware file is looked for in ("" = current directory).
  void SetFolder(const std::string& folder) { folder_ = folder; }
  // The file of the instrument's variant, as it is named.
  std::string FileName() const;

  bool Stopped() const { return stopped_; }
  // A file is loaded and not all of it has been handed to the line.
  bool Sending() const { return !stopped_ && loaded_ && !drained_; }
  // Every byte of the file of the latest segment reached the line: handed
  // to the port and not cut by the write time-out.
  bool EveryByteSent();
  // Loader lines recognised since the object was created.
  int LinesFound() const { return linesFound_; }
  std::size_t Total() const { return image_.size(); }
  std::size_t Sent() const { return sent_; }
  // Bytes the line has taken for certain: blocks that went out whole, and
  // the part of a block cut by its time-out.
  std::size_t Confirmed() const { return confirmed_; }

 private:
  void OnEvent(EventQueue& queue, WorkflowEvent& event);
  void ReceiveAndScan();
  void Preparing();
  void StartSending();
  bool Refuse(const std::string& text);
  void SendBlock();
  void AfterCut(std::string& tag);
  void OfferAgainSoon();
  void ReportProgress(bool timedOut);
  void Success();
  void TransmissionError();
  void Abort();

  LoaderHost& host;
  MemberSubscriber<TermProg> subscriber;
  QTimer busyRetry_;
  LoaderLineBuffer lines_;
  std::vector<const LoaderLine*> found_;
  std::string image_;
  std::string folder_;
  std::size_t sent_ = 0;
  std::size_t confirmed_ = 0;
  // The block last handed to the transmitter: where it starts and its size.
  std::size_t blockStart_ = 0;
  std::size_t blockLength_ = 0;
  int questionsForBlock_ = 0;  // time-out questions since the line last took bytes
  bool stopped_ = false;
  bool loaded_ = false;
  bool drained_ = false;
  bool lineHeld_ = false;
  int linesFound_ = 0;
};
