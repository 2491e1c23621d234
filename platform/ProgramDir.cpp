#include "platform/ProgramDir.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/FileLookup.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kDataName = "update";

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

fs::path ExecutableFolder() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::path(".") : exe.parent_path();
}

// <prefix>/share/update beside <prefix>/bin, or empty in a build tree.
std::string InstalledDataFolder() {
  const fs::path exeDir = ExecutableFolder();
  if (exeDir.filename() != "bin") return {};
  const fs::path data = exeDir.parent_path() / "share" / kDataName;
  std::error_code ec;
  return fs::is_directory(data, ec) ? data.string() : std::string();
}

}  // namespace

std::string WorkingFolder() {
  std::error_code ec;
  const fs::path cwd = fs::current_path(ec);
  return ec ? std::string(".") : WithoutTrailingSlash(cwd.string());
}

std::string ProgramFolder() {
  if (const char* dir = std::getenv("UPDATE_PROGRAM_DIR"); dir && *dir) {
    // Absolute, so a loader program started elsewhere can open it too.
    std::error_code ec;
    const fs::path absolute = fs::absolute(dir, ec);
    return WithoutTrailingSlash(ec ? std::string(dir) : absolute.lexically_normal().string());
  }
  return WorkingFolder();
}

std::string DataFolder() {
  const std::string installed = InstalledDataFolder();
  return installed.empty() ? WithoutTrailingSlash(ExecutableFolder().string()) : installed;
}

std::string ReadMePath() {
  constexpr const char* kReadMe = "ReadMe.pdf";
  for (const std::string& folder : {ProgramFolder(), WorkingFolder(), DataFolder()}) {
    const std::string found = FindFileInFolder(folder, kReadMe);
    if (!found.empty()) return found;
  }
  return DataFolder() + "/" + kReadMe;
}

std::string FirmwarePath(const std::string& file) {
  const FileLookupResult found = LookUpFile(ProgramFolder(), file);
  if (found.found()) return found.path;
  if (!file.empty() && file.front() == '/') return file;
  std::string path = ProgramFolder() + "/" + file;
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}
