#include "basic_loader.h"

#include <cstdio>

#include "srecord_check.h"

namespace sim {
namespace {
constexpr int kStartMs = 300;  // the loader boots after the firmware's "!"
constexpr int kNextSegmentMs = 100;
constexpr size_t kMaxRecordLine = 600;
}  // namespace

BasicLoader::BasicLoader(const Profile& profile, InstrumentLine& line)
    : profile_(profile), line_(line) {}

void BasicLoader::sendLine(const std::string& text, int delayMs) {
  line_.send(text + "\r\n", delayMs, kBaud);
  line_.report().event("tx", "line", text, kBaud);
}

void BasicLoader::enter() {
  state_ = State::Erasing;
  buffer_.clear();
  records_ = 0;
  segment_ = 0;
  line_.report().event("", "state", "Basic-Loader entered");
  sendLine("Basic-Loader  |", kStartMs);
  sendLine("Basic-Loader / 1.02", 0);
  eraseSegment(kStartMs);
}

// Erases the next segment, then asks for its S-records. Every byte that
// arrives while the loader listens goes into the report as one "file" per
// segment, so a test can compare it with the firmware file.
void BasicLoader::eraseSegment(int delayMs) {
  ++segment_;
  state_ = State::Erasing;
  sendLine("Erasing Flash-Memory (" + std::to_string(segment_) + ") !", delayMs);
  // The erasing line may leave up to half its delay late (reply jitter).
  line_.after(delayMs + delayMs / 2 + profile_.basicLoaderEraseMs, [this] {
    if (state_ != State::Erasing) return;
    sendLine("Flash-Memory erased !", 0);
    sendLine("Waiting for S-Record !", 0);
    ReceivedFile stream;
    stream.name = "basic-loader segment " + std::to_string(segment_);
    auto& files = line_.report().files();
    files.push_back(stream);
    streamIndex_ = static_cast<int>(files.size()) - 1;
    state_ = State::Receiving;
  });
}

void BasicLoader::received(std::string_view bytes) {
  if (state_ != State::Receiving) {
    line_.report().event(
        "rx", "ignored",
        std::to_string(bytes.size()) + " bytes before the loader asked for S-records",
        line_.lineBaud());
    if (state_ == State::Erasing)
      line_.report().violation("data sent while the Basic-Loader was erasing");
    return;
  }
  if (line_.lineBaud() != kBaud) {
    line_.report().event("rx", "ignored",
                         std::to_string(bytes.size()) + " bytes at the wrong speed",
                         line_.lineBaud());
    return;
  }
  if (profile_.basicLoaderReadRate > 0)
    line_.pauseReading(static_cast<int>(bytes.size() * 1000 / profile_.basicLoaderReadRate));
  line_.report().files()[static_cast<size_t>(streamIndex_)].data.append(bytes);
  buffer_.append(bytes);
  size_t end;
  while (state_ == State::Receiving && (end = buffer_.find('\n')) != std::string::npos) {
    std::string text = buffer_.substr(0, end);
    buffer_.erase(0, end + 1);
    if (!text.empty() && text.back() == '\r') text.pop_back();
    if (!text.empty()) onRecord(text);
  }
  if (state_ == State::Receiving && buffer_.size() > kMaxRecordLine) {
    line_.report().violation("S-record line longer than " + std::to_string(kMaxRecordLine) +
                             " characters");
    reportDefect("line too long");
  }
}

void BasicLoader::reportDefect(const std::string& why) {
  buffer_.clear();
  line_.report().files()[static_cast<size_t>(streamIndex_)].state = "defect: " + why;
  sendLine(profile_.basicLoaderDefectText, 0);
  state_ = State::Failed;
}

void BasicLoader::onRecord(const std::string& text) {
  SRecord rec;
  std::string error;
  ++records_;
  if (!parseSRecord(text, rec, error)) {
    line_.report().violation("S-record " + std::to_string(records_) + " defective (" + error +
                             "): " + text.substr(0, 80));
    reportDefect(error);
    return;
  }
  if (records_ == profile_.basicLoaderDefectAtRecord) {
    line_.report().event("", "fault",
                         "S-record " + std::to_string(records_) + " reported defective");
    reportDefect("injected at record " + std::to_string(records_));
    return;
  }
  char where[16];
  std::snprintf(where, sizeof where, "%X", rec.address);
  line_.report().event(
      "rx", "srecord",
      std::string("S") + rec.type + " " + where + ", " + std::to_string(rec.data.size()) + " bytes",
      kBaud);
  if (rec.isData()) {
    for (size_t i = 0; i < rec.data.size(); ++i)
      line_.report().flash().set(rec.address + static_cast<uint32_t>(i),
                                 static_cast<uint8_t>(rec.data[i]));
  }
  if (rec.isEnd()) segmentProgrammed();
}

void BasicLoader::segmentProgrammed() {
  line_.report().event(
      "", "state",
      std::to_string(records_) + " S-records programmed in segment " + std::to_string(segment_));
  line_.report().files()[static_cast<size_t>(streamIndex_)].state = "complete";
  buffer_.clear();
  if (profile_.basicLoaderSegments == 1) {
    sendLine("Flash-Memory programmed", 0);
    state_ = State::Done;
    return;
  }
  sendLine("Flash-Memory (" + std::to_string(segment_) + ") programmed !", 0);
  if (segment_ >= profile_.basicLoaderSegments) {
    state_ = State::Done;
    return;
  }
  records_ = 0;
  eraseSegment(kNextSegmentMs);
}

}  // namespace sim
