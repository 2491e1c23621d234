#include "app/FirmwareSelection.h"

#include <algorithm>
#include <string_view>

#include "app/FirmwareFiles.h"
#include "loaders/Bsl430.h"
#include "platform/Dialogs.h"
#include "platform/FileLookup.h"
#include "platform/ProgramDir.h"

namespace {

bool Has(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

// A trailing '@' asks for the 9600-baud download.
bool StripMarker(std::string& name) {
  if (name.empty() || name.back() != '@') return false;
  name.pop_back();
  return true;
}

template <std::size_t N>
void AssignNoted(FixedText<N>& field, std::string_view value, const char* what,
                 std::vector<std::string>* notes) {
  if (!field.Assign(value) && notes) {
    notes->push_back(std::string(what) + " cut to " + std::to_string(FixedText<N>::kMaxLength) +
                     " characters: " + std::string(value.substr(0, 40)) + "...");
  }
}

class DownloadListBuilder {
 public:
  DownloadListBuilder(DeviceRecord& record, std::vector<std::string>* notes)
      : record_(record), notes_(notes) {}

  void Add(std::string_view name) {
    if (record_.DownloadList.size() >= DeviceRecord::kMaxDownloadList) {
      ++leftOut_;
      return;
    }
    FixedText<255> field;
    AssignNoted(field, name, "download-list name", notes_);
    record_.DownloadList.push_back(field);
  }

  ~DownloadListBuilder() {
    record_.DownloadListLength = static_cast<int32_t>(record_.DownloadList.size());
    if (leftOut_ > 0 && notes_) {
      notes_->push_back(std::to_string(leftOut_) + " download-list name(s) left out: more than " +
                        std::to_string(DeviceRecord::kMaxDownloadList));
    }
  }

 private:
  DeviceRecord& record_;
  std::vector<std::string>* notes_;
  std::size_t leftOut_ = 0;
};

}  // namespace

LoaderKind TakeDeviceFiles(const DeviceEntry& entry, const DeviceTable& /*table*/,
                           const std::string& programFolder, DeviceRecord& record,
                           std::vector<std::string>* notes) {
  std::string_view progFile2 = entry.ProgFile2.view();
  std::size_t comma = progFile2.find(',');
  std::string mainFile(progFile2.substr(0, comma));
  record.MainFileMarker = StripMarker(mainFile);
  AssignNoted(record.MainFile, mainFile, "main file name", notes);

  record.DownloadList.clear();
  {
    DownloadListBuilder list(record, notes);
    std::string_view rest =
        comma == std::string_view::npos ? std::string_view{} : progFile2.substr(comma + 1);
    while (!rest.empty()) {
      std::size_t next = rest.find(',');
      std::string_view piece = rest.substr(0, next);
      rest = next == std::string_view::npos ? std::string_view{} : rest.substr(next + 1);
      // "a.exe,,b.dll" or a trailing comma names no file; an empty name
      // would only fail later when its version is read.
      if (piece.empty()) continue;
      std::size_t star = piece.find("*.*");
      if (star == std::string_view::npos) {
        list.Add(piece);
        continue;
      }
      // The settings are written for Windows: "sub\*.*" is the folder sub,
      // whatever its case on disk; the listed names keep the delivery's own
      // spelling of the prefix, as the instrument is told them.
      std::string prefix(piece.substr(0, star));
      std::string folder = programFolder;
      if (!prefix.empty()) {
        const FileLookupResult sub = LookUpFile(programFolder, prefix, true);
        if (!sub.found()) continue;
        folder = sub.path;
      }
      for (const std::string& file : ListFolderFiles(folder.empty() ? "." : folder, ""))
        list.Add(prefix + file);
    }
  }

  AssignNoted(record.ExtraFile, entry.ProgFile1.view(), "extra file name", notes);
  std::string sensorFile(entry.ProgFile3.view());
  record.SensorFileMarker = StripMarker(sensorFile);
  AssignNoted(record.SensorFile, sensorFile, "sensor file name", notes);

  // The matched instrument's own main file decides: a delivery may mix
  // Intel-hex meters with others, and each needs its own loader. (Only the
  // search's boot-loader pass, before any instrument is known, goes by the
  // first entry.)
  LoaderKind kind = kLoaderSRecord;
  if (Has(record.MainFile, ".txt")) kind = kLoaderTiTxt;
  if (Has(record.MainFile, ".exe")) kind = kLoaderWinCe;
  if (Has(record.MainFile, ".hex")) kind = kLoaderIntelHex;

  // These instruments take their sensor firmware through the Basic-Loader.
  for (std::string_view number : {"61329", "41582", "42373", "66911"}) {
    if (record.DeviceNumber.Contains(number)) {
      record.SensorFile = kBasicLoaderSensorFile;
      break;
    }
  }
  return kind;
}

std::string FirmwareFileFault(const std::string& folder, const std::string& name, int language) {
  const FileLookupResult found = LookUpFile(folder, name);
  if (found.found()) return {};
  const bool german = language == 0;
  std::string text;
  if (found.outcome == LookupOutcome::Ambiguous) {
    text = german ? "Firmware-Datei " + name + " ist im Ordner " + folder +
                        " nicht eindeutig: " + JoinClashing(found) +
                        " unterscheiden sich nur in der Gro\xDF-/Kleinschreibung."
                  : "Firmware file " + name + " is ambiguous in folder " + folder + ": " +
                        JoinClashing(found) + " differ only in case.";
  } else {
    text = german ? "Firmware-Datei " + name + " fehlt im Ordner " + folder + "."
                  : "Firmware file " + name + " is missing in folder " + folder + ".";
  }
  return text + (german ? "\r\nDas Ger\xE4t wurde nicht ver\xE4ndert."
                        : "\r\nThe instrument was not changed.");
}

std::string MissingFirmwareText(const DeviceRecord& record, const std::string& folder,
                                int language) {
  std::vector<std::string> names{record.MainFile.str()};
  for (const auto& entry : record.DownloadList) names.push_back(entry.str());
  // The extra and sensor files count where their versions are read.
  if (!record.SWKenn1.empty() && !record.ExtraFile.empty()) names.push_back(record.ExtraFile.str());
  if (!record.SWKenn3.empty() && !record.SensorFile.empty())
    names.push_back(record.SensorFile.str());
  for (const std::string& name : names) {
    if (name.empty()) continue;
    std::string fault = FirmwareFileFault(folder, name, language);
    if (!fault.empty()) return fault;
  }
  return {};
}

bool ShowMissingFirmware(const DeviceRecord& record, const std::string& folder, int language,
                         const std::string& caption) {
  const std::string fault = MissingFirmwareText(record, folder, language);
  if (fault.empty()) return false;
  ShowMessageBox(caption, fault, MsgIcon::Error);
  return true;
}

bool ShowLoaderNotReady(LoaderKind kind, int language, const std::string& caption) {
  if (kind != kLoaderTiTxt) return false;
  const std::string refusal = T_BSL430::Readiness(language);
  if (refusal.empty()) return false;
  ShowMessageBox(caption, refusal, MsgIcon::Error);
  return true;
}
