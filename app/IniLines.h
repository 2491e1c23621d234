#pragma once
// Plain-text settings files as lists of lines with name=value lookup: the
// first line whose part before the first '=' equals the name (any case);
// the value is everything after that '=', untrimmed.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using LineList = std::vector<std::string>;

// Loads the whole file; line ends CR LF or LF are removed. nullopt when the
// file cannot be read.
std::optional<LineList> LoadLines(const std::string& fileName);
// Writes every line followed by CR LF. False when the file cannot be written.
bool SaveLines(const std::string& fileName, const LineList& lines);

// Index of the line holding the name, or -1.
int FindName(const LineList& lines, std::string_view name);
// The value of the name; empty when absent.
std::string LookupValue(const LineList& lines, std::string_view name);
// Sets the value of the first line with the name, or appends name=value.
void SetValue(LineList& lines, std::string_view name, std::string_view value);
