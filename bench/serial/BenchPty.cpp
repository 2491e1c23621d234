#include "BenchPty.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

BenchPty::BenchPty() {
  master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  char name[128] = {};
  if (master < 0 || ::grantpt(master) || ::unlockpt(master) ||
      ::ptsname_r(master, name, sizeof name))
    return;
  slavePath = name;
  slaveKeeper = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios t{};
  ::tcgetattr(slaveKeeper, &t);
  cfmakeraw(&t);
  ::tcsetattr(slaveKeeper, TCSANOW, &t);
}

BenchPty::~BenchPty() {
  if (slaveKeeper >= 0) ::close(slaveKeeper);
  if (master >= 0) ::close(master);
}

bool BenchPty::SendAll(const char* data, size_t n) {
  size_t done = 0;
  while (done < n) {
    const ssize_t r = ::write(master, data + done, n - done);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    done += static_cast<size_t>(r);
  }
  return true;
}

size_t BenchPty::ReceiveSome(char* data, size_t n, int timeoutMs) {
  pollfd p{master, POLLIN, 0};
  if (::poll(&p, 1, timeoutMs) <= 0) return 0;
  const ssize_t r = ::read(master, data, n);
  return r > 0 ? static_cast<size_t>(r) : 0;
}
