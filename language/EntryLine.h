#pragma once
// One entry of a language file: section prefix, key (the original text),
// ":=" and the translation, on one line. There is no escaping: the first
// ":=" of the line ends the key, so a key cannot hold one.
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

inline constexpr std::string_view kFixPrefix = "[Fix]";
inline constexpr std::string_view kHintPrefix = "[Hint]";
inline constexpr std::string_view kSeparator = ":=";

// "[" name "]" for component texts.
std::string CompSection(std::string_view name);
// "[Hint]" "[" name "]" for hints.
std::string HintSection(std::string_view name);

struct EntryParts {
  std::string key;
  std::string translation;
};

// Splits a line that begins with prefix. The key starts after the first
// "]" (after the second one when hint is set) and ends at the first ":=".
// nullopt when the line does not begin with prefix or holds no ":=" after
// the key's start (such a line answers no lookup).
std::optional<EntryParts> SplitEntryLine(std::string_view line, std::string_view prefix, bool hint);

// prefix key ":=" translation, without the line end.
std::string FormatEntry(std::string_view prefix, std::string_view key,
                        std::string_view translation);

// Appends prefix key ":=" and CR LF to the file, creating it when missing.
// A last line without a line end gets one first, so that the new entry
// does not run into the translation of that line.
bool AppendEntry(const std::string& fileName, std::string_view prefix, std::string_view key);
// The same on a file opened for reading and appending.
bool AppendEntry(std::FILE* file, std::string_view prefix, std::string_view key);
