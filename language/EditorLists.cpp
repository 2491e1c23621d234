// The editor's two lists and its edit field: what is selected, what the
// edit field shows, and how a typed translation reaches the entry and, at
// once, the form.
#include <QKeyEvent>
#include <QListWidget>
#include <QSignalBlocker>

#include "language/FormComponents.h"
#include "language/FormatCheck.h"
#include "language/TMySprachDialog.h"
#include "platform/Dialogs.h"
#include "platform/Text1252.h"
#include "ui_MySprachDialog.h"

namespace {

QString ToQ(const std::string& text) { return QString::fromStdString(Cp1252ToUtf8(text)); }

}  // namespace

bool TMySprachDialog::OwnVisible() const { return ui_->CheckBoxOwnText->isChecked(); }

QListWidget* TMySprachDialog::VisibleList() const {
  return OwnVisible() ? ui_->ListBoxOwn : ui_->ListBoxTexte;
}

TMySprachDialog::EntryList& TMySprachDialog::VisibleEntries() { return EntriesOf(VisibleList()); }

TMySprachDialog::EntryList& TMySprachDialog::EntriesOf(QListWidget* list) {
  return list == ui_->ListBoxOwn ? own_ : target_;
}

void TMySprachDialog::Rebuild(QListWidget* list) {
  const QSignalBlocker block(list);
  list->clear();
  for (const auto& e : EntriesOf(list)) {
    auto* item = new QListWidgetItem(ToQ(e->Original), list);
    item->setData(Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(e.get())));
  }
}

// Selecting from code is no user's selection: the handlers run only where
// the editor calls them.
void TMySprachDialog::Select(QListWidget* list, int row) {
  const QSignalBlocker block(list);
  list->setCurrentRow(row);
}

void TMySprachDialog::FormatMessage() {
  const std::string title = FixText("Formaterror");
  const std::string text = FixText("Please do check the format !");
  ShowMessageBox(title, text, MsgIcon::Warning, MsgButtons::Ok);
}

void TMySprachDialog::TargetSelectionChanged(bool takeOver) {
  if (current_ && takeOver) {
    const std::string edit = Utf8ToCp1252(ui_->Edit1->text().toStdString());
    // The first item is not checked: it is the form's caption.
    const bool checked = lastIndex_ > 0 && lastIndex_ < static_cast<int>(target_.size());
    if (checked && !FormatMatches(target_[static_cast<std::size_t>(lastIndex_)]->Original, edit))
      FormatMessage();
    else
      current_->Translation = edit;
  }
  lastIndex_ = ui_->ListBoxTexte->currentRow();
  if (lastIndex_ < 0) return;
  ShowEntry(target_[static_cast<std::size_t>(lastIndex_)].get());
}

void TMySprachDialog::OwnSelectionChanged() {
  if (current_) current_->Translation = Utf8ToCp1252(ui_->Edit1->text().toStdString());
  const int row = ui_->ListBoxOwn->currentRow();
  if (row < 0) return;
  ui_->Edit1->setEnabled(true);
  ShowEntry(own_[static_cast<std::size_t>(row)].get());
}

void TMySprachDialog::VisibleSelectionChanged(bool takeOver) {
  if (OwnVisible())
    OwnSelectionChanged();
  else
    TargetSelectionChanged(takeOver);
}

void TMySprachDialog::ShowEntry(TextEntry* entry) {
  current_ = entry;
  ui_->Edit1->setText(ToQ(entry->Translation));
  ui_->EditSearch->setText(ToQ(entry->Original));
  std::string type;
  if (entry->Kind == kKindFixed) {
    type = FixText("fix text");
  } else {
    const std::string who = entry->ClassName + " / " + DescribeComponent(entry->Component).name;
    type = entry->Kind == kKindHint ? FixText("Hint") + "  /  " + who : who;
  }
  ui_->Typ->setText(ToQ(type));
}

void TMySprachDialog::Edit1KeyUp(int key, bool takeOverAfterEnter) {
  if (VisibleList()->currentRow() < 0) return;
  if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    if (!EnterTranslation()) return;
    VisibleSelectionChanged(takeOverAfterEnter);
    return;
  }
  VisibleSelectionChanged(true);
}

