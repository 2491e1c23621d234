// firmware-gen VERSION SIZE SEED FILE: writes an S-record firmware file and
// prints the key under which its version text is found.
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "FirmwareGen.h"

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: firmware-gen VERSION SIZE SEED FILE\n");
    return 64;
  }
  std::ofstream out(argv[4], std::ios::binary | std::ios::trunc);
  out << MakeSRecordFirmware(argv[1], std::strtoul(argv[2], nullptr, 10),
                             static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10)));
  if (!out) return 1;
  std::printf("%s\n", SRecordVersionKey(argv[1]).c_str());
  return 0;
}
