// Component-text and hint lookups of the engine, outside and inside a
// walk, and the recording of original texts.
#include <gtest/gtest.h>

#include <fstream>

#include "language/LookupEngine.h"
#include "tests/support/TempDir.h"

namespace {

struct EngineWorld {
  EngineWorld() {
    dir.Enter();
    engine.SetDialogFile("Update.Eng");
  }
  TempDir dir;
  LookupEngine engine;
};

}  // namespace

TEST(Lookup, SectionFindsTheEntryWhateverTheKeyAndMissingOnesAreAppended) {
  EngineWorld w;
  w.dir.Write("Update.Eng",
              "[UpdateGroupBox]Ger\xE4t:=Device\r\n[NameLabel]Name::=\r\n"
              "[Hint][OkBitBtn]Start:=Go\r\n");
  LookupEngine& e = w.engine;
  EXPECT_STREQ(e.FindCompText("UpdateGroupBox", "Ger\xE4t", false, "."), "Device");
  EXPECT_STREQ(e.FindCompText("UpdateGroupBox", "Device", false, "."), "Device");
  EXPECT_STREQ(e.FindCompText("UpdateGroupBox", "Device", true, "."), "Ger\xE4t");
  // Empty translation: the key, not the text asked for.
  EXPECT_STREQ(e.FindCompText("NameLabel", "Other", false, "."), "Name:");
  EXPECT_STREQ(e.FindHint("OkBitBtn", "Start", false, "."), "Go");
  EXPECT_STREQ(e.FindCompText("SWLabel", "Version:", false, "."), "Version:");
  EXPECT_STREQ(e.FindHint("SWLabel", "The version", false, "."), "The version");
  EXPECT_STREQ(e.FindCompText("Empty", "", false, "."), "");
  EXPECT_EQ(w.dir.Read("Update.Eng"),
            "[UpdateGroupBox]Ger\xE4t:=Device\r\n[NameLabel]Name::=\r\n"
            "[Hint][OkBitBtn]Start:=Go\r\n[SWLabel]Version::=\r\n[Hint][SWLabel]The version:=\r\n");
}

TEST(Lookup, NamesHintAndFixMatchEveryLineOfThoseSections) {
  EngineWorld w;
  w.dir.Write("Update.Eng", "; [Hint] comment\r\n[Hint][A]x:=ax\r\n[Fix]y:=fy\r\n");
  EXPECT_STREQ(w.engine.FindCompText("Hint", "z", false, "."), "ax");
  EXPECT_STREQ(w.engine.FindCompText("Fix", "z", false, "."), "fy");
  // Asking for originals of a text without entry gives nothing and writes nothing.
  EXPECT_STREQ(w.engine.FindCompText("B", "b", true, "."), "");
  EXPECT_EQ(w.dir.Read("Update.Eng"), "; [Hint] comment\r\n[Hint][A]x:=ax\r\n[Fix]y:=fy\r\n");
}

TEST(Lookup, OverlongNamesAreRefusedWithoutTouchingAFile) {
  EngineWorld w;
  EXPECT_FALSE(w.engine.SetDialogFile(std::string(200, 'f')));
  const char* text = "Caption";
  EXPECT_EQ(w.engine.FindCompText("A", text, false, "."), text);
  EXPECT_TRUE(w.engine.SetDialogFile("Update.Eng"));
  EXPECT_EQ(w.engine.FindCompText(std::string(200, 'n'), text, false, "."), text);
  EXPECT_FALSE(std::ifstream("Update.Eng").good());
}

TEST(Walk, AnsweredLinesLeaveTheListAndAppendedOnesAreNotSeen) {
  EngineWorld w;
  w.dir.Write("Update.Eng", "[A]a:=1\r\n[A]a:=2\r\n");
  LookupEngine& e = w.engine;
  e.BeginWalk("Update.Eng");
  ASSERT_TRUE(e.ListMode());
  EXPECT_STREQ(e.FindCompText("A", "a", false, "Update.Eng"), "1");
  EXPECT_STREQ(e.FindCompText("A", "a", false, "Update.Eng"), "2");
  EXPECT_STREQ(e.FindCompText("B", "b", false, "Update.Eng"), "b");
  EXPECT_STREQ(e.FindCompText("B", "b", false, "Update.Eng"), "b");
  e.EndWalk();
  EXPECT_FALSE(e.ListMode());
  EXPECT_TRUE(e.Lines().empty());
  // The file got the entry twice: the list did not see the first append.
  EXPECT_EQ(w.dir.Read("Update.Eng"), "[A]a:=1\r\n[A]a:=2\r\n[B]b:=\r\n[B]b:=\r\n");
}

TEST(Walk, RecordingRewritesOutdatedKeysInPlaceAndAppendsMissingEntries) {
  EngineWorld w;
  w.dir.Write("Update.Eng", "; kept\r\n[A]old:=Trans\r\n[B]b:=Bee\r\n");
  LookupEngine& e = w.engine;
  e.BeginFix();
  e.BeginWalk("Update.Eng");
  EXPECT_STREQ(e.FindCompText("A", "new", true, "Update.Eng"), "new");
  EXPECT_STREQ(e.FindCompText("B", "b", true, "Update.Eng"), "b");
  EXPECT_STREQ(e.FindCompText("C", "c", true, "Update.Eng"), "c");
  e.EndWalk();
  EXPECT_TRUE(e.Changed());
  e.EndFix("Update.Eng");
  EXPECT_EQ(w.dir.Read("Update.Eng"), "; kept\r\n[A]new:=Trans\r\n[B]b:=Bee\r\n[C]c:=\r\n");

  // Nothing out of date: the file is not written again.
  w.dir.Write("Update.Eng", "[B]b:=Bee");
  e.BeginFix();
  e.BeginWalk("Update.Eng");
  e.FindCompText("B", "b", true, "Update.Eng");
  e.EndWalk();
  EXPECT_FALSE(e.Changed());
  e.EndFix("Update.Eng");
  EXPECT_EQ(w.dir.Read("Update.Eng"), "[B]b:=Bee");
}

TEST(Walk, RecordingIntoAMissingFileWritesExactlyTheRecordedEntries) {
  EngineWorld w;
  LookupEngine& e = w.engine;
  e.BeginFix();
  e.BeginWalk("own.lng");
  EXPECT_FALSE(e.ListMode());
  e.FindCompText("Form", "Translation", true, "own.lng");
  e.FindHint("Typ", "the typ", true, "own.lng");
  e.EndWalk();
  e.EndFix("own.lng");
  EXPECT_EQ(w.dir.Read("own.lng"), "[Form]Translation:=\r\n[Hint][Typ]the typ:=\r\n");
}
