#pragma once
// Many meters at once: one headless run per free port of the port table,
// side by side, each in its own working folder, with one summary at the end.
#include <optional>
#include <string>
#include <vector>

// childArgs: the headless options every run gets (--headless included).
// Returns 0 only when every run ended with the success text; 2 when no
// port is free; otherwise 1.
int RunAllPorts(int argc, char** argv, const std::vector<std::string>& childArgs,
                const std::optional<std::string>& runLog);

// Makes folder a fresh copy of the regular files of the current folder
// (settings, firmware, loader settings) except `skip`, and clears a fixed
// port in its Update.ini: the port is chosen by the caller. False with a
// reason when the folder cannot be made.
bool PreparePortFolder(const std::string& folder, const std::string& skip, std::string& error);
