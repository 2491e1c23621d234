#include "simulator.h"

#include <algorithm>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "json_text.h"

namespace sim {
namespace {

using std::chrono::milliseconds;
constexpr int kDisconnectedPollMs = 20;  // POLLHUP is level-triggered: look again this often
constexpr int kSpeedWaitMs = 6000;       // how long an answer waits for the tool's speed change
constexpr int kEndingGraceMs = 1000;
constexpr int kSpeedSettleMs = 50;  // how long a new line speed must stand before it counts

}  // namespace

Simulator::Simulator(Profile profile, Bsl430Settings settings, SimulatorOptions options)
    : profile_(std::move(profile)),
      settings_(settings),
      options_(std::move(options)),
      random_(options_.seed) {
  report_.setProfileName(profile_.name);
}

Simulator::~Simulator() {
  if (!options_.linkPath.empty()) ::unlink(options_.linkPath.c_str());
  for (int fd : wake_)
    if (fd >= 0) ::close(fd);
}

bool Simulator::open(std::string& error) {
  if (pipe2(wake_, O_NONBLOCK | O_CLOEXEC) != 0) {
    error = "cannot create the wake-up pipe";
    return false;
  }
  if (!pty_.open(error)) return false;
  report_.setSlavePath(pty_.slavePath());
  if (!options_.linkPath.empty()) {
    ::unlink(options_.linkPath.c_str());
    if (::symlink(pty_.slavePath().c_str(), options_.linkPath.c_str()) != 0) {
      error = "cannot create the link " + options_.linkPath;
      return false;
    }
  }
  instrument_ = std::make_unique<Instrument>(profile_, settings_, *this);
  return true;
}

void Simulator::stop() {
  stopRequested_ = true;
  if (wake_[1] >= 0) {
    char c = 1;
    [[maybe_unused]] ssize_t n = ::write(wake_[1], &c, 1);
  }
}

Simulator::Clock::duration Simulator::wireTime(size_t bytes, unsigned baud) const {
  if (baud == 0) return {};
  return std::chrono::duration_cast<Clock::duration>(
      std::chrono::duration<double>(bytes * 11.0 / baud));
}

void Simulator::send(const std::string& bytes, int delayMs, unsigned requiredBaud,
                     bool waitForSpeed) {
  int jitter =
      delayMs > 1 ? static_cast<int>(random_() % static_cast<unsigned>(delayMs / 2 + 1)) : 0;
  // Answers leave in the order they were given.
  auto due = std::max(Clock::now() + milliseconds(delayMs + jitter), lastDue_);
  lastDue_ = due;
  out_.push_back({due, bytes, requiredBaud, due + milliseconds(kSpeedWaitMs), false, waitForSpeed});
}

void Simulator::after(int ms, std::function<void()> action) {
  timers_.emplace(Clock::now() + milliseconds(ms), std::move(action));
}

void Simulator::pauseReading(int ms) {
  readPausedUntil_ = std::max(readPausedUntil_, Clock::now() + milliseconds(ms));
}

void Simulator::unplug(const std::string& reason) {
  report_.event("", "state", "meter unplugged");
  pty_.close();
  if (!options_.linkPath.empty()) ::unlink(options_.linkPath.c_str());
  endReason_ = reason;
}

void Simulator::endScenario(const std::string& reason) {
  // Let the last answers go out first.
  endingReason_ = reason;
  endingAt_ = std::max(lastDue_, Clock::now()) + milliseconds(kEndingGraceMs);
}

void Simulator::checkConnection() {
  bool now = pty_.slaveOpen();
  if (now == connected_) return;
  // What the tool wrote before it let go of the port is still waiting in
  // the master: take it in before the meter counts as disconnected.
  if (!now) drainInput();
  connected_ = now;
  if (now) settledBaud_ = pty_.baud();
  speedSettlesAt_.reset();
  instrument_->connectionChanged(now);
}

// A tool puts its old line settings back just before it lets go of the port,
// while its last bytes may still wait here unread; on a real line they left
// at the speed before. So a new speed counts only once it has stood for
// kSpeedSettleMs with the port still held; until then nothing is read, and
// what the tool left when it let go is taken in at the settled speed.
void Simulator::watchSpeed() {
  if (!connected_) return;
  const unsigned now = pty_.baud();
  if (now == settledBaud_) {
    speedSettlesAt_.reset();
    return;
  }
  if (!speedSettlesAt_) {
    speedSettlesAt_ = Clock::now() + milliseconds(kSpeedSettleMs);
  } else if (Clock::now() >= *speedSettlesAt_) {
    settledBaud_ = now;
    speedSettlesAt_.reset();
    instrument_->lineSpeedSettled(now);
  }
}

void Simulator::runTimers() {
  while (!timers_.empty() && timers_.begin()->first <= Clock::now() && !endReason_) {
    auto action = std::move(timers_.begin()->second);
    timers_.erase(timers_.begin());
    action();
  }
}

void Simulator::flushOutput() {
  while (!out_.empty() && !endReason_) {
    Outgoing& o = out_.front();
    auto now = Clock::now();
    if (o.due > now) return;
    unsigned baud = pty_.baud();
    if (!connected_) {
      // Nobody holds the port: a meter's answer is lost on the cable.
      report_.event("tx", "lost",
                    hexBytes(std::string_view(o.bytes).substr(0, 16)) + " (port closed)");
      out_.pop_front();
      continue;
    }
    if (o.requiredBaud && baud != o.requiredBaud && !o.waitForSpeed) {
      // Slower characters read at a faster speed come out as breaks:
      // one NUL byte each, with framing errors.
      report_.event("tx", "garbled",
                    hexBytes(std::string_view(o.bytes).substr(0, 16)) + " (line at " +
                        std::to_string(baud) + ", meter at " + std::to_string(o.requiredBaud) +
                        ")");
      o.bytes.assign(o.bytes.size(), '\0');
      o.requiredBaud = 0;
    }
    if (o.requiredBaud && baud != o.requiredBaud) {
      if (now < o.giveUp) return;
      report_.event("tx", "lost",
                    hexBytes(std::string_view(o.bytes).substr(0, 16)) + " (line at " +
                        std::to_string(baud) + ", meter at " + std::to_string(o.requiredBaud) +
                        ")");
      out_.pop_front();
      continue;
    }
    if (options_.pace && !o.paced) {
      // The answer reaches the tool when its last byte has crossed the wire.
      o.due = std::max(o.due, txFreeAt_) + wireTime(o.bytes.size(), baud);
      txFreeAt_ = o.due;
      o.paced = true;
      if (o.due > now) return;
    }
    size_t n = pty_.writeSome(o.bytes);
    report_.addWireTime(n, baud, false);
    if (n < o.bytes.size()) {
      o.bytes.erase(0, n);
      return;
    }
    out_.pop_front();
  }
}

bool Simulator::readInput() {
  if (!connected_) return false;
  if (!draining_ && (speedSettlesAt_ || Clock::now() < readPausedUntil_)) return false;
  unsigned char buf[4096];
  long n = pty_.readSome(buf, sizeof buf);
  if (n <= 0) return false;
  const unsigned baud = settledBaud_;
  report_.addWireTime(static_cast<size_t>(n), baud, true);
  std::string bytes(reinterpret_cast<char*>(buf), static_cast<size_t>(n));
  if (options_.pace) {
    auto arrival = std::max(Clock::now(), rxFreeAt_) + wireTime(bytes.size(), baud);
    rxFreeAt_ = arrival;
    pacedInput_.emplace_back(arrival, std::move(bytes));
    return true;
  }
  instrument_->received(bytes);
  return true;
}

// Takes in everything the tool wrote before it let go of the port or the
// simulator was stopped. A read, unlike FIONREAD, first moves what the kernel
// still holds on its way from the slave, so the last line cannot be missed.
void Simulator::drainInput() {
  draining_ = true;
  for (int i = 0; i < 64 && readInput(); ++i) {
  }
  draining_ = false;
}

void Simulator::deliverPaced() {
  while (!pacedInput_.empty() && pacedInput_.front().first <= Clock::now() && !endReason_) {
    std::string bytes = std::move(pacedInput_.front().second);
    pacedInput_.pop_front();
    instrument_->received(bytes);
  }
}

int Simulator::pollTimeoutMs() const {
  auto now = Clock::now();
  auto next = now + milliseconds(1000);
  if (!timers_.empty()) next = std::min(next, timers_.begin()->first);
  if (!out_.empty()) {
    // Waiting for a speed change or a full line needs another look soon.
    next = std::min(
        next, std::max(out_.front().due, now + milliseconds(out_.front().due <= now ? 5 : 0)));
  }
  if (!pacedInput_.empty()) next = std::min(next, pacedInput_.front().first);
  if (readPausedUntil_ > now) next = std::min(next, readPausedUntil_);
  if (!connected_) next = std::min(next, now + milliseconds(kDisconnectedPollMs));
  if (endingAt_) next = std::min(next, *endingAt_);
  if (speedSettlesAt_) next = std::min(next, *speedSettlesAt_);
  // A speed change wakes nothing here: a loader that makes noise on it
  // must look often enough to make it before the tool's next byte.
  if (!profile_.loaderNoise.empty() && connected_) next = std::min(next, now + milliseconds(10));
  auto ms = std::chrono::duration_cast<milliseconds>(next - now).count();
  return static_cast<int>(std::clamp<long long>(ms + (next > now ? 1 : 0), 0, 1000));
}

std::string Simulator::run() {
  while (!endReason_) {
    if (stopRequested_) {
      if (connected_) drainInput();
      deliverPaced();
      endReason_ = "stopped by signal";
      break;
    }
    checkConnection();
    watchSpeed();
    runTimers();
    deliverPaced();
    readInput();
    flushOutput();
    if (endReason_) break;
    // Closing the master throws away what the tool has not read yet:
    // end once the answers are out and the tool let go or had time to read.
    if (endingAt_ && ((out_.empty() && !connected_) || Clock::now() >= *endingAt_)) {
      endReason_ = endingReason_;
      break;
    }
    pollfd fds[2] = {{wake_[0], POLLIN, 0}, {pty_.fd(), 0, 0}};
    bool listen = connected_ && !speedSettlesAt_ && Clock::now() >= readPausedUntil_;
    if (listen) fds[1].events = POLLIN;
    poll(fds, listen ? 2 : 1, pollTimeoutMs());
    if (fds[0].revents & POLLIN) {
      char drain[16];
      while (::read(wake_[0], drain, sizeof drain) > 0) {
      }
    }
  }
  report_.setExitReason(*endReason_);
  pty_.close();
  if (!options_.linkPath.empty()) ::unlink(options_.linkPath.c_str());
  return *endReason_;
}

}  // namespace sim
