#include "app/ConsoleWording.h"

namespace {

struct Rewording {
  const char* window;
  const char* console;
};

// Longer texts first: a sentence that contains a shorter one is replaced whole.
constexpr Rewording kRewordings[] = {
    {"Beenden Sie das Windows-Programm unter Datei/Beenden und starten Sie das Programm erneut "
     "f\xFCr eine Neuprogrammierung.",
     "Starten Sie das Programm erneut f\xFCr eine Neuprogrammierung."},
    {"Close the window program with File/Exit and start the program for a new download",
     "Start the program again for a new download."},
    {"\r\n\r\nBeenden Sie das Windows-Programm unter Datei/Beenden.", ""},
    {"\r\nBeenden Sie das Windows-Programm unter Datei/Beenden.", ""},
    {"\r\n\r\nExit the Windows program under File/Exit.", ""},
    {"\r\nClose the window program with File/Exit.", ""},
    {"Best\xE4tigen Sie dies danach mit dem Ok-Button!",
     "Das Programm f\xE4hrt danach selbst fort."},
    {"Confirm with the Ok-button!", "The program then goes on by itself."},
};

}  // namespace

std::string ConsoleWording(std::string text) {
  for (const Rewording& r : kRewordings) {
    const std::string window = r.window;
    for (std::size_t at = text.find(window); at != std::string::npos; at = text.find(window, at)) {
      text.replace(at, window.size(), r.console);
      at += std::string(r.console).size();
    }
  }
  return text;
}