bool TMySprachDialog::EnterTranslation() {
  QListWidget* list = VisibleList();
  EntryList& entries = VisibleEntries();
  const int row = list->currentRow();
  if (row < 0 || row >= static_cast<int>(entries.size())) return false;
  const TextEntry& selected = *entries[static_cast<std::size_t>(row)];
  std::string edit = Utf8ToCp1252(ui_->Edit1->text().toStdString());
  if (!FormatMatches(selected.Original, edit)) {
    FormatMessage();
    list->setFocus();
    return false;
  }
  if (control_ && selected.Component == control_ && DescribeForm(control_).tag != excludedTag_)
    SetCaption(DescribeForm(control_), edit);
  const std::string original = selected.Original;
  const bool single = ui_->CheckBoxSingleText->isChecked();
  for (std::size_t k = 0; k < entries.size(); ++k) {
    TextEntry& e = *entries[k];
    if (single ? static_cast<int>(k) != row : e.Original != original) continue;
    if (edit.empty()) {
      // An empty translation stands for the original text.
      edit = original;
      ui_->Edit1->setText(ToQ(edit));
    }
    e.Translation = edit;
    e.Saved = false;
    ShowOnComponent(e, edit);
  }
  list->viewport()->update();
  Select(list, std::min(row + 1, static_cast<int>(entries.size()) - 1));
  list->setFocus();
  return true;
}

void TMySprachDialog::ShowOnComponent(const TextEntry& entry, const std::string& text) {
  if (!entry.Component) return;
  const FormComponent c = DescribeComponent(entry.Component);
  if (entry.Component == control_ && c.tag == excludedTag_) return;
  if (entry.Kind == kKindHint) {
    if (c.cls != VclClass::TTabSheet) SetHint(c, text);
  } else if (HasPages(c.cls)) {
    SetPageText(c, entry.PageIndex, text);
  } else {
    SetCaption(c, text);
  }
}

void TMySprachDialog::ButtonDelClick() {
  // The question speaks the language of the list it deletes from.
  const std::string& file = OwnVisible() ? engine_.OwnDialogFile() : engine_.DialogFile();
  const std::string question = FindFixText("Do you want to delete the text ?", file);
  const std::string title = FindFixText("Delete text", file);
  QListWidget* list = VisibleList();
  EntryList& entries = VisibleEntries();
  int row = list->currentRow();
  if (ShowMessageBox(title, question, MsgIcon::Question, MsgButtons::YesNo) == MsgResult::Yes) {
    listChanged_ = true;
    if (row >= 0 && row < static_cast<int>(entries.size())) {
      if (current_ == entries[static_cast<std::size_t>(row)].get()) current_ = nullptr;
      entries.erase(entries.begin() + row);
      const QSignalBlocker block(list);
      delete list->takeItem(row);
    }
    current_ = nullptr;
    row = entries.empty() ? -1 : std::max(row - 1, 0);
  }
  Select(list, row);
  if (list->currentRow() < 0) {
    ui_->Edit1->setEnabled(false);
    ui_->ButtonDel->setEnabled(false);
  }
}

void TMySprachDialog::OwnTextClick() {
  const bool own = OwnVisible();
  ui_->Label4->setText(ToQ(own ? engine_.OwnDialogFile() : engine_.DialogFile()));
  ui_->ListBoxOwn->setVisible(own);
  ui_->ListBoxTexte->setVisible(!own);
  QListWidget* list = VisibleList();
  const bool any = !VisibleEntries().empty();
  ui_->ButtonDel->setEnabled(any);
  Select(list, any ? 0 : -1);
  VisibleSelectionChanged(true);
}

bool TMySprachDialog::eventFilter(QObject* watched, QEvent* event) {
  const auto type = event->type();
  if (watched == ui_->ListBoxResult && type == QEvent::FocusOut) {
    ui_->ListBoxResult->hide();
    return false;
  }
  if (type != QEvent::KeyPress && type != QEvent::KeyRelease)
    return QDialog::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
  if (watched == ui_->Edit1 && type == QEvent::KeyRelease && !key->isAutoRepeat()) {
    Edit1KeyUp(key->key());
    return false;
  }
  if (!enter || type != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
  if (watched == ui_->Edit1) return true;  // Enter is handled when it is released
  if (watched == ui_->ListBoxTexte || watched == ui_->ListBoxOwn) {
    ui_->Edit1->setFocus();
    return true;
  }
  if (watched == ui_->EditSearch) {
    SearchEnter();
    return true;
  }
  if (watched == ui_->ListBoxResult) {
    TakeOverResult(ui_->ListBoxResult->currentRow(), false);
    return true;
  }
  return QDialog::eventFilter(watched, event);
}
