// The editor's format check, sort orders, search and reference files, on
// plain entries.
#include <gtest/gtest.h>

#include "language/EditorOrder.h"
#include "language/FormatCheck.h"
#include "language/ReferenceFiles.h"
#include "tests/support/TempDir.h"

namespace {

TextEntry Entry(const std::string& original, const std::string& translation = "",
                int kind = kKindComponent, const std::string& cls = "") {
  TextEntry e;
  e.Original = original;
  e.Translation = translation.empty() ? original : translation;
  e.Kind = kind;
  e.ClassName = cls;
  // Any non-null marker: sorting only asks whether there is a component.
  if (!cls.empty()) e.Component = reinterpret_cast<QObject*>(1);
  return e;
}

std::vector<std::string> Sorted(std::vector<TextEntry> entries, SortOrder order,
                                SortOptions options = {}) {
  std::vector<TextEntry*> list;
  for (auto& e : entries) list.push_back(&e);
  SortEntries(list, order, options);
  std::vector<std::string> out;
  for (auto* e : list) out.push_back(e->Original);
  return out;
}

using Texts = std::vector<std::string>;

}  // namespace

TEST(FormatCheck, ConversionsMustMatchInLetterOrderAndNumber) {
  EXPECT_TRUE(FormatMatches("%d files in %s", "%d Dateien in %s"));
  EXPECT_FALSE(FormatMatches("%s", "%d"));
  EXPECT_FALSE(FormatMatches("%s %d", "%d %s"));
  EXPECT_FALSE(FormatMatches("%s", "%s %s"));
  EXPECT_FALSE(FormatMatches("%s %s", "%s"));
  // "%%" is no conversion, "%" with another character is skipped with it,
  // a "%" at the very end is none.
  EXPECT_TRUE(FormatMatches("100%% %5", "100 %"));
  EXPECT_FALSE(HasConversion("50%"));
  EXPECT_TRUE(FormatMatches("50%", "50"));
  EXPECT_EQ(ConversionLetters("%%d %-s %X %p"), "Xp");
}

TEST(SortOrders, CaseAndAmpersandCountOnlyWhenChecked) {
  EXPECT_EQ(Sorted({Entry("b"), Entry("A"), Entry("a")}, SortOrder::OriginalText, {false, true}),
            (Texts{"A", "a", "b"}));
  // Without "Upper/Lower" equal texts still change places.
  EXPECT_EQ(Sorted({Entry("b"), Entry("a"), Entry("A")}, SortOrder::OriginalText),
            (Texts{"A", "a", "b"}));
  EXPECT_EQ(Sorted({Entry("&Save"), Entry("Open")}, SortOrder::OriginalText),
            (Texts{"Open", "&Save"}));
  EXPECT_EQ(Sorted({Entry("Save"), Entry("&Open")}, SortOrder::OriginalText, {true, false}),
            (Texts{"&Open", "Save"}));
}

TEST(SortOrders, ComponentTypeGroupsByClassAndUntranslatedComeFirst) {
  EXPECT_EQ(Sorted({Entry("z", "", 0, "TButton"), Entry("Form", "", 0, "TUpdateForm"),
                    Entry("b", "", 0, "TLabel"), Entry("a", "", 0, "TButton"),
                    Entry("g", "", 0, "TGroupBox")},
                   SortOrder::CompType),
            (Texts{"g", "b", "a", "z", "Form"}));
  // Untranslated first, ascending; the translated ones in no particular order.
  const Texts translated =
      Sorted({Entry("x", "X1"), Entry("d"), Entry("y", "Y1"), Entry("c")}, SortOrder::IsTranslated);
  EXPECT_EQ(Texts(translated.begin(), translated.begin() + 2), (Texts{"c", "d"}));
  // A fixed text never moves in front of a component text.
  EXPECT_EQ(
      Sorted({Entry("a", "", kKindComponent), Entry("0", "", kKindFixed)}, SortOrder::OriginalText),
      (Texts{"a", "0"}));
}

TEST(Search, FindsWholeTextsAfterTheSelectionAndEndsOnTheLast) {
  std::vector<TextEntry> e = {Entry("OK"), Entry("&Save"), Entry("Cancel", "ok"), Entry("Ger\xE4t"),
                              Entry("Close")};
  std::vector<const TextEntry*> list;
  for (auto& x : e) list.push_back(&x);
  EXPECT_EQ(SearchNext(list, 0, "ok"), 2);    // by translation
  EXPECT_EQ(SearchNext(list, 2, "ok"), 4);    // no further match: the last
  EXPECT_EQ(SearchNext(list, 4, "ok"), 0);    // from the last: the top again
  EXPECT_EQ(SearchNext(list, 0, "SAVE"), 1);  // "&" left out
  EXPECT_EQ(SearchNext(list, 0, "GER\xC4T"), 3);
  EXPECT_EQ(SearchNext(list, 0, "Sav"), 4);  // parts find nothing
  EXPECT_EQ(SearchNext(list, -1, "OK"), -1);
}

TEST(ReferenceFiles, KeysIgnoreAmpersandBlanksAndCase) {
  TempDir dir;
  dir.Write("a.eng",
            "[Button1]&Speich ern:=&Save\r\n[Fix]Speichern:=Store\r\n"
            "[X]Speichern:=&Save\r\n[Y]Speichern:=\r\n[Z]Other:=No\r\n");
  dir.Write("b.eng", "[Fix]speichern:=Keep\n");
  const std::string key = ReferenceKey("Speichern");
  EXPECT_EQ(key, "SPEICHERN");
  const std::vector<std::string> files = {dir.File("missing"), dir.File("a.eng"),
                                          dir.File("b.eng")};
  EXPECT_EQ(LookupReferences(files, key, false), (Texts{"", "&Save", "Keep", "Store"}));
  EXPECT_EQ(LookupReferences(files, key, true), (Texts{"", "&Save"}));
  EXPECT_EQ(LookupReferences(files, ReferenceKey("Nothing"), true), Texts{""});
  EXPECT_EQ(LookupReferences({}, key, false), Texts{""});
}
