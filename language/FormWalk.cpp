#include "language/FormWalk.h"

#include <QWidget>
#include <functional>

#include "language/FormComponents.h"

namespace {

bool Excluded(int tag, int excludedTag) { return tag == excludedTag && excludedTag != 0; }

// An empty answer only comes from a text without entry while originals
// are asked for outside recording; the text then keeps its value.
void Apply(const char* result, const std::string& current,
           const std::function<void(const std::string&)>& set) {
  if (*result != '\0' && current != result) set(result);
}

}  // namespace

void WalkForm(LookupEngine& engine, QWidget* form, bool original, const std::string& file,
              int excludedTag) {
  engine.BeginWalk(file);
  const FormComponent self = DescribeForm(form);
  if (!Excluded(self.tag, excludedTag)) {
    const std::string caption = Caption(self);
    Apply(engine.FindCompText(self.name, caption.c_str(), original, file), caption,
          [&](const std::string& t) { SetCaption(self, t); });
  }
  const std::vector<FormComponent> components = ComponentsOf(form);
  for (const FormComponent& c : components) {
    if (Excluded(c.tag, excludedTag)) continue;
    if (HasPages(c.cls)) {
      for (int i = 0; i < PageCount(c); ++i) {
        const std::string text = PageText(c, i);
        Apply(engine.FindCompText(c.name + std::to_string(i), text.c_str(), original, file), text,
              [&](const std::string& t) { SetPageText(c, i, t); });
      }
    } else if (HasCaption(c.cls)) {
      const std::string text = Caption(c);
      Apply(engine.FindCompText(c.name, text.c_str(), original, file), text,
            [&](const std::string& t) { SetCaption(c, t); });
    }
  }
  for (const FormComponent& c : components) {
    if (!HasHint(c)) continue;
    const std::string hint = Hint(c);
    if (hint.empty()) continue;
    Apply(engine.FindHint(c.name, hint.c_str(), original, file), hint,
          [&](const std::string& t) { SetHint(c, t); });
  }
  engine.EndWalk();
}

void RecordOriginalTexts(LookupEngine& engine, QWidget* form, const std::string& file,
                         int excludedTag) {
  engine.BeginFix();
  WalkForm(engine, form, true, file, excludedTag);
  engine.EndFix(file);
}
