#pragma once
// The editor's three sort orders and its search, on plain text entries.
#include <string>
#include <string_view>
#include <vector>

#include "language/TextEntry.h"

enum class SortOrder { OriginalText, IsTranslated, CompType };

struct SortOptions {
  bool significant = false;  // "&" counts
  bool upperLower = false;   // case counts
};

// The text as the comparisons see it: at most 999 characters, upper-cased
// unless case counts, without "&" unless it counts.
std::string SortText(std::string_view text, SortOptions options);

// Rank of a described class in the "component type" order; forms and any
// other class come after the listed ones.
int ClassRank(std::string_view className);

// Whether entry i goes after entry j. Equal texts count as going after.
bool GoesAfter(SortOrder order, const TextEntry& i, const TextEntry& j, SortOptions options);

// The exchange sort of the editor: for every i and every later j, i and j
// change places when i goes after j. Items of equal keys therefore move.
void SortEntries(std::vector<TextEntry*>& entries, SortOrder order, SortOptions options);

// The next entry after selected whose original text (locale-aware upper
// case) or translation (plain upper case) equals the search text as a
// whole, "&" left out. After the last item the search starts at the top;
// without a match the last item. -1 when nothing is selected.
int SearchNext(const std::vector<const TextEntry*>& entries, int selected,
               std::string_view searchText);
