#pragma once
// TV24Read_Thread, TV24Write_Thread: the two worker threads of an open
// port. The receive thread reads no data:
// it watches the line and posts notifications into the owner's event queue.
// The transmit thread sends one background block at a time.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/SerialDevice.h"

class QObject;

inline constexpr int kComBlockSize = 32768;

class TV24Read_Thread {
 public:
  // A suspended thread starts with Resume().
  TV24Read_Thread(bool createSuspended, int portIndex, SerialDevice& device, QObject* owner);
  ~TV24Read_Thread();  // terminates and joins
  TV24Read_Thread(const TV24Read_Thread&) = delete;
  TV24Read_Thread& operator=(const TV24Read_Thread&) = delete;

  void Resume();
  // Requests the end and wakes the thread; WaitFor joins it.
  void Terminate();
  void WaitFor();

  // The notification flag: true while a WM_COM_RXDATA is outstanding.
  bool GetAktiv();
  void SetAktiv(bool value);
  // Claims the one report of a hang-up: true for the first caller only, so
  // the thread and the owner's Read/Write cannot both tell the owner.
  bool ClaimHangupReport() { return !reportedHangup_.exchange(true); }

 private:
  void Execute();
  void Post(unsigned message);
  void ReportLineErrors(LineErrorCounts& previous);

  SerialDevice& device_;
  QObject* const owner_;
  const unsigned comNumber_;
  std::mutex lock_;
  bool aktiv_ = false;
  std::atomic<bool> terminate_{false};
  std::atomic<bool> reportedHangup_{false};
  WakeSignal wake_;
  std::thread thread_;
};

class TV24Write_Thread {
 public:
  // txTimeOut: constant part of the write time-out (n + txTimeOut ms). The
  // transmitter tells its results through Submit/SendNow, never by message.
  TV24Write_Thread(bool createSuspended, SerialDevice& device, long txTimeOut);
  ~TV24Write_Thread();  // terminates and joins
  TV24Write_Thread(const TV24Write_Thread&) = delete;
  TV24Write_Thread& operator=(const TV24Write_Thread&) = delete;

  void Resume();
  void Terminate();
  // Returns once the thread has ended; a block in progress goes out or is
  // cut by its time-out first.
  void WaitFor();

  // Idle: ready to take a block.
  bool IsIdle() const { return idle_.load(); }
  // Waits (up to `limit`) until the thread has gone idle; true when it has.
  bool WaitUntilIdle(std::chrono::milliseconds limit);
  void Wake();
  // Called by the thread itself: goes idle and sleeps until woken.
  void WaitForWork();
  // -1 while busy, -100 while the error latch is set; otherwise the block
  // is taken: in the background (returns n) or sent now (SendNow's result).
  int Submit(const char* block, int n, bool background);
  // Sends the pending block from the calling thread: bytes written, or -100
  // after a short transmission.
  int SendNow();
  void ClearLatch() { latch_ = false; }
  bool Latched() const { return latch_.load(); }
  int BytesWritten() const { return bytesWritten_.load(); }

 private:
  void Execute();
  int Transmit();

  SerialDevice& device_;
  const long txTimeOut_;
  std::vector<char> buffer_;
  size_t count_ = 0;  // handed over by the idle/busy protocol
  bool background_ = false;
  std::atomic<int> bytesWritten_{0};
  std::atomic<bool> latch_{false};
  std::atomic<bool> idle_{false};
  bool terminate_ = false;  // under lock_
  mutable std::mutex lock_;
  std::condition_variable changed_;
  std::thread thread_;
  bool started_ = false;
};
