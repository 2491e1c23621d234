#include "platform/FileLookup.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  auto lower = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [&](char x, char y) { return lower(x) == lower(y); });
}

std::string Join(const std::string& folder, std::string_view name) {
  if (folder.empty()) return std::string(name);
  if (folder.back() == '/') return folder + std::string(name);
  return folder + "/" + std::string(name);
}

std::vector<std::string_view> Parts(std::string_view name) {
  std::vector<std::string_view> parts;
  std::size_t pos = 0;
  while (pos <= name.size()) {
    std::size_t end = name.find_first_of("/\\", pos);
    if (end == std::string_view::npos) end = name.size();
    if (end > pos) parts.push_back(name.substr(pos, end - pos));
    pos = end + 1;
  }
  return parts;
}

bool IsKind(const fs::path& path, bool folder) {
  std::error_code ec;
  return folder ? fs::is_directory(path, ec) : fs::is_regular_file(path, ec);
}

}  // namespace

FileLookupResult LookUpFile(const std::string& folder, std::string_view name, bool wantFolder) {
  FileLookupResult result;
  std::string current = folder;
  if (!name.empty() && (name.front() == '/' || name.front() == '\\')) current = "/";
  const std::vector<std::string_view> parts = Parts(name);
  if (parts.empty()) return result;
  std::string relative;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const bool last = i + 1 == parts.size();
    const bool folderPart = !last || wantFolder;
    const std::string_view part = parts[i];
    std::string chosen;
    if (part == "." || part == "..") {
      chosen = std::string(part);
      if (!IsKind(Join(current, chosen), folderPart)) return result;
    } else {
      std::vector<std::string> matches;
      std::error_code ec;
      for (fs::directory_iterator it(current.empty() ? "." : current, ec), end; !ec && it != end;
           it.increment(ec)) {
        const std::string entry = it->path().filename().string();
        if (SameIgnoringCase(entry, part) && IsKind(it->path(), folderPart))
          matches.push_back(entry);
      }
      // A folder that cannot be listed may still hold the name as given.
      if (ec && IsKind(Join(current, part), folderPart)) matches = {std::string(part)};
      if (matches.empty()) return result;
      if (matches.size() > 1) {
        std::sort(matches.begin(), matches.end());
        for (const std::string& m : matches) result.clashing.push_back(Join(current, m));
        result.outcome = LookupOutcome::Ambiguous;
        return result;
      }
      chosen = matches.front();
    }
    current = Join(current, chosen);
    relative = relative.empty() ? chosen : relative + "/" + chosen;
  }
  result.outcome = LookupOutcome::Found;
  result.path = current;
  result.nameOnDisk = relative;
  return result;
}

std::string FindFileInFolder(const std::string& folder, std::string_view name) {
  FileLookupResult found = LookUpFile(folder, name);
  return found.found() ? found.path : std::string();
}

std::string JoinClashing(const FileLookupResult& result) {
  std::string text;
  for (const std::string& name : result.clashing) text += (text.empty() ? "" : " / ") + name;
  return text;
}
