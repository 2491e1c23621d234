#pragma once
// File names come from settings written for a Windows share: the delivered
// file may differ in case from the name that asks for it, and a listed name
// may use '\' between folders. One look-up serves every such name.
#include <string>
#include <string_view>
#include <vector>

enum class LookupOutcome { Found, Missing, Ambiguous };

struct FileLookupResult {
  LookupOutcome outcome = LookupOutcome::Missing;
  std::string path;                   // Found: folder + the name on disk
  std::string nameOnDisk;             // Found: relative to folder, '/' between folders
  std::vector<std::string> clashing;  // Ambiguous: the entries that differ only in case

  bool found() const { return outcome == LookupOutcome::Found; }
};

// Finds `name` (folders separated by '/' or '\') under `folder` ("" = the
// current directory). Each part of the name matches the entry that equals
// it ignoring ASCII case; two such entries in one folder make the name
// ambiguous rather than one of them being picked. The last part must be a
// regular file, unless wantFolder.
FileLookupResult LookUpFile(const std::string& folder, std::string_view name,
                            bool wantFolder = false);

// The path of a found file, else empty (missing or ambiguous).
std::string FindFileInFolder(const std::string& folder, std::string_view name);

// For messages: the clashing names of an ambiguous look-up, joined by " / ".
std::string JoinClashing(const FileLookupResult& result);
