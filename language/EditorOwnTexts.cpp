// The editor in the language it edits: its captions and hints are fixed
// texts of the language file, keyed by their designed wording, so a
// translator sees and translates them with the rest of the file (and Save
// keeps them, as it keeps every fixed text).
#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QVariant>

#include "language/TMySprachDialog.h"
#include "platform/Text1252.h"
#include "ui_MySprachDialog.h"

namespace {

QString Translated(TMySprachDialog& editor, const QString& text, const std::string& file) {
  if (text.isEmpty()) return text;
  const std::string key = Utf8ToCp1252(text.toStdString());
  return QString::fromStdString(Cp1252ToUtf8(editor.FindFixText(key.c_str(), file)));
}

}  // namespace

void TMySprachDialog::TranslateOwnWindow() {
  // The own-text file is the editor's own in no particular language; the
  // language file in hand says which language the user reads. The keys are
  // the texts as designed, whatever the window shows by now.
  const std::string file = engine_.DialogFile();
  QDialog designed;
  Ui::MySprachDialog ui;
  ui.setupUi(&designed);
  setWindowTitle(Translated(*this, designed.windowTitle(), file));
  for (QWidget* original : designed.findChildren<QWidget*>()) {
    QWidget* w = findChild<QWidget*>(original->objectName());
    if (w == nullptr) continue;
    if (!original->toolTip().isEmpty()) w->setToolTip(Translated(*this, original->toolTip(), file));
    // Tag -1: the control shows data (a file name, a type), not a caption.
    if (original->property("Tag").isValid() && original->property("Tag").toInt() == -1) continue;
    if (auto* label = qobject_cast<QLabel*>(original))
      static_cast<QLabel*>(w)->setText(Translated(*this, label->text(), file));
    else if (auto* button = qobject_cast<QAbstractButton*>(original))
      static_cast<QAbstractButton*>(w)->setText(Translated(*this, button->text(), file));
    else if (auto* box = qobject_cast<QGroupBox*>(original))
      static_cast<QGroupBox*>(w)->setTitle(Translated(*this, box->title(), file));
  }
}
