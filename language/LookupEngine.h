#pragma once
// The lookups of the translation engine: component texts and hints, found
// by their section, and fixed texts, found by their wording. A text that a
// file lacks is appended to it with an empty translation, so that running
// the program once in a language lists everything still to translate.
//
// During the walk over a form the whole file is held as a line list (list
// mode); a line that answered a lookup leaves the list, so that later
// lookups scan less. While original texts are recorded (fix mode) the
// list is edited instead and saved afterwards.
#include <string>
#include <string_view>
#include <vector>

#include "language/ResultRing.h"

// Looks up a fixed text in the file: the translation of the first "[Fix]"
// line whose key equals text, the key when the translation is empty. A
// missing text is appended. When the file cannot be opened, text itself is
// returned and nothing is written.
const char* LookupFixText(ResultRing& ring, const char* text, const std::string& fileName);

class LookupEngine {
 public:
  // File and section names hold at most 199 characters.
  static constexpr std::size_t kNameCapacity = 200;

  // A name that does not fit is refused: the name becomes empty, no file
  // of that name is opened and lookups return their text. False then.
  bool SetDialogFile(const std::string& name);
  bool SetOwnDialogFile(const std::string& name);
  const std::string& DialogFile() const { return dialogFile_; }
  const std::string& OwnDialogFile() const { return ownDialogFile_; }

  // In these three, file "." stands for the language file. With original
  // set, the stored key is returned instead of the translation.
  const char* FindCompText(std::string_view section, const char* text, bool original,
                           const std::string& file);
  const char* FindHint(std::string_view name, const char* text, bool original,
                       const std::string& file);
  const char* FindFixText(const char* text, const std::string& file);

  // One walk over a form: the file's lines become the line list when the
  // file exists.
  void BeginWalk(const std::string& file);
  void EndWalk();
  // Recording original texts around a walk; EndFix saves the line list
  // over file when an entry was added or its key was out of date.
  void BeginFix();
  void EndFix(const std::string& file);

  bool ListMode() const { return listMode_; }
  bool FixMode() const { return fixMode_; }
  bool Changed() const { return changed_; }
  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  const char* Lookup(const std::string& prefix, bool hint, const char* text, bool original,
                     const std::string& file);

  std::string dialogFile_;
  std::string ownDialogFile_ = "own.lng";
  ResultRing ring_;
  std::vector<std::string> lines_;
  bool listMode_ = false;
  bool fixMode_ = false;
  bool changed_ = false;
};
