#include "loaders/BslFrame.h"

#include <algorithm>
#include <cstring>

namespace bsl {

uint16_t Checksum(const uint8_t* bytes, std::size_t count) {
  uint16_t x = 0;
  for (std::size_t i = 0; i < count; ++i)
    x ^= static_cast<uint16_t>(i % 2 == 0 ? bytes[i] : bytes[i] << 8);
  return static_cast<uint16_t>(x ^ 0xFFFF);
}

Frame BuildFrame(uint8_t command, const uint8_t* payload, std::size_t length) {
  Frame frame;
  length = std::min(length, kMaxPayload);
  frame.bytes[0] = kSync;
  frame.bytes[1] = command;
  frame.bytes[2] = static_cast<uint8_t>(length);
  frame.bytes[3] = static_cast<uint8_t>(length);
  if (length > 0) std::memcpy(frame.bytes.data() + kHeaderSize, payload, length);
  const std::size_t body = kHeaderSize + length;
  const uint16_t sum = Checksum(frame.bytes.data(), body);
  frame.bytes[body] = static_cast<uint8_t>(sum & 0xFF);
  frame.bytes[body + 1] = static_cast<uint8_t>(sum >> 8);
  frame.size = body + 2;
  return frame;
}

Frame BuildFrame(uint8_t command, std::initializer_list<uint8_t> payload) {
  return BuildFrame(command, payload.begin(), payload.size());
}

Frame BuildAddressFrame(uint8_t command, uint16_t address, uint8_t third, uint8_t fourth) {
  return BuildFrame(command, {static_cast<uint8_t>(address & 0xFF),
                              static_cast<uint8_t>(address >> 8), third, fourth});
}

bool FrameChecksumValid(const uint8_t* frame, std::size_t size) {
  if (size < kHeaderSize + 2) return false;
  const std::size_t body = size - 2;
  const uint16_t got = static_cast<uint16_t>(frame[body] | frame[body + 1] << 8);
  return Checksum(frame, body) == got;
}

Reply ScanReply(const uint8_t* buffer, std::size_t count) {
  Reply reply;
  const uint8_t* end = buffer + count;
  const uint8_t* start = std::find(buffer, end, kSync);
  bool ack = false;
  bool nak = false;
  for (const uint8_t* p = buffer; p != start; ++p) {
    ack = ack || *p == kAck;
    nak = nak || *p == kNak || *p == kNakOther;
  }
  if (ack || nak) {
    reply.kind = ack ? ReplyKind::Ack : ReplyKind::Nak;
    reply.consumed = count;
    reply.wanted = 0;
    return reply;
  }
  // Noise before a frame, or with no frame at all, is dropped.
  reply.consumed = static_cast<std::size_t>(start - buffer);
  const std::size_t have = static_cast<std::size_t>(end - start);
  if (have == 0) return reply;  // one byte may already be the answer
  if (have < kHeaderSize) {
    reply.wanted = kHeaderSize - have;
    return reply;
  }
  const std::size_t size = kHeaderSize + start[2] + 2;
  if (have < size) {
    reply.wanted = size - have;
    return reply;
  }
  reply.kind = FrameChecksumValid(start, size) ? ReplyKind::Frame : ReplyKind::BadFrame;
  reply.frameStart = reply.consumed;
  reply.frameSize = size;
  reply.consumed = count;
  reply.wanted = 0;
  return reply;
}

}  // namespace bsl
