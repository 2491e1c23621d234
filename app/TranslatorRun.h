#pragma once
// The translator's entry: the main window with the translation editor
// open over it (update --translate).

// Returns the exit status.
int RunTranslator(int argc, char** argv);
