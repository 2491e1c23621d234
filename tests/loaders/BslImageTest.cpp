#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <string>

#include "loaders/Bsl430.h"
#include "loaders/BslImage.h"
#include "tests/support/TempDir.h"

namespace {

// The reader alone, without the firmware's extra demands.
constexpr BslImageLimits kPlain{400000, 1024, false};

std::map<uint32_t, uint8_t> Flatten(const BslImage& image) {
  std::map<uint32_t, uint8_t> bytes;
  for (const BslBlock& block : image.blocks)
    for (int i = 0; i < block.DataLength(); ++i)
      bytes[block.FullAddress() + static_cast<uint32_t>(i)] =
          block.data[static_cast<std::size_t>(i)];
  return bytes;
}

std::string Line(int first, int count) {
  std::string line;
  char buf[4];
  for (int i = 0; i < count; ++i) {
    std::snprintf(buf, sizeof buf, "%02X", (first + i) & 0xFF);
    line += (i ? " " : "") + std::string(buf);
  }
  return line + "\r\n";
}

BslImage Read(const std::string& text, BslImageResult* result = nullptr,
              const BslImageLimits& limits = kPlain) {
  BslImage image;
  BslImageResult r = ReadBslImage(text, limits, image);
  if (result) *result = r;
  return image;
}

}  // namespace

TEST(BslImageReader, ReadsTwoSectionsIntoTwoBlocks) {
  BslImageResult r;
  BslImage image = Read("@1100\r\n31 40 00 0A\r\n@FFFE\r\n00 11\r\nq\r\n", &r);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.lastBlock, 1);
  ASSERT_EQ(image.blocks.size(), 2u);
  EXPECT_EQ(image.blocks[0].address, 0x1100);
  EXPECT_EQ(image.blocks[0].size, 8);
  EXPECT_EQ(image.blocks[1].address, 0xFFFE);
  EXPECT_EQ(image.blocks[1].size, 6);
  EXPECT_EQ(image.firstHighBlock, -1);
  EXPECT_EQ(ResetVector(image), 0x1100);
}

TEST(BslImageReader, CutsBlocksAfterFifteenLines) {
  std::string text = "@F000\r\n";
  for (int i = 0; i < 17; ++i) text += Line(i * 16, 16);
  BslImage image = Read(text + "q\r\n");
  ASSERT_EQ(image.blocks.size(), 2u);
  EXPECT_EQ(image.blocks[0].address, 0xF000);
  EXPECT_EQ(image.blocks[0].DataLength(), 240);
  EXPECT_EQ(image.blocks[1].address, 0xF0F0);
  EXPECT_EQ(image.blocks[1].DataLength(), 32);
}

TEST(BslImageReader, PadsOddSectionWithErasedByte) {
  BslImage image = Read("@1100\r\n01 02 03\r\n@1200\r\n04 05\r\nq");
  ASSERT_EQ(image.blocks.size(), 2u);
  EXPECT_EQ(image.blocks[0].size, 8);
  EXPECT_EQ(image.blocks[0].data[3], 0xFF);
}

TEST(BslImageReader, OddBlockCutKeepsEveryByteAtItsAddress) {
  // 15 lines of 15 bytes: the 226th byte must still land at 0x10E1.
  std::string text = "@1000\r\n";
  for (int i = 0; i < 16; ++i) text += Line(i * 15, 15);
  BslImage image = Read(text + "q\r\n");
  auto bytes = Flatten(image);
  for (int i = 0; i < 16 * 15; ++i)
    ASSERT_EQ(bytes.at(0x1000u + static_cast<uint32_t>(i)), i & 0xFF) << i;
  for (const BslBlock& block : image.blocks) {
    EXPECT_EQ(block.DataLength() % 2, 0);
    EXPECT_EQ(block.address % 2, 0);
  }
}

