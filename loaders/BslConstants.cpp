#include "loaders/BslConstants.h"

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

bool SameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

int32_t ParseHex(std::string_view digits, std::size_t maxDigits) {
  if (digits.empty() || digits.size() > maxDigits) return -1;
  int32_t value = 0;
  for (char c : digits) {
    const int d = HexDigit(c);
    if (d < 0) return -1;
    value = value * 16 + d;
  }
  return value;
}

}  // namespace

int32_t ParseVectorText(std::string_view text) {
  text = Trim(text);
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
    text.remove_prefix(2);
  return ParseHex(text, 4);
}

BslConstantsResult ParseBslConstants(std::string_view text) {
  BslConstantsResult result;
  bool hasFill = false, hasDefault = false, hasAlternative = false;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // a UTF-8 byte-order mark
  std::size_t pos = 0;
  while (pos < text.size()) {
    // LF, CR LF and a lone CR all end a line; the empty lines between are skipped.
    std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = Trim(text.substr(pos, end - pos));
    pos = end + 1;
    const std::size_t eq = line.find('=');
    if (line.empty() || line[0] == ';' || line[0] == '#' || line[0] == '[' ||
        eq == std::string_view::npos)
      continue;
    const std::string_view key = Trim(line.substr(0, eq));
    const std::string_view value = Trim(line.substr(eq + 1));
    if (SameNoCase(key, "PasswordFill")) {
      const int32_t fill = ParseHex(value, 2);
      if (fill < 0)
        result.badKey = "PasswordFill";
      else
        result.constants.passwordFill = static_cast<uint8_t>(fill);
      hasFill = true;
    } else if (SameNoCase(key, "DefaultVector") || SameNoCase(key, "AlternativeVector")) {
      const bool isDefault = SameNoCase(key, "DefaultVector");
      if (ParseVectorText(value) < 0)
        result.badKey = isDefault ? "DefaultVector" : "AlternativeVector";
      else
        (isDefault ? result.constants.defaultVector : result.constants.alternativeVector) = value;
      (isDefault ? hasDefault : hasAlternative) = true;
    }
    if (!result.badKey.empty()) return result;
  }
  if (!hasFill)
    result.missingKey = "PasswordFill";
  else if (!hasDefault)
    result.missingKey = "DefaultVector";
  else if (!hasAlternative)
    result.missingKey = "AlternativeVector";
  return result;
}

BslConstantsResult LoadBslConstants(const std::string& fileName) {
  std::string text;
  const FileCheck check = ReadBoundedFile(fileName, kSettingsFileLimit, text);
  BslConstantsResult result = check.ok() ? ParseBslConstants(text) : BslConstantsResult{};
  result.file = check;
  return result;
}

std::string BslConstantsRefusal(const BslConstantsResult& result, int language) {
  if (result.ok()) return {};
  const bool german = language == 0;
  std::string what;
  if (!result.file.ok())
    what = " " + FileFaultReason(result.file, kSettingsFileLimit, german ? 0 : 1);
  else if (!result.badKey.empty())
    what = ": " + result.badKey + (german ? " ung\xFCltig" : " invalid");
  else
    what = ": " + result.missingKey + (german ? " fehlt" : " missing");
  return std::string(kBslConstantsFile) + what +
         (german ? ".\r\nDie Konstanten des Bootstrap-Loaders m\xFCssen zur Firmware der Ger\xE4te "
                   "passen; ein falsches Passwort l\xF6scht den ganzen Flash-Speicher, auch die "
                   "Kalibrierdaten.\r\nProgrammierung wurde abgebrochen."
                 : ".\r\nThe bootstrap-loader constants must match the instruments' firmware; a "
                   "wrong password erases the whole flash, calibration data included.\r\n"
                   "Programming abort.");
}
