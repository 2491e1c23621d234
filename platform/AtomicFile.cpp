#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace {

bool Fail(int* error, int code) {
  if (error) *error = code;
  return false;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool ReplaceFileAtomically(const std::string& path, std::string_view bytes, int* error) {
  std::string target = path;
  struct stat old {};
  bool existed = lstat(path.c_str(), &old) == 0;
  if (existed && S_ISLNK(old.st_mode)) {
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved) == nullptr) return Fail(error, errno);
    target = resolved;
    existed = stat(target.c_str(), &old) == 0;
  }
  if (existed && !S_ISREG(old.st_mode)) return Fail(error, EISDIR);

  std::string temp = target + ".tmpXXXXXX";
  const int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return Fail(error, errno);
  auto discard = [&](int code) {
    close(fd);
    unlink(temp.c_str());
    return Fail(error, code);
  };
  if (fchmod(fd, existed ? (old.st_mode & 07777) : 0644) != 0) return discard(errno);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return discard(n < 0 ? errno : EIO);
    done += static_cast<std::size_t>(n);
  }
  if (fsync(fd) != 0) return discard(errno);
  if (close(fd) != 0) {
    const int code = errno;
    unlink(temp.c_str());
    return Fail(error, code);
  }
  if (std::rename(temp.c_str(), target.c_str()) != 0) {
    const int code = errno;
    unlink(temp.c_str());
    return Fail(error, code);
  }
  // The rename itself is durable only once the folder is.
  const int dir = open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  return true;
}
