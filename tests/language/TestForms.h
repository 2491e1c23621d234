#pragma once
// A small form with one component of each kind the translation knows, and
// a message-box sink that records what the editor asks.
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QWidget>
#include <map>
#include <string>
#include <vector>

#include "platform/Dialogs.h"

inline QObject* Designed(QObject* o, const char* name, const char* cls, int tag = 0) {
  o->setObjectName(name);
  if (cls) o->setProperty("VclClass", cls);
  if (tag) o->setProperty("Tag", tag);
  return o;
}

struct TestForm {
  TestForm() {
    Designed(&form, "TestForm", "TTestForm");
    form.setWindowTitle("Test window");
    label = new QLabel("Name", &form);
    Designed(label, "Label1", "TLabel");
    label->setToolTip("The name");
    button = new QPushButton("&OK", &form);
    Designed(button, "Button1", "TButton");
    button->setToolTip("Press it");
    // A class of its own: not a TButton for the translation.
    derived = new QPushButton("Derived", &form);
    Designed(derived, "Derived1", "TMyButton");
    radioGroup = new QGroupBox("Choice", &form);
    Designed(radioGroup, "RadioGroup1", "TRadioGroup");
    item = new QRadioButton("Item A", radioGroup);
    tagged = new QLabel("Fixed", &form);
    Designed(tagged, "Tagged1", "TLabel", -1);
    tagged->setToolTip("Tagged hint");
    empty = new QLabel("", &form);
    Designed(empty, "Empty1", "TLabel");
    notebook = new QTabWidget(&form);
    Designed(notebook, "NB", "TTabbedNotebook");
    notebook->addTab(new QWidget, "One");
    notebook->addTab(new QWidget, "Two");
    pages = new QTabWidget(&form);
    pages->setObjectName("Pages");
    sheet = new QWidget;
    Designed(sheet, "Sheet1", "TTabSheet");
    pages->addTab(sheet, "Sheet");
    quiet = new QPushButton("OK", &form);
    Designed(quiet, "Quiet1", "TButton");
    quiet->setToolTip("hidden");
    quiet->setProperty("ShowHint", false);
  }

  QWidget form;
  QLabel* label;
  QPushButton* button;
  QPushButton* derived;
  QGroupBox* radioGroup;
  QRadioButton* item;
  QLabel* tagged;
  QLabel* empty;
  QTabWidget* notebook;
  QTabWidget* pages;
  QWidget* sheet;
  QPushButton* quiet;
};

// What TranslateDialog writes for the form into a file that did not exist.
inline const char* kTestFormEntries =
    "[TestForm]Test window:=\r\n"
    "[Label1]Name:=\r\n"
    "[Button1]&OK:=\r\n"
    "[RadioGroup1]Choice:=\r\n"
    "[NB0]One:=\r\n"
    "[NB1]Two:=\r\n"
    "[Sheet1]Sheet:=\r\n"
    "[Quiet1]OK:=\r\n"
    "[Hint][Label1]The name:=\r\n"
    "[Hint][Button1]Press it:=\r\n"
    "[Hint][Tagged1]Tagged hint:=\r\n";

class AnswerSink : public DialogSink {
 public:
  AnswerSink() { previous_ = SetDialogSink(this); }
  ~AnswerSink() override { SetDialogSink(previous_); }
  MsgResult Show(const std::string& caption, const std::string& text, MsgIcon,
                 MsgButtons buttons) override {
    boxes.push_back(caption + "|" + text);
    if (buttons != MsgButtons::YesNo) return MsgResult::Ok;
    auto it = answers.find(caption);
    return it != answers.end() && it->second ? MsgResult::Yes : MsgResult::No;
  }
  std::map<std::string, bool> answers;  // by caption: Yes when true
  std::vector<std::string> boxes;

 private:
  DialogSink* previous_ = nullptr;
};
