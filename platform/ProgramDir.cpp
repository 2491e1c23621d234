#include "platform/ProgramDir.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

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

std::string ProgramFolder() {
  if (const char* dir = std::getenv("UPDATE_PROGRAM_DIR"); dir && *dir)
    return WithoutTrailingSlash(dir);
  if (!InstalledDataFolder().empty()) {
    std::error_code ec;
    const fs::path cwd = fs::current_path(ec);
    return ec ? std::string(".") : WithoutTrailingSlash(cwd.string());
  }
  return WithoutTrailingSlash(ExecutableFolder().string());
}

std::string DataFolder() {
  const std::string installed = InstalledDataFolder();
  return installed.empty() ? ProgramFolder() : installed;
}

std::string FirmwarePath(const std::string& file) {
  std::error_code ec;
  if (std::filesystem::is_regular_file(file, ec)) return file;
  return ProgramFolder() + "/" + file;
}
