#include "bsl_loader.h"

#include <cstdio>

#include "bsl_frame.h"
#include "ini_file.h"
#include "json_text.h"

namespace sim {
namespace {

constexpr unsigned char kRxPassword = 0x10, kRxData = 0x12, kTxData = 0x14, kErase = 0x16,
                        kLoadPc = 0x1A, kTxVersion = 0x1E, kChangeBaud = 0x20, kSetOffset = 0x21;
constexpr uint32_t kPatchEntry = 0x0C22;  // loader restart address of the 1.10 patch procedure
constexpr int kLoneSyncMs = 100;

uint16_t word(std::string_view p, size_t at) {
  return static_cast<unsigned char>(p[at]) | static_cast<unsigned char>(p[at + 1]) << 8;
}

std::string hex16(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%04X", v);
  return buf;
}

}  // namespace

BslLoader::BslLoader(const Profile& profile, const Bsl430Settings& settings, InstrumentLine& line,
                     OccurrenceCounter& counter, bool sensor)
    : profile_(profile), settings_(settings), line_(line), counter_(counter), sensor_(sensor) {
  memory_.reset(profile.oldFirmware, profile.bslDeviceId, profile.bslVersion);
}

uint16_t BslLoader::passwordVector() const {
  if (!profile_.vector.empty()) {
    if (auto v = parseNumber(profile_.vector)) return static_cast<uint16_t>(*v);
  }
  return static_cast<uint16_t>(settings_.defaultVector);
}

void BslLoader::enter() {
  buffer_.clear();
  baud_ = 9600;
  synced_ = false;
  locked_ = true;
  offset_ = 0;
  restartedForPatch_ = false;
  patchStart_ = 0;
  firmwareStarted_ = false;
  line_.report().event("", "state", "bootstrap loader entered");
}

void BslLoader::lineSpeedSettled(unsigned baud) {
  if (firmwareStarted_ || baud == baud_ || profile_.loaderNoise.empty()) return;
  line_.report().event(
      "tx", "noise", hexBytes(profile_.loaderNoise) + " (loader at " + std::to_string(baud_) + ")",
      baud);
  line_.send(profile_.loaderNoise, 0);
}

void BslLoader::received(std::string_view bytes) {
  if (firmwareStarted_) return;
  unsigned baud = line_.lineBaud();
  if (baud != baud_) {
    // Bytes at another speed are noise to the loader's UART.
    line_.report().event(
        "rx", "ignored",
        hexBytes(bytes.substr(0, 16)) + " (loader listens at " + std::to_string(baud_) + ")", baud);
    return;
  }
  buffer_.append(bytes);
  process();
}

void BslLoader::process() {
  while (!buffer_.empty() && !firmwareStarted_) {
    unsigned char first = static_cast<unsigned char>(buffer_[0]);
    if (!synced_) {
      buffer_.erase(0, 1);
      // A waiting loader hunts for SYNC and drops everything else.
      if (first == bsl::kSync)
        onSync();
      else
        line_.report().event("rx", "ignored",
                             hexBytes(std::string(1, static_cast<char>(first))) + " before SYNC",
                             baud_);
      continue;
    }
    if (first != bsl::kSync) {
      buffer_.erase(0, 1);
      line_.report().violation("frame does not start with 0x80: " +
                               hexBytes(std::string(1, static_cast<char>(first))));
      continue;
    }
    if (buffer_.size() < 2) {
      // A lone 0x80 after a SYNC: the tool repeating SYNC because an
      // ACK got lost. Decide when nothing else follows.
      unsigned token = ++idleToken_;
      line_.after(kLoneSyncMs, [this, token] {
        if (token == idleToken_ && synced_ && buffer_.size() == 1) {
          buffer_.clear();
          onSync();
        }
      });
      return;
    }
    if (static_cast<unsigned char>(buffer_[1]) == bsl::kSync) {
      buffer_.erase(0, 1);
      onSync();
      continue;
    }
    if (buffer_.size() < 4) return;
    size_t total = static_cast<unsigned char>(buffer_[2]) + 6u;
    if (buffer_.size() < total) return;
    std::string frame = buffer_.substr(0, total);
    buffer_.erase(0, total);
    synced_ = false;
    onFrame(frame);
  }
}

void BslLoader::sendByte(unsigned char b) {
  line_.send(std::string(1, static_cast<char>(b)), profile_.replyDelayMs);
}

void BslLoader::onSync() {
  unsigned n = counter_.bump("sync");
  line_.report().event("rx", "bsl", "SYNC", baud_);
  if (profile_.dropReply.matches("sync", n)) {
    synced_ = true;  // the loader saw it; only its ACK is lost
    line_.report().event("", "fault", "ACK to SYNC dropped");
    return;
  }
  const bool afterNak = nakedFrame_ && profile_.nakSyncAfterNak;
  nakedFrame_ = false;
  if (profile_.nak.matches("sync", n) || afterNak) {
    line_.report().event("", "fault", "NAK to SYNC");
    sendByte(bsl::kNak);
    return;
  }
  synced_ = true;
  sendByte(bsl::kAck);
}

void BslLoader::onFrame(const std::string& frame) {
  unsigned char cmd = static_cast<unsigned char>(frame[1]);
  std::string selector = selectorForByte(cmd);
  unsigned n = counter_.bump(selector);
  line_.report().event("rx", "bsl",
                       hexBytes(std::string_view(frame).substr(0, 8)) + " (" +
                           std::to_string(frame.size()) + " bytes)",
                       baud_);
  if (frame[2] != frame[3]) line_.report().violation("frame " + selector + ": L1 and L2 differ");
  if (!bsl::checksumValid(frame)) {
    line_.report().violation("frame " + selector + ": wrong checksum");
    sendByte(bsl::kNak);
    return;
  }
  if (profile_.nak.matches(selector, n)) {
    line_.report().event("", "fault", "NAK to frame " + selector + " #" + std::to_string(n));
    nakedFrame_ = true;
    sendByte(bsl::kNak);
    return;
  }
  std::string data;
  Reply reply = execute(cmd, std::string_view(frame).substr(4, frame.size() - 6), data);
  if (profile_.dropReply.matches(selector, n)) {
    line_.report().event("", "fault",
                         "reply to frame " + selector + " #" + std::to_string(n) + " dropped");
    return;
  }
  if (reply == Reply::Data) {
    std::string out = bsl::makeDataFrame(data);
    if (profile_.corruptChecksum.matches(selector, n)) {
      out.back() = static_cast<char>(out.back() ^ 0x5A);
      line_.report().event("", "fault", "corrupted checksum on answer to " + selector);
    }
    line_.send(out, profile_.replyDelayMs);
    return;
  }
  sendByte(reply == Reply::Ack ? bsl::kAck : bsl::kNak);
}

BslLoader::Reply BslLoader::refuse(const std::string& why) {
  line_.report().violation(why);
  return Reply::Nak;
}

BslLoader::Reply BslLoader::execute(unsigned char cmd, std::string_view p, std::string& data) {
  if (cmd == kRxPassword) return password(p);
  if (locked_) return refuse("command " + selectorForByte(cmd) + " while the loader is locked");
  switch (cmd) {
    case kTxVersion: {
      if (profile_.bslVersion < 0x0150) return Reply::Nak;  // older loaders do not know it
      for (uint32_t a = 0x0FF0; a < 0x1000; ++a) data += static_cast<char>(memory_.read(a));
      return Reply::Data;
    }
    case kTxData: return readBlock(p, data);
    case kRxData: return programBlock(p);
    case kErase: return eraseSegment(p);
    case kLoadPc: return loadPc(p);
    case kChangeBaud: return changeBaud(p);
    case kSetOffset: return setOffset(p);
    default: return refuse("unknown command " + selectorForByte(cmd));
  }
}

BslLoader::Reply BslLoader::password(std::string_view p) {
  if (p.size() != 36)
    return refuse("password frame with " + std::to_string(p.size()) + " bytes, 36 expected");
  const int fill = profile_.passwordFill >= 0 ? profile_.passwordFill : settings_.passwordFill;
  std::string expected(30, static_cast<char>(fill));
  uint16_t vector = passwordVector();
  expected += static_cast<char>(vector & 0xFF);
  expected += static_cast<char>(vector >> 8);
  if (p.substr(4) != expected) {
    locked_ = true;
    return refuse("wrong password: " + hexBytes(p.substr(4)));
  }
  locked_ = false;
  line_.report().event("", "state", "loader unlocked");
  return Reply::Ack;
}

BslLoader::Reply BslLoader::readBlock(std::string_view p, std::string& data) {
  if (p.size() != 4)
    return refuse("TX data block with a payload of " + std::to_string(p.size()) + " bytes");
  uint32_t a = word(p, 0) + offset_;
  unsigned n = static_cast<unsigned char>(p[2]);
  if (n == 0 || n > 250 || memory_.area(a) == Msp430Memory::Area::Invalid ||
      memory_.area(a + n - 1) == Msp430Memory::Area::Invalid)
    return refuse("TX data block outside memory at " + hex16(a));
  for (unsigned i = 0; i < n; ++i) data += static_cast<char>(memory_.read(a + i));
  return Reply::Data;
}

BslLoader::Reply BslLoader::programBlock(std::string_view p) {
  if (p.size() < 4) return refuse("RX data block too short");
  uint32_t a = word(p, 0) + offset_;
  size_t n = word(p, 2);
  if (n != p.size() - 4)
    return refuse("RX data block: length field " + std::to_string(n) + " but " +
                  std::to_string(p.size() - 4) + " data bytes");
  if (n % 2) line_.report().violation("RX data block of odd length at " + hex16(a));
  std::string_view d = p.substr(4);
  auto kind = memory_.area(a);
  if (kind != memory_.area(a + n - 1) || kind == Msp430Memory::Area::Invalid ||
      kind == Msp430Memory::Area::Rom)
    return refuse("RX data block outside RAM and flash at " + hex16(a));
  if (kind == Msp430Memory::Area::Ram) {
    for (size_t i = 0; i < n; ++i) memory_.write(a + i, static_cast<uint8_t>(d[i]));
    if (restartedForPatch_ && patchStart_ == 0) patchStart_ = a;
    return Reply::Ack;
  }
  if (patchNeeded() && patchStart_ == 0)
    return refuse("flash write at " + hex16(a) + " by a 1.10 loader without its patch");
  for (size_t i = 0; i < n; ++i) {
    if (!memory_.erased(a + i))
      return refuse("programming a byte that is not erased at " + hex16(a + i) + " (block " +
                    hex16(a) + ")");
  }
  for (size_t i = 0; i < n; ++i) {
    memory_.write(a + i, static_cast<uint8_t>(d[i]));
    reportImage().set(a + i, static_cast<uint8_t>(d[i]));
  }
  return Reply::Ack;
}

BslLoader::Reply BslLoader::eraseSegment(std::string_view p) {
  if (p.size() != 4)
    return refuse("erase segment with a payload of " + std::to_string(p.size()) + " bytes");
  uint32_t a = word(p, 0) + offset_;
  if (static_cast<unsigned char>(p[2]) != 0x02 || static_cast<unsigned char>(p[3]) != 0xA5)
    return refuse("erase segment at " + hex16(a) + " without the segment-erase key 02 A5");
  if (memory_.area(a) != Msp430Memory::Area::Flash)
    return refuse("erase segment outside flash at " + hex16(a));
  auto [from, to] = memory_.eraseSegment(a);
  reportImage().erase(from, to);
  line_.report().event("", "erase", hex16(from) + ".." + hex16(to - 1));
  return Reply::Ack;
}

BslLoader::Reply BslLoader::loadPc(std::string_view p) {
  if (p.size() != 4)
    return refuse("load PC with a payload of " + std::to_string(p.size()) + " bytes");
  uint32_t a = word(p, 0);
  if (patchNeeded() && a == kPatchEntry) {
    // The 1.10 loader restarts itself: locked again, ready for the patch.
    restartedForPatch_ = true;
    patchStart_ = 0;
    locked_ = true;
    line_.report().event("", "state", "loader restarted at 0x0C22 for its patch");
    return Reply::Ack;
  }
  if (memory_.area(a) == Msp430Memory::Area::Ram) {
    if (patchStart_ == 0 || a != patchStart_)
      return refuse("load PC into RAM at " + hex16(a) + " without a patch there");
    line_.report().event("", "state", "patch run");
    return Reply::Ack;
  }
  if (memory_.area(a) != Msp430Memory::Area::Flash || memory_.erased(a))
    return refuse("load PC to " + hex16(a) + ", where there is no program");
  firmwareStarted_ = true;
  line_.report().event("", "state", "new firmware started at " + hex16(a));
  return Reply::Ack;
}

BslLoader::Reply BslLoader::changeBaud(std::string_view p) {
  if (p.size() != 4)
    return refuse("change baud rate with a payload of " + std::to_string(p.size()) + " bytes");
  if (profile_.bslVersion < 0x0160)
    return refuse("change baud rate sent to a loader older than 1.60");
  static const unsigned rates[] = {9600, 19200, 38400};
  unsigned index = static_cast<unsigned char>(p[2]);
  if (index > 2) return refuse("change baud rate to unknown rate index " + std::to_string(index));
  bool f2 = profile_.bslDeviceId == 0xF26F || profile_.bslDeviceId == 0xF237;
  unsigned char d1 = f2 ? 0x80 : 0x00, d2 = f2 ? 0x8C : 0xC8;
  if (static_cast<unsigned char>(p[0]) != d1 || static_cast<unsigned char>(p[1]) != d2)
    return refuse("change baud rate with clock settings " + hexBytes(p.substr(0, 2)) +
                  " for device " + hex16(profile_.bslDeviceId));
  unsigned next = rates[index];
  // The ACK leaves at the old speed: the tool switches only after it.
  baud_ = next;
  line_.report().event("", "state", "loader speed " + std::to_string(next));
  return Reply::Ack;
}

BslLoader::Reply BslLoader::setOffset(std::string_view p) {
  if (p.size() != 4)
    return refuse("set memory offset with a payload of " + std::to_string(p.size()) + " bytes");
  unsigned v = static_cast<unsigned char>(p[2]);
  if (v > 1 || p[0] != 0 || p[1] != 0)
    return refuse("set memory offset to " + hexBytes(p.substr(0, 3)));
  offset_ = v * 0x10000u;
  return Reply::Ack;
}

}  // namespace sim
