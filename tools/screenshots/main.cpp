// Pictures of the window for the README: started by scripts/screenshots
// (through scripts/demo) in a demo delivery, with the simulator on the
// port. It drives the real window as a user would and saves what it shows:
//
//   screenshots OUTDIR
//
// main-en.png, main-de.png: the window after start in both languages;
// editor.png: the translation editor; run.png: a download in progress;
// settings.png: the service dialog of the line in use.
#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <string>

#include "app/UpdateForm.h"
#include "app/UpdateMain.h"

namespace {

bool Save(QWidget* w, const QString& dir, const char* name) {
  const QString file = dir + "/" + name;
  if (!w->grab().save(file)) {
    std::fprintf(stderr, "screenshots: cannot write %s\n", qPrintable(file));
    return false;
  }
  std::printf("screenshots: %s\n", qPrintable(file));
  return true;
}

// Runs `step` on the next modal dialog once it is up, then closes it.
void OnModal(const std::function<void(QWidget*)>& step) {
  QTimer::singleShot(300, [step] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) {
      OnModal(step);
      return;
    }
    step(modal);
    modal->close();
  });
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QGuiApplication::setApplicationDisplayName("Update");
  if (argc != 2) {
    std::fprintf(stderr, "usage: screenshots OUTDIR\n");
    return 64;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  TUpdateForm form;
  if (!form.Construct()) return 2;
  form.show();
  UpdateMain& main = form.Main();
  bool ok = true;

  ok &= Save(&form, out, "main-en.png");
  main.LanguageClick(0);
  ok &= Save(&form, out, "main-de.png");
  main.LanguageClick(1);

  OnModal([&](QWidget* editor) { ok &= Save(editor, out, "editor.png"); });
  form.UpdateSprachDialog.Show(&form);

  // The download: a picture once a third of the transfer is done, then the
  // settings dialog over the running transfer.
  main.Delay().SetDividend(10);
  bool taken = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (!taken && main.TransferActive() && main.ProgressMax() > 0 &&
        main.ProgressPosition() * 3 >= main.ProgressMax()) {
      taken = true;
      ok &= Save(&form, out, "run.png");
      OnModal([&](QWidget* dialog) { ok &= Save(dialog, out, "settings.png"); });
      QKeyEvent key(QEvent::KeyRelease, Qt::Key_F9, Qt::ControlModifier | Qt::ShiftModifier);
      QApplication::sendEvent(&form, &key);
    }
    const bool ended = main.OkEnabled() || main.Title().find("[ready]") != std::string::npos;
    if (taken && !main.TransferActive() && ended) app.quit();
  });
  poll.start(100);
  QTimer::singleShot(180000, &app, [&] {
    std::fprintf(stderr, "screenshots: the run did not end in time\n");
    ok = false;
    app.quit();
  });
  main.OkBitBtnClick();
  app.exec();
  main.Shutdown();
  return ok && taken ? 0 : 1;
}
