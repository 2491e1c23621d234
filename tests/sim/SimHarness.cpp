#include "SimHarness.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace simtest {

using Clock = std::chrono::steady_clock;

RunningSim::RunningSim(const std::string& profileText, sim::Bsl430Settings settings,
                       sim::SimulatorOptions options) {
  std::string error;
  if (!sim::parseProfile(profileText, profile_, error)) ADD_FAILURE() << error;
  sim_ = std::make_unique<sim::Simulator>(profile_, settings, options);
  if (!sim_->open(error)) ADD_FAILURE() << error;
  ended_ = endedPromise_.get_future();
  thread_ = std::thread([this] {
    reason_ = sim_->run();
    endedPromise_.set_value();
  });
}

RunningSim::~RunningSim() { finish(); }

std::string RunningSim::finish() {
  if (thread_.joinable()) {
    sim_->stop();
    thread_.join();
  }
  return reason_;
}

bool RunningSim::waitUntilEnded(int timeoutMs) {
  if (ended_.wait_for(std::chrono::milliseconds(timeoutMs)) != std::future_status::ready)
    return false;
  finish();
  return true;
}

bool RunningSim::waitForEvent(const std::string& kind, const std::string& needle, int timeoutMs) {
  return sim_->report().waitForEvent(kind, needle, timeoutMs);
}

namespace {
speed_t speedOf(unsigned baud) {
  switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    default: return B115200;
  }
}
}  // namespace

Client::Client(const std::string& path, unsigned baud) {
  fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd_ < 0) {
    ADD_FAILURE() << "cannot open " << path;
    return;
  }
  termios t{};
  tcgetattr(fd_, &t);
  cfmakeraw(&t);
  tcsetattr(fd_, TCSANOW, &t);
  setBaud(baud);
}

Client::~Client() { close(); }

void Client::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void Client::setBaud(unsigned baud) {
  termios t{};
  tcgetattr(fd_, &t);
  cfsetispeed(&t, speedOf(baud));
  cfsetospeed(&t, speedOf(baud));
  tcsetattr(fd_, TCSANOW, &t);
}

void Client::write(std::string_view data) {
  size_t done = 0;
  auto deadline = Clock::now() + std::chrono::seconds(10);
  while (done < data.size() && Clock::now() < deadline) {
    ssize_t n = ::write(fd_, data.data() + done, data.size() - done);
    if (n > 0)
      done += static_cast<size_t>(n);
    else {
      pollfd p{fd_, POLLOUT, 0};
      poll(&p, 1, 100);
    }
  }
  ASSERT_EQ(done, data.size()) << "write did not complete";
}

std::string Client::readBytes(size_t count, int timeoutMs) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (pending_.size() < count) {
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      ADD_FAILURE() << "time-out waiting for " << count << " bytes, have " << hex(pending_);
      std::string got;
      got.swap(pending_);
      return got;
    }
    pollfd p{fd_, POLLIN, 0};
    poll(&p, 1, static_cast<int>(left));
    char buf[4096];
    ssize_t n = ::read(fd_, buf, sizeof buf);
    if (n > 0) pending_.append(buf, static_cast<size_t>(n));
  }
  std::string got = pending_.substr(0, count);
  pending_.erase(0, count);
  return got;
}

std::string Client::readLine(int timeoutMs) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    size_t end = pending_.find("\r\n");
    if (end != std::string::npos) {
      std::string line = pending_.substr(0, end);
      pending_.erase(0, end + 2);
      return line;
    }
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      ADD_FAILURE() << "time-out waiting for a line, have \"" << pending_ << "\"";
      return {};
    }
    pollfd p{fd_, POLLIN, 0};
    poll(&p, 1, static_cast<int>(left));
    char buf[4096];
    ssize_t n = ::read(fd_, buf, sizeof buf);
    if (n > 0) pending_.append(buf, static_cast<size_t>(n));
  }
}

bool Client::nothingPending() {
  char buf[256];
  ssize_t n = ::read(fd_, buf, sizeof buf);
  if (n > 0) pending_.append(buf, static_cast<size_t>(n));
  return pending_.empty();
}

void identify(Client& c, const std::string& startCommand) {
  c.write("\r\n\r\n");
  c.write(startCommand + "\r\n");
  EXPECT_EQ(c.readLine(), "!");
  if (startCommand != "A.1000") {
    c.write("A.1000\r\n");
    EXPECT_EQ(c.readLine(), "!");
  }
}

std::string bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s += static_cast<char>(v);
  return s;
}

std::string hex(std::string_view data) {
  std::string out;
  char buf[4];
  for (unsigned char c : data) {
    std::snprintf(buf, sizeof buf, out.empty() ? "%02X" : " %02X", c);
    out += buf;
  }
  return out;
}

std::string tempDir() {
  char pattern[] = "/tmp/simtest.XXXXXX";
  char* dir = mkdtemp(pattern);
  return dir ? dir : "/tmp";
}

}  // namespace simtest
