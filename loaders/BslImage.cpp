#include "loaders/BslImage.h"

#include <algorithm>

#include "platform/BoundedFile.h"

namespace {

constexpr int kLinesPerBlock = 15;  // 15 lines of 16 bytes fill one frame
constexpr int kMaxLineBytes = 16;
constexpr std::size_t kMaxSectionAddressChars = 16;
constexpr uint32_t kHighBase = 0x10000;
constexpr uint32_t kAddressLimit = 0x20000;  // one 64 KiB step above the base
constexpr int32_t kTopSegment = 0xFE00;      // interrupt vectors and reset

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Fills the table block by block while the text is read line by line.
class BlockBuilder {
 public:
  BlockBuilder(const BslImageLimits& limits, BslImage& image) : limits_(limits), image_(image) {}

  BslImageFault StartSection(uint32_t address, int line) {
    if (address >= kAddressLimit) return BslImageFault::AddressTooHigh;
    // A block that starts on an odd address would be padded into the
    // neighbouring word, or split at 0x10000 into a one-byte block.
    if (address % 2 != 0) return BslImageFault::OddSectionAddress;
    sectionLine_ = line;
    // The loader writes words: a block must not end on half a word.
    if (open_ && Current().DataLength() % 2 != 0) Append(0xFF, /*count=*/false);
    open_ = false;
    next_ = address;
    inSection_ = true;
    return BslImageFault::None;
  }

  bool InSection() const { return inSection_; }
  // The line of the section each block belongs to.
  const std::vector<int>& BlockLines() const { return blockLines_; }

  BslImageFault AddLine(const uint8_t* bytes, int count) {
    for (int i = 0; i < count; ++i) {
      if (next_ >= kAddressLimit) return BslImageFault::AddressTooHigh;
      // Data running across 0x10000 continue in a block of their own, which
      // the loader reaches through its memory offset.
      if (open_ && !Current().high && next_ == kHighBase) open_ = false;
      if (!open_ && !OpenBlock()) return BslImageFault::TooManyBlocks;
      Append(bytes[i], /*count=*/true);
    }
    if (count > 0 && ++lines_ == kLinesPerBlock) return CutBlock();
    return BslImageFault::None;
  }

  void Finish() {
    if (open_ && Current().DataLength() % 2 != 0) Append(0xFF, /*count=*/false);
    open_ = false;
  }

 private:
  BslBlock& Current() { return image_.blocks.back(); }

  bool OpenBlock() {
    if (image_.blocks.size() >= limits_.maxBlocks) return false;
    BslBlock block;
    block.high = next_ >= kHighBase;
    block.address = static_cast<uint16_t>(next_ - (block.high ? kHighBase : 0));
    image_.blocks.push_back(block);
    blockLines_.push_back(sectionLine_);
    if (block.high && image_.firstHighBlock < 0) image_.firstHighBlock = image_.LastBlock();
    open_ = true;
    lines_ = 0;
    return true;
  }

  // A pad byte lies beyond the data and does not advance the address.
  void Append(uint8_t byte, bool count) {
    BslBlock& block = Current();
    block.data[static_cast<std::size_t>(block.DataLength())] = byte;
    ++block.size;
    if (count) ++next_;
  }

  // A full block is closed. An odd last byte moves on into the next block
  // instead of being padded: a pad byte here would shift every following
  // byte of the section by one address.
  BslImageFault CutBlock() {
    BslBlock& block = Current();
    open_ = false;
    if (block.DataLength() % 2 == 0) return BslImageFault::None;
    const uint8_t carried = block.data[static_cast<std::size_t>(block.DataLength() - 1)];
    --block.size;
    --next_;
    if (!OpenBlock()) return BslImageFault::TooManyBlocks;
    Append(carried, /*count=*/true);
    return BslImageFault::None;
  }

