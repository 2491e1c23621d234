// The language file format: the line reader, whole-file loading, entry
// lines, fixed-text lookups and writing a file with its backup.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>

#include <cstdio>
#include <fstream>
#include <string>

#include "language/EntryLine.h"
#include "language/LanguageFile.h"
#include "language/LineReader.h"
#include "language/LookupEngine.h"
#include "language/ResultRing.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/TempDir.h"

namespace {

// Every line the reader returns for the content, until it returns false.
std::vector<std::string> ReadAll(const std::string& content, int size = kLineBufferSize) {
  TempDir dir;
  dir.Write("f", content);
  std::FILE* f = std::fopen(dir.File("f").c_str(), "rb");
  std::vector<std::string> lines;
  std::vector<char> buffer(static_cast<std::size_t>(size > 0 ? size : 5000));
  while (readString(f, buffer.data(), size)) lines.emplace_back(buffer.data());
  EXPECT_EQ(buffer[0], '\0') << "a call at the end gives an empty buffer";
  std::fclose(f);
  return lines;
}

using Lines = std::vector<std::string>;

}  // namespace

TEST(LineReader, LineFeedAloneReadsLikeCrLfAndEveryCrIsDropped) {
  EXPECT_EQ(ReadAll("[Fix]a:=b\r\n[Fix]c:=d\r\n"), (Lines{"[Fix]a:=b", "[Fix]c:=d"}));
  EXPECT_EQ(ReadAll("[Fix]a:=b\n[Fix]c:=d\n"), (Lines{"[Fix]a:=b", "[Fix]c:=d"}));
  EXPECT_EQ(ReadAll("x\ry\r\n\r\nlast"), (Lines{"xy", "", "last"}));
}

TEST(LineReader, LongLinesAreSplitAtTheBuffer) {
  const std::string l997(997, 'a'), l998(998, 'b'), l1500(1500, 'c');
  EXPECT_EQ(ReadAll(l997 + "\nz\n"), (Lines{l997, "z"}));
  EXPECT_EQ(ReadAll(l998 + "\nz\n"), (Lines{l998 + "\n", "z"}));
  EXPECT_EQ(ReadAll(l1500 + "\n"), (Lines{std::string(999, 'c'), std::string(501, 'c')}));
  // No limit: the line comes whole.
  EXPECT_EQ(ReadAll(l1500 + "\n", 0), (Lines{l1500}));
}

TEST(LineReader, NothingAfterCtrlZIsEverRead) {
  EXPECT_EQ(ReadAll("[Fix]a:=b\r\n[Fix]c\x1A:=d\r\n[Fix]e:=f\r\n"), (Lines{"[Fix]a:=b", "[Fix]c"}));
  EXPECT_EQ(ReadAll("\x1A[Fix]a:=b\n"), Lines{});
}

TEST(WholeFileLoading, EndsLinesAtCrLfLfOrCrStopsAtNulKeepsCtrlZ) {
  TempDir dir;
  dir.Write("f", std::string("a\r\nb\nc\rd\x1A\r\ne\0f\r\n", 17));
  EXPECT_EQ(LoadWholeFile(dir.File("f")), (Lines{"a", "b", "c", "d\x1A", "e"}));
  dir.Write("g", "x\r\n\r\ny");
  EXPECT_EQ(LoadWholeFile(dir.File("g")), (Lines{"x", "", "y"}));
  EXPECT_TRUE(LoadWholeFile(dir.File("missing")).empty());
}

TEST(EntryLines, KeyRunsToTheFirstSeparatorAndHintsSkipTwoBrackets) {
  auto fix = SplitEntryLine("[Fix]a:=b:=c", kFixPrefix, false);
  ASSERT_TRUE(fix);
  EXPECT_EQ(fix->key, "a");
  EXPECT_EQ(fix->translation, "b:=c");

  auto hint = SplitEntryLine("[Hint][OkBitBtn]Start:=Go", HintSection("OkBitBtn"), true);
  ASSERT_TRUE(hint);
  EXPECT_EQ(hint->key, "Start");
  EXPECT_EQ(hint->translation, "Go");

  // The closing bracket is part of the prefix: Label1 is not Label10.
  EXPECT_FALSE(SplitEntryLine("[Label10]x:=y", CompSection("Label1"), false));
  // No separator: no entry, and no failure.
  EXPECT_FALSE(SplitEntryLine("[Label1]x", CompSection("Label1"), false));
  // Blanks belong to the texts.
  auto blanks = SplitEntryLine("[Label1] a :=  b ", CompSection("Label1"), false);
  ASSERT_TRUE(blanks);
  EXPECT_EQ(blanks->key, " a ");
  EXPECT_EQ(blanks->translation, "  b ");
}

