// Translating a form with the component: which components take part, in
// which order their entries are written, and the recording of originals.
#include <gtest/gtest.h>

#include "language/TSprachDialog.h"
#include "tests/language/TestForms.h"
#include "tests/support/TempDir.h"

namespace {

std::string Text(const QString& s) { return s.toStdString(); }

}  // namespace

TEST(FormWalk, FirstTranslationListsTheFormsTextsAndChangesNothing) {
  TempDir dir;
  dir.Enter();
  TestForm t;
  TSprachDialog s;
  s.SetDialogfile("test.lng");
  EXPECT_TRUE(s.TranslateDialog(&t.form, false));
  EXPECT_EQ(dir.Read("test.lng"), kTestFormEntries);
  EXPECT_EQ(Text(t.form.windowTitle()), "Test window");
  EXPECT_EQ(Text(t.button->text()), "&OK");
  // The engine keeps its own texts beside the language file.
  EXPECT_NE(dir.Read("own.lng").find("[MySprachDialog]Translation:=\r\n"), std::string::npos);
  EXPECT_NE(dir.Read("own.lng").find("[Hint][Typ]the typ of the translated text:=\r\n"),
            std::string::npos);

  // Translating again finds every entry: the file does not grow.
  s.TranslateDialog(&t.form, false);
  EXPECT_EQ(dir.Read("test.lng"), kTestFormEntries);
}

TEST(FormWalk, TranslatesByExactClassAndSectionAndBackAgain) {
  TempDir dir;
  dir.Enter();
  dir.Write(
      "Test.Eng",
      "[TestForm]Test window:=Window\r\n[Label1]Name:=Nom\r\n[Button1]&OK:=&Oui\r\n"
      "[Derived1]Derived:=Changed\r\n[RadioGroup1]Choice:=Choix\r\n[Tagged1]Fixed:=Changed\r\n"
      "[NB0]One:=Un\r\n[NB1]Two:=Deux\r\n[Sheet1]Sheet:=Feuille\r\n[Quiet1]OK:=Oui\r\n"
      "[Hint][Label1]The name:=Le nom\r\n[Hint][Button1]Press it:=Appuyez\r\n"
      "[Hint][Tagged1]Tagged hint:=Indice\r\n[Hint][Quiet1]hidden:=cach\xE9\r\n");
  dir.Write("Test.Deu", kTestFormEntries);
  TestForm t;
  TSprachDialog s;
  s.SetDialogfile("Test.Eng");
  s.TranslateDialog(&t.form, false);
  s.TranslateDialog(&t.form, false);  // found by section, whatever the text is now
  EXPECT_EQ(Text(t.form.windowTitle()), "Window");
  EXPECT_EQ(Text(t.label->text()), "Nom");
  EXPECT_EQ(Text(t.label->toolTip()), "Le nom");
  EXPECT_EQ(Text(t.button->text()), "&Oui");
  EXPECT_EQ(Text(t.button->toolTip()), "Appuyez");
  EXPECT_EQ(Text(t.derived->text()), "Derived");
  EXPECT_EQ(Text(t.radioGroup->title()), "Choix");
  EXPECT_EQ(Text(t.item->text()), "Item A");
  EXPECT_EQ(Text(t.tagged->text()), "Fixed");
  EXPECT_EQ(Text(t.tagged->toolTip()), "Indice");
  EXPECT_EQ(Text(t.notebook->tabText(1)), "Deux");
  EXPECT_EQ(Text(t.pages->tabText(0)), "Feuille");
  EXPECT_EQ(Text(t.quiet->toolTip()), "hidden");
  EXPECT_EQ(Text(t.quiet->text()), "Oui");

  // The originals come back from a file whose entries are untranslated.
  s.SetDialogfile("Test.Deu");
  s.TranslateDialog(&t.form, false);
  EXPECT_EQ(Text(t.form.windowTitle()), "Test window");
  EXPECT_EQ(Text(t.button->text()), "&OK");
  EXPECT_EQ(Text(t.notebook->tabText(1)), "Two");
  EXPECT_EQ(Text(t.label->toolTip()), "The name");
  EXPECT_EQ(dir.Read("Test.Deu"), kTestFormEntries);
}

TEST(FormWalk, RecordingOriginalsRewritesChangedKeysInPlace) {
  TempDir dir;
  dir.Enter();
  dir.Write("test.lng", "[Label1]Old name:=Nom\r\n[Fix]Keep:=me\r\n");
  TestForm t;
  TSprachDialog s;
  s.SetDialogfile("test.lng");
  EXPECT_TRUE(s.FixOriginalText(&t.form));
  const std::string file = dir.Read("test.lng");
  EXPECT_EQ(file.rfind("[Label1]Name:=Nom\r\n[Fix]Keep:=me\r\n[TestForm]Test window:=\r\n", 0), 0u)
      << file;
  EXPECT_NE(file.find("[Hint][Tagged1]Tagged hint:=\r\n"), std::string::npos);
  // Nothing changed since: the file stays as it is.
  s.FixOriginalText(&t.form);
  EXPECT_EQ(dir.Read("test.lng"), file);
}

TEST(FormWalk, SingleLookupsOfTheComponent) {
  TempDir dir;
  dir.Enter();
  dir.Write("Update.Eng", "[Label1]Name:=" + std::string(900, 'n') + "\r\n[Fix]Yes:=Ja\r\n");
  TestForm t;
  TSprachDialog s;
  s.SetDialogfile("Update.Eng");
  // The component keeps at most 499 characters of a result.
  EXPECT_EQ(std::string(s.GetCompText("Label1", "Name", ".")), std::string(499, 'n'));
  EXPECT_STREQ(s.GetHint(t.button, "Press it", "."), "Press it");
  EXPECT_STREQ(s.GetFixText("Yes"), "Ja");
  const char* text = "Yes";
  EXPECT_EQ(s.GetFixText(text, "."), text);
  EXPECT_NE(dir.Read("Update.Eng").find("[Hint][Button1]Press it:=\r\n"), std::string::npos);
}
