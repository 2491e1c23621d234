#pragma once
// TMySprachDialog: the translation editor and, hidden, the engine behind every operation
// of the translation component. Creating it records the editor's own
// texts in the own-text file, so that the editor can be translated too.
// Shown for a form, it lists the form's texts and the fixed texts of the
// language file with their translations, previews every translation on
// the form at once and writes both files back on Save.
#include <QDialog>
#include <memory>
#include <string>
#include <vector>

#include "language/LookupEngine.h"
#include "language/TextEntry.h"

class QListWidget;
namespace Ui {
class MySprachDialog;
}

class TMySprachDialog : public QDialog {
  Q_OBJECT

 public:
  explicit TMySprachDialog(QWidget* parent = nullptr);
  ~TMySprachDialog() override;

  // --- engine ---
  void SetDialogFile(const std::string& name);
  void SetOwnDialogFile(const std::string& name);
  void SetControl(QWidget* form) { control_ = form; }
  void SetTagNoTranslate(int tag) { excludedTag_ = tag; }
  void SetDialogFont(const QFont& font);
  const char* FindCompText(const std::string& section, const char* text, bool original,
                           const std::string& file);
  const char* FindHint(const std::string& name, const char* text, bool original,
                       const std::string& file);
  const char* FindFixText(const char* text, const std::string& file);
  bool TranslateForm(QWidget* form, bool original);
  bool FixForm(QWidget* form);
  LookupEngine& Engine() { return engine_; }

  // The form's Tag: 0 from opening, 1 after a Save.
  int Tag() const;

  // --- what the editor shows (for its views and tests) ---
  const Ui::MySprachDialog& Form() const { return *ui_; }
  const std::vector<std::unique_ptr<TextEntry>>& TargetEntries() const { return target_; }
  const std::vector<std::unique_ptr<TextEntry>>& OwnEntries() const { return own_; }
  bool ListChanged() const { return listChanged_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  using EntryList = std::vector<std::unique_ptr<TextEntry>>;

  // --- opening, saving, closing (TMySprachDialog.cpp) ---
  void Open();
  void AddFormEntries();
  void AddOwnEntries();
  void AddFixedTexts(EntryList& list, const std::string& file);
  std::unique_ptr<TextEntry> LoadEntry(QObject* component, const std::string& section,
                                       const std::string& text, int kind, const std::string& file);
  void Save();
  void FinishClosing();
  std::string FixText(const char* text);
  // Captions and hints of the editor from the language file (EditorOwnTexts.cpp).
  void TranslateOwnWindow();

  // --- the lists and the edit field (EditorLists.cpp) ---
  bool OwnVisible() const;
  QListWidget* VisibleList() const;
  EntryList& VisibleEntries();
  EntryList& EntriesOf(QListWidget* list);
  void Rebuild(QListWidget* list);
  void Select(QListWidget* list, int row);
  void TargetSelectionChanged(bool takeOver);
  void OwnSelectionChanged();
  void VisibleSelectionChanged(bool takeOver);
  void ShowEntry(TextEntry* entry);
  void Edit1KeyUp(int key, bool takeOverAfterEnter = true);
  bool EnterTranslation();
  void ShowOnComponent(const TextEntry& entry, const std::string& text);
  void ButtonDelClick();
  void OwnTextClick();
  void FormatMessage();

  // --- sorting, search, reference files (EditorTools.cpp) ---
  void SortClick(int order);
  void SearchEnter();
  void FilesClick();
  void LookUpReferences(bool automatic);
  void TakeOverResult(int row, bool automatic);
  void AutoAllClick();

  std::unique_ptr<Ui::MySprachDialog> ui_;
  LookupEngine engine_;
  QWidget* control_ = nullptr;
  int excludedTag_ = -1;
  EntryList target_;
  EntryList own_;
  TextEntry* current_ = nullptr;
  int lastIndex_ = -1;
  bool listChanged_ = false;
  bool closing_ = false;
};
