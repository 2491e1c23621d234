#include "app/FileVersion.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <limits>
#include <optional>

#include "core/Infotext.h"
#include "platform/BoundedFile.h"
#include "platform/Dialogs.h"

namespace {

constexpr std::size_t kHexWindow = 1000;
constexpr std::size_t kResourceWindow = 64000;
constexpr std::size_t kMaxVersionText = FixedText<16>::kMaxLength;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Reads at most window bytes from the start or the end of the file, which
// must be a regular file no larger than the largest firmware file.
std::optional<std::string> ReadWindow(const std::string& fileName, std::size_t window, bool fromEnd,
                                      FileCheck& check) {
  const int fd = OpenBoundedFile(fileName, O_RDONLY, kFirmwareFileLimit, check);
  if (fd < 0) return std::nullopt;
  const std::size_t size = check.size;
  std::size_t start = 0;
  if (fromEnd && size > window) {
    // UTF-16 units of a PE file sit on even offsets; an odd start would
    // pair every byte with the wrong neighbour.
    start = (size - window) & ~static_cast<std::size_t>(1);
  }
  std::size_t count = size - start;
  if (!fromEnd && count > window) count = window;
  std::string bytes(count, '\0');
  std::size_t got = 0;
  while (got < count) {
    const ssize_t n = ::pread(fd, bytes.data() + got, count - got, static_cast<off_t>(start + got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  if (got != count) {
    check.fault = FileFault::Unreadable;
    return std::nullopt;
  }
  return bytes;
}

std::u16string Widen(std::string_view key) {
  std::u16string wide;
  // Windows-1252 bytes compared as the UTF-16 units of the same value:
  // exact for ASCII keys, which is what version resources hold.
  for (char c : key) wide.push_back(static_cast<unsigned char>(c));
  return wide;
}

std::string Narrow(std::u16string_view text) {
  std::string out;
  for (char16_t u : text) out.push_back(u < 0x100 ? static_cast<char>(u) : '?');
  return out;
}

std::string_view FileNameOf(std::string_view path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace

VersionReadMode VersionModeOf(std::string_view key, std::string_view fileName) {
  if (key.find("S1094000") != std::string_view::npos) return VersionReadMode::HexPairsAtEnd;
  std::string_view name = FileNameOf(fileName);
  if (name.find("exe") != std::string_view::npos || name.find("dll") != std::string_view::npos)
    return VersionReadMode::VersionResource;
  return VersionReadMode::HexPairs;
}

int32_t VersionNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  std::size_t begin = i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  bool digits = false;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, digits = true;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, digits = true;
  }
  if (!digits) return 0;
  std::string_view number = text.substr(begin, i - begin);
  if (number[0] == '+') number.remove_prefix(1);
  double value = 0;
  if (std::from_chars(number.data(), number.data() + number.size(), value).ec != std::errc{})
    return 0;
  double scaled = value * 100.01;
  // A text of 15 digits does not fit an int32; converting it would be undefined.
  if (scaled >= static_cast<double>(std::numeric_limits<int32_t>::max()))
    return std::numeric_limits<int32_t>::max();
  if (scaled <= static_cast<double>(std::numeric_limits<int32_t>::min()))
    return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(scaled);
}

std::string DecodeHexVersion(std::string_view bytes, std::string_view key) {
  // The key is searched as text: the window ends at its first zero byte.
  bytes = bytes.substr(0, bytes.find('\0'));
  if (key.empty()) return {};
  std::size_t at = bytes.find(key);
  if (at == std::string_view::npos) return {};
  std::string text;
  std::size_t i = at + key.size();
  while (i + 1 < bytes.size() && text.size() < kMaxVersionText) {
    int high = HexDigit(bytes[i]);
    int low = HexDigit(bytes[i + 1]);
    // The stored text ends with a zero byte; anything that is not a hex
    // pair (a line end, the next record) ends it too.
    if (high < 0 || low < 0) break;
    char c = static_cast<char>(high * 16 + low);
    if (c == '\0') break;
    text.push_back(c);
    i += 2;
    while (i < bytes.size() && bytes[i] == ' ') ++i;
  }
  return text;
}

std::string DecodeResourceVersion(std::string_view bytes, std::string_view key) {
  std::u16string units(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                     static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
  }
  std::u16string wideKey = Widen(key);
  if (wideKey.empty()) return {};
  std::u16string_view all(units);
  auto stringAt = [&](std::size_t pos) {
    if (pos >= all.size()) return std::u16string_view{};
    std::u16string_view rest = all.substr(pos);
    return rest.substr(0, rest.find(u'\0'));
  };

  for (std::size_t pos = 0; pos < all.size();) {
    std::u16string_view s = stringAt(pos);
    std::size_t end = pos + s.size();  // the terminator's position
    if (s.find(wideKey) != std::u16string_view::npos) {
      std::u16string_view value;
      std::size_t blank = s.find(u' ');
      if (blank != std::u16string_view::npos) {
        value = s.substr(blank + 1);
      } else {
        // String entry: key, terminator, one padding unit, then the value.
        value = stringAt(end + 2);
        if (!value.empty()) value.remove_prefix(1);
      }
      return Narrow(value.substr(0, kMaxVersionText));
    }
    pos = end + 1;
  }
  return {};
}

std::string ReadFileVersion(std::string_view key, const std::string& fileName, DeviceRecord& record,
                            int language, VersionSlot slot) {
  VersionReadMode mode = VersionModeOf(key, fileName);
  std::optional<std::string> bytes;
  FileCheck check;
  switch (mode) {
    case VersionReadMode::HexPairs: bytes = ReadWindow(fileName, kHexWindow, false, check); break;
    // A file shorter than the window is read from its start.
    case VersionReadMode::HexPairsAtEnd:
      bytes = ReadWindow(fileName, kHexWindow, true, check);
      break;
    case VersionReadMode::VersionResource:
      bytes = ReadWindow(fileName, kResourceWindow, true, check);
      break;
  }

  std::string text;
  if (!bytes) {
    std::string reason = language == 1 ? "File \"" : "Datei \"";
    reason += fileName + "\" " + FileFaultReason(check, kFirmwareFileLimit, language == 1 ? 1 : 0);
    ShowMessageBox(InfoText(InfoCaptionError, language), reason, MsgIcon::Error);
    text.assign(1, '0');  // the version of a file that cannot be read
  } else if (mode == VersionReadMode::VersionResource) {
    text = DecodeResourceVersion(*bytes, key);
  } else {
    text = DecodeHexVersion(*bytes, key);
  }

  bool toMain = slot == VersionSlot::ByRule && mode != VersionReadMode::HexPairsAtEnd &&
                record.MainFileVersion.empty();
  if (toMain) {
    record.MainFileVersion = text;
    record.MainFileVersionNumber = VersionNumber(record.MainFileVersion);
  } else {
    record.SecondFileVersion = text;
    record.SecondFileVersionNumber = VersionNumber(record.SecondFileVersion);
  }
  return std::string(toMain ? record.MainFileVersion.view() : record.SecondFileVersion.view());
}
