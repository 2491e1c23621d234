#include "report.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "json_text.h"

namespace sim {

Report::Report() : start_(Clock::now()) {}

double Report::since() const {
  return std::chrono::duration<double>(Clock::now() - start_).count();
}

void Report::event(const std::string& direction, const std::string& kind, const std::string& text,
                   unsigned baud) {
  std::lock_guard lock(mutex_);
  events_.push_back({since(), direction, kind, text, baud});
  changed_.notify_all();
}

bool Report::waitForEvent(const std::string& kind, const std::string& needle, int timeoutMs) const {
  std::unique_lock lock(mutex_);
  size_t seen = 0;
  auto found = [&] {
    for (; seen < events_.size(); ++seen) {
      const Entry& e = events_[seen];
      if (e.kind == kind && (e.direction + " " + e.text).find(needle) != std::string::npos)
        return true;
    }
    return false;
  };
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), found);
}

void Report::violation(const std::string& text) {
  std::lock_guard lock(mutex_);
  violations_.emplace_back(since(), text);
}

void Report::addWireTime(size_t bytes, unsigned baud, bool received) {
  if (baud == 0) return;
  std::lock_guard lock(mutex_);
  // A byte on the wire is start bit, 8 data bits, parity or second stop bit, stop bit.
  double seconds = bytes * 11.0 / baud;
  (received ? wireRx_ : wireTx_) += seconds;
  (received ? bytesRx_ : bytesTx_) += bytes;
}

std::vector<std::string> Report::violations() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> out;
  for (const auto& v : violations_) out.push_back(v.second);
  return out;
}

std::vector<std::string> Report::eventTexts(const std::string& kind) const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> out;
  for (const auto& e : events_)
    if (e.kind == kind) out.push_back(e.direction + " " + e.text);
  return out;
}

double Report::wireSeconds() const {
  std::lock_guard lock(mutex_);
  return wireRx_ + wireTx_;
}

std::string Report::toJson() const {
  std::lock_guard lock(mutex_);
  std::ostringstream o;
  char num[64];
  auto fmt = [&](double v) {
    std::snprintf(num, sizeof num, "%.6f", v);
    return std::string(num);
  };
  o << "{\n  \"profile\": " << jsonString(profileName_)
    << ",\n  \"slave\": " << jsonString(slavePath_)
    << ",\n  \"exit_reason\": " << jsonString(exitReason_)
    << ",\n  \"wire_time_s\": " << fmt(wireRx_ + wireTx_)
    << ",\n  \"wire_time_rx_s\": " << fmt(wireRx_) << ",\n  \"wire_time_tx_s\": " << fmt(wireTx_)
    << ",\n  \"bytes_rx\": " << bytesRx_ << ",\n  \"bytes_tx\": " << bytesTx_
    << ",\n  \"events\": [";
  for (size_t i = 0; i < events_.size(); ++i) {
    const Entry& e = events_[i];
    o << (i ? ",\n" : "\n") << "    {\"t\": " << fmt(e.t)
      << ", \"dir\": " << jsonString(e.direction) << ", \"kind\": " << jsonString(e.kind)
      << ", \"text\": " << jsonString(e.text);
    if (e.baud) o << ", \"baud\": " << e.baud;
    o << "}";
  }
  o << "\n  ],\n  \"violations\": [";
  for (size_t i = 0; i < violations_.size(); ++i)
    o << (i ? ",\n" : "\n") << "    {\"t\": " << fmt(violations_[i].first)
      << ", \"text\": " << jsonString(violations_[i].second) << "}";
  o << "\n  ],\n  \"flash\": ";
  if (flash_.empty())
    o << "null";
  else
    o << "{\"format\": \"intel-hex\", \"text\": " << jsonString(flash_.toIntelHex()) << "}";
  o << ",\n  \"sensor_flash\": ";
  if (sensorFlash_.empty())
    o << "null";
  else
    o << "{\"format\": \"intel-hex\", \"text\": " << jsonString(sensorFlash_.toIntelHex()) << "}";
  o << ",\n  \"files\": [";
  for (size_t i = 0; i < files_.size(); ++i) {
    const ReceivedFile& f = files_[i];
    o << (i ? ",\n" : "\n") << "    {\"name\": " << jsonString(f.name)
      << ", \"timestamp\": " << jsonString(f.timestamp)
      << ", \"announced_size\": " << f.announcedSize << ", \"size\": " << f.data.size()
      << ", \"state\": " << jsonString(f.state)
      << ", \"data_base64\": " << jsonString(base64(f.data)) << "}";
  }
  o << "\n  ]\n}\n";
  return o.str();
}

bool Report::writeTo(const std::string& path) const {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << toJson();
  return static_cast<bool>(out);
}

}  // namespace sim
