#pragma once
// Firmware files for the demo and the tests: Motorola S-records of seeded
// random data whose header record carries a version text behind a key, as
// delivered firmware files do.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// The key under which the version text is found: the header record's
// type, byte count and address for a version text of that length.
std::string SRecordVersionKey(const std::string& version);
// An S-record image of `size` bytes from address 0x1000 with the version
// in its header record.
std::string MakeSRecordFirmware(const std::string& version, std::size_t size, uint32_t seed);

// A TI-TXT image: the version text with its zero byte at 0x1000 (found by
// the key "@1000" CR LF), `size` bytes of seeded code from 0x1100 and the
// vector table at 0xFFE0 whose reset vector points at the code.
std::string MakeTiTxtFirmware(const std::string& version, std::size_t size, uint32_t seed);

// A Windows program image ("MZ", padding) with a version resource whose
// String entries are laid out as the resource compiler does: wLength,
// wValueLength, wType, the UTF-16 key, padding to 32 bits, the value.
std::string MakeProgramWithVersionResource(
    const std::vector<std::pair<std::string, std::string>>& strings);
// A Windows-CE program: the version resource with FileVersion "V<version>"
// (found by the key "FileVersion"), then `size` bytes of seeded code.
std::string MakeWinCeProgram(const std::string& version, std::size_t size, uint32_t seed);
