#pragma once
// Writing language files as a whole, as the editor's Save does.
#include <string>
#include <vector>

// The language file's name with everything from its last "." replaced by
// ".old" (".old" appended when it has none): Update.Deu and Update.Eng
// share Update.old.
std::string BackupName(const std::string& fileName);

// An entry line never grows beyond what the line reader returns whole:
// a longer translation is cut to fit.
std::string BoundedEntry(const std::string& prefix, const std::string& key,
                         const std::string& translation);

// Renames the file to its backup name (replacing an older backup) and
// writes the lines anew, each ending in CR LF. False when the file could
// not be created; the old contents then stay in the backup.
bool WriteLanguageFile(const std::string& fileName, const std::vector<std::string>& lines);

// The own-text file gets no backup: deleted and written anew.
bool WriteOwnFile(const std::string& fileName, const std::vector<std::string>& lines);
