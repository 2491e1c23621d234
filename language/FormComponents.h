#pragma once
// The components of a form as the translation sees them. Each designed
// component carries its described class in the dynamic property
// "VclClass" (set in the .ui file), its Tag in "Tag" and its Name as
// objectName. Only the property decides the class: a widget without it,
// or with a class the table does not know, is not translated, so a
// derived control never passes for its base class.
//
// Which Qt object plays which class:
//   TLabel, TStaticText, TPanel        QLabel (a QFrame for a panel without text)
//   TButton, TBitBtn, TSpeedButton,
//   TCheckBox, TRadioButton            QAbstractButton
//   TGroupBox, TRadioGroup             QGroupBox
//   TMenuItem                          QAction, or QMenu for a submenu
//   TTabbedNotebook                    QTabWidget (its pages)
//   TTabControl                        QTabBar (its tabs)
//   TTabSheet                          a page widget of a QTabWidget
//   the form                           the top-level widget; its class is any
//                                      other name (TUpdateForm …)
// Hints are tool tips; for menu items the status tip (and tool tip).
// Texts cross this boundary as Windows-1252 byte strings.
#include <string>
#include <vector>

class QObject;
class QWidget;

enum class VclClass {
  None,
  TLabel,
  TButton,
  TBitBtn,
  TSpeedButton,
  TPanel,
  TCheckBox,
  TRadioButton,
  TGroupBox,
  TRadioGroup,
  TStaticText,
  TTabSheet,
  TMenuItem,
  TTabbedNotebook,
  TTabControl,
  Form,
};

struct FormComponent {
  QObject* object = nullptr;
  VclClass cls = VclClass::None;
  std::string className;  // as in the .ui file
  std::string name;       // Windows-1252
  int tag = 0;
};

// The form itself as a component.
FormComponent DescribeForm(QWidget* form);
// Any designed object; a window is described as a form.
FormComponent DescribeComponent(QObject* object);
// The components the form owns, in the order of the form as designed:
// widgets depth first as the .ui file lists them, then the main menu in
// menu order. Only objects with a known described class.
std::vector<FormComponent> ComponentsOf(QWidget* form);

// Captions: every class but TTabbedNotebook and TTabControl has one.
bool HasCaption(VclClass cls);
std::string Caption(const FormComponent& c);
void SetCaption(const FormComponent& c, const std::string& text);

// Pages of a TTabbedNotebook, tabs of a TTabControl.
bool HasPages(VclClass cls);
int PageCount(const FormComponent& c);
std::string PageText(const FormComponent& c, int index);
void SetPageText(const FormComponent& c, int index, const std::string& text);

// Hints: the controls with ShowHint (dynamic property, true unless set
// false) and menu items. Tab sheets, notebooks and forms have none here.
bool HasHint(const FormComponent& c);
std::string Hint(const FormComponent& c);
void SetHint(const FormComponent& c, const std::string& text);
