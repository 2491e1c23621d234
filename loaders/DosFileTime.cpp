#include "loaders/DosFileTime.h"

#include <sys/stat.h>

uint32_t PackDosDateTime(const std::tm& local) {
  const int year = local.tm_year + 1900;
  if (year < 1980 || year > 2107) return kNoDosTime;
  const uint32_t date =
      static_cast<uint32_t>(((year - 1980) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
  // tm_sec may be 60 for a leap second; DOS counts two-second steps to 29.
  const int seconds = local.tm_sec > 59 ? 59 : local.tm_sec;
  const uint32_t time =
      static_cast<uint32_t>((local.tm_hour << 11) | (local.tm_min << 5) | (seconds / 2));
  return (date << 16) | time;
}

uint32_t DosFileTime(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return kNoDosTime;
  std::tm local{};
  const std::time_t when = info.st_mtime;
  if (localtime_r(&when, &local) == nullptr) return kNoDosTime;
  return PackDosDateTime(local);
}
