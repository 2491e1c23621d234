#pragma once
// RunRecorder: the run log seen from a run. What the run did is collected
// while it runs; when it ends, one line is written.
#include <chrono>
#include <string>

#include "app/RunLog.h"
#include "app/UpdateView.h"

struct DeviceEntry;
struct DeviceRecord;

// What the coordinator knows when a run ends.
struct RunEndFacts {
  RunOutcome outcome = RunOutcome::Failed;
  bool refused = false;     // the instrument was turned down
  int comNumber = 0;        // the run's port, 1-based
  std::string devicePath;   // its device file
  std::string fileVersion;  // the main file's version text
  std::string method;       // the transfer method of the firmware
  std::string toolVersion;
  std::string settingsVersion;
  int language = 0;
};

class RunRecorder {
 public:
  // Chooses the file from the command line and Update.ini; empty when off.
  void Configure();
  const std::string& Path() const { return path_; }
  bool Active() const { return active_; }

  // A search or a menu entry starts a run; inside a run nothing changes.
  void Begin();
  // SIGINT/SIGTERM or the window closing: the run ends as interrupted.
  void NoteInterrupted() { interrupted_ = true; }
  // Escape during the run: it ends as aborted.
  void NoteEscape() {
    if (active_) escaped_ = true;
  }
  // The last memo line of the run is its message.
  void NoteMessage(const std::string& text) {
    if (active_) record_.message = text;
  }
  // What the meter reported, before the match trims pairs of values.
  void NoteMeterIdentity(const DeviceRecord& record);
  void NoteDeviceEntry(const DeviceEntry& entry);
  void NoteTransfer(const std::string& file, const std::string& method, bool transferred);

  // Writes the run's line. Returns a warning for the memo when the log
  // cannot be written, else an empty text.
  std::string End(const RunEndFacts& facts);
  // Whether a meter was seen in this run (its port goes into the line).
  bool MeterSeen() const { return meterSeen_; }

 private:
  std::string path_;
  bool active_ = false;
  bool interrupted_ = false;
  bool escaped_ = false;
  bool meterSeen_ = false;
  RunRecord record_;
  std::chrono::steady_clock::time_point start_;
};
