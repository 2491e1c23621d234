#pragma once
// Five result buffers used in turn: a lookup's result stays valid until
// five further lookups on the same ring have been made, so that a caller
// can hold a few translated texts at once without copying them.
#include <cstddef>
#include <string_view>

class ResultRing {
 public:
  static constexpr int kSlots = 5;
  static constexpr std::size_t kSlotSize = 1000;

  // Wraps the index and empties the current slot.
  char* Begin();
  // Copies text into the current slot. A text longer than 999 bytes (a
  // whole-file line may be) is cut: the slot is never overrun.
  void Fill(std::string_view text);
  // The current slot; the next lookup uses the following one.
  const char* Finish();
  int Index() const { return index_; }

 private:
  char slots_[kSlots][kSlotSize] = {};
  int index_ = 0;
};
