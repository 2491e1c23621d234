// TWinCEProg: the files of a transfer, read whole before their announce,
// and the messages that name a file the transfer cannot send.
#include <sys/stat.h>

#include <cstdio>

#include "core/DeviceRecord.h"
#include "core/Infotext.h"
#include "core/LoaderHost.h"
#include "loaders/WinCEProg.h"
#include "platform/FileLookup.h"
#include "platform/ProgramDir.h"

std::string WinCeFilePath(const std::string& name) {
  // The name keeps the delivery's spelling for the instrument; the file is
  // the one on disk, whatever its case, with '\\' between folders.
  const std::string found = FindFileInFolder(ProgramFolder(), name);
  if (!found.empty()) return found;
  if (!name.empty() && name.front() == '/') return name;
  return ProgramFolder() + "/" + name;
}

bool TWinCEProg::RefuseOversizeFiles(const std::string& firstFile) {
  std::vector<std::string> names{firstFile};
  const DeviceRecord& record = host.Record();
  for (const auto& entry : record.DownloadList) names.push_back(entry.str());
  for (const std::string& name : names) {
    struct stat info {};
    if (::stat(WinCeFilePath(name).c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
    if (static_cast<unsigned long long>(info.st_size) > kFileBufferSize) {
      ShowFileFault(name, FileFault::TooLarge);
      return false;
    }
  }
  return true;
}

TWinCEProg::FileFault TWinCEProg::LoadFile(const std::string& name) {
  const std::string path = WinCeFilePath(name);
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return FileFault::Unreadable;
  if (static_cast<unsigned long long>(info.st_size) > kFileBufferSize) return FileFault::TooLarge;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return FileFault::Unreadable;
  // Read up to one byte more than the buffer takes: a file that grew since
  // stat is refused instead of cut.
  fileBuffer.resize(kFileBufferSize + 1);
  const std::size_t got = std::fread(fileBuffer.data(), 1, fileBuffer.size(), file);
  const bool readError = std::ferror(file) != 0;
  std::fclose(file);
  if (readError) return FileFault::Unreadable;
  if (got > kFileBufferSize) return FileFault::TooLarge;
  fileBuffer.resize(got);
  fileSize = static_cast<int32_t>(got);
  fileName = name;
  return FileFault::None;
}

void TWinCEProg::ShowFileFault(const std::string& name, FileFault fault) {
  const bool german = language == 0;
  std::string text = (german ? "Die Datei " : "The file ") + name;
  if (fault == FileFault::TooLarge)
    text += german ? " ist gr\xF6\xDF" "er als 3000000 Bytes." : " is larger than 3000000 bytes.";
  else
    text += german ? " kann nicht gelesen werden." : " cannot be read.";
  text += german ? "\r\nDie \xDC" "bertragung wurde abgebrochen." : "\r\nThe transfer was aborted.";
  host.LogLine("Windows CE: " + name + (fault == FileFault::TooLarge ? " too large\r\n"
                                                                     : " unreadable\r\n"));
  host.ShowError(InfoText(InfoCaptionError, language), text);
}
