// The benchmark drives the loader exactly as the driver tests do: the same
// host, simulator process, folder and image helpers.
#include "tests/loaders/BslTestHost.cpp"
#include "tests/support/BslSimImages.cpp"
#include "tests/support/Pty.cpp"
#include "tests/support/SimProcess.cpp"
#include "tests/support/TempDir.cpp"
