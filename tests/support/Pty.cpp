#include "tests/support/Pty.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point end) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

int BaudOf(speed_t speed) {
  switch (speed) {
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    default: return 0;
  }
}

}  // namespace

Pty::Pty() {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) return;
  char name[128] = {};
  if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
      ::ptsname_r(master_, name, sizeof name) != 0) {
    ::close(master_);
    master_ = -1;
    return;
  }
  slavePath_ = name;
  slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  // A raw line at a speed of its own, so that a test can see the tool
  // change it and put it back.
  termios t{};
  ::tcgetattr(slave_, &t);
  cfmakeraw(&t);
  cfsetispeed(&t, B1200);
  cfsetospeed(&t, B1200);
  ::tcsetattr(slave_, TCSANOW, &t);
  int one = 1;
  ::ioctl(master_, TIOCPKT, &one);
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
}

Pty::~Pty() {
  if (slave_ >= 0) ::close(slave_);
  if (master_ >= 0) ::close(master_);
}

bool Pty::Send(std::string_view bytes, Ms deadline) {
  const auto end = Clock::now() + deadline;
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return false;
    const int wait = MsLeft(end);
    if (wait == 0) return false;
    pollfd p{master_, POLLOUT, 0};
    ::poll(&p, 1, wait);
  }
  return true;
}

bool Pty::ReadPacket(Ms wait) {
  pollfd p{master_, POLLIN, 0};
  if (::poll(&p, 1, static_cast<int>(wait.count())) <= 0 || !(p.revents & POLLIN)) return false;
  char buffer[4096];
  const ssize_t n = ::read(master_, buffer, sizeof buffer);
  if (n <= 0) return false;
  if (buffer[0] == TIOCPKT_DATA) {
    pending_.append(buffer + 1, static_cast<size_t>(n - 1));
  } else {
    if (buffer[0] & TIOCPKT_STOP) {
      stopped_ = true;
      sawStop_ = true;
    }
    if (buffer[0] & TIOCPKT_START) {
      stopped_ = false;
      sawStart_ = true;
    }
  }
  return true;
}

std::string Pty::Receive(size_t n, Ms deadline) {
  const auto end = Clock::now() + deadline;
  while (pending_.size() < n) {
    const int wait = MsLeft(end);
    if (wait == 0) break;
    ReadPacket(Ms(wait));
  }
  const size_t take = std::min(n, pending_.size());
  std::string out = pending_.substr(0, take);
  pending_.erase(0, take);
  return out;
}

std::string Pty::ReceiveUntil(std::string_view pattern, Ms deadline) {
  const auto end = Clock::now() + deadline;
  for (;;) {
    const size_t at = pending_.find(pattern);
    if (at != std::string::npos) {
      std::string out = pending_.substr(0, at + pattern.size());
      pending_.erase(0, at + pattern.size());
      return out;
    }
    const int wait = MsLeft(end);
    if (wait == 0) break;
    ReadPacket(Ms(wait));
  }
  std::string out;
  out.swap(pending_);
  return out;
}

std::string Pty::Drain(Ms quiet) {
  while (ReadPacket(quiet)) {
  }
  std::string out;
  out.swap(pending_);
  return out;
}

bool Pty::WaitOutputStopped(Ms deadline) {
  const auto end = Clock::now() + deadline;
  sawStop_ = stopped_;
  while (!sawStop_) {
    const int wait = MsLeft(end);
    if (wait == 0) return false;
    ReadPacket(Ms(wait));
  }
  sawStop_ = false;
  return true;
}

bool Pty::WaitOutputStarted(Ms deadline) {
  const auto end = Clock::now() + deadline;
  sawStart_ = !stopped_;
  while (!sawStart_) {
    const int wait = MsLeft(end);
    if (wait == 0) return false;
    ReadPacket(Ms(wait));
  }
  sawStart_ = false;
  return true;
}

int Pty::SlaveBaud() const {
  termios t{};
  if (::tcgetattr(master_, &t) != 0) return -1;
  return BaudOf(cfgetospeed(&t));
}

bool Pty::SlaveRtsCts() const {
  termios t{};
  return ::tcgetattr(master_, &t) == 0 && (t.c_cflag & CRTSCTS);
}

bool Pty::SlaveXonXoff() const {
  termios t{};
  return ::tcgetattr(master_, &t) == 0 && (t.c_iflag & IXON);
}

void Pty::BendSlaveSettings() {
  termios t{};
  ::tcgetattr(slave_, &t);
  t.c_iflag |= IUCLC | ICRNL | IGNPAR;
  t.c_lflag |= ECHO;
  ::tcsetattr(slave_, TCSANOW, &t);
}

ScopedPortTable::ScopedPortTable(const std::string& value) {
  if (const char* old = std::getenv("UPDATE_PORTS")) {
    had_ = true;
    previous_ = old;
  }
  ::setenv("UPDATE_PORTS", value.c_str(), 1);
}

ScopedPortTable::~ScopedPortTable() {
  if (had_)
    ::setenv("UPDATE_PORTS", previous_.c_str(), 1);
  else
    ::unsetenv("UPDATE_PORTS");
}
