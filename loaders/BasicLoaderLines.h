#pragma once
// The fixed text lines of the instruments' Basic-Loader and the buffer in
// which the received text waits until a whole line can be recognised.
// Plain C++: no port, no queue.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/WorkflowCodes.h"  // LoaderLineCode: the event codes the lines stand for

struct LoaderLine {
  std::string_view text;
  int32_t code;
};

// In the order they are looked for; that order, not the order of arrival,
// decides the order of the events of one pass.
inline constexpr std::array<LoaderLine, 16> kLoaderLines{{
    {"Basic-Loader  |", LoaderLineCode::kBanner},
    {"Basic-Loader / 1.01", LoaderLineCode::kVersion},
    {"Basic-Loader / 1.02", LoaderLineCode::kVersion},
    {"Flash-Memory erased !", LoaderLineCode::kErased},
    {"Flash-Memory (1/2) erased !", LoaderLineCode::kHalfErased},
    {"Flash-Memory programmed", LoaderLineCode::kProgrammed},
    {"Waiting for S-Record !", LoaderLineCode::kWaitingForRecords},
    {"S-Record defect!", LoaderLineCode::kRecordDefect},
    {"Record defekt!", LoaderLineCode::kRecordDefect},
    {"Ready PC ?  Seg=0", LoaderLineCode::kReadySegment0},
    {"Ready PC ?  Seg=1", LoaderLineCode::kReadySegment1},
    {"Erasing Flash-Memory (1) !", LoaderLineCode::kErasing},
    {"Erasing Flash-Memory (2) !", LoaderLineCode::kErasing},
    {"Flash-Memory (1) programmed !", LoaderLineCode::kProgrammed},
    {"Flash-Memory (2) programmed !", LoaderLineCode::kProgrammed},
    // Sent by old loaders in place of a programmed text.
    {std::string_view("\xA1\x48\x20\x14", 4), LoaderLineCode::kProgrammed},
}};

class LoaderLineBuffer {
 public:
  // 4003 bytes with the terminating NUL.
  static constexpr std::size_t kCapacity = 4003;
  static constexpr std::size_t kTextCapacity = kCapacity - 1;

  // Makes room for a read of `count` bytes (at most kTextCapacity). Text
  // that never matched a line would otherwise pile up until a read no
  // longer fits: the oldest bytes are dropped, since a line that is still
  // to be completed can only be at the end.
  void MakeRoom(std::size_t count);
  // Where a read of up to `count` bytes goes, after MakeRoom(count).
  char* WriteArea() { return text_.data() + fill_; }
  // The read put `count` bytes at WriteArea().
  void Commit(std::size_t count);
  // MakeRoom, copy and Commit in one (for bytes already at hand).
  void Append(std::string_view bytes);

  // One pass over the table: each line found is removed (exactly its
  // bytes; the text behind it closes up) and its entry added to `found`,
  // in table order. Each entry is looked for once, so a line received
  // twice is found again in the next pass.
  void Scan(std::vector<const LoaderLine*>& found);

  std::string_view Text() const { return {text_.data(), fill_}; }
  std::size_t Fill() const { return fill_; }
  void Clear();

 private:
  std::array<char, kCapacity> text_{};
  std::size_t fill_ = 0;
};
