#include "platform/SerialDevice.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
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

// Unix98 pseudo-terminal slaves: majors 136 to 143.
bool IsPseudoTerminal(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return false;
  const unsigned m = major(st.st_rdev);
  return S_ISCHR(st.st_mode) && m >= 136 && m <= 143;
}

// The fields the tool sets, for comparing what the driver read back.
bool SameLine(const termios& a, const termios& b) {
  constexpr tcflag_t kCflags = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
  return (a.c_cflag & kCflags) == (b.c_cflag & kCflags) &&
         (a.c_iflag & (IXON | IXOFF)) == (b.c_iflag & (IXON | IXOFF)) &&
         cfgetospeed(&a) == cfgetospeed(&b) && cfgetispeed(&a) == cfgetispeed(&b);
}

int BaudOfSpeed(speed_t speed) {
  for (int baud : {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200})
    if (SpeedOf(baud) == speed) return baud;
  return 0;
}

void ClearDtr(int fd) {
  // Fails with ENOTTY on pseudo-terminals, which have no modem lines.
  int dtr = TIOCM_DTR;
  ::ioctl(fd, TIOCMBIC, &dtr);
}

PortOpenStatus Classify(int error) {
  switch (error) {
    case EBUSY:
    case EACCES:
    case EWOULDBLOCK: return PortOpenStatus::InUse;
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

PortProbe SerialDevice::Probe(const std::string& path) {
  SerialDevice device;
  PortProbe probe;
  probe.status = device.Open(path);
  probe.error = device.OpenError();
  device.Close();
  return probe;
}

PortOpenStatus SerialDevice::Open(const std::string& path) {
  openError_ = 0;
  if (fd_ >= 0) {
    openError_ = EBUSY;
    return PortOpenStatus::InUse;
  }
  if (path.empty()) {
    openError_ = ENOENT;
    return PortOpenStatus::Missing;
  }
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    openError_ = errno;
    return Classify(openError_);
  }
  // The kernel raises DTR and RTS while it opens a line whose saved speed is
  // not 0; a meter whose boot loader listens to DTR must see it low again at
  // once, before any other setting.
  ClearDtr(fd);
  auto fail = [&](int error, PortOpenStatus status) {
    openError_ = error;
    ::close(fd);
    return status;
  };
  // Another program's exclusive flag: root's open ignores it, so ask.
  int exclusive = 0;
  if (::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive)
    return fail(EBUSY, PortOpenStatus::InUse);
  // flock also guards against programs that hold the port without the flag.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return fail(errno, Classify(errno));
  auto original = std::make_shared<termios>();
  if (::tcgetattr(fd, original.get()) != 0) return fail(ENOTTY, PortOpenStatus::Missing);
  ::ioctl(fd, TIOCEXCL);  // ours: Close clears it
  fd_ = fd;
  pseudoTerminal_ = IsPseudoTerminal(fd);
  original_ = std::move(original);
  baud_ = 9600;
  hungUp_ = false;
  lineError_ = 0;
  lineChanged_ = false;
  return PortOpenStatus::Ok;
}

void SerialDevice::Close() {
  if (fd_ < 0) return;
  if (!hungUp_) {
    // The last command must leave at the speed it was written with.
    Drain(1000);
    // A port that was only probed keeps its configuration untouched.
    if (original_ && lineChanged_) {
      // HUPCL: DTR and RTS drop when the port is let go, as a meter would
      // see when the cable is pulled.
      termios t = *original_;
      t.c_cflag |= HUPCL;
      ::tcsetattr(fd_, TCSADRAIN, &t);
    }
    ::ioctl(fd_, TIOCNXCL);
  }
  ::close(fd_);
  fd_ = -1;
  original_.reset();
}

void SerialDevice::KeepOriginalLine(std::shared_ptr<const termios> line) {
  if (fd_ < 0 || !line) return;
  original_ = std::move(line);
  lineChanged_ = true;
}

void SerialDevice::TakeFrom(SerialDevice& other) {
  if (&other == this) return;
  Close();
  fd_ = other.fd_;
  pseudoTerminal_ = other.pseudoTerminal_;
  lineChanged_ = other.lineChanged_;
  openError_ = other.openError_;
  lineError_ = other.lineError_;
  original_ = std::move(other.original_);
  baud_ = other.baud_.load();
  hungUp_ = other.hungUp_.load();
  other.fd_ = -1;
  other.original_.reset();
}

bool SerialDevice::Drain(long limitMs) {
  if (fd_ < 0 || hungUp_) return false;
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(0L, limitMs));
  if (AwaitEmptyOutput(deadline) > 0) return false;
  // The queue is empty; the driver may still hold bytes in the UART's FIFO.
  // A pseudo-terminal has neither, and tcdrain returns at once.
  if (::tcdrain(fd_) != 0 && errno == EIO) MarkHungUp();
  return true;
}

