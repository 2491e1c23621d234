#pragma once
// WorkflowClock: what drives a run from outside it. The event queue and the
// pool of time-out timers Timer1..Timer5 behind it, the half-second progress
// tick, the two watchdogs of a silent instrument, and the pump's guard
// against entering itself.
#include <QTimer>
#include <array>

#include "core/Events.h"
#include "core/Timer.h"

class WorkflowClock {
 public:
  // Hands Timer1..Timer5 to the pool.
  void RegisterPool();
  // A time limit as the pool divides it (simulator runs), at least 1 ms.
  int TimeLimit(int ms) const;
  void StopAll();

  EventQueue queue;
  TimerPool timers;
  std::array<QTimer, 5> poolTimers;  // Timer1..Timer5
  QTimer SecTimer;
  QTimer replyWatchdog;
  QTimer loaderSilence;  // from a loader program's success to the meter's first byte
  int pumpReentry = 0;
  bool insidePump = false;
};
