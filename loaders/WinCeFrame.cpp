#include "loaders/WinCeFrame.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "serial/Delay.h"

namespace wince {

uint8_t CheckCharacter(const uint8_t* data, std::size_t n) {
  uint8_t crc = 0xFF;
  for (std::size_t i = 0; i < n; ++i) Crc8Update(&crc, data[i], 8);
  // The character stands between "," and "#" of a header that the
  // instrument scans for those bytes.
  if (crc == 0x00) return 0x01;
  if (crc == 'D' || crc == ',' || crc == '#') return static_cast<uint8_t>(crc + 1);
  return crc;
}

std::size_t BuildDataFrame(const uint8_t* data, std::size_t n, Frame& frame) {
  n = std::min(n, kMaxFrameData);
  const int header = std::snprintf(frame.data(), kMaxFrameHeader + 1, "D.%zu,%c#", n,
                                   static_cast<char>(CheckCharacter(data, n)));
  // snprintf writes its NUL behind the header; the data overwrites it.
  const std::size_t at = static_cast<std::size_t>(header);
  if (n > 0) std::memcpy(frame.data() + at, data, n);
  return at + n;
}

std::string SpeedCommand(int baud) { return std::string(kSpeed) + std::to_string(baud) + "\r\n"; }

bool UseNewAnnounce(bool forceNewAnnounce, int32_t softwareVersionNumber, uint32_t timeStamp) {
  return forceNewAnnounce ||
         (softwareVersionNumber < kNewAnnounceBelowVersion && timeStamp >= kNewAnnounceStamp);
}

std::string AnnounceCommand(bool newAnnounce, std::string_view name, uint32_t timeStamp,
                            uint32_t size) {
  std::string text = newAnnounce ? kAnnounceNew : kAnnounce;
  text += name;
  text += "," + std::to_string(timeStamp) + "," + std::to_string(size) + "\r\n";
  return text;
}

}  // namespace wince
