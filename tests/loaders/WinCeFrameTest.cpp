// The texts of the Windows-CE transfer and the files' time stamps, without
// a port.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "loaders/DosFileTime.h"
#include "loaders/WinCeFrame.h"
#include "tests/support/TempDir.h"

namespace {

const uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

uint8_t RawCrc(uint8_t byte) {
  unsigned crc = 0xFF ^ byte;
  for (int i = 0; i < 8; ++i) crc = (crc & 0x80) ? ((crc << 1) ^ 0x1D) & 0xFF : (crc << 1) & 0xFF;
  return static_cast<uint8_t>(crc);
}

// The one byte whose CRC-8 before substitution is `wanted`.
std::string ByteWithRawCrc(uint8_t wanted) {
  for (int b = 0; b < 256; ++b)
    if (RawCrc(static_cast<uint8_t>(b)) == wanted) return std::string(1, static_cast<char>(b));
  return {};
}

std::string FrameOf(const std::string& data) {
  wince::Frame frame;
  const std::size_t n = wince::BuildDataFrame(Bytes(data), data.size(), frame);
  return std::string(frame.data(), n);
}

// Sets TZ for one test and puts the old zone back.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone) {
    if (const char* old = std::getenv("TZ")) previous_ = old, hadZone_ = true;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ScopedTimeZone() {
    if (hadZone_)
      setenv("TZ", previous_.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }

 private:
  std::string previous_;
  bool hadZone_ = false;
};

void SetModificationTime(const std::string& path, std::time_t when) {
  const timespec times[2] = {{when, 0}, {when, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

}  // namespace

TEST(WinCeCheckCharacter, IsTheCrc8OfTheDataMovedOffTheHeaderDelimiters) {
  EXPECT_EQ(wince::CheckCharacter(Bytes("abc"), 3), 0x65);
  EXPECT_EQ(wince::CheckCharacter(nullptr, 0), 0xFF);
  const std::string zero = ByteWithRawCrc(0x00);
  EXPECT_EQ(wince::CheckCharacter(Bytes(zero), 1), 0x01);
  for (uint8_t delimiter : {uint8_t{'D'}, uint8_t{','}, uint8_t{'#'}}) {
    const std::string data = ByteWithRawCrc(delimiter);
    EXPECT_EQ(wince::CheckCharacter(Bytes(data), 1), delimiter + 1) << "raw " << int(delimiter);
  }
  // Values next to the substituted ones stay as they are.
  const std::string plain = ByteWithRawCrc(0x45);
  EXPECT_EQ(wince::CheckCharacter(Bytes(plain), 1), 0x45);
}

TEST(WinCeDataFrame, CarriesCountCheckCharacterAndTheBytes) {
  EXPECT_EQ(FrameOf("abc"), "D.3,e#abc");
  EXPECT_EQ(FrameOf(""), "D.0,\xFF#");
  const std::string nul("\0\x01\x02", 3);
  EXPECT_EQ(FrameOf(nul).substr(6), nul) << "NUL bytes are data";

  const std::string full(2000, 'x');
  const std::string frame = FrameOf(full);
  EXPECT_EQ(frame.size(), 2009u);
  EXPECT_EQ(frame.substr(0, 7), "D.2000,");
  EXPECT_EQ(frame[8], '#');
  // A longer piece is cut to the 2000 bytes a frame carries.
  EXPECT_EQ(FrameOf(std::string(2500, 'x')), frame);
}

TEST(WinCeCommands, SpeedAndAnnounceTexts) {
  EXPECT_EQ(wince::SpeedCommand(38400), "A.1300#38400\r\n");
  EXPECT_EQ(wince::SpeedCommand(9600), "A.1300#9600\r\n");
  EXPECT_EQ(wince::AnnounceCommand(false, "app.exe", 1482517693u, 4500),
            "A.1201#app.exe,1482517693,4500\r\n");
  EXPECT_EQ(wince::AnnounceCommand(true, "sub\\x.dll", 4294967295u, 0),
            "A.1205#sub\\x.dll,4294967295,0\r\n");
}

TEST(WinCeCommands, NewAnnounceForOldInstrumentsWithRecentFilesOrWhenForced) {
  EXPECT_TRUE(wince::UseNewAnnounce(false, 110, 1000000000u));
  EXPECT_FALSE(wince::UseNewAnnounce(false, 110, 999999999u));
  EXPECT_FALSE(wince::UseNewAnnounce(false, 120, 4000000000u));
  EXPECT_TRUE(wince::UseNewAnnounce(true, 150, 0));
}

TEST(DosFileTime, PacksLocalDateHighAndTimeLow) {
  ScopedTimeZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
  TempDir dir;
  dir.Write("leap.exe", "x");
  dir.Write("summer.exe", "y");
  // 2024-02-29 13:37:58 CET and 2024-07-01 00:00:01 CEST.
  SetModificationTime(dir.File("leap.exe"), 1709210278);
  SetModificationTime(dir.File("summer.exe"), 1719784801);
  EXPECT_EQ(DosFileTime(dir.File("leap.exe")), 1482517693u);
  EXPECT_EQ(DosFileTime(dir.File("summer.exe")), 1491140608u)
      << "local summer time, two-second steps";

  std::tm tm{};
  tm.tm_year = 2024 - 1900;
  tm.tm_mon = 1;
  tm.tm_mday = 29;
  tm.tm_hour = 13;
  tm.tm_min = 37;
  tm.tm_sec = 59;
  EXPECT_EQ(PackDosDateTime(tm), 1482517693u);
}

TEST(DosFileTime, MissingFileFolderAndDatesOutsideTheDosRangeGiveAllBits) {
  TempDir dir;
  EXPECT_EQ(DosFileTime(dir.File("missing.exe")), kNoDosTime);
  EXPECT_EQ(DosFileTime(dir.path()), kNoDosTime);
  std::tm tm{};
  tm.tm_mday = 1;
  tm.tm_year = 1979 - 1900;
  EXPECT_EQ(PackDosDateTime(tm), kNoDosTime);
  tm.tm_year = 2108 - 1900;
  EXPECT_EQ(PackDosDateTime(tm), kNoDosTime);
  tm.tm_year = 1980 - 1900;
  EXPECT_EQ(PackDosDateTime(tm), (1u << 5 | 1u) << 16);
}
