#pragma once
// The system beep. In the window it is the desktop's bell; without a
// display it rings the terminal's bell when standard error is one.

void MessageBeep();
// How often MessageBeep has sounded in this process (for tests).
int BeepsSoFar();
