// The window's hidden service keys, pressed as a user would (QTest, the
// offscreen platform), and the settings dialog they open: what it shows,
// and that it leaves a running transfer's line alone.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QJsonArray>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "FirmwareGen.h"
#include "app/UpdateForm.h"
#include "app/UpdateMain.h"
#include "serial/ComPort.h"
#include "serial/V24Dialog.h"
#include "tests/e2e/E2eWorld.h"

namespace {

// The real window over a test world: its ports and program folder.
struct FormRun {
  explicit FormRun(E2eWorld& w) {
    setenv("UPDATE_PORTS", w.Ports().c_str(), 1);
    setenv("UPDATE_PROGRAM_DIR", w.Folder().c_str(), 1);
    w.Dir().Enter();
    form = std::make_unique<TUpdateForm>();
  }
  ~FormRun() {
    form->Main().Shutdown();
    form.reset();
    unsetenv("UPDATE_PORTS");
    unsetenv("UPDATE_PROGRAM_DIR");
  }
  UpdateMain& Main() { return form->Main(); }
  std::unique_ptr<TUpdateForm> form;
};

// Releases the key on the window; `inDialog` runs on the modal dialog the
// key opens (and must close it). False when no dialog came.
bool PressForDialog(QWidget* window, Qt::Key key, Qt::KeyboardModifiers mods,
                    const std::function<void(TV24_Dialog*)>& inDialog) {
  bool seen = false;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<TV24_Dialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return;
    seen = true;
    inDialog(dialog);
  });
  QTest::keyRelease(window, key, mods);
  return seen;
}

void WriteMsp430World(E2eWorld& w) {
  w.WriteMsp430Settings(0);
  w.Dir().Write("main.txt", MakeTiTxtFirmware("1.30", 12000, 21));
  w.Dir().Write("sensor.txt", MakeTiTxtFirmware("1.10", 1500, 22));
}

}  // namespace

// Desktops take Ctrl+Alt+F<n> for the consoles: Ctrl+Shift+F<n> must do
// the same, and the Alt forms must keep working.
TEST(WindowServiceKeys, ShiftAndAltFormsBothReachTheWindow) {
  E2eWorld w;
  w.PrepareExternalDelivery(0);
  w.AddSim(ExternalProfile());
  FormRun run(w);
  ASSERT_TRUE(run.form->Construct());

  for (Qt::KeyboardModifiers mods :
       {Qt::ControlModifier | Qt::ShiftModifier, Qt::ControlModifier | Qt::AltModifier}) {
    SCOPED_TRACE(mods == (Qt::ControlModifier | Qt::ShiftModifier) ? "Ctrl+Shift" : "Ctrl+Alt");
    ASSERT_TRUE(run.Main().VersionGuard());
    QTest::keyRelease(run.form.get(), Qt::Key_F10, mods);
    EXPECT_FALSE(run.Main().VersionGuard());
    QTest::keyRelease(run.form.get(), Qt::Key_F10, mods);
    EXPECT_TRUE(run.Main().VersionGuard());

    const bool opened =
        PressForDialog(run.form.get(), Qt::Key_F9, mods, [](TV24_Dialog* d) { d->reject(); });
    EXPECT_TRUE(opened);
  }
  // F9 or F10 with Ctrl alone is no service key.
  QTest::keyRelease(run.form.get(), Qt::Key_F10, Qt::ControlModifier);
  EXPECT_TRUE(run.Main().VersionGuard());
}

