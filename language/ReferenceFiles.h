#pragma once
// Reference files: other language files that already hold translations of
// the same original texts. The editor offers their translations for the
// selected text, or takes over a single one for the whole list.
#include <string>
#include <string_view>
#include <vector>

// The list chosen with "Files...": kept for the whole run of the program
// and shared by every editor window.
std::vector<std::string>& ReferenceFileList();

// The key a reference line must have for an original text: upper case
// (a-z), without "&" and blanks.
std::string ReferenceKey(std::string_view original);

// The candidate translations for key, sorted, led by an empty text. In
// automatic mode a file gives at most its first translation, and the
// search ends at the first file that gives one. Files that cannot be
// opened are skipped.
std::vector<std::string> LookupReferences(const std::vector<std::string>& files,
                                          const std::string& key, bool automatic);
