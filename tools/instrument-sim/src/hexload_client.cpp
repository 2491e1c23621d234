#include "hexload_client.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include "hexload_protocol.h"
#include "ini_file.h"

namespace sim {
namespace {

// Divided by UPDATE_TIMEOUT_DIVISOR, as the tool's own time-outs in simulator runs.
const int kAnswerTimeoutMs = [] {
  const char* d = std::getenv("UPDATE_TIMEOUT_DIVISOR");
  const long n = d ? std::strtol(d, nullptr, 10) : 1;
  return n >= 1 && n <= 1000 ? static_cast<int>(3000 / n) : 3000;
}();
constexpr int kTries = 3;

speed_t speedConstant(unsigned baud) {
  switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B38400;
  }
}

class Port {
 public:
  ~Port() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool open(const std::string& device, unsigned baud, std::string& error) {
    fd_ = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd_ < 0) {
      error = "cannot open " + device + ": " + std::strerror(errno);
      return false;
    }
    termios t{};
    tcgetattr(fd_, &t);
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&t, speedConstant(baud));
    cfsetospeed(&t, speedConstant(baud));
    if (tcsetattr(fd_, TCSANOW, &t) != 0) {
      error = "cannot set the line of " + device;
      return false;
    }
    tcflush(fd_, TCIOFLUSH);
    return true;
  }
  bool write(const std::string& bytes) {
    size_t done = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kAnswerTimeoutMs);
    while (done < bytes.size()) {
      ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
      if (n > 0) {
        done += static_cast<size_t>(n);
        continue;
      }
      if (n < 0 && errno != EAGAIN) return false;
      if (std::chrono::steady_clock::now() > deadline) return false;
      pollfd p{fd_, POLLOUT, 0};
      poll(&p, 1, 50);
    }
    return true;
  }
  // The answer byte, -1 after the time-out, -2 when the line hung up.
  int answer() {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kAnswerTimeoutMs);
    for (;;) {
      unsigned char c;
      ssize_t n = ::read(fd_, &c, 1);
      if (n == 1) {
        if (c == hexload::kAck || c == hexload::kNak || c == hexload::kCancel) return c;
        continue;  // noise from the meter's firmware
      }
      if (n == 0 || (n < 0 && errno != EAGAIN)) return -2;
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                      deadline - std::chrono::steady_clock::now())
                      .count();
      if (left <= 0) return -1;
      pollfd p{fd_, POLLIN, 0};
      poll(&p, 1, static_cast<int>(left));
    }
  }

 private:
  int fd_ = -1;
};

}  // namespace

bool parseHexLoadArguments(const std::vector<std::string>& args, const std::string& iniPath,
                           HexLoadRequest& out, std::string& error) {
  bool pic32Form = false;
  for (const std::string& a : args) {
    if (a.rfind("-f", 0) == 0 && a.size() > 2) {
      out.image = a.substr(2);
      pic32Form = true;
    } else if (a.rfind("-c", 0) == 0 && a.size() == 3) {
      out.portIndex = a[2] - '1';
    } else if (a.rfind("-b", 0) == 0 && a.size() == 3) {
      static const unsigned rates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
      unsigned k = static_cast<unsigned>(a[2] - '0');
      if (k > 7) {
        error = "bad speed argument " + a;
        return false;
      }
      out.baud = rates[k];
    } else if (a == "-a" || a == "-auto" || a == "-exit") {
    } else if (!a.empty() && a[0] != '-' && out.image.empty()) {
      out.image = a;
    } else {
      error = "unknown argument " + a;
      return false;
    }
  }
  if (out.image.empty()) {
    error = "no image named";
    return false;
  }
  if (!pic32Form) {
    IniFile ini;
    if (!ini.load(iniPath)) {
      error = "cannot read " + iniPath;
      return false;
    }
    auto port = parseNumber(ini.get("Port", ""));
    if (!port || *port < 0) {
      error = iniPath + " names no port";
      return false;
    }
    out.portIndex = static_cast<int>(*port);
    if (auto baud = parseNumber(ini.get("Baudrate", ""))) out.baud = static_cast<unsigned>(*baud);
  }
  if (out.portIndex < 0) {
    error = "no port named";
    return false;
  }
  return true;
}

std::string portDevice(const std::string& table, int index) {
  std::istringstream in(table);
  std::string entry;
  for (int i = 0; std::getline(in, entry, ':'); ++i)
    if (i == index) return entry;
  return {};
}

int sendImage(const HexLoadRequest& request, const std::string& device, std::string& message) {
  std::ifstream in(request.image, std::ios::binary);
  if (!in) {
    message = "cannot open the image " + request.image;
    return kHexLoadError;
  }
  std::stringstream content;
  content << in.rdbuf();
  const std::string image = content.str();

  Port port;
  if (!port.open(device, request.baud, message)) return kHexLoadError;

  auto exchange = [&](const std::string& frame, const char* what) {
    for (int attempt = 0; attempt < kTries; ++attempt) {
      if (!port.write(frame)) {
        message = std::string("cannot write the ") + what;
        return kHexLoadFailed;
      }
      int a = port.answer();
      if (a == hexload::kAck) return kHexLoadOk;
      if (a == hexload::kCancel) {
        message = std::string("instrument refused the ") + what;
        return kHexLoadFailed;
      }
      if (a == -2) {
        message = std::string("the instrument went away during the ") + what;
        return kHexLoadFailed;
      }
      if (a < 0) {
        message = std::string("no answer to the ") + what;
        return kHexLoadFailed;
      }
    }
    message = std::string("the ") + what + " was refused " + std::to_string(kTries) + " times";
    return kHexLoadFailed;
  };

  std::string name = request.image.substr(request.image.find_last_of('/') + 1);
  int rc = exchange(
      hexload::makeFrame(hexload::kHello, hexload::u32(static_cast<uint32_t>(image.size())) + name),
      "hello");
  for (size_t offset = 0; rc == kHexLoadOk && offset < image.size(); offset += hexload::kMaxData) {
    std::string payload =
        hexload::u32(static_cast<uint32_t>(offset)) + image.substr(offset, hexload::kMaxData);
    rc = exchange(hexload::makeFrame(hexload::kData, payload), "data");
  }
  if (rc == kHexLoadOk) {
    uint16_t crc = hexload::crc16(image);
    std::string end = hexload::u32(static_cast<uint32_t>(image.size()));
    end += static_cast<char>(crc & 0xFF);
    end += static_cast<char>(crc >> 8);
    rc = exchange(hexload::makeFrame(hexload::kEnd, end), "end");
  }
  if (rc == kHexLoadOk) message = std::to_string(image.size()) + " bytes sent to " + device;
  return rc;
}

}  // namespace sim
