#pragma once
// The event loop of one simulated instrument on its pseudo-terminal:
// reads what the tool writes, hands it to the instrument, and sends the
// instrument's answers when they are due and someone is there to hear.
#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>

#include "bsl430_settings.h"
#include "instrument.h"
#include "instrument_line.h"
#include "profile.h"
#include "pty_link.h"
#include "report.h"

namespace sim {

struct SimulatorOptions {
  bool pace = false;     // every byte costs its wire time
  unsigned seed = 1;     // reply-time jitter
  std::string linkPath;  // symlink to the slave, removed at the end
};

class Simulator : public InstrumentLine {
 public:
  using Clock = std::chrono::steady_clock;

  Simulator(Profile profile, Bsl430Settings settings, SimulatorOptions options);
  ~Simulator() override;

  bool open(std::string& error);
  const std::string& slavePath() const { return pty_.slavePath(); }
  // Runs until stop(), the scenario's end or an unplug; returns the reason.
  std::string run();
  // Safe from another thread or a signal handler.
  void stop();

  Instrument& instrument() { return *instrument_; }
  const Profile& profile() const { return profile_; }

  // InstrumentLine
  void send(const std::string& bytes, int delayMs, unsigned requiredBaud,
            bool waitForSpeed) override;
  unsigned lineBaud() override { return settledBaud_; }
  void after(int ms, std::function<void()> action) override;
  void pauseReading(int ms) override;
  void unplug(const std::string& reason) override;
  void endScenario(const std::string& reason) override;
  Report& report() override { return report_; }

 private:
  struct Outgoing {
    Clock::time_point due;
    std::string bytes;
    unsigned requiredBaud;
    Clock::time_point giveUp;
    bool paced = false;
    bool waitForSpeed = true;
  };
  void checkConnection();
  void watchSpeed();
  void runTimers();
  void flushOutput();
  bool readInput();  // false when nothing was taken in
  void drainInput();
  void deliverPaced();
  int pollTimeoutMs() const;
  Clock::duration wireTime(size_t bytes, unsigned baud) const;

  Profile profile_;
  Bsl430Settings settings_;
  SimulatorOptions options_;
  Report report_;
  PtyLink pty_;
  std::unique_ptr<Instrument> instrument_;
  int wake_[2] = {-1, -1};
  std::atomic<bool> stopRequested_{false};

  bool connected_ = false;
  std::deque<Outgoing> out_;
  Clock::time_point lastDue_{};
  std::multimap<Clock::time_point, std::function<void()>> timers_;
  Clock::time_point readPausedUntil_{};
  unsigned settledBaud_ = 0;                         // the speed the tool's bytes count at
  std::optional<Clock::time_point> speedSettlesAt_;  // a change not taken over yet
  bool draining_ = false;                            // taking in what was left when the tool let go
  Clock::time_point txFreeAt_{}, rxFreeAt_{};
  std::deque<std::pair<Clock::time_point, std::string>> pacedInput_;
  std::optional<std::string> endReason_;
  std::optional<Clock::time_point> endingAt_;
  std::string endingReason_;
  std::mt19937 random_;
};

}  // namespace sim
