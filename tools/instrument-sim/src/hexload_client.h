#pragma once
// hexload-sim: stand-in for the external loader programs. It understands
// both of their command lines and sends the image to the instrument.
#include <string>
#include <vector>

namespace sim {

struct HexLoadRequest {
  std::string image;
  int portIndex = -1;  // 0 = COM1
  unsigned baud = 38400;
};

// Exit codes, as the tool reads them.
constexpr int kHexLoadOk = 0, kHexLoadFailed = 1, kHexLoadError = 2;

// "<image> -auto -exit" (port and speed from the INI file) or
// "-f<image> -c<n> -b<k> -a". Returns false with a message on a bad line.
bool parseHexLoadArguments(const std::vector<std::string>& args, const std::string& iniPath,
                           HexLoadRequest& out, std::string& error);
// Entry i of the colon-separated port table is COM(i+1).
std::string portDevice(const std::string& portTable, int index);
// Sends the image; returns the exit code.
int sendImage(const HexLoadRequest& request, const std::string& device, std::string& message);

}  // namespace sim
