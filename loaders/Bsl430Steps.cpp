// T_BSL430: the receive path and the step machine. Each step sends at most
// one frame and names what the loader's ACK, data frame or failure runs.
#include <algorithm>
#include <cstring>

#include "core/LoaderHost.h"
#include "core/Timer.h"
#include "loaders/Bsl430.h"
#include "serial/ComPort.h"

void T_BSL430::ReceiveBytes() {
  // Read exactly what the answer still lacks: the port ends a read early
  // only when the count is reached, so asking for more would idle.
  for (;;) {
    const bsl::Reply reply = bsl::ScanReply(rxBuffer.data(), rxCount);
    if (reply.kind != bsl::ReplyKind::None) {
      HandleReply(reply);
      return;
    }
    if (reply.consumed > 0) {
      std::memmove(rxBuffer.data(), rxBuffer.data() + reply.consumed, rxCount - reply.consumed);
      rxCount -= reply.consumed;
    }
    const std::size_t want = std::min(reply.wanted, kRxBufferSize - rxCount);
    const int got = host.Port().Read(reinterpret_cast<char*>(rxBuffer.data() + rxCount), want);
    if (got <= 0) return;  // nothing more now, or the port is gone
    // Only bytes that came hold the time-out off: a port that lost its
    // meter may keep announcing data it does not have.
    host.Timers().RestartTimeout(timerId);
    rxCount += static_cast<std::size_t>(got);
    if (static_cast<std::size_t>(got) < want) {
      // The rest is still on the line: take what is complete and wait for
      // the next notification.
      const bsl::Reply partial = bsl::ScanReply(rxBuffer.data(), rxCount);
      if (partial.kind != bsl::ReplyKind::None) HandleReply(partial);
      return;
    }
  }
}

void T_BSL430::HandleReply(const bsl::Reply& reply) {
  if (reply.kind == bsl::ReplyKind::Frame)
    std::memcpy(rxFrame.data(), rxBuffer.data() + reply.frameStart, reply.frameSize);
  // The buffer is emptied before a step runs: a step may send, and nothing
  // received so far can answer what it sends.
  rxCount = 0;
  switch (reply.kind) {
    case bsl::ReplyKind::Ack:
      AdvanceProgress();
      if (OnAck) (this->*OnAck)();
      break;
    case bsl::ReplyKind::Nak:
      AdvanceProgress();
      lastFailureNak = true;
      ApplyFailureRule();
      break;
    case bsl::ReplyKind::Frame:
      AdvanceProgress();
      if (OnFrame) (this->*OnFrame)();
      break;
    case bsl::ReplyKind::BadFrame:  // the time-out will retry the step
    case bsl::ReplyKind::None: break;
  }
}

void T_BSL430::AdvanceProgress() {
  const int position = host.ProgressPosition() + 1;
  host.SetProgressPosition(position);
  const int max = host.ProgressMax();
  // Retries count too, so the figure is held at 100.
  const double percent = max > 0 ? std::min(100.0, position * 100.0 / max) : 0.0;
  host.SetTitleProgress("", percent);
}

void T_BSL430::SendBytes(const char* bytes, int count) {
  TComPort& port = host.Port();
  const int written = port.Write(bytes, count, false);
  // A port that is gone answers nothing ever again; no retry can help.
  if (written == COM_NOT_OPEN) Fail();
  // A short block latches the transmitter; the time-out retries the step,
  // which must find the transmitter free.
  if (written == COM_TX_ERROR) port.GetWriteStatus();
}

void T_BSL430::SendFrame(const bsl::Frame& frame) {
  SendBytes(frame.chars(), static_cast<int>(frame.size));
}

void T_BSL430::SendSync() {
  // Only a byte that comes after the SYNC answers it: noise on the line
  // before (a loader at another speed, a late answer to a step given up)
  // would otherwise pass for its acknowledgement.
  host.Port().PurgeInput();
  rxCount = 0;
  const char sync = static_cast<char>(bsl::kSync);
  SendBytes(&sync, 1);
}

void T_BSL430::SyncThen(Step next) {
  OnAck = next;
  OnFrame = nullptr;
  OnFailure = &T_BSL430::ResendSync;
  errorCode = BslError::kSync;
  SendSync();
}

void T_BSL430::ResendSync() { SendSync(); }

void T_BSL430::ApplyFailureRule() {
  const Step f = OnFailure;
  if (f == nullptr) return;
  if (++stepFailures >= kMaxStepFailures) {
    timerId = host.Timers().ReleaseTimeout(timerId);
    Fail();
  } else if (f != failedOnce) {
    failedOnce = f;
    RunFailureStep(f);
  } else if (f != failedTwice) {
    failedTwice = f;
    RunFailureStep(f);
  } else {
    timerId = host.Timers().ReleaseTimeout(timerId);
    Fail();
  }
}

void T_BSL430::RunFailureStep(Step step) {
  if (step == &T_BSL430::NextEraseSegment || step == &T_BSL430::ResendSync ||
      step == &T_BSL430::TryRaisedSpeed)
    (this->*step)();
  else
    SyncThen(step);
}

void T_BSL430::Fail() {
  failed = true;
  finished = true;
}
