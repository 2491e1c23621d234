#pragma once
// Frames of the MSP430 bootstrap loader: 0x80, command, L1, L2, L1 payload
// bytes, then the inverted XOR of all 16-bit little-endian words before it.
// Also the scan of received bytes for the loader's reply.
#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

namespace bsl {

inline constexpr uint8_t kSync = 0x80;  // also the first byte of every frame
inline constexpr uint8_t kAck = 0x90;
inline constexpr uint8_t kNak = 0xA0;
inline constexpr uint8_t kNakOther = 0x70;  // some loaders answer this instead

enum Command : uint8_t {
  kRxPassword = 0x10,
  kRxDataBlock = 0x12,
  kTxDataBlock = 0x14,
  kEraseSegment = 0x16,
  kLoadPc = 0x1A,
  kTxBslVersion = 0x1E,
  kChangeBaudRate = 0x20,
  kSetMemoryOffset = 0x21,
};

// Filler the loader ignores.
inline constexpr uint8_t kIgnored = 'X';

inline constexpr std::size_t kHeaderSize = 4;
inline constexpr std::size_t kMaxPayload = 255;  // L1 is one byte
inline constexpr std::size_t kMaxFrame = kHeaderSize + kMaxPayload + 2;

// Inverted XOR of the little-endian words of `count` bytes (an odd last
// byte counts as a low byte).
uint16_t Checksum(const uint8_t* bytes, std::size_t count);

struct Frame {
  std::array<uint8_t, kMaxFrame> bytes{};
  std::size_t size = 0;

  const char* chars() const { return reinterpret_cast<const char*>(bytes.data()); }
  std::size_t PayloadLength() const { return bytes[2]; }
};

// The one place a frame is put together. A payload longer than a frame can
// carry is cut to kMaxPayload (callers never build one).
Frame BuildFrame(uint8_t command, const uint8_t* payload, std::size_t length);
Frame BuildFrame(uint8_t command, std::initializer_list<uint8_t> payload);
// Commands whose payload is a 16-bit address, low byte first, and two bytes.
Frame BuildAddressFrame(uint8_t command, uint16_t address, uint8_t third, uint8_t fourth);

// A received data frame (bytes counted as the frame says) is sound when its
// checksum matches.
bool FrameChecksumValid(const uint8_t* frame, std::size_t size);

enum class ReplyKind {
  None,  // nothing complete yet
  Ack,
  Nak,
  Frame,     // a data frame with a valid checksum
  BadFrame,  // a complete data frame with a wrong checksum
};

struct Reply {
  ReplyKind kind = ReplyKind::None;
  std::size_t consumed = 0;    // bytes to remove from the front of the buffer
  std::size_t frameStart = 0;  // for Frame and BadFrame
  std::size_t frameSize = 0;
  std::size_t wanted = 1;  // bytes still needed to complete the reply
};

// Looks at the received bytes for the loader's answer. Before the first
// 0x80 an ACK wins over a NAK; bytes other than those are line noise. A
// complete answer consumes the whole buffer: anything received with it came
// before the next command and cannot answer it.
Reply ScanReply(const uint8_t* buffer, std::size_t count);

}  // namespace bsl
