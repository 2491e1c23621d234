#include "basic_loader.h"

#include <cstdio>

#include "srecord_check.h"

namespace sim {
namespace {
constexpr int kStartMs = 300;  // the loader boots after the firmware's "!"
constexpr size_t kMaxRecordLine = 600;
}

BasicLoader::BasicLoader(const Profile& profile, InstrumentLine& line) : profile_(profile), line_(line) {}

void BasicLoader::sendLine(const std::string& text, int delayMs) {
    line_.send(text + "\r\n", delayMs, kBaud);
    line_.report().event("tx", "line", text, kBaud);
}

void BasicLoader::enter() {
    state_ = State::Erasing;
    buffer_.clear();
    records_ = 0;
    line_.report().event("", "state", "Basic-Loader entered");
    sendLine("Basic-Loader  |", kStartMs);
    sendLine("Basic-Loader / 1.02", 0);
    sendLine("Erasing Flash-Memory (1) !", 0);
    line_.after(kStartMs + profile_.basicLoaderEraseMs, [this] {
        if (state_ != State::Erasing) return;
        sendLine("Flash-Memory erased !", 0);
        sendLine("Waiting for S-Record !", 0);
        state_ = State::Receiving;
    });
}

void BasicLoader::received(std::string_view bytes) {
    if (state_ != State::Receiving) {
        line_.report().event("rx", "ignored", std::to_string(bytes.size()) + " bytes before the loader asked for S-records",
                             line_.lineBaud());
        if (state_ == State::Erasing) line_.report().violation("data sent while the Basic-Loader was erasing");
        return;
    }
    if (line_.lineBaud() != kBaud) {
        line_.report().event("rx", "ignored", std::to_string(bytes.size()) + " bytes at the wrong speed", line_.lineBaud());
        return;
    }
    if (profile_.basicLoaderReadRate > 0)
        line_.pauseReading(static_cast<int>(bytes.size() * 1000 / profile_.basicLoaderReadRate));
    buffer_.append(bytes);
    size_t end;
    while (state_ == State::Receiving && (end = buffer_.find('\n')) != std::string::npos) {
        std::string text = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        if (!text.empty() && text.back() == '\r') text.pop_back();
        if (!text.empty()) onRecord(text);
    }
    if (buffer_.size() > kMaxRecordLine) {
        line_.report().violation("S-record line longer than " + std::to_string(kMaxRecordLine) + " characters");
        buffer_.clear();
        sendLine("S-Record defect!", 0);
        state_ = State::Failed;
    }
}

void BasicLoader::onRecord(const std::string& text) {
    SRecord rec;
    std::string error;
    ++records_;
    if (!parseSRecord(text, rec, error)) {
        line_.report().violation("S-record " + std::to_string(records_) + " defective (" + error + "): " + text.substr(0, 80));
        sendLine("S-Record defect!", 0);
        state_ = State::Failed;
        return;
    }
    char where[16];
    std::snprintf(where, sizeof where, "%X", rec.address);
    line_.report().event("rx", "srecord", std::string("S") + rec.type + " " + where + ", " +
                                               std::to_string(rec.data.size()) + " bytes", kBaud);
    if (rec.isData()) {
        for (size_t i = 0; i < rec.data.size(); ++i)
            line_.report().flash().set(rec.address + static_cast<uint32_t>(i), static_cast<uint8_t>(rec.data[i]));
    }
    if (rec.isEnd()) {
        line_.report().event("", "state", std::to_string(records_) + " S-records programmed");
        sendLine("Flash-Memory programmed", 0);
        state_ = State::Done;
    }
}

}  // namespace sim
