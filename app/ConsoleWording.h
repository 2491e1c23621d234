#pragma once
// A few texts tell the technician to use the window (its OK button, its
// File menu). On the console there is neither: those sentences are left
// out or say what happens instead. The window shows them as they are.
#include <string>

// text (Windows-1252) as the console shows it.
std::string ConsoleWording(std::string text);
