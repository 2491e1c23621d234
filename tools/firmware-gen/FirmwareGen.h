#pragma once
// Firmware files for the demo and the tests: Motorola S-records of seeded
// random data whose header record carries a version text behind a key, as
// delivered firmware files do.
#include <cstdint>
#include <string>

// The key under which the version text is found: the header record's
// type, byte count and address for a version text of that length.
std::string SRecordVersionKey(const std::string& version);
// An S-record image of `size` bytes from address 0x1000 with the version
// in its header record.
std::string MakeSRecordFirmware(const std::string& version, std::size_t size, uint32_t seed);
