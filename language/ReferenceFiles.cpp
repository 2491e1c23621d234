#include "language/ReferenceFiles.h"

#include <algorithm>
#include <cstdio>

#include "language/EntryLine.h"
#include "language/LineReader.h"
#include "language/TextCase.h"

namespace {

constexpr int kReferenceLineSize = 2000;

bool LessIgnoringCase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return static_cast<unsigned char>(AnsiUpper(std::string_view(&x, 1))[0]) <
           static_cast<unsigned char>(AnsiUpper(std::string_view(&y, 1))[0]);
  });
}

}  // namespace

std::vector<std::string>& ReferenceFileList() {
  static std::vector<std::string> files;
  return files;
}

std::string ReferenceKey(std::string_view original) {
  return CharUpper(WithoutChars(original, "& "));
}

std::vector<std::string> LookupReferences(const std::vector<std::string>& files,
                                          const std::string& key, bool automatic) {
  std::vector<std::string> results{""};
  for (const auto& name : files) {
    std::FILE* f = OpenLanguageFile(name, "rb");
    if (!f) continue;
    char buffer[kReferenceLineSize];
    while (std::fgets(buffer, sizeof buffer, f)) {
      const std::string_view line(buffer);
      const std::size_t bracket = line.find(']');
      const std::size_t sep = line.find(kSeparator);
      if (bracket == std::string_view::npos || sep == std::string_view::npos || sep <= bracket)
        continue;
      // Line ends of either kind are no part of a translation.
      const std::string translation = WithoutChars(line.substr(sep + kSeparator.size()), "\r\n");
      if (translation.empty()) continue;
      if (ReferenceKey(line.substr(bracket + 1, sep - bracket - 1)) != key) continue;
      if (std::find(results.begin(), results.end(), translation) != results.end()) continue;
      results.push_back(translation);
      if (automatic) break;
    }
    std::fclose(f);
    if (automatic && results.size() == 2) break;
  }
  std::sort(results.begin() + 1, results.end(), LessIgnoringCase);
  return results;
}
