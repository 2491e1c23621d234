#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "serial/ComPort.h"
#include "serial/V24Parameter.h"

namespace fs = std::filesystem;

namespace {

class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/v24test.XXXXXX";
    path_ = ::mkdtemp(pattern);
  }
  ~TempDir() { fs::remove_all(path_); }
  std::string File(const char* name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

std::vector<uint8_t> ReadBytes(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& name, const std::vector<uint8_t>& bytes) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

V24ParameterTag SampleRecord() {
  V24ParameterTag r{};
  r.DatenBits = D_7;
  r.Paritaet = Space;
  r.StopBits = S_2;
  r.Baudrate = B115200;
  r.Handshake = KVX_XonXoff;
  r.RXTimeOut = -2;
  r.TXTimeOut = 0x01020304;
  r.Schnittstelle = Com256;
  r.KeinNullZeichen = true;
  return r;
}

}  // namespace

TEST(V24Parameter, ImageIsLittleEndianWithZeroPadding) {
  const V24Image image = EncodeV24Image(SampleRecord());
  const V24Image expected = {0,    4,    2, 7, 3, 0, 0,   0, 0xFE, 0xFF,
                             0xFF, 0xFF, 4, 3, 2, 1, 255, 1, 0,    0};
  EXPECT_EQ(image, expected);
}

TEST(V24Parameter, FileRoundTripGivesIdenticalBytes) {
  TempDir dir;
  const std::string name = dir.File("ComData.cfg");
  TV24Parameter p;
  const V24ParameterTag sample = SampleRecord();
  ASSERT_EQ(p.SaveToFile(name, &sample), 0);
  const auto written = ReadBytes(name);
  ASSERT_EQ(written.size(), kV24ImageSize);

  V24ParameterTag loaded{};
  ASSERT_EQ(p.LoadFromFile(name, &loaded), 0);
  EXPECT_EQ(EncodeV24Image(loaded), EncodeV24Image(sample));
  ASSERT_EQ(p.SaveToFile(name, &loaded), 0);
  EXPECT_EQ(ReadBytes(name), written);
}

TEST(V24Parameter, SaveKeepsBytesBeyondTheImage) {
  TempDir dir;
  const std::string name = dir.File("long.cfg");
  WriteBytes(name, std::vector<uint8_t>(25, 0xAA));
  TV24Parameter p;
  const V24ParameterTag sample = SampleRecord();
  ASSERT_EQ(p.SaveToFile(name, &sample), 0);
  const auto bytes = ReadBytes(name);
  ASSERT_EQ(bytes.size(), 25u);
  EXPECT_EQ(bytes[18], 0);
  EXPECT_EQ(bytes[20], 0xAA);
  EXPECT_EQ(bytes[24], 0xAA);
}

TEST(V24Parameter, ShortOrOutOfRangeFileIsRejectedAndValuesKept) {
  TempDir dir;
  const std::string name = dir.File("bad.cfg");
  TV24Parameter p;
  const V24Image good = EncodeV24Image(SampleRecord());

  WriteBytes(name, std::vector<uint8_t>(good.begin(), good.begin() + 19));
  V24ParameterTag record = *p.GetParameter(false, "");
  EXPECT_EQ(p.LoadFromFile(name, &record), -10);
  EXPECT_EQ(EncodeV24Image(record), EncodeV24Image(*p.GetParameter(false, "")));

  for (size_t offset : {0u, 1u, 2u, 3u, 4u, 17u}) {
    std::vector<uint8_t> bad(good.begin(), good.end());
    bad[offset] = 9;
    WriteBytes(name, bad);
    EXPECT_EQ(p.LoadFromFile(name, &record), -10) << "offset " << offset;
    EXPECT_EQ(record.Baudrate, B__4800) << "offset " << offset;
  }
  // The rejected file is not overwritten.
  EXPECT_EQ(ReadBytes(name).size(), kV24ImageSize);
}

TEST(V24Parameter, MissingFileIsCreatedWithTheValuesInEffect) {
  TempDir dir;
  const std::string name = dir.File("new.cfg");
  TV24Parameter p;
  p.SetBaudrate(B_38400);
  V24ParameterTag* live = p.GetParameter(true, name);
  EXPECT_EQ(live->Baudrate, B_38400);
  const auto bytes = ReadBytes(name);
  ASSERT_EQ(bytes.size(), kV24ImageSize);
  EXPECT_EQ(bytes[3], B_38400);
}

TEST(V24Parameter, BindingDecidesWhetherTheFileIsTouched) {
  TempDir dir;
  const std::string name = dir.File("ComData.cfg");
  TComPort port;
  port.SetStreamOn(true);
  port.SetDatei(name);
  // Fetching through the component switches the binding off.
  V24ParameterTag* record = port.GetV24Parameter();
  record->Baudrate = B_57600;
  port.InitParameter(record, false);
  EXPECT_FALSE(fs::exists(name));

  TV24Parameter p;
  p.GetParameter(true, "");  // on, but no name
  p.SetParameter(p.GetParameter(true, ""));
  EXPECT_FALSE(fs::exists(name));

  p.GetParameter(true, name);  // creates it
  ASSERT_TRUE(fs::exists(name));
  V24ParameterTag changed = *p.GetParameter(true, name);
  changed.TXTimeOut = 10000;
  p.SetParameter(&changed);
  V24ParameterTag fromFile{};
  ASSERT_EQ(p.LoadFromFile(name, &fromFile), 0);
  EXPECT_EQ(fromFile.TXTimeOut, 10000);
}
