#include "serial/V24Parameter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/BoundedFile.h"

namespace {

constexpr int kBaudRates[kBaudCount] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

void PutInt32(uint8_t* out, int32_t value) {
  const uint32_t v = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(v >> (8 * i));
}

int32_t GetInt32(const uint8_t* in) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(in[i]) << (8 * i);
  return static_cast<int32_t>(v);
}

// Reads up to `size` bytes, retrying short reads; returns the count.
size_t ReadFully(int fd, uint8_t* data, size_t size) {
  size_t got = 0;
  while (got < size) {
    const ssize_t n = ::read(fd, data + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  return got;
}

}  // namespace

int BaudRateOf(BaudTag baud) { return baud < kBaudCount ? kBaudRates[baud] : kBaudRates[0]; }

int DataBitsOf(DatBitTag bits) { return bits == D_7 ? 7 : 8; }

V24Image EncodeV24Image(const V24ParameterTag& record) {
  V24Image image{};
  image[0] = record.DatenBits;
  image[1] = record.Paritaet;
  image[2] = record.StopBits;
  image[3] = record.Baudrate;
  image[4] = record.Handshake;
  PutInt32(&image[8], record.RXTimeOut);
  PutInt32(&image[12], record.TXTimeOut);
  image[16] = record.Schnittstelle;
  image[17] = record.KeinNullZeichen ? 1 : 0;
  return image;
}

bool DecodeV24Image(const uint8_t* data, size_t size, V24ParameterTag& record) {
  if (data == nullptr || size < kV24ImageSize) return false;
  // The bytes index the driver-value tables later, so nothing out of range
  // may get into the record.
  if (data[0] >= kDatBitCount || data[1] >= kParitaetCount || data[2] >= kStopBitCount ||
      data[3] >= kBaudCount || data[4] >= kHandshakeCount || data[17] > 1)
    return false;
  record.DatenBits = static_cast<DatBitTag>(data[0]);
  record.Paritaet = static_cast<ParitaetTag>(data[1]);
  record.StopBits = static_cast<StopBitTag>(data[2]);
  record.Baudrate = static_cast<BaudTag>(data[3]);
  record.Handshake = static_cast<HandshakeTag>(data[4]);
  record.RXTimeOut = GetInt32(&data[8]);
  record.TXTimeOut = GetInt32(&data[12]);
  record.Schnittstelle = static_cast<ComTag>(data[16]);
  record.KeinNullZeichen = data[17] != 0;
  return true;
}

TV24Parameter::TV24Parameter() {
  std::memset(&record_, 0, sizeof record_);
  record_.DatenBits = D_8;
  record_.Paritaet = NoParity;
  record_.StopBits = S_1;
  record_.Baudrate = B__4800;
  record_.Handshake = NoHandshake;
  record_.RXTimeOut = 0;
  record_.TXTimeOut = 1000;
  record_.Schnittstelle = Com__1;
  record_.KeinNullZeichen = false;
}

V24ParameterTag* TV24Parameter::GetParameter(bool streamOn, const std::string& fileName) {
  streamOn_ = streamOn;
  fileName_ = fileName;
  if (streamOn_ && !fileName_.empty()) LoadFromFile(fileName_, &record_);
  return &record_;
}

void TV24Parameter::SetParameter(const V24ParameterTag* source) {
  if (source == nullptr) return;
  if (source != &record_) record_ = *source;
  if (streamOn_ && !fileName_.empty()) SaveToFile(fileName_, &record_);
}

int TV24Parameter::LoadFromFile(const std::string& fileName, V24ParameterTag* record) {
  if (record == nullptr || fileName.empty()) return -10;
  FileCheck check;
  const int fd = OpenBoundedFile(fileName, O_RDWR, kSettingsFileLimit, check);
  if (fd < 0) {
    // A missing file is created holding the values in effect; anything
    // else in its place (a directory, a FIFO, a huge file) is left alone.
    if (check.fault == FileFault::Missing) SaveToFile(fileName, record);
    return -10;
  }
  V24Image image{};
  const size_t got = ReadFully(fd, image.data(), image.size());
  ::close(fd);
  return DecodeV24Image(image.data(), got, *record) ? 0 : -10;
}

int TV24Parameter::SaveToFile(const std::string& fileName, const V24ParameterTag* record) {
  if (record == nullptr || fileName.empty()) return -10;
  FileCheck check;
  const int fd = OpenBoundedFile(fileName, O_RDWR | O_CREAT, kSettingsFileLimit, check);
  if (fd < 0) return -10;
  const V24Image image = EncodeV24Image(*record);
  size_t done = 0;
  while (done < image.size()) {
    const ssize_t n =
        ::pwrite(fd, image.data() + done, image.size() - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  const bool closed = ::close(fd) == 0;
  return done == image.size() && closed ? 0 : -10;
}

std::array<bool, 8> TDlgParameter::Flags() const {
  return {DatenBits, Schnittstelle, Paritaet, StopBits, Baudrate, Handshake, RXTimeOut, TXTimeOut};
}

void TDlgParameter::SetFlags(const std::array<bool, 8>& flags) {
  DatenBits = flags[0];
  Schnittstelle = flags[1];
  Paritaet = flags[2];
  StopBits = flags[3];
  Baudrate = flags[4];
  Handshake = flags[5];
  RXTimeOut = flags[6];
  TXTimeOut = flags[7];
}
