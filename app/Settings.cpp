#include "app/Settings.h"

#include "core/IniLines.h"
#include "platform/AtomicFile.h"

namespace {

constexpr std::size_t kValueLimit = 255;

void Note(std::vector<std::string>* notes, const std::string& text) {
  if (notes) notes->push_back("Update.ini: " + text);
}

// The value as the tool can hold it: longer values are cut, with a note.
std::string Value(const LineList& lines, const char* key, std::vector<std::string>* notes) {
  std::string v = LookupValue(lines, key);
  if (v.size() > kValueLimit) {
    Note(notes,
         std::string(key) + " longer than " + std::to_string(kValueLimit) + " characters, cut");
    v.resize(kValueLimit);
  }
  return v;
}

std::vector<uint8_t> ParseBaudList(const std::string& value, std::vector<std::string>* notes) {
  std::vector<uint8_t> list;
  if (value.empty()) return {2, 3, 4, 1, 0};  // 4800, 9600, 19200, 2400, 1200
  std::size_t from = 0;
  for (;;) {
    std::size_t comma = value.find(',', from);
    std::string piece =
        value.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
    long tag = WholeNumber(piece, UpdateSettings::kMaxBaudTag);
    if (tag < 0) {
      Note(notes, "Baud entry '" + piece + "' is not a baud number 0.." +
                      std::to_string(UpdateSettings::kMaxBaudTag) + ", ignored");
    } else if (list.size() >= UpdateSettings::kMaxBaudEntries) {
      Note(notes, "more than " + std::to_string(UpdateSettings::kMaxBaudEntries) +
                      " Baud entries; '" + piece + "' ignored");
    } else {
      list.push_back(static_cast<uint8_t>(tag));
    }
    if (comma == std::string::npos) break;
    from = comma + 1;
  }
  if (list.empty()) return {2, 3, 4, 1, 0};
  return list;
}

}  // namespace

void ReadUpdateLines(const LineList& lines, UpdateSettings& s, std::vector<std::string>* notes) {
  // Only a value that is wholly 0 or 1 is a language: "1junk" is not English.
  std::string language = Value(lines, "Language", notes);
  long number = WholeNumber(language, 1);
  if (number >= 0) {
    s.language = static_cast<int>(number);
  } else {
    s.language = 0;
    Note(notes, "Language '" + language + "' is neither 0 nor 1; German is used");
  }
  s.version = Value(lines, "Version", notes);
  s.baudList = ParseBaudList(Value(lines, "Baud", notes), notes);
  std::string com = Value(lines, "Com", notes);
  s.fixedPort = false;
  if (!com.empty()) {
    long n = WholeNumber(com, 256);
    if (n >= 1) {
      s.fixedPort = true;
      s.fixedPortIndex = static_cast<int>(n - 1);
    } else {
      Note(notes, "Com '" + com + "' is not a port number 1..256; all ports are searched");
    }
  }
}

int ReadUpdateIni(const std::string& fileName, UpdateSettings& s, std::vector<std::string>* notes,
                  FileCheck* refusal) {
  LinesSource source;
  auto lines = LoadLines(fileName, &source);
  if (refusal) *refusal = source.check;
  if (!lines) return -1;
  if (source.utf8) Note(notes, ConversionNote(source));
  ReadUpdateLines(*lines, s, notes);
  return 0;
}

SettingsWrite WriteUpdateIni(const std::string& fileName, const UpdateSettings& s) {
  std::string text;
  if (!ReadBoundedFile(fileName, kSettingsFileLimit, text).ok()) return SettingsWrite::NotLoaded;
  const std::string digit(1, s.language == 1 ? '1' : '0');
  if (!ReplaceFileAtomically(fileName, ReplaceValueInText(text, "Language", digit)))
    return SettingsWrite::NotWritten;
  return SettingsWrite::Written;
}

std::string SettingsWriteFailure(SettingsWrite result, int language) {
  const bool english = language == 1;
  if (result == SettingsWrite::NotLoaded)
    return english ? "Update.ini cannot be read; the language is not saved and applies only "
                     "until the program ends."
                   : "Update.ini kann nicht gelesen werden; die Sprache wird nicht gespeichert "
                     "und gilt nur bis zum Programmende.";
  if (result == SettingsWrite::NotWritten)
    return english ? "Update.ini cannot be written; the file is unchanged and the language "
                     "applies only until the program ends."
                   : "Update.ini kann nicht geschrieben werden; die Datei bleibt unver\xE4ndert "
                     "und die Sprache gilt nur bis zum Programmende.";
  return {};
}