TEST(BslImageReader, MarksHighMemory) {
  BslImage image = Read("@1100\r\n01 02\r\n@10000\r\n03 04\r\nq");
  ASSERT_EQ(image.blocks.size(), 2u);
  EXPECT_EQ(image.blocks[1].address, 0x0000);
  EXPECT_TRUE(image.blocks[1].high);
  EXPECT_EQ(image.firstHighBlock, 1);

  // A section running across 0x10000 is split after 0xFFFF (and its top
  // part then goes behind the high block).
  image = Read("@1100\r\n01 02\r\n@FFFC\r\n" + Line(0, 8) + "q");
  ASSERT_EQ(image.blocks.size(), 3u);
  EXPECT_TRUE(image.blocks[1].high);
  EXPECT_EQ(image.blocks[1].address, 0x0000);
  EXPECT_EQ(image.blocks[1].data[0], 4);
  EXPECT_EQ(image.blocks[2].address, 0xFFFC);
  EXPECT_EQ(image.blocks[2].DataLength(), 4);
}

TEST(BslImageReader, MovesTopSegmentBehindHighBlocks) {
  BslImage image =
      Read("@1100\r\n01 02\r\n@FFE0\r\n" + Line(0, 16) + Line(16, 16) + "@10000\r\n05 06\r\nq");
  ASSERT_EQ(image.blocks.size(), 3u);
  EXPECT_EQ(image.blocks[0].address, 0x1100);
  EXPECT_TRUE(image.blocks[1].high);
  EXPECT_EQ(image.blocks[2].address, 0xFFE0);
  EXPECT_EQ(image.firstHighBlock, 1);

  // Without high memory the file order stays.
  image = Read("@FFE0\r\n" + Line(0, 16) + Line(16, 16) + "@1100\r\n01 02\r\nq");
  EXPECT_EQ(image.blocks[0].address, 0xFFE0);
  EXPECT_EQ(image.blocks[1].address, 0x1100);
}

TEST(BslImageReader, AcceptsLineEndsOfOtherSystemsAndTrailingBlanks) {
  const std::string crlf = "@1100\r\n01 02 03 04\r\n05 06 \r\nq\r\n";
  const std::string lf = "@1100\n01 02 03 04\n05 06 \nq\n";
  EXPECT_EQ(Flatten(Read(crlf)), Flatten(Read(lf)));
  EXPECT_EQ(Flatten(Read(crlf)).size(), 6u);
}

TEST(BslImageReader, IgnoresEverythingAfterQ) {
  BslImage image = Read("@1100\r\n01 02\r\nq\r\n@1200\r\n03 04\r\n");
  EXPECT_EQ(image.blocks.size(), 1u);
}

TEST(BslImageReader, RandomImagesLandByteForByte) {
  std::mt19937 rng(7);
  for (int round = 0; round < 40; ++round) {
    std::map<uint32_t, uint8_t> expected;
    std::string text;
    uint32_t address = 0x1000 + 2 * (rng() % 64);
    while (address < 0x1F000) {
      text += "@" + [&] {
        char b[16];
        std::snprintf(b, sizeof b, "%X", address);
        return std::string(b);
      }() + "\r\n";
      const int lines = 1 + static_cast<int>(rng() % 40);
      for (int l = 0; l < lines; ++l) {
        const int count = 1 + static_cast<int>(rng() % 16);
        std::string line;
        for (int i = 0; i < count; ++i) {
          const uint8_t v = static_cast<uint8_t>(rng());
          expected[address++] = v;
          char b[4];
          std::snprintf(b, sizeof b, "%02X", v);
          line += (i ? " " : "") + std::string(b);
        }
        text += line + "\r\n";
      }
      address += 2 + 2 * (rng() % 2000);
      address &= ~1u;
    }
    BslImageResult r;
    BslImage image = Read(text + "q\r\n", &r);
    ASSERT_TRUE(r.ok());
    const auto got = Flatten(image);
    for (const auto& [a, v] : expected) ASSERT_EQ(got.at(a), v) << std::hex << a;
    for (const auto& [a, v] : got) {
      if (!expected.count(a)) {
        ASSERT_EQ(v, 0xFF) << "stray byte at " << std::hex << a;
      }
    }
    for (const BslBlock& block : image.blocks) ASSERT_LE(block.DataLength(), BslBlock::kMaxData);
  }
}

struct Refusal {
  const char* text;
  BslImageFault fault;
};

