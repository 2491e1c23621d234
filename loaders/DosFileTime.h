#pragma once
// A file's last-write time as the Windows-CE instruments take it: local
// time packed as an MS-DOS date (high 16 bits) and time (low 16 bits).
#include <cstdint>
#include <ctime>
#include <string>

// Year 1980..2107 (the DOS range), two-second resolution; kNoDosTime
// outside that range.
uint32_t PackDosDateTime(const std::tm& local);

// The packed local modification time of the file; kNoDosTime when it is
// missing, a folder, or dated outside the DOS range.
uint32_t DosFileTime(const std::string& path);

inline constexpr uint32_t kNoDosTime = 0xFFFFFFFFu;
