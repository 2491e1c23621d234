#include "language/EditorOrder.h"

#include <array>

#include "language/TextCase.h"

namespace {

constexpr std::size_t kSortTextLimit = 999;

constexpr std::array<std::string_view, 14> kClassOrder = {
    "TTabbedNotebook", "TGroupBox",   "TLabel",       "TButton", "TCheckBox",
    "TRadioButton",    "TStaticText", "TMenuItem",    "TPanel",  "TRadioGroup",
    "TTabControl",     "TTabSheet",   "TSpeedButton", "TBitBtn"};

// Byte-wise comparison as unsigned characters.
int Compare(const std::string& a, const std::string& b) {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t k = 0; k < n; ++k) {
    const auto x = static_cast<unsigned char>(a[k]);
    const auto y = static_cast<unsigned char>(b[k]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::string SearchForm(std::string_view text, bool ansi) {
  return WithoutChars(ansi ? AnsiUpper(text) : CharUpper(text), "&");
}

}  // namespace

std::string SortText(std::string_view text, SortOptions options) {
  std::string s(text.substr(0, kSortTextLimit));
  if (!options.upperLower) s = CharUpper(s);
  if (!options.significant) s = WithoutChars(s, "&");
  return s;
}

int ClassRank(std::string_view className) {
  for (std::size_t k = 0; k < kClassOrder.size(); ++k)
    if (kClassOrder[k] == className) return static_cast<int>(k);
  return static_cast<int>(kClassOrder.size());
}

bool GoesAfter(SortOrder order, const TextEntry& i, const TextEntry& j, SortOptions options) {
  if (i.Kind < j.Kind) return false;
  auto originalAfter = [&] {
    return Compare(SortText(i.Original, options), SortText(j.Original, options)) >= 0;
  };
  switch (order) {
    case SortOrder::OriginalText: return originalAfter();
    case SortOrder::CompType:
      if (i.Component && j.Component && i.ClassName != j.ClassName)
        return ClassRank(i.ClassName) > ClassRank(j.ClassName);
      return originalAfter();
    case SortOrder::IsTranslated: {
      const bool ui = i.Translation == i.Original;
      const bool uj = j.Translation == j.Original;
      if (ui && uj)
        return Compare(SortText(i.Translation, options), SortText(j.Translation, options)) >= 0;
      if (ui) return false;
      return uj;
    }
  }
  return false;
}

void SortEntries(std::vector<TextEntry*>& entries, SortOrder order, SortOptions options) {
  for (std::size_t i = 0; i + 1 < entries.size(); ++i)
    for (std::size_t j = i + 1; j < entries.size(); ++j)
      if (GoesAfter(order, *entries[i], *entries[j], options)) std::swap(entries[i], entries[j]);
}

int SearchNext(const std::vector<const TextEntry*>& entries, int selected,
               std::string_view searchText) {
  if (selected < 0 || entries.empty()) return -1;
  const int last = static_cast<int>(entries.size()) - 1;
  if (selected >= last) selected = -1;
  const std::string wanted = SearchForm(searchText, true);
  for (int k = selected + 1; k <= last; ++k) {
    const TextEntry& e = *entries[static_cast<std::size_t>(k)];
    if (SearchForm(e.Original, true) == wanted) return k;
    if (SearchForm(e.Translation, false) == wanted) return k;
  }
  return last;
}
