#include "language/FormComponents.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTabBar>
#include <QTabWidget>
#include <QWidget>
#include <array>
#include <utility>

#include "platform/Text1252.h"

namespace {

constexpr std::array<std::pair<const char*, VclClass>, 14> kClassTable = {{
    {"TLabel", VclClass::TLabel},
    {"TButton", VclClass::TButton},
    {"TBitBtn", VclClass::TBitBtn},
    {"TSpeedButton", VclClass::TSpeedButton},
    {"TPanel", VclClass::TPanel},
    {"TCheckBox", VclClass::TCheckBox},
    {"TRadioButton", VclClass::TRadioButton},
    {"TGroupBox", VclClass::TGroupBox},
    {"TRadioGroup", VclClass::TRadioGroup},
    {"TStaticText", VclClass::TStaticText},
    {"TTabSheet", VclClass::TTabSheet},
    {"TMenuItem", VclClass::TMenuItem},
    {"TTabbedNotebook", VclClass::TTabbedNotebook},
    {"TTabControl", VclClass::TTabControl},
}};

QString ToQ(const std::string& text) { return QString::fromStdString(Cp1252ToUtf8(text)); }
std::string From(const QString& text) { return Utf8ToCp1252(text.toStdString()); }

VclClass ClassOf(const std::string& name) {
  for (const auto& [n, cls] : kClassTable)
    if (name == n) return cls;
  return VclClass::None;
}

FormComponent Describe(QObject* object) {
  FormComponent c;
  c.object = object;
  c.className = object->property("VclClass").toString().toStdString();
  c.cls = ClassOf(c.className);
  c.name = From(object->objectName());
  c.tag = object->property("Tag").toInt();
  return c;
}

// The page widget of a tab sheet and the notebook that holds it.
std::pair<QTabWidget*, int> SheetPlace(QObject* sheet) {
  auto* page = qobject_cast<QWidget*>(sheet);
  for (QObject* p = sheet ? sheet->parent() : nullptr; p && page; p = p->parent())
    if (auto* tabs = qobject_cast<QTabWidget*>(p)) return {tabs, tabs->indexOf(page)};
  return {nullptr, -1};
}

void AddMenu(QMenu* menu, std::vector<FormComponent>& out);

void AddActions(const QList<QAction*>& actions, std::vector<FormComponent>& out) {
  for (QAction* a : actions) {
    if (auto* sub = a->menu<QMenu*>()) {
      AddMenu(sub, out);
      continue;
    }
    FormComponent c = Describe(a);
    if (c.cls != VclClass::None) out.push_back(c);
  }
}

void AddMenu(QMenu* menu, std::vector<FormComponent>& out) {
  FormComponent c = Describe(menu);
  if (c.cls != VclClass::None) out.push_back(c);
  AddActions(menu->actions(), out);
}

void AddChildren(QObject* parent, std::vector<FormComponent>& out) {
  for (QObject* child : parent->children()) {
    // Menus and their entries are reached through the menu bar, in menu order.
    if (qobject_cast<QAction*>(child) || qobject_cast<QMenu*>(child)) continue;
    if (auto* bar = qobject_cast<QMenuBar*>(child)) {
      AddActions(bar->actions(), out);
      continue;
    }
    if (!child->isWidgetType()) continue;
    FormComponent c = Describe(child);
    if (c.cls != VclClass::None) out.push_back(c);
    // A separate window is another form, with components of its own.
    if (!static_cast<QWidget*>(child)->isWindow()) AddChildren(child, out);
  }
}

QAction* ActionOf(QObject* object) {
  if (auto* menu = qobject_cast<QMenu*>(object)) return menu->menuAction();
  return qobject_cast<QAction*>(object);
}

}  // namespace

FormComponent DescribeForm(QWidget* form) {
  FormComponent c = Describe(form);
  c.cls = VclClass::Form;
  return c;
}

FormComponent DescribeComponent(QObject* object) {
  if (!object) return {};
  if (object->isWidgetType() && static_cast<QWidget*>(object)->isWindow())
    return DescribeForm(static_cast<QWidget*>(object));
  return Describe(object);
}

