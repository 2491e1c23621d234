#pragma once
// The texts of the Windows-CE file transfer: the commands, the announce
// line and the data frames with their check character. Plain functions,
// no port.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace wince {

inline constexpr const char* kStart = "A.1000\r\n";
inline constexpr const char* kSpeed = "A.1300#";
inline constexpr const char* kAnnounce = "A.1201#";
// Announce for instruments before 1.20 that get a recent file.
inline constexpr const char* kAnnounceNew = "A.1205#";
inline constexpr const char* kEndOfFile = "A.1202\r\n";
inline constexpr const char* kEndOfTransfer = "A.1203\r\n";

inline constexpr std::size_t kMaxFrameData = 2000;
// "D.2000,c#": the longest header.
inline constexpr std::size_t kMaxFrameHeader = 9;
inline constexpr std::size_t kMaxFrame = kMaxFrameData + kMaxFrameHeader;
using Frame = std::array<char, kMaxFrame>;

// Instruments below this version (x 100) want kAnnounceNew for files
// stamped at or after kNewAnnounceStamp.
inline constexpr int32_t kNewAnnounceBelowVersion = 120;
inline constexpr uint32_t kNewAnnounceStamp = 1000000000u;

// CRC-8 (polynomial 0x1D, start 0xFF, no final XOR) over the data, moved
// off the bytes that delimit the header: 0x00 becomes 0x01, and "D", ","
// and "#" become the next byte up.
uint8_t CheckCharacter(const uint8_t* data, std::size_t n);

// "D.<n>,<check>#" followed by the n bytes; n above kMaxFrameData is cut to
// it. Returns the frame's length.
std::size_t BuildDataFrame(const uint8_t* data, std::size_t n, Frame& frame);

// "A.1300#<baud>\r\n".
std::string SpeedCommand(int baud);

bool UseNewAnnounce(bool forceNewAnnounce, int32_t softwareVersionNumber, uint32_t timeStamp);

// "<A.1201# or A.1205#><name>,<time stamp>,<size>\r\n".
std::string AnnounceCommand(bool newAnnounce, std::string_view name, uint32_t timeStamp,
                            uint32_t size);

}  // namespace wince
