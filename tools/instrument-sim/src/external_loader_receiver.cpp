#include "external_loader_receiver.h"

#include "hexload_protocol.h"

namespace sim {

ExternalLoaderReceiver::ExternalLoaderReceiver(const Profile& profile, InstrumentLine& line,
                                               OccurrenceCounter& counter)
    : profile_(profile), line_(line), counter_(counter) {}

void ExternalLoaderReceiver::arm() {
  buffer_.clear();
  fileIndex_ = -1;
  complete_ = false;
  line_.report().event("", "state", "waiting for the external loader");
}

void ExternalLoaderReceiver::answer(unsigned char byte) {
  if (answerFault_ == AnswerFault::Drop) {
    line_.report().event("", "fault", "loader answer dropped");
    return;
  }
  if (answerFault_ == AnswerFault::Corrupt) {
    // A damaged answer byte: the loader program reads it as noise.
    line_.report().event("", "fault", "loader answer corrupted");
    byte = 0x55;
  }
  line_.send(std::string(1, static_cast<char>(byte)), profile_.replyDelayMs);
}

void ExternalLoaderReceiver::watchForWakeUp(std::string_view bytes) {
  // The tool's boot-loader probe; the speed it uses is the tool's choice,
  // so the loader answers it at any speed.
  static const std::string kWakeUp("\x68\x00\x00\x68\x00\x00\x00\x00\x16", 9);
  recent_.append(bytes);
  if (recent_.find(kWakeUp) != std::string::npos) {
    bool h00h = profile_.bootRecordMarker == "h00h";
    std::string record = profile_.bootRecordMarker + (h00h ? '\x1D' : '\x1E') +
                         profile_.bootRecord + (h00h ? '\x0C' : '\x0A') + '\x16';
    line_.report().event("rx", "loader", "wake-up bytes");
    line_.report().event("tx", "loader", "boot-loader record " + profile_.bootRecord);
    line_.send(record, profile_.replyDelayMs);
    recent_.clear();
  }
  if (recent_.size() > kWakeUp.size()) recent_.erase(0, recent_.size() - kWakeUp.size() + 1);
}

void ExternalLoaderReceiver::received(std::string_view bytes) {
  if (complete_) return;
  if (!profile_.bootRecord.empty()) watchForWakeUp(bytes);
  if (line_.lineBaud() != profile_.loaderBaud) {
    line_.report().event("rx", "ignored",
                         std::to_string(bytes.size()) + " bytes (loader listens at " +
                             std::to_string(profile_.loaderBaud) + ")",
                         line_.lineBaud());
    return;
  }
  buffer_.append(bytes);
  for (;;) {
    char type = 0;
    std::string payload;
    auto took = hexload::takeFrame(buffer_, type, payload);
    if (took == hexload::Take::Incomplete) return;
    if (took == hexload::Take::Damaged) {
      line_.report().event("rx", "loader", "damaged frame");
      answer(hexload::kNak);
      continue;
    }
    takeFrame(type, payload);
    if (complete_) return;
  }
}

// Fault selectors name the frame type as a byte: 0x48 hello, 0x44 data, 0x45 end.
void ExternalLoaderReceiver::takeFrame(char type, const std::string& payload) {
  const std::string selector = selectorForByte(static_cast<unsigned char>(type));
  const unsigned n = counter_.bump(selector);
  if (profile_.nak.matches(selector, n)) {
    line_.report().event("", "fault", "NAK to loader frame " + selector + " #" + std::to_string(n));
    answer(hexload::kNak);
    return;
  }
  if (profile_.dropReply.matches(selector, n))
    answerFault_ = AnswerFault::Drop;
  else if (profile_.corruptChecksum.matches(selector, n))
    answerFault_ = AnswerFault::Corrupt;
  onFrame(type, payload);
  answerFault_ = AnswerFault::None;
}

void ExternalLoaderReceiver::onFrame(char type, const std::string& payload) {
  auto& files = line_.report().files();
  ReceivedFile* file = fileIndex_ >= 0 ? &files[fileIndex_] : nullptr;
  if (type == hexload::kHello && payload.size() >= 4) {
    ++runs_;
    line_.report().event("rx", "loader",
                         "hello, run " + std::to_string(runs_) + ", image " + payload.substr(4) +
                             ", " + std::to_string(hexload::readU32(payload, 0)) + " bytes");
    if (runs_ <= profile_.rejectLoaderRuns) {
      line_.report().event("", "fault", "loader run " + std::to_string(runs_) + " refused");
      answer(hexload::kCancel);
      return;
    }
    ReceivedFile f;
    f.name = payload.substr(4);
    f.announcedSize = hexload::readU32(payload, 0);
    files.push_back(f);
    fileIndex_ = static_cast<int>(files.size()) - 1;
    answer(hexload::kAck);
    return;
  }
  if (!file) {
    line_.report().violation("external loader frame before its hello");
    answer(hexload::kNak);
    return;
  }
  if (type == hexload::kData && payload.size() >= 4) {
    uint32_t offset = hexload::readU32(payload, 0);
    size_t n = payload.size() - 4;
    if (offset + n == file->data.size() && offset + n > 0 &&
        file->data.compare(offset, n, payload, 4, n) == 0) {
      answer(hexload::kAck);  // a repeat after a lost answer
      return;
    }
    if (offset != file->data.size()) {
      line_.report().violation("external loader data at offset " + std::to_string(offset) +
                               ", expected " + std::to_string(file->data.size()));
      answer(hexload::kNak);
      return;
    }
    file->data.append(payload, 4, n);
    line_.report().event("rx", "loader",
                         "data at " + std::to_string(offset) + ", " + std::to_string(n) + " bytes");
    answer(hexload::kAck);
    return;
  }
  if (type == hexload::kEnd && payload.size() == 6) {
    uint32_t size = hexload::readU32(payload, 0);
    uint16_t crc = static_cast<unsigned char>(payload[4]) | static_cast<unsigned char>(payload[5])
                                                                << 8;
    if (size != file->data.size() || size != static_cast<uint32_t>(file->announcedSize) ||
        crc != hexload::crc16(file->data)) {
      line_.report().violation("external loader image incomplete or damaged");
      answer(hexload::kNak);
      return;
    }
    file->state = "complete";
    complete_ = true;
    line_.report().event("rx", "loader", "image complete, " + std::to_string(size) + " bytes");
    answer(hexload::kAck);
    return;
  }
  line_.report().violation("external loader frame of unknown type");
  answer(hexload::kNak);
}

}  // namespace sim