int SerialDevice::AwaitEmptyOutput(std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    int queued = 0;
    if (::ioctl(fd_, TIOCOUTQ, &queued) != 0 || queued <= 0) return 0;
    const int left = writeCut_ ? 0 : MsUntil(deadline);
    if (left <= 0) {
      // Held by flow control: bytes reported unsent must not reach the
      // meter later, and close() must not wait behind them.
      ::tcflush(fd_, TCOFLUSH);
      return queued;
    }
    const int baud = std::max(1200, baud_.load());
    const long needMs = 1 + static_cast<long>(queued) * 10 * 1000 / baud;
    // A cut wakes the wait.
    pollfd p{cutSignal_.fd_, POLLIN, 0};
    ::poll(&p, 1, static_cast<int>(std::min<long>(left, needMs)));
  }
}

LineCheck SerialDevice::Apply(termios& t, bool drainFirst) {
  lineError_ = 0;
  lineChanged_ = true;
  if (drainFirst) Drain(1000);
  const int when = drainFirst ? TCSADRAIN : TCSANOW;
  if (::tcsetattr(fd_, when, &t) != 0) {
    lineError_ = errno;
    // Pseudo-terminals refuse 7 data bits; the rest of the change still
    // counts there. A real driver that refuses a framing is an error.
    const bool sevenBitsOnPty = pseudoTerminal_ && errno == EINVAL && (t.c_cflag & CSIZE) != CS8;
    if (!sevenBitsOnPty) return LineCheck::Refused;
    t.c_cflag = (t.c_cflag & ~CSIZE) | CS8;
    if (::tcsetattr(fd_, when, &t) != 0) {
      lineError_ = errno;
      return LineCheck::Refused;
    }
    lineError_ = 0;
  }
  termios back{};
  if (::tcgetattr(fd_, &back) != 0) {
    lineError_ = errno;
    return LineCheck::Refused;
  }
  // Pseudo-terminals clear parity; that is no fault of the line.
  constexpr tcflag_t kParity = PARENB | PARODD | CMSPAR;
  if (pseudoTerminal_) back.c_cflag = (back.c_cflag & ~kParity) | (t.c_cflag & kParity);
  return SameLine(t, back) ? LineCheck::Ok : LineCheck::Differs;
}

LineCheck SerialDevice::ConfigureRaw(const LineSettings& settings) {
  if (fd_ < 0) return LineCheck::Refused;
  // From a cleared configuration: whatever an earlier user left (IGNPAR,
  // IUCLC, ICRNL, echo, ...) must not bend the bytes.
  termios t{};
  t.c_cflag = CS8 | CREAD | CLOCAL;  // HUPCL off while the tool holds the line
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  LineSettings full = settings;
  if (!full.flow) full.flow = LineFlow::None;
  if (!full.baud) full.baud = 9600;
  SetFields(t, full);
  const LineCheck check = Apply(t, false);
  if (check != LineCheck::Refused) baud_ = *full.baud;
  // DTR off, RTS on for the whole run (RTS_CTS hands RTS to the driver).
  ClearDtr(fd_);
  int rts = TIOCM_RTS;
  ::ioctl(fd_, TIOCMBIS, &rts);
  return check;
}

LineCheck SerialDevice::Modify(const LineSettings& settings) {
  if (fd_ < 0) return LineCheck::Refused;
  termios t{};
  if (::tcgetattr(fd_, &t) != 0) {
    lineError_ = errno;
    return LineCheck::Refused;
  }
  SetFields(t, settings);
  const LineCheck check = Apply(t, true);
  if (check != LineCheck::Refused && settings.baud) baud_ = *settings.baud;
  return check;
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
  const bool ok = Apply(t, true) != LineCheck::Refused;
  if (const int baud = BaudOfSpeed(cfgetospeed(&t))) baud_ = baud;
  return ok;
}

void SerialDevice::PurgeInput() {
  if (fd_ >= 0) ::tcflush(fd_, TCIFLUSH);
}

