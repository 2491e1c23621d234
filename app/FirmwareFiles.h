#pragma once
// The firmware files delivered beside the program, found once at start-up,
// and the model menu entries they enable.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "app/DeviceTable.h"

struct FirmwareMenuStates {
  bool TG812qProgrammingVisible = false;
  bool DevMulti812qEnabled = false;  // device entry 0
  bool DevpH812qEnabled = false;     // device entry 1
  bool DevOxi812qEnabled = false;    // device entry 2
  bool DevCond812qEnabled = false;   // device entry 3
  bool LabXXXEnabled = false;
};

struct FirmwareScan {
  static constexpr std::size_t kCapacity = 90;

  std::vector<std::string> files;         // names without folder, at most kCapacity
  std::vector<std::string> listBoxNames;  // DLListBox: each name up to its first full stop
  FirmwareMenuStates menu;
  std::vector<std::string> notes;  // files left out beyond the capacity

  // MatchDevice refuses an instrument whose main file names none of these.
  bool MainFileFound(std::string_view mainFile) const;
};

// True when mainFile (from the device table) names the scanned file,
// ignoring case.
bool MainFileListed(std::string_view mainFile, std::string_view file);

// True when mainFile names one of the scanned files.
bool MainFileInScan(std::string_view mainFile, const std::vector<std::string>& files);

// Looks in folder for *.mot (without "EEP"), then *.txt, *.exe, *.dll,
// *.hex (without "EEP" or "Version").
FirmwareScan ScanFirmwareFiles(const std::string& folder, const DeviceTable& table);

// Regular, non-hidden files of folder whose names end in suffix (ignoring
// case; empty: all),
// sorted by name. Shared with the download-list wildcards.
std::vector<std::string> ListFolderFiles(const std::string& folder, std::string_view suffix);
