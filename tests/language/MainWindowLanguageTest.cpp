// The main window in two languages: translated from the delivered files
// at start and after the language switch, and the files a start creates
// when none is there.
#include <gtest/gtest.h>

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <cstdlib>
#include <filesystem>

#include "app/UpdateForm.h"
#include "app/UpdateMain.h"
#include "platform/ProgramDir.h"
#include "tests/language/TestForms.h"
#include "tests/support/TempDir.h"

namespace {

std::string Delivered(const std::string& name) {
  TempDir any;
  std::filesystem::copy_file(std::string(UPDATE_SOURCE_DIR) + "/language/files/" + name,
                             any.File(name));
  return any.Read(name);
}

// A delivery without any device: the window starts, nothing is searched.
struct WindowWorld {
  explicit WindowWorld(int language, bool withLanguageFiles) {
    dir.Enter();
    dir.Write("Update.ini", "Language=" + std::to_string(language) +
                                "\r\nVersion=V 1.00\r\nBaud=2\r\nCom=\r\nExtra=line\r\n");
    dir.Write("ProgDevice.ini",
              "StarttextD=Hallo\r\nStarttextE=Hello\r\nAbbruchtextD=a\r\n"
              "AbbruchtextE=b\r\n");
    if (withLanguageFiles)
      for (const char* f : {"Update.Deu", "Update.Eng", "own.lng"}) dir.Write(f, Delivered(f));
    setenv("UPDATE_PORTS", "", 1);
    setenv("UPDATE_PROGRAM_DIR", dir.path().c_str(), 1);
  }
  ~WindowWorld() {
    unsetenv("UPDATE_PORTS");
    unsetenv("UPDATE_PROGRAM_DIR");
  }
  std::string Caption(const char* name) {
    QObject* o = form.findChild<QObject*>(name);
    if (auto* l = qobject_cast<QLabel*>(o)) return l->text().toStdString();
    if (auto* b = qobject_cast<QPushButton*>(o)) return b->text().toStdString();
    if (auto* g = qobject_cast<QGroupBox*>(o)) return g->title().toStdString();
    if (auto* m = qobject_cast<QMenu*>(o)) return m->title().toStdString();
    if (auto* a = qobject_cast<QAction*>(o)) return a->text().toStdString();
    return "?";
  }

  TempDir dir;
  TUpdateForm form;
};

}  // namespace

TEST(WindowLanguage, EnglishFromTheDeliveredFileThenGermanAfterTheSwitch) {
  WindowWorld w(1, true);
  ASSERT_TRUE(w.form.Construct());
  EXPECT_EQ(w.Caption("UpdateGroupBox"), "Device");
  EXPECT_EQ(w.Caption("SerLabel"), "Serial number:");
  EXPECT_EQ(w.Caption("PCBLabel"), "PCB number:");
  EXPECT_EQ(w.Caption("OkBitBtn"), "OK");
  EXPECT_EQ(w.Caption("WaitPanel"), "Please wait ...");
  EXPECT_EQ(w.Caption("Bearbeiten"), "&File");
  EXPECT_EQ(w.Caption("TG812qProgramming"), "&Program");
  EXPECT_EQ(w.Caption("UpdateEnd"), "&Exit");
  EXPECT_EQ(w.Caption("Sprache"), "&Language");
  EXPECT_EQ(w.Caption("Deutsch"), "&German");
  EXPECT_EQ(w.Caption("Help"), "&Help");
  EXPECT_EQ(w.Caption("Readme"), "&Read me ...");
  ASSERT_EQ(w.form.Main().Memo().size(), 1u);
  EXPECT_EQ(w.form.Main().Memo()[0], "Hello");

  w.form.Main().LanguageClick(0);
  EXPECT_EQ(w.Caption("UpdateGroupBox"), "Ger\xC3\xA4t");
  EXPECT_EQ(w.Caption("SerLabel"), "Seriennummer:");
  EXPECT_EQ(w.Caption("WaitPanel"), "Bitte warten ...");
  EXPECT_EQ(w.Caption("Bearbeiten"), "&Datei");
  EXPECT_EQ(w.Caption("UpdateEnd"), "&Beenden");
  EXPECT_EQ(w.Caption("Englisch"), "&Englisch");
  EXPECT_EQ(w.form.windowTitle().toStdString(), "Download :");
  // Only the language value changes; the other lines stay as they were.
  EXPECT_EQ(w.dir.Read("Update.ini"),
            "Language=0\r\nVersion=V 1.00\r\nBaud=2\r\nCom=\r\nExtra=line\r\n");
  ASSERT_EQ(w.form.Main().Memo().size(), 1u);
  EXPECT_EQ(w.form.Main().Memo()[0], "Hallo");

  w.form.Main().LanguageClick(1);
  EXPECT_EQ(w.Caption("UpdateGroupBox"), "Device");
  EXPECT_EQ(w.dir.Read("Update.ini"),
            "Language=1\r\nVersion=V 1.00\r\nBaud=2\r\nCom=\r\nExtra=line\r\n");

  // The delivered files hold every text: nothing was appended.
  for (const char* f : {"Update.Deu", "Update.Eng", "own.lng"})
    EXPECT_EQ(w.dir.Read(f), Delivered(f)) << f;
}

