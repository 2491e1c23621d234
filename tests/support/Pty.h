#pragma once
// A pseudo-terminal pair for tests: the tool opens the slave path as its
// port, the test (or a simulator) plays the instrument on the master.
//
// The pair keeps a slave descriptor of its own open, so that the master
// never sees a hang-up while the tool has the port closed, and it runs the
// master in packet mode, so that a test can wait until the slave's output
// has really been stopped by an XOFF.
//
// No termios here: its speed macros would clash with the serial enumerations.
#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

class Pty {
 public:
  using Ms = std::chrono::milliseconds;

  Pty();
  ~Pty();
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  bool Valid() const { return master_ >= 0; }
  const std::string& SlavePath() const { return slavePath_; }
  int MasterFd() const { return master_; }

  // Sends bytes as the instrument; false when they could not all go out
  // within the deadline.
  bool Send(std::string_view bytes, Ms deadline = Ms(5000));
  // Receives until n bytes have come or the deadline has passed.
  std::string Receive(size_t n, Ms deadline = Ms(5000));
  // Receives until `pattern` has come (returned with everything before it)
  // or the deadline has passed (returns what came).
  std::string ReceiveUntil(std::string_view pattern, Ms deadline = Ms(5000));
  // Everything that arrives until `quiet` passes without a byte.
  std::string Drain(Ms quiet = Ms(50));

  // Waits until the slave's output has been stopped (XOFF taken) or
  // started again; false on time-out.
  bool WaitOutputStopped(Ms deadline = Ms(5000));
  bool WaitOutputStarted(Ms deadline = Ms(5000));

  // The line speed in force on the slave (bit/s), read through the master.
  int SlaveBaud() const;
  // The slave's flow-control settings, read through the master.
  bool SlaveRtsCts() const;
  bool SlaveXonXoff() const;
  // Leaves the slave as a careless earlier user might: upper case mapped
  // to lower case, CR turned into LF, echo on.
  void BendSlaveSettings();

 private:
  // Reads one packet within `wait`; data goes to pending_. False when
  // nothing came.
  bool ReadPacket(Ms wait);

  int master_ = -1;
  int slave_ = -1;
  std::string slavePath_;
  std::string pending_;
  bool stopped_ = false;
  bool sawStop_ = false;
  bool sawStart_ = false;
};

// Sets UPDATE_PORTS for the lifetime of the object, restoring it afterwards.
class ScopedPortTable {
 public:
  explicit ScopedPortTable(const std::string& value);
  ~ScopedPortTable();

 private:
  bool had_ = false;
  std::string previous_;
};
