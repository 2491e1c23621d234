#include "app/UpdateForm.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QScrollBar>
#include <functional>

#include "app/FirstStart.h"
#include "app/UpdateMain.h"
#include "app/ViewText.h"
#include "platform/Text1252.h"
#include "ui_UpdateForm.h"

namespace {

QString Q(const std::string& text1252) { return QString::fromStdString(ViewText(text1252)); }

}  // namespace

TUpdateForm::TUpdateForm(QWidget* parent)
    : QMainWindow(parent), ui_(std::make_unique<Ui::UpdateForm>()) {
  ui_->setupUi(this);
  setFixedSize(468, 534);
  constexpr int kPanelWidths[4] = {50, 80, 125, 50};
  for (int i = 0; i < 4; ++i) {
    panels_[i] = new QLabel(this);
    panels_[i]->setObjectName(QString("UpdateStatusBarPanel%1").arg(i));
    panels_[i]->setMinimumWidth(kPanelWidths[i]);
    panels_[i]->setFrameShape(QFrame::Panel);
    panels_[i]->setFrameShadow(QFrame::Sunken);
    ui_->UpdateStatusBar->addWidget(panels_[i], i == 3 ? 1 : 0);
  }
  panels_[0]->setText("Com X");
  ui_->TG812qProgramming->menuAction()->setVisible(false);
  auto* languages = new QActionGroup(this);
  languages->addAction(ui_->Deutsch);
  languages->addAction(ui_->Englisch);

  UpdateSprachDialog.SetDialogfile("Update.Deu");
  UpdateSprachDialog.SetOwnDialogfile("own.lng");

  main_ = std::make_unique<UpdateMain>(this);
  main_->KeepWindowAlive();
  UpdateMain* m = main_.get();
  // While a wait or a transfer runs, what would start or change a run is
  // not acted on.
  auto unlessLocked = [m](std::function<void()> action) {
    return [m, action] {
      if (!m->InputLocked()) action();
    };
  };
  connect(ui_->OkBitBtn, &QPushButton::clicked, this, unlessLocked([m] { m->OkBitBtnClick(); }));
  connect(ui_->SpeedButton1, &QToolButton::clicked, this,
          unlessLocked([m] { m->SpeedButton1Click(); }));
  for (QAction* a : {ui_->DevMulti812q, ui_->DevpH812q, ui_->DevOxi812q, ui_->DevCond812q})
    connect(a, &QAction::triggered, this,
            unlessLocked([m, a] { m->TG812qProgrammingClick(a->property("Tag").toInt()); }));
  connect(ui_->LabXXX, &QAction::triggered, this, unlessLocked([m] { m->LabXXXClick(); }));
  connect(ui_->UpdateEnd, &QAction::triggered, this, &QWidget::close);
  for (int language : {0, 1}) {
    connect(language == 0 ? ui_->Deutsch : ui_->Englisch, &QAction::triggered, this,
            [this, m, language] {
              if (!m->InputLocked()) m->LanguageClick(language);
              // The check mark stays with the language in force.
              SetMenuChecked("Deutsch", m->Settings().language == 0);
              SetMenuChecked("Englisch", m->Settings().language == 1);
            });
  }
  connect(ui_->Readme, &QAction::triggered, this, [m] { m->ReadmeClick(); });
  connect(ui_->SWVersion, &QAction::triggered, this, [m] { m->SWVersionClick(); });
}

TUpdateForm::~TUpdateForm() {
  main_.reset();
  SetDialogSink(nullptr);
}

bool TUpdateForm::Construct() {
  SetDialogSink(this);
  return main_->Construct();
}

void TUpdateForm::MemoClear() { ui_->UpdateMemo->clear(); }

void TUpdateForm::MemoAdd(const std::string& text) {
  QString lines = Q(text);
  if (lines.endsWith('\n')) lines.chop(1);
  ui_->UpdateMemo->appendPlainText(lines);
  ui_->UpdateMemo->verticalScrollBar()->setValue(ui_->UpdateMemo->verticalScrollBar()->maximum());
}

void TUpdateForm::SetStatusPanel(int index, const std::string& text) {
  if (index >= 0 && index < 4) {
    panels_[index]->setText(Q(text));
    panels_[index]->repaint();
  }
}

void TUpdateForm::SetStatusHint(int index, const std::string& hint) {
  if (index >= 0 && index < 4) panels_[index]->setToolTip(QString::fromStdString(hint));
}

void TUpdateForm::SetProgressMax(int max) { ui_->WaitProgressBar->setMaximum(max); }
void TUpdateForm::SetProgress(int position) {
  ui_->WaitProgressBar->setValue(std::min(position, ui_->WaitProgressBar->maximum()));
}

void TUpdateForm::SetTitle(const std::string& title) {
  QGuiApplication::setApplicationDisplayName(Q(title));
}

void TUpdateForm::SetOkEnabled(bool enabled) { ui_->OkBitBtn->setEnabled(enabled); }
void TUpdateForm::SetWaitPanelVisible(bool visible) {
  ui_->WaitPanel->setVisible(visible);
  if (visible) ui_->WaitPanel->raise();
}

void TUpdateForm::SetWaiting(bool waiting) {
  if (waiting)
    QApplication::setOverrideCursor(Qt::BusyCursor);
  else
    QApplication::restoreOverrideCursor();
}

