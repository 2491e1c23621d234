#include "pty_link.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

unsigned baudFromSpeed(unsigned speed) {
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

bool isStandardBaud(unsigned baud) {
  for (unsigned b : {1200u, 2400u, 4800u, 9600u, 19200u, 38400u, 57600u, 115200u})
    if (b == baud) return true;
  return false;
}

PtyLink::~PtyLink() { close(); }

bool PtyLink::open(std::string& error) {
  fd_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd_ < 0 || grantpt(fd_) != 0 || unlockpt(fd_) != 0) {
    error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
    close();
    return false;
  }
  char name[128];
  if (ptsname_r(fd_, name, sizeof name) != 0) {
    error = "cannot name the pseudo-terminal slave";
    close();
    return false;
  }
  slavePath_ = name;
  int s = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (s >= 0) ::close(s);
  return true;
}

void PtyLink::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool PtyLink::slaveOpen() const {
  if (fd_ < 0) return false;
  pollfd p{fd_, 0, 0};
  if (poll(&p, 1, 0) < 0) return false;
  return (p.revents & POLLHUP) == 0;
}

unsigned PtyLink::baud() const {
  termios t{};
  if (fd_ < 0 || tcgetattr(fd_, &t) != 0) return 0;
  return baudFromSpeed(static_cast<unsigned>(cfgetospeed(&t)));
}

long PtyLink::readSome(unsigned char* buf, size_t size) {
  if (fd_ < 0) return 0;
  ssize_t n = ::read(fd_, buf, size);
  return n > 0 ? static_cast<long>(n) : 0;
}

size_t PtyLink::writeSome(std::string_view bytes) {
  if (fd_ < 0 || bytes.empty()) return 0;
  ssize_t n = ::write(fd_, bytes.data(), bytes.size());
  return n > 0 ? static_cast<size_t>(n) : 0;
}

}  // namespace sim
