#pragma once
// The instruments' text-mode Basic-Loader: erases, asks for S-records,
// checks each one and programs it, at 19200 baud. A loader with two flash
// segments asks for the S-records a second time after the first segment is
// programmed. A real loader paces the sender with CTS; a pseudo-terminal
// has no modem lines, so this one paces by reading slowly.
#include <string>
#include <string_view>

#include "instrument_line.h"
#include "profile.h"

namespace sim {

class BasicLoader {
 public:
  static constexpr unsigned kBaud = 19200;

  BasicLoader(const Profile& profile, InstrumentLine& line);
  void enter();
  void received(std::string_view bytes);
  bool finished() const { return state_ == State::Done; }

 private:
  enum class State { Idle, Erasing, Receiving, Failed, Done };
  void sendLine(const std::string& text, int delayMs);
  void eraseSegment(int delayMs);
  void onRecord(const std::string& text);
  void segmentProgrammed();
  void reportDefect(const std::string& why);

  const Profile& profile_;
  InstrumentLine& line_;
  State state_ = State::Idle;
  std::string buffer_;
  long records_ = 0;
  int segment_ = 0;
  int streamIndex_ = -1;  // report file of the current segment's bytes
};

}  // namespace sim
