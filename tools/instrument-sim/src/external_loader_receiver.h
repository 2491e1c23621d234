#pragma once
// The instrument's end of an external loader run: after the boot command
// it takes one image from hexload-sim.
#include <string>
#include <string_view>

#include "fault_rules.h"
#include "instrument_line.h"
#include "profile.h"

namespace sim {

class ExternalLoaderReceiver {
 public:
  ExternalLoaderReceiver(const Profile& profile, InstrumentLine& line, OccurrenceCounter& counter);
  void arm();
  void received(std::string_view bytes);
  bool complete() const { return complete_; }

 private:
  void answer(unsigned char byte);
  void watchForWakeUp(std::string_view bytes);
  void onFrame(char type, const std::string& payload);
  void takeFrame(char type, const std::string& payload);

  const Profile& profile_;
  InstrumentLine& line_;
  OccurrenceCounter& counter_;
  enum class AnswerFault { None, Drop, Corrupt } answerFault_ = AnswerFault::None;
  std::string buffer_;
  std::string recent_;  // last bytes seen, for the wake-up sequence
  int runs_ = 0;
  int fileIndex_ = -1;
  bool complete_ = false;
};

}  // namespace sim
