#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>

#include "app/DeviceTable.h"
#include "core/IniLines.h"
#include "app/Settings.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/TempDir.h"

namespace {

std::string DeviceBlock(const std::string& startCmd, const std::string& nr, int extraLines = 0,
                        const std::string& more = "") {
  std::string b = more + "DevStartCmd=" + startCmd + "\nDeviceNrDef=D" + nr + "\nDeviceNr=" + nr +
                  "\nDeviceName=Meter " + nr + "\nProgFile1=\nProgFile2=m" + nr +
                  ".mot\nProgFile3=\nSWKenn1=\nSWKenn2=S0\nSWKenn3=\n";
  for (int i = 0; i < extraLines; ++i) b += "Filler" + std::to_string(i) + "=x\n";
  return b;
}

int ReadBaud(TempDir& dir, const std::string& baud, UpdateSettings& s) {
  dir.Write("Update.ini", "[Update]\r\nLanguage=1\r\nVersion=V 2.0\r\nBaud=" + baud + "\r\n");
  return ReadUpdateIni(dir.File("Update.ini"), s);
}

}  // namespace

TEST(UpdateIni, BaudListParsingAndDefaultOrder) {
  TempDir dir;
  UpdateSettings s;
  ASSERT_EQ(ReadBaud(dir, "", s), 0);
  EXPECT_EQ(s.baudList, (std::vector<uint8_t>{2, 3, 4, 1, 0}));
  EXPECT_EQ(s.language, 1);
  EXPECT_EQ(s.version, "V 2.0");
  ReadBaud(dir, "3", s);
  EXPECT_EQ(s.baudList, (std::vector<uint8_t>{3}));
  ReadBaud(dir, "3,2", s);
  EXPECT_EQ(s.baudList, (std::vector<uint8_t>{3, 2}));
  EXPECT_FALSE(s.fixedPort);
}

TEST(UpdateIni, OutOfModelValuesAreReportedNotMisread) {
  TempDir dir;
  UpdateSettings s;
  std::vector<std::string> notes;
  std::string many;
  for (int i = 0; i < 25; ++i) many += (i ? "," : "") + std::to_string(i % 6);
  dir.Write("Update.ini", "Language=7\nBaud=" + many + "\nCom=2\n");
  ASSERT_EQ(ReadUpdateIni(dir.File("Update.ini"), s, &notes), 0);
  EXPECT_EQ(s.baudList.size(), UpdateSettings::kMaxBaudEntries);
  EXPECT_EQ(s.language, 0);
  EXPECT_TRUE(s.fixedPort);
  EXPECT_EQ(s.fixedPortIndex, 1);
  EXPECT_GE(notes.size(), 2u);

  notes.clear();
  dir.Write("Update.ini", "Language=0\nBaud=3,9,x,4\n");
  ReadUpdateIni(dir.File("Update.ini"), s, &notes);
  EXPECT_EQ(s.baudList, (std::vector<uint8_t>{3, 4}));
  EXPECT_EQ(notes.size(), 2u);
  EXPECT_EQ(ReadUpdateIni(dir.File("missing.ini"), s), -1);
}

