// T_BSL430 against the instrument simulator over a pseudo-terminal.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <algorithm>
#include <functional>
#include <memory>
#include <string>

#include "loaders/Bsl430.h"
#include "tests/loaders/BslTestHost.h"
#include "tests/loaders/SimulatedMeter.h"
#include "tests/support/BslSimImages.h"
#include "tests/support/Pty.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"

namespace {

const std::string kBootloaderError = "Fehler im Bootloader !!  Programmierung wurde abgebrochen.";
const std::string kNoBootloader =
    "Bootloader im Zielger\xE4t nicht verf\xFC"
    "gbar!!  Programmierung wurde abgebrochen.";

std::string Profile(const std::string& extra = "") {
  return "Name = bsl-test\nBaudRate = 4800\nStartCommand = A.1000\nReplyDelayMs = 1\n"
         "Target = bsl\nBslDeviceId = 0xF149\nBslVersion = 1.61\nOldFirmware = yes\n"
         "AppStartMs = 50\n" +
         extra;
}

class BslDownload : public ::testing::Test {
 protected:
  void Start(const std::string& profile) {
    dir.Enter();
    std::error_code ec;
    if (!std::filesystem::exists(dir.File("BSL430.ini"), ec)) WriteBslConstants(dir.path());
    // The instruments' waits of 4 s and 1 s shrink to a fortieth.
    StartSimulatedMeter(dir.path(), profile, 40, sim, ports, host);
  }

  bool Run(const std::string& file, int commandIndex = 0, bool syncFirst = true,
           bool queryVector = false) {
    T_BSL430 loader(*host);
    loader.SetTimeouts(5000, 1500);
    const bool ok = loader.Download(commandIndex, file, syncFirst, queryVector);
    errorCode = loader.GetErrorCode();
    if (beforeStop) beforeStop();
    report = sim->Stop();
    return ok;
  }

  // The restarted meter answers at its own speed only if the tool's line
  // is back at that speed.
  bool MeterAnswers(const char* command) {
    host->replyLines.clear();
    host->Port().Write(command, -1, false);
    QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()) {
      for (const std::string& line : host->replyLines)
        if (line.find('!') != std::string::npos) return true;
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    }
    return false;
  }

  bool HasState(const std::string& text) const {
    const auto states = EventTexts(report, "", "state");
    return std::find(states.begin(), states.end(), text) != states.end();
  }

  // Every byte of the image is in flash, and nothing else was written.
  void ExpectFlashEquals(const ByteMap& image) {
    const ByteMap flash = FlashOf(report);
    ASSERT_EQ(flash.size(), image.size());
    for (const auto& [address, value] : image)
      ASSERT_EQ(flash.at(address), value) << "at 0x" << std::hex << address;
    EXPECT_TRUE(Violations(report).empty()) << Violations(report).front();
  }

  TempDir dir;
  CapturedDialogs dialogs;
  std::unique_ptr<SimProcess> sim;
  std::unique_ptr<ScopedPortTable> ports;
  std::unique_ptr<BslTestHost> host;
  QJsonObject report;
  int errorCode = -1;
  std::function<void()> beforeStop;  // runs while the meter is still there
};

}  // namespace

