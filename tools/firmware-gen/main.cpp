// firmware-gen VERSION SIZE SEED FILE: writes a firmware file (TI-TXT when
// FILE ends in .txt, a Windows-CE program with a version resource when it
// ends in .exe or .dll, else S-records) and prints the key under which its
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
  auto endsWith = [&file](const char* ending) {
    const std::string e = ending;
    return file.size() > e.size() && file.compare(file.size() - e.size(), e.size(), e) == 0;
  };
  const bool tiTxt = endsWith(".txt");
  const bool program = endsWith(".exe") || endsWith(".dll");
  const std::size_t size = std::strtoul(argv[2], nullptr, 10);
  const auto seed = static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10));
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  if (program)
    out << MakeWinCeProgram(argv[1], size, seed);
  else
    out << (tiTxt ? MakeTiTxtFirmware(argv[1], size, seed)
                  : MakeSRecordFirmware(argv[1], size, seed));
  if (!out) return 1;
  // As ProgDevice.ini writes it: the four characters \r\n end a key.
  std::printf("%s\n", program ? "FileVersion"
                      : tiTxt ? "@1000\\r\\n"
                              : SRecordVersionKey(argv[1]).c_str());
  return 0;
}