  const BslImageLimits& limits_;
  BslImage& image_;
  bool inSection_ = false;
  bool open_ = false;
  uint32_t next_ = 0;  // full address of the next data byte
  int lines_ = 0;      // data lines in the open block
  int sectionLine_ = 0;
  std::vector<int> blockLines_;
};

// Two sections that write the same address would leave whichever came
// last: the image does not say which byte is meant. Finds the later
// section of the first overlap; false when there is none.
bool FindOverlap(const BslImage& image, const std::vector<int>& blockLines, int& line,
                 uint32_t& address) {
  std::vector<std::size_t> order(image.blocks.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  auto start = [&](std::size_t i) { return image.blocks[i].FullAddress(); };
  auto end = [&](std::size_t i) {
    return start(i) + static_cast<uint32_t>(image.blocks[i].DataLength());
  };
  std::sort(order.begin(), order.end(),
            [&](std::size_t a, std::size_t b) { return start(a) < start(b); });
  for (std::size_t k = 1; k < order.size(); ++k) {
    const std::size_t before = order[k - 1];
    const std::size_t here = order[k];
    if (start(here) >= end(before)) continue;
    line = std::max(blockLines[before], blockLines[here]);
    address = start(here);
    return true;
  }
  return false;
}

// Splits one data line into bytes of exactly two hexadecimal digits.
BslImageFault ParseDataLine(std::string_view line, uint8_t (&bytes)[kMaxLineBytes], int& count) {
  count = 0;
  std::size_t i = 0;
  while (i < line.size()) {
    if (IsBlank(line[i])) {
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < line.size() && !IsBlank(line[end])) ++end;
    const std::string_view token = line.substr(i, end - i);
    if (token.size() != 2 || HexDigit(token[0]) < 0 || HexDigit(token[1]) < 0)
      return BslImageFault::BadByte;
    if (count == kMaxLineBytes) return BslImageFault::LineTooLong;
    bytes[count++] = static_cast<uint8_t>(HexDigit(token[0]) * 16 + HexDigit(token[1]));
    i = end;
  }
  return BslImageFault::None;
}

BslImageFault ParseSectionAddress(std::string_view text, uint32_t& address) {
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  if (text.size() > kMaxSectionAddressChars) return BslImageFault::SectionAddressTooLong;
  if (text.empty()) return BslImageFault::BadSectionAddress;
  uint64_t value = 0;
  for (char c : text) {
    const int digit = HexDigit(c);
    if (digit < 0) return BslImageFault::BadSectionAddress;
    value = value * 16 + static_cast<uint64_t>(digit);
    if (value >= kAddressLimit) return BslImageFault::AddressTooHigh;
  }
  address = static_cast<uint32_t>(value);
  return BslImageFault::None;
}

// With high memory present the blocks of the top segment go last: the
// reset vector must be written after everything it may jump into.
void MoveTopSegmentBehindHighBlocks(BslImage& image) {
  if (image.firstHighBlock <= 0) return;
  auto& blocks = image.blocks;
  for (int i = 0; i < image.LastBlock();) {
    const BslBlock& block = blocks[static_cast<std::size_t>(i)];
    if (i < image.firstHighBlock && !block.high && block.End() >= kTopSegment) {
      std::rotate(blocks.begin() + i, blocks.begin() + i + 1, blocks.end());
      --image.firstHighBlock;
    } else {
      ++i;
    }
  }
}

}  // namespace

BslImageResult ReadBslImage(std::string_view text, const BslImageLimits& limits, BslImage& image) {
  image = BslImage{};
  BlockBuilder builder(limits, image);
  BslImageResult result;
  auto refuse = [&](BslImageFault fault, int line, int32_t address = -1) {
    image = BslImage{};
    result.fault = fault;
    result.line = line;
    result.address = address;
    result.lastBlock = -1;
    return result;
  };

  // "q" ends the image wherever it stands.
  const std::size_t quit = text.find('q');
  if (quit != std::string_view::npos) text = text.substr(0, quit);

  // Lines end with CR LF as the format has them; LF or CR alone are taken as
  // well, so that files written on other systems are not misread.
  int lineNumber = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(pos, end - pos);
    pos = end;
    if (pos < text.size() && text[pos] == '\r') ++pos;
    if (pos < text.size() && text[pos] == '\n') ++pos;
    ++lineNumber;

    BslImageFault fault = BslImageFault::None;
    if (!line.empty() && line[0] == '@') {
      uint32_t address = 0;
      fault = ParseSectionAddress(line.substr(1), address);
      if (fault == BslImageFault::None) fault = builder.StartSection(address, lineNumber);
      if (fault == BslImageFault::OddSectionAddress)
        return refuse(fault, lineNumber, static_cast<int32_t>(address));
    } else {
      uint8_t bytes[kMaxLineBytes];
      int count = 0;
      fault = ParseDataLine(line, bytes, count);
      if (fault == BslImageFault::None && count > 0 && !builder.InSection())
        fault = BslImageFault::DataBeforeSection;
      if (fault == BslImageFault::None) fault = builder.AddLine(bytes, count);
    }
    if (fault != BslImageFault::None) return refuse(fault, lineNumber);
  }
  builder.Finish();

  if (image.blocks.empty()) return refuse(BslImageFault::NoData, 0);
  int overlapLine = 0;
  uint32_t overlapAddress = 0;
  if (FindOverlap(image, builder.BlockLines(), overlapLine, overlapAddress))
    return refuse(BslImageFault::OverlappingSections, overlapLine,
                  static_cast<int32_t>(overlapAddress));
  if (limits.firmware && image.blocks.size() < 2) return refuse(BslImageFault::SingleBlock, 0);
  if (limits.firmware && ResetVector(image) < 0) return refuse(BslImageFault::NoResetVector, 0);
  MoveTopSegmentBehindHighBlocks(image);
  result.lastBlock = image.LastBlock();
  return result;
}

int32_t ResetVector(const BslImage& image) {
  constexpr int32_t kResetVector = 0xFFFE;
  int low = -1;
  int high = -1;
  for (const BslBlock& block : image.blocks) {
    if (block.high) continue;
    for (int32_t a : {kResetVector, kResetVector + 1}) {
      if (a >= block.address && a < block.End()) {
        const int value = block.data[static_cast<std::size_t>(a - block.address)];
        (a == kResetVector ? low : high) = value;
      }
    }
  }
  return low < 0 || high < 0 ? -1 : low | high << 8;
}

BslImageResult LoadBslImage(const std::string& fileName, const BslImageLimits& limits,
                            BslImage& image) {
  image = BslImage{};
  BslImageResult result;
  std::string text;
  const FileCheck check = ReadBoundedFile(fileName, limits.maxFileBytes, text);
  switch (check.fault) {
    case FileFault::None: return ReadBslImage(text, limits, image);
    case FileFault::NotRegular: result.fault = BslImageFault::NotRegularFile; break;
    case FileFault::TooLarge: result.fault = BslImageFault::FileTooLarge; break;
    case FileFault::Missing:
    case FileFault::Unreadable: result.fault = BslImageFault::Unreadable; break;
  }
  return result;
}