TEST_F(BslDownload, FollowsTheTypicalConversationFrameByFrame) {
  Start(Profile());
  ImageLayout layout;
  layout.mainBytes = 480;
  const ByteMap image = WriteTiTxtImage(dir.File("fw.txt"), layout);
  ASSERT_TRUE(Run(dir.File("fw.txt")));
  EXPECT_EQ(SimProcess::ReceivedLines(report), (std::vector<std::string>{"A.1000", "A.5588#QX47"}));

  std::vector<std::string> expected = {"SYNC", "80 10 24 24 FF FF FF FF (42 bytes)",
                                       "SYNC", "80 1E 04 04 58 58 58 58 (10 bytes)",
                                       "SYNC", "80 20 04 04 00 C8 02 58 (10 bytes)"};
  char text[64];
  for (int a = 0xFC00; a >= 0x1200; a -= 0x200) {
    std::snprintf(text, sizeof text, "80 16 04 04 %02X %02X 02 A5 (10 bytes)", a & 0xFF, a >> 8);
    expected.insert(expected.end(), {"SYNC", text});
  }
  expected.insert(expected.end(), {"SYNC", "80 16 04 04 00 11 02 A5 (10 bytes)",
                                   "SYNC", "80 16 04 04 80 10 02 A5 (10 bytes)",
                                   "SYNC", "80 12 14 14 00 10 10 00 (26 bytes)",
                                   "SYNC", "80 12 F4 F4 00 11 F0 00 (250 bytes)",
                                   "SYNC", "80 12 F4 F4 F0 11 F0 00 (250 bytes)",
                                   "SYNC", "80 16 04 04 FF FF 02 A5 (10 bytes)",
                                   "SYNC", "80 12 24 24 E0 FF 20 00 (42 bytes)",
                                   "SYNC", "80 14 04 04 00 10 10 00 (10 bytes)",
                                   "SYNC", "80 14 04 04 00 11 F0 00 (10 bytes)",
                                   "SYNC", "80 14 04 04 F0 11 F0 00 (10 bytes)",
                                   "SYNC", "80 14 04 04 E0 FF 20 00 (10 bytes)",
                                   "SYNC", "80 1A 04 04 00 11 58 58 (10 bytes)"});
  EXPECT_EQ(EventTexts(report, "rx", "bsl"), expected);
  ExpectFlashEquals(image);
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(BslDownload, WritesRandomImagesOfOneToFortyEightKiBExactly) {
  for (const std::size_t size : {1024u, 13 * 1024u + 6, 48 * 1024u}) {
    SCOPED_TRACE(size);
    Start(Profile());
    ImageLayout layout;
    layout.mainBytes = size;
    layout.seed = static_cast<uint32_t>(size);
    const ByteMap image = WriteTiTxtImage(dir.File("fw.txt"), layout);
    ASSERT_FALSE(image.empty());
    bool answered = false;
    beforeStop = [&] { answered = MeterAnswers("A.1000\r\n"); };
    ASSERT_TRUE(Run(dir.File("fw.txt")))
        << errorCode << " " << (Violations(report).empty() ? "" : Violations(report)[0]);
    ExpectFlashEquals(image);
    EXPECT_TRUE(HasState("new firmware started at 0x1100"));
    EXPECT_TRUE(answered) << "line not restored to the meter's speed";
  }
}

TEST_F(BslDownload, ReachesHighMemoryThroughTheMemoryOffset) {
  // Images with high memory unlock with the alternative vector.
  Start(Profile("Vector = 0x1E7\n"));
  host->Record().FlashErase2 = 0x10E00;  // erase the high part the image uses
  ImageLayout layout;
  layout.mainBytes = 2048;
  layout.highBytes = 3000;
  const ByteMap image = WriteTiTxtImage(dir.File("fw.txt"), layout);
  ASSERT_TRUE(Run(dir.File("fw.txt")));
  ExpectFlashEquals(image);
  const auto erased = EventTexts(report, "", "erase");
  ASSERT_GE(erased.size(), 9u);
  EXPECT_EQ(erased.front(), "0x10E00..0x10FFF");
  EXPECT_EQ(erased[7], "0x10000..0x101FF");
  EXPECT_EQ(erased[8], "0xFC00..0xFDFF");  // 0xFE00 waits until it is programmed
}

TEST_F(BslDownload, KeepsTheInformationSegmentWhenOnlyOneLowBlockPrecedesHighMemory) {
  Start(Profile("Vector = 0x1E7\n"));
  host->Record().FlashErase2 = 0x10200;
  ImageLayout layout;
  layout.infoBytes = 0;
  layout.mainBytes = 200;  // one block at 0x1100, then the high blocks
  layout.highBytes = 600;
  const ByteMap image = WriteTiTxtImage(dir.File("fw.txt"), layout);
  ASSERT_TRUE(Run(dir.File("fw.txt")));
  ExpectFlashEquals(image);
  const auto erased = EventTexts(report, "", "erase");
  EXPECT_EQ(std::count(erased.begin(), erased.end(), "0x1000..0x107F"), 0);
  EXPECT_EQ(std::count(erased.begin(), erased.end(), "0x1100..0x11FF"), 1);
}

TEST_F(BslDownload, LoadsThePatchForLoader110) {
  Start(Profile("BslVersion = 1.10\n"));
  dir.Write("Patch.TXT",
            "@0220\r\n31 40 00 0A B2 40 80 5A 20 01 30 41 03 43 03 43\r\n"
            "03 43 03 43\r\nq\r\n");
  ImageLayout layout;
  layout.mainBytes = 700;
  const ByteMap image = WriteTiTxtImage(dir.File("fw.txt"), layout);
  ASSERT_TRUE(Run(dir.File("fw.txt")));
  ExpectFlashEquals(image);
  const auto states = EventTexts(report, "", "state");
  EXPECT_NE(std::find(states.begin(), states.end(), "loader restarted at 0x0C22 for its patch"),
            states.end());
  EXPECT_GE(std::count(states.begin(), states.end(), "patch run"), 8);
}

TEST_F(BslDownload, RetriesANakedDataBlockAndStillWritesEverything) {
  Start(Profile("Nak = 0x12:5\n"));
  ImageLayout layout;
  layout.mainBytes = 4000;
  const ByteMap image = WriteTiTxtImage(dir.File("fw.txt"), layout);
  ASSERT_TRUE(Run(dir.File("fw.txt")));
  ExpectFlashEquals(image);
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(BslDownload, MovesOnWhenAnEraseBelow0x1200IsRefused) {
  // Erase 119 is the one of 0x1100 (0xFC00 down to 0x1200 are 118).
  Start(Profile("OldFirmware = no\nNak = 0x16:119\n"));
  ImageLayout layout;
  layout.mainBytes = 480;
  const ByteMap image = WriteTiTxtImage(dir.File("fw.txt"), layout);
  ASSERT_TRUE(Run(dir.File("fw.txt")));
  ExpectFlashEquals(image);
  const auto rx = EventTexts(report, "rx", "bsl");
  EXPECT_EQ(std::count(rx.begin(), rx.end(), "80 16 04 04 00 11 02 A5 (10 bytes)"), 1);
  EXPECT_EQ(std::count(rx.begin(), rx.end(), "80 16 04 04 80 10 02 A5 (10 bytes)"), 1);
  const auto erased = EventTexts(report, "", "erase");
  EXPECT_EQ(std::count(erased.begin(), erased.end(), "0x1100..0x11FF"), 0);  // the refused one
}

TEST_F(BslDownload, GivesUpAStepAtItsThirdNak) {
  Start(Profile("Nak = 0x12:5,0x12:6,0x12:7\n"));
  const ByteMap image = WriteTiTxtImage(dir.File("fw.txt"), ImageLayout{});
  EXPECT_FALSE(Run(dir.File("fw.txt")));
  EXPECT_EQ(errorCode, BslError::kProgram);
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].caption, "Error") << "the same caption in both languages";
  EXPECT_EQ(dialogs.shown[0].text, kBootloaderError);
  EXPECT_TRUE(HasState("loader unlocked"));
  EXPECT_FALSE(HasState("new firmware started at 0x1100"));
}

