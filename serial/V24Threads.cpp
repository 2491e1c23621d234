#include "serial/V24Threads.h"

#include <QCoreApplication>
#include <algorithm>
#include <cstring>

#include "serial/ComMessages.h"

namespace {

using Clock = std::chrono::steady_clock;

// An owner that leaves a notification unanswered gets a fresh one this long
// after the second further burst of characters.
constexpr auto kRearmAfter = std::chrono::milliseconds(5000);
// While a notification is outstanding the port is not watched (its data is
// still unread and poll() would report it at once); the queue is looked at
// this often instead, to notice further bursts for the re-arm.
constexpr int kOutstandingTickMs = 100;

}  // namespace

// ---------------------------------------------------------------- receive

TV24Read_Thread::TV24Read_Thread(bool createSuspended, int portIndex, SerialDevice& device,
                                 QObject* owner)
    : device_(device), owner_(owner), comNumber_(static_cast<unsigned>(portIndex) + 1) {
  if (!createSuspended) Resume();
}

TV24Read_Thread::~TV24Read_Thread() {
  Terminate();
  WaitFor();
}

void TV24Read_Thread::Resume() {
  if (!thread_.joinable() && !terminate_) thread_ = std::thread([this] { Execute(); });
}

void TV24Read_Thread::Terminate() {
  terminate_ = true;
  wake_.Notify();
}

void TV24Read_Thread::WaitFor() {
  if (thread_.joinable()) thread_.join();
}

bool TV24Read_Thread::GetAktiv() {
  std::lock_guard<std::mutex> guard(lock_);
  return aktiv_;
}

void TV24Read_Thread::SetAktiv(bool value) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    aktiv_ = value;
  }
  // Back to watching the port at once.
  if (!value) wake_.Notify();
}

void TV24Read_Thread::Post(unsigned message) { PostComMessage(owner_, message, comNumber_); }

void TV24Read_Thread::ReportLineErrors(LineErrorCounts& previous) {
  LineErrorCounts now;
  if (!device_.ErrorCounts(now)) return;
  if (now.frame != previous.frame) Post(WM_COM_FRAMEERROR);
  if (now.overrun != previous.overrun) Post(WM_COM_OVERRUN);
  if (now.parity != previous.parity) Post(WM_COM_PARITYERROR);
  previous = now;
}

void TV24Read_Thread::Execute() {
  LineErrorCounts errors;
  const bool counting = owner_ != nullptr && device_.ErrorCounts(errors);
  bool seen = false;
  bool timing = false;
  Clock::time_point t0;
  int lastQueued = 0;

  while (!terminate_) {
    const bool aktiv = GetAktiv();
    // A hung-up line stays hung up: from then on only Close wakes the thread.
    const bool hungUp = device_.HungUp();
    const int timeout = aktiv && !hungUp ? kOutstandingTickMs : -1;
    const auto result = device_.WaitForInput(wake_, timeout, !aktiv);
    if (result == SerialDevice::Wait::Woken) wake_.Clear();
    if (terminate_) break;
    if (device_.HungUp()) {
      // Told once; the owner's next Read or Write closes the port.
      if (ClaimHangupReport() && owner_ != nullptr) Post(WM_COM_DISCONNECT);
      continue;
    }
    if (counting) ReportLineErrors(errors);

    if (!aktiv) {
      if (result != SerialDevice::Wait::Input) continue;
      seen = false;
      timing = false;
      lastQueued = device_.InputQueued();
      if (owner_ == nullptr) continue;  // nobody to tell; Read will fetch it
      SetAktiv(true);
      Post(WM_COM_RXDATA);
      continue;
    }

    // A notification is outstanding: count further bursts for the re-arm.
    const int queued = device_.InputQueued();
    const bool arrived = queued > lastQueued;
    lastQueued = queued;
    const auto now = Clock::now();
    if (arrived) {
      if (seen && !timing) {
        t0 = now;
        timing = true;
      }
      seen = true;
    }
    if (timing && now - t0 > kRearmAfter) {
      seen = false;
      timing = false;
      std::lock_guard<std::mutex> guard(lock_);
      aktiv_ = false;  // the next pass sees the unread data and posts again
    }
  }
}

// --------------------------------------------------------------- transmit

TV24Write_Thread::TV24Write_Thread(bool createSuspended, SerialDevice& device, long txTimeOut)
    : device_(device),
      txTimeOut_(txTimeOut),
      buffer_(kComBlockSize, '\0') {
  if (!createSuspended) Resume();
}

TV24Write_Thread::~TV24Write_Thread() {
  Terminate();
  WaitFor();
}

void TV24Write_Thread::Resume() {
  if (started_) return;
  started_ = true;
  thread_ = std::thread([this] { Execute(); });
}

void TV24Write_Thread::Terminate() {
  std::lock_guard<std::mutex> guard(lock_);
  terminate_ = true;
  changed_.notify_all();
}

void TV24Write_Thread::WaitFor() {
  if (thread_.joinable()) thread_.join();
}

bool TV24Write_Thread::WaitUntilIdle(std::chrono::milliseconds limit) {
  std::unique_lock<std::mutex> guard(lock_);
  return changed_.wait_for(guard, limit, [this] { return idle_.load() || terminate_; }) &&
         idle_.load();
}

void TV24Write_Thread::Wake() {
  std::lock_guard<std::mutex> guard(lock_);
  idle_ = false;
  changed_.notify_all();
}

void TV24Write_Thread::WaitForWork() {
  std::unique_lock<std::mutex> guard(lock_);
  idle_ = true;
  changed_.notify_all();
  changed_.wait(guard, [this] { return !idle_.load() || terminate_; });
}

int TV24Write_Thread::Submit(const char* block, int n, bool background) {
  if (!IsIdle()) return -1;
  if (latch_) return -100;
  if (block == nullptr || n < 0 || n > kComBlockSize) return 0;
  std::memcpy(buffer_.data(), block, static_cast<size_t>(n));
  count_ = static_cast<size_t>(n);
  background_ = background;
  if (!background) return SendNow();
  if (n == 0) return 0;
  Wake();
  return n;
}

int TV24Write_Thread::SendNow() { return Transmit(); }

// One attempt per block: the write time-out ends a block the line does not
// take, and the shortfall sets the latch.
int TV24Write_Thread::Transmit() {
  const size_t n = count_;
  int result = 0;
  if (n > 0) {
    const int written = device_.Write(buffer_.data(), n, static_cast<long>(n) + txTimeOut_);
    bytesWritten_ = written;
    result = written;
    if (written < static_cast<int>(n)) {
      latch_ = true;
      result = -100;
    }
  }
  count_ = 0;
  return result;
}

void TV24Write_Thread::Execute() {
  for (;;) {
    Transmit();
    {
      std::lock_guard<std::mutex> guard(lock_);
      if (terminate_) return;
    }
    WaitForWork();
  }
}
