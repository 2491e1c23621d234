// The editor's tools for long lists: sorting, the search, and taking
// translations over from reference files.
#include <QFileDialog>
#include <QListWidget>
#include <exception>

#include "language/EditorOrder.h"
#include "language/ReferenceFiles.h"
#include "language/TMySprachDialog.h"
#include "platform/Dialogs.h"
#include "platform/Text1252.h"
#include "ui_MySprachDialog.h"

void TMySprachDialog::SortClick(int order) {
  SortOptions options;
  options.significant = ui_->CheckBoxSignificant->isChecked();
  options.upperLower = ui_->CheckBoxUpperLower->isChecked();
  QListWidget* list = VisibleList();
  EntryList& entries = VisibleEntries();
  const int row = list->currentRow();
  const bool remembered = row >= 0 && row < static_cast<int>(entries.size());
  const std::string selected = remembered ? entries[static_cast<std::size_t>(row)]->Original : "";

  std::vector<TextEntry*> scratch;
  for (auto& e : entries) scratch.push_back(e.release());
  SortEntries(scratch, static_cast<SortOrder>(order), options);
  for (std::size_t k = 0; k < scratch.size(); ++k) entries[k].reset(scratch[k]);
  Rebuild(list);

  if (!remembered) return;
  for (std::size_t k = 0; k < entries.size(); ++k) {
    if (entries[k]->Original == selected) {
      Select(list, static_cast<int>(k));
      break;
    }
  }
}

void TMySprachDialog::SearchEnter() {
  QListWidget* list = VisibleList();
  std::vector<const TextEntry*> entries;
  for (const auto& e : VisibleEntries()) entries.push_back(e.get());
  const int found =
      SearchNext(entries, list->currentRow(), Utf8ToCp1252(ui_->EditSearch->text().toStdString()));
  if (found >= 0) Select(list, found);
}

void TMySprachDialog::FilesClick() {
  const QString file = QString::fromStdString(Cp1252ToUtf8(engine_.DialogFile()));
  const int slash = file.lastIndexOf('/');
  QFileDialog dialog(this);
  dialog.setObjectName("OpenDialog1");
  dialog.setFileMode(QFileDialog::ExistingFiles);
  dialog.setNameFilters({"German (*.deu *.Deu *.DEU)", "English (*.eng *.Eng *.ENG)",
                         "Other (*.oth *.Oth *.OTH)", "All (*)"});
  dialog.selectNameFilter("English (*.eng *.Eng *.ENG)");
  if (slash >= 0) dialog.setDirectory(file.left(slash));
  if (dialog.exec() != QDialog::Accepted) return;
  std::vector<std::string>& files = ReferenceFileList();
  files.clear();
  for (const QString& f : dialog.selectedFiles()) files.push_back(Utf8ToCp1252(f.toStdString()));
}

void TMySprachDialog::LookUpReferences(bool automatic) {
  QListWidget* list = VisibleList();
  const int row = list->currentRow();
  EntryList& entries = VisibleEntries();
  if (row < 0 || row >= static_cast<int>(entries.size())) return;
  const std::string key = ReferenceKey(entries[static_cast<std::size_t>(row)]->Original);
  if (key.empty()) return;
  QListWidget* results = ui_->ListBoxResult;
  results->clear();
  results->addItem(QString());
  ui_->BitBtnFile->setEnabled(false);
  ui_->BitBtnAgain->setEnabled(false);
  std::vector<std::string> found;
  try {
    found = LookupReferences(ReferenceFileList(), key, automatic);
  } catch (const std::exception& e) {
    ShowMessageBox("Update", e.what(), MsgIcon::Error);
    ui_->BitBtnFile->setEnabled(true);
    ui_->BitBtnAgain->setEnabled(true);
    return;
  }
  for (std::size_t k = 1; k < found.size(); ++k)
    results->addItem(QString::fromStdString(Cp1252ToUtf8(found[k])));
  ui_->BitBtnFile->setEnabled(true);
  ui_->BitBtnAgain->setEnabled(true);
  if (!automatic && results->count() > 1) {
    results->show();
    results->raise();
    results->setFocus();
  }
  if (automatic && results->count() == 2) TakeOverResult(1, true);
}

void TMySprachDialog::TakeOverResult(int row, bool automatic) {
  QListWidget* results = ui_->ListBoxResult;
  results->hide();
  if (row <= 0 || row >= results->count()) return;
  const QString text = results->item(row)->text();
  if (text.isEmpty()) return;
  ui_->Edit1->setText(text);
  Edit1KeyUp(Qt::Key_Return, !automatic);
}

void TMySprachDialog::AutoAllClick() {
  QListWidget* list = VisibleList();
  for (int k = 0; k < list->count(); ++k) {
    Select(list, k);
    VisibleSelectionChanged(true);
    LookUpReferences(true);
  }
}
