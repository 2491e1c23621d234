// The benchmark starts simulators and folders as the end-to-end tests do.
#include "tests/support/SimProcess.cpp"
#include "tests/support/TempDir.cpp"
