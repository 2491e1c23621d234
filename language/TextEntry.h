#pragma once
// One text of the translation editor's lists: the original text (the key
// of its entry in the file) and its translation, with the component that
// shows it. Plain data, so that sorting and searching need no widgets.
#include <string>

class QObject;

enum TextKind : int { kKindComponent = 0, kKindHint = 1, kKindFixed = 2 };

struct TextEntry {
  QObject* Component = nullptr;  // none for a fixed text
  std::string ClassName;         // the component's described class (TButton …)
  std::string Section;           // section name: Name, or Name and page index
  std::string Original;          // the item string: the key in the file
  std::string Translation;
  std::string SavedTranslation;  // as loaded; put back when the user discards
  int PageIndex = 0;             // page of a notebook, tab of a tab control
  bool Saved = true;
  int Kind = kKindComponent;
};
