#include "platform/SerialById.h"

#include <filesystem>
#include <system_error>

std::string SerialByIdPath(const std::string& devicePath) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (devicePath.empty()) return {};
  const fs::path device = fs::canonical(devicePath, ec);
  if (ec) return {};
  for (fs::directory_iterator it("/dev/serial/by-id", ec), end; !ec && it != end;
       it.increment(ec)) {
    std::error_code linkEc;
    if (fs::canonical(it->path(), linkEc) == device && !linkEc) return it->path().string();
  }
  return {};
}
