#include "loaders/TermProg.h"

#include <algorithm>

#include "core/DeviceRecord.h"
#include "core/Infotext.h"
#include "core/LoaderHost.h"
#include "platform/Beep.h"
#include "platform/BoundedFile.h"
#include "platform/FileLookup.h"
#include "serial/ComPort.h"

namespace {

// The same text in both languages, with its blanks and carriage returns.
constexpr const char* kTimeoutText = "  Timeout in serial Interface !!  \r\r\r";
constexpr const char* kMissingFileCaption = " Error ";
constexpr const char* kWarningCaption[] = {"Warnung", "Warning"};

std::string Replace(std::string text, std::string_view from, std::string_view to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

}  // namespace

TermProg::TermProg(LoaderHost& h) : host(h), subscriber(this, &TermProg::OnEvent) {
  busyRetry_.setSingleShot(true);
  busyRetry_.setInterval(kBusyRetryMs);
  QObject::connect(&busyRetry_, &QTimer::timeout, [this] {
    host.Events().PostEvent(TermProgEvent::kSendBlock);
    host.PumpEvents();
  });
}

TermProg::~TermProg() {
  busyRetry_.stop();
  if (host.Events().IsSubscribed(&subscriber)) host.Events().Unsubscribe(&subscriber);
}

void TermProg::Init() {
  if (!host.Events().IsSubscribed(&subscriber)) host.Events().Subscribe(&subscriber);
  TComPort& port = host.Port();
  port.SaveLastV24Parameter();
  port.ChangeHandShake(RTS_CTS);
  port.ChangeBaudrate(B_19200);
  lineHeld_ = true;
  Reset();
}

void TermProg::Reset() {
  busyRetry_.stop();
  stopped_ = false;
  loaded_ = false;
  drained_ = false;
  lines_.Clear();
  image_.clear();
  sent_ = confirmed_ = blockStart_ = blockLength_ = 0;
  questionsForBlock_ = 0;
}

void TermProg::Stop() {
  stopped_ = true;
  busyRetry_.stop();
  // A block the meter holds off would keep the port until its time-out.
  if (loaded_ && !drained_) host.Port().CutWrite();
  ReleaseLine();
}

void TermProg::ReleaseLine() {
  if (host.Events().IsSubscribed(&subscriber)) host.Events().Unsubscribe(&subscriber);
  if (!lineHeld_) return;
  lineHeld_ = false;
  host.Port().LoadLastV24Parameter();
}

std::string TermProg::FileName() const {
  return host.Record().BasicLoaderVariant == '0' ? kFileVariant0 : kFileOther;
}

bool TermProg::EveryByteSent() {
  if (!loaded_ || sent_ != image_.size()) return false;
  if (!drained_) {
    // An empty block is not sent; its result says whether the last real
    // one is still going out (-1) or was cut by the time-out (-100).
    drained_ = host.Port().Write(image_.data(), 0, true) == 0;
  }
  return drained_;
}

void TermProg::OnEvent(EventQueue&, WorkflowEvent& event) {
  if (event.kind == EventKind::kKey || event.kind == EventKind::kKeyAlt) {
    // Escape ends a transfer that has not ended yet.
    if (event.code != TermProgEvent::kEscapeKey || stopped_ || !lineHeld_) return;
    event.Clear();
    Abort();
    return;
  }
  if (event.kind != EventKind::kNotify) return;
  switch (event.code) {
    case TermProgEvent::kDataReceived:
      event.Clear();
      ReceiveAndScan();
      return;
    case LoaderLineCode::kErasing:
      event.Clear();
      Preparing();
      return;
    case LoaderLineCode::kWaitingForRecords:
      event.Clear();
      StartSending();
      return;
    case TermProgEvent::kSendBlock:
      event.Clear();
      SendBlock();
      return;
    case LoaderLineCode::kProgrammed:
      event.Clear();
      Success();
      return;
    case LoaderLineCode::kRecordDefect:
      event.Clear();
      TransmissionError();
      return;
    case TermProgEvent::kAbortRequest:
      event.Clear();
      Abort();
      return;
    default: return;  // 100..103, 110, 111 and everything else pass on
  }
}

void TermProg::ReceiveAndScan() {
  lines_.MakeRoom(kReadChunk);
  // Read leaves a NUL behind the bytes: the buffer's own terminator slot.
  const int n = host.Port().Read(lines_.WriteArea(), kReadChunk);
  if (n <= 0) return;
  lines_.Commit(static_cast<std::size_t>(n));
  found_.clear();
  lines_.Scan(found_);
  linesFound_ += static_cast<int>(found_.size());
  for (const LoaderLine* line : found_) {
    // The old loaders' four-byte mark is no text for the traffic log.
    if (static_cast<unsigned char>(line->text[0]) < 0x80)
      host.LogLine(std::string(line->text) + " <-\r\n");
    host.Events().PostEvent(line->code);
  }
}

void TermProg::Preparing() {
  host.MemoClear();
  host.MemoAdd(host.FillPlaceholders(InfoText(InfoPreparing, host.Language())));
}

bool TermProg::Refuse(const std::string& text) {
  host.ShowError(kMissingFileCaption, text);
  host.Events().PostEvent(TermProgEvent::kTransferEnded);
  return false;
}

void TermProg::StartSending() {
  const int language = host.Language();
  const std::string name = FileName();
  const std::string path = FindFileInFolder(folder_, name);
  std::string bytes;
  FileCheck check;
  check.fault = FileFault::Missing;
  if (!path.empty()) check = ReadBoundedFile(path, kImageCapacity, bytes);
  if (check.fault == FileFault::Missing) {
    // Nothing is sent; the loader keeps waiting.
    Refuse(Replace(InfoText(InfoL3FileOpen, language), kFileOther, name));
    return;
  }
  if (!check.ok()) {
    // Also a file too large for the image: cut, it would be programmed as
    // if it were whole.
    Refuse(name + " " + FileFaultReason(check, kImageCapacity, language));
    return;
  }
  host.SetProgressMax(100);
  host.MemoAdd(host.FillPlaceholders(InfoText(InfoL3Programming, language)));
  busyRetry_.stop();
  image_ = std::move(bytes);
  sent_ = confirmed_ = blockStart_ = blockLength_ = 0;
  questionsForBlock_ = 0;
  loaded_ = true;
  drained_ = false;
  stopped_ = false;
  host.SetStatusPanel(3, "");
  host.Events().PostEvent(TermProgEvent::kSendBlock);
}

void TermProg::OfferAgainSoon() {
  if (!busyRetry_.isActive()) busyRetry_.start();
}

void TermProg::SendBlock() {
  if (stopped_ || !loaded_ || drained_) return;
  TComPort& port = host.Port();
  const std::size_t total = image_.size();
  const std::size_t block = std::min(kBlockSize, total - sent_);
  // With everything handed over, the empty block only asks whether the
  // last one went out whole.
  const int result = port.Write(image_.data() + sent_, static_cast<int>(block), true);
  bool timedOut = false;
  if (result > 0) {
    // The transmitter took a block only once the previous one went out
    // whole; handing over a block is no progress of the line by itself.
    if (blockLength_ > 0) questionsForBlock_ = 0;
    confirmed_ = sent_;
    blockStart_ = sent_;
    blockLength_ = block;
    sent_ += blockLength_;
    OfferAgainSoon();
  } else if (result == 0) {
    drained_ = true;  // everything reached the line
    confirmed_ = sent_;
  } else if (result == COM_TX_BUSY) {
    OfferAgainSoon();
    return;  // nothing changed to report
  } else if (result == COM_TX_ERROR) {
    // The line did not take the previous block within the write time-out.
    // Its bytes that did not go out are sent again first, so the loader
    // gets every byte once and in order.
    const std::size_t written =
        std::min(blockLength_, static_cast<std::size_t>(std::max(0, port.LastBlockWritten())));
    // A retry counts against the block as long as the line takes nothing.
    if (written > 0) questionsForBlock_ = 0;
    sent_ = blockStart_ + written;
    confirmed_ = sent_;
    blockStart_ = sent_;
    blockLength_ = 0;
    timedOut = true;
  } else {
    // The port is gone: no block can follow.
    Abort();
    return;
  }

  ReportProgress(timedOut);
  if (!timedOut) return;
  const int language = host.Language() == 0 ? 0 : 1;
  const bool retry = host.AskRetry(kWarningCaption[language], kTimeoutText, ++questionsForBlock_);
  if (stopped_) return;  // ended while the question was open
  if (retry) {
    port.GetWriteStatus();
    host.Events().PostEvent(TermProgEvent::kSendBlock);
  } else {
    Abort();
  }
}

void TermProg::ReportProgress(bool timedOut) {
  // What the line took, not what waits in the transmitter.
  const double percent =
      image_.empty() ? 100.0
                     : static_cast<double>(confirmed_) / static_cast<double>(image_.size()) * 100.0;
  host.SetProgressPosition(static_cast<int>(percent));
  std::string tag = "   ";
  tag[0] = host.Record().BasicLoaderVariant == '0' ? 'H' : 'L';
  if (timedOut) tag[1] = 'T';
  host.SetTitleProgress(tag, percent);
}

void TermProg::Success() {
  host.MemoClear();
  host.MemoAdd(host.FillPlaceholders(InfoText(InfoProgOk, host.Language())));
  MessageBeep();
  // The final mark ("Update [beendet]"): -10 would show as " -10.0 %".
  host.SetTitleProgress("", -1000);
  host.Events().PostEvent(TermProgEvent::kSegmentProgrammed);
}

void TermProg::TransmissionError() {
  host.MemoAdd(host.FillPlaceholders(InfoText(InfoTransferError, host.Language())));
  Abort();
}

void TermProg::Abort() {
  if (stopped_) return;
  host.MemoAdd(host.FillPlaceholders(InfoText(InfoProgAbort, host.Language())));
  Stop();
  host.Events().PostEvent(TermProgEvent::kTransferEnded);
}