TEST(FixedTexts, FoundByExactWordingMissingOnesAppended) {
  TempDir dir;
  dir.Write("Update.Deu", "; comment\r\n\r\n[Label1]Saving:=Nein\r\n[Fix]Saving:=Speichern\r\n");
  ResultRing ring;
  const std::string file = dir.File("Update.Deu");
  EXPECT_STREQ(LookupFixText(ring, "Saving", file), "Speichern");
  EXPECT_STREQ(LookupFixText(ring, "saving", file), "saving");
  EXPECT_EQ(dir.Read("Update.Deu"),
            "; comment\r\n\r\n[Label1]Saving:=Nein\r\n[Fix]Saving:=Speichern\r\n[Fix]saving:=\r\n");
  // An empty translation answers with the key.
  EXPECT_STREQ(LookupFixText(ring, "saving", file), "saving");

  // A missing file is created by the first lookup.
  EXPECT_STREQ(LookupFixText(ring, "Hint", dir.File("new.lng")), "Hint");
  EXPECT_EQ(dir.Read("new.lng"), "[Fix]Hint:=\r\n");
  // An empty text touches no file.
  EXPECT_STREQ(LookupFixText(ring, "", dir.File("none.lng")), "");
  EXPECT_FALSE(std::ifstream(dir.File("none.lng")).good());
}

TEST(FixedTexts, AnUnopenableFileGivesTheCallersTextAndTheRingWrapsAfterFive) {
  TempDir dir;
  ResultRing ring;
  const char* text = "Delete text";
  EXPECT_EQ(LookupFixText(ring, text, "."), text);
  EXPECT_EQ(ring.Index(), 0);

  const std::string file = dir.File("f.lng");
  const char* first = LookupFixText(ring, "one", file);
  for (const char* t : {"two", "three", "four", "five"}) LookupFixText(ring, t, file);
  EXPECT_STREQ(first, "one");
  const char* sixth = LookupFixText(ring, "six", file);
  EXPECT_EQ(sixth, first);
  EXPECT_STREQ(first, "six");
}

TEST(FixedTexts, AppendingAfterALastLineWithoutLineEndKeepsThatLine) {
  TempDir dir;
  dir.Write("f.lng", "[Fix]Yes:=Ja");
  ResultRing ring;
  LookupFixText(ring, "No", dir.File("f.lng"));
  EXPECT_EQ(dir.Read("f.lng"), "[Fix]Yes:=Ja\r\n[Fix]No:=\r\n");
  EXPECT_STREQ(LookupFixText(ring, "Yes", dir.File("f.lng")), "Ja");
}

TEST(WritingFiles, SavingOneLanguageNeverReplacesTheBackupOfAnother) {
  TempDir dir;
  dir.Enter();
  dir.Write("Update.Deu", "[Fix]a:=deu\r\n");
  dir.Write("Update.Eng", "[Fix]a:=eng\r\n");
  ASSERT_TRUE(WriteLanguageFile("Update.Deu", {"[Fix]a:=neu"}));
  ASSERT_TRUE(WriteLanguageFile("Update.Eng", {}));
  EXPECT_EQ(dir.Read("Update.Deu"), "[Fix]a:=neu\r\n");
  EXPECT_EQ(dir.Read("Update.Eng"), "");
  EXPECT_EQ(dir.Read("Update.Deu.old"), "[Fix]a:=deu\r\n");
  EXPECT_EQ(dir.Read("Update.Eng.old"), "[Fix]a:=eng\r\n");
  EXPECT_EQ(dir.Read("Update.old"), "[Fix]a:=eng\r\n") << "the shared copy: the last save";

  // A first save of a new file makes no backup and keeps the others.
  ASSERT_TRUE(WriteLanguageFile("Update.Fra", {"[Fix]a:=fra"}));
  EXPECT_FALSE(std::filesystem::exists("Update.Fra.old"));
  EXPECT_EQ(dir.Read("Update.old"), "[Fix]a:=eng\r\n");

  ASSERT_TRUE(WriteOwnFile("own.lng", {"[Fix]x:=y"}));
  EXPECT_EQ(dir.Read("own.lng"), "[Fix]x:=y\r\n");

  // An entry line stays within what the line reader returns whole.
  const std::string line = BoundedEntry("[Fix]", "k", std::string(2000, 't'));
  EXPECT_EQ(line.size(), 997u);
  EXPECT_EQ(line.rfind("[Fix]k:=tt", 0), 0u);
}

TEST(WritingFiles, FailedSaveLeavesTheLanguageFileWhole) {
  TempDir dir;
  dir.Enter();
  const std::string before = "[Fix]a:=deu\r\n";
  dir.Write("Update.Deu", before);
  bool saved;
  {
    const FileSizeLimit fullDisk(64);  // smaller than the new file
    saved = WriteLanguageFile("Update.Deu", {std::string(100, 'x')});
  }

  EXPECT_FALSE(saved);
  EXPECT_EQ(dir.Read("Update.Deu"), before);
  EXPECT_EQ(dir.Read("Update.Deu.old"), before);
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos)
        << entry.path() << " left behind";
}
