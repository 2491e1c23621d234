// hexload-sim: installed as HEXLoad_8N1.exe and PIC32_Serial_Bootloader.exe
// in demo and test folders. Exit 0 = loaded, 1 = run again, 2 = error.
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>
#include <unistd.h>

#include "hexload_client.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  sim::HexLoadRequest request;
  std::string message;
  if (!sim::parseHexLoadArguments(args, "HEXLoad_8N1.ini", request, message)) {
    std::cerr << "hexload-sim: " << message << "\n";
    return sim::kHexLoadError;
  }
  // The tool names firmware files of its program folder, where the loader
  // programs live too; the working directory may be elsewhere.
  std::string self = argv[0];
  if (access(request.image.c_str(), F_OK) != 0 && request.image[0] != '/' &&
      self.find('/') != std::string::npos)
    request.image = self.substr(0, self.rfind('/') + 1) + request.image;
  const char* table = std::getenv("UPDATE_PORTS");
  std::string device = table ? sim::portDevice(table, request.portIndex) : "";
  if (device.empty()) {
    std::cerr << "hexload-sim: no device for COM" << request.portIndex + 1 << " in UPDATE_PORTS\n";
    return sim::kHexLoadError;
  }
  int rc = sim::sendImage(request, device, message);
  std::cerr << "hexload-sim: " << message << "\n";
  return rc;
}
