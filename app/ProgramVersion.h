#pragma once
// Which build this is, for --version and the run log: the project version,
// and the commit when the program was built from a checkout.
#include <string>

// "1.0.0" or "1.0.0 (git 526aba9)".
std::string ProgramVersion();
