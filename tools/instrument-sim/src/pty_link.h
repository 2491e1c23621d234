#pragma once
// The instrument's end of a pseudo-terminal. The tool (or a test) opens
// the slave; the simulator only reads the line settings the tool made and
// never changes them.
#include <cstddef>
#include <string>
#include <string_view>

namespace sim {

class PtyLink {
 public:
  PtyLink() = default;
  ~PtyLink();
  PtyLink(const PtyLink&) = delete;
  PtyLink& operator=(const PtyLink&) = delete;

  bool open(std::string& error);
  void close();
  bool isOpen() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  const std::string& slavePath() const { return slavePath_; }

  // True while some program holds the slave open. The master reports
  // POLLHUP for as long as no slave descriptor exists; open() primes this
  // by opening and closing the slave once, since a never-opened slave
  // does not report it.
  bool slaveOpen() const;

  // Line speed in baud that the slave's owner set, 0 when unknown.
  unsigned baud() const;

  // Non-blocking; 0 when nothing is there or nobody is connected (EIO).
  long readSome(unsigned char* buf, size_t size);
  // Non-blocking; bytes actually taken, 0 when the line is full.
  size_t writeSome(std::string_view bytes);

 private:
  int fd_ = -1;
  std::string slavePath_;
};

unsigned baudFromSpeed(unsigned speedConstant);
bool isStandardBaud(unsigned baud);

}  // namespace sim
