#pragma once
// Where the program finds what it works with. The working folder is the
// delivery (settings, firmware, loader programs, BSL430.ini), whether the
// program runs from a build tree or is installed; UPDATE_PROGRAM_DIR moves
// the firmware and loader programs elsewhere (tests, the demo).
#include <string>

// The current directory, absolute, without a trailing separator.
std::string WorkingFolder();

// The firmware files and the external loader programs: UPDATE_PROGRAM_DIR
// (made absolute) when set and not empty, else the working folder. Without
// a trailing separator (except for "/" itself).
std::string ProgramFolder();

// The files installed with the program (ReadMe.pdf, examples):
// <prefix>/share/update for an installed program, else the executable's
// folder.
std::string DataFolder();

// A firmware file or loader program named in the settings: the file of
// that name in the program folder, found in any case and with `\` as a
// folder separator; an absolute path as given; else where it would be.
std::string FirmwarePath(const std::string& file);

// ReadMe.pdf: the delivery's own (in any case), else the installed one.
std::string ReadMePath();
