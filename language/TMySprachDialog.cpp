#include "language/TMySprachDialog.h"

#include <QCloseEvent>
#include <QFontInfo>
#include <QListWidget>
#include <QPushButton>
#include <cstdio>

#include "language/EditorDelegate.h"
#include "language/EntryLine.h"
#include "language/FormComponents.h"
#include "language/FormWalk.h"
#include "language/LanguageFile.h"
#include "language/LineReader.h"
#include "platform/Dialogs.h"
#include "platform/Text1252.h"
#include "ui_MySprachDialog.h"

namespace {

// The editor's messages, looked up as fixed texts.
constexpr const char* kEditorFixTexts[] = {"Do you want to delete the text ?",
                                           "Delete text",
                                           "Please do check the format !",
                                           "Formaterror",
                                           "fix text",
                                           "Do you want to save the changes?",
                                           "Saving",
                                           "Hint"};

// The own list: captions, then hints, of these components of the editor.
constexpr const char* kOwnCaptions[] = {"BitBtnSave",
                                        "BitBtnClose",
                                        "Label3",
                                        "ButtonDel",
                                        "Labeltyp",
                                        "CheckBoxOwnText",
                                        "GroupBoxSort",
                                        "GroupBoxTranslation",
                                        "ButtonSortText",
                                        "ButtonIsTranslated",
                                        "ButtonCompTyp",
                                        "BitBtnFile",
                                        "BitBtnAgain",
                                        "CheckBoxSignificant",
                                        "CheckBoxUpperLower",
                                        "CheckBoxSingleText",
                                        "GroupBoxSearch"};
constexpr const char* kOwnHints[] = {"ButtonSortText", "ButtonIsTranslated", "Label4", "Typ",
                                     "GroupBoxSort",   "GroupBoxTranslation"};

std::string SectionPrefix(const TextEntry& e) {
  if (e.Kind == kKindFixed) return std::string(kFixPrefix);
  if (e.Kind == kKindHint) return HintSection(e.Section);
  return CompSection(e.Section);
}

std::vector<std::string> EntryLines(const std::vector<std::unique_ptr<TextEntry>>& list) {
  std::vector<std::string> lines;
  lines.reserve(list.size());
  for (const auto& e : list)
    lines.push_back(BoundedEntry(SectionPrefix(*e), e->Original, e->Translation));
  return lines;
}

}  // namespace

TMySprachDialog::TMySprachDialog(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::MySprachDialog>()) {
  ui_->setupUi(this);
  setFixedSize(630, 543);
  setProperty("Tag", 0);
  for (QListWidget* list : {ui_->ListBoxTexte, ui_->ListBoxOwn}) {
    list->setItemDelegate(new EditorDelegate(list));
    list->installEventFilter(this);
  }
  SetDialogFont(font());
  ui_->Edit1->installEventFilter(this);
  ui_->EditSearch->installEventFilter(this);
  ui_->ListBoxResult->installEventFilter(this);

  connect(ui_->ListBoxTexte, &QListWidget::currentRowChanged, this,
          [this] { TargetSelectionChanged(true); });
  connect(ui_->ListBoxOwn, &QListWidget::currentRowChanged, this,
          [this] { OwnSelectionChanged(); });
  connect(ui_->ListBoxResult, &QListWidget::itemClicked, this,
          [this](QListWidgetItem* item) { TakeOverResult(ui_->ListBoxResult->row(item), false); });
  connect(ui_->ButtonDel, &QPushButton::clicked, this, [this] { ButtonDelClick(); });
  connect(ui_->BitBtnSave, &QPushButton::clicked, this, [this] { Save(); });
  connect(ui_->BitBtnClose, &QPushButton::clicked, this, [this] { close(); });
  connect(ui_->CheckBoxOwnText, &QCheckBox::clicked, this, [this] { OwnTextClick(); });
  connect(ui_->ButtonSortText, &QPushButton::clicked, this, [this] { SortClick(0); });
  connect(ui_->ButtonIsTranslated, &QPushButton::clicked, this, [this] { SortClick(1); });
  connect(ui_->ButtonCompTyp, &QPushButton::clicked, this, [this] { SortClick(2); });
  connect(ui_->BitBtnFile, &QPushButton::clicked, this, [this] { FilesClick(); });
  connect(ui_->BitBtnAgain, &QPushButton::clicked, this, [this] { LookUpReferences(false); });
  connect(ui_->BitBtnAuto, &QPushButton::clicked, this, [this] { AutoAllClick(); });

  // The own-text file always holds every text of the editor.
  FixForm(this);
}

