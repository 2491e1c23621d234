#include "platform/FileLookup.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

namespace {

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  auto lower = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [&](char x, char y) { return lower(x) == lower(y); });
}

std::string Join(const std::string& folder, std::string_view name) {
  return folder.empty() ? std::string(name) : folder + "/" + std::string(name);
}

}  // namespace

std::string FindFileInFolder(const std::string& folder, std::string_view name) {
  namespace fs = std::filesystem;
  if (name.empty() || name.find('/') != std::string_view::npos) {
    std::error_code ec;
    return !name.empty() && fs::is_regular_file(Join(folder, name), ec) ? Join(folder, name) : "";
  }
  std::error_code ec;
  const std::string exact = Join(folder, name);
  if (fs::is_regular_file(exact, ec)) return exact;

  std::vector<std::string> matches;
  for (fs::directory_iterator it(folder.empty() ? "." : folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string entry = it->path().filename().string();
    std::error_code typeError;
    if (SameIgnoringCase(entry, name) && it->is_regular_file(typeError)) matches.push_back(entry);
  }
  if (matches.empty()) return "";
  return Join(folder, *std::min_element(matches.begin(), matches.end()));
}
