#pragma once
// Compares the versions in the firmware files with the instrument's and
// decides, with the user where needed, whether the download goes ahead.
#include <functional>
#include <string>

#include "core/DeviceRecord.h"

// Queries the start-up program's version in the instrument (reply 2011).
inline constexpr const char* kStartupVersionQuery = "A.2100\r\n";
inline constexpr const char* kStartupProgramName = "VernixStartUp.exe";

struct VersionTexts {
  std::string statusText;         // status panel 2: "Version 1.23 / 2.01"
  bool sendStartupQuery = false;  // send kStartupVersionQuery and wait 3000 ms
  int startupProgramIndex = -1;   // download-list index of the start-up program
  int startupGroupEnd = -1;       // last download-list index read
};

// Reads the version texts of the main file, the download list, the extra
// and the sensor file (all in programFolder) into the record, with the keys
// SWKenn1..3 of the record.
VersionTexts ReadVersionTexts(DeviceRecord& record, const std::string& programFolder, int language);

struct VersionCheckContext {
  int language = 0;
  bool versionGuard = true;  // refuse an instrument newer than the files
  bool usbOnly = false;      // reply 262: the sensor software is updated over USB only
  std::function<void(const std::string&)> addMemo;
};

// True when the download may go ahead. Sets downloadConfirmed when the user
// confirmed a download that is not an upgrade (or the guard let a
// downgrade through, which then also sets the instrument's number to the file's).
bool CheckVersions(DeviceRecord& record, const VersionCheckContext& context,
                   bool& downloadConfirmed);

bool MainSoftwareToBeUpdated(const DeviceRecord& record, bool downloadConfirmed);
bool SensorSoftwareToBeUpdated(const DeviceRecord& record, bool downloadConfirmed);
