#pragma once
// The Linux back end of a serial port: an exclusively opened tty device with
// termios line settings, reads and writes bounded by deadlines, and the
// waits of the receive thread. Nothing above this file sees a descriptor or
// a termios structure.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

struct termios;

enum class PortOpenStatus {
  Ok,
  InUse,    // the device exists but another program holds it
  Missing,  // no such device, or not a serial line
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

  // Opens and releases the device, to learn whether it could be used.
  static PortOpenStatus Probe(const std::string& path);

  // Opens exclusively (TIOCEXCL and flock) and remembers the line
  // configuration in force, which Close puts back.
  PortOpenStatus Open(const std::string& path);
  // Restores the configuration found by Open, clears the exclusive flag
  // (on a pseudo-terminal it would outlive the descriptor) and closes.
  void Close();
  bool IsOpen() const { return fd_ >= 0; }

  // Raw 8-bit line with the given settings; DTR off, RTS on.
  bool ConfigureRaw(const LineSettings& settings);
  // Changes only the given fields of the configuration in force.
  bool Modify(const LineSettings& settings);
  LineSnapshot Save() const;
  bool Restore(const LineSnapshot& snapshot);
  // The speed in force as this program last set it (bit/s).
  int Baud() const { return baud_; }

  // Reads up to n bytes; ends when n bytes came, when intervalMs pass after
  // a byte without another, or after totalMs. Returns the count (>= 0).
  // With dropNul, NUL bytes are discarded and not counted.
  int Read(char* buffer, size_t n, long totalMs, long intervalMs, bool dropNul);
  // Writes n bytes within totalMs, including the time the driver needs to
  // put them on the line. Returns the bytes that went out.
  int Write(const char* data, size_t n, long totalMs);

  // Waits for input on the port (when watchPort) or for the wake signal.
  // timeoutMs < 0 waits without limit.
  Wait WaitForInput(WakeSignal& wake, int timeoutMs, bool watchPort);
  // Bytes waiting in the receive queue.
  int InputQueued() const;
  // False where the driver keeps no counters (pseudo-terminals, most USB).
  bool ErrorCounts(LineErrorCounts& counts) const;

 private:
  bool Apply(termios& t);

  int fd_ = -1;
  std::shared_ptr<const termios> original_;
  std::atomic<int> baud_{9600};
};