TEST(UpdateIni, LanguageSwitchChangesOnlyTheLanguageValue) {
  struct Case {
    const char* name;
    std::string before;
    std::string after;
  };
  const Case cases[] = {
      {"comments and other keys stay",
       "; "
       "comment\r\n[Update]\r\ncom=3\r\nBaud=3,2\r\nLanguage=0x\r\nVersion=old\r\nRunLog=\r\nX="
       "y\r\n",
       "; "
       "comment\r\n[Update]\r\ncom=3\r\nBaud=3,2\r\nLanguage=1\r\nVersion=old\r\nRunLog=\r\nX="
       "y\r\n"},
      {"LF ends, no end on the last line", "Version=V 1\nlanguage = 0\nLanguage=0\nCom=2",
       "Version=V 1\nlanguage = 0\nLanguage=1\nCom=2"},
      {"byte-order mark and mixed ends", "\xEF\xBB\xBFLANGUAGE= 0 \rBaud=2\r\r\nCom=\n",
       "\xEF\xBB\xBFLANGUAGE=1\rBaud=2\r\r\nCom=\n"},
      {"no Language line: one in front, ended as the file", "Version=V\xE4 1\nCom=1\n",
       "Language=1\nVersion=V\xE4 1\nCom=1\n"},
      {"empty file", "", "Language=1\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    dir.Write("Update.ini", c.before);
    UpdateSettings s;
    s.language = 1;
    s.version = "ignored";
    ASSERT_EQ(WriteUpdateIni(dir.File("Update.ini"), s), SettingsWrite::Written);
    EXPECT_EQ(dir.Read("Update.ini"), c.after);
  }
  TempDir dir;
  UpdateSettings s;
  EXPECT_EQ(WriteUpdateIni(dir.File("none.ini"), s), SettingsWrite::NotLoaded);
  EXPECT_FALSE(std::filesystem::exists(dir.File("none.ini")));
}

TEST(UpdateIni, FailedLanguageWriteLeavesTheFileWholeAndNoTemporary) {
  TempDir dir;
  const std::string before =
      "; site settings\r\nLanguage=0\r\nVersion=V 1\r\n" + std::string(200, ';') + "\r\n";
  dir.Write("Update.ini", before);
  UpdateSettings s;
  s.language = 1;
  SettingsWrite result;
  {
    const FileSizeLimit fullDisk(16);  // smaller than the new file
    result = WriteUpdateIni(dir.File("Update.ini"), s);
  }

  EXPECT_EQ(result, SettingsWrite::NotWritten);
  EXPECT_EQ(dir.Read("Update.ini"), before);
  int files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path()))
    ++files;
  EXPECT_EQ(files, 1) << "the temporary file is removed";
}

TEST(ProgDeviceIni, ElevenLineBlocksAreDevicesTenLineBlocksAreNot) {
  TempDir dir;
  std::string ten = DeviceBlock("1", "111");  // ten lines
  std::string eleven = DeviceBlock("1", "222", 1);
  dir.Write("ProgDevice.ini", ten + "\n" + eleven + "\n");
  DeviceTable t;
  ASSERT_EQ(ReadProgDeviceIni(dir.File("ProgDevice.ini"), t), 0);
  ASSERT_EQ(t.entries.size(), 1u);
  EXPECT_EQ(t.entries[0].DeviceNr, "222");
  EXPECT_TRUE(t.entries[0].BootLoadKenn.empty()) << "a key missing from the block is empty";
}

TEST(ProgDeviceIni, LastDevStartCmdWinsAndValuesAreConverted) {
  TempDir dir;
  std::string a = DeviceBlock("1", "111", 1, "ProzTyp=1A\nSWKenn1=Version\\r\\nrest\n");
  std::string b = DeviceBlock("3", "222", 1, "ProzTyp=\n");
  std::string texts =
      "StarttextD=Hallo NAME\nStarttextE=Hello NAME\nAbbruchtextD=Abbruch\nAbbruchtextE=Abort\n";
  dir.Write("ProgDevice.ini", a + "\r\n" + texts + "\n" + b);
  DeviceTable t;
  ASSERT_EQ(ReadProgDeviceIni(dir.File("ProgDevice.ini"), t), 0);
  ASSERT_EQ(t.entries.size(), 2u);
  EXPECT_EQ(t.StartCommandIndex, 2);
  EXPECT_EQ(t.entries[0].ProzTyp, 26);
  EXPECT_EQ(t.entries[1].ProzTyp, 0);
  EXPECT_EQ(t.entries[0].SWKenn1, "Version\r\n");
  EXPECT_EQ(t.texts.StarttextE, "Hello NAME");
  EXPECT_EQ(t.texts.AbbruchtextD, "Abbruch");
  EXPECT_EQ(t.loaderKind, kLoaderSRecord);
}

TEST(ProgDeviceIni, CapacitiesAreRespectedAndReported) {
  TempDir dir;
  std::string all;
  for (int i = 0; i < 22; ++i)
    all += DeviceBlock("2", std::to_string(100 + i), 1,
                       i == 0 ? "DeviceName=" + std::string(80, 'n') + "\n" : "") +
           "\n";
  all += DeviceBlock("9", "999", 1);
  dir.Write("ProgDevice.ini", all);
  DeviceTable t;
  std::vector<std::string> notes;
  ASSERT_EQ(ReadProgDeviceIni(dir.File("ProgDevice.ini"), t, &notes), 0);
  EXPECT_EQ(t.entries.size(), DeviceTable::kCapacity);
  EXPECT_EQ(t.StartCommandIndex, 1) << "the ignored blocks do not set the selector";
  EXPECT_EQ(t.entries[0].DeviceName.size(), 31u) << "the first DeviceName line of the block counts";
  EXPECT_EQ(notes.size(), 4u) << "three blocks beyond the table and one cut name";
}