TEST(BslImageReader, RefusesWhatCannotBeSentSafely) {
  const std::string many(17 * 3, ' ');
  const Refusal cases[] = {
      {"@1100\r\n00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10\r\nq",
       BslImageFault::LineTooLong},
      {"@20000\r\n00 01\r\nq", BslImageFault::AddressTooHigh},
      {"@1FFFE\r\n00 01 02 03\r\nq", BslImageFault::AddressTooHigh},
      {"00 01\r\n@1100\r\n00 01\r\nq", BslImageFault::DataBeforeSection},
      {"@00000000000001100\r\n00 01\r\nq", BslImageFault::SectionAddressTooLong},
      {"@11G0\r\n00 01\r\nq", BslImageFault::BadSectionAddress},
      {"@1100\r\n0 01\r\nq", BslImageFault::BadByte},
      {"@1100\r\n00 0Z\r\nq", BslImageFault::BadByte},
      {"@1100\r\n@1200\r\nq", BslImageFault::NoData},
      {"", BslImageFault::NoData},
  };
  for (const Refusal& c : cases) {
    BslImageResult r;
    BslImage image = Read(c.text, &r);
    EXPECT_EQ(r.fault, c.fault) << c.text;
    EXPECT_EQ(r.lastBlock, -1);
    EXPECT_TRUE(image.blocks.empty()) << c.text;
  }
  // Accepted at the limits: 16 bytes a line and a 16-character address.
  BslImageResult r;
  Read("@0000000000001100\r\n" + Line(0, 16) + "q", &r);
  EXPECT_TRUE(r.ok());
}

TEST(BslImageReader, RefusesImagesThatCannotBeProgrammedWordByWord) {
  struct Case {
    std::string text;
    BslImageFault fault;
    int line;
    int32_t address;
  };
  const Case cases[] = {
      // Odd start: the pad would go into the neighbouring word.
      {"@1101\r\n01 02\r\n@FFFE\r\n00 11\r\nq", BslImageFault::OddSectionAddress, 1, 0x1101},
      // Data crossing 0x10000 from 0xFFFF left a one-byte block there.
      {"@1100\r\n01 02\r\n@FFFF\r\n00 11 22\r\nq", BslImageFault::OddSectionAddress, 3, 0xFFFF},
      // Two sections at the same address: which bytes are meant?
      {"@1100\r\n01 02\r\n@FFFE\r\n00 11\r\n@1100\r\n03 04\r\nq",
       BslImageFault::OverlappingSections, 5, 0x1100},
      // A later section reaching into an earlier one.
      {"@1104\r\n01 02\r\n@1100\r\n" + Line(0, 6) + "@FFFE\r\n00 11\r\nq",
       BslImageFault::OverlappingSections, 3, 0x1104},
  };
  for (const Case& c : cases) {
    BslImageResult r;
    BslImage image = Read(c.text, &r, kFirmwareImageLimits);
    EXPECT_EQ(r.fault, c.fault) << c.text;
    EXPECT_EQ(r.line, c.line) << c.text;
    EXPECT_EQ(r.address, c.address) << c.text;
    EXPECT_TRUE(image.blocks.empty());
  }
  BslImageResult r;
  Read(cases[0].text, &r, kFirmwareImageLimits);
  EXPECT_EQ(BslImageFaultText(r, "fw.txt", 1),
            "Bootloader: file fw.txt, line 1, address 0x1101: section starts at an odd address."
            "\r\nProgramming abort.");
  // Adjacent sections are fine.
  Read("@1100\r\n01 02\r\n@1102\r\n03 04\r\n@FFFE\r\n00 11\r\nq", &r, kFirmwareImageLimits);
  EXPECT_TRUE(r.ok());
}

TEST(BslImageReader, RefusesFirmwareWithoutEraseBoundOrResetVector) {
  BslImageResult r;
  Read("@FFE0\r\n" + Line(0, 16) + Line(16, 16) + "q", &r, kFirmwareImageLimits);
  EXPECT_EQ(r.fault, BslImageFault::SingleBlock);
  Read("@1100\r\n01 02\r\n@2000\r\n03 04\r\nq", &r, kFirmwareImageLimits);
  EXPECT_EQ(r.fault, BslImageFault::NoResetVector);
  // The patch may be a single block without vectors.
  Read("@0220\r\n01 02\r\nq", &r, kPatchImageLimits);
  EXPECT_TRUE(r.ok());
}