TEST_F(BslDownload, GivesUpWhenFailuresAlternateBetweenTwoSteps) {
  // Every data block and the SYNC after it are NAKed: no single step fails
  // three times in a row, yet the download gets nowhere.
  Start(Profile("Nak = 0x12\nNakSyncAfterNak = yes\n"));
  WriteTiTxtImage(dir.File("fw.txt"), ImageLayout{});
  EXPECT_FALSE(Run(dir.File("fw.txt")));
  EXPECT_NE(errorCode, BslError::kNone);
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].text, kBootloaderError);
  const auto faults = EventTexts(report, "", "fault");
  EXPECT_EQ(faults.size(), 10u) << "ten failures of any step end the download";
  EXPECT_FALSE(HasState("new firmware started at 0x1100"));
}

TEST_F(BslDownload, ReportsAMeterWithoutLoader) {
  Start(Profile("Reject = A.5588\n"));
  WriteTiTxtImage(dir.File("fw.txt"), ImageLayout{});
  host->language = 0;
  EXPECT_FALSE(Run(dir.File("fw.txt")));
  EXPECT_EQ(errorCode, BslError::kNoBootloader);
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].text, kNoBootloader);
  EXPECT_TRUE(EventTexts(report, "rx", "bsl").empty());
}

TEST_F(BslDownload, RefusesSectionsThatWouldOverwriteEachOtherBeforeSending) {
  // The pad byte after 0x2000..0x2002 would be overwritten by the next
  // section: once this failed only at the read-back, after erasing.
  Start(Profile());
  dir.Write("fw.txt",
            "@1000\r\n01 02\r\n@1100\r\n03 04\r\n@2000\r\n01 02 03\r\n"
            "@2003\r\n44 55 66 77\r\n@FFFE\r\n00 11\r\nq\r\n");
  host->language = 1;
  EXPECT_FALSE(Run(dir.File("fw.txt")));
  EXPECT_EQ(errorCode, BslError::kRefused);
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_NE(dialogs.shown[0].text.find("line 7, address 0x2003: section starts at an odd address"),
            std::string::npos)
      << dialogs.shown[0].text;
  EXPECT_TRUE(SimProcess::ReceivedLines(report).empty());
}