TEST(ProgDeviceIni, LoaderKindFollowsTheMainFileExtension) {
  EXPECT_EQ(LoaderKindOf("a.mot"), kLoaderSRecord);
  EXPECT_EQ(LoaderKindOf("a.txt"), kLoaderTiTxt);
  EXPECT_EQ(LoaderKindOf("a.exe,b.dll"), kLoaderWinCe);
  EXPECT_EQ(LoaderKindOf("a.txt,b.hex"), kLoaderIntelHex);
}

TEST(UpdateIni, NumbersCountOnlyWhenTheWholeValueIsANumber) {
  TempDir dir;
  UpdateSettings s;
  std::vector<std::string> notes;
  dir.Write("Update.ini", "Language=1junk\r\nCom=2x\r\nBaud=3x,4, 2 \r\n");
  ASSERT_EQ(ReadUpdateIni(dir.File("Update.ini"), s, &notes), 0);
  EXPECT_EQ(s.language, 0) << "1junk is not English";
  EXPECT_FALSE(s.fixedPort) << "2x is not COM2";
  EXPECT_EQ(s.baudList, (std::vector<uint8_t>{4, 2}));
  ASSERT_EQ(notes.size(), 3u);
  EXPECT_NE(notes[0].find("Language '1junk'"), std::string::npos);
  EXPECT_NE(notes[1].find("Baud entry '3x'"), std::string::npos);
  EXPECT_NE(notes[2].find("Com '2x'"), std::string::npos);

  notes.clear();
  dir.Write("Update.ini", "Language= 1 \r\nCom=256\r\n");
  ReadUpdateIni(dir.File("Update.ini"), s, &notes);
  EXPECT_EQ(s.language, 1);
  EXPECT_EQ(s.fixedPortIndex, 255);
  EXPECT_TRUE(notes.empty());
}

TEST(UpdateIni, EveryCutIsReported) {
  TempDir dir;
  UpdateSettings s;
  std::vector<std::string> notes;
  dir.Write("Update.ini", "Language=0\r\nVersion=" + std::string(300, 'v') + "\r\n");
  ASSERT_EQ(ReadUpdateIni(dir.File("Update.ini"), s, &notes), 0);
  EXPECT_EQ(s.version.size(), 255u);
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0], "Update.ini: Version longer than 255 characters, cut");
}

TEST(SettingsText, ByteOrderMarkLineEndsAndUtf8AreUnderstood) {
  TempDir dir;
  UpdateSettings s;
  std::vector<std::string> notes;
  // A byte-order mark once hid the first key.
  dir.Write("Update.ini", "\xEF\xBB\xBFLanguage=1\r\nCom=3\r\n");
  ASSERT_EQ(ReadUpdateIni(dir.File("Update.ini"), s, &notes), 0);
  EXPECT_EQ(s.language, 1);
  EXPECT_TRUE(notes.empty());

  // Lone CR and CR CR LF end lines; CR CR LF does not make an empty line.
  EXPECT_EQ(SplitLines("a=1\rb=2\r\r\nc=3\r\n\r\nd=4\n"),
            (LineList{"a=1", "b=2", "c=3", "", "d=4"}));
  dir.Write("Update.ini", "Language=1\rVersion=V 3\rCom=4\r");
  ReadUpdateIni(dir.File("Update.ini"), s);
  EXPECT_EQ(s.language, 1);
  EXPECT_EQ(s.version, "V 3");
  EXPECT_EQ(s.fixedPortIndex, 3);

  // UTF-8 from a modern editor becomes Windows-1252, with a note.
  dir.Write("Update.ini", "Language=0\r\nVersion=Ger\xC3\xA4t \xE2\x82\xAC \xE2\x9C\x93\r\n");
  ReadUpdateIni(dir.File("Update.ini"), s, &notes);
  EXPECT_EQ(s.version, "Ger\xE4t \x80 ?");
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_NE(notes[0].find("read as UTF-8"), std::string::npos);
  EXPECT_NE(notes[0].find("1 character(s) outside Windows-1252"), std::string::npos);

  // Windows-1252 stays byte for byte.
  notes.clear();
  dir.Write("Update.ini", "Language=0\r\nVersion=Ger\xE4t \x80\r\n");
  ReadUpdateIni(dir.File("Update.ini"), s, &notes);
  EXPECT_EQ(s.version, "Ger\xE4t \x80");
  EXPECT_TRUE(notes.empty());
}

