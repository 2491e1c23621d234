#include "app/DeviceTable.h"

#include "core/IniLines.h"

#include <cstdint>

namespace {

struct Reader {
  std::vector<std::string>* notes;
  int blockNumber = 0;
  bool refused = false;  // a value of the current block cannot be held

  void Note(const std::string& text) const {
    if (notes) notes->push_back("ProgDevice.ini: " + text);
  }
  std::string Where() const { return "device block " + std::to_string(blockNumber) + ": "; }

  // The whole value, however long; the fields decide what fits.
  std::string Value(const LineList& block, const char* key) const {
    return LookupValue(block, key);
  }

  // A text that is only shown may be cut, with a note.
  template <std::size_t N>
  void StoreText(FixedText<N>& field, const std::string& value, const std::string& where,
                 const char* key) const {
    if (!field.Assign(value))
      Note(where + key + " longer than " + std::to_string(N - 1) + " characters, cut");
  }

  // A file name, search key or number that does not fit would be a
  // different value when cut: the block is refused instead.
  template <std::size_t N>
  void Store(FixedText<N>& field, const std::string& value, const char* key) {
    if (field.Assign(value)) return;
    Note(Where() + key + " longer than " + std::to_string(N - 1) + kUnusable);
    refused = true;
  }

  static constexpr const char* kUnusable = " characters; the device cannot be used";
};

// ProzTyp: the whole value in hexadecimal (blanks around it, an optional
// sign; empty is 0); false when it is anything else.
bool ParseProzTyp(std::string_view v, int32_t& out) {
  while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.remove_prefix(1);
  while (!v.empty() && (v.back() == ' ' || v.back() == '\t')) v.remove_suffix(1);
  out = 0;
  if (v.empty()) return true;
  bool negative = false;
  if (v.front() == '+' || v.front() == '-') {
    negative = v.front() == '-';
    v.remove_prefix(1);
  }
  if (v.empty() || v.size() > 8) return false;
  uint32_t n = 0;
  for (char c : v) {
    int d = c >= '0' && c <= '9'   ? c - '0'
            : c >= 'A' && c <= 'F' ? c - 'A' + 10
            : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                   : -1;
    if (d < 0) return false;
    n = n * 16 + static_cast<uint32_t>(d);
  }
  out = static_cast<int32_t>(negative ? 0u - n : n);
  return true;
}

// FlashErase: a whole decimal number with an optional sign, or 0x and
// hexadecimal digits (an address reads naturally so); empty is 0. False for
// anything else, "0x1FC00 " with blanks around it allowed.
bool ParseFlashErase(std::string_view v, int32_t& out) {
  while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.remove_prefix(1);
  while (!v.empty() && (v.back() == ' ' || v.back() == '\t')) v.remove_suffix(1);
  out = 0;
  if (v.empty()) return true;
  if (v.size() > 2 && v[0] == '0' && (v[1] == 'x' || v[1] == 'X')) {
    v.remove_prefix(2);
    if (v.size() > 8) return false;
    uint32_t n = 0;
    for (char c : v) {
      const int d = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                           : -1;
      if (d < 0) return false;
      n = n * 16 + static_cast<uint32_t>(d);
    }
    if (n > INT32_MAX) return false;
    out = static_cast<int32_t>(n);
    return true;
  }
  bool negative = false;
  if (v.front() == '+' || v.front() == '-') {
    negative = v.front() == '-';
    v.remove_prefix(1);
  }
  const long n = WholeNumber(v, INT32_MAX);
  if (n < 0 || v.find_first_of(" \t") != std::string_view::npos) return false;
  out = static_cast<int32_t>(negative ? -n : n);
  return true;
}

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
                      std::vector<std::string>* notes, FileCheck* refusal) {
  LinesSource source;
  auto lines = LoadLines(fileName, &source);
  if (refusal) *refusal = source.check;
  if (!lines) return -1;
  if (source.utf8 && notes) notes->push_back("ProgDevice.ini: " + ConversionNote(source));
  ReadProgDeviceLines(*lines, table, notes);
  return 0;
}

void ReadProgDeviceLines(const LineList& lines, DeviceTable& table,
                         std::vector<std::string>* notes) {
  table.entries.clear();
  Reader r{notes};

  std::size_t i = 0;
  while (i < lines.size()) {
    LineList block;
    while (i < lines.size() && !lines[i].empty()) block.push_back(lines[i++]);
    if (i < lines.size()) ++i;  // the empty line that ends the block

    if (block.size() > 10) {
      ++r.blockNumber;
      r.refused = false;
      if (table.entries.size() >= DeviceTable::kCapacity) {
        r.Note("more than " + std::to_string(DeviceTable::kCapacity) + " device blocks; block " +
               std::to_string(r.blockNumber) + " ignored");
        continue;
      }
      DeviceEntry e;
      r.Store(e.DeviceNrDef, r.Value(block, "DeviceNrDef"), "DeviceNrDef");
      r.Store(e.DeviceNr, r.Value(block, "DeviceNr"), "DeviceNr");
      r.StoreText(e.DeviceName, r.Value(block, "DeviceName"), r.Where(), "DeviceName");
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
      const std::string proz = r.Value(block, "ProzTyp");
      if (!ParseProzTyp(proz, e.ProzTyp)) {
        r.Note(r.Where() + "ProzTyp '" + proz.substr(0, 40) +
               "' is not a hexadecimal number; the device cannot be used");
        r.refused = true;
      }
      const char* eraseKeys[] = {"FlashErase1", "FlashErase2", "FlashErase3"};
      for (std::size_t k = 0; k < 3; ++k) {
        const std::string erase = r.Value(block, eraseKeys[k]);
        if (ParseFlashErase(erase, e.FlashEraseNumber[k])) continue;
        r.Note(r.Where() + eraseKeys[k] + " '" + erase.substr(0, 40) +
               "' is not a number (decimal, or hexadecimal with 0x); the device cannot be used");
        r.refused = true;
      }
      // A refused device keeps its place, so the devices after it keep
      // theirs; it holds only its name, and its DevStartCmd does not count.
      if (r.refused) {
        DeviceEntry unusable;
        unusable.DeviceName = e.DeviceName.view();
        unusable.usable = false;
        table.entries.push_back(std::move(unusable));
        continue;
      }
      const std::string cmd = r.Value(block, "DevStartCmd");
      const long start = WholeNumber(cmd, 4);
      if (start >= 1)
        table.StartCommandIndex = static_cast<int>(start - 1);
      else
        r.Note(r.Where() + "DevStartCmd '" + cmd.substr(0, 40) + "' is not 1..4, ignored");
      table.entries.push_back(std::move(e));
    } else if (block.size() == 4) {
      const std::string where = "text block: ";
      r.StoreText(table.texts.StarttextD, r.Value(block, "StarttextD"), where, "StarttextD");
      r.StoreText(table.texts.StarttextE, r.Value(block, "StarttextE"), where, "StarttextE");
      r.StoreText(table.texts.AbbruchtextD, r.Value(block, "AbbruchtextD"), where, "AbbruchtextD");
      r.StoreText(table.texts.AbbruchtextE, r.Value(block, "AbbruchtextE"), where, "AbbruchtextE");
    }
  }
  table.loaderKind =
      table.entries.empty() ? kLoaderSRecord : LoaderKindOf(table.entries[0].ProgFile2.view());
}
