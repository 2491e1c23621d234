#pragma once
// What /proc tells about other processes: who holds a device open (other
// users' descriptors are visible to root only), and whether a program runs.
#include <string>

// "name (pid N)", or empty when no other visible process holds it.
std::string PortHolderName(const std::string& devicePath);
// Whether a process of that name (as /proc/<pid>/comm has it) runs.
bool ProcessRunning(const std::string& name);
