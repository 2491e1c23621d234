#pragma once
// The program's own folder, where the firmware files and the external
// loader programs are delivered.
#include <string>

// The directory of the running executable, or UPDATE_PROGRAM_DIR when set
// and not empty. Without a trailing separator (except for "/" itself).
std::string ProgramFolder();
