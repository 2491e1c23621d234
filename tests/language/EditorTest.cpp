// The translation editor driven like a translator: typing, Enter, the
// format check, Delete, Save with backup, closing, sorting, search and
// the take-over from reference files.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "language/ReferenceFiles.h"
#include "language/TMySprachDialog.h"
#include "language/TSprachDialog.h"
#include "tests/language/TestForms.h"
#include "tests/support/TempDir.h"
#include "ui_MySprachDialog.h"

namespace {

constexpr const char* kFile =
    "[TestForm]Test window:=\r\n[Button1]&OK:=\r\n[Fix]%d files:=\r\n"
    "[Fix]Saving:=\r\n[Fix]OK:=\r\n";

struct EditorWorld {
  EditorWorld() {
    dir.Enter();
    dir.Write("test.lng", kFile);
    editor.SetControl(&t.form);
    editor.SetDialogFile("test.lng");
    editor.show();
  }

  const Ui::MySprachDialog& ui() { return editor.Form(); }
  int Row(const std::string& original, int from = 0) {
    const auto& entries = editor.TargetEntries();
    for (int k = from; k < static_cast<int>(entries.size()); ++k)
      if (entries[static_cast<std::size_t>(k)]->Original == original) return k;
    return -1;
  }
  const TextEntry& At(int row) { return *editor.TargetEntries()[static_cast<std::size_t>(row)]; }
  // As the user does it: click the item, then type into the edit field.
  void Type(int row, const QString& text, bool enter = true) {
    ui().ListBoxTexte->setCurrentRow(row);
    ui().Edit1->setText(text);
    QTest::keyClick(ui().Edit1, enter ? Qt::Key_Return : Qt::Key_End);
  }

  TempDir dir;
  AnswerSink sink;
  TestForm t;
  TMySprachDialog editor;
};

}  // namespace

TEST(Editor, ListsTheFormsTextsAndTheFixedTextsOfTheFile) {
  EditorWorld w;
  std::vector<std::string> originals;
  for (const auto& e : w.editor.TargetEntries()) originals.push_back(e->Original);
  // Sorted by component type: captions grouped by class (forms last),
  // hints, fixed texts. The caption of Tag -1 is left out, its hint is not.
  EXPECT_EQ(originals, (std::vector<std::string>{"One", "Two", "Name", "OK", "&OK", "Choice",
                                                 "Sheet", "Test window", "Tagged hint", "The name",
                                                 "Press it", "%d files", "OK", "Saving"}))
      << ::testing::PrintToString(originals);
  EXPECT_EQ(w.Row("Fixed"), -1);
  EXPECT_EQ(w.At(w.Row("The name")).Kind, kKindHint);
  EXPECT_EQ(w.At(w.Row("Saving")).Kind, kKindFixed);
  EXPECT_EQ(w.At(w.Row("Two")).PageIndex, 1);
  EXPECT_EQ(w.ui().Label4->text().toStdString(), "test.lng");
  // The editor's own list holds its captions and hints from own.lng.
  EXPECT_FALSE(w.editor.OwnEntries().empty());
  EXPECT_EQ(w.editor.OwnEntries().front()->Original, "Search") << "sorted by component type";
}

