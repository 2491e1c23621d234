#pragma once
// What the simulated instrument saw and did, written as JSON at the end.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "memory_image.h"

namespace sim {

struct ReceivedFile {
  std::string name;
  std::string timestamp;  // as announced
  long announcedSize = 0;
  std::string data;
  std::string state = "receiving";  // receiving, complete, skipped
};

class Report {
 public:
  using Clock = std::chrono::steady_clock;

  Report();
  // kind: "line", "bsl", "srecord", "wince", "loader", "state", "note";
  // direction: "rx" (from the tool), "tx" (from the instrument) or "".
  void event(const std::string& direction, const std::string& kind, const std::string& text,
             unsigned baud = 0);
  void violation(const std::string& text);
  void addWireTime(size_t bytes, unsigned baud, bool received);

  MemoryImage& flash() { return flash_; }
  // What the sensor's processor was programmed with (its own loader).
  MemoryImage& sensorFlash() { return sensorFlash_; }
  std::vector<ReceivedFile>& files() { return files_; }
  void setExitReason(const std::string& reason) { exitReason_ = reason; }
  void setSlavePath(const std::string& path) { slavePath_ = path; }
  void setProfileName(const std::string& name) { profileName_ = name; }

  std::string toJson() const;
  bool writeTo(const std::string& path) const;

  // For in-process tests: snapshots taken under the lock.
  std::vector<std::string> violations() const;
  std::vector<std::string> eventTexts(const std::string& kind) const;
  double wireSeconds() const;
  // Blocks until an event of that kind whose "dir text" contains needle
  // has been recorded; false after the time-out.
  bool waitForEvent(const std::string& kind, const std::string& needle, int timeoutMs) const;

  std::mutex& mutex() const { return mutex_; }

 private:
  struct Entry {
    double t;
    std::string direction, kind, text;
    unsigned baud;
  };
  double since() const;

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  Clock::time_point start_;
  std::vector<Entry> events_;
  std::vector<std::pair<double, std::string>> violations_;
  MemoryImage flash_;
  MemoryImage sensorFlash_;
  std::vector<ReceivedFile> files_;
  double wireRx_ = 0, wireTx_ = 0;
  size_t bytesRx_ = 0, bytesTx_ = 0;
  std::string exitReason_ = "running", slavePath_, profileName_;
};

}  // namespace sim
