#include "app/ReplyParser.h"

#include <cstdlib>

namespace {

int DigitsAt(std::string_view s, std::size_t at) {
  long n = 0;
  bool any = false;
  for (; at < s.size() && s[at] >= '0' && s[at] <= '9'; ++at) {
    any = true;
    if (n < 100000000) n = n * 10 + (s[at] - '0');
  }
  return any ? static_cast<int>(n) : 0;
}

// Reply code of a line: the digits right behind the full stop of "I." or "B.".
int ReplyCodeOf(std::string_view line, bool& found) {
  std::size_t at = line.find("I.");
  if (at == std::string_view::npos) at = line.find("B.");
  found = at != std::string_view::npos;
  return found ? DigitsAt(line, at + 2) : 0;
}

}  // namespace

std::size_t ReplyParser::FreeSpace() const {
  std::size_t free = kBufferSize - buffer_.size();
  return free < kReadChunk ? free : kReadChunk;
}

void ReplyParser::Clear() {
  buffer_.clear();
  discarding_ = false;
}

void ReplyParser::ParseLine(std::string_view line, std::vector<ParsedReply>& events) {
  if (line.size() > kLineSize - 1) line = line.substr(0, kLineSize - 1);
  bool marked = false;
  int code = ReplyCodeOf(line, marked);
  if (marked && code != 0) {
    ParsedReply r;
    r.code = code;
    std::size_t hash = line.find('#');
    if (hash != std::string_view::npos) {
      std::string_view text = line.substr(hash + 1);
      r.text = std::string(text.substr(0, kTextSize - 1));
    }
    events.push_back(std::move(r));
  }
  std::size_t dollar = line.find('$');
  if (dollar != std::string_view::npos && marked && code != 0) {
    ParsedReply r;
    r.code = code;
    r.hasValue = true;
    r.value = std::strtod(std::string(line.substr(dollar + 1)).c_str(), nullptr);
    events.push_back(std::move(r));
  }
  if (line.find('!') != std::string_view::npos)
    events.push_back({Event::kAcknowledge, {}, 0, false});
  if (line.find("A.") != std::string_view::npos || line.find("C.") != std::string_view::npos)
    events.push_back({Event::kEcho, {}, 0, false});
  if (line.find('?') != std::string_view::npos) events.push_back({Event::kRejected, {}, 0, false});
}

bool ReplyParser::TakeLine(std::vector<ParsedReply>& events, std::vector<std::string>* lines) {
  std::size_t end = buffer_.find("\r\n");
  if (end == std::string::npos) return false;
  std::string line = buffer_.substr(0, end);
  buffer_.erase(0, end + 2);
  if (discarding_) {  // the tail of a line too long for the buffer
    discarding_ = false;
    return true;
  }
  if (line.size() > kLineSize - 1) line.resize(kLineSize - 1);
  if (lines) lines->push_back(line);
  ParseLine(line, events);
  return true;
}

bool ReplyParser::TakeFramedRecord(std::vector<ParsedReply>& events) {
  char open = 0x1D, close = 0x0C;
  std::size_t tag = buffer_.find("h00h");
  if (tag == std::string::npos) {
    tag = buffer_.find("h11h");
    open = 0x1E;
    close = 0x0A;
  }
  if (tag == std::string::npos) return false;
  std::size_t end = buffer_.find('\x16', tag);
  if (end == std::string::npos) return false;
  ParsedReply r;
  r.code = Event::kFramedRecord;
  std::size_t begin = buffer_.find(open, tag);
  if (begin != std::string::npos && begin < end) {
    std::size_t stop = buffer_.find(close, begin + 1);
    if (stop == std::string::npos || stop > end) stop = end;
    r.text = buffer_.substr(begin + 1, stop - begin - 1).substr(0, kRecordSize - 1);
  }
  events.push_back(std::move(r));
  // The record and whatever came before it are consumed; what follows stays.
  buffer_.erase(0, end + 1);
  framedSeen_ = true;
  return true;
}

void ReplyParser::Feed(std::string_view bytes, std::vector<ParsedReply>& events,
                       std::vector<std::string>* lines) {
  // Trailing zero bytes are not data.
  while (!bytes.empty() && bytes.back() == '\0') bytes.remove_suffix(1);
  if (buffer_.size() + bytes.size() > kBufferSize) {
    // Complete lines never stay in the buffer, so it holds the start of a
    // line longer than the buffer: drop it, and drop the line's remainder
    // when its end arrives. A CR at the very end may begin that end.
    bool endsWithCr = !buffer_.empty() && buffer_.back() == '\r';
    buffer_.clear();
    if (endsWithCr) buffer_.push_back('\r');
    discarding_ = true;
  }
  std::size_t room = kBufferSize - buffer_.size();
  buffer_.append(bytes.substr(0, room));
  if (bytes.size() > room) discarding_ = true;

  bool found = true;
  while (found) {
    found = false;
    while (TakeLine(events, lines)) found = true;
    if (TakeFramedRecord(events)) {
      found = true;
    } else if (buffer_.find('\x90') != std::string::npos) {
      buffer_.clear();
      discarding_ = false;
      events.push_back({Event::kBslAcknowledge, {}, 0, false});
      framedSeen_ = true;
    }
  }
}