int SerialDevice::Read(char* buffer, size_t n, long totalMs, long intervalMs, bool dropNul) {
  if (fd_ < 0 || buffer == nullptr || n == 0) return 0;
  if (hungUp_) return kHungUp;
  const auto start = Clock::now();
  const auto deadline = start + std::chrono::milliseconds(std::max(0L, totalMs));
  std::optional<Clock::time_point> lastArrival;
  size_t got = 0;
  bool hangupSeen = false;
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
    // A raw tty with VMIN 0 answers "nothing yet" with 0, and so does a
    // hung-up one; the poll below tells them apart. EIO: the far end of a
    // pseudo-terminal is gone.
    if ((r == 0 && hangupSeen) || (r < 0 && errno == EIO)) {
      MarkHungUp();
      break;
    }
    if (r < 0 && errno != EAGAIN && errno != EWOULDBLOCK) break;
    auto until = deadline;
    if (lastArrival) until = std::min(until, *lastArrival + std::chrono::milliseconds(intervalMs));
    const int wait = MsUntil(until);
    if (wait <= 0) break;
    pollfd p{fd_, POLLIN, 0};
    const int ready = ::poll(&p, 1, wait);
    if (ready < 0 && errno != EINTR) break;
    // One more read decides: bytes that came before the hang-up are data.
    if (ready > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) hangupSeen = true;
  }
  if (got == 0 && hungUp_) return kHungUp;
  return static_cast<int>(got);
}

int SerialDevice::Write(const char* data, size_t n, long totalMs) {
  if (fd_ < 0 || data == nullptr || n == 0) return 0;
  if (hungUp_) return kHungUp;
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(0L, totalMs));
  size_t sent = 0;
  while (sent < n && !writeCut_) {
    const ssize_t r = ::write(fd_, data + sent, n - sent);
    if (r > 0) {
      sent += static_cast<size_t>(r);
      continue;
    }
    if (r < 0 && errno == EINTR) continue;
    if (r < 0 && errno == EIO) {
      MarkHungUp();
      return kHungUp;
    }
    if (r < 0 && errno != EAGAIN && errno != EWOULDBLOCK) break;
    const int wait = writeCut_ ? 0 : MsUntil(deadline);
    if (wait <= 0) break;
    pollfd p[2] = {{fd_, POLLOUT, 0}, {cutSignal_.fd_, POLLIN, 0}};
    const int ready = ::poll(p, 2, wait);
    if (ready < 0 && errno != EINTR) break;
    if (ready > 0 && (p[0].revents & (POLLHUP | POLLERR))) {
      MarkHungUp();
      return kHungUp;
    }
    if (p[1].revents & POLLIN) break;  // cut
    if (ready > 0 && !(p[0].revents & POLLOUT)) break;
  }
  // Accepted by the driver is not yet on the line: a peer holding CTS off
  // leaves bytes in the output queue, and a caller may change the baud rate
  // right after. Wait for the queue within the same deadline; what is still
  // queued then is discarded and counts as unsent.
  if (const int unsent = AwaitEmptyOutput(deadline); unsent > 0)
    return static_cast<int>(sent - std::min(sent, static_cast<size_t>(unsent)));
  // The last bytes may still sit in the UART's FIFO.
  if (writeCut_) return static_cast<int>(sent);
  if (::tcdrain(fd_) != 0 && errno == EIO) {
    MarkHungUp();
    return kHungUp;
  }
  return static_cast<int>(sent);
}

void SerialDevice::SetWriteCut(bool cut) {
  writeCut_ = cut;
  if (cut)
    cutSignal_.Notify();
  else
    cutSignal_.Clear();
}

SerialDevice::Wait SerialDevice::WaitForInput(WakeSignal& wake, int timeoutMs, bool watchPort) {
  pollfd p[2] = {{wake.fd_, POLLIN, 0}, {fd_, POLLIN, 0}};
  const nfds_t count = watchPort && fd_ >= 0 && !hungUp_ ? 2 : 1;
  const int ready = ::poll(p, count, timeoutMs);
  if (ready <= 0) return Wait::Timeout;  // EINTR counts as a time-out
  if (p[0].revents) return Wait::Woken;
  // A hung-up line also reports POLLIN; it is input only while bytes that
  // came before the hang-up are still waiting to be read.
  if ((p[1].revents & (POLLHUP | POLLERR | POLLNVAL)) && InputQueued() == 0) {
    MarkHungUp();
    return Wait::Hangup;
  }
  if (p[1].revents & POLLIN) return Wait::Input;
  MarkHungUp();
  return Wait::Hangup;
}

int SerialDevice::InputQueued() const {
  int queued = 0;
  if (fd_ < 0 || ::ioctl(fd_, FIONREAD, &queued) != 0) return 0;
  return queued;
}

int SerialDevice::OutputQueued() const {
  int queued = 0;
  if (fd_ < 0 || ::ioctl(fd_, TIOCOUTQ, &queued) != 0) return 0;
  return queued;
}

bool SerialDevice::ErrorCounts(LineErrorCounts& counts) const {
  serial_icounter_struct icount{};
  if (fd_ < 0 || ::ioctl(fd_, TIOCGICOUNT, &icount) != 0) return false;
  counts.frame = static_cast<uint32_t>(icount.frame);
  counts.overrun =
      static_cast<uint32_t>(icount.overrun) + static_cast<uint32_t>(icount.buf_overrun);
  counts.parity = static_cast<uint32_t>(icount.parity);
  return true;
}