TEST(Editor, EnterShowsTheTranslationOnTheFormAndSaveKeepsABackup) {
  EditorWorld w;
  w.Type(w.Row("Test window"), "Testfenster");
  EXPECT_EQ(w.t.form.windowTitle().toStdString(), "Testfenster");
  w.Type(w.Row("Name"), "Nom");
  EXPECT_EQ(w.t.label->text().toStdString(), "Nom");
  w.Type(w.Row("The name"), "Le nom");
  EXPECT_EQ(w.t.label->toolTip().toStdString(), "Le nom");
  EXPECT_FALSE(w.At(w.Row("Name")).Saved);
  // After Enter the next item is selected and shown.
  EXPECT_EQ(w.ui().ListBoxTexte->currentRow(), w.Row("The name") + 1);

  QTest::mouseClick(w.ui().BitBtnSave, Qt::LeftButton);
  EXPECT_EQ(w.editor.Tag(), 1);
  // Opening appended the texts the file lacked; the backup has them too.
  EXPECT_EQ(w.dir.Read("test.old").rfind(kFile, 0), 0u);
  const std::string saved = w.dir.Read("test.lng");
  EXPECT_NE(saved.find("[TestForm]Test window:=Testfenster\r\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("[Label1]Name:=Nom\r\n"), std::string::npos);
  EXPECT_NE(saved.find("[Hint][Label1]The name:=Le nom\r\n"), std::string::npos);
  EXPECT_NE(saved.find("[Fix]%d files:=%d files\r\n"), std::string::npos);
  EXPECT_NE(w.dir.Read("own.lng").find("[BitBtnSave]&Save:="), std::string::npos);

  // Saved: closing asks nothing and keeps the texts.
  w.editor.close();
  EXPECT_TRUE(w.sink.boxes.empty()) << w.sink.boxes.front();
  EXPECT_EQ(w.t.form.windowTitle().toStdString(), "Testfenster");
}

TEST(Editor, FormatCheckRefusesTranslationsWithOtherConversions) {
  EditorWorld w;
  const int row = w.Row("%d files");
  w.Type(row, "%s Dateien", false);
  ASSERT_EQ(w.sink.boxes.size(), 1u);
  EXPECT_EQ(w.sink.boxes[0], "Formaterror|Please do check the format !");
  // The edit field goes back to the stored translation.
  EXPECT_EQ(w.ui().Edit1->text().toStdString(), "%d files");
  w.Type(row, "%s Dateien");
  EXPECT_EQ(w.sink.boxes.size(), 2u);
  EXPECT_EQ(w.At(row).Translation, "%d files");
  w.Type(row, "%d Dateien");
  EXPECT_EQ(w.sink.boxes.size(), 2u);
  EXPECT_EQ(w.At(row).Translation, "%d Dateien");
  // An empty field stands for the original text.
  w.Type(w.Row("Name"), "Nom");
  w.Type(w.Row("Name"), "");
  EXPECT_EQ(w.At(w.Row("Name")).Translation, "Name");
  EXPECT_EQ(w.t.label->text().toStdString(), "Name");
}

TEST(Editor, ATranslationGoesToEveryEntryWithTheSameTextUnlessSingleText) {
  EditorWorld w;
  const int quiet = w.Row("OK");
  const int fixed = w.Row("OK", quiet + 1);
  ASSERT_GE(fixed, 0);
  w.Type(quiet, "Oui");
  EXPECT_EQ(w.t.quiet->text().toStdString(), "Oui");
  EXPECT_EQ(w.At(fixed).Translation, "Oui");
  EXPECT_EQ(w.t.button->text().toStdString(), "&OK");

  w.ui().CheckBoxSingleText->setChecked(true);
  w.Type(fixed, "Bien");
  EXPECT_EQ(w.At(fixed).Translation, "Bien");
  EXPECT_EQ(w.At(quiet).Translation, "Oui");
}

TEST(Editor, DeletingEverythingDisablesEditingAndSaveWritesAnEmptyFile) {
  EditorWorld w;
  w.sink.answers["Delete text"] = true;
  const std::size_t count = w.editor.TargetEntries().size();
  for (std::size_t k = 0; k < count; ++k) QTest::mouseClick(w.ui().ButtonDel, Qt::LeftButton);
  EXPECT_TRUE(w.editor.TargetEntries().empty());
  EXPECT_FALSE(w.ui().Edit1->isEnabled());
  EXPECT_FALSE(w.ui().ButtonDel->isEnabled());
  QTest::mouseClick(w.ui().BitBtnSave, Qt::LeftButton);
  EXPECT_EQ(w.dir.Read("test.lng"), "");
  EXPECT_EQ(w.dir.Read("test.old").rfind(kFile, 0), 0u);
}

TEST(Editor, ClosingAfterChangesAsksAndNoPutsTheLoadedTextsBack) {
  EditorWorld w;
  w.sink.answers["Delete text"] = true;
  w.Type(w.Row("Test window"), "Testfenster");
  w.Type(w.Row("Choice"), "Choix");
  w.ui().ListBoxTexte->setCurrentRow(w.Row("Saving"));
  QTest::mouseClick(w.ui().ButtonDel, Qt::LeftButton);
  ASSERT_EQ(w.t.radioGroup->title().toStdString(), "Choix");
  const std::string file = w.dir.Read("test.lng");
  const std::string own = w.dir.Read("own.lng");

  w.editor.close();
  ASSERT_EQ(w.sink.boxes.size(), 2u);
  EXPECT_EQ(w.sink.boxes[1], "Saving|Do you want to save the changes?");
  EXPECT_EQ(w.t.form.windowTitle().toStdString(), "Test window");
  EXPECT_EQ(w.t.radioGroup->title().toStdString(), "Choice");
  EXPECT_EQ(w.dir.Read("test.lng"), file);
  EXPECT_EQ(w.dir.Read("own.lng"), own);
}

TEST(Editor, ClosingAfterOnlyADeletionStillAsks) {
  EditorWorld w;
  w.sink.answers["Delete text"] = true;
  w.sink.answers["Saving"] = true;
  QTest::mouseClick(w.ui().ButtonDel, Qt::LeftButton);
  w.editor.close();
  ASSERT_EQ(w.sink.boxes.size(), 2u);
  EXPECT_EQ(w.sink.boxes[1], "Saving|Do you want to save the changes?");
  EXPECT_EQ(w.editor.Tag(), 1);
  EXPECT_EQ(w.dir.Read("test.old").rfind(kFile, 0), 0u);
}

TEST(Editor, SortButtonsAndSearchMoveTheSelection) {
  EditorWorld w;
  w.ui().ListBoxTexte->setCurrentRow(w.Row("Name"));
  QTest::mouseClick(w.ui().ButtonSortText, Qt::LeftButton);
  std::vector<std::string> originals;
  for (const auto& e : w.editor.TargetEntries()) originals.push_back(e->Original);
  // Kinds keep their order; "&" and case do not count by default.
  EXPECT_EQ(originals, (std::vector<std::string>{"Choice", "Name", "&OK", "OK", "One", "Sheet",
                                                 "Test window", "Two", "Press it", "Tagged hint",
                                                 "The name", "%d files", "OK", "Saving"}))
      << ::testing::PrintToString(originals);
  EXPECT_EQ(w.ui().ListBoxTexte->currentRow(), w.Row("Name")) << "the selection follows its text";

  QTest::mouseClick(w.ui().ButtonIsTranslated, Qt::LeftButton);
  EXPECT_EQ(w.At(0).Original, "Choice");

  // Enter in the search field: the next entries with that text, then the last.
  w.ui().ListBoxTexte->setCurrentRow(0);
  w.ui().EditSearch->setText("ok");
  QTest::keyClick(w.ui().EditSearch, Qt::Key_Return);
  const int first = w.ui().ListBoxTexte->currentRow();
  EXPECT_TRUE(w.At(first).Original == "OK" || w.At(first).Original == "&OK");
  QTest::keyClick(w.ui().EditSearch, Qt::Key_Return);
  const int second = w.ui().ListBoxTexte->currentRow();
  EXPECT_GT(second, first);
  EXPECT_TRUE(w.At(second).Original == "OK" || w.At(second).Original == "&OK");
  // The search only moves the selection; the edit field keeps its entry.
  EXPECT_EQ(w.ui().Edit1->text().toStdString(), "Choice");
  w.ui().EditSearch->setText("Tes");
  QTest::keyClick(w.ui().EditSearch, Qt::Key_Return);
  EXPECT_EQ(w.ui().ListBoxTexte->currentRow(),
            static_cast<int>(w.editor.TargetEntries().size()) - 1);
}

TEST(Editor, AutoAllTakesOverTheFirstTranslationOfTheReferenceFiles) {
  EditorWorld w;
  w.dir.Write("ref.deu",
              "[X]&Choice:=Auswahl\r\n[Y]CHOICE:=Wahl\r\n[Fix]Test Window:=Testfenster\r\n");
  w.dir.Write("other.deu", "[Z]Name:=Name\r\n[Z]Name:=Bezeichnung\r\n");
  ReferenceFileList() = {w.dir.File("ref.deu"), w.dir.File("other.deu")};
  QTest::mouseClick(w.ui().BitBtnAuto, Qt::LeftButton);
  EXPECT_EQ(w.At(w.Row("Choice")).Translation, "Auswahl");
  EXPECT_EQ(w.At(w.Row("Test window")).Translation, "Testfenster");
  EXPECT_EQ(w.At(w.Row("Name")).Translation, "Name");
  EXPECT_EQ(w.At(w.Row("Sheet")).Translation, "Sheet");
  EXPECT_EQ(w.t.radioGroup->title().toStdString(), "Auswahl");

  // By hand: both candidates are offered, one click takes one over.
  w.ui().ListBoxTexte->setCurrentRow(w.Row("Name"));
  QTest::mouseClick(w.ui().BitBtnAgain, Qt::LeftButton);
  QListWidget* results = w.ui().ListBoxResult;
  ASSERT_EQ(results->count(), 3);
  EXPECT_TRUE(results->isVisible());
  EXPECT_EQ(results->item(1)->text().toStdString(), "Bezeichnung");
  emit results->itemClicked(results->item(1));
  EXPECT_FALSE(results->isVisible());
  EXPECT_EQ(w.At(w.Row("Name")).Translation, "Bezeichnung");
  EXPECT_EQ(w.t.label->text().toStdString(), "Bezeichnung");

  // No matches anywhere: nothing changes.
  ReferenceFileList() = {w.dir.File("missing.deu")};
  std::vector<std::string> before;
  for (const auto& e : w.editor.TargetEntries()) before.push_back(e->Translation);
  QTest::mouseClick(w.ui().BitBtnAuto, Qt::LeftButton);
  std::vector<std::string> after;
  for (const auto& e : w.editor.TargetEntries()) after.push_back(e->Translation);
  EXPECT_EQ(before, after);
  ReferenceFileList().clear();
}

TEST(Editor, ShowOfTheComponentIsTrueAfterASave) {
  TempDir dir;
  dir.Enter();
  AnswerSink sink;
  TestForm t;
  TSprachDialog s;
  s.SetDialogfile("test.lng");
  QTimer::singleShot(0, [] {
    auto* editor = qobject_cast<TMySprachDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(editor, nullptr);
    QTest::mouseClick(editor->Form().BitBtnSave, Qt::LeftButton);
    QTest::mouseClick(editor->Form().BitBtnClose, Qt::LeftButton);
  });
  EXPECT_TRUE(s.Show(&t.form));
  EXPECT_NE(dir.Read("test.lng").find("[TestForm]Test window:=Test window\r\n"), std::string::npos);

  s.SetEnabled(false);
  EXPECT_FALSE(s.Show(&t.form));
}
