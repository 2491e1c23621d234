// The benchmark builds its worlds as the end-to-end tests do.
#include "tests/e2e/E2eWorld.cpp"
#include "tests/support/BslSimImages.cpp"
#include "tests/support/SimProcess.cpp"
#include "tests/support/TempDir.cpp"
