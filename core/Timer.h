#pragma once
// The pool of time-out timers. Handles are 1-based positions in
// registration order and equal the timers' tags; an expiry reaches the
// workflow as a timer event carrying the handle.
#include <vector>

class QTimer;

class TimerPool {
 public:
  static constexpr int kMaxTimers = 20;

  void RegisterTimers(int count, QTimer* const* timers);
  // The lowest free handle below the last; when all of those are busy, the
  // last handle whether or not it is busy.
  int AcquireTimeout(int intervalMs);
  // Stops the timer and frees the handle; returns 0 for the caller to store.
  int ReleaseTimeout(int handle);
  // A busy timer starts a full interval again.
  void RestartTimeout(int handle);

  bool IsBusy(int handle) const;
  int Count() const { return static_cast<int>(timers_.size()); }

  // Every interval acquired from now on is divided by this (at least 1):
  // simulator runs shorten the instruments' time-outs with it.
  void SetDivisor(int divisor) { divisor_ = divisor < 1 ? 1 : divisor; }
  int Divisor() const { return divisor_; }

 private:
  bool Valid(int handle) const { return handle > 0 && handle <= Count(); }

  std::vector<QTimer*> timers_;
  std::vector<bool> busy_;
  int divisor_ = 1;
};
