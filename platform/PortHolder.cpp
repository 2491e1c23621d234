#include "platform/PortHolder.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

namespace {

bool HoldsDevice(const std::string& fdDir, dev_t device) {
  DIR* dir = ::opendir(fdDir.c_str());
  if (!dir) return false;
  bool holds = false;
  while (const dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    struct stat st {};
    if (::stat((fdDir + "/" + entry->d_name).c_str(), &st) == 0 && S_ISCHR(st.st_mode) &&
        st.st_rdev == device) {
      holds = true;
      break;
    }
  }
  ::closedir(dir);
  return holds;
}

}  // namespace

std::string PortHolderName(const std::string& devicePath) {
  struct stat target {};
  if (::stat(devicePath.c_str(), &target) != 0 || !S_ISCHR(target.st_mode)) return {};
  const long self = static_cast<long>(::getpid());
  std::string found;
  DIR* proc = ::opendir("/proc");
  if (!proc) return {};
  while (const dirent* entry = ::readdir(proc)) {
    char* end = nullptr;
    const long pid = std::strtol(entry->d_name, &end, 10);
    if (pid <= 0 || *end != '\0' || pid == self) continue;
    const std::string base = std::string("/proc/") + entry->d_name;
    if (!HoldsDevice(base + "/fd", target.st_rdev)) continue;
    std::ifstream comm(base + "/comm");
    std::string name;
    std::getline(comm, name);
    found = (name.empty() ? "?" : name) + " (pid " + std::to_string(pid) + ")";
    break;
  }
  ::closedir(proc);
  return found;
}

bool ProcessRunning(const std::string& name) {
  DIR* proc = ::opendir("/proc");
  if (!proc) return false;
  bool running = false;
  while (const dirent* entry = ::readdir(proc)) {
    char* end = nullptr;
    if (std::strtol(entry->d_name, &end, 10) <= 0 || *end != '\0') continue;
    std::ifstream comm(std::string("/proc/") + entry->d_name + "/comm");
    std::string comm_name;
    std::getline(comm, comm_name);
    if (comm_name == name) {
      running = true;
      break;
    }
  }
  ::closedir(proc);
  return running;
}