TEST_F(BslDownload, EndsWhenTheMeterIsUnpluggedWhileProgramming) {
  Start(Profile("UnplugAfterBytes = 3000\n"));
  ImageLayout layout;
  layout.mainBytes = 8000;
  WriteTiTxtImage(dir.File("fw.txt"), layout);
  EXPECT_FALSE(Run(dir.File("fw.txt")));
  EXPECT_NE(errorCode, BslError::kNone);
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].text, kBootloaderError);
  EXPECT_FALSE(host->Events().HasPending());
}

TEST_F(BslDownload, EndsOnEscape) {
  Start(Profile());
  ImageLayout layout;
  layout.mainBytes = 8000;
  WriteTiTxtImage(dir.File("fw.txt"), layout);
  host->onProgress = [this](double percent) {
    if (percent > 30) host->Events().PostKey(BslEvent::kEscapeKey);
  };
  EXPECT_FALSE(Run(dir.File("fw.txt")));
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].text, kBootloaderError);
  const auto rx = EventTexts(report, "rx", "bsl");
  EXPECT_EQ(std::count_if(rx.begin(), rx.end(),
                          [](const std::string& t) { return t.rfind("80 1A", 0) == 0; }),
            0);
}

TEST_F(BslDownload, RefusesABrokenImageBeforeTheMeterHearsAByte) {
  Start(Profile());
  dir.Write(
      "fw.txt",
      "@1100\r\n00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10\r\n@FFFE\r\n00 11\r\nq\r\n");
  host->language = 1;
  EXPECT_FALSE(Run(dir.File("fw.txt")));
  EXPECT_EQ(errorCode, BslError::kRefused);
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].caption, "Error");
  EXPECT_NE(dialogs.shown[0].text.find("line 2: more than 16 bytes"), std::string::npos);
  EXPECT_TRUE(SimProcess::ReceivedLines(report).empty());
}

