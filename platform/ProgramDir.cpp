#include "platform/ProgramDir.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

std::string ProgramFolder() {
  if (const char* dir = std::getenv("UPDATE_PROGRAM_DIR"); dir && *dir)
    return WithoutTrailingSlash(dir);
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return ".";
  return WithoutTrailingSlash(exe.parent_path().string());
}
