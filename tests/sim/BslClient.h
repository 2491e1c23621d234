#pragma once
// The test's own bootstrap-loader client: frames built here from the
// published protocol, independent of the simulator's code.
#include <map>
#include <string>

#include "SimHarness.h"

namespace simtest {

std::string bslFrame(int command, const std::string& payload);
std::string bslPassword(int fill, unsigned vector);
std::string bslAddress(unsigned address, unsigned lengthOrKey);

class BslClient {
 public:
  explicit BslClient(Client& c) : c_(c) {}
  void sync();
  // SYNC, the frame, and the one-byte answer.
  int command(const std::string& frame);
  // SYNC, the frame, and the data frame that answers it (whole frame).
  std::string dataCommand(const std::string& frame);
  std::string read(unsigned address, unsigned count);  // data bytes only
  int program(unsigned address, const std::string& data);
  int erase(unsigned address);

 private:
  Client& c_;
};

// Intel-hex text -> address -> byte.
std::map<unsigned, unsigned char> parseIntelHex(const std::string& text);
bool bslChecksumValid(const std::string& frame);

}  // namespace simtest