TMySprachDialog::~TMySprachDialog() = default;

int TMySprachDialog::Tag() const { return property("Tag").toInt(); }

void TMySprachDialog::SetDialogFile(const std::string& name) {
  engine_.SetDialogFile(name);
  if (!ui_->CheckBoxOwnText->isChecked())
    ui_->Label4->setText(QString::fromStdString(Cp1252ToUtf8(engine_.DialogFile())));
}

void TMySprachDialog::SetOwnDialogFile(const std::string& name) {
  engine_.SetOwnDialogFile(name);
  if (ui_->CheckBoxOwnText->isChecked())
    ui_->Label4->setText(QString::fromStdString(Cp1252ToUtf8(engine_.OwnDialogFile())));
}

void TMySprachDialog::SetDialogFont(const QFont& font) {
  setFont(font);
  // Two lines of text per item, with some air.
  const int height = static_cast<int>(2 * QFontInfo(font).pixelSize() * 1.3);
  for (QListWidget* list : {ui_->ListBoxTexte, ui_->ListBoxOwn})
    static_cast<EditorDelegate*>(list->itemDelegate())->SetItemHeight(height);
}

const char* TMySprachDialog::FindCompText(const std::string& section, const char* text,
                                          bool original, const std::string& file) {
  return engine_.FindCompText(section, text, original, file);
}

const char* TMySprachDialog::FindHint(const std::string& name, const char* text, bool original,
                                      const std::string& file) {
  return engine_.FindHint(name, text, original, file);
}

const char* TMySprachDialog::FindFixText(const char* text, const std::string& file) {
  return engine_.FindFixText(text, file);
}

bool TMySprachDialog::TranslateForm(QWidget* form, bool original) {
  const std::string& file = form == this ? engine_.OwnDialogFile() : engine_.DialogFile();
  WalkForm(engine_, form, original, file, excludedTag_);
  return true;
}

bool TMySprachDialog::FixForm(QWidget* form) {
  const std::string& file = form == this ? engine_.OwnDialogFile() : engine_.DialogFile();
  RecordOriginalTexts(engine_, form, file, excludedTag_);
  return true;
}

std::string TMySprachDialog::FixText(const char* text) {
  return FindFixText(text, engine_.OwnDialogFile());
}

// --- opening ---------------------------------------------------------------

void TMySprachDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) {
    Open();
    TranslateOwnWindow();
  }
}

void TMySprachDialog::Open() {
  closing_ = false;
  for (const char* text : kEditorFixTexts) FixText(text);
  setProperty("Tag", 0);
  current_ = nullptr;
  lastIndex_ = -1;
  target_.clear();
  own_.clear();
  Rebuild(ui_->ListBoxTexte);
  Rebuild(ui_->ListBoxOwn);

  if (control_) AddFormEntries();
  AddFixedTexts(target_, engine_.DialogFile());
  Rebuild(ui_->ListBoxTexte);
  Select(ui_->ListBoxTexte, target_.empty() ? -1 : 0);
  if (target_.empty()) {
    ui_->Edit1->setEnabled(false);
    ui_->ButtonDel->setEnabled(false);
  } else {
    TargetSelectionChanged(false);
  }

  AddOwnEntries();
  AddFixedTexts(own_, engine_.OwnDialogFile());
  Rebuild(ui_->ListBoxOwn);
  Select(ui_->ListBoxOwn, own_.empty() ? -1 : 0);

  const int excluded = excludedTag_;
  excludedTag_ = -1;
  TranslateForm(this, false);
  excludedTag_ = excluded;

  ui_->ListBoxOwn->hide();
  ui_->ListBoxTexte->show();
  Select(ui_->ListBoxTexte, target_.empty() ? -1 : 0);

  ui_->CheckBoxOwnText->setChecked(true);
  OwnTextClick();
  SortClick(2);
  ui_->CheckBoxOwnText->setChecked(false);
  OwnTextClick();
  SortClick(2);
}

std::unique_ptr<TextEntry> TMySprachDialog::LoadEntry(QObject* component,
                                                      const std::string& section,
                                                      const std::string& text, int kind,
                                                      const std::string& file) {
  auto e = std::make_unique<TextEntry>();
  e->Component = component;
  e->Kind = kind;
  e->Section = section;
  if (component) e->ClassName = DescribeComponent(component).className;
  const char* t = text.c_str();
  if (!component)
    e->Translation = text;
  else if (kind == kKindHint)
    e->Translation = FindHint(section, t, false, file);
  else
    e->Translation = FindCompText(section, t, false, file);
  e->SavedTranslation = e->Translation;
  e->Original =
      kind == kKindHint ? FindHint(section, t, true, file) : FindCompText(section, t, true, file);
  return e;
}

