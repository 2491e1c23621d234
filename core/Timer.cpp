#include "core/Timer.h"

#include <QTimer>

void TimerPool::RegisterTimers(int count, QTimer* const* timers) {
  timers_.clear();
  busy_.clear();
  for (int i = 0; i < count && i < kMaxTimers; ++i) {
    timers_.push_back(timers[i]);
    busy_.push_back(false);
    timers[i]->stop();
  }
}

int TimerPool::AcquireTimeout(int intervalMs) {
  if (timers_.empty()) return 0;
  int handle = Count();
  for (int h = 1; h < Count(); ++h) {
    if (!busy_[h - 1]) {
      handle = h;
      break;
    }
  }
  busy_[handle - 1] = true;
  QTimer* t = timers_[handle - 1];
  t->stop();
  const int divided = intervalMs / divisor_;
  t->setInterval(divided > 0 ? divided : 1);
  t->start();
  return handle;
}

int TimerPool::ReleaseTimeout(int handle) {
  if (Valid(handle)) {
    busy_[handle - 1] = false;
    timers_[handle - 1]->stop();
  }
  return 0;
}

void TimerPool::RestartTimeout(int handle) {
  if (!Valid(handle) || !busy_[handle - 1]) return;
  QTimer* t = timers_[handle - 1];
  t->stop();
  t->start(t->interval());
}

bool TimerPool::IsBusy(int handle) const { return Valid(handle) && busy_[handle - 1]; }
