#pragma once
// The run log: one JSON line per run (window or headless), appended to a
// file that parallel runs may share. Which meter got which firmware, when,
// and how the run ended.
#include <optional>
#include <string>
#include <vector>

struct RunLogFile {
  std::string name;     // as the device entry names it
  std::string path;     // where it was read
  long long size = -1;  // -1: the file could not be read
  std::string sha256;   // lower-case hex, empty when unreadable
  std::string method;   // how it was transferred
  bool transferred = false;
};

// Texts are Windows-1252 byte strings, as the tool holds them.
struct RunRecord {
  std::string start;  // ISO 8601 with offset
  std::string end;
  double seconds = 0;
  std::string host;
  std::string toolVersion;      // the program's build version
  std::string settingsVersion;  // the Version= text of Update.ini
  long pid = 0;
  int comNumber = 0;  // 0: no port was in use
  std::string devicePath;
  std::string byIdPath;
  std::string pcbNumber;
  std::string deviceNumber;
  std::string serialNumber;
  std::string softwareVersion;
  std::string deviceEntry;        // DeviceName of the entry that matched
  std::string deviceEntryNumber;  // its DeviceNr
  std::string fileVersion;        // version text of the main file
  std::string method;
  std::vector<RunLogFile> files;
  std::string outcome;            // success, aborted, refused, failed, interrupted
  std::string message;            // the text the run ended with
  std::string error;              // the last error message box of the run, if any
  std::optional<int> exitStatus;  // headless mode only
};

// The record as one line of JSON, ending in '\n'; texts converted to UTF-8.
std::string RunRecordJson(const RunRecord& record);

// Appends the line with a single write() to the file opened with O_APPEND,
// so that lines of runs sharing the file never mix. Empty on success,
// otherwise the reason.
std::string AppendRunLine(const std::string& path, const std::string& line);

// Size and SHA-256 of a file; size -1 when it cannot be read.
void HashRunLogFile(RunLogFile& file);

// Local time as ISO 8601 with the UTC offset (2026-12-08T14:05:09+01:00).
std::string IsoTimeNow();

// The run log of this process, chosen on the command line: a path, an empty
// string (off), or nothing (Update.ini decides). Headless runs also record
// their exit status.
struct RunLogOptions {
  std::optional<std::string> path;
  bool headless = false;
};
RunLogOptions& ProcessRunLogOptions();

inline constexpr const char* kDefaultRunLog = "update-runs.jsonl";

// The command line wins over Update.ini; RunLog= with no value switches
// the log off, a missing key means the default file in the working folder.
// Empty result: no log.
std::string ChooseRunLogPath(const std::optional<std::string>& commandLine,
                             const std::string& updateIni);
