#pragma once
// MSP430 firmware images in TI-TXT form, cut into the blocks that one
// bootstrap-loader frame carries. Pure functions of the file text: nothing
// here touches a port.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One frame's worth of image data. Blocks above 64 KiB keep the address
// minus 0x10000; the loader reaches them through its memory offset.
struct BslBlock {
  static constexpr int kMaxData = 246;

  uint16_t address = 0;
  uint16_t size = 4;  // 4 + data bytes: the address and size fields count
  bool high = false;  // the data lie at address + 0x10000
  std::array<uint8_t, kMaxData> data{};

  int DataLength() const { return size - 4; }
  // First address past the data, as stored (without the high step).
  int32_t End() const { return address + DataLength(); }
  uint32_t FullAddress() const { return address + (high ? 0x10000u : 0u); }
};

struct BslImage {
  std::vector<BslBlock> blocks;
  int firstHighBlock = -1;  // first block above 0xFFFF, -1 when none

  int LastBlock() const { return static_cast<int>(blocks.size()) - 1; }
};

// What a table may hold: the firmware image and the loader patch differ.
struct BslImageLimits {
  std::size_t maxFileBytes;
  std::size_t maxBlocks;
  // The erase runs down to block 1, so a firmware image needs two blocks,
  // and the new firmware is started through its reset vector.
  bool firmware;
};
inline constexpr BslImageLimits kFirmwareImageLimits{400000, 1024, true};
inline constexpr BslImageLimits kPatchImageLimits{2000, 20, false};

enum class BslImageFault {
  None,
  Unreadable,
  FileTooLarge,
  TooManyBlocks,
  LineTooLong,
  BadByte,
  AddressTooHigh,
  DataBeforeSection,
  SectionAddressTooLong,
  BadSectionAddress,
  NoData,
  SingleBlock,
  NoResetVector,
  NotRegularFile,     // a directory, FIFO or device in place of the file
  OddSectionAddress,  // the loader writes words: a byte alone cannot land
  OverlappingSections,
  NotErased,  // data in a flash segment the erase sequence leaves as it is
};

struct BslImageResult {
  BslImageFault fault = BslImageFault::None;
  int lastBlock = -1;
  int line = 0;          // 1-based line of the fault, 0 when it concerns the whole file
  int32_t address = -1;  // the address the fault concerns, -1 when none

  bool ok() const { return fault == BslImageFault::None; }
};

// Builds the block table from the file text. A refused text leaves the image
// empty: nothing of a broken file may reach the meter.
BslImageResult ReadBslImage(std::string_view text, const BslImageLimits& limits, BslImage& image);
// Reads the file whole (refusing anything but a regular file no larger than
// the limit), then as above.
BslImageResult LoadBslImage(const std::string& fileName, const BslImageLimits& limits,
                            BslImage& image);

// The word at 0xFFFE (the reset vector) as the image holds it, or -1.
int32_t ResetVector(const BslImage& image);

// The refusal for the user: file name, line and reason, German (0) or English.
std::string BslImageFaultText(const BslImageResult& result, const std::string& fileName,
                              int language);