void TUpdateForm::SetIdentity(IdentityField field, const std::string& text) {
  QLabel* target = nullptr;
  switch (field) {
    case IdentityField::Name: target = ui_->NameStaticText; break;
    case IdentityField::Serial: target = ui_->SerStaticText; break;
    case IdentityField::Pcb: target = ui_->PCBStaticText; break;
    case IdentityField::Software: target = ui_->SWStaticText; break;
  }
  target->setText(Q(text));
}

QAction* TUpdateForm::MenuAction(const std::string& name) const {
  const QString n = QString::fromStdString(name);
  if (auto* menu = findChild<QMenu*>(n)) return menu->menuAction();
  return findChild<QAction*>(n);
}

void TUpdateForm::SetMenuEnabled(const std::string& name, bool enabled) {
  if (QAction* a = MenuAction(name)) a->setEnabled(enabled);
}
void TUpdateForm::SetMenuVisible(const std::string& name, bool visible) {
  if (QAction* a = MenuAction(name)) a->setVisible(visible);
}
void TUpdateForm::SetMenuChecked(const std::string& name, bool checked) {
  if (QAction* a = MenuAction(name)) a->setChecked(checked);
}

void TUpdateForm::SetFileList(const std::string& names) {
  ui_->DLListBox->clear();
  const QString all = Q(names);
  for (const QString& n : all.split('\n', Qt::SkipEmptyParts)) ui_->DLListBox->addItem(n);
}

void TUpdateForm::TranslateWindow(const std::string& dialogFile) {
  UpdateSprachDialog.SetDialogfile(dialogFile);
  UpdateSprachDialog.TranslateDialog(this, false);
}

void TUpdateForm::RunEnded(RunOutcome outcome) {
  // The window waits for the user after any other ending.
  if (outcome == RunOutcome::ProgramEnds) QApplication::exit(2);
}

MsgResult TUpdateForm::Show(const std::string& caption, const std::string& text, MsgIcon icon,
                            MsgButtons buttons) {
  QMessageBox box(this);
  box.setWindowTitle(Q(caption));
  box.setText(Q(text));
  switch (icon) {
    case MsgIcon::Error: box.setIcon(QMessageBox::Critical); break;
    case MsgIcon::Info: box.setIcon(QMessageBox::Information); break;
    case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    case MsgIcon::Warning: box.setIcon(QMessageBox::Warning); break;
  }
  switch (buttons) {
    case MsgButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case MsgButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case MsgButtons::RetryAbort:
      box.setStandardButtons(QMessageBox::Retry | QMessageBox::Abort);
      break;
  }
  switch (box.exec()) {
    case QMessageBox::Yes: return MsgResult::Yes;
    case QMessageBox::No: return MsgResult::No;
    case QMessageBox::Retry: return MsgResult::Retry;
    case QMessageBox::Abort: return MsgResult::Abort;
    default: return MsgResult::Ok;
  }
}

void TUpdateForm::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    main_->EscapeKey();
    return;
  }
  QMainWindow::keyPressEvent(event);
}

void TUpdateForm::keyReleaseEvent(QKeyEvent* event) {
  const auto mods = event->modifiers();
  // Ctrl+Alt+F<n> switches consoles on Linux desktops and never reaches the
  // window there, so Ctrl+Shift+F<n> serves as well.
  const bool service =
      (mods & Qt::ControlModifier) && (mods & (Qt::AltModifier | Qt::ShiftModifier));
  // While a wait or a transfer runs, only the settings dialog, read-only for
  // the line in use, is shown.
  if (main_->InputLocked() && !(event->key() == Qt::Key_F9 && service))
    return QMainWindow::keyReleaseEvent(event);
  if (event->key() == Qt::Key_F12 && (mods & Qt::ShiftModifier))
    main_->ShiftF12();
  else if (event->key() == Qt::Key_F1 && (mods & Qt::ControlModifier))
    main_->CtrlF1();
  else if (event->key() == Qt::Key_F10 && service)
    main_->CtrlAltF10();
  // Service: the line parameters in use, all greyed (no flag is set).
  else if (event->key() == Qt::Key_F9 && service)
    OpenSettingsDialog();
  else
    QMainWindow::keyReleaseEvent(event);
}

void TUpdateForm::OpenSettingsDialog() {
  // A run owns the line from the first OK until it ends.
  const bool lineInUse = main_->TransferActive() || !main_->OkEnabled();
  main_->Port().OpenDialog(this, lineInUse, [this](QDialog& dialog) {
    UpdateSprachDialog.TranslateDialog(&dialog, false);
    // The list entries are words too; the form walk leaves lists alone.
    for (const char* name : {"Paritaet_Box", "Handshake_Box"})
      if (auto* box = dialog.findChild<QComboBox*>(name))
        for (int i = 0; i < box->count(); ++i)
          box->setItemText(i, Q(UpdateSprachDialog.GetFixText(
                                  Utf8ToCp1252(box->itemText(i).toStdString()).c_str(),
                                  UpdateSprachDialog.Dialogfile())));
  });
}

void TUpdateForm::closeEvent(QCloseEvent* event) {
  if (!main_->MayClose()) {
    event->ignore();
    return;
  }
  // A bootstrap-loader download in progress ends first, as on Escape.
  if (main_->TransferActive()) main_->EscapeKey();
  main_->Shutdown();
  event->accept();
}

int RunWindow(int argc, char** argv, bool deliveryGiven) {
  QApplication app(argc, argv);
  QGuiApplication::setApplicationDisplayName("Update");
  if (!PrepareWindowDelivery(deliveryGiven)) return 2;
  TUpdateForm form;
  if (!form.Construct()) return 2;
  form.show();
  return app.exec();
}
