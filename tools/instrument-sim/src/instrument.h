#pragma once
// The simulated instrument: its firmware's command interpreter and the
// loaders it can hand the line to.
#include <string>
#include <string_view>

#include "basic_loader.h"
#include "bsl430_settings.h"
#include "bsl_loader.h"
#include "external_loader_receiver.h"
#include "fault_rules.h"
#include "instrument_line.h"
#include "profile.h"
#include "wince_receiver.h"

namespace sim {

class Instrument {
 public:
  Instrument(const Profile& profile, const Bsl430Settings& settings, InstrumentLine& line);

  void received(std::string_view bytes);
  // The tool released or took the port (opened/closed the slave).
  void connectionChanged(bool connected);
  // The tool's end of the line has settled at a new speed.
  void lineSpeedSettled(unsigned baud);

  enum class Mode { Firmware, Bootstrap, BasicLoader, ExternalLoader };
  Mode mode() const { return mode_; }
  BslLoader& bsl() { return bsl_; }
  BslLoader& sensorBsl() { return sensorBsl_; }

 private:
  void dispatch(std::string_view bytes);
  void interpret(std::string_view bytes);
  void onLine(const std::string& line);
  void command(const std::string& code, const std::string& arg, const std::string& line);
  void reply(const std::string& code, std::vector<std::string> lines, unsigned occurrence,
             unsigned requiredBaud = 0);
  bool countTransferBytes(size_t n);  // false once the meter is unplugged
  void enterBootstrap(bool sensor);
  void firmwareRestarted(unsigned delayMs);

  const Profile& profile_;
  InstrumentLine& line_;
  OccurrenceCounter counter_;
  BslLoader bsl_;
  BslLoader sensorBsl_;
  BslLoader* activeBsl_ = &bsl_;
  unsigned appStarts_ = 0;
  BasicLoader basic_;
  ExternalLoaderReceiver external_;
  WinCeReceiver wince_;

  Mode mode_ = Mode::Firmware;
  std::string buffer_;
  unsigned appBaud_;
  bool started_ = false;
  bool transferDone_ = false;
  bool inTransfer_ = false;
  long transferBytes_ = 0;
  bool stalled_ = false;
  bool unplugged_ = false;
};

}  // namespace sim
