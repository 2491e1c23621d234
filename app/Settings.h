#pragma once
// The user settings from Update.ini: language, version text, the baud
// rates the search tries and an optional fixed port.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/BoundedFile.h"

struct UpdateSettings {
  static constexpr std::size_t kMaxBaudEntries = 19;
  static constexpr int kMaxBaudTag = 7;  // B115200

  int language = 0;  // 0 German, 1 English
  std::string version;
  std::vector<uint8_t> baudList;  // BaudTag values, tried in order
  bool fixedPort = false;
  int fixedPortIndex = 0;  // 0-based
};

// 0 on success, -1 when the file is missing or refused (refusal says why).
// Values the settings cannot hold are reported in notes, never misread.
int ReadUpdateIni(const std::string& fileName, UpdateSettings& settings,
                  std::vector<std::string>* notes = nullptr, FileCheck* refusal = nullptr);
// The same on lines already read.
void ReadUpdateLines(const std::vector<std::string>& lines, UpdateSettings& settings,
                     std::vector<std::string>* notes = nullptr);
// Stores the language: only the value of the Language line changes, every
// other byte of the file stays, and the file is replaced atomically.
enum class SettingsWrite { Written, NotLoaded, NotWritten };
SettingsWrite WriteUpdateIni(const std::string& fileName, const UpdateSettings& settings);
// What the user is told when the language could not be stored: it still
// holds until the program ends. Windows-1252, German (0) or English (1).
std::string SettingsWriteFailure(SettingsWrite result, int language);
