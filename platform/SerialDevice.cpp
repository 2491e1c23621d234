#include "platform/SerialDevice.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

speed_t SpeedOf(int baud) {
  switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B9600;
  }
}

// Milliseconds until `deadline`, rounded up so that poll() never wakes early.
int MsUntil(Clock::time_point deadline) {
  const auto left = deadline - Clock::now();
  if (left <= Clock::duration::zero()) return 0;
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
  return ms > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(ms);
}

PortOpenStatus Classify(int error) {
  switch (error) {
    case EBUSY:
    case EACCES:
    case EWOULDBLOCK:
      return PortOpenStatus::InUse;
    default:  // ENOENT, ENODEV, ENXIO, EIO and anything else
      return PortOpenStatus::Missing;
  }
}

void SetFields(termios& t, const LineSettings& s) {
  if (s.baud) {
    cfsetispeed(&t, SpeedOf(*s.baud));
    cfsetospeed(&t, SpeedOf(*s.baud));
  }
  if (s.dataBits) {
    t.c_cflag &= ~CSIZE;
    t.c_cflag |= *s.dataBits == 7 ? CS7 : CS8;
  }
  if (s.parity) {
    t.c_cflag &= ~(PARENB | PARODD | CMSPAR);
    switch (*s.parity) {
      case LineParity::None: break;
      case LineParity::Odd: t.c_cflag |= PARENB | PARODD; break;
      case LineParity::Even: t.c_cflag |= PARENB; break;
      case LineParity::Mark: t.c_cflag |= PARENB | PARODD | CMSPAR; break;
      case LineParity::Space: t.c_cflag |= PARENB | CMSPAR; break;
    }
  }
  if (s.stopBits) {
    if (*s.stopBits >= 2)
      t.c_cflag |= CSTOPB;
    else
      t.c_cflag &= ~CSTOPB;
  }
  if (s.flow) {
    t.c_cflag &= ~CRTSCTS;
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    if (*s.flow == LineFlow::RtsCts) t.c_cflag |= CRTSCTS;
    // Output flow control only: the instrument's XOFF stops our sending.
    if (*s.flow == LineFlow::XonXoff) t.c_iflag |= IXON;
    t.c_cc[VSTART] = 0x11;
    t.c_cc[VSTOP] = 0x13;
  }
}

}  // namespace

WakeSignal::WakeSignal() : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

WakeSignal::~WakeSignal() {
  if (fd_ >= 0) ::close(fd_);
}

void WakeSignal::Notify() {
  const uint64_t one = 1;
  while (::write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
  }
}

void WakeSignal::Clear() {
  uint64_t value = 0;
  while (::read(fd_, &value, sizeof value) < 0 && errno == EINTR) {
  }
}

SerialDevice::SerialDevice() = default;

SerialDevice::~SerialDevice() { Close(); }

PortOpenStatus SerialDevice::Probe(const std::string& path) {
  SerialDevice device;
  const PortOpenStatus status = device.Open(path);
  device.Close();
  return status;
}

PortOpenStatus SerialDevice::Open(const std::string& path) {
  if (fd_ >= 0) return PortOpenStatus::InUse;
  if (path.empty()) return PortOpenStatus::Missing;
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return Classify(errno);
  // The lock first: TIOCEXCL is a flag of the tty, and setting it on a port
  // someone else holds would be ours to clear again. flock also guards
  // against root, for whom TIOCEXCL does not count.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    return Classify(error);
  }
  auto original = std::make_shared<termios>();
  if (::tcgetattr(fd, original.get()) != 0) {  // not a serial line
    ::close(fd);
    return PortOpenStatus::Missing;
  }
  ::ioctl(fd, TIOCEXCL);
  fd_ = fd;
  original_ = std::move(original);
  baud_ = 9600;
  return PortOpenStatus::Ok;
}

void SerialDevice::Close() {
  if (fd_ < 0) return;
  if (original_) ::tcsetattr(fd_, TCSANOW, original_.get());
  ::ioctl(fd_, TIOCNXCL);
  ::close(fd_);
  fd_ = -1;
  original_.reset();
}

bool SerialDevice::Apply(termios& t) {
  if (::tcsetattr(fd_, TCSANOW, &t) == 0) return true;
  // Pseudo-terminals refuse 7 data bits; the rest of the change still counts.
  if (errno == EINVAL && (t.c_cflag & CSIZE) != CS8) {
    t.c_cflag = (t.c_cflag & ~CSIZE) | CS8;
    return ::tcsetattr(fd_, TCSANOW, &t) == 0;
  }
  return false;
}

bool SerialDevice::ConfigureRaw(const LineSettings& settings) {
  if (fd_ < 0) return false;
  termios t{};
  if (::tcgetattr(fd_, &t) != 0) return false;
  cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  LineSettings full = settings;
  if (!full.flow) full.flow = LineFlow::None;
  SetFields(t, full);
  const bool ok = Apply(t);
  if (settings.baud) baud_ = *settings.baud;
  // The line starts with DTR off and RTS on; modem-line calls fail on
  // pseudo-terminals, which is harmless.
  int dtr = TIOCM_DTR, rts = TIOCM_RTS;
  ::ioctl(fd_, TIOCMBIC, &dtr);
  ::ioctl(fd_, TIOCMBIS, &rts);
  return ok;
}

bool SerialDevice::Modify(const LineSettings& settings) {
  if (fd_ < 0) return false;
  termios t{};
  if (::tcgetattr(fd_, &t) != 0) return false;
  SetFields(t, settings);
  const bool ok = Apply(t);
  if (ok && settings.baud) baud_ = *settings.baud;
  return ok;
}