std::vector<FormComponent> ComponentsOf(QWidget* form) {
  std::vector<FormComponent> out;
  AddChildren(form, out);
  return out;
}

bool HasCaption(VclClass cls) {
  return cls != VclClass::None && cls != VclClass::TTabbedNotebook && cls != VclClass::TTabControl;
}

std::string Caption(const FormComponent& c) {
  QObject* o = c.object;
  if (c.cls == VclClass::Form) return From(static_cast<QWidget*>(o)->windowTitle());
  if (c.cls == VclClass::TTabSheet) {
    auto [tabs, index] = SheetPlace(o);
    return tabs && index >= 0 ? From(tabs->tabText(index)) : std::string();
  }
  if (auto* menu = qobject_cast<QMenu*>(o)) return From(menu->title());
  if (auto* action = qobject_cast<QAction*>(o)) return From(action->text());
  if (auto* label = qobject_cast<QLabel*>(o)) return From(label->text());
  if (auto* button = qobject_cast<QAbstractButton*>(o)) return From(button->text());
  if (auto* box = qobject_cast<QGroupBox*>(o)) return From(box->title());
  return {};
}

void SetCaption(const FormComponent& c, const std::string& text) {
  QObject* o = c.object;
  const QString q = ToQ(text);
  if (c.cls == VclClass::Form) {
    static_cast<QWidget*>(o)->setWindowTitle(q);
  } else if (c.cls == VclClass::TTabSheet) {
    auto [tabs, index] = SheetPlace(o);
    if (tabs && index >= 0) tabs->setTabText(index, q);
  } else if (auto* menu = qobject_cast<QMenu*>(o)) {
    menu->setTitle(q);
  } else if (auto* action = qobject_cast<QAction*>(o)) {
    action->setText(q);
  } else if (auto* label = qobject_cast<QLabel*>(o)) {
    label->setText(q);
  } else if (auto* button = qobject_cast<QAbstractButton*>(o)) {
    button->setText(q);
  } else if (auto* box = qobject_cast<QGroupBox*>(o)) {
    box->setTitle(q);
  }
}

bool HasPages(VclClass cls) {
  return cls == VclClass::TTabbedNotebook || cls == VclClass::TTabControl;
}

int PageCount(const FormComponent& c) {
  if (auto* tabs = qobject_cast<QTabWidget*>(c.object)) return tabs->count();
  if (auto* bar = qobject_cast<QTabBar*>(c.object)) return bar->count();
  return 0;
}

std::string PageText(const FormComponent& c, int index) {
  if (auto* tabs = qobject_cast<QTabWidget*>(c.object)) return From(tabs->tabText(index));
  if (auto* bar = qobject_cast<QTabBar*>(c.object)) return From(bar->tabText(index));
  return {};
}

void SetPageText(const FormComponent& c, int index, const std::string& text) {
  if (index < 0 || index >= PageCount(c)) return;
  if (auto* tabs = qobject_cast<QTabWidget*>(c.object)) tabs->setTabText(index, ToQ(text));
  if (auto* bar = qobject_cast<QTabBar*>(c.object)) bar->setTabText(index, ToQ(text));
}

bool HasHint(const FormComponent& c) {
  switch (c.cls) {
    case VclClass::TMenuItem: return true;
    case VclClass::None:
    case VclClass::TTabSheet:
    case VclClass::TTabbedNotebook:
    case VclClass::TTabControl:
    case VclClass::Form: return false;
    default: {
      const QVariant show = c.object->property("ShowHint");
      return !show.isValid() || show.toBool();
    }
  }
}

std::string Hint(const FormComponent& c) {
  if (QAction* a = ActionOf(c.object)) return From(a->statusTip());
  if (auto* w = qobject_cast<QWidget*>(c.object)) return From(w->toolTip());
  return {};
}

void SetHint(const FormComponent& c, const std::string& text) {
  if (QAction* a = ActionOf(c.object)) {
    a->setStatusTip(ToQ(text));
    a->setToolTip(ToQ(text));
  } else if (auto* w = qobject_cast<QWidget*>(c.object)) {
    w->setToolTip(ToQ(text));
  }
}
