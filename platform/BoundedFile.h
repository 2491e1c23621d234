#pragma once
// Every file the tool reads goes through here: it must be a regular file no
// larger than a limit fitting its kind. The open never blocks (a FIFO or a
// device in place of a file would otherwise stall the program for ever),
// and nothing is read before the file is known to be regular.
#include <cstddef>
#include <string>

// Settings and language files, BSL430.ini, the external loader's INI, the
// line-settings image.
inline constexpr std::size_t kSettingsFileLimit = 1u << 20;
// The largest firmware file any transfer holds (the Windows-CE file buffer).
inline constexpr std::size_t kFirmwareFileLimit = 3000000;

enum class FileFault {
  None,
  Missing,     // no such file
  NotRegular,  // a directory, FIFO, device or socket
  TooLarge,    // larger than the limit of its kind
  Unreadable,  // no permission, or a read error
};

struct FileCheck {
  FileFault fault = FileFault::None;
  int error = 0;          // errno behind Missing/Unreadable, 0 otherwise
  std::size_t size = 0;   // the file's size when it was opened
  const char* kind = "";  // for NotRegular: "directory", "FIFO", ...

  bool ok() const { return fault == FileFault::None; }
};

// Opens path (flags as for open(2); O_NONBLOCK and O_CLOEXEC are added, a
// file made by O_CREAT gets mode 0644),
// refuses anything that is not a regular file of at most limit bytes, and
// returns the descriptor in blocking mode, or -1 with the reason in check.
int OpenBoundedFile(const std::string& path, int flags, std::size_t limit, FileCheck& check);

// Reads the whole file into bytes (left empty on a refusal).
FileCheck ReadBoundedFile(const std::string& path, std::size_t limit, std::string& bytes);

// The reason as a short phrase, Windows-1252, German (0) or English (1):
// "ist ein Verzeichnis" / "is a directory", "ist größer als 1048576 Bytes" ...
std::string FileFaultReason(const FileCheck& check, std::size_t limit, int language);
