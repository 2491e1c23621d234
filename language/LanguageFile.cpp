#include "language/LanguageFile.h"

#include <cstdio>

#include "platform/AtomicFile.h"
#include "platform/BoundedFile.h"

#include "language/EntryLine.h"
#include "language/LineReader.h"

namespace {

// The longest entry line the line reader returns whole.
constexpr std::size_t kEntryLineLimit = kLineBufferSize - 3;

}  // namespace

std::string BackupName(const std::string& fileName) { return fileName + ".old"; }

std::string SharedBackupName(const std::string& fileName) {
  const std::size_t dot = fileName.rfind('.');
  return (dot == std::string::npos ? fileName : fileName.substr(0, dot)) + ".old";
}

std::string BoundedEntry(const std::string& prefix, const std::string& key,
                         const std::string& translation) {
  std::string line = FormatEntry(prefix, key, translation);
  const std::size_t head = prefix.size() + key.size() + kSeparator.size();
  if (line.size() > kEntryLineLimit) line.resize(head > kEntryLineLimit ? head : kEntryLineLimit);
  return line;
}

namespace {

std::string WholeText(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  return text;
}

}  // namespace

bool WriteLanguageFile(const std::string& fileName, const std::vector<std::string>& lines) {
  std::string previous;
  const FileCheck check = ReadBoundedFile(fileName, kSettingsFileLimit, previous);
  if (check.ok()) {
    if (!ReplaceFileAtomically(BackupName(fileName), previous)) return false;
    // Only a copy: the file's own backup above is what must survive.
    ReplaceFileAtomically(SharedBackupName(fileName), previous);
  } else if (check.fault != FileFault::Missing) {
    return false;  // an unreadable or odd file is not overwritten unseen
  }
  return ReplaceFileAtomically(fileName, WholeText(lines));
}

bool WriteOwnFile(const std::string& fileName, const std::vector<std::string>& lines) {
  return ReplaceFileAtomically(fileName, WholeText(lines));
}
