#pragma once
// A bare pseudo-terminal pair for the benchmark (no termios here: its speed
// macros clash with the serial enumerations).
#include <cstddef>
#include <string>

struct BenchPty {
  BenchPty();
  ~BenchPty();
  int master = -1;
  int slaveKeeper = -1;  // keeps the master from seeing a hang-up
  std::string slavePath;
  // Blocking transfers on the master.
  bool SendAll(const char* data, size_t n);
  size_t ReceiveSome(char* data, size_t n, int timeoutMs);
};
