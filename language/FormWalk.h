#pragma once
// The walk over a form that translates it, or records its current texts
// as the original texts of the file.
#include <string>

#include "language/LookupEngine.h"

class QWidget;

// Translates the form's caption, the captions of its components (not of
// those whose Tag equals excludedTag, unless that is 0) and then their
// hints from file. With original set every text becomes the stored key.
void WalkForm(LookupEngine& engine, QWidget* form, bool original, const std::string& file,
              int excludedTag);

// Records the form's current texts as keys in file: outdated keys are
// rewritten in place, missing entries appended, and the file is saved
// only when something changed.
void RecordOriginalTexts(LookupEngine& engine, QWidget* form, const std::string& file,
                         int excludedTag);