// The window's dialog is a read-only view: only Close, a titled group,
// the port shown with its device, texts in the window's language.
TEST(WindowServiceKeys, SettingsDialogShowsThePortReadOnlyInTheWindowLanguage) {
  struct Case {
    int language;
    const char* title;
    const char* close;
    const char* noParity;
  };
  for (const Case& c : {Case{0, "Einstellungen",
                             "Schlie\xC3\x9F"
                             "en",
                             "keine"},
                        Case{1, "Settings", "Close", "none"}}) {
    SCOPED_TRACE(c.title);
    E2eWorld w;
    w.PrepareExternalDelivery(c.language);
    w.AddSim(ExternalProfile());
    for (const char* f : {"Update.Deu", "Update.Eng", "own.lng"})
      std::filesystem::copy_file(std::string(UPDATE_SOURCE_DIR) + "/language/files/" + f,
                                 w.Dir().File(f));
    FormRun run(w);
    ASSERT_TRUE(run.form->Construct());
    const std::string device = w.Ports().substr(0, w.Ports().find(':'));

    const bool opened = PressForDialog(
        run.form.get(), Qt::Key_F9, Qt::ControlModifier | Qt::ShiftModifier, [&](TV24_Dialog* d) {
          EXPECT_EQ(d->windowTitle().toStdString(), c.title);
          EXPECT_FALSE(d->findChild<QGroupBox*>("V24AdjustPanel1")->title().isEmpty());
          EXPECT_FALSE(d->findChild<QPushButton*>("V24_Adjust_okay")->isVisibleTo(d));
          EXPECT_FALSE(d->findChild<QPushButton*>("V24_Adjust_cancel")->isVisibleTo(d));
          auto* close = d->findChild<QPushButton*>("V24_Adjust_close");
          EXPECT_TRUE(close->isVisibleTo(d));
          EXPECT_EQ(close->text().toStdString(), c.close);
          EXPECT_EQ(d->findChild<QComboBox*>("Paritaet_Box")->currentText().toStdString(),
                    c.noParity);
          EXPECT_EQ(d->findChild<QComboBox*>("Schnittstellen_Box")->currentText().toStdString(),
                    "COM1  " + device);
          close->click();
        });
    EXPECT_TRUE(opened);
  }
}

// OK during a transfer stores a change for later and leaves the line of
// the running transfer as it is: no reopen at the stored 4800 baud.
TEST(WindowServiceKeys, OkInSettingsDialogDuringATransferLeavesTheLineAlone) {
  E2eWorld w;
  WriteMsp430World(w);
  SimProcess& meter = w.AddSim(Msp430Profile());
  FormRun run(w);
  ASSERT_TRUE(run.form->Construct());
  run.Main().Delay().SetDividend(20);
  // Everything editable, so that OK is there to press.
  run.Main().Port().V24Dialog()->SetFlags({true, true, true, true, true, true, true, true});

  bool pressed = false, opened = false, stillOpen = false;
  int portBefore = -2, portAfter = -3;
  BaudTag baudBefore = B__4800, baudAfter = B__4800;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    TComPort& port = run.Main().Port();
    if (pressed || !run.Main().TransferActive() || !port.IsOpen()) return;
    pressed = true;
    portBefore = port.OpenPort();
    baudBefore = port.LineBaudrate();
    opened = PressForDialog(run.form.get(), Qt::Key_F9, Qt::ControlModifier | Qt::ShiftModifier,
                            [](TV24_Dialog* d) {
                              d->findChild<QComboBox*>("Baudrate_Box")->setCurrentIndex(B__1200);
                              d->findChild<QPushButton*>("V24_Adjust_okay")->click();
                            });
    stillOpen = port.IsOpen();
    portAfter = port.OpenPort();
    baudAfter = port.LineBaudrate();
  });
  watch.start(5);
  run.Main().OkBitBtnClick();
  const bool ended = QTest::qWaitFor(
      [&] {
        return run.Main().Title().find("[") != std::string::npos && !run.Main().TransferActive() &&
               (run.Main().OkEnabled() || run.Main().Title() == "Update [beendet]");
      },
      120000);
  watch.stop();
  QJsonObject report = meter.Stop();

  ASSERT_TRUE(pressed) << "no transfer was seen";
  EXPECT_TRUE(opened);
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(portAfter, portBefore);
  EXPECT_EQ(baudAfter, baudBefore);
  EXPECT_NE(baudBefore, B__1200);
  // The change waits in the record for the next open.
  EXPECT_EQ(run.Main().Port().V24()->Baudrate(), B__1200);
  ASSERT_TRUE(ended);
  EXPECT_EQ(run.Main().Title(), "Update [beendet]") << SimProcess::EventLog(report);
  EXPECT_TRUE(report.value("violations").toArray().isEmpty()) << SimProcess::EventLog(report);
}
