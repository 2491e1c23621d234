#include "language/LanguageFile.h"

#include <cstdio>

#include "language/EntryLine.h"
#include "language/LineReader.h"

namespace {

// The longest entry line the line reader returns whole.
constexpr std::size_t kEntryLineLimit = kLineBufferSize - 3;

}  // namespace

std::string BackupName(const std::string& fileName) {
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

bool WriteLanguageFile(const std::string& fileName, const std::vector<std::string>& lines) {
  const std::string backup = BackupName(fileName);
  std::remove(backup.c_str());
  std::rename(fileName.c_str(), backup.c_str());
  return SaveWholeFile(fileName, lines);
}

bool WriteOwnFile(const std::string& fileName, const std::vector<std::string>& lines) {
  std::remove(fileName.c_str());
  return SaveWholeFile(fileName, lines);
}
