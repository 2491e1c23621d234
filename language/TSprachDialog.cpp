#include "language/TSprachDialog.h"

#include <QObject>
#include <cstring>
#include <exception>

#include "language/LookupEngine.h"
#include "language/TMySprachDialog.h"
#include "platform/Text1252.h"

bool TSprachDialog::TranslateDialog(QWidget* form, bool original) {
  TMySprachDialog engine;
  engine.SetDialogFile(dialogfile_);
  engine.TranslateForm(form, original);
  return true;
}

bool TSprachDialog::FixOriginalText(QWidget* form) {
  TMySprachDialog engine;
  engine.SetDialogFile(dialogfile_);
  engine.FixForm(form);
  return true;
}

bool TSprachDialog::Show(QWidget* form) {
  TMySprachDialog editor;
  if (!enabled_) return false;
  try {
    editor.SetControl(form);
    editor.SetDialogFile(dialogfile_);
    editor.SetOwnDialogFile(ownDialogfile_);
    editor.setProperty("Tag", 0);
    editor.SetDialogFont(font_);
    editor.SetTagNoTranslate(tagNoTranslate_);
    editor.exec();
    return editor.Tag() == 1;
  } catch (const std::exception&) {
    return false;
  }
}

const char* TSprachDialog::Keep(const char* result) {
  const std::size_t n = strnlen(result, kResultSize - 1);
  std::memmove(result_, result, n);
  result_[n] = '\0';
  return result_;
}

const char* TSprachDialog::GetCompText(const std::string& name, const char* text,
                                       const std::string& file) {
  TMySprachDialog engine;
  engine.SetDialogFile(file == "." ? dialogfile_ : file);
  return Keep(engine.FindCompText(name, text, false, "."));
}

const char* TSprachDialog::GetHint(const QObject* component, const char* text,
                                   const std::string& file) {
  TMySprachDialog engine;
  engine.SetDialogFile(file == "." ? dialogfile_ : file);
  const std::string name = Utf8ToCp1252(component->objectName().toStdString());
  return Keep(engine.FindHint(name, text, false, "."));
}

const char* TSprachDialog::GetFixText(const char* text) { return GetFixText(text, dialogfile_); }

const char* TSprachDialog::GetFixText(const char* text, const std::string& file) {
  return LookupFixText(fixRing_, text, file);
}
