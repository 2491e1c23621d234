// The benchmark drives the transfer exactly as the loader tests do: the
// same host, simulator process, folder and report helpers.
#include "tests/loaders/BslTestHost.cpp"
#include "tests/support/BslSimImages.cpp"
#include "tests/support/Pty.cpp"
#include "tests/support/SimProcess.cpp"
#include "tests/support/TempDir.cpp"
#include "tests/support/WinCeSimFiles.cpp"
