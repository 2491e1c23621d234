#pragma once
// A start in a folder that holds no delivery (the desktop menu starts the
// program in the home folder): say where the program looked, and help the
// technician to a delivery instead of just ending.
#include <string>

// The full path of the first settings file the working folder lacks
// (Update.ini, then ProgDevice.ini), or empty.
std::string MissingSettingsPath();

// One line for standard error naming that file, in both languages.
std::string MissingSettingsLine(const std::string& path);

// The installed examples: the data folder's examples, else
// /usr/share/update/examples; empty when there are none.
std::string ExamplesFolder();

// Copies the example files, and the language files installed beside them,
// into folder (created when missing); a file that is there already is
// kept. False with a reason.
bool CreateDeliveryFromExamples(const std::string& examples, const std::string& folder,
                                std::string& error);

// The delivery remembered from an earlier start (the user's configuration,
// ~/.config/update/update.conf), or empty.
std::string RememberedDelivery();
void RememberDelivery(const std::string& folder);

// The window's start: true when the working folder holds Update.ini, if
// need be after moving to the remembered delivery (unless --delivery named
// one) or after the technician chose or created one; false when the
// technician gave up.
bool PrepareWindowDelivery(bool deliveryGiven);
