#pragma once
// The simulator's own image transfer between hexload-sim (the stand-in
// for the external loader programs) and the instrument:
//   frame  = STX, type, length (2 bytes LE), payload, CRC-16 (2 bytes LE)
//   CRC-16 = CCITT polynomial 0x1021, start 0xFFFF, over type..payload
//   types  = 'H' hello (u32 image size, image name), 'D' data (u32 offset,
//            up to 512 bytes), 'E' end (u32 size, u16 CRC of the image)
//   answer = one byte: ACK, NAK (damaged, send again) or CAN (refused)
#include <cstdint>
#include <string>
#include <string_view>

namespace sim::hexload {

constexpr unsigned char kStx = 0x02, kAck = 0x06, kNak = 0x15, kCancel = 0x18;
constexpr char kHello = 'H', kData = 'D', kEnd = 'E';
constexpr size_t kMaxData = 512;

uint16_t crc16(std::string_view bytes);
std::string u32(uint32_t v);
uint32_t readU32(std::string_view bytes, size_t at);
std::string makeFrame(char type, std::string_view payload);

enum class Take { Incomplete, Frame, Damaged };
// Skips noise before STX; on Frame/Damaged the bytes are removed.
Take takeFrame(std::string& buffer, char& type, std::string& payload);

}  // namespace sim::hexload