TEST(ProgDeviceIni, ACutNeverChangesWhatAValueMeans) {
  TempDir dir;
  // A main file longer than the field once lost its ".txt" and became an
  // S-record device.
  const std::string longName = std::string(520, 'f') + ".txt";
  std::string texts = "StarttextD=" + std::string(600, 's') +
                      "\nStarttextE=Hello\nAbbruchtextD=Abbruch\nAbbruchtextE=Abort\n";
  dir.Write("ProgDevice.ini",
            DeviceBlock("1", "111", 1, "ProgFile2=" + longName + "\n") + "\n" +
                DeviceBlock("2", "222", 1, "SWKenn2=" + std::string(70, 'k') + "\n") + "\n" +
                DeviceBlock("3", "333", 1, "ProzTyp=1Ax\n") + "\n" + DeviceBlock("4x", "444", 1) +
                "\n" + texts);
  DeviceTable t;
  std::vector<std::string> notes;
  ASSERT_EQ(ReadProgDeviceIni(dir.File("ProgDevice.ini"), t, &notes), 0);
  // The refused devices keep their places: the model menu's tag 3 still
  // reaches the fourth block, and nothing reaches the refused ones.
  ASSERT_EQ(t.entries.size(), 4u);
  for (std::size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_FALSE(t.entries[i].usable);
    EXPECT_TRUE(t.entries[i].DeviceNr.empty());
    EXPECT_TRUE(t.entries[i].DeviceNrDef.empty());
    EXPECT_TRUE(t.entries[i].ProgFile2.empty());
  }
  EXPECT_EQ(t.entries[1].DeviceName, "Meter 222") << "named in the wrong-device list";
  EXPECT_TRUE(t.entries[3].usable);
  EXPECT_EQ(t.entries[3].DeviceNr, "444");
  EXPECT_EQ(t.loaderKind, kLoaderSRecord);
  EXPECT_EQ(t.StartCommandIndex, 0) << "neither refused blocks nor 4x set the selector";
  EXPECT_EQ(t.texts.StarttextD.size(), 511u);
  ASSERT_EQ(notes.size(), 5u);
  EXPECT_NE(notes[0].find(
                "device block 1: ProgFile2 longer than 511 characters; the device cannot be used"),
            std::string::npos)
      << notes[0];
  EXPECT_NE(notes[1].find("device block 2: SWKenn2"), std::string::npos);
  EXPECT_NE(notes[2].find("ProzTyp '1Ax'"), std::string::npos);
  EXPECT_NE(notes[3].find("DevStartCmd '4x'"), std::string::npos);
  EXPECT_NE(notes[4].find("StarttextD longer than 511 characters, cut"), std::string::npos);
}

TEST(ProgDeviceIni, FlashEraseIsADecimalOrHexNumberOrTheDeviceCannotBeUsed) {
  struct Case {
    const char* value;
    bool usable;
    int32_t number;
  };
  const Case cases[] = {
      {"", true, 0},
      {"0", true, 0},
      {"64512", true, 64512},
      {" -1 ", true, -1},
      {"0x1FC00", true, 0x1FC00},
      {"0XfC00", true, 0xFC00},
      {"0x1FC00h", false, 0},
      {"1FC00", false, 0},
      {"12a", false, 0},
      {"0x", false, 0},
      {"- 5", false, 0},
      {"99999999999", false, 0},
      {"0x80000000", false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    TempDir dir;
    dir.Write("ProgDevice.ini",
              DeviceBlock("1", "111", 1, std::string("FlashErase3=") + c.value + "\n") + "\n" +
                  DeviceBlock("2", "222", 1));
    DeviceTable t;
    std::vector<std::string> notes;
    ASSERT_EQ(ReadProgDeviceIni(dir.File("ProgDevice.ini"), t, &notes), 0);
    ASSERT_EQ(t.entries.size(), 2u);
    EXPECT_EQ(t.entries[0].usable, c.usable);
    EXPECT_EQ(t.entries[0].FlashEraseNumber[2], c.number);
    EXPECT_EQ(notes.size(), c.usable ? 0u : 1u);
    if (!c.usable) {
      EXPECT_NE(notes[0].find("FlashErase3 '"), std::string::npos) << notes[0];
    }
    EXPECT_EQ(t.entries[1].DeviceNr, "222");
  }
}
