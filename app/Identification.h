#pragma once
// Identification: the dialogue with the instrument that answered the
// search. It parses what the run's port receives into workflow events, asks
// the identification queries in their order and fills the DeviceRecord
// from the replies; the winner's answer time-out is its own.
#include <functional>
#include <string>
#include <string_view>

#include "app/DeviceTable.h"
#include "app/ReplyParser.h"

class EventQueue;
class TComPort;
class TimerPool;
struct DeviceRecord;
struct WorkflowEvent;

class Identification {
 public:
  struct Hooks {
    // Writes a command to the instrument and logs it.
    std::function<void(const std::string& command)> send;
    // A received line for the traffic log.
    std::function<void(const std::string& line)> log;
  };

  Identification(TComPort& port, EventQueue& queue, TimerPool& timers)
      : port_(port), queue_(queue), timers_(timers) {}

  Hooks hooks;

  // The wait for each answer of the winner (the search's 5000 ms).
  void StartTimeout();
  void RestartTimeout();
  void ReleaseTimeout();
  bool TimeoutHeld() const { return timeoutHandle_ != 0; }
  bool TimeoutRunning() const;
  bool IsTimeout(int timerCode) const { return timeoutHandle_ != 0 && timerCode == timeoutHandle_; }

  // The dialogue starts over at its first query.
  void Restart() { step_ = 0; }
  // The acknowledgement of "A.1000": the first query.
  void SendFirstQuery();
  // One reply of the dialogue. True when the identity is complete (the
  // serial number, or its stand-in for old firmware, has arrived).
  bool Take(const WorkflowEvent& event, DeviceRecord& record, LoaderKind loaderKind);

  // Reads what the port received and posts the replies it completes.
  void ParseReceived();
  // Posts the replies these bytes complete.
  void TakeReceived(std::string_view bytes);
  ReplyParser& Parser() { return parser_; }
  const ReplyParser& Parser() const { return parser_; }

 private:
  void SendIdentificationQuery();

  TComPort& port_;
  EventQueue& queue_;
  TimerPool& timers_;
  ReplyParser parser_;
  int step_ = 0;
  int timeoutHandle_ = 0;
};
