#pragma once
// Pauses of the application: a number of milliseconds of tick time, divided
// by a global divisor, either keeping the event loop running or blocking the
// thread. Also the CRC-8 step of the file transfer.
#include <cstdint>
#include <functional>

class HoldingWait;

class TDelay {
 public:
  TDelay();

  bool Enable() const { return enable_; }
  void SetEnable(bool value) { enable_ = value; }
  long Dividend() const { return dividend_; }
  // Values below 1 are stored as 1.
  void SetDividend(long value) { dividend_ = value < 1 ? 1 : value; }

  // Waits ms / Dividend milliseconds (nothing when disabled). With
  // processMessages the Qt event loop of the calling thread keeps running;
  // otherwise the thread sleeps, or, once SetHoldingWait has been called,
  // keeps the window painting while the workflow's events are held until
  // the caller is done. Neither way spins. A wait the application ends
  // (every event loop told to quit) returns early.
  void DelayTime(long ms, bool processMessages);

  // The window's waits: none (the default) sleeps as a console may.
  void SetHoldingWait(HoldingWait* hold) { hold_ = hold; }
  HoldingWait* Holding() const { return hold_; }

  // The 32-bit millisecond counter the wait is measured on; replaceable so
  // that tests can start a wait just before it wraps.
  std::function<uint32_t()> tickSource;

 private:
  bool enable_ = false;
  long dividend_ = 1;
  HoldingWait* hold_ = nullptr;
};

// One step of the MSB-first CRC-8 with polynomial 0x1D: crc ^= byte, then
// `bits` shifts. Start value and final processing are the caller's.
void Crc8Update(uint8_t* crc, uint8_t byte, uint8_t bits);
