// TWinCEProg: the files of a transfer, read whole before their announce,
// and the messages that name a file the transfer cannot send.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

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

bool TWinCEProg::CheckEveryFile(const std::string& firstFile) {
  std::vector<std::string> names{firstFile};
  const DeviceRecord& record = host.Record();
  const std::size_t listLength = std::min<std::size_t>(
      static_cast<std::size_t>(std::max<int32_t>(0, record.DownloadListLength)),
      record.DownloadList.size());
  for (std::size_t i = 0; i < listLength; ++i) names.push_back(record.DownloadList[i].str());
  for (const std::string& name : names) {
    // Opened without blocking (a FIFO would wait for a writer) and closed
    // again: the file is read at its turn.
    FileCheck check;
    const int fd = OpenBoundedFile(WinCeFilePath(name), O_RDONLY, kFileBufferSize, check);
    if (fd >= 0) ::close(fd);
    if (!check.ok()) {
      ShowFileFault(name, check);
      return false;
    }
  }
  return true;
}

FileCheck TWinCEProg::LoadFile(const std::string& name) {
  std::string bytes;
  const FileCheck check = ReadBoundedFile(WinCeFilePath(name), kFileBufferSize, bytes);
  if (!check.ok()) return check;
  fileBuffer.assign(bytes.begin(), bytes.end());
  fileSize = static_cast<int32_t>(fileBuffer.size());
  fileName = name;
  return check;
}

void TWinCEProg::ShowFileFault(const std::string& name, const FileCheck& fault) {
  const bool german = language == 0;
  std::string text = (german ? "Die Datei " : "The file ") + name;
  std::string logged;
  switch (fault.fault) {
    case FileFault::Missing:
      text += german ? " ist nicht vorhanden." : " does not exist.";
      logged = " missing";
      break;
    case FileFault::NotRegular:
      text += " " + FileFaultReason(fault, kFileBufferSize, german ? 0 : 1) + ".";
      logged = std::string(" is a ") + fault.kind;
      break;
    case FileFault::TooLarge:
      text += german ? " ist gr\xF6\xDF"
                       "er als 3000000 Bytes."
                     : " is larger than 3000000 bytes.";
      logged = " too large";
      break;
    default:
      text += german ? " kann nicht gelesen werden." : " cannot be read.";
      logged = " unreadable";
      break;
  }
  text += german ? "\r\nDie \xDC"
                   "bertragung wurde abgebrochen."
                 : "\r\nThe transfer was aborted.";
  host.LogLine("Windows CE: " + name + logged + "\r\n");
  host.ShowError(InfoText(InfoCaptionError, language), text);
}
