#pragma once
// Writing language files as a whole, as the editor's Save does.
#include <string>
#include <vector>

// Each language file keeps its own backup, its name with ".old" appended
// (Update.Deu.old, Update.Eng.old), so saving one language never replaces
// the only backup of another.
std::string BackupName(const std::string& fileName);
// The shared backup the tool always wrote: the name with everything from
// its last "." replaced by ".old" (Update.old). It holds the previous
// contents of whichever file was saved last, a second copy only.
std::string SharedBackupName(const std::string& fileName);

// An entry line never grows beyond what the line reader returns whole:
// a longer translation is cut to fit.
std::string BoundedEntry(const std::string& prefix, const std::string& key,
                         const std::string& translation);

// Copies the file's contents to its own backup and to the shared one, then
// replaces the file atomically by the lines, each ending in CR LF. False
// when the backup or the file cannot be written; the file then keeps its
// old contents.
bool WriteLanguageFile(const std::string& fileName, const std::vector<std::string>& lines);

// The own-text file gets no backup; it is replaced atomically.
bool WriteOwnFile(const std::string& fileName, const std::vector<std::string>& lines);
