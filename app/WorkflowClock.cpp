#include "app/WorkflowClock.h"

void WorkflowClock::RegisterPool() {
  QTimer* list[5];
  for (std::size_t i = 0; i < poolTimers.size(); ++i) list[i] = &poolTimers[i];
  timers.RegisterTimers(5, list);
}

int WorkflowClock::TimeLimit(int ms) const {
  const int divided = ms / timers.Divisor();
  return divided > 0 ? divided : 1;
}

void WorkflowClock::StopAll() {
  for (auto& t : poolTimers) t.stop();
  SecTimer.stop();
  replyWatchdog.stop();
}
