#pragma once
// What the simulated instrument can do with its serial line; the event
// loop implements it on the pseudo-terminal.
#include <functional>
#include <string>

#include "report.h"

namespace sim {

class InstrumentLine {
 public:
  virtual ~InstrumentLine() = default;

  // Queue bytes to go out after delayMs. With requiredBaud set they leave
  // only once the tool has put its end to that speed (a real line at
  // another speed would garble them); after a few seconds they are lost.
  // Without waitForSpeed they leave when due, and at another speed the
  // tool receives what its UART makes of them (NUL bytes).
  virtual void send(const std::string& bytes, int delayMs, unsigned requiredBaud = 0,
                    bool waitForSpeed = true) = 0;
  virtual unsigned lineBaud() = 0;
  virtual void after(int ms, std::function<void()> action) = 0;
  virtual void pauseReading(int ms) = 0;
  virtual void unplug(const std::string& reason) = 0;
  virtual void endScenario(const std::string& reason) = 0;
  virtual Report& report() = 0;
};

}  // namespace sim
