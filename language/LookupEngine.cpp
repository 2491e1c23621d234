#include "language/LookupEngine.h"

#include <cstdio>
#include <filesystem>

#include "language/EntryLine.h"
#include "language/LineReader.h"

namespace {

bool StartsWith(std::string_view line, std::string_view prefix) {
  return line.substr(0, prefix.size()) == prefix;
}

bool SetName(std::string& target, const std::string& name) {
  if (name.size() >= LookupEngine::kNameCapacity) {
    target.clear();
    return false;
  }
  target = name;
  return true;
}

}  // namespace

const char* LookupFixText(ResultRing& ring, const char* text, const std::string& fileName) {
  ring.Begin();
  if (*text != '\0') {
    std::FILE* f = OpenLanguageFile(fileName, "a+b");
    if (!f) return text;
    char line[kLineBufferSize];
    bool found = false;
    while (readString(f, line, kLineBufferSize)) {
      auto parts = SplitEntryLine(line, kFixPrefix, false);
      if (!parts || parts->key != text) continue;
      ring.Fill(parts->translation.empty() ? parts->key : parts->translation);
      found = true;
      break;
    }
    if (!found) {
      AppendEntry(f, kFixPrefix, text);
      ring.Fill(text);
    }
    std::fclose(f);
  }
  return ring.Finish();
}

bool LookupEngine::SetDialogFile(const std::string& name) { return SetName(dialogFile_, name); }
bool LookupEngine::SetOwnDialogFile(const std::string& name) {
  return SetName(ownDialogFile_, name);
}

const char* LookupEngine::FindCompText(std::string_view section, const char* text, bool original,
                                       const std::string& file) {
  if (section.size() >= kNameCapacity) return text;
  return Lookup(CompSection(section), false, text, original, file);
}

const char* LookupEngine::FindHint(std::string_view name, const char* text, bool original,
                                   const std::string& file) {
  if (name.size() >= kNameCapacity) return text;
  return Lookup(HintSection(name), true, text, original, file);
}

const char* LookupEngine::FindFixText(const char* text, const std::string& file) {
  return LookupFixText(ring_, text, file == "." ? dialogFile_ : file);
}

const char* LookupEngine::Lookup(const std::string& prefix, bool hint, const char* text,
                                 bool original, const std::string& file) {
  ring_.Begin();
  if (*text == '\0') return ring_.Finish();
  const std::string& fileName = file == "." ? dialogFile_ : file;
  std::FILE* f = nullptr;
  if (!listMode_) {
    f = OpenLanguageFile(fileName, "a+b");
    if (!f) return text;
  }

  const std::string_view wanted(text);
  bool found = false;
  auto answer = [&](const EntryParts& parts, std::string* listLine) {
    found = true;
    if (original && fixMode_ && parts.key != wanted) {
      changed_ = true;
      ring_.Fill(wanted);
      if (listLine) *listLine = FormatEntry(prefix, wanted, parts.translation);
      return;
    }
    ring_.Fill(original || parts.translation.empty() ? parts.key : parts.translation);
  };

  if (listMode_) {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      if (!StartsWith(lines_[i], prefix)) continue;
      auto parts = SplitEntryLine(lines_[i], prefix, hint);
      if (!parts) continue;
      answer(*parts, &lines_[i]);
      // The line has answered; later lookups of the walk need not see it.
      if (!fixMode_) lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
      break;
    }
  } else {
    char line[kLineBufferSize];
    while (readString(f, line, kLineBufferSize)) {
      auto parts = SplitEntryLine(line, prefix, hint);
      if (!parts) continue;
      answer(*parts, nullptr);
      break;
    }
  }

  if (!found) {
    if (!original) {
      if (f)
        AppendEntry(f, prefix, wanted);
      else
        AppendEntry(fileName, prefix, wanted);
      ring_.Fill(wanted);
    } else if (fixMode_) {
      changed_ = true;
      ring_.Fill(wanted);
      lines_.push_back(FormatEntry(prefix, wanted, {}));
    }
  }
  if (f) std::fclose(f);
  return ring_.Finish();
}

void LookupEngine::BeginWalk(const std::string& file) {
  std::error_code ec;
  if (std::filesystem::exists(file, ec)) {
    lines_ = LoadWholeFile(file);
    listMode_ = true;
  }
}

void LookupEngine::EndWalk() {
  if (!fixMode_) lines_.clear();
  listMode_ = false;
}

void LookupEngine::BeginFix() {
  fixMode_ = true;
  changed_ = false;
}

void LookupEngine::EndFix(const std::string& file) {
  if (changed_) SaveWholeFile(file, lines_);
  lines_.clear();
  fixMode_ = false;
}
