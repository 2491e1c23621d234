#include "app/FirmwareFiles.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace {

bool Has(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Lowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = Lower(c);
  return out;
}

// The device table and the delivery come from a case-blind file system:
// "ph812q.mot" in the settings names PH812Q.MOT on disk.
bool HasIgnoringCase(std::string_view text, std::string_view part) {
  return Has(Lowered(text), Lowered(part));
}

// An empty ProgFile2 (or a device entry the table does not have) names no
// file; a plain substring test would find "" in every name.
bool NamesFile(std::string_view name, const DeviceTable& table, std::size_t entry) {
  if (entry >= table.entries.size()) return false;
  std::string_view progFile2 = table.entries[entry].ProgFile2.view();
  return !progFile2.empty() && HasIgnoringCase(name, progFile2);
}

std::string UpToFirstFullStop(const std::string& name) { return name.substr(0, name.find('.')); }

}  // namespace

std::vector<std::string> ListFolderFiles(const std::string& folder, std::string_view suffix) {
  std::vector<std::string> names;
  std::error_code ec;
  std::filesystem::directory_iterator it(folder.empty() ? "." : folder, ec);
  for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    std::string name = it->path().filename().string();
    // Dot files are the hidden files here; only "normal" files count.
    if (name.empty() || name[0] == '.') continue;
    if (name.size() < suffix.size() ||
        Lowered(std::string_view(name).substr(name.size() - suffix.size())) != Lowered(suffix))
      continue;
    std::error_code statEc;
    if (!it->is_regular_file(statEc)) continue;
    names.push_back(std::move(name));
  }
  // Directory order is arbitrary on Linux; sorting by name makes the list
  // (and which name decides the menu states) the same on every run.
  std::sort(names.begin(), names.end());
  return names;
}

bool MainFileListed(std::string_view mainFile, std::string_view file) {
  return HasIgnoringCase(mainFile, file);
}

bool MainFileInScan(std::string_view mainFile, const std::vector<std::string>& files) {
  return std::any_of(files.begin(), files.end(),
                     [&](const std::string& f) { return MainFileListed(mainFile, f); });
}

bool FirmwareScan::MainFileFound(std::string_view mainFile) const {
  return MainFileInScan(mainFile, files);
}

FirmwareScan ScanFirmwareFiles(const std::string& folder, const DeviceTable& table) {
  FirmwareScan scan;
  std::size_t leftOut = 0;
  auto add = [&](const std::string& name) {
    if (scan.files.size() >= FirmwareScan::kCapacity) {
      ++leftOut;
      return false;
    }
    scan.files.push_back(name);
    scan.listBoxNames.push_back(UpToFirstFullStop(name));
    return true;
  };

  // Extensions and names are matched ignoring case, as on the share the
  // delivery comes from.
  for (const std::string& name : ListFolderFiles(folder, ".mot")) {
    if (Has(name, "EEP") || !add(name)) continue;
    // The last S-record file found decides the visibility.
    scan.menu.TG812qProgrammingVisible = NamesFile(name, table, 0);
    scan.menu.DevMulti812qEnabled |= NamesFile(name, table, 0);
    scan.menu.DevpH812qEnabled |= NamesFile(name, table, 1);
    scan.menu.DevOxi812qEnabled |= NamesFile(name, table, 2);
    scan.menu.DevCond812qEnabled |= NamesFile(name, table, 3);
  }
  for (std::string_view ext : {".txt", ".exe", ".dll", ".hex"}) {
    for (const std::string& name : ListFolderFiles(folder, ext)) {
      if (Has(name, "EEP") || Has(name, "Version") || !add(name)) continue;
      for (std::size_t e = 0; e < 4; ++e) scan.menu.LabXXXEnabled |= NamesFile(name, table, e);
    }
  }
  if (leftOut > 0) {
    scan.notes.push_back(std::to_string(leftOut) + " firmware file(s) left out: more than " +
                         std::to_string(FirmwareScan::kCapacity) + " in " + folder);
  }
  return scan;
}
