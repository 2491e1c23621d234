#pragma once
// RunGuards: what keeps a run from starting or finishing something it must
// not. A stop in progress, a transfer whose waits the handlers are entered
// from, a boot command still waiting for its "!", a port that was unplugged.
#include <string>

struct RunGuards {
  bool stopping = false;            // interrupted or ending: nothing new starts
  bool endedAfterStop = false;      // the interrupted run has shown its ending
  int transferDepth = 0;            // transfers running (handlers run inside them)
  bool bootCommandPending = false;  // the boot command waits for its "!"
  bool labAfterProbe = false;       // the probe's SYNC was acknowledged: no SYNC first
  std::string lostDevice;           // the port of this run that was unplugged
  // The last file of this run whose transfer its method confirmed: an
  // interruption after it must not claim that the transfer was aborted.
  std::string confirmedFile;
  std::string programFile;  // a loader program's success, until the meter answers
};
