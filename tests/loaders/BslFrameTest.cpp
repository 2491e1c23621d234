#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "loaders/BslFrame.h"

namespace {

std::string Hex(const uint8_t* bytes, std::size_t n) {
  std::string out;
  char b[4];
  for (std::size_t i = 0; i < n; ++i) {
    std::snprintf(b, sizeof b, "%s%02X", i ? " " : "", bytes[i]);
    out += b;
  }
  return out;
}

std::string Hex(const bsl::Frame& f) { return Hex(f.bytes.data(), f.size); }

std::vector<uint8_t> DataFrame(std::vector<uint8_t> data) {
  std::vector<uint8_t> f = {bsl::kSync, 0x00, static_cast<uint8_t>(data.size()),
                            static_cast<uint8_t>(data.size())};
  f.insert(f.end(), data.begin(), data.end());
  const uint16_t sum = bsl::Checksum(f.data(), f.size());
  f.push_back(static_cast<uint8_t>(sum & 0xFF));
  f.push_back(static_cast<uint8_t>(sum >> 8));
  return f;
}

}  // namespace

TEST(BslFrames, MatchTheTypicalConversation) {
  using namespace bsl;
  EXPECT_EQ(Hex(BuildFrame(kTxBslVersion, {kIgnored, kIgnored, kIgnored, kIgnored})),
            "80 1E 04 04 58 58 58 58 7B E5");
  EXPECT_EQ(Hex(BuildAddressFrame(kEraseSegment, 0xFC00, 0x02, 0xA5)),
            "80 16 04 04 00 FC 02 A5 79 B4");
  EXPECT_EQ(Hex(BuildFrame(kChangeBaudRate, {0x00, 0xC8, 0x02, kIgnored})),
            "80 20 04 04 00 C8 02 58 79 4B");
  EXPECT_EQ(Hex(BuildAddressFrame(kEraseSegment, 0xFFFF, 0x02, 0xA5)),
            "80 16 04 04 FF FF 02 A5 86 B7");
  EXPECT_EQ(Hex(BuildAddressFrame(kTxDataBlock, 0x1000, 0x10, 0x00)),
            "80 14 04 04 00 10 10 00 6B FF");
  EXPECT_EQ(Hex(BuildAddressFrame(kTxDataBlock, 0x1100, 0xF0, 0x00)),
            "80 14 04 04 00 11 F0 00 8B FE");
}

TEST(BslReplyScan, TellsAckNakAndNoise) {
  using bsl::ReplyKind;
  const uint8_t ack[] = {0x90};
  const uint8_t nak[] = {0xA0};
  const uint8_t nakOther[] = {0x70};
  const uint8_t ackThenNak[] = {0x90, 0xA0};
  const uint8_t noise[] = {0x11, 0x00, 0x42};
  EXPECT_EQ(bsl::ScanReply(ack, 1).kind, ReplyKind::Ack);
  EXPECT_EQ(bsl::ScanReply(nak, 1).kind, ReplyKind::Nak);
  EXPECT_EQ(bsl::ScanReply(nakOther, 1).kind, ReplyKind::Nak);
  EXPECT_EQ(bsl::ScanReply(ackThenNak, 2).kind, ReplyKind::Ack);
  EXPECT_EQ(bsl::ScanReply(ackThenNak, 2).consumed, 2u);
  const bsl::Reply r = bsl::ScanReply(noise, 3);
  EXPECT_EQ(r.kind, ReplyKind::None);
  EXPECT_EQ(r.consumed, 3u);  // noise never fills the buffer
  EXPECT_EQ(r.wanted, 1u);
  EXPECT_EQ(bsl::ScanReply(nullptr, 0).wanted, 1u);
}

TEST(BslReplyScan, WaitsForTheLastByteOfASplitFrame) {
  std::vector<uint8_t> frame = DataFrame({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
  std::vector<uint8_t> buffer = {0x33};  // a stray byte before the frame
  buffer.insert(buffer.end(), frame.begin(), frame.begin() + 2);
  bsl::Reply r = bsl::ScanReply(buffer.data(), buffer.size());
  EXPECT_EQ(r.kind, bsl::ReplyKind::None);
  EXPECT_EQ(r.consumed, 1u);
  EXPECT_EQ(r.wanted, 2u);  // the rest of the header
  buffer.erase(buffer.begin());
  buffer.insert(buffer.end(), frame.begin() + 2, frame.end() - 1);
  r = bsl::ScanReply(buffer.data(), buffer.size());
  EXPECT_EQ(r.kind, bsl::ReplyKind::None);
  EXPECT_EQ(r.wanted, 1u);
  buffer.push_back(frame.back());
  r = bsl::ScanReply(buffer.data(), buffer.size());
  EXPECT_EQ(r.kind, bsl::ReplyKind::Frame);
  EXPECT_EQ(r.frameStart, 0u);
  EXPECT_EQ(r.frameSize, frame.size());

  buffer.back() ^= 0xFF;
  EXPECT_EQ(bsl::ScanReply(buffer.data(), buffer.size()).kind, bsl::ReplyKind::BadFrame);
}

TEST(BslReplyScan, TakesTheLongestFrameTheHeaderAllows) {
  std::vector<uint8_t> frame = DataFrame(std::vector<uint8_t>(255, 0x5A));
  ASSERT_EQ(frame.size(), bsl::kMaxFrame);
  const bsl::Reply r = bsl::ScanReply(frame.data(), frame.size());
  EXPECT_EQ(r.kind, bsl::ReplyKind::Frame);
  EXPECT_EQ(r.frameSize, bsl::kMaxFrame);
}
