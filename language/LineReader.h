#pragma once
// Reading language files. Two readers exist side by side because lookups
// and the editor read a file line by line, while the translation of a
// window loads it whole; they differ only for stray CRs, NULs and Ctrl-Z.
#include <cstdio>
#include <string>
#include <vector>

// The line reader every lookup uses. Fills buffer (size bytes, 0 = no
// limit) with the next line without its line feed; CRs are dropped
// wherever they stand, a byte 26 (Ctrl-Z) never enters the line. A line
// too long for the buffer is split: the rest comes with the next call.
// False when nothing was read (end of file).
bool readString(std::FILE* file, char* buffer, int size);

// Buffer size of every line-reader call: 997 bytes of entry and room for
// the line feed the reader may keep and the terminator.
constexpr int kLineBufferSize = 1000;

// Whole-file loading for the translation of a window: lines end at CR LF,
// LF or a lone CR; a byte 0 ends the file; Ctrl-Z is an ordinary byte.
// Lines are kept whole, whatever their length. Empty when the file cannot
// be read.
std::vector<std::string> LoadWholeFile(const std::string& fileName);

// Writes every line followed by CR LF, as the delivered files are.
bool SaveWholeFile(const std::string& fileName, const std::vector<std::string>& lines);
