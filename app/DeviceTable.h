#pragma once
// The instruments this delivery may update, read from ProgDevice.ini.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/FixedText.h"
#include "platform/BoundedFile.h"

// How an instrument's firmware travels, chosen by the main file's extension.
enum LoaderKind : int {
  kLoaderSRecord = 0,   // external loader program, Motorola S-records
  kLoaderTiTxt = 1,     // MSP430 bootstrap loader, TI-TXT
  kLoaderWinCe = 2,     // Windows-CE file transfer
  kLoaderIntelHex = 3,  // external loader program, Intel-hex
};

struct DeviceEntry {
  FixedText<12> DeviceNrDef;
  FixedText<12> DeviceNr;
  FixedText<32> DeviceName;
  FixedText<32> ProgFile1;
  FixedText<512> ProgFile2;
  FixedText<32> ProgFile3;
  FixedText<64> SWKenn1;
  FixedText<64> SWKenn2;
  FixedText<64> SWKenn3;
  FixedText<64> BootLoadKenn;
  FixedText<12> FlashErase1;
  FixedText<12> FlashErase2;
  FixedText<12> FlashErase3;
  FixedText<32> ProgDefFile;
  int32_t ProzTyp = 0;
  // FlashErase1..3 as numbers: decimal, or hexadecimal with 0x; empty is 0.
  std::array<int32_t, 3> FlashEraseNumber{};
  // False for a block with a value the entry cannot hold: it keeps its
  // place (the model menu counts places) but holds no number, key or file,
  // so no search and no menu entry can reach it.
  bool usable = true;
};

struct DeviceTexts {
  FixedText<512> StarttextD;
  FixedText<512> StarttextE;
  FixedText<512> AbbruchtextD;
  FixedText<512> AbbruchtextE;

  const FixedText<512>& Starttext(int language) const {
    return language == 1 ? StarttextE : StarttextD;
  }
  const FixedText<512>& Abbruchtext(int language) const {
    return language == 1 ? AbbruchtextE : AbbruchtextD;
  }
};

struct DeviceTable {
  static constexpr std::size_t kCapacity = 20;
  std::vector<DeviceEntry> entries;  // at most kCapacity
  DeviceTexts texts;
  // From DevStartCmd: program-wide, the last device block wins.
  int StartCommandIndex = 0;
  // Preliminary, from the first entry's ProgFile2.
  LoaderKind loaderKind = kLoaderSRecord;
};

// Loader kind of a main file name: .txt 1, .exe 2, .hex 3 (wins), else 0.
LoaderKind LoaderKindOf(std::string_view fileName);

// 0 on success, -1 when the file is missing or refused (refusal says why).
// Anything that does not fit the table is reported in notes, never misread
// silently: more than 20 devices or an unknown DevStartCmd are ignored, a
// shown text that is too long is cut, and a device whose file name, search
// key or number does not fit its field, or whose number is no number, is
// kept as an unusable entry in its place.
int ReadProgDeviceIni(const std::string& fileName, DeviceTable& table,
                      std::vector<std::string>* notes = nullptr, FileCheck* refusal = nullptr);
// The same on lines already read.
void ReadProgDeviceLines(const std::vector<std::string>& lines, DeviceTable& table,
                         std::vector<std::string>* notes = nullptr);
