#include "app/DeviceTable.h"

#include <cstdlib>

#include "app/IniLines.h"

namespace {

// Every value of a block is used up to 511 characters.
constexpr std::size_t kValueLimit = 511;

struct Reader {
  std::vector<std::string>* notes;
  int blockNumber = 0;

  void Note(const std::string& text) const {
    if (notes) notes->push_back("ProgDevice.ini: " + text);
  }

  std::string Value(const LineList& block, const char* key) const {
    std::string v = LookupValue(block, key);
    if (v.size() > kValueLimit) v.resize(kValueLimit);
    return v;
  }

  template <std::size_t N>
  void Store(FixedText<N>& field, const std::string& value, const char* key) const {
    if (!field.Assign(value))
      Note("device block " + std::to_string(blockNumber) + ": " + key + " longer than " +
           std::to_string(N - 1) + " characters, cut");
  }
};

// SWKenn values end at the four characters \r\n, which become CR LF.
std::string SearchKey(std::string value) {
  std::size_t at = value.find("\\r\\n");
  if (at != std::string::npos) value = value.substr(0, at) + "\r\n";
  return value;
}

}  // namespace

LoaderKind LoaderKindOf(std::string_view name) {
  auto has = [&](std::string_view ext) { return name.find(ext) != std::string_view::npos; };
  if (has(".hex")) return kLoaderIntelHex;
  if (has(".exe")) return kLoaderWinCe;
  if (has(".txt")) return kLoaderTiTxt;
  return kLoaderSRecord;
}

int ReadProgDeviceIni(const std::string& fileName, DeviceTable& table,
                      std::vector<std::string>* notes) {
  auto lines = LoadLines(fileName);
  if (!lines) return -1;
  table.entries.clear();
  Reader r{notes};

  std::size_t i = 0;
  while (i < lines->size()) {
    LineList block;
    while (i < lines->size() && !(*lines)[i].empty()) block.push_back((*lines)[i++]);
    if (i < lines->size()) ++i;  // the empty line that ends the block

    if (block.size() > 10) {
      ++r.blockNumber;
      if (table.entries.size() >= DeviceTable::kCapacity) {
        r.Note("more than " + std::to_string(DeviceTable::kCapacity) +
               " device blocks; block " + std::to_string(r.blockNumber) + " ignored");
        continue;
      }
      std::string cmd = r.Value(block, "DevStartCmd");
      if (!cmd.empty() && cmd[0] >= '1' && cmd[0] <= '4')
        table.StartCommandIndex = cmd[0] - '1';
      else
        r.Note("device block " + std::to_string(r.blockNumber) + ": DevStartCmd '" + cmd +
               "' is not 1..4, ignored");
      DeviceEntry e;
      r.Store(e.DeviceNrDef, r.Value(block, "DeviceNrDef"), "DeviceNrDef");
      r.Store(e.DeviceNr, r.Value(block, "DeviceNr"), "DeviceNr");
      r.Store(e.DeviceName, r.Value(block, "DeviceName"), "DeviceName");
      r.Store(e.ProgFile1, r.Value(block, "ProgFile1"), "ProgFile1");
      r.Store(e.ProgFile2, r.Value(block, "ProgFile2"), "ProgFile2");
      r.Store(e.ProgFile3, r.Value(block, "ProgFile3"), "ProgFile3");
      r.Store(e.SWKenn1, SearchKey(r.Value(block, "SWKenn1")), "SWKenn1");
      r.Store(e.SWKenn2, SearchKey(r.Value(block, "SWKenn2")), "SWKenn2");
      r.Store(e.SWKenn3, SearchKey(r.Value(block, "SWKenn3")), "SWKenn3");
      r.Store(e.BootLoadKenn, r.Value(block, "BootLoadKenn"), "BootLoadKenn");
      r.Store(e.FlashErase1, r.Value(block, "FlashErase1"), "FlashErase1");
      r.Store(e.FlashErase2, r.Value(block, "FlashErase2"), "FlashErase2");
      r.Store(e.FlashErase3, r.Value(block, "FlashErase3"), "FlashErase3");
      r.Store(e.ProgDefFile, r.Value(block, "ProgDefFile"), "ProgDefFile");
      e.ProzTyp = static_cast<int32_t>(std::strtol(r.Value(block, "ProzTyp").c_str(), nullptr, 16));
      table.entries.push_back(std::move(e));
    } else if (block.size() == 4) {
      table.texts.StarttextD = r.Value(block, "StarttextD");
      table.texts.StarttextE = r.Value(block, "StarttextE");
      table.texts.AbbruchtextD = r.Value(block, "AbbruchtextD");
      table.texts.AbbruchtextE = r.Value(block, "AbbruchtextE");
    }
  }
  table.loaderKind = table.entries.empty() ? kLoaderSRecord
                                           : LoaderKindOf(table.entries[0].ProgFile2.view());
  return 0;
}
