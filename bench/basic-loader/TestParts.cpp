// The benchmark drives the loader as the driver tests do: the same host,
// simulator process and folder helpers.
#include "tests/loaders/BslTestHost.cpp"
#include "tests/support/Pty.cpp"
#include "tests/support/SimProcess.cpp"
#include "tests/support/TempDir.cpp"
