#include "app/Settings.h"

#include <cctype>

#include "app/IniLines.h"

namespace {

constexpr std::size_t kValueLimit = 255;

std::string Value(const LineList& lines, const char* key) {
  std::string v = LookupValue(lines, key);
  if (v.size() > kValueLimit) v.resize(kValueLimit);
  return v;
}

void Note(std::vector<std::string>* notes, const std::string& text) {
  if (notes) notes->push_back("Update.ini: " + text);
}

// Leading decimal digits; -1 when there are none.
long LeadingNumber(const std::string& piece) {
  std::size_t i = 0;
  while (i < piece.size() && (piece[i] == ' ' || piece[i] == '\t')) ++i;
  if (i >= piece.size() || !std::isdigit(static_cast<unsigned char>(piece[i]))) return -1;
  long n = 0;
  for (; i < piece.size() && std::isdigit(static_cast<unsigned char>(piece[i])); ++i)
    if (n < 1000000) n = n * 10 + (piece[i] - '0');
  return n;
}

std::vector<uint8_t> ParseBaudList(const std::string& value, std::vector<std::string>* notes) {
  std::vector<uint8_t> list;
  if (value.empty()) return {2, 3, 4, 1, 0};  // 4800, 9600, 19200, 2400, 1200
  std::size_t from = 0;
  for (;;) {
    std::size_t comma = value.find(',', from);
    std::string piece = value.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
    long tag = LeadingNumber(piece);
    if (tag < 0 || tag > UpdateSettings::kMaxBaudTag) {
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

int ReadUpdateIni(const std::string& fileName, UpdateSettings& s, std::vector<std::string>* notes) {
  auto lines = LoadLines(fileName);
  if (!lines) return -1;
  std::string language = Value(*lines, "Language");
  if (!language.empty() && (language[0] == '0' || language[0] == '1')) {
    s.language = language[0] - '0';
  } else {
    s.language = 0;
    Note(notes, "Language '" + language + "' is neither 0 nor 1; German is used");
  }
  s.version = Value(*lines, "Version");
  s.baudList = ParseBaudList(Value(*lines, "Baud"), notes);
  std::string com = Value(*lines, "Com");
  s.fixedPort = false;
  if (!com.empty()) {
    long n = LeadingNumber(com);
    if (n >= 1 && n <= 256) {
      s.fixedPort = true;
      s.fixedPortIndex = static_cast<int>(n - 1);
    } else {
      Note(notes, "Com '" + com + "' is not a port number 1..256; all ports are searched");
    }
  }
  return 0;
}

int WriteUpdateIni(const std::string& fileName, const UpdateSettings& s) {
  auto lines = LoadLines(fileName);
  if (!lines) return -1;
  std::string language = Value(*lines, "Language");
  std::string digit(1, static_cast<char>('0' + (s.language == 1 ? 1 : 0)));
  if (language.empty()) language = digit;
  else language[0] = digit[0];
  std::string baud = Value(*lines, "Baud");
  std::string com = Value(*lines, "Com");
  LineList out = {"Language=" + language, "Version=" + s.version, "Baud=" + baud, "Com=" + com};
  // The run log's key is the site's choice, not the program's: it stays.
  if (FindName(*lines, "RunLog") >= 0) out.push_back("RunLog=" + Value(*lines, "RunLog"));
  return SaveLines(fileName, out) ? 0 : -1;
}
