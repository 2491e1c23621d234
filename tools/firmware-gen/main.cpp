// firmware-gen VERSION SIZE SEED FILE: writes a firmware file (TI-TXT when
// FILE ends in .txt, else S-records) and prints the key under which its
// version text is found.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "FirmwareGen.h"

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: firmware-gen VERSION SIZE SEED FILE\n");
    return 64;
  }
  const std::string file = argv[4];
  const bool tiTxt = file.size() > 4 && file.compare(file.size() - 4, 4, ".txt") == 0;
  const std::size_t size = std::strtoul(argv[2], nullptr, 10);
  const auto seed = static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10));
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << (tiTxt ? MakeTiTxtFirmware(argv[1], size, seed) : MakeSRecordFirmware(argv[1], size, seed));
  if (!out) return 1;
  // As ProgDevice.ini writes it: the four characters \r\n end a key.
  std::printf("%s\n", tiTxt ? "@1000\\r\\n" : SRecordVersionKey(argv[1]).c_str());
  return 0;
}
