#pragma once
// Test side of the simulator's tests: a simulator running in a thread, and
// a small scripted client that plays the tool on the slave.
#include <future>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "bsl430_settings.h"
#include "simulator.h"

namespace simtest {

class RunningSim {
 public:
  explicit RunningSim(const std::string& profileText, sim::Bsl430Settings settings = {},
                      sim::SimulatorOptions options = {});
  ~RunningSim();
  const std::string& path() const { return sim_->slavePath(); }
  sim::Report& report() { return sim_->report(); }
  // Stops the loop (if still running) and returns its end reason.
  std::string finish();
  // Waits until the loop ends by itself.
  bool waitUntilEnded(int timeoutMs = 10000);
  // Waits for an event of that kind whose "dir text" contains needle.
  bool waitForEvent(const std::string& kind, const std::string& needle, int timeoutMs = 10000);

 private:
  sim::Profile profile_;
  std::unique_ptr<sim::Simulator> sim_;
  std::thread thread_;
  std::string reason_;
  std::promise<void> endedPromise_;
  std::future<void> ended_;
};

class Client {
 public:
  Client(const std::string& path, unsigned baud);
  ~Client();
  void setBaud(unsigned baud);
  void write(std::string_view bytes);
  // One line without its CR LF; "" (and a test failure) on time-out.
  std::string readLine(int timeoutMs = 5000);
  std::string readBytes(size_t count, int timeoutMs = 5000);
  // True when nothing at all is waiting to be read.
  bool nothingPending();
  int fd() const { return fd_; }
  void close();

 private:
  int fd_ = -1;
  std::string pending_;
};

// The tool's identification sequence up to the serial number.
void identify(Client& c, const std::string& startCommand = "A.1111");

std::string bytes(std::initializer_list<int> values);
std::string hex(std::string_view data);
std::string tempDir();

}  // namespace simtest