TEST(BslImageReader, RefusesTablesBeyondTheirCapacity) {
  auto sections = [](int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
      char b[16];
      std::snprintf(b, sizeof b, "@%X\r\n", 0x1100 + 4 * i);
      text += std::string(b) + "01 02\r\n";
    }
    return text + "q";
  };
  BslImageResult r;
  Read(sections(1024), &r);
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.lastBlock, 1023);
  Read(sections(1025), &r);
  EXPECT_EQ(r.fault, BslImageFault::TooManyBlocks);
  Read(sections(20), &r, kPatchImageLimits);
  EXPECT_TRUE(r.ok());
  Read(sections(21), &r, kPatchImageLimits);
  EXPECT_EQ(r.fault, BslImageFault::TooManyBlocks);
}

TEST(BslImageReader, RefusesFilesLargerThanTheBuffer) {
  TempDir dir;
  const std::string image = "@1100\r\n01 02\r\n@FFFE\r\n00 11\r\nq\r\n";
  // Blank padding after "q" is ignored by the reader but counts for the size.
  dir.Write("full.txt", image + std::string(400000 - image.size(), ' '));
  dir.Write("over.txt", image + std::string(400001 - image.size(), ' '));
  BslImage table;
  EXPECT_TRUE(LoadBslImage(dir.File("full.txt"), kFirmwareImageLimits, table).ok());
  EXPECT_EQ(LoadBslImage(dir.File("over.txt"), kFirmwareImageLimits, table).fault,
            BslImageFault::FileTooLarge);
  EXPECT_TRUE(table.blocks.empty());
  dir.Write("patch.txt", image + std::string(2001 - image.size(), ' '));
  EXPECT_EQ(LoadBslImage(dir.File("patch.txt"), kPatchImageLimits, table).fault,
            BslImageFault::FileTooLarge);
  EXPECT_EQ(LoadBslImage(dir.File("missing.txt"), kFirmwareImageLimits, table).fault,
            BslImageFault::Unreadable);
}

namespace {

// A TI-TXT section of `count` bytes.
std::string Section(uint32_t address, int count) {
  char head[16];
  std::snprintf(head, sizeof head, "@%04X\r\n", address);
  std::string text = head;
  for (int done = 0; done < count; done += 16) text += Line(done, std::min(16, count - done));
  return text;
}

}  // namespace

// Flash takes a write only where it was erased. The erase walks down from
// FlashErase (0xFC00) to the image's second block, then 0x1080; the top
// segment is erased when the image reaches it.
TEST(BslEraseCover, FindsDataOverFlashTheEraseLeavesAsItIs) {
  struct Case {
    const char* what;
    std::string text;
    int32_t eraseStart;
    int32_t unerased;
  };
  const std::string reset = Section(0xFFFE, 2);
  const std::string info = Section(0x1000, 16);  // block 0, left to the image
  const Case cases[] = {
      {"information bytes and main flash from 0x1100", info + Section(0x1100, 1024) + reset, 0, -1},
      {"0x1100..0x11FF with the second block inside it", Section(0x1100, 256) + reset, 0, 0x1100},
      {"the half segment bounded by a block at 0x1100",
       Section(0x1080, 16) + Section(0x1100, 256) + reset, 0, -1},
      {"data above a low FlashErase", info + Section(0x1100, 64) + Section(0xA000, 32) + reset,
       0x8000, 0xA000},
      {"data up to a low FlashErase", info + Section(0x1100, 64) + Section(0x8000, 32) + reset,
       0x8000, -1},
      {"high memory below the erase start",
       info + Section(0x1100, 64) + Section(0x10000, 600) + reset, 0x10200, -1},
      {"high memory above the erase start",
       info + Section(0x1100, 64) + Section(0x10400, 32) + reset, 0x10200, 0x10400},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BslImageResult result;
    const BslImage image = Read(c.text + "q\r\n", &result, kFirmwareImageLimits);
    ASSERT_TRUE(result.ok()) << static_cast<int>(result.fault);
    EXPECT_EQ(FirstUnerasedAddress(image, c.eraseStart), c.unerased);
  }
}