void TMySprachDialog::AddFormEntries() {
  const std::string& file = engine_.DialogFile();
  const bool excludable = excludedTag_ != 0;
  const FormComponent self = DescribeForm(control_);
  if (!(excludable && self.tag == excludedTag_))
    target_.push_back(LoadEntry(control_, self.name, Caption(self), kKindComponent, file));
  const std::vector<FormComponent> components = ComponentsOf(control_);
  for (const FormComponent& c : components) {
    if (excludable && c.tag == excludedTag_) continue;
    if (HasPages(c.cls)) {
      for (int i = 0; i < PageCount(c); ++i) {
        const std::string text = PageText(c, i);
        // An empty text is never looked up, so it has no entry to edit.
        if (text.empty()) continue;
        target_.push_back(
            LoadEntry(c.object, c.name + std::to_string(i), text, kKindComponent, file));
        target_.back()->PageIndex = i;
      }
    } else if (HasCaption(c.cls)) {
      const std::string text = Caption(c);
      if (!text.empty()) target_.push_back(LoadEntry(c.object, c.name, text, kKindComponent, file));
    }
  }
  for (const FormComponent& c : components) {
    if (!HasHint(c)) continue;
    const std::string hint = Hint(c);
    if (!hint.empty()) target_.push_back(LoadEntry(c.object, c.name, hint, kKindHint, file));
  }
}

void TMySprachDialog::AddOwnEntries() {
  const std::string& file = engine_.OwnDialogFile();
  const FormComponent self = DescribeForm(this);
  own_.push_back(LoadEntry(this, self.name, Caption(self), kKindComponent, file));
  for (const char* name : kOwnCaptions) {
    QObject* o = findChild<QObject*>(name);
    const FormComponent c = DescribeComponent(o);
    own_.push_back(LoadEntry(o, c.name, Caption(c), kKindComponent, file));
  }
  for (const char* name : kOwnHints) {
    QObject* o = findChild<QObject*>(name);
    const FormComponent c = DescribeComponent(o);
    own_.push_back(LoadEntry(o, c.name, Hint(c), kKindHint, file));
  }
}

void TMySprachDialog::AddFixedTexts(EntryList& list, const std::string& file) {
  std::FILE* f = OpenLanguageFile(file, "rb");
  if (!f) return;
  char line[kLineBufferSize];
  while (readString(f, line, kLineBufferSize)) {
    auto parts = SplitEntryLine(line, kFixPrefix, false);
    if (!parts) continue;
    auto e = std::make_unique<TextEntry>();
    e->Kind = kKindFixed;
    e->Original = parts->key;
    e->Translation = parts->translation.empty() ? parts->key : parts->translation;
    e->SavedTranslation = e->Translation;
    list.push_back(std::move(e));
  }
  std::fclose(f);
}

// --- saving and closing ---------------------------------------------------------

void TMySprachDialog::Save() {
  WriteLanguageFile(engine_.DialogFile(), EntryLines(target_));
  WriteOwnFile(engine_.OwnDialogFile(), EntryLines(own_));
  for (EntryList* list : {&target_, &own_})
    for (auto& e : *list) e->Saved = true;
  setProperty("Tag", 1);
  listChanged_ = false;
}

void TMySprachDialog::FinishClosing() {
  if (closing_) return;
  closing_ = true;
  bool asked = false;
  bool discard = false;
  for (EntryList* list : {&target_, &own_}) {
    for (auto& e : *list) {
      const bool changed = !e->Saved || listChanged_;
      if (!changed) continue;
      if (!asked) {
        asked = true;
        const std::string question = FixText("Do you want to save the changes?");
        const std::string title = FixText("Saving");
        if (ShowMessageBox(title, question, MsgIcon::Question, MsgButtons::YesNo) ==
            MsgResult::Yes) {
          Save();
          return;
        }
        discard = true;
      }
      // The preview goes: every changed component shows its text as loaded.
      if (discard && e->Component) ShowOnComponent(*e, e->SavedTranslation);
    }
  }
}

void TMySprachDialog::closeEvent(QCloseEvent* event) {
  FinishClosing();
  QDialog::closeEvent(event);
}

void TMySprachDialog::reject() {
  FinishClosing();
  QDialog::reject();
}
