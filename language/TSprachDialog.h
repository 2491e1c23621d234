#pragma once
// TSprachDialog ("Sprach" = language): the translation component.
// The translation component a form holds: it translates the form from a
// language file, looks up single texts, records a form's original texts
// and opens the translation editor. Each operation creates the engine
// (the editor's form, hidden), lets it work and frees it again.
#include <QFont>
#include <cstdio>
#include <string>

#include "language/ResultRing.h"

class QObject;
class QWidget;

class TSprachDialog {
 public:
  static constexpr std::size_t kResultSize = 500;

  TSprachDialog() = default;

  const std::string& Dialogfile() const { return dialogfile_; }
  void SetDialogfile(const std::string& file) { dialogfile_ = file; }
  const std::string& OwnDialogfile() const { return ownDialogfile_; }
  void SetOwnDialogfile(const std::string& file) { ownDialogfile_ = file; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled) { enabled_ = enabled; }
  const QFont& Font() const { return font_; }
  void SetFont(const QFont& font) { font_ = font; }
  int TagNoTranslate() const { return tagNoTranslate_; }
  void SetTagNoTranslate(int tag) { tagNoTranslate_ = tag; }

  // Translates the form's texts from Dialogfile; with original set every
  // text becomes the original text stored in its entry. Always true.
  bool TranslateDialog(QWidget* form, bool original);
  // Records the form's current texts as the original texts. Always true.
  bool FixOriginalText(QWidget* form);
  // Opens the editor modally for the form; true when the user saved.
  bool Show(QWidget* form);

  // Single lookups; file "." stands for Dialogfile. The result stays valid
  // until the next GetCompText or GetHint. A result longer than the 499
  // characters the component keeps is cut.
  const char* GetCompText(const std::string& name, const char* text, const std::string& file);
  const char* GetHint(const QObject* component, const char* text, const std::string& file);
  // Fixed texts: the file name is taken literally. The result stays valid
  // for five further GetFixText calls.
  const char* GetFixText(const char* text);
  const char* GetFixText(const char* text, const std::string& file);

 private:
  const char* Keep(const char* result);

  std::string dialogfile_ = "sprache.lng";
  std::string ownDialogfile_ = "own.lng";
  bool enabled_ = true;
  QFont font_;
  int tagNoTranslate_ = -1;
  char result_[kResultSize] = {};
  ResultRing fixRing_;
};
