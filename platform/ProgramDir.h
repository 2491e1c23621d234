#pragma once
// Where the program finds what is delivered with it. From a build tree (or
// any folder that is not an installation) everything is beside the
// executable. An installed program (<prefix>/bin/update with
// <prefix>/share/update) keeps its own files in the data folder and takes
// the firmware delivery from UPDATE_PROGRAM_DIR, else the working folder.
#include <string>

// The firmware files and the external loader programs: UPDATE_PROGRAM_DIR
// when set and not empty, else the executable's directory, or for an
// installed program the current directory. Without a trailing separator
// (except for "/" itself).
std::string ProgramFolder();

// The files delivered with the program (ReadMe.pdf, language files, example
// settings): <prefix>/share/update for an installed program, else the
// program folder.
std::string DataFolder();

// A firmware file: the name as given when that file is there (a path from
// the command line), else the file of that name in the program folder.
std::string FirmwarePath(const std::string& file);
