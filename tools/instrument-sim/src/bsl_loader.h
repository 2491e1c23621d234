#pragma once
// The MSP430 serial bootstrap loader as the instrument's processor runs it
// once the firmware has jumped into it.
#include <functional>
#include <string>
#include <string_view>

#include "bsl430_settings.h"
#include "fault_rules.h"
#include "instrument_line.h"
#include "msp430_memory.h"
#include "profile.h"

namespace sim {

class BslLoader {
 public:
  // sensor: the loader of the sensor's own processor, reported apart.
  BslLoader(const Profile& profile, const Bsl430Settings& settings, InstrumentLine& line,
            OccurrenceCounter& counter, bool sensor = false);

  // The loader starts locked, at 9600 baud.
  void enter();
  void received(std::string_view bytes);
  // The tool's end changed speed: a loader at another speed makes noise.
  void lineSpeedSettled(unsigned baud);
  bool firmwareStarted() const { return firmwareStarted_; }
  Msp430Memory& memory() { return memory_; }
  uint16_t passwordVector() const;

 private:
  enum class Reply { Ack, Nak, Data };
  void process();
  void onSync();
  void onFrame(const std::string& frame);
  Reply execute(unsigned char cmd, std::string_view payload, std::string& data);
  Reply password(std::string_view payload);
  Reply readBlock(std::string_view payload, std::string& data);
  Reply programBlock(std::string_view payload);
  Reply eraseSegment(std::string_view payload);
  Reply loadPc(std::string_view payload);
  Reply changeBaud(std::string_view payload);
  Reply setOffset(std::string_view payload);
  void sendByte(unsigned char b);
  Reply refuse(const std::string& why);
  MemoryImage& reportImage() {
    return sensor_ ? line_.report().sensorFlash() : line_.report().flash();
  }
  bool patchNeeded() const { return profile_.bslVersion == 0x0110; }

  const Profile& profile_;
  const Bsl430Settings& settings_;
  InstrumentLine& line_;
  OccurrenceCounter& counter_;
  Msp430Memory memory_;
  bool sensor_;

  std::string buffer_;
  unsigned baud_ = 9600;
  bool synced_ = false;
  bool nakedFrame_ = false;  // the last frame was NAKed by a fault
  bool locked_ = true;
  uint32_t offset_ = 0;
  bool restartedForPatch_ = false;  // load PC 0x0C22 seen
  uint32_t patchStart_ = 0;         // first RAM address loaded after it
  bool firmwareStarted_ = false;
  unsigned idleToken_ = 0;
};

}  // namespace sim
