#pragma once
// The Linux back end of a serial port: an exclusively opened tty device with
// termios line settings, reads and writes bounded by deadlines, and the
// waits of the receive thread. Nothing above this file sees a descriptor or
// a termios structure.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

struct termios;

enum class PortOpenStatus {
  Ok,
  InUse,    // the device exists but cannot be had: held by another program
            // or refused (permission); OpenError() tells which
  Missing,  // no such device, or not a serial line
};

// What a probe of a port found, with the errno of a failed open (EBUSY for a
// port whose exclusive flag another program set).
struct PortProbe {
  PortOpenStatus status = PortOpenStatus::Missing;
  int error = 0;
};

// How the last change of the line went.
enum class LineCheck {
  Ok,
  Refused,  // the driver refused the settings (errno in LineError())
  Differs,  // applied, but the driver reads back something else
};

enum class LineParity { None, Odd, Even, Mark, Space };
enum class LineFlow { None, RtsCts, XonXoff };

// A change of the line; empty fields keep the setting in force.
struct LineSettings {
  std::optional<int> baud;      // bit/s
  std::optional<int> dataBits;  // 7 or 8
  std::optional<LineParity> parity;
  std::optional<int> stopBits;  // 1 or 2
  std::optional<LineFlow> flow;
};

// Running totals of the driver's line-error counters.
struct LineErrorCounts {
  uint32_t frame = 0;
  uint32_t overrun = 0;
  uint32_t parity = 0;
};

// The complete line configuration at one moment, to be put back later.
class LineSnapshot {
 public:
  bool Valid() const { return state_ != nullptr; }

 private:
  friend class SerialDevice;
  std::shared_ptr<const termios> state_;
};

// Lets another thread end a wait of the receive thread at once.
class WakeSignal {
 public:
  WakeSignal();
  ~WakeSignal();
  WakeSignal(const WakeSignal&) = delete;
  WakeSignal& operator=(const WakeSignal&) = delete;
  void Notify();
  void Clear();

 private:
  friend class SerialDevice;
  int fd_ = -1;
};

class SerialDevice {
 public:
  enum class Wait { Input, Woken, Timeout, Hangup };

  SerialDevice();
  ~SerialDevice();
  SerialDevice(const SerialDevice&) = delete;
  SerialDevice& operator=(const SerialDevice&) = delete;

  // Result of Read and Write on a line that has hung up (adapter unplugged,
  // far end of a pseudo-terminal closed). It stays hung up until Close.
  static constexpr int kHungUp = -1;

  // Opens and releases the device, to learn whether it could be used.
  static PortProbe Probe(const std::string& path);

  // Opens exclusively (TIOCEXCL and flock) and remembers the line
  // configuration in force, which Close puts back. DTR is cleared before
  // anything else is done to the line. A port whose exclusive flag is
  // already set belongs to another program, also for root.
  PortOpenStatus Open(const std::string& path);
  // errno of the last failed Open (EBUSY: exclusive flag of another program).
  int OpenError() const { return openError_; }
  // Lets the output drain (bounded), restores the configuration found by
  // Open with HUPCL set, clears the exclusive flag it set (on a
  // pseudo-terminal it would outlive the descriptor) and closes.
  void Close();
  // Takes over the open descriptor of `other` with what Close will put
  // back; nothing reaches the line and `other` is left closed. Neither
  // device may be in use by another thread.
  void TakeFrom(SerialDevice& other);
  bool IsOpen() const { return fd_ >= 0; }
  bool HungUp() const { return hungUp_.load(); }

  // Raw line with the given settings, built from a cleared configuration;
  // DTR off, RTS on. Read back after applying.
  LineCheck ConfigureRaw(const LineSettings& settings);
  // Changes only the given fields, after the output has drained.
  LineCheck Modify(const LineSettings& settings);
  LineSnapshot Save() const;
  bool Restore(const LineSnapshot& snapshot);
  // What Close puts back: the configuration found by Open (or handed over).
  std::shared_ptr<const termios> OriginalLine() const { return original_; }
  // Close puts back `line` instead: a port opened again after another
  // program used it goes back to the line as it was before that program.
  void KeepOriginalLine(std::shared_ptr<const termios> line);
  int LineError() const { return lineError_; }
  // Discards what has been received and not yet read.
  void PurgeInput();
  // The speed in force as this program last set it (bit/s).
  int Baud() const { return baud_; }

  // Reads up to n bytes; ends when n bytes came, when intervalMs pass after
  // a byte without another, or after totalMs. Returns the count (>= 0), or
  // kHungUp when the line hung up before a byte came.
  // With dropNul, NUL bytes are discarded and not counted.
  int Read(char* buffer, size_t n, long totalMs, long intervalMs, bool dropNul);
  // Writes n bytes within totalMs, including the time the driver needs to
  // put them on the line. Returns the bytes that went out (what was still
  // queued at the deadline is discarded), or kHungUp.
  int Write(const char* data, size_t n, long totalMs);
  // While set, a write ends at once as at its deadline: what is still
  // queued is discarded and the bytes that went out are returned. For a
  // stop that must not wait out a write the line does not take.
  void SetWriteCut(bool cut);

  // Waits for input on the port (when watchPort) or for the wake signal.
  // timeoutMs < 0 waits without limit. Hangup also marks the line hung up.
  Wait WaitForInput(WakeSignal& wake, int timeoutMs, bool watchPort);
  // Bytes waiting in the receive queue.
  int InputQueued() const;
  // Bytes written and not yet on the line (held by flow control, or slow).
  int OutputQueued() const;
  // False where the driver keeps no counters (pseudo-terminals, most USB).
  bool ErrorCounts(LineErrorCounts& counts) const;

 private:
  LineCheck Apply(termios& t, bool drainFirst);
  // Waits until the output queue is empty or the deadline has passed, then
  // lets the driver finish; false (queue discarded) at the deadline.
  bool Drain(long limitMs);
  // Sleeps while the output queue empties at the line's speed; at the
  // deadline discards the rest and returns how many bytes that was.
  int AwaitEmptyOutput(std::chrono::steady_clock::time_point deadline);
  void MarkHungUp() { hungUp_ = true; }

  int fd_ = -1;
  bool pseudoTerminal_ = false;
  bool lineChanged_ = false;  // Close restores only a line the tool changed
  int openError_ = 0;
  int lineError_ = 0;
  std::shared_ptr<const termios> original_;
  std::atomic<int> baud_{9600};
  std::atomic<bool> hungUp_{false};
  std::atomic<bool> writeCut_{false};
  WakeSignal cutSignal_;  // wakes a write waiting on the line
};
