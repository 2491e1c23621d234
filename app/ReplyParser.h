#pragma once
// Turns the bytes an instrument sends into workflow events: reply lines
// ending in CR LF with their markers ("I.", "B.", "$", "!", "A.", "C.",
// "?"), the framed boot-loader record and the bootstrap loader's
// acknowledge byte. Every buffer is bounded; an over-long line is dropped
// up to its end instead of being written past a buffer.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/WorkflowCodes.h"

struct ParsedReply {
  int code = 0;
  std::string text;
  double value = 0.0;
  bool hasValue = false;
};

class ReplyParser {
 public:
  static constexpr std::size_t kBufferSize = 1000;
  static constexpr std::size_t kLineSize = 500;
  static constexpr std::size_t kTextSize = 100;
  static constexpr std::size_t kRecordSize = 80;
  static constexpr std::size_t kReadChunk = 250;

  // Room left in the receive buffer (at most one read chunk).
  std::size_t FreeSpace() const;
  // Adds received bytes and collects the events they complete, in order.
  // Each complete line is also reported in `lines` (for the traffic log).
  void Feed(std::string_view bytes, std::vector<ParsedReply>& events,
            std::vector<std::string>* lines = nullptr);
  void Clear();
  std::size_t Buffered() const { return buffer_.size(); }
  // Set when a framed record or the acknowledge byte was seen; the workflow
  // reads it to tell an instrument without sensor.
  bool FramedRecordSeen() const { return framedSeen_; }
  void ResetFramedRecordSeen() { framedSeen_ = false; }

  // The events of one complete line, in table order.
  static void ParseLine(std::string_view line, std::vector<ParsedReply>& events);

 private:
  bool TakeLine(std::vector<ParsedReply>& events, std::vector<std::string>* lines);
  bool TakeFramedRecord(std::vector<ParsedReply>& events);

  std::string buffer_;
  bool discarding_ = false;  // inside an over-long line: drop up to its end
  bool framedSeen_ = false;
};
