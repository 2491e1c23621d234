#pragma once
// Writing a file so that a reader, a crash or a full disk finds either the
// old contents or the new, never a half-written file.
#include <string>
#include <string_view>

// Writes bytes to a temporary file in the same folder, flushes it to the
// disk and renames it over path. The old file keeps its permissions; a
// symbolic link is followed, so the file it names is replaced. False (with
// errno in *error) when anything fails; the old file is then untouched and
// no temporary file is left behind.
bool ReplaceFileAtomically(const std::string& path, std::string_view bytes, int* error = nullptr);
