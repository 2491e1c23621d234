#pragma once
// Plain-text settings files as lists of lines with name=value lookup: the
// first line whose part before the first '=' equals the name (any case);
// the value is everything after that '=', untrimmed.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/BoundedFile.h"

using LineList = std::vector<std::string>;

// How the text of a file became lines.
struct LinesSource {
  FileCheck check;           // why the file was refused
  bool utf8 = false;         // held non-ASCII UTF-8, converted to Windows-1252
  std::size_t replaced = 0;  // characters Windows-1252 lacks, now '?'
};

// Loads the whole file (a regular file of at most kSettingsFileLimit bytes).
// nullopt when the file is missing or refused; source tells why.
std::optional<LineList> LoadLines(const std::string& fileName, LinesSource* source = nullptr);
// The lines of a file's text: a leading UTF-8 byte-order mark is dropped;
// CR LF, LF, a lone CR and CR CR LF each end a line. A text that is valid
// UTF-8 with non-ASCII characters (a modern editor's default) becomes
// Windows-1252; anything else is taken byte for byte.
LineList SplitLines(std::string_view text, LinesSource* source = nullptr);
// The note for the log about a converted text; empty when nothing was
// converted.
std::string ConversionNote(const LinesSource& source);
// Writes every line followed by CR LF. False when the file cannot be written.
bool SaveLines(const std::string& fileName, const LineList& lines);

// The raw text of a file with the value of the first line holding the name
// replaced; every other byte (comments, other keys, line ends, a byte-order
// mark) stays as it was. Without such a line, "name=value" goes in front,
// ended like the file's first line (CR LF in an empty file).
std::string ReplaceValueInText(std::string_view text, std::string_view name,
                               std::string_view value);

// Index of the line holding the name, or -1.
int FindName(const LineList& lines, std::string_view name);
// The value of the name; empty when absent.
std::string LookupValue(const LineList& lines, std::string_view name);
// Sets the value of the first line with the name, or appends name=value.
void SetValue(LineList& lines, std::string_view name, std::string_view value);

// The whole value as a decimal number (blanks around it allowed), or -1
// when it is anything else: "2x" and "1junk" are not numbers.
long WholeNumber(std::string_view value, long max);
