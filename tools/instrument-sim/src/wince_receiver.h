#pragma once
// The file receiver of the Windows-CE instruments: announced files arrive
// in "D.<n>,<c>#" frames, each confirmed with "!".
#include <string>

#include "instrument_line.h"
#include "profile.h"

namespace sim {

class WinCeReceiver {
 public:
  enum class Parse { NotFrame, Incomplete, Frame };

  WinCeReceiver(const Profile& profile, InstrumentLine& line);
  void start() { active_ = true; }
  bool active() const { return active_; }
  // WinCeSilentFromFrame has been reached: the meter answers nothing.
  bool silent() const { return silent_; }

  // buffer begins with "D."; on Frame the frame is removed from it and
  // answer holds the reply line (empty: no answer).
  Parse takeFrame(std::string& buffer, std::string& answer);
  // Announce (A.1201/A.1205), end of file (A.1202), end of transfer (A.1203).
  std::string command(const std::string& code, const std::string& arg);

 private:
  ReceivedFile* current();

  const Profile& profile_;
  InstrumentLine& line_;
  bool active_ = false;
  int currentIndex_ = -1;
  int frames_ = 0;
  bool silent_ = false;
};

}  // namespace sim
