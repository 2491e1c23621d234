#pragma once
// RunPhase: where a download run stands, said by what the instrument's next
// acknowledgement (event 10010, or the retry's 10040) sets off.
#include <cstdint>

#include "core/WorkflowCodes.h"

enum class RunPhase : int {
  Open = 0,          // send "A.1000\r\n"
  Identify = 1,      // send the first identification query
  ExtraFile = 2,     // the extra file by its loader program, or on to the main file
  BootAgain = 3,     // after the extra file: the boot command again
  MainTransfer = 4,  // the main file by its loader program
  Sensor = 5,        // the sensor phase
  BasicLoader = 6,   // the sensor file through the Basic-Loader
  SensorAgain = 7,   // the sensor phase after a transfer that restarts the meter
  Finished = 8,      // nothing more
};

// The phase after this one; Finished stays.
constexpr RunPhase Next(RunPhase phase) {
  return phase == RunPhase::Finished ? phase : static_cast<RunPhase>(static_cast<int>(phase) + 1);
}

// The workflow event an acknowledgement posts in this phase, once the
// phase's own action is done; 0 for none.
constexpr int32_t EventOfPhase(RunPhase phase) {
  switch (phase) {
    case RunPhase::BootAgain: return Event::kBootCommand;
    case RunPhase::MainTransfer: return Event::kMainTransfer;
    case RunPhase::Sensor: return Event::kSensorPhase;
    case RunPhase::BasicLoader: return Event::kBasicLoader;
    case RunPhase::SensorAgain: return Event::kSensorPhase;
    default: return 0;
  }
}