LineSnapshot SerialDevice::Save() const {
  LineSnapshot snapshot;
  if (fd_ < 0) return snapshot;
  auto t = std::make_shared<termios>();
  if (::tcgetattr(fd_, t.get()) == 0) snapshot.state_ = std::move(t);
  return snapshot;
}

bool SerialDevice::Restore(const LineSnapshot& snapshot) {
  if (fd_ < 0 || !snapshot.state_) return false;
  termios t = *snapshot.state_;
  const bool ok = Apply(t);
  const speed_t speed = cfgetospeed(&t);
  for (int baud : {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200})
    if (SpeedOf(baud) == speed) baud_ = baud;
  return ok;
}

int SerialDevice::Read(char* buffer, size_t n, long totalMs, long intervalMs, bool dropNul) {
  if (fd_ < 0 || buffer == nullptr || n == 0) return 0;
  const auto start = Clock::now();
  const auto deadline = start + std::chrono::milliseconds(std::max(0L, totalMs));
  std::optional<Clock::time_point> lastArrival;
  size_t got = 0;
  while (got < n) {
    const ssize_t r = ::read(fd_, buffer + got, n - got);
    if (r > 0) {
      lastArrival = Clock::now();
      size_t kept = static_cast<size_t>(r);
      if (dropNul) {
        char* out = buffer + got;
        const char* end = buffer + got + r;
        for (const char* in = out; in != end; ++in)
          if (*in != '\0') *out++ = *in;
        kept = static_cast<size_t>(out - (buffer + got));
      }
      got += kept;
      continue;
    }
    if (r < 0 && errno == EINTR) continue;
    // A raw tty with VMIN 0 answers "nothing yet" with 0; EIO means hung up.
    if (r < 0 && errno != EAGAIN && errno != EWOULDBLOCK) break;
    auto until = deadline;
    if (lastArrival) until = std::min(until, *lastArrival + std::chrono::milliseconds(intervalMs));
    const int wait = MsUntil(until);
    if (wait <= 0) break;
    pollfd p{fd_, POLLIN, 0};
    const int ready = ::poll(&p, 1, wait);
    if (ready < 0 && errno != EINTR) break;
    if (ready > 0 && !(p.revents & POLLIN)) break;  // error or hang-up without data
  }
  return static_cast<int>(got);
}

int SerialDevice::Write(const char* data, size_t n, long totalMs) {
  if (fd_ < 0 || data == nullptr || n == 0) return 0;
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(0L, totalMs));
  size_t sent = 0;
  while (sent < n) {
    const ssize_t r = ::write(fd_, data + sent, n - sent);
    if (r > 0) {
      sent += static_cast<size_t>(r);
      continue;
    }
    if (r < 0 && errno == EINTR) continue;
    if (r < 0 && errno != EAGAIN && errno != EWOULDBLOCK) break;
    const int wait = MsUntil(deadline);
    if (wait <= 0) break;
    pollfd p{fd_, POLLOUT, 0};
    const int ready = ::poll(&p, 1, wait);
    if (ready < 0 && errno != EINTR) break;
    if (ready > 0 && !(p.revents & POLLOUT)) break;
  }
  // Accepted by the driver is not yet on the line: a peer holding CTS off
  // leaves bytes in the output queue, and a caller may change the baud rate
  // right after. Wait for the queue within the same deadline.
  for (;;) {
    int queued = 0;
    if (::ioctl(fd_, TIOCOUTQ, &queued) != 0 || queued <= 0) break;
    const int left = MsUntil(deadline);
    if (left <= 0) {
      // What the line did not take by the deadline is dropped from the
      // driver's queue, as a timed-out write does on the original system:
      // left there it would still go out once CTS returns, and a caller
      // that sends the rest again would deliver those bytes twice.
      ::tcflush(fd_, TCOFLUSH);
      sent -= std::min(sent, static_cast<size_t>(queued));
      break;
    }
    const int baud = std::max(1200, baud_.load());
    const long needMs = 1 + static_cast<long>(queued) * 10 * 1000 / baud;
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min<long>(left, needMs)));
  }
  return static_cast<int>(sent);
}

SerialDevice::Wait SerialDevice::WaitForInput(WakeSignal& wake, int timeoutMs, bool watchPort) {
  pollfd p[2] = {{wake.fd_, POLLIN, 0}, {fd_, POLLIN, 0}};
  const nfds_t count = watchPort && fd_ >= 0 ? 2 : 1;
  const int ready = ::poll(p, count, timeoutMs);
  if (ready <= 0) return Wait::Timeout;  // EINTR counts as a time-out
  if (p[0].revents) return Wait::Woken;
  // A hung-up line also reports POLLIN; it is input only while bytes that
  // came before the hang-up are still waiting to be read.
  if ((p[1].revents & (POLLHUP | POLLERR | POLLNVAL)) && InputQueued() == 0) return Wait::Hangup;
  if (p[1].revents & POLLIN) return Wait::Input;
  return Wait::Hangup;
}

int SerialDevice::InputQueued() const {
  int queued = 0;
  if (fd_ < 0 || ::ioctl(fd_, FIONREAD, &queued) != 0) return 0;
  return queued;
}

bool SerialDevice::ErrorCounts(LineErrorCounts& counts) const {
  serial_icounter_struct icount{};
  if (fd_ < 0 || ::ioctl(fd_, TIOCGICOUNT, &icount) != 0) return false;
  counts.frame = static_cast<uint32_t>(icount.frame);
  counts.overrun = static_cast<uint32_t>(icount.overrun) + static_cast<uint32_t>(icount.buf_overrun);
  counts.parity = static_cast<uint32_t>(icount.parity);
  return true;
}
