// The benchmark builds its worlds exactly as the end-to-end tests do: the
// same folder, simulator process and delivery helpers.
#include "tests/e2e/E2eWorld.cpp"
#include "tests/support/BslSimImages.cpp"
#include "tests/support/SimProcess.cpp"
#include "tests/support/TempDir.cpp"