TEST(WindowLanguage, TheIdentityOfTheMeterSurvivesALanguageSwitch) {
  WindowWorld w(0, true);
  ASSERT_TRUE(w.form.Construct());
  w.form.SetIdentity(IdentityField::Name, "Oxi 812q");
  w.form.Main().LanguageClick(1);
  EXPECT_EQ(w.Caption("NameStaticText"), "Oxi 812q");
  EXPECT_EQ(w.dir.Read("Update.Eng"), Delivered("Update.Eng"));
}

TEST(WindowLanguage, AStartWithoutLanguageFilesListsTheWindowsTexts) {
  WindowWorld w(0, false);
  ASSERT_TRUE(w.form.Construct());
  EXPECT_EQ(w.Caption("UpdateGroupBox"), "Ger\xC3\xA4t");
  const std::string deu = w.dir.Read("Update.Deu");
  EXPECT_EQ(deu.rfind("[UpdateForm]Download ::=\r\n[UpdateGroupBox]Ger\xE4t:=\r\n"
                      "[NameLabel]Name::=\r\n",
                      0),
            0u)
      << deu;
  for (const char* entry : {"[OkBitBtn]OK:=\r\n", "[Bearbeiten]&Datei:=\r\n",
                            "[SWVersion]&Version ...:=\r\n", "[WaitPanel]Bitte warten ...:=\r\n"})
    EXPECT_NE(deu.find(entry), std::string::npos) << entry;
  EXPECT_EQ(deu.find("StaticText"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(w.dir.File("Update.Eng")));
  EXPECT_NE(w.dir.Read("own.lng").find("[BitBtnSave]&Save:=\r\n"), std::string::npos);
}

TEST(WindowLanguage, VersionBoxReadMeFailureAndASwitchWithoutUpdateIni) {
  WindowWorld w(1, true);
  ASSERT_TRUE(w.form.Construct());
  AnswerSink sink;
  w.form.Main().SWVersionClick();
  const std::string readMe = ReadMePath();
  w.form.Main().ReadmeClick();  // no ReadMe.pdf in the program's folder
  std::filesystem::remove(w.dir.File("Update.ini"));
  w.form.Main().LanguageClick(0);
  ASSERT_EQ(sink.boxes.size(), 3u);
  EXPECT_EQ(sink.boxes[0], "Info|     Version V 1.00" + std::string(27, ' '));
  EXPECT_EQ(sink.boxes[1], "Update|Unable to start the program!\r\nThe file is missing: " + readMe);
  // Said as it is: the program carries on, the language holds for this run.
  EXPECT_EQ(sink.boxes[2],
            "Error|Update.ini kann nicht gelesen werden; die Sprache wird nicht "
            "gespeichert und gilt nur bis zum Programmende.");
  // The switch still holds for this run; no settings file is made up.
  EXPECT_EQ(w.Caption("UpdateGroupBox"), "Ger\xC3\xA4t");
  EXPECT_FALSE(std::filesystem::exists(w.dir.File("Update.ini")));
}

// Help/Read me names what failed, the file or the viewer, in the window's
// language; and the status bar says when there is no port at all.
TEST(WindowLanguage, ReadMeFailureNamesTheFileOrTheViewerAndNoPortReadsAsSuch) {
  struct Case {
    int language;
    const char* missingFile;
    const char* missingViewer;
    const char* noPort;
  };
  for (const Case& c :
       {Case{0, "Programm konnte nicht gestartet werden!\r\nDie Datei fehlt: ",
             "Programm konnte nicht gestartet werden!\r\nKein Anzeigeprogramm gefunden: xdg-open",
             "kein Port"},
        Case{1, "Unable to start the program!\r\nThe file is missing: ",
             "Unable to start the program!\r\nNo viewer found: xdg-open", "no port"}}) {
    SCOPED_TRACE(c.language);
    WindowWorld w(c.language, true);
    ASSERT_TRUE(w.form.Construct());
    EXPECT_EQ(w.form.Main().StatusPanel(0), c.noPort);
    AnswerSink sink;
    const std::string missing = ReadMePath();
    w.form.Main().ReadmeClick();
    w.dir.Write("ReadMe.pdf", "%PDF-1.4\n");
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", w.dir.path().c_str(), 1);  // a folder without any viewer
    w.form.Main().ReadmeClick();
    setenv("PATH", path.c_str(), 1);
    ASSERT_EQ(sink.boxes.size(), 2u);
    EXPECT_EQ(sink.boxes[0], "Update|" + std::string(c.missingFile) + missing);
    EXPECT_EQ(sink.boxes[1], std::string("Update|") + c.missingViewer);
  }
}