// 0x1100..0x11FF with its second block inside: the erase never reaches
// that segment, so the old contents would make the read-back fail after
// the meter's firmware is erased.
TEST_F(BslDownload, RefusesDataOverUnerasedFlashBeforeEnteringTheLoader) {
  Start(Profile());
  std::string text = "@1100\r\n";
  for (int line = 0; line < 16; ++line) {
    for (int i = 0; i < 16; ++i) text += (i ? " " : "") + std::string("5A");
    text += "\r\n";
  }
  dir.Write("fw.txt", text + "@FFFE\r\n00 11\r\nq\r\n");
  EXPECT_FALSE(Run(dir.File("fw.txt")));
  EXPECT_EQ(errorCode, BslError::kRefused);
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_NE(dialogs.shown[0].text.find(
                ", Adresse 0x1100: Daten in einem Segment, das vorher nicht gel\xF6scht wird."),
            std::string::npos)
      << dialogs.shown[0].text;
  EXPECT_TRUE(SimProcess::ReceivedLines(report).empty()) << "the meter heard nothing";
}

TEST_F(BslDownload, RefusesAnUnreadablePasswordSetting) {
  Start(Profile());
  WriteTiTxtImage(dir.File("fw.txt"), ImageLayout{});
  dir.Write("BSL430.ini", "DefaultVector = 0x1Q5\r\n");
  EXPECT_FALSE(Run(dir.File("fw.txt")));
  EXPECT_EQ(errorCode, BslError::kRefused);
  EXPECT_TRUE(SimProcess::ReceivedLines(report).empty());
}

TEST_F(BslDownload, RefusesASettingsFileThatIsNotAFile) {
  // A directory in place of BSL430.ini once aborted the program; its
  // constants are unknown, so nothing may be sent.
  Start(Profile());
  WriteTiTxtImage(dir.File("fw.txt"), ImageLayout{});
  std::filesystem::remove(dir.File("BSL430.ini"));
  ASSERT_EQ(mkdir(dir.File("BSL430.ini").c_str(), 0755), 0);
  host->language = 1;
  EXPECT_FALSE(Run(dir.File("fw.txt")));
  EXPECT_EQ(errorCode, BslError::kRefused);
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_NE(dialogs.shown[0].text.find("BSL430.ini is not a regular file but a directory"),
            std::string::npos)
      << dialogs.shown[0].text;
  EXPECT_TRUE(SimProcess::ReceivedLines(report).empty());
}

TEST_F(BslDownload, TakesPasswordFromSettingsOrFromTheMeter) {
  // Tool and simulator read the same BSL430.ini in the test folder.
  dir.Write("BSL430.ini",
            "PasswordFill = A5\r\nDefaultVector = 0x2C3\r\nAlternativeVector = 0x1E7\r\n");
  Start(Profile());
  const ByteMap image = WriteTiTxtImage(dir.File("fw.txt"), ImageLayout{});
  ASSERT_TRUE(Run(dir.File("fw.txt")));
  ExpectFlashEquals(image);
  EXPECT_EQ(host->Record().RememberedVector, 0x2C3);

  Start(Profile("Vector = 0x3D1\nVectorReplyCode = 81\n"));
  ASSERT_TRUE(Run(dir.File("fw.txt"), 0, true, /*queryVector=*/true))
      << errorCode << " " << (Violations(report).empty() ? "" : Violations(report)[0]) << " "
      << (host->replyLines.empty() ? "" : host->replyLines.back());
  EXPECT_EQ(SimProcess::ReceivedLines(report),
            (std::vector<std::string>{"A.1000", "A.5577", "A.5588#QX47"}));
  EXPECT_EQ(host->Record().RememberedVector, 0x3D1);
}

TEST_F(BslDownload, StartsWithThePasswordForAMeterAlreadyInItsLoader) {
  Start(Profile("StartInLoader = yes\n"));
  const ByteMap image = WriteTiTxtImage(dir.File("fw.txt"), ImageLayout{});
  host->Record().DirectEntry = true;
  ASSERT_TRUE(Run(dir.File("fw.txt"), 0, /*syncFirst=*/true));
  EXPECT_TRUE(SimProcess::ReceivedLines(report).empty());
  ExpectFlashEquals(image);
}
