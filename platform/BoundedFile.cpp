#include "platform/BoundedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

const char* KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "directory";
  if (S_ISFIFO(mode)) return "FIFO";
  if (S_ISCHR(mode)) return "character device";
  if (S_ISBLK(mode)) return "block device";
  if (S_ISSOCK(mode)) return "socket";
  return "special file";
}

const char* GermanKind(const std::string& kind) {
  if (kind == "directory") return "ein Verzeichnis";
  if (kind == "FIFO") return "eine FIFO";
  if (kind == "character device" || kind == "block device") return "ein Ger\xE4t";
  if (kind == "socket") return "ein Socket";
  return "eine Spezialdatei";
}

}  // namespace

int OpenBoundedFile(const std::string& path, int flags, std::size_t limit, FileCheck& check) {
  check = FileCheck{};
  // O_NONBLOCK: opening a FIFO for reading would wait for a writer.
  // The mode counts only with O_CREAT, for a file that was missing.
  const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0644);
  if (fd < 0) {
    check.error = errno;
    // A directory opened for writing fails with EISDIR before fstat.
    if (errno == EISDIR) {
      check.fault = FileFault::NotRegular;
      check.kind = "directory";
      check.error = 0;
    } else {
      check.fault =
          errno == ENOENT || errno == ENOTDIR ? FileFault::Missing : FileFault::Unreadable;
    }
    return -1;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    check.error = errno;
    check.fault = FileFault::Unreadable;
  } else if (!S_ISREG(st.st_mode)) {
    check.fault = FileFault::NotRegular;
    check.kind = KindOf(st.st_mode);
  } else if (static_cast<unsigned long long>(st.st_size) > limit) {
    check.fault = FileFault::TooLarge;
    check.size = static_cast<std::size_t>(st.st_size);
  }
  if (!check.ok()) {
    ::close(fd);
    return -1;
  }
  check.size = static_cast<std::size_t>(st.st_size);
  // Regular files never block; later reads need no special handling.
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

FileCheck ReadBoundedFile(const std::string& path, std::size_t limit, std::string& bytes) {
  bytes.clear();
  FileCheck check;
  const int fd = OpenBoundedFile(path, O_RDONLY, limit, check);
  if (fd < 0) return check;
  // The file may grow after fstat (a log being written, /proc): read one
  // byte past the limit to tell, and never more.
  bytes.resize((check.size < limit ? check.size : limit) + 1);
  std::size_t got = 0;
  for (;;) {
    if (got == bytes.size()) {
      if (got > limit) break;
      bytes.resize(got + 65536 < limit + 1 ? got + 65536 : limit + 1);
    }
    const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      check.fault = FileFault::Unreadable;
      check.error = errno;
      break;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  if (check.ok() && got > limit) {
    check.fault = FileFault::TooLarge;
    check.size = got;
  }
  if (!check.ok()) {
    bytes.clear();
    return check;
  }
  bytes.resize(got);
  check.size = got;
  return check;
}

std::string FileFaultReason(const FileCheck& check, std::size_t limit, int language) {
  const bool german = language == 0;
  std::string why;
  switch (check.fault) {
    case FileFault::None: return {};
    case FileFault::Missing: why = german ? "nicht vorhanden" : "does not exist"; break;
    case FileFault::NotRegular:
      why = german
                ? std::string("ist keine gew\xF6hnliche Datei, sondern ") + GermanKind(check.kind)
                : std::string("is not a regular file but a ") + check.kind;
      break;
    case FileFault::TooLarge:
      why = german ? "ist gr\xF6\xDF"
                     "er als " +
                         std::to_string(limit) + " Bytes"
                   : "is larger than " + std::to_string(limit) + " bytes";
      break;
    case FileFault::Unreadable:
      why = german ? "kann nicht gelesen werden" : "cannot be read";
      break;
  }
  if (check.error != 0) why += std::string(" (") + std::strerror(check.error) + ")";
  return why;
}
