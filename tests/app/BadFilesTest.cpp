// Every reader meets what a hostile or unlucky user puts in place of its
// file: a directory, a FIFO nobody writes to, a link to /dev/zero, a file
// beyond the limit of its kind. None may abort, block or read without end.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "app/DeviceTable.h"
#include "app/FileVersion.h"
#include "core/IniLines.h"
#include "app/Settings.h"
#include "loaders/BslConstants.h"
#include "loaders/BslImage.h"
#include "platform/BoundedFile.h"
#include "serial/V24Parameter.h"
#include "tests/app/RecordingDialogSink.h"
#include "tests/support/TempDir.h"

namespace {

enum class Bad { Directory, Fifo, DevZero };

void Make(const TempDir& dir, const std::string& name, Bad bad) {
  const std::string path = dir.File(name);
  switch (bad) {
    case Bad::Directory: ASSERT_EQ(mkdir(path.c_str(), 0755), 0); break;
    case Bad::Fifo: ASSERT_EQ(mkfifo(path.c_str(), 0600), 0); break;
    case Bad::DevZero: ASSERT_EQ(symlink("/dev/zero", path.c_str()), 0); break;
  }
}

// A reader that blocked on the FIFO would hang the suite: the alarm turns
// that into a failure.
struct HangGuard {
  HangGuard() { alarm(30); }
  ~HangGuard() { alarm(0); }
};

}  // namespace

TEST(BoundedFile, RefusesWhatIsNotARegularFileWithinItsLimit) {
  HangGuard guard;
  TempDir dir;
  Make(dir, "dir", Bad::Directory);
  Make(dir, "fifo", Bad::Fifo);
  Make(dir, "zero", Bad::DevZero);
  dir.Write("big", std::string(101, 'x'));
  dir.Write("fits", std::string(100, 'x'));
  std::string bytes = "stale";
  struct Case {
    const char* name;
    FileFault fault;
    const char* kind;
  };
  for (const Case& c :
       {Case{"dir", FileFault::NotRegular, "directory"},
        Case{"fifo", FileFault::NotRegular, "FIFO"},
        Case{"zero", FileFault::NotRegular, "character device"},
        Case{"big", FileFault::TooLarge, ""}, Case{"missing", FileFault::Missing, ""}}) {
    FileCheck check = ReadBoundedFile(dir.File(c.name), 100, bytes);
    EXPECT_EQ(check.fault, c.fault) << c.name;
    EXPECT_STREQ(check.kind, c.kind) << c.name;
    EXPECT_TRUE(bytes.empty()) << c.name;
  }
  EXPECT_TRUE(ReadBoundedFile(dir.File("fits"), 100, bytes).ok());
  EXPECT_EQ(bytes.size(), 100u);

  FileCheck dirCheck = ReadBoundedFile(dir.File("dir"), 100, bytes);
  EXPECT_EQ(FileFaultReason(dirCheck, 100, 1), "is not a regular file but a directory");
  EXPECT_EQ(FileFaultReason(dirCheck, 100, 0),
            "ist keine gew\xF6hnliche Datei, sondern ein Verzeichnis");
  FileCheck bigCheck = ReadBoundedFile(dir.File("big"), 100, bytes);
  EXPECT_EQ(FileFaultReason(bigCheck, 100, 1), "is larger than 100 bytes");
}

TEST(BoundedFile, EveryReaderRefusesDirectoriesFifosAndDevices) {
  HangGuard guard;
  for (Bad bad : {Bad::Directory, Bad::Fifo, Bad::DevZero}) {
    TempDir dir;
    SCOPED_TRACE(static_cast<int>(bad));
    RecordingDialogSink sink;
    for (const char* name : {"Update.ini", "ProgDevice.ini", "BSL430.ini", "HEXLoad_8N1.ini",
                             "fw.txt", "fw.mot", "ComData.cfg"})
      Make(dir, name, bad);

    UpdateSettings settings;
    FileCheck refusal;
    EXPECT_EQ(ReadUpdateIni(dir.File("Update.ini"), settings, nullptr, &refusal), -1);
    EXPECT_EQ(refusal.fault, FileFault::NotRegular);
    EXPECT_EQ(WriteUpdateIni(dir.File("Update.ini"), settings), SettingsWrite::NotLoaded);
    DeviceTable table;
    EXPECT_EQ(ReadProgDeviceIni(dir.File("ProgDevice.ini"), table, nullptr, &refusal), -1);
    EXPECT_EQ(refusal.fault, FileFault::NotRegular);
    EXPECT_FALSE(LoadLines(dir.File("HEXLoad_8N1.ini")).has_value());

    EXPECT_FALSE(LoadBslConstants(dir.File("BSL430.ini")).ok());
    BslImage image;
    EXPECT_EQ(LoadBslImage(dir.File("fw.txt"), kFirmwareImageLimits, image).fault,
              BslImageFault::NotRegularFile);

    DeviceRecord record;
    EXPECT_EQ(ReadFileVersion("S10B2000", dir.File("fw.mot"), record, 1), "0");
    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_NE(sink.shown[0].text.find("fw.mot\" is not a regular file"), std::string::npos)
        << sink.shown[0].text;

    // The line-settings image is neither read nor replaced.
    TV24Parameter v24;
    V24ParameterTag tag = *v24.GetParameter(false, "");
    EXPECT_EQ(v24.LoadFromFile(dir.File("ComData.cfg"), &tag), -10);
    EXPECT_EQ(v24.SaveToFile(dir.File("ComData.cfg"), &tag), -10);
  }
}

TEST(BoundedFile, SettingsFilesAreLimitedToOneMebibyte) {
  TempDir dir;
  std::string big = "Language=1\r\n" + std::string(kSettingsFileLimit, ';');
  dir.Write("Update.ini", big);
  UpdateSettings settings;
  FileCheck refusal;
  EXPECT_EQ(ReadUpdateIni(dir.File("Update.ini"), settings, nullptr, &refusal), -1);
  EXPECT_EQ(refusal.fault, FileFault::TooLarge);
  dir.Write("Update.ini", big.substr(0, kSettingsFileLimit));
  EXPECT_EQ(ReadUpdateIni(dir.File("Update.ini"), settings), 0);
  EXPECT_EQ(settings.language, 1);
}

TEST(BoundedFile, FirmwareBeyondTheLargestTransferIsRefused) {
  TempDir dir;
  RecordingDialogSink sink;
  dir.Write("big.mot", "S10B2000312E32330000AABB7F\r\n" + std::string(kFirmwareFileLimit, 'F'));
  DeviceRecord record;
  EXPECT_EQ(ReadFileVersion("S10B2000", dir.File("big.mot"), record, 1), "0");
  ASSERT_EQ(sink.shown.size(), 1u);
  EXPECT_NE(sink.shown[0].text.find("is larger than 3000000 bytes"), std::string::npos);
}
