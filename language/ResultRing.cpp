#include "language/ResultRing.h"

#include <cstring>

char* ResultRing::Begin() {
  if (index_ > kSlots - 1) index_ = 0;
  slots_[index_][0] = '\0';
  return slots_[index_];
}

void ResultRing::Fill(std::string_view text) {
  const std::size_t n = text.size() < kSlotSize - 1 ? text.size() : kSlotSize - 1;
  std::memcpy(slots_[index_], text.data(), n);
  slots_[index_][n] = '\0';
}

const char* ResultRing::Finish() { return slots_[index_++]; }
